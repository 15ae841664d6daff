// Start-up steps of the window that look at other processes: the refusal while a build
// runs, the single-instance mutex, the hand-over of a search to the running window, and
// the question after an abnormal end. Window thread (before the window exists).
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "settings/settings_file.h"

namespace nusk {

// Sent by a second start to the running window: take the search text from `Message`/`FindStr`.
inline constexpr UINT kMsgHandOver = 20434;
// Beside `Message`/`FindStr`: the handed-over text when it holds a '|' (ui/window_life.h).
inline constexpr char16_t kFindTextKey[] = u"FindText";
// Held by a second start while it hands over (until it ends).
inline constexpr wchar_t kInstanceActivateMutex[] = L"NUSK_INSTANCE_ACTIVATE";

// True while a build holds the home folder's build lock (or the machine-wide
// "Global\NUSK_BUILD" exists); the lock is only probed, never kept.
bool BuildInProgress(const std::u16string& home);

// Creates this process's single-instance mutex for home (kept until
// CloseInstanceMutex). True when another main window of the folder already holds it.
bool TakeInstanceMutex(const std::u16string& home);
// Closes it (the window does so while saving its state); later calls do nothing.
void CloseInstanceMutex();

// Steps 1 and 2 of the start-up. Returns the exit status when this start ends here
// (a build runs, or the search went to the running window); *other_instance tells
// whether another main window of the folder runs.
std::optional<int> RunInstanceSteps(std::span<const std::u16string> search_args, const SettingsFile& settings,
                                    const std::u16string& home, bool* other_instance);

// Step 4: after an abnormal end (and only without another instance) asks whether to
// clean the database; Yes cleans it. False when the user chose Cancel (the start ends).
bool CleanAfterAbnormalEndStep(const SettingsFile& settings, bool other_instance);

// True when the path names an existing file or folder.
bool PathExists(std::u16string_view path);
// The system time as a FILETIME count (`LastUIStartTime`, `LastUIEndTime`).
int64_t NowFileTime();

// The folder of this program's executable, ending with a separator.
std::u16string ProgramFolder();

// Starts this program again with its own command line (the caller then closes its
// window). False when the process could not be started.
bool StartAgain();

// True while a second start holds kInstanceActivateMutex (an activation is its hand-over).
bool HandOverActivationPending();

}  // namespace nusk
