#include "gui/folder_tree.h"

#include <shellapi.h>
#include <shlobj.h>
#include <uxtheme.h>

#include <algorithm>

#include "gui/resource.h"
#include "gui/window_thunk.h"
#include "l10n/mui.h"
#include "platform/win32/win_text.h"

namespace nusk {

namespace {

constexpr int kTreeId = 1;
constexpr int kCloseId = 2;
constexpr int kTitleHeight = 22;
constexpr int kSplitter = 4;  // width of the drag zone at the right edge
constexpr int kMinWidth = 60;

// Image list slots.
enum { kImageApp = 0, kImageFolder, kImageOpenFolder, kImageDrive };

// A small shell icon of a path taken by attributes only: the disk is never asked.
HICON ShellIcon(const wchar_t* path, UINT extra) {
  SHFILEINFOW info{};
  if (!SHGetFileInfoW(path, FILE_ATTRIBUTE_DIRECTORY, &info, sizeof(info),
                      SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES | extra)) {
    return nullptr;
  }
  return info.hIcon;
}

}  // namespace

FolderTree::~FolderTree() {
  if (images_) ImageList_Destroy(images_);
  if (font_) DeleteObject(font_);
}

bool FolderTree::Create(HWND owner, std::function<void()> on_close, std::function<void()> on_resize) {
  owner_ = owner;
  on_close_ = std::move(on_close);
  on_resize_ = std::move(on_resize);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!RegisterObjectWindowClass<FolderTree>(kFolderTreeClass)) return false;
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kFolderTreeClass, L"", WS_CHILD | WS_CLIPCHILDREN, 0, 0, width_, 100,
                          owner, nullptr, instance, this);
  if (!hwnd_) return false;
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof(ncm);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
  font_ = CreateFontIndirectW(&ncm.lfMessageFont);
  const std::wstring title = W(Tr(u"TITLE.FolderTree", u"Folders"));
  title_ = CreateWindowExW(0, WC_STATICW, title.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_CENTERIMAGE, 0, 0, 0, 0,
                           hwnd_, nullptr, instance, nullptr);
  close_ = CreateWindowExW(0, WC_BUTTONW, L"\u00D7", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | BS_FLAT, 0, 0, 0, 0, hwnd_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCloseId)), instance, nullptr);
  tree_ = CreateWindowExW(
      WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_FULLROWSELECT, 0,
      0, 0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTreeId)), instance, nullptr);
  for (HWND c : {title_, close_, tree_}) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  SetWindowTheme(tree_, L"Explorer", nullptr);
  TreeView_SetExtendedStyle(tree_, TVS_EX_DOUBLEBUFFER | TVS_EX_AUTOHSCROLL | TVS_EX_FADEINOUTEXPANDOS,
                            TVS_EX_DOUBLEBUFFER | TVS_EX_AUTOHSCROLL | TVS_EX_FADEINOUTEXPANDOS);
  return true;
}

void FolderTree::LoadIcons() {
  if (images_) return;
  images_ =
      ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_COLOR32 | ILC_MASK, 4, 0);
  HICON icons[4] = {
      static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_NUSK), IMAGE_ICON, 16, 16, 0)),
      ShellIcon(L"folder", 0), ShellIcon(L"folder", SHGFI_OPENICON), ShellIcon(L"C:\\", 0)};
  for (HICON icon : icons) { ImageList_AddIcon(images_, icon ? icon : icons[1]); }
  for (HICON icon : icons) {
    if (icon) DestroyIcon(icon);
  }
  TreeView_SetImageList(tree_, images_, TVSIL_NORMAL);
}

void FolderTree::set_width(int w) { width_ = std::max(kMinWidth, w); }

void FolderTree::Layout() {
  RECT rc;
  GetClientRect(hwnd_, &rc);
  const int w = std::max<int>(0, rc.right - kSplitter);
  MoveWindow(title_, 4, 0, std::max(0, w - kTitleHeight - 4), kTitleHeight, TRUE);
  MoveWindow(close_, std::max(0, w - kTitleHeight), 1, kTitleHeight - 2, kTitleHeight - 2, TRUE);
  MoveWindow(tree_, 0, kTitleHeight, w, std::max<int>(0, rc.bottom - kTitleHeight), TRUE);
}

void FolderTree::Clear() {
  suppress_ = true;
  TreeView_DeleteAllItems(tree_);
  suppress_ = false;
  root_ = nullptr;
  index_.Clear();
  db_ = nullptr;
}

void FolderTree::Fill(NuskDb* db) {
  Clear();
  db_ = db;
  if (!db_ || !db_->loaded()) return;
  TVINSERTSTRUCTW ins{};
  ins.hParent = TVI_ROOT;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
  wchar_t text[] = L"NUSK";
  ins.item.pszText = text;
  ins.item.lParam = static_cast<LPARAM>(kNoItem);  // the root carries -1 as a 32-bit record
  ins.item.iImage = ins.item.iSelectedImage = kImageApp;
  ins.item.cChildren = I_CHILDRENCALLBACK;
  index_.Build(*db_);
  suppress_ = true;
  root_ = TreeView_InsertItem(tree_, &ins);
  TreeView_Expand(tree_, root_, TVE_EXPAND);
  suppress_ = false;
}

uint32_t FolderTree::Record(HTREEITEM item) const {
  TVITEMW it{};
  it.mask = TVIF_PARAM | TVIF_HANDLE;
  it.hItem = item;
  if (!item || !TreeView_GetItem(tree_, &it)) return kNoItem;
  return static_cast<uint32_t>(it.lParam);
}

void FolderTree::InsertChildren(HTREEITEM parent, uint32_t folder) {
  if (!db_) return;
  SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
  for (const FolderTreeEntry& e : ExpandFolder(*db_, index_, folder)) {
    std::wstring text = W(e.text);
    TVINSERTSTRUCTW ins{};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    ins.item.pszText = text.data();
    ins.item.lParam = static_cast<LPARAM>(e.item);
    const bool drive = folder == kNoItem;
    ins.item.iImage = drive ? kImageDrive : kImageFolder;
    ins.item.iSelectedImage = drive ? kImageDrive : kImageOpenFolder;
    ins.item.cChildren = I_CHILDRENCALLBACK;  // asked when drawn: the index knows
    TreeView_InsertItem(tree_, &ins);
  }
  SendMessageW(tree_, WM_SETREDRAW, TRUE, 0);
}

HTREEITEM FolderTree::ChildWithRecord(HTREEITEM parent, uint32_t record) {
  if (parent == TVI_ROOT) return root_;
  if (!parent) return nullptr;
  TreeView_Expand(tree_, parent, TVE_EXPAND);
  for (HTREEITEM c = TreeView_GetChild(tree_, parent); c; c = TreeView_GetNextSibling(tree_, c)) {
    if (Record(c) == record) return c;
  }
  return nullptr;
}

bool FolderTree::Locate(const std::vector<uint32_t>& chain) {
  HTREEITEM item = root_;
  for (uint32_t record : chain) {
    item = ChildWithRecord(item, record);
    if (!item) return false;  // a missing level: what was found stays expanded
  }
  if (!item) return false;
  suppress_ = true;
  TreeView_SelectItem(tree_, nullptr);
  suppress_ = false;
  TreeView_SelectItem(tree_, item);
  TreeView_EnsureVisible(tree_, item);
  return true;
}

void FolderTree::ShowContextMenu(HTREEITEM item, POINT at) {
  const uint32_t record = Record(item);
  if (!db_ || record == kNoItem) return;  // the root stands for no shell object
  const std::wstring path = W(TreeFolderPath(*db_, record));
  PIDLIST_ABSOLUTE pidl = nullptr;
  if (FAILED(SHParseDisplayName(path.c_str(), nullptr, &pidl, 0, nullptr))) return;
  IShellFolder* parent = nullptr;
  PCUITEMID_CHILD child = nullptr;
  IContextMenu* menu = nullptr;
  HMENU popup = CreatePopupMenu();
  if (SUCCEEDED(SHBindToParent(pidl, IID_IShellFolder, reinterpret_cast<void**>(&parent), &child)) &&
      SUCCEEDED(parent->GetUIObjectOf(hwnd_, 1, &child, IID_IContextMenu, nullptr, reinterpret_cast<void**>(&menu))) &&
      SUCCEEDED(menu->QueryContextMenu(popup, 0, 1, 0x7FFF, CMF_NORMAL))) {
    if (set_status_) set_status_(u"{PUSH}");
    const int chosen =
        static_cast<int>(TrackPopupMenuEx(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, hwnd_, nullptr));
    if (set_status_) set_status_(u"{POP}");
    if (chosen > 0) {
      wchar_t verb[64] = {};
      if (FAILED(menu->GetCommandString(chosen - 1, GCS_VERBW, nullptr, reinterpret_cast<LPSTR>(verb), 63)))
        verb[0] = 0;
      CMINVOKECOMMANDINFOEX info{};
      info.cbSize = sizeof(info);
      info.fMask = CMIC_MASK_UNICODE;
      info.hwnd = hwnd_;
      info.lpVerb = MAKEINTRESOURCEA(chosen - 1);
      info.lpVerbW = MAKEINTRESOURCEW(chosen - 1);
      info.nShow = SW_SHOWNORMAL;
      if (SUCCEEDED(menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info))))
        AfterShellCommand(item, verb, path);
    }
  }
  if (menu) menu->Release();
  if (parent) parent->Release();
  DestroyMenu(popup);
  CoTaskMemFree(pidl);
}

bool FolderTree::AfterShellCommand(HTREEITEM item, const wchar_t* verb, const std::wstring& path) {
  // The item goes only when the folder is really gone: the user may have said no.
  if (lstrcmpiW(verb, L"delete") != 0 || GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  TreeView_DeleteItem(tree_, item);
  SendMessageW(owner_, kMsgTreeItemRemoved, 0, 0);
  return true;
}

void FolderTree::SendPath(HTREEITEM item) {
  if (!db_ || !item) return;
  const std::wstring path = W(TreeFolderPath(*db_, Record(item)));
  SendMessageW(owner_, kMsgTreeFolder, 0, reinterpret_cast<LPARAM>(path.c_str()));
}

bool FolderTree::OnNotify(NMHDR* nm, LRESULT* result) {
  if (nm->hwndFrom != tree_) return false;
  switch (nm->code) {
    case TVN_ITEMEXPANDINGW: {
      auto* tv = reinterpret_cast<NMTREEVIEWW*>(nm);
      if ((tv->action & TVE_EXPAND) && !TreeView_GetChild(tree_, tv->itemNew.hItem)) {
        InsertChildren(tv->itemNew.hItem, static_cast<uint32_t>(tv->itemNew.lParam));
      }
      *result = FALSE;
      return true;
    }
    case TVN_GETDISPINFOW: {
      auto* di = reinterpret_cast<NMTVDISPINFOW*>(nm);
      if (di->item.mask & TVIF_CHILDREN)
        di->item.cChildren = index_.HasChildren(static_cast<uint32_t>(di->item.lParam)) ? 1 : 0;
      *result = 0;
      return true;
    }
    case TVN_SELCHANGEDW: {
      auto* tv = reinterpret_cast<NMTREEVIEWW*>(nm);
      if (!suppress_ && tv->itemNew.hItem) SendPath(tv->itemNew.hItem);
      *result = 0;
      return true;
    }
    case NM_RCLICK: {
      POINT pt;
      GetCursorPos(&pt);
      TVHITTESTINFO hit{};
      hit.pt = pt;
      ScreenToClient(tree_, &hit.pt);
      const HTREEITEM item = TreeView_HitTest(tree_, &hit);
      if (item && (hit.flags & TVHT_ONITEM)) ShowContextMenu(item, pt);
      *result = TRUE;
      return true;
    }
    case NM_CLICK: {
      // A click on the item that is already selected hands it over again.
      TVHITTESTINFO hit{};
      const DWORD pos = GetMessagePos();
      hit.pt = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
      ScreenToClient(tree_, &hit.pt);
      const HTREEITEM item = TreeView_HitTest(tree_, &hit);
      if (item && (hit.flags & TVHT_ONITEM) && item == TreeView_GetSelection(tree_)) SendPath(item);
      *result = 0;
      return true;
    }
  }
  return false;
}

LRESULT FolderTree::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE: Layout(); return 0;
    case WM_SHOWWINDOW:
      if (wp) LoadIcons();
      break;
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (OnNotify(reinterpret_cast<NMHDR*>(lp), &result)) return result;
      break;
    }
    case WM_COMMAND:
      if (LOWORD(wp) == kCloseId && on_close_) on_close_();
      return 0;
    case WM_CONTEXTMENU:
      // From the keyboard (Shift+F10, the menu key): the selected item, at the item.
      if (reinterpret_cast<HWND>(wp) == tree_ && lp == -1) {
        const HTREEITEM item = TreeView_GetSelection(tree_);
        RECT rc;
        if (item && TreeView_GetItemRect(tree_, item, &rc, TRUE)) {
          POINT pt = {rc.left, rc.bottom};
          ClientToScreen(tree_, &pt);
          ShowContextMenu(item, pt);
        }
        return 0;
      }
      break;
    case WM_SETCURSOR: {
      POINT pt;
      GetCursorPos(&pt);
      ScreenToClient(hwnd_, &pt);
      RECT rc;
      GetClientRect(hwnd_, &rc);
      if (reinterpret_cast<HWND>(wp) == hwnd_ && pt.x >= rc.right - kSplitter) {
        SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
        return TRUE;
      }
      break;
    }
    case WM_LBUTTONDOWN: {
      RECT rc;
      GetClientRect(hwnd_, &rc);
      if (static_cast<short>(LOWORD(lp)) >= rc.right - kSplitter) {
        dragging_ = true;
        SetCapture(hwnd_);
      }
      return 0;
    }
    case WM_MOUSEMOVE:
      if (dragging_) {
        RECT owner;
        GetClientRect(owner_, &owner);
        set_width(std::min<int>(static_cast<short>(LOWORD(lp)) + kSplitter / 2, owner.right - kMinWidth));
        if (on_resize_) on_resize_();
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (dragging_) {
        dragging_ = false;
        if (msg == WM_LBUTTONUP) ReleaseCapture();
      }
      return 0;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace nusk
