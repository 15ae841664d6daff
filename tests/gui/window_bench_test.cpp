// Timing of the real window over a large generated index; runs only when
// NUSK_WINDOW_BENCH_HOME names a home folder holding one (tools/gen_index), e.g.
//   NUSK_WINDOW_BENCH_HOME='Z:\tmp\idx1m\' wine-run tests/nusk_gui_tests.exe --gtest_filter=WindowBench*
// Prints window start to first rows, and text change to rows (debounce included) per query,
// idle and (optionally) beside a running build;
// the full repaint of a page of rows (plain and with alternate row-group colours); and the
// window's memory per result row beyond the loaded search form.
#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <commctrl.h>

#include "gui/main_window.h"
#include "platform/process.h"
#include "tests/gui/window_driver.h"
#include "platform/win32/win_text.h"
#include "util/utf.h"

namespace nusk {
namespace {

double MsSince(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

// Committed private bytes of the process (Wine reports them as the pagefile usage), and the
// pages actually touched (working set).
struct Memory {
  uint64_t committed = 0;
  uint64_t touched = 0;
};
Memory ProcessMemory() {
  PROCESS_MEMORY_COUNTERS_EX pmc = {};
  pmc.cb = sizeof(pmc);
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof(pmc));
  return {std::max<uint64_t>(pmc.PrivateUsage, pmc.PagefileUsage), pmc.WorkingSetSize};
}

// Median time of a full repaint of the list's visible rows (every cell asked and drawn).
double RepaintMs(HWND list, int times) {
  std::vector<double> t;
  for (int i = 0; i < times; ++i) {
    const auto start = std::chrono::steady_clock::now();
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    GdiFlush();
    t.push_back(MsSince(start));
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

// The window over the bench index, with the fastest search delay.
MainWindowConfig BenchConfig(const char* home) {
  MainWindowConfig config;
  config.home = FromUtf8(home);
  config.settings_path = config.home + u"nusk.ini";
  config.keyboard_speed = 31;
  config.quit_on_destroy = false;
  return config;
}

void SetBoxText(MainWindow& window, const std::u16string& text) {
  const uint64_t before = window.results_taken();
  SendMessageW(window.search_box(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(text).c_str()));
  PumpUntil(
      &window, [&] { return window.results_taken() > before && !window.search_timer_pending(); }, 60000);
  window.source()->WaitIdle();
  PumpUntil(
      &window, [] { return false; }, 20);
}

// Every item in the list (the empty query with ShowAllItemsForEmptySearch), the default
// columns Name, Path, Size, Date modified: a page repainted in the middle of the list, and
// the process's private bytes with every row shown against a result of no rows.
TEST(WindowBench, RepaintAndMemoryPerRow) {
  const char* home = std::getenv("NUSK_WINDOW_BENCH_HOME");
  if (!home) GTEST_SKIP() << "NUSK_WINDOW_BENCH_HOME is not set";
  MainWindow window;
  const MainWindowConfig config = BenchConfig(home);
  ASSERT_TRUE(window.Create(config));
  ASSERT_TRUE(PumpUntil(
      &window, [&] { return window.results_taken() > 0; }, 120000));
  SetBoxText(window, u"no-item-has-this-name-q7");
  ASSERT_EQ(window.results().count(), 0u);
  window.results().Clear();  // without the arrays the list keeps for the next result
  const Memory empty = ProcessMemory();
  SetBoxText(window, u"");
  const uint32_t rows = window.results().count();
  // Row-group colours at the last row (the most the parities can hold).
  window.results().look().SetAltRowColors(true);
  window.results().SetFocusRow(rows - 1, -1);
  PumpUntil(
      &window, [] { return false; }, 50);
  window.results().look().SetAltRowColors(false);
  const Memory full = ProcessMemory();
  auto per_row = [rows](uint64_t a, uint64_t b) { return rows ? double(int64_t(b - a)) / rows : 0.0; };
  std::printf(
      "memory with %u rows shown, beyond the search form: committed %.2f bytes per row, touched %.2f "
      "(committed %.1f MB with no row)\n",
      rows, per_row(empty.committed, full.committed), per_row(empty.touched, full.touched),
      empty.committed / 1048576.0);
  ASSERT_GT(rows, 1000u);
  window.results().SetFocusRow(rows / 2, static_cast<int>(rows / 2));
  PumpUntil(
      &window, [] { return false; }, 50);
  const HWND list = window.list();
  std::printf("full repaint of %d visible rows (%zu columns): %.2f ms\n", ListView_GetCountPerPage(list),
              window.results().columns().size(), RepaintMs(list, 21));
  // Row-group colours: the first paint after a jump works out the groups of the page.
  window.results().look().SetAltRowColors(true);
  const auto first = std::chrono::steady_clock::now();
  RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  const double first_ms = MsSince(first);
  std::printf("repaint with row-group colours at row %u: first %.2f ms, then %.2f ms\n", rows / 2, first_ms,
              RepaintMs(list, 21));
  PostMessageW(window.hwnd(), WM_CLOSE, 0, 0);
  PumpUntil(
      &window, [&] { return !IsWindow(window.hwnd()); }, 10000);
}

// Six words typed one character at a time; the time of each text change, sorted.
std::vector<double> TypeWords(MainWindow& window) {
  const char16_t* words[] = {u"report", u"index.js", u"lib", u"conf", u"data.json", u"util"};
  std::vector<double> times;
  for (const char16_t* w : words) {
    std::u16string text;
    for (const char16_t* c = w; *c; ++c) {
      text += *c;
      const uint64_t before = window.results_taken();
      const auto t = std::chrono::steady_clock::now();
      SendMessageW(window.search_box(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(W(text).c_str()));
      EXPECT_TRUE(PumpUntil(
          &window, [&] { return window.results_taken() > before && !window.search_timer_pending(); }, 30000));
      const double taken_ms = MsSince(t);
      window.source()->WaitIdle();
      PumpUntil(
          &window, [] { return false; }, 0);  // what the worker posted last, without waiting for more
      times.push_back(MsSince(t));
      if (std::getenv("NUSK_WINDOW_BENCH_VERBOSE")) {
        std::printf("%-10s %8.1f ms (rows taken at %.1f ms)  %s\n", ToUtf8(text).c_str(), times.back(), taken_ms,
                    ToUtf8(window.StatusText()).c_str());
      }
    }
  }
  std::sort(times.begin(), times.end());
  return times;
}

void PrintTimes(const char* what, const std::vector<double>& t) {
  std::printf("text change to rows%s: p50 %.1f ms, p90 %.1f ms, max %.1f ms over %zu changes\n", what, t[t.size() / 2],
              t[t.size() * 9 / 10], t.back(), t.size());
}

// With NUSK_WINDOW_BENCH_BUILD_HOME set (a second home folder), the words are typed again
// while "nusk.exe --dbdir <that home> build <NUSK_WINDOW_BENCH_BUILD_DRIVE, default Z>"
// runs beside the window, as the window's background build runs it, and the ratio of the
// two medians is printed. The build is interrupted (Ctrl-C) after the typing.
TEST(WindowBench, KeystrokeToRows) {
  const char* home = std::getenv("NUSK_WINDOW_BENCH_HOME");
  if (!home) GTEST_SKIP() << "NUSK_WINDOW_BENCH_HOME is not set";
  MainWindow window;
  const MainWindowConfig config = BenchConfig(home);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(window.Create(config));
  ASSERT_TRUE(PumpUntil(
      &window, [&] { return window.results_taken() > 0; }, 60000));
  std::printf("window start to first rows: %.0f ms (%u rows)\n", MsSince(start), window.results().count());
  const std::vector<double> idle = TypeWords(window);
  PrintTimes("", idle);
  if (const char* build_home = std::getenv("NUSK_WINDOW_BENCH_BUILD_HOME")) {
    const char* drive = std::getenv("NUSK_WINDOW_BENCH_BUILD_DRIVE");
    std::u16string program = FromUtf8(NUSK_BINARY_DIR) + u"/app/nusk.exe";
    for (char16_t& c : program) c = c == u'/' ? u'\\' : c;
    ChildOptions options;
    options.interruptible = true;
    std::unique_ptr<ChildProcess> build;
    const Status s = ChildProcess::Start(
        program, {u"--dbdir", FromUtf8(build_home), u"build", FromUtf8(drive ? drive : "Z")}, options, &build);
    ASSERT_TRUE(s.ok()) << s.message();
    PumpUntil(
        &window, [] { return false; }, 1000);  // the build under way
    const std::vector<double> busy = TypeWords(window);
    int code = -1;
    const bool ended_early = build->Wait(0, &code);
    PrintTimes(" during a build", busy);
    std::printf("during a build / idle, p50: %.2f%s\n", busy[busy.size() / 2] / idle[idle.size() / 2],
                ended_early ? " (the build ended before the typing did: give it a larger drive)" : "");
    if (!ended_early) {
      build->Interrupt();
      build->Wait(60000, &code);
    }
  }
  PostMessageW(window.hwnd(), WM_CLOSE, 0, 0);
  PumpUntil(
      &window, [&] { return !IsWindow(window.hwnd()); }, 10000);
}

// Expanding a folder with 10,000 child folders in the real tree pane (the control's inserts
// included), over an index of 10,000 folders each holding files; runs with
// NUSK_WINDOW_BENCH_TREE=1 (it builds its own index, about 100,000 items).
TEST(WindowBench, ExpandAFolderOfTenThousandFolders) {
  if (!std::getenv("NUSK_WINDOW_BENCH_TREE")) GTEST_SKIP() << "NUSK_WINDOW_BENCH_TREE is not set";
  constexpr int kChildren = 10000;
  testing::TestIndex index;
  for (int i = 0; i < kChildren; ++i) {
    const std::u16string folder = u"C:\\many\\f" + FromUtf8(std::to_string(i));
    for (int j = 0; j < 9; ++j) index.File(folder + u"\\file" + FromUtf8(std::to_string(j)) + u".txt");
  }
  index.Build();
  testing::WindowDriver d(&index, "[UIState]\r\nShowTree=1\r\n");
  ASSERT_TRUE(d.Open());
  const HWND tree = d.window().folder_tree().tree();
  HTREEITEM root = d.window().folder_tree().root();
  HTREEITEM drive = TreeView_GetChild(tree, root);
  TreeView_Expand(tree, drive, TVE_EXPAND);
  HTREEITEM many = TreeView_GetChild(tree, drive);
  ASSERT_NE(many, nullptr);
  const auto t = std::chrono::steady_clock::now();
  TreeView_Expand(tree, many, TVE_EXPAND);
  RedrawWindow(tree, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  const double ms = MsSince(t);
  int count = 0;
  for (HTREEITEM c = TreeView_GetChild(tree, many); c; c = TreeView_GetNextSibling(tree, c)) ++count;
  EXPECT_EQ(count, kChildren);
  std::printf("expand a folder of %d child folders in the tree pane (inserts and a repaint): %.1f ms\n", count, ms);
}

}  // namespace
}  // namespace nusk
