// Sizes, dates, counts and the status texts the window shows.
#include <gtest/gtest.h>

#include <memory>

#include "l10n/builtin_ui.h"
#include "l10n/mui.h"
#include "ui/cell_text.h"
#include "ui/search_delay.h"
#include "ui/status_text.h"

namespace nusk {
namespace {

TEST(UiHumanSize, UnitBoundaries) {
  EXPECT_EQ(FormatHumanSize(0), u"0 bytes");
  EXPECT_EQ(FormatHumanSize(1023), u"1023 bytes");
  EXPECT_EQ(FormatHumanSize(1024), u"1.00 KB");
  // KB ends at 1,024,000, not at 1,048,576.
  EXPECT_EQ(FormatHumanSize(1023999), u"999 KB");
  EXPECT_EQ(FormatHumanSize(1024000), u"0.97 MB");
  EXPECT_EQ(FormatHumanSize(1048575), u"1.00 MB");
  // Just below 1 GB the three decimals round up to 1,024 before the point goes.
  EXPECT_EQ(FormatHumanSize(1073741823), u"1,024 MB");
  EXPECT_EQ(FormatHumanSize(1073741824), u"1.00 GB");
  EXPECT_EQ(FormatHumanSize(1099511627776ull), u"1.00 TB");
}

TEST(UiHumanSize, DigitsKeptByMagnitude) {
  EXPECT_EQ(FormatHumanSize(1536), u"1.50 KB");
  EXPECT_EQ(FormatHumanSize(20480), u"20.0 KB");
  EXPECT_EQ(FormatHumanSize(512000), u"500 KB");
  EXPECT_EQ(FormatHumanSize(1000000), u"976 KB");
  EXPECT_EQ(FormatHumanSize(5ull * 1099511627776ull / 2), u"2.50 TB");
  // From 1,024 TB the number keeps its decimals and gets grouped.
  EXPECT_EQ(FormatHumanSize(2048ull * 1099511627776ull), u"2,048.000 TB");
}

TEST(UiSizeKb, RoundsUpAndGroups) {
  EXPECT_EQ(FormatSizeKb(0), u"0 KB");
  EXPECT_EQ(FormatSizeKb(1), u"1 KB");
  EXPECT_EQ(FormatSizeKb(1024), u"1 KB");
  EXPECT_EQ(FormatSizeKb(1025), u"2 KB");
  EXPECT_EQ(FormatSizeKb(1234567ull * 1024), u"1,234,567 KB");
  EXPECT_EQ(FormatSize(1536, true), u"1.50 KB");
  EXPECT_EQ(FormatSize(1536, false), u"2 KB");
}

TEST(UiGroupDigits, EveryThreeFromTheRight) {
  EXPECT_EQ(GroupDigits(0), u"0");
  EXPECT_EQ(GroupDigits(999), u"999");
  EXPECT_EQ(GroupDigits(1000), u"1,000");
  EXPECT_EQ(GroupDigits(1234567), u"1,234,567");
  EXPECT_EQ(GroupDigits(18446744073709551615ull), u"18,446,744,073,709,551,615");
}

TEST(UiDateText, CompactTimeInLocalTime) {
  const CompactTime t = 1465024089;  // 2024-03-05 07:08:09 UTC
  EXPECT_EQ(DateTimeText(LocalCivilTime(t, nullptr)), u"2024-03-05 07:08:09");
  EXPECT_EQ(DateTimeText(LocalCivilTime(t, [](int64_t) { return int64_t{9 * 3600}; })), u"2024-03-05 16:08:09");
  EXPECT_EQ(DateMinuteText(LocalCivilTime(t, nullptr)), u"2024-03-05 07:08");
  EXPECT_EQ(DateTimeText(LocalCivilTime(0, nullptr)), u"1977-10-02 00:00:00");
  // A negative offset crosses the year boundary backwards, a positive one forwards.
  const CompactTime eve = 1459467000;  // 2023-12-31 23:30:00 UTC
  EXPECT_EQ(DateTimeText(LocalCivilTime(eve, [](int64_t) { return int64_t{3600}; })), u"2024-01-01 00:30:00");
  EXPECT_EQ(DateTimeText(LocalCivilTime(1465024089 - 7 * 3600 - 8 * 60 - 9, [](int64_t) { return int64_t{-1}; })),
            u"2024-03-04 23:59:59");
  // The offset function is asked for the UTC instant of the time.
  int64_t asked = 0;
  LocalCivilTime(t, [&](int64_t s) {
    asked = s;
    return int64_t{0};
  });
  EXPECT_EQ(asked, 1709622489);
}

TEST(UiAttributeText, LettersInFixedOrder) {
  EXPECT_EQ(AttributeText(0), u"");
  EXPECT_EQ(AttributeText(0x1 | 0x2 | 0x20), u"RHA");
  EXPECT_EQ(AttributeText(0x4000 | 0x10 | 0x4), u"SDE");
}

TEST(UiSearchDelay, FollowsKeyboardSpeed) {
  EXPECT_EQ(SearchDelayMs(31), 19);
  EXPECT_EQ(SearchDelayMs(0), 60);
  EXPECT_EQ(SearchDelayMs(99), 19);  // clamped
  EXPECT_EQ(SearchDelayMs(-5), 60);
  // Speed 20: p = 33 + 11 * 367 / 31 = 163; 3p = 489 -> 300 / 5.
  EXPECT_EQ(SearchDelayMs(20), 60);
  // Speed 28: p = 33 + 3 * 367 / 31 = 68; 3p = 204 -> 40.
  EXPECT_EQ(SearchDelayMs(28), 40);
}

TEST(UiStatusText, ReadyFoundAndSelection) {
  EXPECT_EQ(ReadyStatus(1234), u"Ready (Total 1,234 items)");
  EXPECT_EQ(FoundStatus(1234567, 5), u"Found 1,234,567 items (5) ms");
  EXPECT_EQ(FoundStatus(0, 1234), u"Found 0 items (1234) ms");
  EXPECT_EQ(SearchDoneStatus(u"", false, 1234, 1234, 7), u"Ready (Total 1,234 items)");
  EXPECT_EQ(SearchDoneStatus(u"", true, 1234, 1234, 7), u"Found 1,234 items (7) ms");
  EXPECT_EQ(SearchDoneStatus(u"abc", false, 1234, 3, 7), u"Found 3 items (7) ms");
  EXPECT_EQ(SelectionStatus(1, 2048, false), u"1 item selected, 2 KB");
  EXPECT_EQ(SelectionStatus(0, 0, false), u"0 items selected, 0 KB");
  EXPECT_EQ(SelectionStatus(3, 1536, true), u"3 items selected, 1.50 KB");
}

// A table with a few translated messages, as a language would give.
class TestTable : public CMUI {
 public:
  TestTable() {
    messages_[u"MSG.READY_STATUS"] = u"Bereit";
    messages_[u"MSG.TOTAL_STATUS"] = u"Insgesamt %s Einträge";
    messages_[u"MSG.RESULT_FOUND_COUNT"] = u"%s gefunden (%d) ms";
    messages_[u"MSG.ITEM_SELECTED"] = u"%d Eintrag, %s";
  }
};

TEST(UiStatusText, TranslatedTablesAndPlaceholders) {
  InstallUI(std::make_unique<TestTable>());
  EXPECT_EQ(ReadyStatus(1234), u"Bereit (Insgesamt 1,234 Einträge)");
  EXPECT_EQ(FoundStatus(2000, 3), u"2,000 gefunden (3) ms");
  EXPECT_EQ(SelectionStatus(1, 1024, false), u"1 Eintrag, 1 KB");
  // The table has no plural text: the English form stays.
  EXPECT_EQ(SelectionStatus(2, 1024, false), u"2 items selected, 1 KB");
  // Keys the table lacks fall back to English.
  EXPECT_EQ(EmptyListText(), u"Please enter file name in the text box to start your search");
  InstallUI(nullptr);

  EXPECT_EQ(FillPlaceholders(u"%s of %d (100%%)", {u"a", u"b"}), u"a of b (100%)");
  // Too few arguments leave the rest empty; a lone '%' at the end stays.
  EXPECT_EQ(FillPlaceholders(u"%s %s %", {u"x"}), u"x  %");
}

TEST(UiWindowTitle, SearchTextAndHome) {
  EXPECT_EQ(WindowTitle(u"", u"C:\\n\\", true), u"Nusk");
  EXPECT_EQ(WindowTitle(u"abc", u"C:\\n\\", true), u"abc - Nusk");
  EXPECT_EQ(WindowTitle(u"abc", u"D:\\db\\", false), u"abc - Nusk (D:\\db\\)");
  EXPECT_EQ(WindowTitle(u"", u"D:\\db\\", false), u"Nusk (D:\\db\\)");
}

TEST(UiStatusStack, PushAndPopRestore) {
  StatusStack s;
  s.Set(u"Ready");
  s.Set(u"{PUSH}");
  EXPECT_EQ(s.Set(u"Building database..."), u"Building database...");
  s.Set(u"{PUSH}");
  s.Set(u"Checking for updates...");
  EXPECT_EQ(s.Set(u"{POP}"), u"Building database...");
  EXPECT_EQ(s.Set(u"{POP}"), u"Ready");
  // An unmatched pop keeps the text.
  EXPECT_EQ(s.Set(u"{POP}"), u"Ready");
  EXPECT_EQ(s.depth(), 0u);
}

// Unit names come from the language table: every unit of both size formats and the status.
class UnitTable : public CMUI {
 public:
  UnitTable() {
    messages_[u"LBL.SIZE_BYTES"] = u"o";
    messages_[u"LBL.BYTES"] = u"Octets";
    messages_[u"LBL.KB"] = u"Ko";
    messages_[u"LBL.MB"] = u"Mo";
    messages_[u"LBL.GB"] = u"Go";
    messages_[u"LBL.TB"] = u"To";
  }
};

TEST(UiSizeUnits, TakenFromTheLanguageTable) {
  InstallUI(std::make_unique<UnitTable>());
  const SizeUnits units = TableSizeUnits();
  EXPECT_EQ(units.bytes_name, u"Octets");
  const struct {
    uint64_t bytes;
    bool human;
    std::u16string_view want;
  } cases[] = {
      {512, true, u"512 o"},
      {1536, true, u"1.50 Ko"},
      {1048576, true, u"1.00 Mo"},
      {1073741824, true, u"1.00 Go"},
      {1099511627776ull, true, u"1.00 To"},
      {2048, false, u"2 Ko"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatSize(c.bytes, c.human, units), c.want) << c.bytes;
  EXPECT_EQ(SelectionStatus(2, 1024, false), u"2 items selected, 1 Ko");
  // The built-in German and Japanese tables carry their own names.
  auto german = std::make_unique<CDeUI>();
  german->Fill();
  InstallUI(std::move(german));
  EXPECT_EQ(FormatSize(512, true, TableSizeUnits()), u"512 Bytes");
  auto japanese = std::make_unique<CJaUI>();
  japanese->Fill();
  InstallUI(std::move(japanese));
  EXPECT_EQ(FormatSize(512, true, TableSizeUnits()), u"512 バイト");
  EXPECT_EQ(TableSizeUnits().bytes_name, u"バイト");
  InstallUI(nullptr);
  EXPECT_EQ(FormatSize(512, true, TableSizeUnits()), u"512 bytes");
}

}  // namespace
}  // namespace nusk
