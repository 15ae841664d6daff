#include "gui/main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <windowsx.h>

#include <stdexcept>

#include "gui/list_look.h"
#include "gui/accelerators.h"
#include "gui/crash_handler.h"
#include "gui/resource.h"
#include "gui/tray_icon.h"
#include "gui/small_dialogs.h"
#include "gui/win_menu_text.h"
#include "l10n/mui.h"
#include "l10n/ui_keys.h"
#include "platform/process_relay.h"
#include "platform/profile.h"
#include "platform/win32/win_text.h"
#include "search/present_drives.h"
#include "settings/drive_map.h"
#include "settings/recent_list.h"
#include "settings/setting_keys.h"
#include "ui/build_schedule.h"
#include "ui/column_sort.h"
#include "ui/columns.h"
#include "ui/database_commands.h"
#include "ui/first_result.h"
#include "ui/keyboard_rules.h"
#include "ui/list_rows.h"
#include "ui/options_model.h"
#include "ui/query_composer.h"
#include "ui/search_delay.h"
#include "ui/zoom.h"
#include "web/web_search.h"
#include "util/utf.h"
#include "util/version.h"
#include "web/web_service.h"

namespace nusk {

namespace {

constexpr int kSearchBoxId = 1001;
constexpr int kListId = 1002;
constexpr int kStatusId = 1003;
constexpr UINT_PTR kSearchTimer = 1;

int64_t NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int SystemKeyboardSpeed() {
  DWORD speed = 31;
  SystemParametersInfoW(SPI_GETKEYBOARDSPEED, 0, &speed, 0);
  return static_cast<int>(speed);
}

int MessageBoxText(HWND owner, std::u16string_view text, UINT flags) {
  return MessageBoxW(owner, W(text).c_str(), L"Nusk", flags);
}

bool CtrlDown() { return GetKeyState(VK_CONTROL) < 0; }

// Local time's offset from UTC at a UTC instant, by the system's time-zone rules for that date.
int64_t LocalUtcOffset(int64_t unix_seconds) {
  const int64_t ticks = (unix_seconds + 11644473600LL) * 10000000LL;
  FILETIME ft = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME utc, local;
  if (!FileTimeToSystemTime(&ft, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return 0;
  FILETIME lf;
  if (!SystemTimeToFileTime(&local, &lf)) return 0;
  const int64_t local_ticks = (static_cast<int64_t>(lf.dwHighDateTime) << 32) | lf.dwLowDateTime;
  return (local_ticks - ticks) / 10000000LL;
}
bool ShiftDown() { return GetKeyState(VK_SHIFT) < 0; }
bool AltDown() { return GetKeyState(VK_MENU) < 0; }

}  // namespace

MainWindow::MainWindow() = default;

MainWindow::~MainWindow() {
  if (loader_.joinable()) loader_.join();
  if (source_) source_->WaitIdle();
  StopWebServer();
  if (accel_) DestroyAcceleratorTable(accel_);
  if (hwnd_ && IsWindow(hwnd_)) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

bool MainWindow::Register(HINSTANCE instance) {
  static bool done = false;
  if (done) return true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_NUSK));
  wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_NUSK), IMAGE_ICON, 16, 16, 0));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszMenuName = L"MainMenu";
  wc.lpszClassName = kMainWindowClass;
  done = RegisterClassExW(&wc) != 0;
  return done;
}

HWND MainWindow::Create(const MainWindowConfig& config) {
  config_ = config;
  settings_ = SettingsFile(config.settings_path);
  options_ = ReadWindowOptions(settings_);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!Register(instance)) return nullptr;
  // The index loads while the window and its controls are made (a few hundred
  // milliseconds under Wine); its message waits for the window to be ready.
  StartLoader();
  hwnd_ = CreateWindowExW(0, kMainWindowClass, L"Nusk", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                          CW_USEDEFAULT, 940, 620, nullptr, nullptr, instance, this);
  if (!hwnd_) return nullptr;
  const bool show = StartLife(config.show);
  if (!config.initial_text.empty()) {
    box_.SetText(config.initial_text);
    search_text_ = config.initial_text;
    UpdateTitle();
  }
  // An index loaded by now has its first search started before the window is shown, so
  // the worker searches while the window is shown. A load error is told once
  // the window is there (the message), as is an index that is loaded later.
  bool loaded = false;
  {
    std::lock_guard<std::mutex> lock(loader_mu_);
    window_ready_ = true;
    if (loader_done_ && load_error_.empty()) loaded = true;
    else if (loader_done_) PostMessageW(hwnd_, kMsgDbLoaded, 0, 0);
  }
  if (loaded) OnDbLoaded();
  // Not painted at once: the first paint comes when the messages are handled, with the
  // first result when the search above has ended by then.
  if (show) ShowWindow(hwnd_, show_command_);
  SetFocus(box_.hwnd());
  return hwnd_;
}

LRESULT CALLBACK MainWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->Handle(msg, wp, lp);
}

void MainWindow::OnCreate() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  TranslateMainMenu(GetMenu(hwnd_));
  FillBuildDriveMenu(FindPopupStartingWith(GetMenu(hwnd_), IDM_BUILD_DRIVE_FIRST), config_.settings_path,
                     IDM_BUILD_DRIVE_FIRST);
  if (GetFlag(settings_, SettingId::kBuildOnStartup)) pending_build_ = 0;
  ReloadShortcuts();
  box_.Create(hwnd_, kSearchBoxId, [this] { OnBoxChanged(); });
  CreateToolbar();
  status_ =
      CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | (options_.status_bar ? WS_VISIBLE : 0) | SBARS_SIZEGRIP, 0,
                      0, 0, 0, hwnd_, reinterpret_cast<HMENU>(kStatusId), instance, nullptr);
  CheckMenuItem(GetMenu(hwnd_), IDM_VIEW_STATUSBAR, options_.status_bar ? MF_CHECKED : MF_UNCHECKED);
  ResultList::Hooks hooks;
  hooks.selection_changed = [this] {
    ShowSelectionStatus();
    PreviewSelectionChanged();
  };
  hooks.message = [this](std::u16string_view text) { MessageBoxText(hwnd_, text, MB_OK | MB_ICONINFORMATION); };
  hooks.ask = [this](std::u16string_view text) {
    return MessageBoxText(hwnd_, text, MB_YESNO | MB_ICONQUESTION) == IDYES;
  };
  hooks.box_text = [this] { return box_.Text(); };
  hooks.column_shown = [this](int id) {
    if (UsesHashColumns({id})) EnsureHashInfo();
  };
  hooks.wait_idle = [this] {
    if (source_) source_->WaitIdle();
  };
  hooks.put_in_box = [this](std::u16string_view text) {
    box_.SetText(text);
    SetFocus(box_.hwnd());
  };
  list_.Create(hwnd_, kListId, hooks);
  tree_.Create(
      hwnd_, [this] { ShowTreePane(false); }, [this] { Layout(); });
  tree_.set_status_hook([this](std::u16string_view text) { SetStatus(text); });
  if (const int64_t w = GetInteger(settings_, SettingId::kTreePaneWidth); w > 0 && w < 10000)
    tree_.set_width(static_cast<int>(w));
  tree_shown_ = GetFlag(settings_, SettingId::kShowTree);
  if (tree_shown_) ShowWindow(tree_.hwnd(), SW_SHOW);
  CheckMenuItem(GetMenu(hwnd_), IDM_VIEW_FOLDER_TREE, tree_shown_ ? MF_CHECKED : MF_UNCHECKED);
  ApplyListLook(&list_, options_);
  list_.set_auto_stretch(options_.auto_stretch_columns);
  list_.set_info_tips(options_.show_info_tip_on_ctrl_down, options_.detailed_info_tip);
  // The Columns set and widths apply before the window is shown.
  const std::vector<int> columns = SavedColumns();
  std::u16string widths_text = GetText(settings_, SettingId::kLvDynColWidths);
  if (widths_text.empty()) widths_text = GetText(settings_, SettingId::kLvColWidths);
  list_.SetColumns(columns, WidthsForColumns(widths_text, columns));
  list_.SetZoom(options_.zoom_scale);
  RecentList recent(kRecentSearches);
  recent.Load(settings_);
  box_.SetRecent(recent.entries());
  SetStatus(Tr(u"MSG.LoadingDB", u"Loading database.."));
  Layout();
  const int64_t saved_client = GetInteger(settings_, SettingId::kLvClientWidth);
  if (saved_client > 0 && saved_client != list_.ClientWidth()) list_.StretchColumns();
}

void MainWindow::Layout() {
  RECT rc;
  GetClientRect(hwnd_, &rc);
  int status_height = 0;
  if (status_ && IsWindowVisible(status_)) {
    SendMessageW(status_, WM_SIZE, 0, 0);
    RECT sr;
    GetWindowRect(status_, &sr);
    status_height = sr.bottom - sr.top;
  }
  const int box_height = box_.preferred_height();
  const int margin = 4;
  const int bar = toolbar_.height();
  if (toolbar_.rebar() && bar > 0) MoveWindow(toolbar_.rebar(), 0, 0, rc.right, bar, TRUE);
  MoveWindow(box_.hwnd(), margin, bar + margin, rc.right - 2 * margin, box_height, TRUE);
  const int top = bar + box_height + 2 * margin;
  const int height = std::max<int>(0, rc.bottom - top - status_height);
  int left = 0;
  if (tree_shown_ && tree_.hwnd()) {
    left = std::min<int>(tree_.width(), std::max<int>(0, rc.right - 60));
    MoveWindow(tree_.hwnd(), 0, top, left, height, TRUE);
  }
  MoveWindow(list_.hwnd(), left, top, std::max<int>(0, rc.right - left), height, TRUE);
  if (options_.auto_stretch_columns) list_.StretchColumns();
}

std::vector<int> MainWindow::SavedColumns() const {
  return ParseColumns(GetText(settings_, SettingId::kColumns), DefaultColumns());
}

void MainWindow::StartLoader() {
  // At start-up the list has no columns yet: they are read from the settings.
  const std::vector<int> columns = hwnd_ ? list_.columns() : SavedColumns();
  const bool counts = GetFlag(settings_, SettingId::kShowFilesCount) || (ColumnsNeeds(columns) & kNeedsFileCounts) != 0;
  const bool folder_sizes = options_.show_folder_size;
  // The first search shows every item: its arrays are touched here, beside the window's
  // creation, instead of after it (fresh pages cost about 10 us each under Wine).
  const bool every_item = !hwnd_ && options_.show_all_items_for_empty_search && config_.initial_text.empty();
  loader_done_ = false;
  loader_ = std::thread([this, counts, folder_sizes, every_item] {
    Status s = LoadNuskDb(&db_, config_.home, Env::Default());
    // The search worker and the list read the tables from two threads: all checked here.
    if (s.ok()) {
      try {
        db_.CheckAllTables();
      } catch (const std::runtime_error& e) {
        s = Status::Error(e.what());
        UnloadNuskDb(&db_);
      }
    }
    if (!s.ok()) load_error_ = s.message();
    // Cells only read the per-folder totals, so they are computed before any search runs.
    if (s.ok() && counts) db_.ComputeFolderFileCounts();
    if (s.ok() && folder_sizes) db_.ComputeFolderSizes();
    if (s.ok() && every_item) {
      row_memory_.resize(db_.item_count());
      result_memory_.resize(db_.item_count());
    }
    if (config_.after_load) config_.after_load();
    std::lock_guard<std::mutex> lock(loader_mu_);
    loader_done_ = true;
    if (window_ready_) PostMessageW(hwnd_, kMsgDbLoaded, 0, 0);
  });
}

void MainWindow::OnDbLoaded() {
  if (loader_.joinable()) loader_.join();
  if (quit_requested_) {
    EndWindow();
    return;
  }
  if (!load_error_.empty()) {
    MessageBoxText(hwnd_, u"Cannot load the database: " + FromUtf8(load_error_), MB_OK | MB_ICONWARNING);
  }
  view_ = std::make_unique<SearchView>(&db_);
  CellOptions cells;
  cells.human_sizes = options_.human_readable_size;
  cells.show_folder_size = options_.show_folder_size;
  cells.utc_offset = LocalUtcOffset;
  cells.units = TableSizeUnits();
  list_.SetView(view_.get(), cells);
  source_ = std::make_unique<FileListSource>(view_.get(), this);
  source_->GiveResultMemory(std::move(result_memory_));
  list_.GiveRowMemory(std::move(row_memory_));
  source_->set_show_all(options_.show_all_items_for_empty_search);
  source_->set_folder_sizes_shown(options_.show_folder_size);
  named_ = std::make_unique<NamedSearches>(Profile::Default(), config_.settings_path);
  TermContext ctx;
  ctx.present_drives = PresentDrives(DriveMap::Load(config_.settings_path), Env::Default());
  NamedSearches* named = named_.get();
  ctx.lookup_named = [named](std::u16string_view name) { return named->Lookup(name); };
  source_->set_term_context(ctx);
  box_.SetNamedSearchNames(named_->List());
  loaded_ = true;
  if (load_error_.empty()) tree_.Fill(&db_);
  global_filter_ = ReadGlobalFilter(settings_);
  // Hash columns shown: their values are there from the first result on.
  if (load_error_.empty() && UsesHashColumns(list_.DisplayOrder())) LoadHashTables();
  RunSearch();
  if (!web_) StartWebServerIfWanted();
}

void MainWindow::StartWebServerIfWanted() {
  if (!GetFlag(settings_, SettingId::kWebServerRunning)) return;
  const int64_t port = GetInteger(settings_, SettingId::kWebServerPort);
  std::u16string error;
  StartWebServer(GetText(settings_, SettingId::kWebServerIp), port > 0 && port < 65536 ? uint16_t(port) : 8080,
                 GetText(settings_, SettingId::kWebServerUserName), GetText(settings_, SettingId::kWebServerPassword),
                 &error);
}

bool MainWindow::StartWebServer(const std::u16string& ip, uint16_t port, const std::u16string& user,
                                const std::u16string& password, std::u16string* error) {
  StopWebServer();
  std::string open_error;
  web_search_ = OpenIndexWebSearch(config_.home, config_.settings_path, Env::Default(), &open_error);
  if (!web_search_) {
    *error = FromUtf8(open_error);
    return false;
  }
  web_ = std::make_unique<WebService>(web_search_.get(), Env::Default());
  web_->Configure(ip, port, user, password);
  if (!web_->Start()) {
    *error = web_->LastError();
    StopWebServer();
    return false;
  }
  return true;
}

bool MainWindow::web_server_running() const { return web_ && web_->IsRunning(); }
uint16_t MainWindow::web_server_port() const { return web_ ? web_->port() : 0; }

void MainWindow::StopWebServer() {
  if (!web_) return;
  web_->Stop();
  web_.reset();
  web_search_.reset();
}

void MainWindow::OnBoxChanged() {
  const std::u16string text = box_.Text();
  // Wine's edit control reports a change even when Ctrl+A left the text as it was.
  if (text == search_text_) return;
  if (options_.search_button) return;
  search_text_ = text;
  // The search delay runs from the change itself: the title (about a millisecond under
  // Wine, the X server's window name) is set while it runs.
  if (source_) {
    const int speed = config_.keyboard_speed >= 0 ? config_.keyboard_speed : SystemKeyboardSpeed();
    SetTimer(hwnd_, kSearchTimer, SearchDelayMs(speed), nullptr);
    timer_pending_ = true;
  }
  UpdateTitle();
}

NavEntry MainWindow::CurrentNavEntry() const {
  NavEntry e;
  e.text = search_text_;
  e.keys = list_.sort_keys();
  const uint32_t focused = list_.FocusedRow();
  e.focused_row = focused == UINT32_MAX ? -1 : static_cast<int>(focused);
  e.scroll_pos = list_.TopRow();
  return e;
}

void MainWindow::RecordHistory() { history_.Record(CurrentNavEntry()); }

void MainWindow::RunSearch() {
  if (!source_) return;
  RecordHistory();
  last_searched_ = search_text_;
  SubmitCurrent();
}

void MainWindow::SubmitCurrent() {
  NoteLastSearchForCrash(last_searched_);
  std::u16string query = ComposeQuery(search_text_, global_filter_, options_.show_all_items_for_empty_search);
  // The list's own sort (header clicks) applies to every new result unless the query sorts.
  const SortKeys& keys = list_.sort_keys();
  resort_on_arrival_ = false;
  if (!keys.empty() && query.find(u"/sort:") == std::u16string::npos) {
    const std::u16string clause = SortClauseText(keys);
    if (ParseSortClause(clause) == keys) {
      query += (query.empty() ? u"" : u" ") + clause;
    } else {
      resort_on_arrival_ = true;  // keys the clause cannot carry (the extension)
    }
  }
  if (QueryNeedsHashes(query)) EnsureHashInfo();
  source_->Submit(query, true);
  // Painted while the worker searches; its result is taken from the queue after this, so
  // the result's status always replaces this one.
  SetStatus(u"Searching ..");
}

void MainWindow::TakeSearchText(std::u16string text) {
  search_text_ = std::move(text);
  box_.SetText(search_text_);  // equal to the search text now: starts no timer
  UpdateTitle();
  KillTimer(hwnd_, kSearchTimer);
  timer_pending_ = false;
  RunSearch();
}

void MainWindow::LocateInFolderTree(uint32_t item) {
  if (!loaded_ || item >= db_.item_count()) return;
  if (!tree_shown_) ShowTreePane(true);
  tree_.Locate(FolderChain(db_, db_.IsFolder(item) ? item : db_.Parent(item)));
}

void MainWindow::ShowTreePane(bool show) {
  tree_shown_ = show;
  ShowWindow(tree_.hwnd(), show ? SW_SHOW : SW_HIDE);
  CheckMenuItem(GetMenu(hwnd_), IDM_VIEW_FOLDER_TREE, show ? MF_CHECKED : MF_UNCHECKED);
  Layout();
}

void MainWindow::OnSearchStarted(int) { search_started_us_ = NowUs(); }

void MainWindow::OnResultsReady(void*) {
  search_ready_us_ = NowUs();
  PostMessageW(hwnd_, kMsgSearchDone, 0, 0);
}

void MainWindow::OnSearchDone() {
  if (!source_) return;
  const int64_t ms = std::max<int64_t>(0, (search_ready_us_.load() - search_started_us_.load()) / 1000);
  list_.SetResult([this](std::vector<uint32_t>* all) { source_->CopyResults(all); });
  if (resort_on_arrival_) list_.SetSortKeys(list_.sort_keys());
  if (restoring_) {
    list_.SetSortKeys(restoring_->keys);
    if (restoring_->focused_row >= 0)
      list_.SetFocusRow(static_cast<uint32_t>(restoring_->focused_row), restoring_->scroll_pos);
    restoring_.reset();
  }
  ++results_taken_;
  SetStatus(SearchDoneStatus(search_text_, options_.show_all_items_for_empty_search, db_.item_count(), list_.count(),
                             static_cast<uint64_t>(ms)));
  UpdateTitle();
  UpdateNavButtons();
  if (pending_build_ >= 0 && !building_) StartBuildFromWindow(static_cast<char16_t>(pending_build_));
  if (first_result_) {
    first_result_ = false;
    ReadAutoBuildSettings();
    AfterFirstResult();
  }
}

void MainWindow::AfterFirstResult() {
  FirstResultState state;
  state.pending_build = false;  // started above, through the build code's own pending request
  state.database_empty = db_.item_count() == 0;
  state.build_running = building_ || (config_.build_running && config_.build_running());
  state.rebuild_required = config_.rebuild_required;
  state.last_run_version = GetText(settings_, SettingId::kLastRunVersion);
  state.show_tip_on_startup = GetInteger(settings_, SettingId::kShowTipOnStartup);
  const FirstResultSteps steps = DecideFirstResultSteps(state);
  bool build_started = false;
  auto build_all = [&] {
    if (config_.start_build) {
      build_started = config_.start_build(0);
      return;
    }
    StartBuildFromWindow(0);
    build_started = building_ || build_pending();
  };
  if (steps.start_pending_build || steps.build_without_asking) build_all();
  if (steps.ask_build_empty &&
      MessageBoxText(
          hwnd_, Tr(u"MSG.BUILD_DATABASE_WHEN_EMPTY_PROMPT", EnglishMessage(u"MSG.BUILD_DATABASE_WHEN_EMPTY_PROMPT")),
          MB_YESNO | MB_ICONQUESTION) == IDYES) {
    build_all();
  }
  if (steps.write_last_run_version) SetText(settings_, SettingId::kLastRunVersion, kProgramVersion);
  if (ShowTipAfter(steps, build_started)) PostMessageW(hwnd_, kMsgShowTip, 0, 0);
}

void MainWindow::OnOpenedItem(uint32_t row) {
  const std::u16string path = list_.OpenedPath(row);
  if (path.empty() || !options_.remember_recent_opened) return;
  RecentList opened(kRecentOpened);
  opened.Load(settings_);
  opened.Add(path);
  opened.Save(settings_);
}

void MainWindow::ShowSelectionStatus() {
  const std::vector<uint32_t> rows = list_.SelectedRows();
  if (rows.empty() || !view_) return;
  uint64_t total = 0;
  for (uint32_t r : rows) {
    const uint32_t item = list_.ItemAt(r);
    if (!view_->is_folder(item) || options_.show_folder_size) total += db_.ItemSizeBytes(item);
  }
  SetStatus(SelectionStatus(rows.size(), total, options_.human_readable_size));
}

void MainWindow::SetStatus(std::u16string_view text) {
  const std::wstring shown = W(status_stack_.Set(text));
  if (status_) SendMessageW(status_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(shown.c_str()));
}

std::u16string MainWindow::StatusText() const {
  wchar_t buf[512] = {};
  if (status_) SendMessageW(status_, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(buf));
  return U(buf);
}

void MainWindow::UpdateTitle() {
  // Setting a top-level window's text costs about a millisecond under Wine (the X
  // server's window name); a search's end usually leaves it as typing made it.
  std::wstring title = W(WindowTitle(search_text_, config_.home, config_.default_home));
  if (title == title_) return;
  SetWindowTextW(hwnd_, title.c_str());
  title_ = std::move(title);
}

void MainWindow::Navigate(bool forward) {
  std::optional<NavEntry> e = forward ? history_.Forward(CurrentNavEntry()) : history_.Back(CurrentNavEntry());
  if (!e) return;
  restoring_ = e;
  search_text_ = e->text;
  box_.SetText(e->text);  // equal to the search text now: starts no timer
  UpdateTitle();
  KillTimer(hwnd_, kSearchTimer);
  timer_pending_ = false;
  last_searched_ = search_text_;
  list_.SetSortKeys(e->keys);
  if (source_) SubmitCurrent();
}

void MainWindow::GoUp() {
  if (!source_) return;
  std::u16string folder = source_->scope_folder();
  if (folder.empty()) return;
  std::u16string up = GoUpFolder(folder);
  NoteRecentLocation(up);
  if (up.find(u' ') != std::u16string::npos) up = u"\"" + up + u"\"";
  // The folder term of the search text gives way to its parent; the other terms stay.
  std::u16string text = search_text_;
  const size_t at = text.find(folder);
  if (at != std::u16string::npos) {
    const bool quoted =
        at > 0 && text[at - 1] == u'"' && at + folder.size() < text.size() && text[at + folder.size()] == u'"';
    const size_t from = quoted ? at - 1 : at, len = folder.size() + (quoted ? 2 : 0);
    text.replace(from, len, up);
  } else {
    text = up;
  }
  while (!text.empty() && text.back() == u' ') text.pop_back();
  box_.SetText(text);
}

void MainWindow::Command(int id) {
  if (command_hook && command_hook(id)) return;
  switch (id) {
    case IDM_FILE_OPEN: list_.OpenSelection(); break;
    case IDM_FILE_OPEN_PATH: list_.OpenContainingFolders(); break;
    case IDM_FILE_EXPORT: {
      wchar_t file[MAX_PATH] = L"result.csv";
      std::wstring title = W(Tr(u"TITLE.EXPORT", u"Export result list file:"));
      OPENFILENAMEW ofn{};
      ofn.lStructSize = sizeof(ofn);
      ofn.hwndOwner = hwnd_;
      ofn.lpstrFilter = L"Text Files(*.txt)\0*.txt\0CSV Files(*.csv)\0*.csv\0";
      ofn.nFilterIndex = 2;
      ofn.lpstrFile = file;
      ofn.nMaxFile = MAX_PATH;
      ofn.lpstrTitle = title.c_str();
      ofn.lpstrDefExt = L"csv";
      // The dialog would otherwise make the chosen folder the process's current folder.
      ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
      if (GetSaveFileNameW(&ofn)) list_.Export(U(file));
      break;
    }
    case IDM_FILE_CLOSE:
    case IDM_FILE_EXIT: SendMessageW(hwnd_, WM_CLOSE, 0, 0); break;
    case IDM_EDIT_COPY: list_.CopyFiles(); break;
    case IDM_EDIT_COPY_NAME: list_.CopyToClipboard(false); break;
    case IDM_EDIT_COPY_FULL_NAME: list_.CopyToClipboard(true); break;
    case IDM_EDIT_ZOOM_IN: list_.SetZoom(ZoomIn(list_.zoom())); break;
    case IDM_EDIT_ZOOM_OUT: list_.SetZoom(ZoomOut(list_.zoom())); break;
    case IDM_EDIT_ZOOM_RESET: list_.SetZoom(100); break;
    case IDM_EDIT_SELECT_ALL: list_.SelectAll(true); break;
    case IDM_EDIT_SELECT_NONE: list_.SelectAll(false); break;
    case IDM_EDIT_INVERT_SELECTION: list_.InvertSelection(); break;
    case IDM_EDIT_GOTO_ROW: {
      std::u16string text = GetText(settings_, SettingId::kGotoRow);
      if (AskGotoRow(hwnd_, &text)) {
        SetText(settings_, SettingId::kGotoRow, text);
        if (const std::optional<uint32_t> row = GotoRowIndex(text, list_.count())) list_.GotoRow(*row + 1);
      }
      break;
    }
    case IDM_EDIT_HIDE_SELECTED: list_.HideSelected(); break;
    case IDM_EDIT_UNHIDE_ALL: list_.UnhideAll(); break;
    case IDM_DATABASE_BUILD_ALL: StartBuildFromWindow(0); break;
    case IDM_SEARCH_NEW:
      box_.SetText(u"");
      SetFocus(box_.hwnd());
      break;
    case IDM_SEARCH_BACK: Navigate(false); break;
    case IDM_SEARCH_FORWARD: Navigate(true); break;
    case IDM_SEARCH_UP: GoUp(); break;
    case IDM_VIEW_FOLDER_TREE: ShowTreePane(!tree_shown_); break;
    case IDM_SEARCH_QUERY_COMPOSER: composer_.Show(hwnd_, config_.settings_path, box_.Text()); break;
    case IDM_VIEW_STATUSBAR:
      options_.status_bar = !options_.status_bar;
      ShowWindow(status_, options_.status_bar ? SW_SHOW : SW_HIDE);
      CheckMenuItem(GetMenu(hwnd_), IDM_VIEW_STATUSBAR, options_.status_bar ? MF_CHECKED : MF_UNCHECKED);
      SetFlag(settings_, SettingId::kStatusBar, options_.status_bar);
      Layout();
      break;
    case IDM_DATABASE_STATISTICS:
      // The loader thread fills the index until 20425: until then there is nothing to count.
      ShowStatistics(hwnd_, loaded_ ? StatisticsFigures(db_.item_count(), db_.folder_count(), db_.last_full_build(),
                                                        LocalUtcOffset)
                                    : StatisticsFigures(0, 0, 0, LocalUtcOffset));
      break;
    case IDM_TOOLS_WEB_SERVER: ShowWebServerDialog(hwnd_, this, config_.settings_path); break;
    case IDM_HELP_CHECK_UPDATES: CheckForUpdates(); break;
    case IDM_TOOLS_PREVIEW_WINDOW: TogglePreview(); break;
    case IDM_HELP_TIP_OF_THE_DAY: ShowTipOfTheDay(hwnd_, config_.settings_path); break;
    case IDM_HELP_ABOUT:
      MessageBoxText(hwnd_, u"Nusk " NUSK_VERSION "\nFile name search.", MB_OK | MB_ICONINFORMATION);
      break;
    default:
      if (id >= IDM_BUILD_DRIVE_FIRST && id < IDM_BUILD_DRIVE_FIRST + 26) {
        StartBuildFromWindow(static_cast<char16_t>(u'A' + (id - IDM_BUILD_DRIVE_FIRST)));
      } else if (id > IDM_SORT_FIRST && id <= IDM_SORT_FIRST + 9) {
        list_.SortByPlace(id - IDM_SORT_FIRST);
      } else if (id >= IDM_RECENT_FIRST && id < IDM_RECENT_FIRST + 16) {
        // handled by the search box's drop-down
      } else if (!MenuCommand(id) && !MoreCommand(id) && !DatabaseCommand(id)) {
        list_.OnCommand(id);
      }
  }
}

bool MainWindow::HandleKey(const MSG& msg) {
  KeyPress key;
  const WPARAM vk = msg.wParam;
  key.ctrl = CtrlDown();
  if (vk == 'A') key.key = UiKey::kA;
  else if (vk >= '1' && vk <= '9') key.key = UiKey::kDigit, key.digit = static_cast<int>(vk - '0');
  else if (vk == VK_TAB) key.key = UiKey::kTab;
  else if (vk == VK_DOWN) key.key = UiKey::kDown;
  else if (vk == VK_UP) key.key = UiKey::kUp;
  else if (vk == VK_RETURN) key.key = UiKey::kEnter;
  else if (vk == VK_ESCAPE) key.key = UiKey::kEscape;
  else return false;
  if (AltDown() || (ShiftDown() && key.key != UiKey::kTab)) return false;
  if (key.key == UiKey::kEnter && key.ctrl) return false;  // Ctrl+Enter is a shortcut (Open Path)
  const HWND focus = GetFocus();
  KeyContext ctx;
  ctx.focus = focus == box_.hwnd()    ? UiFocus::kSearchBox
              : focus == list_.hwnd() ? UiFocus::kResultList
                                      : UiFocus::kOther;
  const std::u16string text = box_.Text();
  ctx.box_has_text = !text.empty();
  ctx.completion_open = box_.completion_open();
  ctx.list_on_first_row = list_.FocusedRow() == 0;
  ctx.column_count = static_cast<int>(list_.columns().size());
  ctx.close_by_esc = options_.close_by_esc;
  ctx.search_button = options_.search_button;
  ctx.box_text_changed = text != search_text_;
  ctx.tree_shown = tree_shown_;
  if (ctx.focus == UiFocus::kResultList) {
    const uint32_t row = list_.FocusedRow();
    ctx.focused_row_is_folder = view_ && row < list_.count() && view_->is_folder(list_.ItemAt(row));
  }
  const KeyDecision d = DecideKey(key, ctx);
  switch (d.action) {
    case KeyAction::kPass: return false;
    case KeyAction::kSelectAllText: box_.SelectAll(); return true;
    case KeyAction::kSortByColumn: list_.SortByPlace(d.column + 1); return true;
    case KeyAction::kFocusSearchBox: SetFocus(box_.hwnd()); return true;
    case KeyAction::kFocusResultList:
      SetFocus(list_.hwnd());
      if (list_.count() && list_.FocusedRow() == UINT32_MAX) list_.SetFocusRow(0, -1);
      return true;
    case KeyAction::kOpenSelection: list_.OpenSelection(); return true;
    case KeyAction::kShowFolderInTree:
      // Enter on a folder while the tree is shown: the tree goes to it (and searches there).
      if (const uint32_t row = list_.FocusedRow(); row < list_.count()) LocateInFolderTree(list_.ItemAt(row));
      return true;
    case KeyAction::kRunSearch:
      search_text_ = text;
      UpdateTitle();
      RunSearch();
      return true;
    case KeyAction::kClearAndFocusBox:
      box_.SetText(u"");
      SetFocus(box_.hwnd());
      return true;
    case KeyAction::kCloseWindow: PostMessageW(hwnd_, WM_CLOSE, 0, 0); return true;
    case KeyAction::kGoBack: Navigate(false); return true;
    case KeyAction::kGoForward: Navigate(true); return true;
  }
  return false;
}

bool MainWindow::PreTranslate(MSG* msg) {
  if (composer_.PreTranslate(msg)) return true;
  if (!hwnd_ || (msg->hwnd != hwnd_ && !IsChild(hwnd_, msg->hwnd))) return false;
  if (msg->message == WM_KEYDOWN || msg->message == WM_LBUTTONDOWN) HideBuildBalloon();
  if (msg->message == WM_XBUTTONUP) {
    Navigate(GET_XBUTTON_WPARAM(msg->wParam) == XBUTTON2);
    return true;
  }
  if (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) {
    // The completion popup takes Tab, Enter, arrows and Escape first.
    if (box_.completion_open() && msg->hwnd == box_.hwnd()) return false;
    if (msg->message == WM_KEYDOWN && HandleKey(*msg)) return true;
    // The box keeps its editing keys (Ctrl+C copies its text there) whatever the shortcuts say.
    const uint8_t mods = static_cast<uint8_t>((CtrlDown() ? kAccelCtrl : 0) | (ShiftDown() ? kAccelShift : 0) |
                                              (AltDown() ? kAccelAlt : 0));
    if (GetFocus() == box_.hwnd() && SearchBoxKeepsKey(mods, static_cast<uint16_t>(msg->wParam))) return false;
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_DELETE && GetFocus() == list_.hwnd()) {
      list_.HideSelected();
      return true;
    }
  }
  return accel_ && TranslateAcceleratorW(hwnd_, accel_, msg);
}

void MainWindow::SaveState() {
  composer_.Close();
  SaveToolbar();
  SetFlag(settings_, SettingId::kShowTree, tree_shown_);
  SetInteger(settings_, SettingId::kTreePaneWidth, tree_.width());
  SetText(settings_, SettingId::kColumns, ColumnsText(list_.DisplayOrder()));
  SetText(settings_, SettingId::kLvDynColWidths, WidthsText(list_.Widths()));
  SetInteger(settings_, SettingId::kLvClientWidth, list_.ClientWidth());
  SetInteger(settings_, SettingId::kZoomScale, list_.zoom());
  const std::vector<int> order = list_.DisplayOrder();
  SetFlag(settings_, SettingId::kShowFilesCount, (ColumnsNeeds(order) & kNeedsFileCounts) != 0);
  SetFlag(settings_, SettingId::kShowingHashInfo, UsesHashColumns(order));
  if (options_.remember_recent_searches && !last_searched_.empty()) {
    RecentList recent(kRecentSearches);
    recent.Load(settings_);
    recent.Add(last_searched_);
    recent.Save(settings_);
  }
}

LRESULT MainWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  if (LRESULT life; HandleLifeMessage(msg, wp, lp, &life)) return life;
  switch (msg) {
    case WM_CREATE: OnCreate(); return 0;
    case WM_SIZE: Layout(); return 0;
    case WM_SETFOCUS: SetFocus(box_.hwnd()); return 0;
    case WM_TIMER:
      if (wp == kSearchTimer) {
        KillTimer(hwnd_, kSearchTimer);
        timer_pending_ = false;
        RunSearch();
      } else if (wp == kAutoBuildTimer) {
        OnAutoBuildTick();
      } else if (wp == kPreviewTimer) {
        OnPreviewTick();
      } else if (wp == kBuildBusyTimer) {
        static constexpr char16_t kSpin[] = u"|/-\\";
        SetStatus(BuildingStatusText() + u" " + kSpin[busy_step_++ % 4] + u" " + FromUtf8(build_thread_.last_line()));
      }
      return 0;
    case WM_COMMAND:
      if (LOWORD(wp) == kSearchBoxId) {
        if (HIWORD(wp) == EN_CHANGE) box_.OnEnChange();
        return 0;
      }
      Command(LOWORD(wp));
      return 0;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (list_.OnNotify(reinterpret_cast<NMHDR*>(lp), &result)) return result;
      if (toolbar_.OnNotify(reinterpret_cast<NMHDR*>(lp), &result)) return result;
      break;
    }
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wp) == ListView_GetHeader(list_.hwnd())) {
        list_.ShowHeaderMenu({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        return 0;
      }
      if (reinterpret_cast<HWND>(wp) == list_.hwnd()) {
        ShowListMenu({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        return 0;
      }
      if (toolbar_.rebar() &&
          (reinterpret_cast<HWND>(wp) == toolbar_.toolbar() || reinterpret_cast<HWND>(wp) == toolbar_.rebar())) {
        ShowToolbarMenu({GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
        return 0;
      }
      break;
    case WM_INITMENUPOPUP:
      if (reinterpret_cast<HMENU>(wp) == more_actions_menu_) FillMoreActions(more_actions_menu_);
      else OnInitMenu(reinterpret_cast<HMENU>(wp));
      break;
    case WM_MENUSELECT: OnMenuSelect(LOWORD(wp), HIWORD(wp), reinterpret_cast<HMENU>(lp)); return 0;
    case WM_ENTERMENULOOP: SetStatus(u"{PUSH}"); break;
    case WM_EXITMENULOOP: SetStatus(u"{POP}"); break;
    case kMsgDbLoaded: OnDbLoaded(); return 0;
    case kMsgSearchDone: OnSearchDone(); return 0;
    case kMsgFocusBack: SetFocus(box_.hwnd()); return 0;
    case kMsgComposedQuery:
      if (lp) TakeSearchText(U(reinterpret_cast<const wchar_t*>(lp)));
      return 0;
    case kMsgTreeItemRemoved:
      // A folder was deleted from the tree's menu: the status and the list follow.
      RunSearch();
      return 0;
    case kMsgTreeFolder:
      // The folder chosen in the tree becomes the folder of the search text.
      if (lp) {
        const std::u16string folder = U(reinterpret_cast<const wchar_t*>(lp));
        NoteRecentLocation(folder);
        TakeSearchText(WithSearchFolder(search_text_, folder));
      }
      return 0;
    case kMsgDbChanged: OnDbChanged(wp); return 0;
    case kMsgBackgroundBuildDone: OnBuildEnded(true); return 0;
    case kMsgPreviewSelection: OnPreviewSelection(); return 0;
    case kMsgShowTip:
      if (config_.show_tip) config_.show_tip();
      return 0;
    case kMsgOpenedItem: OnOpenedItem(static_cast<uint32_t>(wp)); return 0;
    case WM_DESTROY:
      if (config_.quit_on_destroy) PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

int RunMessageLoop(MainWindow* window) {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    CrashIfTestAllows(msg);
    if (window->PreTranslate(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

bool PumpUntil(MainWindow* window, const std::function<bool()>& done, int timeout_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return done();
      if (window && window->PreTranslate(&msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

}  // namespace nusk
