// The small modal dialogs of the main window: tip of the day, statistics and web server.
// Each runs from a template of nusk.rc with its texts taken from the current language table.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "ui/statistics.h"

namespace nusk {

class MainWindow;

// Steps through the tips starting at `DefaultTodIndex`; on closing writes `ShowTipOnStartup`
// from its box and `DefaultTodIndex` as the tip after the one shown last, so the next
// start-up shows a new tip.
void ShowTipOfTheDay(HWND owner, const std::u16string& settings_path);

// Shows the counts and the last full build.
void ShowStatistics(HWND owner, const StatisticsTexts& figures);

// Start/Stop of `window`'s web service with the four `WebServer` values, which are written
// back once the service has started. open_address opens the launch-browser address
// (unset: the shell's "open" verb).
void ShowWebServerDialog(HWND owner, MainWindow* window, const std::u16string& settings_path,
                         std::function<void(const std::u16string&)> open_address = {});

}  // namespace nusk
