// Row groups of the alternate colours: which rows are tinted, and the tint itself.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/row_groups.h"

namespace nusk {
namespace {

std::string Parities(RowGroups& groups, const std::vector<uint32_t>& keys, uint32_t upto) {
  std::string out;
  for (uint32_t r = 0; r < upto; ++r) out += groups.Odd(r, [&](uint32_t row) { return keys[row]; }) ? '1' : '0';
  return out;
}

TEST(UiRowGroups, RunsOfEqualParentsAlternate) {
  struct Case {
    std::vector<uint32_t> parents;
    const char* want;
  } cases[] = {
      {{7, 7, 9, 9, 9, 7, 3}, "0011101"},  // a folder seen again later starts a new group
      {{1, 2, 3, 4}, "0101"},              // no shared parents: plain alternating rows
      {{5, 5, 5}, "000"},
      {{0, 0, 1}, "001"},  // key 0 is a key like any other
  };
  for (const Case& c : cases) {
    RowGroups groups;
    groups.Reset(static_cast<uint32_t>(c.parents.size()));
    EXPECT_EQ(Parities(groups, c.parents, static_cast<uint32_t>(c.parents.size())), c.want);
  }
}

// Neighbouring rows share a colour exactly when they share a key.
void ExpectBands(RowGroups& groups, const RowGroups::KeyOfRow& key, uint32_t from, uint32_t to) {
  for (uint32_t r = from; r + 1 < to; ++r) {
    EXPECT_EQ(groups.Odd(r, key) == groups.Odd(r + 1, key), key(r) == key(r + 1)) << "rows " << r << ", " << r + 1;
  }
}

TEST(UiRowGroups, StretchGrowsBothWaysAndFarRowsStartAnew) {
  RowGroups groups;
  groups.Reset(1000000);
  int asked = 0;
  auto key = [&](uint32_t row) {
    ++asked;
    return row / 3;
  };
  // Scrolling up from the end of a 200-row stretch, across 64-bit words.
  EXPECT_FALSE(groups.Odd(199, key));  // a new stretch: the row's group untinted
  EXPECT_EQ(asked, 1);
  groups.Odd(0, key);
  EXPECT_EQ(asked, 200);
  ExpectBands(groups, key, 0, 200);
  const int before = asked;
  for (uint32_t r : {0u, 63u, 64u, 65u, 127u, 128u, 198u}) groups.Odd(r, key);
  EXPECT_EQ(asked, before);  // known rows are not looked at again
  // Down within reach: the stretch grows; far beyond it (a jump to the end): a new
  // stretch, without walking the rows in between.
  groups.Odd(200 + RowGroups::kReach - 1, key);
  EXPECT_EQ(groups.known_end(), 200 + RowGroups::kReach);
  ExpectBands(groups, key, 150, 260);
  asked = 0;
  groups.Odd(900000, key);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(groups.known_first(), 900000u);
  ExpectBands(groups, key, 899990, 900010);
  EXPECT_FALSE(groups.Odd(1000000, key));  // past the end

  // New rows: parities start over.
  groups.Reset(3);
  std::vector<uint32_t> other = {4, 5, 5};
  EXPECT_EQ(Parities(groups, other, 3), "011");
}

TEST(UiRowGroups, TintMovesATenthTowardsTheSelectionColour) {
  EXPECT_EQ(AltRowColor(0xFFFFFF, 0x000000), 0xE6E6E6u);  // 255 - 25 per channel
  EXPECT_EQ(AltRowColor(0x000000, 0xFFFFFF), 0x191919u);  // a dark theme gets a lighter band
  EXPECT_EQ(AltRowColor(0xFFFFFF, 0xD77800), 0xFBF2E6u);  // white towards blue: per channel
  EXPECT_EQ(AltRowColor(0x123456, 0x123456), 0x123456u);
  EXPECT_NE(AltRowColor(0xFFFFFF, 0xD77800), 0xFFFFFFu);
}

}  // namespace
}  // namespace nusk
