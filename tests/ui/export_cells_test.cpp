// Cell texts and export files over a real (small) index.
#include <gtest/gtest.h>

#include "platform/env.h"
#include "tests/search/test_index.h"
#include "ui/cell_text.h"
#include "ui/columns.h"
#include "ui/export.h"
#include "util/utf.h"

namespace nusk {
namespace {

constexpr CompactTime kMarch5 = 1465024089;  // 2024-03-05 07:08:09 UTC

class UiListFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    idx_.Folder(u"C:\\Docs", kMarch5);
    idx_.File(u"C:\\Docs\\say \"hi\".TXT", 5000, kMarch5);
    idx_.File(u"C:\\Docs\\Makefile", 1536, kMarch5);
    idx_.File(u"C:\\Docs\\sub\\big.bin", 3ull << 30, kMarch5);
    // Stored times of 0 (no time known) and of 1 (the first second of the time scale).
    idx_.Folder(u"C:\\NoTime", 0);
    idx_.File(u"C:\\NoTime\\old.txt", 1, 1);
    // A path of more than 511 units and more than 844 UTF-8 bytes.
    deep_ = u"C:";
    for (char16_t c : {u'\u00e9', u'\u00e8', u'\u00ea'}) deep_ += u"\\" + std::u16string(200, c);
    deep_ += u"\\end.txt";
    idx_.File(deep_, 10, kMarch5);
    idx_.Build();
  }

  std::u16string Cell(std::u16string_view path, int column, const CellOptions& o = {}, uint32_t row = 0,
                      const RowDetails* d = nullptr) {
    return CellText(idx_.view(), Item(path), column, row, o, d);
  }
  uint32_t Item(std::u16string_view path) {
    for (uint32_t i = 0; i < idx_.db().item_count(); ++i) {
      if (ItemFullPath(idx_.db(), i) == path) return i;
    }
    ADD_FAILURE() << "no item " << ToUtf8(path);
    return 0;
  }

  testing::TestIndex idx_;
  std::u16string deep_;
};

TEST_F(UiListFixture, NamePathExtensionAndRowNumber) {
  EXPECT_EQ(Cell(u"C:\\Docs\\say \"hi\".TXT", kColName), u"say \"hi\".TXT");
  EXPECT_EQ(Cell(u"C:\\Docs\\say \"hi\".TXT", kColPath), u"C:\\Docs");
  EXPECT_EQ(Cell(u"C:\\Docs\\say \"hi\".TXT", kColExtension), u"TXT");
  EXPECT_EQ(Cell(u"C:\\Docs\\Makefile", kColExtension), u"");
  EXPECT_EQ(Cell(u"C:\\Docs", kColExtension), u"");
  EXPECT_EQ(Cell(u"C:\\Docs", kColPath), u"C:");
  EXPECT_EQ(Cell(u"C:", kColPath), u"");
  EXPECT_EQ(Cell(u"C:\\Docs", kColRowNumber, {}, 0), u"1");
  EXPECT_EQ(Cell(u"C:\\Docs", kColRowNumber, {}, 1233), u"1,234");
  // The path column is never cut, however deep the folder.
  EXPECT_EQ(Cell(deep_, kColPath), deep_.substr(0, deep_.size() - 8));
  EXPECT_EQ(Cell(deep_, kColPath).size(), 605u);
}

TEST_F(UiListFixture, SizesDatesAndCounts) {
  CellOptions kb;
  EXPECT_EQ(Cell(u"C:\\Docs\\Makefile", kColSize, kb), u"2 KB");
  EXPECT_EQ(Cell(u"C:\\Docs\\sub\\big.bin", kColSize, kb), u"3,145,728 KB");
  EXPECT_EQ(Cell(u"C:\\Docs", kColSize, kb), u"");
  CellOptions human;
  human.human_sizes = true;
  EXPECT_EQ(Cell(u"C:\\Docs\\Makefile", kColSize, human), u"1.50 KB");
  EXPECT_EQ(Cell(u"C:\\Docs\\sub\\big.bin", kColSize, human), u"3.00 GB");
  idx_.db().ComputeFolderSizes();
  CellOptions folders = kb;
  folders.show_folder_size = true;
  // 5,000 + 1,536 + 3 GiB below C:\Docs, rounded up to whole KB.
  EXPECT_EQ(Cell(u"C:\\Docs", kColSize, folders), u"3,145,735 KB");
  idx_.db().ComputeFolderFileCounts();
  EXPECT_EQ(Cell(u"C:\\Docs", kColFileCount), u"3");
  EXPECT_EQ(Cell(u"C:\\Docs\\sub", kColFileCount), u"1");
  EXPECT_EQ(Cell(u"C:\\Docs\\Makefile", kColFileCount), u"");
  CellOptions tokyo;
  tokyo.utc_offset = [](int64_t) { return int64_t{9 * 3600}; };
  EXPECT_EQ(Cell(u"C:\\Docs\\Makefile", kColDate), u"2024-03-05 07:08:09");
  EXPECT_EQ(Cell(u"C:\\Docs\\Makefile", kColDate, tokyo), u"2024-03-05 16:08:09");
  // No stored time: an empty cell (in any zone), where 1 second later is a real date.
  EXPECT_EQ(Cell(u"C:\\NoTime", kColDate), u"");
  EXPECT_EQ(Cell(u"C:\\NoTime", kColDate, tokyo), u"");
  EXPECT_EQ(Cell(u"C:\\NoTime\\old.txt", kColDate), u"1977-10-02 00:00:01");
}

TEST_F(UiListFixture, DetailColumnsNeedRowDetails) {
  EXPECT_EQ(Cell(u"C:\\Docs\\Makefile", kColType), u"");
  EXPECT_EQ(Cell(u"C:\\Docs\\Makefile", kColCreated), u"");
  EXPECT_EQ(Cell(u"C:\\Docs\\Makefile", kColAttributes), u"");
  RowDetails d;
  d.type_name = u"File";
  d.has_created = true;
  d.created = kMarch5 - 3600;
  d.has_attributes = true;
  d.attributes = 0x21;
  EXPECT_EQ(Cell(u"C:\\Docs\\Makefile", kColType, {}, 0, &d), u"File");
  EXPECT_EQ(Cell(u"C:\\Docs\\Makefile", kColCreated, {}, 0, &d), u"2024-03-05 06:08:09");
  EXPECT_EQ(Cell(u"C:\\Docs\\Makefile", kColAttributes, {}, 0, &d), u"RA");
  // Without hash information the hash columns stay empty.
  EXPECT_EQ(Cell(u"C:\\Docs\\Makefile", kColHash), u"");
  EXPECT_EQ(Cell(u"C:\\Docs\\Makefile", kColDupCount), u"");
}

TEST_F(UiListFixture, HashColumns) {
  // Two files with one content (as the hashing tool records them).
  idx_.SetHashes({idx_.RecordFor(u"C:\\Docs\\Makefile", 0xde), idx_.RecordFor(u"C:\\Docs\\sub\\big.bin", 0xde)});
  const std::u16string hash = Cell(u"C:\\Docs\\Makefile", kColHash);
  ASSERT_EQ(hash.size(), 8u);
  for (char16_t c : hash) EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')) << ToUtf8(hash);
  EXPECT_EQ(Cell(u"C:\\Docs\\sub\\big.bin", kColHash), hash);
  EXPECT_EQ(Cell(u"C:\\Docs\\Makefile", kColDupCount), u"2");
}

TEST(UiExportName, CsvByExtensionInAnyCase) {
  EXPECT_TRUE(IsCsvExportName(u"result.CSV"));
  EXPECT_TRUE(IsCsvExportName(u"C:\\out\\r.csv"));
  EXPECT_TRUE(IsCsvExportName(u"r.CsV"));
  EXPECT_FALSE(IsCsvExportName(u"result.lst"));
  EXPECT_FALSE(IsCsvExportName(u"result.csv.txt"));
  EXPECT_FALSE(IsCsvExportName(u"csv"));
  EXPECT_FALSE(IsCsvExportName(u"rcsv"));
}

TEST_F(UiListFixture, CsvBytes) {
  const std::vector<uint32_t> rows = {Item(u"C:\\Docs\\say \"hi\".TXT"), Item(u"C:\\Docs"), Item(deep_)};
  const std::string bytes = ExportBytes(idx_.view(), rows, true, {});
  std::string want = "\xEF\xBB\xBF\"Name\",\"Path\",\"Size(KB)\",\"Date modified\"\r\n";
  // Double quotes inside a value are doubled; size is truncated KB; folders have none.
  want += "\"say \"\"hi\"\".TXT\",\"C:\\Docs\",\"4\",\"2024-03-05 07:08\"\r\n";
  want += "\"Docs\",\"C:\",\"\",\"2024-03-05 07:08\"\r\n";
  // The long row is written whole.
  want += "\"end.txt\",\"" + ToUtf8(deep_.substr(0, deep_.size() - 8)) + "\",\"0\",\"2024-03-05 07:08\"\r\n";
  EXPECT_EQ(bytes, want);
  EXPECT_GT(ToUtf8(deep_).size(), 844u);

  idx_.db().ComputeFolderSizes();
  ExportOptions o;
  o.show_folder_size = true;
  o.utc_offset = [](int64_t) { return int64_t{-8 * 3600}; };
  const std::string folders = ExportBytes(idx_.view(), std::vector<uint32_t>{Item(u"C:\\Docs")}, true, o);
  EXPECT_NE(folders.find("\"Docs\",\"C:\",\"3145734\",\"2024-03-04 23:08\"\r\n"), std::string::npos) << folders;
  // A folder without a stored time has an empty date, not the start of the time scale.
  EXPECT_EQ(ExportBytes(idx_.view(), std::vector<uint32_t>{Item(u"C:\\NoTime")}, true, {}),
            "\xEF\xBB\xBF\"Name\",\"Path\",\"Size(KB)\",\"Date modified\"\r\n\"NoTime\",\"C:\",\"\",\"\"\r\n");
}

TEST_F(UiListFixture, TextBytesAndFiles) {
  const std::vector<uint32_t> rows = {Item(u"C:\\Docs\\Makefile"), Item(deep_), Item(u"C:\\Docs")};
  const std::string want =
      "\xEF\xBB\xBF"
      "C:\\Docs\\Makefile\r\n" +
      ToUtf8(deep_) + "\r\nC:\\Docs\r\n";
  EXPECT_EQ(ExportBytes(idx_.view(), rows, false, {}), want);
  EXPECT_EQ(ExportBytes(idx_.view(), {}, false, {}), "\xEF\xBB\xBF");

  Env* env = Env::Default();
  const std::u16string dir = idx_.home() + env->PathSeparator();
  ASSERT_TRUE(ExportList(env, dir + u"result.lst", idx_.view(), rows, {}).ok());
  std::string read;
  ASSERT_TRUE(env->ReadWholeFile(dir + u"result.lst", &read).ok());
  EXPECT_EQ(read, want);
  ASSERT_TRUE(ExportList(env, dir + u"result.CSV", idx_.view(), rows, {}).ok());
  ASSERT_TRUE(env->ReadWholeFile(dir + u"result.CSV", &read).ok());
  EXPECT_EQ(read.substr(3, 7), "\"Name\",");
  // Replacing an existing file leaves only the new rows.
  ASSERT_TRUE(ExportList(env, dir + u"result.lst", idx_.view(), {}, {}).ok());
  ASSERT_TRUE(env->ReadWholeFile(dir + u"result.lst", &read).ok());
  EXPECT_EQ(read, "\xEF\xBB\xBF");
  // A file that cannot be created reports failure and creates nothing.
  const std::u16string bad = dir + u"missing" + env->PathSeparator() + u"r.txt";
  EXPECT_FALSE(ExportList(env, bad, idx_.view(), rows, {}).ok());
  EXPECT_FALSE(env->FileExists(bad));
}

}  // namespace
}  // namespace nusk
