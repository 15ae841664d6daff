// The main window: search box, result list and status bar over one loaded index.
//
// The window loads the index on a loader thread (20425), searches as the user types
// through one FileListSource whose worker posts 20427, and applies the keyboard rules
// before any key message reaches its control (PreTranslate, called by the message loop).
// Everything here runs on the window thread except the loader and the search worker,
// which only post messages.
#pragma once
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <mutex>
#include <thread>

#include "gui/folder_tree.h"
#include "gui/options_dialog.h"
#include "gui/query_composer_dialog.h"
#include "gui/result_list.h"
#include "gui/search_box.h"
#include "gui/toolbar.h"
#include "gui/window_build.h"
#include "index/nusk_db.h"
#include "search/file_list_source.h"
#include "search/hash_info.h"
#include "search/named_searches.h"
#include "settings/settings_file.h"
#include "ui/nav_history.h"
#include "ui/shortcuts.h"
#include "ui/status_text.h"
#include "ui/window_options.h"

namespace nusk {

class WebService;
class WebSearch;
class TrayIcon;

inline constexpr UINT kMsgDbLoaded = 20425;
inline constexpr UINT kMsgSearchDone = 20427;
inline constexpr UINT kMsgFocusBack = 20428;
inline constexpr UINT kMsgShowTip = 20429;
inline constexpr UINT kMsgPreviewSelection = 20430;  // the selection changed while the viewer is open
inline constexpr UINT_PTR kPreviewTimer = 7;         // watches the viewer's window
inline constexpr UINT kPreviewWatchMs = 500;
inline constexpr int kPreviewWatchTicks = 20;  // how long a started viewer may take to show its window

inline constexpr wchar_t kMainWindowClass[] = L"Nusk_Main_Window";

struct MainWindowConfig {
  std::u16string home;             // home folder, ends with the separator
  std::u16string settings_path;    // "nusk.ini" in it
  bool default_home = true;        // false: the title names the home folder
  std::u16string initial_text;     // search text from the command line (may be empty)
  int keyboard_speed = -1;         // -1: the system's setting (tests pin it)
  bool show = true;                // show the window once created
  bool quit_on_destroy = true;     // post WM_QUIT when the window is destroyed
  std::u16string program;          // the program builds run; empty: this executable
  int auto_build_tick_ms = 10000;  // the periodic build's timer (tests shorten it)
  bool rebuild_required = false;   // start-up cleaned an incompatible database: build unasked
  // Hooks for tests and for parts built elsewhere. start_build: starts a build of a drive
  // letter (0: every drive), true when it started (unset: the window's own build);
  // build_running: whether a build runs in another process; show_tip: the tip-of-the-day
  // dialog (message 20429; unset: no tip).
  std::function<bool(int drive)> start_build;
  std::function<bool()> build_running;
  std::function<void()> show_tip;
  // The preview viewer's folder (ends with a separator); empty: this program's own folder.
  std::u16string preview_folder;
  // Database locations. set_home: records the home folder for the next start (empty: the
  // default location; unset: the redirect in the base folder's settings); browse_folder:
  // asks for a folder (unset: the folder dialog); open_folder: shows a folder (unset: the shell).
  std::function<bool(const std::u16string&)> set_home;
  std::function<std::u16string()> browse_folder;
  std::function<void(const std::u16string&)> open_folder;
  // Content hashes. hasher_folder: the folder of Sumtor.exe (ends with a separator; empty:
  // this program's own folder); is_admin: whether the user is an administrator (unset: the
  // process token's membership of the Administrators group).
  std::u16string hasher_folder;
  std::function<bool()> is_admin;
  // Runs on the loader thread after the index is loaded, before the window hears of it
  // (tests hold the load there).
  std::function<void()> after_load;
};

// The popup of a menu (searched at every depth) whose first item has this command.
HMENU FindPopupStartingWith(HMENU menu, UINT first_id);

class MainWindow : public IFileListSourceChangeListener {
 public:
  MainWindow();
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Registers the window class (once per process).
  static bool Register(HINSTANCE instance);
  // Creates the window and its controls and starts loading the index. Null on failure.
  HWND Create(const MainWindowConfig& config);

  // The keyboard rules and accelerators; true when the message was consumed.
  bool PreTranslate(MSG* msg);

  HWND hwnd() const { return hwnd_; }
  HWND search_box() const { return box_.hwnd(); }
  HWND list() const { return list_.hwnd(); }
  HWND status_bar() const { return status_; }
  ResultList& results() { return list_; }
  SearchBox& box() { return box_; }
  QueryComposerDialog& composer() { return composer_; }
  FolderTree& folder_tree() { return tree_; }
  bool loaded() const { return loaded_; }
  // Number of results taken on 20427 (tests wait for it to grow).
  uint64_t results_taken() const { return results_taken_; }
  std::u16string StatusText() const;
  const StatusStack& status_stack() const { return status_stack_; }
  std::u16string search_text() const { return search_text_; }
  const NavHistory& history() const { return history_; }
  const WindowOptions& options() const { return options_; }
  bool search_timer_pending() const { return timer_pending_; }
  FileListSource* source() { return source_.get(); }
  // Runs a search now (the timer's action).
  void RunSearch();
  void Command(int id);
  // Shows the tree (when hidden) and goes to the item's folder there (a file: its folder),
  // which searches inside it. The "Locate in folder tree" action.
  void LocateInFolderTree(uint32_t item);

  // Builds (gui/window_build.cpp). drive 0: all drives. A periodic build that finds
  // another build running is skipped without a word.
  void StartBuildFromWindow(char16_t drive, bool periodic = false);
  bool building() const { return building_; }
  bool build_pending() const { return pending_build_ >= 0; }
  int64_t auto_build_interval() const { return auto_build_interval_; }
  // Reads AutoBuild, BuildEveryValue and BuildEveryUnit again and sets the timer.
  void ReadAutoBuildSettings();
  // Unloads the index and loads it again (20424).
  void ReloadDatabase();
  // Database > Clean (gui/database_commands.cpp): drive 0 or the index's only drive cleans
  // the whole database, another letter that drive's items; refused with a message while a
  // build runs. The window then reloads, and the other windows are told.
  void CleanFromWindow(char16_t drive);
  // Content hashes ("nusk.hash", written by Sumtor.exe). EnsureHashInfo loads them once the
  // index is loaded (false while it is not); ReloadHashInfo reads the file again and
  // searches again; FindSameHash searches the files with the item's content;
  // LaunchHasher starts the hashing tool without waiting for it.
  bool EnsureHashInfo();
  void ReloadHashInfo();
  void FindSameHash(uint32_t item);
  void LaunchHasher();
  // Database > Show Ignored Folders: the folders left out for their marker file.
  void ShowIgnoredFolders();
  int hash_loads() const { return hash_loads_; }
  const std::u16string& last_hasher_verb() const { return last_hasher_verb_; }
  // For tests: builds started, reloads begun, and the last build-finished check's text.
  int builds_started() const { return builds_started_; }
  int builds_skipped() const { return builds_skipped_; }
  int reloads() const { return reloads_; }
  const std::u16string& last_build_note() const { return last_build_note_; }
  HWND build_balloon() const { return balloon_; }
  bool taskbar_progress_shown() const { return taskbar_shown_; }
  // Tools > Options: the options dialog, then the changed options applied.
  void ShowOptions();
  // Called with the options dialog's context before it opens (tests).
  std::function<void(OptionsDialogContext*)> configure_options;
  // The web service over this window's home (Tools > Web Server and `Running`). Start: true
  // when it listens; otherwise *error says why. Stop: waits until the port is free.
  bool StartWebServer(const std::u16string& ip, uint16_t port, const std::u16string& user,
                      const std::u16string& password, std::u16string* error);
  void StopWebServer();
  bool web_server_running() const;
  uint16_t web_server_port() const;
  // Help > Check for Updates (gui/update_command.cpp): fetches the version file named by
  // `UpdateCheckUrl` (nothing is requested while it is empty) within 5 s and says what it found.
  void CheckForUpdates();
  // Tools > Preview window (gui/preview_window.cpp): closes the viewer's window, or starts
  // the viewer with the first selected item.
  void TogglePreview();
  // Called with every command before it runs; returning true swallows it (tests).
  std::function<bool(int)> command_hook;

  // The shortcut table in use (built-in with the user's section laid over it).
  const std::vector<Shortcut>& shortcuts() const { return shortcuts_; }
  // Builds the accelerator table again from the settings file and shows it in the menus.
  void ReloadShortcuts();
  // Runs custom action `index` (from 0) on the first selected item.
  void RunCustomAction(size_t index);
  // The "More actions" popup of the main menu (filled when it opens).
  HMENU more_actions_menu() const { return more_actions_menu_; }

  // The classic toolbar in its rebar (gui/window_menus.cpp).
  MainToolbar& toolbar() { return toolbar_; }

  // The notification-area icon (null while `CloseToTray` is off).
  TrayIcon* tray() { return tray_.get(); }
  // Adds or removes the icon after the cached `CloseToTray` changed (the options dialog).
  void ApplyTrayOption();

  // IFileListSourceChangeListener (worker thread: only posts).
  void OnSearchStarted(int) override;
  void OnResultsReady(void*) override;
  void OnSearchFinished(bool) override {}
  void OnIndexReplaced() override {}

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void OnCreate();
  void Layout();
  void StartLoader();
  std::vector<int> SavedColumns() const;  // the Columns setting, or the default set
  void OnDbLoaded();
  void OnSearchDone();
  void OnBoxChanged();
  void SetStatus(std::u16string_view text);
  void UpdateTitle();
  void Navigate(bool forward);
  void GoUp();
  void RecordHistory();
  NavEntry CurrentNavEntry() const;
  void SaveState();
  void StartWebServerIfWanted();
  bool HandleKey(const MSG& msg);
  void ShowSelectionStatus();
  // The preview viewer (gui/preview_window.cpp): a selection change posts 20430 while the
  // viewer's window exists; on it the viewer gets the first selected item's path; a timer
  // keeps the toolbar's button pressed while the window exists.
  void PreviewSelectionChanged();
  void OnPreviewSelection();
  void OnPreviewTick();
  void AfterFirstResult();
  void OnOpenedItem(uint32_t row);
  // gui/commands.cpp: the commands beyond the core ones, the menus they fill, menu help.
  bool MoreCommand(int id);
  void FillMoreActions(HMENU popup);
  void ShowMoreActionsMenu();
  void ConfigureCustomActions(HWND owner = nullptr);
  void ConfigureShortcuts(HWND owner);
  // gui/window_menus.cpp: the toolbar, the menus filled when they open and the database,
  // location and help commands.
  void CreateToolbar();
  bool MenuCommand(int id);
  bool OnInitMenu(HMENU popup);
  void SaveToolbar();
  void UpdateNavButtons();
  void ShowToolbarMenu(POINT screen);
  void OnToolbarDropDown(int command, POINT at);
  int TrackMenuAt(HMENU popup, POINT* at);  // at null: the result list's top-left corner
  void FillDbLocations(HMENU popup);
  void FillRecentLocations(HMENU popup);
  void FillNamedSearches(HMENU popup);
  void NoteRecentLocation(std::u16string folder);
  void RebuildAll();
  void LoadDbLocation(const std::u16string& folder);  // empty: the default location
  // Asks the question (Yes/No); Yes starts this program again and closes the window.
  void OfferRestart(const std::u16string& question);
  MainToolbar toolbar_;
  bool preview_posted_ = false;  // a 20430 is on its way
  int preview_ticks_ = 0;        // watch ticks without the viewer's window
  HMENU db_load_menu_ = nullptr;
  HMENU recent_locations_menu_ = nullptr;
  HMENU named_menu_ = nullptr;
  HMENU clean_menu_ = nullptr;
  // gui/options_apply.cpp: the options dialog and applying what it changed.
  void ApplyOptionChanges(const OptionsOutcome& outcome);
  // The named-search editor (after the defaults are made sure of); true when saved.
  bool ConfigureNamedSearches(HWND owner);
  void ShowProperties();
  void ShowListMenu(POINT screen);
  void OnMenuSelect(UINT id, UINT flags, HMENU menu);
  void SubmitCurrent();
  // Makes text the search text (box and title) and searches at once.
  void TakeSearchText(std::u16string text);
  void ShowTreePane(bool show);
  void ReleaseDatabase();
  void RunForegroundBuild();
  void OnBuildEnded(bool background);
  void OnDbChanged(WPARAM sender);
  void OnAutoBuildTick();
  void EnableBuildCommands(bool enable);
  void FillCleanMenu(HMENU popup);
  bool DatabaseCommand(int id);
  Status LoadHashTables();
  void ShowBuildBalloon(const std::u16string& title, const std::u16string& text);
  void HideBuildBalloon();

  // The window's life (gui/window_life.cpp): instances, notification area, closing.
  bool StartLife(bool show);  // after creation: icon and placement; true: show the window
  bool HandleLifeMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
  void OnHandOver();
  void RequestClose();
  void EndWindow();  // saves the state, stops the workers and destroys the window
  std::unique_ptr<TrayIcon> tray_;
  bool balloon_silenced_ = false;
  bool exit_requested_ = false;
  UINT taskbar_created_ = 0;
  int show_command_ = SW_SHOWNORMAL;

  HWND hwnd_ = nullptr;
  HWND status_ = nullptr;
  HACCEL accel_ = nullptr;
  std::vector<Shortcut> shortcuts_;
  HMENU more_actions_menu_ = nullptr;
  SearchBox box_;
  ResultList list_;
  QueryComposerDialog composer_;
  FolderTree tree_;
  bool tree_shown_ = false;
  MainWindowConfig config_;
  SettingsFile settings_{u""};
  WindowOptions options_;
  std::u16string global_filter_;
  std::u16string search_text_;
  std::wstring title_;  // the window text last set by UpdateTitle
  std::u16string last_searched_;
  StatusStack status_stack_;
  NavHistory history_;
  std::optional<NavEntry> restoring_;  // entry whose keys and positions apply to the next result

  // The index: loaded by the loader thread, then read by the window and the worker.
  NuskDb db_;
  std::unique_ptr<SearchView> view_;
  std::unique_ptr<HashInfo> hashes_;  // null until a query, a column or a command needs them
  int hash_loads_ = 0;
  std::u16string last_hasher_verb_;
  std::unique_ptr<FileListSource> source_;
  std::unique_ptr<NamedSearches> named_;
  std::thread loader_;
  // The loader's message goes to the window once both it and the window are ready.
  std::mutex loader_mu_;
  bool loader_done_ = false;   // guarded by loader_mu_
  bool window_ready_ = false;  // guarded by loader_mu_
  std::string load_error_;
  // Touched by the loader while the window is made, for a first result of every item:
  // the list's rows and the search worker's result array.
  std::vector<uint32_t> row_memory_, result_memory_;
  bool loaded_ = false;
  bool first_result_ = true;
  bool quit_requested_ = false;
  uint64_t results_taken_ = 0;
  bool timer_pending_ = false;
  bool resort_on_arrival_ = false;  // the list's sort could not go into the query
  std::atomic<int64_t> search_started_us_{0};
  std::atomic<int64_t> search_ready_us_{0};

  // Builds started from this window.
  BuildThread build_thread_;
  TaskbarProgress taskbar_;
  bool building_ = false;
  bool foreground_build_ = false;
  int pending_build_ = -1;  // -1: none; 0: all drives; else the letter
  int64_t auto_build_interval_ = 0;
  int builds_started_ = 0;
  int builds_skipped_ = 0;
  int reloads_ = 0;
  int busy_step_ = 0;
  std::u16string last_build_note_;
  HWND balloon_ = nullptr;
  bool taskbar_shown_ = false;  // the last build's taskbar progress was accepted

  std::unique_ptr<WebSearch> web_search_;
  std::unique_ptr<WebService> web_;
  bool update_check_running_ = false;
};

// Runs the message loop of one main window (with its keyboard rules) until WM_QUIT.
int RunMessageLoop(MainWindow* window);

// Dispatches waiting messages through the window's rules until done() or the timeout;
// true when done() became true. For waits that must keep the window alive (and tests).
bool PumpUntil(MainWindow* window, const std::function<bool()>& done, int timeout_ms);

}  // namespace nusk
