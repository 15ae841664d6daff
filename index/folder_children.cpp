#include "index/folder_children.h"

#include <algorithm>

namespace nusk {

void FolderChildren::Build(const NuskDb& db) {
  const uint32_t folders = db.loaded() ? db.folder_count() : 0;
  first_child_.assign(folders, kNoItem);
  next_sibling_.assign(folders, kNoItem);
  first_root_ = kNoItem;
  // Walking the folders from the last to the first and putting each in front of its
  // parent's list leaves every list in index order.
  for (uint32_t f = folders; f-- > 0;) {
    if (db.GetHideState(f) != HideState::kShown) continue;
    const uint32_t p = db.Parent(f);
    if (p == kNoItem) {
      next_sibling_[f] = first_root_;
      first_root_ = f;
    } else if (p < folders && p != f) {
      next_sibling_[f] = first_child_[p];
      first_child_[p] = f;
    }
  }
}

void FolderChildren::Clear() {
  first_child_.clear();
  next_sibling_.clear();
  first_root_ = kNoItem;
}

bool FolderChildren::HasChildren(uint32_t folder) const {
  if (folder == kNoItem) return first_root_ != kNoItem;
  return folder < first_child_.size() && first_child_[folder] != kNoItem;
}

std::vector<uint32_t> FolderChildren::Children(uint32_t folder) const {
  std::vector<uint32_t> out;
  uint32_t c = folder == kNoItem ? first_root_ : folder < first_child_.size() ? first_child_[folder] : kNoItem;
  for (; c != kNoItem; c = next_sibling_[c]) out.push_back(c);
  return out;
}

std::u16string TreeFolderPath(NuskDb& db, uint32_t folder) {
  if (folder == kNoItem || folder >= db.folder_count()) return u"\\";
  std::u16string path(db.BuildPath(folder, false));
  if (path.size() == 2 && path[1] == u':') path += u'\\';
  return path;
}

std::vector<FolderTreeEntry> ExpandFolder(NuskDb& db, const FolderChildren& index, uint32_t folder) {
  std::vector<FolderTreeEntry> rows;
  for (uint32_t c : index.Children(folder)) {
    FolderTreeEntry e;
    e.item = c;
    e.path = TreeFolderPath(db, c);
    e.has_children = index.HasChildren(c);
    if (e.path.size() == 3 && e.path[1] == u':') {
      // A drive root, shown as "C:", or with its volume label as "Label (C:)".
      const std::u16string drive = e.path.substr(0, 2);
      const std::u16string& label = db.DriveLabel(drive[0]);
      e.text = label.empty() ? drive : label + u" (" + drive + u")";
    } else {
      e.text = db.ItemName(c);
    }
    rows.push_back(std::move(e));
  }
  return rows;
}

std::vector<uint32_t> FolderChain(const NuskDb& db, uint32_t folder) {
  std::vector<uint32_t> chain;
  if (!db.loaded() || folder >= db.folder_count()) return chain;
  // A parent chain longer than the number of folders would be a cycle: stop there.
  for (uint32_t i = folder; i != kNoItem && chain.size() <= db.folder_count(); i = db.Parent(i)) chain.push_back(i);
  std::reverse(chain.begin(), chain.end());
  return chain;
}

}  // namespace nusk
