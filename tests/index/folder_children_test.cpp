// The folder tree's child-folder index over a real loaded index.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "index/folder_children.h"
#include "tests/search/test_index.h"

namespace nusk {
namespace {

using testing::TestIndex;

std::set<std::u16string> Paths(const std::vector<FolderTreeEntry>& rows) {
  std::set<std::u16string> out;
  for (const FolderTreeEntry& e : rows) out.insert(e.path);
  return out;
}

TEST(FolderChildren, ListsChildFoldersOnlyInIndexOrder) {
  TestIndex t;
  t.File(u"C:\\work\\notes.txt");
  t.Folder(u"C:\\work\\src\\lib");
  t.Folder(u"C:\\work\\empty");
  t.Folder(u"C:\\work\\src\\old");
  t.File(u"C:\\top.txt");
  t.File(u"D:\\only a file.bin");
  t.Folder(u"C:\\work\\gone\\deeper");
  t.Build();
  NuskDb& db = t.db();
  db.SetHideState(t.Item(u"C:\\work\\gone"), false);
  FolderChildren index;
  index.Build(db);

  const std::vector<FolderTreeEntry> roots = ExpandFolder(db, index, kNoItem);
  EXPECT_EQ(Paths(roots), (std::set<std::u16string>{u"C:\\", u"D:\\"}));
  for (const FolderTreeEntry& e : roots) {
    EXPECT_EQ(e.text + u"\\", e.path);                              // no labels in this index
    EXPECT_EQ(e.has_children, e.path == u"C:\\") << e.path.size();  // D: holds only a file
  }
  const std::vector<FolderTreeEntry> work = ExpandFolder(db, index, t.Item(u"C:\\work"));
  // Files and the hidden folder (with what is below it) are not listed.
  EXPECT_EQ(Paths(work), (std::set<std::u16string>{u"C:\\work\\src", u"C:\\work\\empty"}));
  std::vector<uint32_t> items;
  for (const FolderTreeEntry& e : work) {
    items.push_back(e.item);
    EXPECT_EQ(e.has_children, e.text == u"src") << e.path.size();
  }
  EXPECT_TRUE(std::is_sorted(items.begin(), items.end()));
  EXPECT_EQ(index.Children(t.Item(u"C:\\work\\src")).size(), 2u);
  EXPECT_FALSE(index.HasChildren(t.Item(u"C:\\work\\empty")));
  EXPECT_TRUE(index.Children(db.folder_count() + 5).empty());

  index.Clear();
  EXPECT_FALSE(index.HasChildren(kNoItem));
  EXPECT_TRUE(ExpandFolder(db, index, kNoItem).empty());
}

TEST(FolderChildren, ChainFromTheDriveRootDown) {
  TestIndex t;
  t.Folder(u"C:\\a\\b\\c");
  t.File(u"C:\\a\\b\\c\\f.txt");
  t.Build();
  const std::vector<uint32_t> chain = FolderChain(t.db(), t.Item(u"C:\\a\\b\\c"));
  std::vector<std::u16string> paths;
  for (uint32_t i : chain) paths.push_back(t.Path(i));
  EXPECT_EQ(paths, (std::vector<std::u16string>{u"C:", u"C:\\a", u"C:\\a\\b", u"C:\\a\\b\\c"}));
  EXPECT_TRUE(FolderChain(t.db(), kNoItem).empty());
  EXPECT_TRUE(FolderChain(t.db(), t.Item(u"C:\\a\\b\\c\\f.txt")).empty());  // a file is no folder
}

}  // namespace
}  // namespace nusk
