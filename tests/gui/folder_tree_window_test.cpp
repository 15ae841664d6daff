// The folder tree pane in the real main window, over a small index written by the real writer.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>
#include <thread>

#include "gui/folder_tree.h"
#include "gui/resource.h"
#include "index/folder_children.h"
#include "l10n/builtin_ui.h"
#include "l10n/mui.h"
#include "platform/win32/win_text.h"
#include "search/file_list_source.h"
#include "tests/gui/window_driver.h"
#include "util/utf.h"

namespace nusk::testing {
namespace {

class TreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    index_.File(u"C:\\docs\\report 2014.docx");
    index_.File(u"C:\\docs\\notes.txt");
    index_.File(u"C:\\docs\\old\\draft.txt");
    index_.File(u"C:\\music\\song.mp3");
    index_.Folder(u"C:\\empty");
    index_.Folder(u"C:\\windows");  // exists in every prefix: the shell has a menu for it
    index_.File(u"D:\\top.txt");
    index_.File(u"D:\\data\\readme.md");
    index_.Build();
  }
  void TearDown() override { InstallUI(nullptr); }

  TestIndex index_;
};

std::u16string ItemText(HWND tree, HTREEITEM item) {
  wchar_t buf[260] = {};
  TVITEMW it{};
  it.mask = TVIF_TEXT | TVIF_HANDLE;
  it.hItem = item;
  it.pszText = buf;
  it.cchTextMax = 259;
  TreeView_GetItem(tree, &it);
  return U(buf);
}

HTREEITEM ChildNamed(HWND tree, HTREEITEM parent, std::u16string_view name) {
  TreeView_Expand(tree, parent, TVE_EXPAND);
  for (HTREEITEM c = TreeView_GetChild(tree, parent); c; c = TreeView_GetNextSibling(tree, c)) {
    if (ItemText(tree, c) == name) return c;
  }
  return nullptr;
}

std::vector<std::u16string> ChildTexts(HWND tree, HTREEITEM parent) {
  TreeView_Expand(tree, parent, TVE_EXPAND);
  std::vector<std::u16string> out;
  for (HTREEITEM c = TreeView_GetChild(tree, parent); c; c = TreeView_GetNextSibling(tree, c))
    out.push_back(ItemText(tree, c));
  return out;
}

// Whether the tree view shows an expand button for the item (asked of the control).
bool HasButton(HWND tree, HTREEITEM item) {
  TVITEMW it{};
  it.mask = TVIF_CHILDREN | TVIF_HANDLE;
  it.hItem = item;
  TreeView_GetItem(tree, &it);
  return it.cChildren > 0;
}

// The full paths the find driver gives for a query over the same index.
std::set<std::u16string> FindPaths(TestIndex& index, const std::u16string& query) {
  NopFileListSourceChangeListener nop;
  SearchView view(&index.db());
  FileListSource source(&view, &nop);
  source.Submit(query, false);
  std::set<std::u16string> out;
  for (uint32_t item : source.Results()) out.insert(std::u16string(index.db().BuildPath(item, false)));
  return out;
}

std::set<std::u16string> ListPaths(WindowDriver& d) {
  std::set<std::u16string> out;
  for (uint32_t r = 0; r < d.list().count(); ++r) out.insert(d.list().FullPath(r));
  return out;
}

TEST_F(TreeTest, FoldersOnlyLazyButtonsAndSelectionSearchesInside) {
  WindowDriver d(&index_, "[Options]\r\nShowAllItemsForEmptySearch=1\r\n[UIState]\r\nShowTree=1\r\n");
  ASSERT_TRUE(d.Open(u"report"));
  FolderTree& pane = d.window().folder_tree();
  HWND tree = pane.tree();
  ASSERT_TRUE(IsWindowVisible(pane.hwnd()));
  HTREEITEM root = TreeView_GetRoot(tree);
  EXPECT_EQ(ItemText(tree, root), u"NUSK");
  EXPECT_EQ(ChildTexts(tree, root), (std::vector<std::u16string>{u"C:", u"D:"}));
  HTREEITEM c = ChildNamed(tree, root, u"C:");
  HTREEITEM drive_d = ChildNamed(tree, root, u"D:");
  // Not expanded yet: no children inserted, but the button is there.
  EXPECT_EQ(TreeView_GetChild(tree, c), nullptr);
  EXPECT_TRUE(HasButton(tree, c));
  EXPECT_EQ(ChildTexts(tree, drive_d), std::vector<std::u16string>{u"data"});  // the file at the root is not listed
  HTREEITEM empty = ChildNamed(tree, c, u"empty");
  HTREEITEM docs = ChildNamed(tree, c, u"docs");
  ASSERT_TRUE(empty && docs);
  EXPECT_FALSE(HasButton(tree, empty));
  EXPECT_FALSE(HasButton(tree, ChildNamed(tree, drive_d, u"data")));
  EXPECT_TRUE(HasButton(tree, docs));

  // Selecting a folder searches inside it, as the find driver does for that folder.
  TreeView_SelectItem(tree, docs);
  d.Settle();
  EXPECT_EQ(d.window().box().Text(), u"C:\\docs report");
  EXPECT_EQ(ListPaths(d), FindPaths(index_, u"C:\\docs report"));
  EXPECT_EQ(d.list().count(), 1u);
  TreeView_SelectItem(tree, c);
  d.Settle();
  EXPECT_EQ(d.window().box().Text(), u"C:\\ report");
  EXPECT_EQ(ListPaths(d), FindPaths(index_, u"C:\\ report"));
  d.SetText(u"");
  TreeView_SelectItem(tree, docs);
  d.Settle();
  EXPECT_EQ(ListPaths(d), FindPaths(index_, u"C:\\docs"));
  EXPECT_EQ(d.list().count(), 4u);  // two files, the folder "old" and the file inside it
  EXPECT_TRUE(d.Screenshot("folder_tree_en"));
  // The root hands over a single backslash.
  TreeView_SelectItem(tree, root);
  d.Settle();
  EXPECT_EQ(d.window().box().Text(), u"\\");

  // Clicking the selected item hands it over again.
  TreeView_SelectItem(tree, docs);
  d.Settle();
  d.SetText(u"elsewhere");
  RECT rc;
  TreeView_GetItemRect(tree, docs, &rc, TRUE);
  POINT pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  ClientToScreen(tree, &pt);
  SetCursorPos(pt.x, pt.y);
  ScreenToClient(tree, &pt);
  PostMessageW(tree, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
  PostMessageW(tree, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
  d.Pump(100);
  d.Settle();
  EXPECT_EQ(d.window().box().Text(), u"C:\\docs elsewhere");
}

TEST_F(TreeTest, ShowingAFolderFollowsTheChainOrStopsQuietly) {
  WindowDriver d(&index_, "[Options]\r\nShowAllItemsForEmptySearch=1\r\n[UIState]\r\nShowTree=1\r\n");
  ASSERT_TRUE(d.Open());
  FolderTree& pane = d.window().folder_tree();
  HWND tree = pane.tree();
  const uint32_t old = index_.Item(u"C:\\docs\\old");
  std::vector<uint32_t> chain = FolderChain(index_.db(), old);
  ASSERT_EQ(chain.size(), 3u);
  // A level that is not in the tree: the levels found are expanded, nothing is selected.
  std::vector<uint32_t> broken = {chain[0], chain[1], index_.Item(u"C:\\music")};
  TreeView_SelectItem(tree, nullptr);
  EXPECT_FALSE(pane.Locate(broken));
  d.Settle();
  EXPECT_EQ(TreeView_GetSelection(tree), nullptr);
  HTREEITEM docs = pane.ChildWithRecord(pane.ChildWithRecord(pane.root(), chain[0]), chain[1]);
  ASSERT_TRUE(docs);
  EXPECT_TRUE(TreeView_GetItemState(tree, docs, TVIS_EXPANDED) & TVIS_EXPANDED);
  EXPECT_EQ(d.window().box().Text(), u"");
  // The whole chain: selected, and the search runs in it.
  EXPECT_TRUE(pane.Locate(chain));
  d.Settle();
  EXPECT_EQ(ItemText(tree, TreeView_GetSelection(tree)), u"old");
  EXPECT_EQ(d.window().box().Text(), u"C:\\docs\\old");
  EXPECT_EQ(d.list().count(), 1u);
  // Enter on a folder of the result list shows it in the tree, which searches inside it.
  TreeView_SelectItem(tree, pane.root());
  d.SetText(u"music");
  ASSERT_EQ(d.list().count(), 1u);
  SetFocus(d.list().hwnd());
  d.list().SetFocusRow(0, -1);
  d.Key(VK_RETURN);
  d.Settle();
  EXPECT_EQ(ItemText(tree, TreeView_GetSelection(tree)), u"music");
  EXPECT_EQ(d.window().box().Text(), u"C:\\music music");
  // The action on a file, with the tree hidden (View, Folder Tree): shown, at the file's folder.
  d.window().Command(IDM_VIEW_FOLDER_TREE);
  ASSERT_FALSE(IsWindowVisible(pane.hwnd()));
  d.window().LocateInFolderTree(index_.Item(u"C:\\docs\\old\\draft.txt"));
  d.Settle();
  EXPECT_TRUE(IsWindowVisible(pane.hwnd()));
  EXPECT_EQ(ItemText(tree, TreeView_GetSelection(tree)), u"old");
  EXPECT_EQ(d.window().box().Text(), u"C:\\docs\\old music");
}

// Picks the entry with `id` from the context menu that `open` shows, with the keyboard as a
// user would (Down to it, Enter); false when the menu or the entry was not found.
bool ChooseFromMenu(const std::function<void()>& open, UINT id) {
  std::atomic<bool> found{false};
  std::thread chooser([&] {
    for (int i = 0; i < 500; ++i, Sleep(10)) {
      HWND m = FindWindowW(L"#32768", nullptr);
      if (!m || !IsWindowVisible(m)) continue;
      HMENU menu = reinterpret_cast<HMENU>(SendMessageW(m, MN_GETHMENU, 0, 0));
      int downs = 0;
      for (int k = 0; k < GetMenuItemCount(menu) && !found; ++k) {
        if (GetMenuState(menu, k, MF_BYPOSITION) & (MF_GRAYED | MF_SEPARATOR)) continue;
        ++downs;
        found = GetMenuItemID(menu, k) == id;
      }
      for (int k = 0; found && k < downs; ++k) PostMessageW(m, WM_KEYDOWN, VK_DOWN, 0);
      PostMessageW(m, WM_KEYDOWN, found ? VK_RETURN : VK_ESCAPE, 0);
      return;
    }
  });
  open();
  chooser.join();
  return found;
}

TEST_F(TreeTest, ListMenuLocatesTheSelectedItemsFolder) {
  WindowDriver d(&index_, "[Options]\r\nShowAllItemsForEmptySearch=1\r\n");
  ASSERT_TRUE(d.Open(u"draft"));
  FolderTree& pane = d.window().folder_tree();
  ASSERT_FALSE(IsWindowVisible(pane.hwnd()));
  ASSERT_EQ(d.list().count(), 1u);
  HWND lv = d.list().hwnd();
  SetFocus(lv);
  ListView_SetItemState(lv, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  auto open = [&] { SendMessageW(d.hwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(lv), MAKELPARAM(-1, -1)); };
  ASSERT_TRUE(ChooseFromMenu(open, IDM_LIST_LOCATE_IN_TREE));
  d.Settle();
  // The file's folder: the pane is shown with it selected, and the search runs inside it.
  EXPECT_TRUE(IsWindowVisible(pane.hwnd()));
  HTREEITEM selected = TreeView_GetSelection(pane.tree());
  ASSERT_TRUE(selected);
  EXPECT_EQ(ItemText(pane.tree(), selected), u"old");
  EXPECT_EQ(ItemText(pane.tree(), TreeView_GetParent(pane.tree(), selected)), u"docs");
  EXPECT_EQ(d.window().box().Text(), u"C:\\docs\\old draft");
  EXPECT_EQ(d.list().count(), 1u);
  // A folder row shows that folder itself.
  d.SetText(u"music");
  ASSERT_EQ(d.list().count(), 1u);
  ListView_SetItemState(lv, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ASSERT_TRUE(ChooseFromMenu(open, IDM_LIST_LOCATE_IN_TREE));
  d.Settle();
  EXPECT_EQ(ItemText(pane.tree(), TreeView_GetSelection(pane.tree())), u"music");
}

TEST_F(TreeTest, WidthAndVisibilitySurviveARestart) {
  std::string ini = "[Options]\r\nShowAllItemsForEmptySearch=1\r\n[UIState]\r\nShowTree=1\r\nTreePaneWidth=200\r\n";
  {
    WindowDriver d(&index_, ini);
    ASSERT_TRUE(d.Open());
    HWND pane = d.window().folder_tree().hwnd();
    RECT rc;
    GetClientRect(pane, &rc);
    EXPECT_EQ(rc.right, 200);
    // Drag the splitter at the pane's right edge to 310.
    SendMessageW(pane, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(rc.right - 2, 40));
    SendMessageW(pane, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(308, 40));
    SendMessageW(pane, WM_LBUTTONUP, 0, MAKELPARAM(308, 40));
    d.Pump(50);
    RECT lr;
    GetWindowRect(d.list().hwnd(), &lr);
    POINT p = {lr.left, lr.top};
    ScreenToClient(d.hwnd(), &p);
    EXPECT_EQ(p.x, 310);
  }
  ini = SavedSettings(index_);
  EXPECT_NE(ini.find("TreePaneWidth=310"), std::string::npos) << ini;
  EXPECT_NE(ini.find("ShowTree=1"), std::string::npos) << ini;
  {
    WindowDriver d(&index_, ini);
    ASSERT_TRUE(d.Open());
    HWND pane = d.window().folder_tree().hwnd();
    ASSERT_TRUE(IsWindowVisible(pane));
    // Shown at start-up, the pane has its folder icons.
    EXPECT_EQ(ImageList_GetImageCount(TreeView_GetImageList(d.window().folder_tree().tree(), TVSIL_NORMAL)), 4);
    RECT rc;
    GetClientRect(pane, &rc);
    EXPECT_EQ(rc.right, 310);
    // The title's close button hides the pane, and that is kept too.
    HWND close = FindWindowExW(pane, nullptr, WC_BUTTONW, nullptr);
    ASSERT_TRUE(close);
    SendMessageW(close, BM_CLICK, 0, 0);
    d.Pump(50);
    EXPECT_FALSE(IsWindowVisible(pane));
  }
  ini = SavedSettings(index_);
  EXPECT_NE(ini.find("ShowTree=0"), std::string::npos) << ini;
  WindowDriver d(&index_, ini);
  ASSERT_TRUE(d.Open());
  FolderTree& tree = d.window().folder_tree();
  EXPECT_FALSE(IsWindowVisible(tree.hwnd()));
  // A hidden pane leaves the shell's icons alone (their first use is slow); showing it
  // fetches them.
  EXPECT_EQ(TreeView_GetImageList(tree.tree(), TVSIL_NORMAL), nullptr);
  SendMessageW(d.hwnd(), WM_COMMAND, IDM_VIEW_FOLDER_TREE, 0);
  d.Pump(50);
  ASSERT_TRUE(IsWindowVisible(tree.hwnd()));
  EXPECT_EQ(ImageList_GetImageCount(TreeView_GetImageList(tree.tree(), TVSIL_NORMAL)), 4);
}

TEST_F(TreeTest, ShellMenuOfAFolderKeepsTheStatusText) {
  WindowDriver d(&index_, "[Options]\r\nShowAllItemsForEmptySearch=1\r\n[UIState]\r\nShowTree=1\r\n");
  ASSERT_TRUE(d.Open());
  HWND tree = d.window().folder_tree().tree();
  TreeView_SelectItem(tree, ChildNamed(tree, ChildNamed(tree, TreeView_GetRoot(tree), u"C:"), u"windows"));
  d.Settle();
  const std::u16string status = d.window().StatusText();
  ASSERT_FALSE(status.empty());
  SetFocus(tree);
  EXPECT_TRUE(ScreenshotWithMenu(
      d.hwnd(), [&] { SendMessageW(tree, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(tree), -1); }, "folder_tree_menu"));
  d.Pump(50);
  EXPECT_EQ(d.window().StatusText(), status);
  EXPECT_EQ(d.window().status_stack().depth(), 0u);  // what the menu saved was given back
}

// Messages kMsgTreeItemRemoved sent to the window on this thread.
int g_removed_messages = 0;
LRESULT CALLBACK CountRemoved(int code, WPARAM wp, LPARAM lp) {
  if (code == HC_ACTION && reinterpret_cast<CWPSTRUCT*>(lp)->message == kMsgTreeItemRemoved) ++g_removed_messages;
  return CallNextHookEx(nullptr, code, wp, lp);
}

// What follows the shell menu's command on a folder. Driven directly: the shell's own
// "delete" asks for confirmation in a dialog of its own and moves the folder to the
// desktop's trash, which a test must not do.
TEST_F(TreeTest, DeleteVerbRemovesTheItemOnlyWhenTheFolderIsGone) {
  WindowDriver d(&index_, "[Options]\r\nShowAllItemsForEmptySearch=1\r\n[UIState]\r\nShowTree=1\r\n");
  ASSERT_TRUE(d.Open(u"txt"));
  FolderTree& pane = d.window().folder_tree();
  HWND tree = pane.tree();
  HTREEITEM c = ChildNamed(tree, TreeView_GetRoot(tree), u"C:");
  ASSERT_TRUE(c);
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CountRemoved, nullptr, GetCurrentThreadId());
  ASSERT_TRUE(hook);
  g_removed_messages = 0;
  const struct {
    const char16_t* name;
    const wchar_t* verb;
    const wchar_t* path;
    bool removed;
  } cases[] = {
      {u"docs", L"open", L"C:\\docs", false},          // another verb
      {u"windows", L"delete", L"C:\\windows", false},  // the folder is still there: the user said no
      {u"docs", L"Delete", L"C:\\docs", true},         // gone (the index has it, the disk has not)
  };
  int sent = 0;
  for (const auto& c_ : cases) {
    SCOPED_TRACE(ToUtf8(c_.name));
    HTREEITEM item = ChildNamed(tree, c, c_.name);
    ASSERT_TRUE(item);
    EXPECT_EQ(pane.AfterShellCommand(item, c_.verb, c_.path), c_.removed);
    d.Settle();
    sent += c_.removed ? 1 : 0;
    EXPECT_EQ(g_removed_messages, sent);
    EXPECT_EQ(ChildNamed(tree, c, c_.name) != nullptr, !c_.removed);
  }
  UnhookWindowsHookEx(hook);
  // The window searched again: the list still shows what the index holds.
  EXPECT_EQ(ListPaths(d), FindPaths(index_, u"txt"));
  EXPECT_EQ(ChildTexts(tree, c).size(), 3u);  // music, empty, windows
}

TEST_F(TreeTest, JapaneseTitle) {
  auto table = std::make_unique<CJaUI>();
  table->Fill();
  InstallUI(std::move(table));
  WindowDriver d(&index_, "[Options]\r\nShowAllItemsForEmptySearch=1\r\n[UIState]\r\nShowTree=1\r\n");
  ASSERT_TRUE(d.Open());
  HWND pane = d.window().folder_tree().hwnd();
  HWND title = FindWindowExW(pane, nullptr, WC_STATICW, nullptr);
  wchar_t text[64] = {};
  GetWindowTextW(title, text, 63);
  EXPECT_EQ(U(text), CurrentUI()->Message(u"TITLE.FolderTree", u"Folders"));
  EXPECT_NE(U(text), u"Folders");
  HWND tree = d.window().folder_tree().tree();
  TreeView_SelectItem(tree, ChildNamed(tree, ChildNamed(tree, TreeView_GetRoot(tree), u"C:"), u"docs"));
  d.Settle();
  EXPECT_TRUE(d.Screenshot("folder_tree_ja"));
}

}  // namespace
}  // namespace nusk::testing
