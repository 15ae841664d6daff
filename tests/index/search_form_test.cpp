// The search form over a small written index: paths, lookups, derived tables, states.
#include <gtest/gtest.h>

#include "tests/index/index_test_util.h"
#include "tests/testing/test_env.h"

namespace nusk::testing {
namespace {

class SearchFormTest : public ::testing::Test {
 protected:
  void Load(const std::vector<ScanRecord>& recs) {
    ASSERT_TRUE(WriteIndex(dir.path(), recs).ok());
    ASSERT_TRUE(LoadNuskDb(&db, dir.path(), Env::Default()).ok());
  }
  uint32_t Item(std::string_view path) {
    const uint32_t i = FindItem(&db, path);
    if (i == kNoItem) ADD_FAILURE() << "no item " << path;
    return i;
  }
  // C:\Users\Bob\{Docs\{a.TXT, b.txt}, photo.JPG}, C:\Temp\x, D:\top.bin (3 GiB)
  void LoadTree() {
    Load({Rec(C(5), 0, u"C:", true), Rec(C(10), C(5), u"Users", true), Rec(C(11), C(10), u"Bob", true),
          Rec(C(12), C(11), u"Docs", true), Rec(C(20), C(12), u"a.TXT", false, 1, 100),
          Rec(C(21), C(12), u"b.txt", false, 1, 20), Rec(C(22), C(11), u"photo.JPG", false, 1, 3),
          Rec(C(13), C(5), u"Temp", true), Rec(C(23), C(13), u"x", false, 1, 0), Rec(D(5), 0, u"d:", true),
          Rec(D(20), D(5), u"top.bin", false, 1, SizeFormFromBytes(3ull << 30))});
  }
  TempDir dir;
  NuskDb db;
};

TEST_F(SearchFormTest, PathsInExactAndStoredCase) {
  LoadTree();
  uint32_t a = Item("C:\\Users\\Bob\\Docs\\a.TXT");
  EXPECT_EQ(db.BuildLowerPath(a), u"c:\\users\\bob\\docs\\a.txt");
  uint32_t docs = Item("C:\\Users\\Bob\\Docs");
  EXPECT_EQ(db.BuildPath(docs, true), u"C:\\Users\\Bob\\Docs\\");
  EXPECT_EQ(db.BuildLowerPath(docs), u"c:\\users\\bob\\docs\\");
  uint32_t root = Item("C:");
  EXPECT_EQ(db.BuildPath(root, true), u"C:\\");
  EXPECT_EQ(db.ItemName(Item("d:")), u"d:");  // stored as typed: no case to restore
  EXPECT_EQ(db.ItemName(a), u"a.TXT");
}

// Paths are whole at any depth and length: long names, and a thousand nested folders.
TEST_F(SearchFormTest, DeepAndLongPathsAreWhole) {
  std::vector<ScanRecord> recs = {Rec(C(5), 0, u"C:", true)};
  uint64_t parent = C(5);
  std::u16string expected = u"C:";
  for (uint32_t level = 0; level < 4; ++level) {  // four folders of 200 characters
    recs.push_back(Rec(C(10 + level), parent, std::u16string(200, u'a' + level), true));
    parent = C(10 + level);
    expected += u"\\" + std::u16string(200, u'a' + level);
  }
  recs.push_back(Rec(C(50), parent, u"leaf.txt", false));
  std::u16string deep = u"C:", level300;
  parent = C(5);
  for (uint32_t level = 0; level < 1000; ++level) {
    recs.push_back(Rec(C(100 + level), parent, level % 2 ? u"D" : u"e", true));
    parent = C(100 + level);
    deep += level % 2 ? u"\\D" : u"\\e";
    if (level == 299) level300 = deep;
  }
  recs.push_back(Rec(C(2000), parent, u"bottom", false));
  Load(recs);
  EXPECT_EQ(db.BuildPath(Item(ToUtf8(expected + u"\\leaf.txt")), false), expected + u"\\leaf.txt");
  const uint32_t bottom = Item(ToUtf8(deep + u"\\bottom"));
  ASSERT_NE(bottom, kNoItem);
  EXPECT_EQ(db.BuildPath(bottom, false), deep + u"\\bottom");
  EXPECT_EQ(db.BuildLowerPath(bottom), ToLower(deep) + u"\\bottom");
  EXPECT_EQ(db.BuildPath(db.Parent(bottom), true), deep + u"\\");
  EXPECT_EQ(db.BuildPath(Item("C:"), true), u"C:\\");  // a short path after the buffer grew

  const uint32_t folder300 = db.FindFolderByPath(level300);
  ASSERT_NE(folder300, kNoItem);
  EXPECT_EQ(db.BuildPath(folder300, false), level300);
  EXPECT_EQ(db.AncestorChain(bottom).size(), 1002u);
  EXPECT_EQ(db.AncestorChain(bottom).front(), db.NameOf(Item("C:")));
}

// Siblings whose names hold characters below U+0020 sort, as keys, between a lower-case
// name and its capitalised spelling; the look-up must still find the folder.
TEST_F(SearchFormTest, FindFolderByPathWithControlCharacterSiblings) {
  Load({Rec(C(5), 0, u"C:", true), Rec(C(10), C(5), u"Docs", true), Rec(C(11), C(5), u"docs\x01x", true),
        Rec(C(12), C(5), u"docs\x1e", true), Rec(C(13), C(10), u"Sub", true), Rec(C(14), C(11), u"sub", true),
        Rec(D(5), 0, u"D:", true), Rec(D(10), D(5), u"docs", true)});
  EXPECT_EQ(db.FindFolderByPath(u"C:\\docs"), Item("C:\\Docs"));
  EXPECT_EQ(db.FindFolderByPath(u"C:\\Docs\\sub"), Item("C:\\Docs\\Sub"));
  EXPECT_EQ(db.FindFolderByPath(u"D:\\docs"), Item("D:\\docs"));
  EXPECT_EQ(db.FindFolderByPath(u"C:\\docs\x01x\\sub"), Item("C:\\docs\x01x\\sub"));
  EXPECT_EQ(db.FindFolderByPath(u"C:\\docs\x1e"), Item("C:\\docs\x1e"));
  EXPECT_EQ(db.FindFolderByPath(u"C:\\doc"), kNoItem);
}

TEST_F(SearchFormTest, FindFolderByPathIgnoresCaseAndEmptyParts) {
  LoadTree();
  uint32_t docs = Item("C:\\Users\\Bob\\Docs");
  EXPECT_EQ(db.FindFolderByPath(u"c:\\USERS\\bob\\docs"), docs);
  EXPECT_EQ(db.FindFolderByPath(u"C:\\\\Users\\Bob\\Docs\\"), docs);
  EXPECT_EQ(db.FindFolderByPath(u"C:"), Item("C:"));
  EXPECT_EQ(db.FindFolderByPath(u"C:\\Bob"), kNoItem);                    // not below C: directly
  EXPECT_EQ(db.FindFolderByPath(u"C:\\Users\\Bob\\photo.JPG"), kNoItem);  // a file
  EXPECT_EQ(db.FindFolderByPath(u"E:"), kNoItem);
}

TEST_F(SearchFormTest, RootsSizesCountsAndExtensions) {
  LoadTree();
  uint32_t a = Item("C:\\Users\\Bob\\Docs\\a.TXT");
  EXPECT_EQ(db.RootOf(a), Item("C:"));
  EXPECT_EQ(db.RootOf(Item("C:")), Item("C:"));
  EXPECT_EQ(db.Extension(a), u"txt");
  EXPECT_EQ(db.Extension(Item("C:\\Temp\\x")), u"");
  EXPECT_EQ(db.Extension(Item("C:\\Users")), u"");
  uint32_t users = Item("C:\\Users"), d = Item("d:");
  EXPECT_EQ(db.ItemSizeBytes(users), 0u);  // before the folder sizes exist
  db.ComputeFolderSizes();
  db.ComputeFolderFileCounts();
  EXPECT_EQ(db.ItemSizeBytes(users), 123u);
  EXPECT_EQ(db.ItemSizeBytes(Item("C:")), 123u);
  EXPECT_EQ(db.ItemSizeBytes(d), 3ull << 30);
  EXPECT_EQ(db.FolderFileCount(Item("C:")), 4);
  EXPECT_EQ(db.FolderFileCount(Item("C:\\Users\\Bob\\Docs")), 2);
  EXPECT_EQ(db.FolderFileCount(Item("C:\\Temp")), 1);
}

TEST_F(SearchFormTest, HidingARootHidesTheWholeDrive) {
  LoadTree();
  db.SetHideState(Item("C:\\Users\\Bob"), true);
  EXPECT_EQ(db.GetHideState(Item("C:\\Users\\Bob\\Docs\\b.txt")), HideState::kRemoved);
  EXPECT_EQ(db.GetHideState(Item("C:\\Users")), HideState::kShown);
  db.SetHideState(Item("C:"), false);
  for (uint32_t i = 0; i < db.item_count(); ++i)
    EXPECT_EQ(db.GetHideState(i) == HideState::kHidden, db.Drive(i) == 2) << ToUtf8(db.BuildPath(i, false));
}

TEST_F(SearchFormTest, AncestorChainsOrderItemsByPath) {
  LoadTree();
  uint32_t a = Item("C:\\Users\\Bob\\Docs\\a.TXT"), photo = Item("C:\\Users\\Bob\\photo.JPG"), x = Item("C:\\Temp\\x"),
           b = Item("C:\\Users\\Bob\\Docs\\b.txt");
  std::vector<uint32_t> chain = db.AncestorChain(a);
  ASSERT_EQ(chain.size(), 5u);
  EXPECT_EQ(db.NameText(chain[0]), u"c:");
  EXPECT_EQ(db.NameText(chain[3]), u"docs");
  EXPECT_EQ(db.NameText(chain[4]), u"a.txt");
  EXPECT_TRUE(db.AncestorChain(kNoItem).empty());
  EXPECT_EQ(db.CompareByAncestors(a, b), 0);      // same folder
  EXPECT_GT(db.CompareByAncestors(a, photo), 0);  // a deeper chain with a common prefix
  EXPECT_LT(db.CompareByAncestors(photo, a), 0);
  // C:\Temp vs C:\Users\Bob: decided by the name indexes of temp and users.
  EXPECT_LT(db.CompareByAncestors(x, photo), 0);
}

TEST_F(SearchFormTest, DriveListAndChildLists) {
  LoadTree();
  EXPECT_EQ(db.DriveListText(), u"Cd");
  db.SetHideState(Item("C:\\Temp"), false);
  auto lists = db.ChildLists(db.folder_count());
  ASSERT_TRUE(lists.count(kNoItem));
  EXPECT_EQ(lists[kNoItem], (std::vector<uint32_t>{Item("C:"), Item("d:")}));
  EXPECT_EQ(lists[Item("C:")], (std::vector<uint32_t>{Item("C:\\Users")}));  // Temp is hidden
  EXPECT_EQ(lists.count(Item("C:\\Users\\Bob\\Docs")), 0u);                  // files are not below n
}

TEST_F(SearchFormTest, UnloadEmptiesEverything) {
  LoadTree();
  db.ComputeFolderSizes();
  UnloadNuskDb(&db);
  EXPECT_FALSE(db.loaded());
  EXPECT_EQ(db.item_count(), 0u);
  EXPECT_EQ(db.name_count(), 0u);
  EXPECT_EQ(db.DriveListText(), u"");
  EXPECT_FALSE(SaveHiddenList(&db).ok());
}

}  // namespace
}  // namespace nusk::testing
