// The child-folder index of the folder tree: for every folder of a loaded index, the folders
// directly inside it, and the drive roots, in index order. Built in one sweep over the
// folders' parent numbers into two arrays (first child, next sibling), so asking whether a
// folder has child folders is one array read and listing them walks only them; nothing
// touches the disk. Items hidden or removed from the results are left out.
//
// One thread at a time; the index must stay loaded (and unchanged) while entries are built.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "index/nusk_db.h"

namespace nusk {

class FolderChildren {
 public:
  // Replaces the index with the folders of db (empty when db holds none).
  void Build(const NuskDb& db);
  void Clear();

  // True when the folder has child folders. kNoItem asks for the drive roots.
  bool HasChildren(uint32_t folder) const;
  // The child folders in index order; kNoItem gives the drive roots.
  std::vector<uint32_t> Children(uint32_t folder) const;
  uint32_t folder_count() const { return static_cast<uint32_t>(first_child_.size()); }

 private:
  std::vector<uint32_t> first_child_;   // per folder: its first child folder, or kNoItem
  std::vector<uint32_t> next_sibling_;  // per folder: the next folder of the same parent
  uint32_t first_root_ = kNoItem;
};

// One row of an expanded folder: what the tree shows and keeps for a child folder.
struct FolderTreeEntry {
  uint32_t item = kNoItem;
  std::u16string text;  // the folder's name; for a drive root "C:" or "Label (C:)"
  std::u16string path;  // full path; a drive root ends with a backslash ("C:\")
  bool has_children = false;
};

// The path the tree hands over for a folder: its full path, a drive root with a trailing
// backslash ("C:\"), and a single backslash for kNoItem (the tree's root).
std::u16string TreeFolderPath(NuskDb& db, uint32_t folder);

// The rows of a folder's child folders (kNoItem: the drive roots), in index order.
std::vector<FolderTreeEntry> ExpandFolder(NuskDb& db, const FolderChildren& index, uint32_t folder);

// The item numbers from the drive root down to the folder itself (empty for kNoItem or an
// item number outside the index): the chain the tree follows to show a folder.
std::vector<uint32_t> FolderChain(const NuskDb& db, uint32_t folder);

}  // namespace nusk
