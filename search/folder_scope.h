// The folder scope of a query: the one folder token, resolved to an item of the index.
#pragma once
#include <cstdint>
#include <string_view>

#include "search/search_view.h"

namespace nusk {

struct FolderScope {
  uint32_t folder = kNoItem;  // kNoItem: unresolved (or no scope)
  bool whole_drive = false;   // the folder is a drive root: every item of the drive
  uint8_t drive = 0xFF;

  bool resolved() const { return folder != kNoItem; }
  // True when the item lies in the scope: same drive, and (unless whole drive) below
  // the folder; the folder itself is not in its own scope.
  bool Contains(const SearchView& view, uint32_t item) const {
    if (view.drives()[item] != drive) return false;
    return whole_drive || view.IsBelow(item, folder);
  }
};

// Resolves an absolute folder text ("c:", "c:\windows"); anything else stays unresolved.
FolderScope ResolveFolderScope(const SearchView& view, std::u16string_view folder);

}  // namespace nusk
