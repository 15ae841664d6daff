// The column registry, the `Columns` text and the column widths.
#include <gtest/gtest.h>

#include <numeric>

#include "ui/columns.h"

namespace nusk {
namespace {

TEST(UiColumns, RegistryRows) {
  ASSERT_EQ(AllColumns().size(), 12u);
  for (int id = 0; id < kColumnCount; ++id) EXPECT_EQ(Column(id).id, id);
  EXPECT_EQ(Column(kColSize).code, u"SIZE");
  EXPECT_TRUE(Column(kColSize).right_aligned);
  EXPECT_EQ(Column(kColExtension).code, u"EXT");
  EXPECT_EQ(Column(kColType).initial_direction, 0);
  EXPECT_EQ(Column(kColDate).initial_direction, -1);
  EXPECT_EQ(ColumnTitle(kColDate), u"Date modified");
  EXPECT_EQ(ColumnTitle(kColRowNumber), u"#");
}

TEST(UiColumns, ParseKeepsValidIdsInOrder) {
  const ColumnIds current = {kColName};
  EXPECT_EQ(ParseColumns(u"0,1,4,2", current), (ColumnIds{kColName, kColPath, kColSize, kColDate}));
  EXPECT_EQ(ParseColumns(u"0,99", {kColPath, kColSize}), (ColumnIds{kColName}));
  EXPECT_EQ(ParseColumns(u"11,x,-1,,3, 7 ,12", current), (ColumnIds{kColDupCount, kColType, kColExtension}));
  // A repeated id is shown once.
  EXPECT_EQ(ParseColumns(u"4,4,0", current), (ColumnIds{kColSize, kColName}));
  // Nothing valid keeps the current set.
  EXPECT_EQ(ParseColumns(u"", {kColPath, kColSize}), (ColumnIds{kColPath, kColSize}));
  EXPECT_EQ(ParseColumns(u"99,abc", {kColPath}), (ColumnIds{kColPath}));
  EXPECT_EQ(ParseColumns(u"4294967296", {kColPath}), (ColumnIds{kColPath}));
  EXPECT_EQ(ColumnsText(DefaultColumns()), u"0,1,4,2");
  EXPECT_EQ(ParseColumns(ColumnsText({9, 10, 0}), current), (ColumnIds{9, 10, 0}));
}

TEST(UiColumns, NeedsAndToggle) {
  EXPECT_FALSE(UsesHashColumns(DefaultColumns()));
  EXPECT_TRUE(UsesHashColumns({kColName, kColDupCount}));
  EXPECT_TRUE(UsesHashColumns({kColHash}));
  EXPECT_EQ(ColumnsNeeds({kColType, kColFileCount}), uint32_t(kNeedsTypeName | kNeedsFileCounts));
  EXPECT_EQ(ToggleColumn({0, 1, 4}, 1), (ColumnIds{0, 4}));
  EXPECT_EQ(ToggleColumn({0, 4}, 8), (ColumnIds{0, 4, 8}));
  EXPECT_EQ(ToggleColumn({0}, 0), (ColumnIds{0}));  // the last column stays
  EXPECT_EQ(ToggleColumn({0}, 12), (ColumnIds{0}));
}

TEST(UiColumnWidths, ParseFallsBackPerColumn) {
  const ColumnIds ids = {kColName, kColPath, kColSize};
  EXPECT_EQ(WidthsForColumns(u"300,200,90", ids), (std::vector<int>{300, 200, 90}));
  EXPECT_EQ(WidthsForColumns(u"", ids), (std::vector<int>{250, 410, 105}));
  // Zero, junk and missing pieces take the column's default; extra pieces are ignored.
  EXPECT_EQ(WidthsForColumns(u"0,x", ids), (std::vector<int>{250, 410, 105}));
  EXPECT_EQ(WidthsForColumns(u"120,99999,80,77", ids), (std::vector<int>{120, 410, 80}));
  const std::vector<int> w = {300, 200, 90};
  EXPECT_EQ(WidthsText(w), u"300,200,90");
}

TEST(UiColumnWidths, StretchFillsClientWidth) {
  const std::vector<int> w = {250, 410, 105, 115};
  for (int client : {880, 1000, 1337, 400}) {
    std::vector<int> s = StretchWidths(w, client);
    EXPECT_EQ(std::accumulate(s.begin(), s.end(), 0), client) << client;
    // Shares are kept: the path column stays the widest, size the narrowest.
    EXPECT_GT(s[1], s[0]);
    EXPECT_LT(s[2], s[3]);
  }
  EXPECT_EQ(StretchWidths(w, 1760), (std::vector<int>{500, 820, 210, 230}));
  EXPECT_EQ(StretchWidths(w, 0), w);
  // A narrow client keeps every column at the minimum width.
  for (int x : StretchWidths(w, 30)) EXPECT_GE(x, 20);
  EXPECT_EQ(StretchWidths(std::vector<int>{0, 0}, 100), (std::vector<int>{50, 50}));
}

}  // namespace
}  // namespace nusk
