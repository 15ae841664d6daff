// Fuzz target: LoadNuskDb over arbitrary database files, then every read operation on
// whatever loads.
#include "index/nusk_db.h"
#include "tests/fuzz/index_fuzz_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nusk::fuzz::MemoryEnv env;
  nusk::fuzz::Unpack(data, size, &env);
  nusk::NuskDb db;
  if (!nusk::LoadNuskDb(&db, u"/db/", &env).ok()) return 0;
  for (uint32_t i = 0; i < db.item_count(); ++i) {
    db.BuildPath(i, true);
    db.BuildLowerPath(i);
    db.ItemName(i);
    db.RootOf(i);
    db.Extension(i);
    db.AncestorChain(i);
    if (i > 0) db.CompareByAncestors(i - 1, i);
  }
  db.ComputeFolderSizes();
  db.ComputeFolderFileCounts();
  db.DriveListText();
  db.ChildLists(db.folder_count());
  db.FindFolderByPath(u"c:\\users\\x");
  if (db.item_count()) db.SetHideState(0, false);
  nusk::SaveHiddenList(&db);
  return 0;
}
