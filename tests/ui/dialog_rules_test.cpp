// The rules behind the tip-of-the-day, statistics and web-server dialogs.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <set>
#include <thread>

#include "l10n/ui_keys.h"
#include "ui/preview.h"
#include "ui/statistics.h"
#include "ui/tips.h"
#include "ui/update_check.h"
#include "ui/web_server_form.h"
#include "util/version.h"

namespace nusk {
namespace {

TEST(TipOfTheDay, StartAndStepWrapRound) {
  struct Case {
    std::optional<int64_t> stored;
    int first;
  } cases[] = {{std::nullopt, 0},
               {0, 0},
               {3, 3},
               {kTipCount - 1, kTipCount - 1},
               {kTipCount, 0},
               {kTipCount + 2, 2},
               {-1, kTipCount - 1},
               {-kTipCount - 2, kTipCount - 2}};
  for (const Case& c : cases) {
    const int first = FirstTipIndex(c.stored);
    EXPECT_EQ(first, c.first) << (c.stored ? *c.stored : -999);
    EXPECT_GE(first, 0);
    EXPECT_LT(first, kTipCount);
  }
  EXPECT_EQ(StepTip(kTipCount - 1, 1), 0);
  EXPECT_EQ(StepTip(0, -1), kTipCount - 1);
  EXPECT_EQ(StepTip(2, 1), 3);
  EXPECT_EQ(StepTip(2, -1), 1);
  // Every tip has its own English text, reached by stepping from the first.
  std::set<std::u16string> seen;
  for (int i = 0, at = 0; i < kTipCount; ++i, at = StepTip(at, 1)) {
    ASSERT_NE(EnglishTip(at), nullptr) << at;
    seen.insert(EnglishTip(at));
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kTipCount));
  EXPECT_EQ(EnglishMessage(TipKey(kTipCount)), nullptr) << "no text beyond the last tip";
}

TEST(Statistics, GroupedCountsAndLastBuild) {
  const UtcOffsetFn plus_one_hour = [](int64_t) { return int64_t{3600}; };
  // 2024-03-05 07:08:09 UTC as seconds since 1977-10-02.
  const CompactTime t = static_cast<CompactTime>(1709622489 - 244598400);
  StatisticsTexts s = StatisticsFigures(1234567, 1000, t, plus_one_hour);
  EXPECT_EQ(s.all_items, u"1,234,567");
  EXPECT_EQ(s.folders, u"1,000");
  EXPECT_EQ(s.files, u"1,233,567");
  EXPECT_EQ(s.last_full_build, u"2024-03-05 08:08:09");
  s = StatisticsFigures(0, 0, 0, plus_one_hour);
  EXPECT_EQ(s.all_items, u"0");
  EXPECT_EQ(s.files, u"0");
  EXPECT_EQ(s.last_full_build, u"-");
  // More folders than items (a damaged header): no wrapped file count.
  s = StatisticsFigures(5, 9, 0, nullptr);
  EXPECT_EQ(s.folders, u"5");
  EXPECT_EQ(s.files, u"0");
}

TEST(WebServerForm, StatesPortsAndBrowserAddress) {
  const WebServerFormState stopped = WebServerForm(false), running = WebServerForm(true);
  EXPECT_EQ(stopped.button_key, u"button.start");
  EXPECT_TRUE(stopped.fields_enabled);
  EXPECT_FALSE(stopped.browser_enabled);
  EXPECT_EQ(running.button_key, u"button.stop");
  EXPECT_FALSE(running.fields_enabled);
  EXPECT_TRUE(running.browser_enabled);

  struct PortCase {
    std::u16string_view text;
    std::optional<uint16_t> port;
  } ports[] = {{u"", 8080},
               {u"  ", 8080},
               {u"80", 80},
               {u" 8081 ", 8081},
               {u"65535", 65535},
               {u"65536", std::nullopt},
               {u"0", std::nullopt},
               {u"-1", std::nullopt},
               {u"80a", std::nullopt},
               {u"999999", std::nullopt},
               {u"4294967376", std::nullopt}};
  for (const PortCase& c : ports) EXPECT_EQ(WebServerPort(c.text), c.port) << std::string(c.text.begin(), c.text.end());

  EXPECT_EQ(WebServerAddress(u" \t10.0.0.1 \r\n"), u"10.0.0.1");
  EXPECT_EQ(WebServerBrowserAddress(u"", 8080), u"http://localhost:8080/");
  EXPECT_EQ(WebServerBrowserAddress(u"  192.168.1.5 ", 80), u"http://192.168.1.5:80/");
  EXPECT_EQ(WebServerBrowserAddress(u"::1", 8081), u"http://[::1]:8081/");
  EXPECT_EQ(WebServerBrowserAddress(u"[::1]", 8081), u"http://[::1]:8081/");
}

TEST(UpdateCheck, VersionFileVerdictsAndMessages) {
  struct Case {
    std::optional<std::string> file;
    UpdateOutcome outcome;
    std::u16string_view version;
  } cases[] = {
      {NUSK_VERSION, UpdateOutcome::kUpToDate, u"" NUSK_VERSION},
      {"\xEF\xBB\xBF " NUSK_VERSION " \r\nnotes", UpdateOutcome::kUpToDate, u"" NUSK_VERSION},
      {"4.5.0\n", UpdateOutcome::kNewVersion, u"4.5.0"},
      {"4.3.9", UpdateOutcome::kNewVersion, u"4.3.9"},  // any other version is offered
      {"", UpdateOutcome::kFailed, u""},
      {" \r\n4.5.0", UpdateOutcome::kFailed, u""},  // the first line is the version
      {std::nullopt, UpdateOutcome::kFailed, u""},  // no answer in time
      {"<html><body>Not found</body></html>", UpdateOutcome::kFailed, u""},
      {std::string(40, '9'), UpdateOutcome::kFailed, u""},
  };
  for (const Case& c : cases) {
    const UpdateVerdict v = JudgeVersionFile(c.file, kThisVersion);
    EXPECT_EQ(v.outcome, c.outcome) << (c.file ? *c.file : "(none)");
    if (c.outcome != UpdateOutcome::kFailed) { EXPECT_EQ(v.version, c.version); }
  }
  using K = UpdateMessage::Kind;
  UpdateMessage m = UpdateMessageFor({UpdateOutcome::kUpToDate, kThisVersion});
  EXPECT_EQ(m.text, u"Nusk is update to date!");
  EXPECT_EQ(m.kind, K::kInformation);
  m = UpdateMessageFor({UpdateOutcome::kNewVersion, u"4.5.0"});
  EXPECT_EQ(m.text, u"A new version of Nusk(4.5.0) is available.\nWould you want to download it now?");
  EXPECT_EQ(m.kind, K::kAskOkCancel);
  m = UpdateMessageFor({UpdateOutcome::kFailed, u""});
  EXPECT_EQ(m.text, u"Failed to read latest version info from Nusk website.");
  EXPECT_EQ(m.kind, K::kWarning);
  EXPECT_NE(UpdateMessageFor({UpdateOutcome::kNotConfigured, u""}).text.find(u"UpdateCheckUrl"), std::u16string::npos);

  EXPECT_EQ(UpdateRequestUrl("http://h/ver.txt", 42), "http://h/ver.txt?_rnd=42");
  EXPECT_EQ(UpdateRequestUrl("http://h/ver.txt?x=1#f", 42), "http://h/ver.txt?x=1&_rnd=42#f");
}

// The window must be able to give up on a fetch stuck in a name look-up: dropping the
// handle returns at once, and a fetch that ends is taken whole.
TEST(UpdateCheck, FetchIsNeverWaitedForBeyondTheCaller) {
  auto release = std::make_shared<std::promise<void>>();
  std::shared_future<void> released = release->get_future().share();
  const auto start = std::chrono::steady_clock::now();
  {
    DetachedFetch stuck([released] {
      released.wait();
      return std::optional<std::string>("late");
    });
    EXPECT_FALSE(stuck.Ready());
    EXPECT_EQ(stuck.Take(), std::nullopt);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  release->set_value();  // the stuck fetch ends on its own thread, after its handle went

  DetachedFetch quick([] { return std::optional<std::string>(NUSK_VERSION "\r\n"); });
  for (int i = 0; i < 500 && !quick.Ready(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(quick.Ready());
  EXPECT_EQ(JudgeVersionFile(quick.Take(), kThisVersion).outcome, UpdateOutcome::kUpToDate);
}

TEST(PreviewCommand, CloseStartOrReport) {
  struct Case {
    bool open, exists;
    std::u16string_view file;
    PreviewStep step;
    std::u16string_view parameters, message;
  } cases[] = {
      {true, true, u"C:\\a b\\x.txt", PreviewStep::kCloseViewer, u"", u""},
      {true, false, u"", PreviewStep::kCloseViewer, u"", u""},  // an open viewer closes even when moved away
      {false, true, u"C:\\a b\\x.txt", PreviewStep::kStartViewer, u"\"C:\\a b\\x.txt\"", u""},
      {false, true, u"", PreviewStep::kStartViewer, u"", u""},
      {false, false, u"C:\\x.txt", PreviewStep::kReportMissing, u"", u"File not found: C:\\Nusk\\Orvi.exe"},
  };
  for (const Case& c : cases) {
    const PreviewPlan p = PlanPreview(c.open, u"C:\\Nusk\\", c.exists, c.file);
    EXPECT_EQ(p.step, c.step);
    EXPECT_EQ(p.program, u"C:\\Nusk\\Orvi.exe");
    EXPECT_EQ(p.parameters, c.parameters);
    EXPECT_EQ(p.message, c.message);
  }
}

}  // namespace
}  // namespace nusk
