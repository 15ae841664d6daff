#include "search/folder_scope.h"

namespace nusk {

FolderScope ResolveFolderScope(const SearchView& view, std::u16string_view folder) {
  FolderScope scope;
  if (folder.size() < 2 || folder[1] != u':') return scope;
  const uint32_t item = view.db().FindFolderByPath(folder);
  if (item == kNoItem) return scope;
  const uint32_t root = view.db().RootOf(item);
  scope.folder = item;
  scope.whole_drive = root == item;
  scope.drive = view.drives()[root];
  return scope;
}

}  // namespace nusk
