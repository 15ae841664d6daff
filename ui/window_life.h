// The window's life across instances and restarts, as decisions without a window: the
// single-instance mutex name, the hand-over text between two starts, the question after
// an abnormal end, what closing does, the saved window placement and the crash report.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace nusk {

// The name of the mutex that tells a main window of this home folder runs: the folder
// with every backslash turned into a forward slash, then "|NUSK_GUI".
std::u16string InstanceMutexName(std::u16string_view home);

// What a second start writes to `Message`: in `FindStr` the arguments after the
// sub-command joined and quoted as for the initial search text, every double quote
// stored as '|' (profile functions strip a value's outer quotes). A '|' of the text
// itself (the query's "or") would come back as a quote, so a text holding one also goes
// to `FindText` with '%', '"' and '|' written as "%25", "%22" and "%7C"; find_text is
// empty otherwise.
struct HandOver {
  std::u16string find_str;
  std::u16string find_text;
};
HandOver HandOverMessage(std::span<const std::u16string> args);

// What the running window searches for a stored hand-over: `FindText` when it is there
// and well formed, otherwise `FindStr` with its bars turned back into double quotes; one
// space added when the text without quotes names an existing item.
std::u16string ReceivedSearchText(std::u16string_view find_str, std::u16string_view find_text,
                                  const std::function<bool(std::u16string_view)>& exists);

// True when the question after an abnormal end is asked: no other instance runs and the
// last recorded end (FILETIME count, 0 when never written) is earlier than the last start.
bool AskCleanAfterAbnormalEnd(bool other_instance_running, int64_t last_start, int64_t last_end);

// What a request to close the main window does.
enum class CloseStep {
  kHideToTray,  // hide the window; the notification-area icon stays
  kDefer,       // a load or a foreground build runs: end once it has finished
  kEnd,         // save the state and end now
};
struct CloseContext {
  bool close_to_tray = false;   // `CloseToTray`
  bool exit_requested = false;  // the tray menu's Exit (or a deferred quit coming due)
  bool loading = false;         // the loader thread has not finished
  bool foreground_build = false;
};
CloseStep DecideClose(const CloseContext& c);

// The balloon after hiding to the notification area: shown unless
// `NoMinimizeNotification` is 1 or the user clicked it away earlier in this run.
bool ShowsHiddenBalloon(bool no_minimize_notification, bool silenced);

// `WindowPlacement`: "show,left,top,right,bottom" with show 3 for a maximised window and
// 1 otherwise, and the window's normal rectangle.
struct SavedPlacement {
  bool maximized = false;
  int left = 0, top = 0, right = 0, bottom = 0;
};
std::u16string PlacementText(const SavedPlacement& p);
// Empty for a malformed text, another show state or a rectangle without area.
std::optional<SavedPlacement> ParsePlacement(std::u16string_view text);

// The lines "nusk.gui.log" gets when the window crashes, known before the crash: the
// banner, "-- nusk info --" with version, bitness, home and "Portable: Y", and
// "-- Search info --"; each line ends in '\n'. UTF-8.
std::string GuiCrashReportPrelude(std::u16string_view home);
// "Last search: " and the text, with line breaks in the text shown as spaces, and '\n'.
std::string LastSearchLine(std::u16string_view text);

}  // namespace nusk
