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
      {{0, 0, 1}, "001"},                  // key 0 is a key like any other
  };
  for (const Case& c : cases) {
    RowGroups groups;
    groups.Reset(static_cast<uint32_t>(c.parents.size()));
    EXPECT_EQ(Parities(groups, c.parents, static_cast<uint32_t>(c.parents.size())), c.want);
  }
}

TEST(UiRowGroups, LazyAcrossWordsAndReset) {
  // 200 rows in groups of 3: asked out of order (last row first), across 64-bit words.
  std::vector<uint32_t> keys;
  for (uint32_t r = 0; r < 200; ++r) keys.push_back(r / 3);
  RowGroups groups;
  groups.Reset(200);
  int asked = 0;
  auto key = [&](uint32_t row) { ++asked; return keys[row]; };
  EXPECT_EQ(groups.Odd(199, key), (199 / 3) % 2 == 1);
  EXPECT_EQ(groups.known(), 200u);
  EXPECT_EQ(asked, 200);
  for (uint32_t r : {0u, 63u, 64u, 65u, 127u, 128u, 198u}) EXPECT_EQ(groups.Odd(r, key), (r / 3) % 2 == 1) << r;
  EXPECT_EQ(asked, 200);  // known rows are not looked at again
  EXPECT_FALSE(groups.Odd(200, key));  // past the end

  // New rows: parities start over.
  groups.Reset(3);
  std::vector<uint32_t> other = {4, 5, 5};
  EXPECT_EQ(Parities(groups, other, 3), "011");
  // Asking row by row gives what asking the last row at once gives.
  groups.Reset(200);
  std::string stepwise = Parities(groups, keys, 200);
  groups.Reset(200);
  groups.Odd(150, key);
  EXPECT_EQ(Parities(groups, keys, 200), stepwise);
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
