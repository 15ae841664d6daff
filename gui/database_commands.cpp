// The main window's database commands beside building: cleaning the whole database or one
// drive, the content-hash tables (loading them, reading them again, the same-content
// search, starting the hashing tool) and the list of ignored folders.
#include <windows.h>

#include <shellapi.h>

#include "app/console_clean.h"
#include "gui/accelerators.h"
#include "gui/instance.h"
#include "gui/main_window.h"
#include "gui/resource.h"
#include "gui/win_menu_text.h"
#include "l10n/mui.h"
#include "platform/elevation.h"
#include "platform/env.h"
#include "platform/profile.h"
#include "platform/win32/win_text.h"
#include "scan/build_command.h"
#include "scan/exclusion.h"
#include "ui/build_schedule.h"
#include "ui/database_commands.h"
#include "util/casemap.h"
#include "util/utf.h"

namespace nusk {

namespace {

constexpr wchar_t kHasherName[] = L"Sumtor.exe";

int Box(HWND owner, std::u16string_view text, UINT flags) {
  return MessageBoxW(owner, W(text).c_str(), L"Nusk", flags);
}

INT_PTR CALLBACK IgnoredFoldersProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG:
      SetDlgItemTextW(dlg, IDC_IGNORED_EDIT, reinterpret_cast<const wchar_t*>(lp));
      if (CMUI* ui = CurrentUI()) {
        SetWindowTextW(dlg, W(ui->DialogText(u"dialog.ignored_folders", u"Ignored Folders")).c_str());
        SetDlgItemTextW(dlg, IDC_IGNORED_LABEL,
                        W(ui->DialogText(u"label.ignored_folders",
                                         u"Folders left out of the database because they contain a _nuskIgnore file:"))
                            .c_str());
        SetDlgItemTextW(dlg, IDCANCEL, W(ui->DialogText(u"button.close", u"Close")).c_str());
      }
      SetFocus(GetDlgItem(dlg, IDCANCEL));
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDCANCEL || LOWORD(wp) == IDOK) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

// ---- Clean ----

void MainWindow::FillCleanMenu(HMENU popup) {
  while (GetMenuItemCount(popup) > 0) DeleteMenu(popup, 0, MF_BYPOSITION);
  std::wstring all = MenuText(u"database.clean.all", u"Clean &All");
  if (const std::u16string keys = ShortcutTextOf(shortcuts_, IDM_DATABASE_CLEAN_ALL); !keys.empty())
    all += L"\t" + W(keys);
  AppendMenuW(popup, MF_STRING, IDM_DATABASE_CLEAN_ALL, all.c_str());
  if (!loaded_) return;
  if (source_) source_->WaitIdle();  // the drive list is built on first use, beside the worker
  std::u16string listed;
  for (char16_t letter : db_.DriveListText()) {
    letter = ToUpperUnit(letter);
    if (letter < u'A' || letter > u'Z' || listed.find(letter) != std::u16string::npos) continue;
    if (listed.empty()) AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    listed += letter;
    std::u16string label = std::u16string(1, letter) + u":";
    if (const std::u16string& name = db_.DriveLabel(letter); !name.empty()) label = name + u" (" + label + u")";
    std::wstring text;
    for (char16_t c : label) text += c == u'&' ? L"&&" : std::wstring(1, static_cast<wchar_t>(c));
    AppendMenuW(popup, MF_STRING, IDM_CLEAN_DRIVE_FIRST + (letter - u'A'), text.c_str());
  }
}

void MainWindow::CleanFromWindow(char16_t drive) {
  if (loader_.joinable()) return;  // still loading: the loader has the index files open
  // Another thread asks whether the lock is free (the lock is re-entrant for its holder);
  // then this thread takes it, so no build starts while the files are cleaned.
  const bool running = building_ || (config_.build_running && config_.build_running()) || BuildLockHeld(config_.home);
  std::unique_ptr<NamedMutex> lock = Env::Default()->CreateFolderLock(config_.home, kBuildLockTag);
  bool taken = false;
  if (running || !lock->TryLock(&taken).ok() || !taken) {
    if (taken) lock->Unlock();
    Box(hwnd_, BuildInProgressText(), MB_OK | MB_ICONINFORMATION);
    return;
  }
  std::u16string drives;
  if (loaded_) {
    if (source_) source_->WaitIdle();
    drives = db_.DriveListText();
  }
  const char16_t letter = drive ? ToUpperUnit(drive) : 0;
  const CleanScope scope = DecideCleanScope(letter, drives);
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  ReleaseDatabase();  // the index files are rewritten or deleted below
  CleanIo io;
  io.home = config_.home;
  io.settings_path = config_.settings_path;
  io.notify_windows = false;
  std::u16string failure;
  if (scope == CleanScope::kWholeDatabase) {
    if (!CleanWholeDatabase(io)) failure = u"Some database files could not be deleted.";
  } else if (const Status s = CleanDrive(io, letter); !s.ok()) {
    failure = u"The drive could not be cleaned: " + FromUtf8(s.message());
  }
  lock->Unlock();
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  if (!failure.empty()) Box(hwnd_, failure, MB_OK | MB_ICONWARNING);
  // As after a build: this window reloads at once (it named itself), the others ask first.
  if (NotifyMainWindows(reinterpret_cast<uintptr_t>(hwnd_)) == 0 || !IsWindow(hwnd_)) ReloadDatabase();
}

// ---- Content hashes ----

Status MainWindow::LoadHashTables() {
  // The worker and the list read the old tables until the new view takes their place.
  if (source_) source_->WaitIdle();
  auto fresh = std::make_unique<HashInfo>();
  const Status s = fresh->Load(db_, config_.home, Env::Default());
  ++hash_loads_;
  auto view = std::make_unique<SearchView>(&db_, fresh.get());
  list_.ReplaceView(view.get());
  if (source_) source_->SetView(view.get());
  view_ = std::move(view);
  hashes_ = std::move(fresh);
  return s;
}

bool MainWindow::EnsureHashInfo() {
  if (!loaded_) return false;
  if (!hashes_) {
    const Status s = LoadHashTables();
    if (!s.ok()) SetStatus(u"Content hashes ignored: " + FromUtf8(s.message()));
  }
  return true;
}

void MainWindow::ReloadHashInfo() {
  if (!loaded_) return;
  SetStatus(u"{PUSH}");
  SetStatus(u"Reloading hash info...");
  SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  const Status s = LoadHashTables();
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  SetStatus(u"{POP}");
  if (!s.ok()) Box(hwnd_, u"Content hashes ignored: " + FromUtf8(s.message()), MB_OK | MB_ICONWARNING);
  SubmitCurrent();  // the same search over the new values
}

void MainWindow::FindSameHash(uint32_t item) {
  if (!EnsureHashInfo() || item >= db_.item_count()) return;
  const uint32_t value = hashes_->value(item);
  if (value == 0) {
    Box(hwnd_,
        u"No content hash is known for this file. Compute the content hashes (Tools menu), then reload the hash "
        u"info (Database menu).",
        MB_OK | MB_ICONINFORMATION);
    return;
  }
  TakeSearchText(SameContentQuery(value));
}

void MainWindow::LaunchHasher() {
  const std::u16string folder = config_.hasher_folder.empty() ? ProgramFolder() : config_.hasher_folder;
  const std::wstring tool = W(folder) + kHasherName;
  if (GetFileAttributesW(tool.c_str()) == INVALID_FILE_ATTRIBUTES) {
    Box(hwnd_, u"File not found: " + U(tool), MB_OK | MB_ICONINFORMATION);
    return;
  }
  // An administrator starts it as is; anyone else through the elevation prompt, since it
  // reads every indexed file.
  const bool admin = config_.is_admin ? config_.is_admin() : IsProcessAdmin();
  last_hasher_verb_ = admin ? u"open" : u"runas";
  const std::wstring verb = W(last_hasher_verb_), parameters = W(HasherParameters(config_.home)), directory = W(folder);
  SHELLEXECUTEINFOW sei{};
  sei.cbSize = sizeof(sei);
  sei.fMask = SEE_MASK_NOASYNC;
  sei.hwnd = hwnd_;
  sei.lpVerb = verb.c_str();
  sei.lpFile = tool.c_str();
  sei.lpParameters = parameters.c_str();
  sei.lpDirectory = directory.c_str();
  sei.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&sei)) {
    const DWORD error = GetLastError();
    if (error != ERROR_CANCELLED) {  // declining the elevation prompt needs no message
      Box(hwnd_, u"Cannot start " + U(tool) + u" (error " + FromUtf8(std::to_string(error)) + u").",
          MB_OK | MB_ICONWARNING);
    }
  }
}

// ---- Ignored folders ----

void MainWindow::ShowIgnoredFolders() {
  const std::wstring text = W(
      IgnoredFoldersText(ReadIgnoredFolders(Profile::Default(), config_.settings_path), Tr(u"Menu.Empty", u"(Empty)")));
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_IGNORED_FOLDERS), hwnd_, IgnoredFoldersProc,
                  reinterpret_cast<LPARAM>(text.c_str()));
}

bool MainWindow::DatabaseCommand(int id) {
  if (id >= IDM_CLEAN_DRIVE_FIRST && id < IDM_CLEAN_DRIVE_FIRST + 26) {
    CleanFromWindow(static_cast<char16_t>(u'A' + (id - IDM_CLEAN_DRIVE_FIRST)));
    return true;
  }
  switch (id) {
    case IDM_DATABASE_CLEAN_ALL: CleanFromWindow(0); return true;
    case IDM_DATABASE_RELOAD_HASH_INFO: ReloadHashInfo(); return true;
    case IDM_DATABASE_SHOW_IGNORED: ShowIgnoredFolders(); return true;
    case IDM_TOOLS_COMPUTE_HASHES: LaunchHasher(); return true;
    case IDM_LIST_FIND_SAME_HASH:
      if (const std::vector<uint32_t> rows = list_.SelectedRows(); rows.size() == 1)
        FindSameHash(list_.ItemAt(rows[0]));
      return true;
  }
  return false;
}

}  // namespace nusk
