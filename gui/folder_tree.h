// The folder tree pane at the left of the main window: a title ("Folders") with a close
// button, a tree view of the folders of the loaded index, and a splitter on its right edge.
// The tree is filled lazily: a folder's children are inserted when it is first expanded, from
// the child-folder index (index/folder_children.h), without touching the disk. Selecting a
// folder (or clicking the selected one again) hands its path to the main window as message
// 20441 (wParam 0, lParam the path, valid during the call); the root hands over "\".
#pragma once
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "index/folder_children.h"

namespace nusk {

inline constexpr UINT kMsgTreeFolder = 20441;
inline constexpr UINT kMsgTreeItemRemoved = 20458;  // a folder was deleted through the shell menu
inline constexpr wchar_t kFolderTreeClass[] = L"Nusk_Folder_Tree";

class FolderTree {
 public:
  FolderTree() = default;
  ~FolderTree();
  FolderTree(const FolderTree&) = delete;
  FolderTree& operator=(const FolderTree&) = delete;

  // Creates the (hidden) pane as a child of `owner`, which receives kMsgTreeFolder.
  // on_close runs when the title's close button is pressed; on_resize when the splitter moved.
  bool Create(HWND owner, std::function<void()> on_close, std::function<void()> on_resize);
  // Sets the owner's status text ("{PUSH}" and "{POP}" save and restore it).
  void set_status_hook(std::function<void(std::u16string_view)> hook) { set_status_ = std::move(hook); }
  HWND hwnd() const { return hwnd_; }
  HWND tree() const { return tree_; }
  int width() const { return width_; }
  void set_width(int w);

  // Clears the tree, inserts the root "NUSK", builds the child-folder index of db and
  // expands the root (the drive roots). db must stay loaded until Clear or the next Fill.
  void Fill(NuskDb* db);
  // Empties the tree and forgets the index (before the index is rebuilt or unloaded).
  void Clear();

  // Expands the levels of the chain (record numbers from a drive root down) as far as the
  // tree has them and, when the whole chain was found, selects the last one (which hands
  // its path over) and scrolls it into view. False when a level was missing: nothing is
  // selected then.
  bool Locate(const std::vector<uint32_t>& chain);

  // The tree item carrying a record number among the children of `parent` (expanding it
  // first); null when absent. TVI_ROOT's child is the root item.
  HTREEITEM ChildWithRecord(HTREEITEM parent, uint32_t record);
  HTREEITEM root() const { return root_; }

  // After the shell menu ran `verb` on the item's folder (path): the "delete" verb with the
  // folder gone removes the item and tells the owner (kMsgTreeItemRemoved). True when removed.
  bool AfterShellCommand(HTREEITEM item, const wchar_t* verb, const std::wstring& path);

  // For ObjectWindowProc (gui/window_thunk.h).
  void AttachWindow(HWND hwnd) { hwnd_ = hwnd; }
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);

 private:
  bool OnNotify(NMHDR* nm, LRESULT* result);
  void Layout();
  // The folder icons come from the shell, whose first use costs a few hundred milliseconds
  // under Wine (it fills its system image list): fetched when the pane is first shown.
  void LoadIcons();
  void InsertChildren(HTREEITEM parent, uint32_t folder);
  void SendPath(HTREEITEM item);
  // The shell's context menu for the item's folder at a screen point.
  void ShowContextMenu(HTREEITEM item, POINT at);
  uint32_t Record(HTREEITEM item) const;

  HWND hwnd_ = nullptr, owner_ = nullptr, tree_ = nullptr, title_ = nullptr, close_ = nullptr;
  HIMAGELIST images_ = nullptr;
  HFONT font_ = nullptr;
  HTREEITEM root_ = nullptr;
  NuskDb* db_ = nullptr;
  FolderChildren index_;
  int width_ = 220;
  bool suppress_ = false;  // a programmatic selection is no user's navigation
  bool dragging_ = false;  // the splitter is being dragged
  std::function<void()> on_close_, on_resize_;
  std::function<void(std::u16string_view)> set_status_;
};

}  // namespace nusk
