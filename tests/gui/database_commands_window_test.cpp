// The window's Clean, content-hash and ignored-folder commands in a real window in this
// process: cleaning one drive and everything, refused under the build lock; the
// same-content search over "nusk.hash" as Sumtor.exe writes it, read again on request;
// starting the hashing tool; the ignored-folders dialog; another database location chosen
// in the system's folder picker and the home shown by the shell.
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "app/home.h"
#include "gui/resource.h"
#include "l10n/builtin_ui.h"
#include "l10n/mui.h"
#include "platform/env.h"
#include "platform/win32/win_text.h"
#include "scan/build_command.h"
#include "search/hash_file.h"
#include "settings/drive_map.h"
#include "settings/process_state.h"
#include "settings/recent_list.h"
#include "tests/gui/window_driver.h"
#include "util/utf.h"

namespace nusk::testing {
namespace {

using Paths = std::set<std::u16string>;

constexpr char kIni[] =
    "[Options]\r\nShowAllItemsForEmptySearch=1\r\n"
    "[NuskIgnoreFolders]\r\nCount=2\r\nItem_1=C:\\skip me\r\nItem_2=D:\\cache\r\n";

std::wstring Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return W(FromUtf8(path));
}

// Runs `open` (which shows a modal dialog with this caption) and, from a helper thread,
// reads the text of the dialog's control `id`, then closes the dialog.
// Runs `open` (which shows a modal dialog captioned `caption`) and reads the text of
// control `id` from another thread, saving the dialog as <shot>.png when a name is given;
// then closes it.
std::u16string DialogControlText(const std::u16string& caption, int id, const std::function<void()>& open,
                                 const std::string& shot = {}) {
  std::u16string text;
  std::thread reader([&] {
    for (int i = 0; i < 500; ++i, Sleep(10)) {
      HWND dlg = FindWindowW(L"#32770", W(caption).c_str());
      if (!dlg || !IsWindowVisible(dlg)) continue;
      wchar_t buf[1024] = {};
      GetDlgItemTextW(dlg, id, buf, 1023);
      text = U(buf);
      if (!shot.empty()) {
        Sleep(300);  // let it paint
        RECT rc;
        GetWindowRect(dlg, &rc);
        if (!SaveScreenPng(rc, shot)) text += u" (no screenshot)";
      }
      PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
      return;
    }
  });
  open();
  reader.join();
  return text;
}

// A top-level window of another process with this title, null when none.
HWND OtherProcessWindow(const std::wstring& title) {
  for (HWND w = FindWindowW(nullptr, title.c_str()); w; w = FindWindowExW(nullptr, w, nullptr, title.c_str())) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != GetCurrentProcessId()) return w;
  }
  return nullptr;
}

class DatabaseCommandsWindowTest : public ::testing::Test {
 protected:
  void TearDown() override { InstallUI(nullptr); }
  WindowDriver& Open(const std::string& ini = kIni) {
    driver_ = std::make_unique<WindowDriver>(&index_, ini);
    driver_->configure = configure_;
    EXPECT_TRUE(driver_->Open());
    return *driver_;
  }
  Paths Listed() {
    Paths out;
    for (uint32_t r = 0; r < driver_->list().count(); ++r) out.insert(driver_->list().FullPath(r));
    return out;
  }
  // Runs a command and pumps until the window has reloaded and shows a result again.
  bool CommandAndReload(int id) {
    MainWindow& w = driver_->window();
    const int reloads = w.reloads();
    const uint64_t taken = w.results_taken();
    PostMessageW(w.hwnd(), WM_COMMAND, id, 0);
    return PumpUntil(
        &w, [&] { return w.reloads() > reloads && w.loaded() && w.results_taken() > taken; }, 10000);
  }
  void SelectOnly(std::u16string_view path) {
    ResultList& list = driver_->list();
    ListView_SetItemState(list.hwnd(), -1, 0, LVIS_SELECTED);
    for (uint32_t r = 0; r < list.count(); ++r)
      if (list.FullPath(r) == path) ListView_SetItemState(list.hwnd(), r, LVIS_SELECTED, LVIS_SELECTED);
  }
  Paths FindSame(std::u16string_view path) {
    driver_->SetText(u"");
    SelectOnly(path);
    const uint64_t taken = driver_->window().results_taken();
    PostMessageW(driver_->hwnd(), WM_COMMAND, IDM_LIST_FIND_SAME_HASH, 0);
    MainWindow& w = driver_->window();
    EXPECT_TRUE(PumpUntil(
        &w, [&] { return w.results_taken() > taken; }, 10000));
    return Listed();
  }

  TestIndex index_;
  std::unique_ptr<WindowDriver> driver_;
  std::function<void(MainWindowConfig*)> configure_;
};

TEST_F(DatabaseCommandsWindowTest, CleanOneDriveThenEverything) {
  index_.File(u"C:\\docs\\a.txt", 10);
  index_.File(u"D:\\data\\c.txt", 10);
  index_.Build();
  WindowDriver& d = Open();
  MainWindow& w = d.window();
  // The popup lists Clean All and each drive of the index.
  HMENU popup = FindPopupStartingWith(GetMenu(w.hwnd()), IDM_DATABASE_CLEAN_ALL);
  ASSERT_NE(popup, nullptr);
  SendMessageW(w.hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
  std::vector<UINT> ids;
  for (int i = 0; i < GetMenuItemCount(popup); ++i) ids.push_back(GetMenuItemID(popup, i));
  EXPECT_EQ(ids, (std::vector<UINT>{IDM_DATABASE_CLEAN_ALL, 0, IDM_CLEAN_DRIVE_FIRST + 2, IDM_CLEAN_DRIVE_FIRST + 3}));

  ASSERT_TRUE(CommandAndReload(IDM_CLEAN_DRIVE_FIRST + 2));
  const Paths left = Listed();
  EXPECT_TRUE(left.count(u"D:\\data\\c.txt"));
  for (const std::u16string& p : left) EXPECT_EQ(p.rfind(u"D:", 0), 0u) << ToUtf8(p);
  const SettingsFile settings(index_.home() + u"nusk.ini");
  EXPECT_EQ(settings.ReadText(u"NuskIgnoreFolders", u"Item_2"), u"D:\\cache") << "one drive keeps the list";

  ASSERT_TRUE(CommandAndReload(IDM_DATABASE_CLEAN_ALL));
  EXPECT_EQ(d.list().count(), 0u);
  EXPECT_EQ(settings.ReadText(u"NuskIgnoreFolders", u"Count"), u"") << "the whole clean forgets ignored folders";
}

TEST_F(DatabaseCommandsWindowTest, CleanIsRefusedWhileABuildHoldsTheLock) {
  index_.File(u"C:\\docs\\a.txt", 10);
  index_.Build();
  WindowDriver& d = Open();
  MainWindow& w = d.window();
  const uint32_t rows = d.list().count();
  std::unique_ptr<NamedMutex> lock = Env::Default()->CreateFolderLock(index_.home(), kBuildLockTag);
  bool taken = false;
  ASSERT_TRUE(lock->TryLock(&taken).ok() && taken);
  for (int id : {IDM_DATABASE_CLEAN_ALL, IDM_CLEAN_DRIVE_FIRST + 2}) {
    MessageBoxCatcher refused(IDOK);
    PostMessageW(w.hwnd(), WM_COMMAND, id, 0);
    EXPECT_TRUE(PumpUntil(
        &w, [&] { return refused.seen(); }, 5000));
    EXPECT_EQ(refused.text(), u"A build is in progress, operation canceled.");
  }
  d.Pump(100);
  EXPECT_EQ(w.reloads(), 0);
  EXPECT_EQ(d.list().count(), rows);
  lock->Unlock();
  // The lock is not left taken by the refused cleans: a clean now goes through.
  ASSERT_TRUE(CommandAndReload(IDM_DATABASE_CLEAN_ALL));
  EXPECT_EQ(d.list().count(), 0u);
}

TEST_F(DatabaseCommandsWindowTest, HasherWritesHashesThatFindSameContent) {
  // Real files, indexed under their own paths, hashed by the real Sumtor.exe.
  TempDir tree;
  tree.WriteFile(u"a.txt", "same text");
  tree.WriteFile(u"b.txt", "same text");
  tree.WriteFile(u"c.txt", "diff text");
  const DriveMap map = DriveMap::Load(index_.home() + u"nusk.ini");
  std::map<char, std::u16string> path;
  for (char c : {'a', 'b', 'c'}) {
    ASSERT_TRUE(map.FromNativePath(tree.Sub(FromUtf8(std::string(1, c) + ".txt")), &path[c]));
    index_.File(path[c], 9);
  }
  index_.Build();
  configure_ = [](MainWindowConfig* c) {
    c->hasher_folder = U(Native(NUSK_BINARY_DIR "/app/"));
    c->is_admin = [] { return true; };
  };
  WindowDriver& d = Open();
  MainWindow& w = d.window();
  const std::u16string hash_file = index_.home() + u"nusk.hash";
  PostMessageW(w.hwnd(), WM_COMMAND, IDM_TOOLS_COMPUTE_HASHES, 0);
  ASSERT_TRUE(PumpUntil(
      &w, [&] { return Env::Default()->FileExists(hash_file); }, 60000));
  EXPECT_EQ(w.last_hasher_verb(), u"open");
  EXPECT_EQ(w.hash_loads(), 0) << "nothing asked for hashes before";

  PostMessageW(w.hwnd(), WM_COMMAND, IDM_DATABASE_RELOAD_HASH_INFO, 0);
  ASSERT_TRUE(PumpUntil(
      &w, [&] { return w.hash_loads() == 1; }, 5000));
  EXPECT_EQ(w.status_stack().depth(), 0u) << "the reload's status text is popped";
  EXPECT_EQ(FindSame(path['c']), (Paths{path['c']}));
  EXPECT_EQ(FindSame(path['a']), (Paths{path['a'], path['b']}));
  EXPECT_EQ(w.search_text().rfind(u"/hash:", 0), 0u);

  // A new "nusk.hash" where c has the same content: read again, the same search finds all three.
  std::vector<HashRecord> records;
  for (char c : {'a', 'b', 'c'}) records.push_back(index_.RecordFor(path[c], 7));
  index_.dir().WriteFile(u"nusk.hash", EncodeHashFile(records));
  const uint64_t taken = w.results_taken();
  PostMessageW(w.hwnd(), WM_COMMAND, IDM_DATABASE_RELOAD_HASH_INFO, 0);
  ASSERT_TRUE(PumpUntil(
      &w, [&] { return w.hash_loads() == 2 && w.results_taken() > taken; }, 5000));
  EXPECT_EQ(Listed(), (Paths{path['a'], path['b'], path['c']}));
}

TEST_F(DatabaseCommandsWindowTest, HasherIsLookedForBesideTheProgramAndElevatedForUsers) {
  index_.File(u"C:\\docs\\a.txt", 10);
  index_.Build();
  TempDir tools;
  configure_ = [&](MainWindowConfig* c) {
    c->hasher_folder = tools.path();
    c->is_admin = [] { return false; };
  };
  WindowDriver& d = Open();
  MainWindow& w = d.window();
  {
    MessageBoxCatcher missing(IDOK);
    PostMessageW(w.hwnd(), WM_COMMAND, IDM_TOOLS_COMPUTE_HASHES, 0);
    EXPECT_TRUE(PumpUntil(
        &w, [&] { return missing.seen(); }, 5000));
    EXPECT_EQ(missing.text(), u"File not found: " + tools.path() + u"Sumtor.exe");
  }
  // A stand-in tool writes back the arguments it was given: the home folder arrives whole
  // although it ends with a backslash before the closing quote.
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring echo = exe;
  echo = echo.substr(0, echo.rfind(L'\\') + 1) + L"nusk_arg_echo.exe";
  ASSERT_TRUE(CopyFileW(echo.c_str(), W(tools.path() + u"Sumtor.exe").c_str(), FALSE));
  const std::u16string out = tools.Sub(u"args.txt");
  SetEnvironmentVariableW(L"NUSK_ARG_ECHO_OUT", W(out).c_str());
  PostMessageW(w.hwnd(), WM_COMMAND, IDM_TOOLS_COMPUTE_HASHES, 0);
  ASSERT_TRUE(PumpUntil(
      &w, [&] { return Env::Default()->FileExists(out); }, 10000));
  std::string args;
  ASSERT_TRUE(Env::Default()->ReadWholeFile(out, &args).ok());
  EXPECT_EQ(args, "--dbdir\n" + ToUtf8(index_.home()) + "\n");
  EXPECT_EQ(w.last_hasher_verb(), u"runas");
}

TEST_F(DatabaseCommandsWindowTest, IgnoredFoldersAreListedInADialog) {
  index_.File(u"C:\\docs\\a.txt", 10);
  index_.Build();
  InEachLanguage({"en", "ja"}, [&](const std::string& code) {
    WindowDriver& d = Open();
    const std::u16string caption =
        CurrentUI() ? CurrentUI()->DialogText(u"dialog.ignored_folders", u"Ignored Folders") : u"Ignored Folders";
    const std::u16string text = DialogControlText(
        caption, IDC_IGNORED_EDIT, [&] { d.window().Command(IDM_DATABASE_SHOW_IGNORED); }, "ignored_folders_" + code);
    EXPECT_EQ(text, u"C:\\skip me\r\nD:\\cache") << code;
  });
}

TEST_F(DatabaseCommandsWindowTest, CleanPopupInEnglishAndJapanese) {
  index_.File(u"C:\\docs\\a.txt", 10);
  index_.File(u"D:\\data\\c.txt", 10);
  index_.Build();
  for (const char* shot : {"clean_menu_en", "clean_menu_ja"}) {
    std::unique_ptr<CMUI> table;
    if (std::string(shot).ends_with("_ja")) table = std::make_unique<CJaUI>(), table->Fill();
    const std::u16string title = table ? table->PopupTitle(u"database.clean", u"") : u"Clea&n";
    const std::u16string help =
        table ? table->MenuHelp(u"database.clean") : u"Remove any information in current database.";
    InstallUI(std::move(table));
    WindowDriver& d = Open();
    HMENU database = GetSubMenu(GetMenu(d.hwnd()), 2);
    wchar_t buf[128] = {};
    GetMenuStringW(database, 3, buf, 127, MF_BYPOSITION);
    EXPECT_EQ(U(buf), title) << shot;
    SendMessageW(d.hwnd(), WM_MENUSELECT, MAKEWPARAM(3, MF_POPUP), reinterpret_cast<LPARAM>(database));
    EXPECT_EQ(d.window().StatusText(), help) << shot;
    // The Database menu with its Clean popup open (filled as it opens).
    RECT wr;
    GetWindowRect(d.hwnd(), &wr);
    EXPECT_TRUE(ScreenshotWithMenu(
        d.hwnd(), [&] { TrackPopupMenuEx(database, TPM_RETURNCMD, wr.left + 60, wr.top + 40, d.hwnd(), nullptr); },
        shot, 3))
        << shot;
    driver_.reset();
  }
}

// Browse... in the system's folder picker (answered from a helper thread): the chosen folder
// is the next start's home and heads the recent locations, and the restart offer names it
// (declined). Open Database Location shows the home in a window of the shell.
TEST_F(DatabaseCommandsWindowTest, BrowseInTheFolderPickerAndOpenTheHomeInTheShell) {
  index_.File(u"C:\\docs\\a.txt", 10);
  index_.Build();
  const std::u16string elsewhere = index_.dir().Sub(u"elsewhere");
  ASSERT_TRUE(CreateDirectoryW(W(elsewhere).c_str(), nullptr));
  OleInitialize(nullptr);  // as the program's start does: the picker needs it
  WindowDriver& d = Open();
  std::thread picker([&] {
    for (int i = 0; i < 2000; ++i, Sleep(10)) {
      HWND dlg = FindWindowExW(nullptr, nullptr, L"#32770", nullptr);
      HWND tree = dlg ? FindWindowExW(dlg, nullptr, WC_TREEVIEWW, nullptr) : nullptr;
      if (!tree || GetWindow(dlg, GW_OWNER) != d.hwnd() || !IsWindowVisible(dlg)) continue;
      // Chosen again until the tree shows it: the dialog selects its start folder once it has filled the tree.
      SendMessageW(dlg, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(W(elsewhere).c_str()));
      wchar_t text[MAX_PATH] = {};
      TVITEMW item{};
      item.mask = TVIF_TEXT;
      item.hItem = TreeView_GetSelection(tree);
      item.pszText = text;
      item.cchTextMax = MAX_PATH;
      if (!item.hItem || !TreeView_GetItem(tree, &item) || lstrcmpW(text, L"elsewhere") != 0) continue;
      PostMessageW(dlg, WM_COMMAND, IDOK, 0);
      return;
    }
  });
  // As with "--dbdir": the choice is kept in this home's settings.
  const std::u16string override = Process().folder_override;
  Process().folder_override = index_.home();
  {
    MessageBoxCatcher offer(IDNO);
    SendMessageW(d.hwnd(), WM_COMMAND, IDM_DATABASE_LOAD_BROWSE, 0);
    picker.join();
    Process().folder_override = override;
    EXPECT_NE(offer.text().find(elsewhere + u"\\"), std::u16string::npos) << ToUtf8(offer.text());
  }
  EXPECT_EQ(ResolveHome(Env::Default(), Profile::Default(), index_.home()), elsewhere + u"\\");
  const SettingsFile settings(index_.home() + u"nusk.ini");
  EXPECT_EQ(settings.ReadText(u"RecentDbLocations", RecentList::KeyFor(0)), elsewhere + u"\\");
  EXPECT_EQ(settings.ReadText(u"RecentDbLocations", RecentList::KeyFor(1)), index_.home());
  EXPECT_TRUE(IsWindow(d.hwnd()));

  // The shell's window is titled with the folder's name.
  std::u16string name = index_.home().substr(0, index_.home().size() - 1);
  name = name.substr(name.rfind(u'\\') + 1);
  SendMessageW(d.hwnd(), WM_COMMAND, IDM_TOOLS_OPEN_DB_LOCATION, 0);
  HWND shown = nullptr;
  EXPECT_TRUE(PumpUntil(
      &d.window(), [&] { return (shown = OtherProcessWindow(W(name))) != nullptr; }, 20000))
      << ToUtf8(name);
  if (shown) {
    DWORD pid = 0;
    GetWindowThreadProcessId(shown, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    PostMessageW(shown, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) TerminateProcess(process, 1);
    CloseHandle(process);
  }
  OleUninitialize();
}

}  // namespace
}  // namespace nusk::testing
