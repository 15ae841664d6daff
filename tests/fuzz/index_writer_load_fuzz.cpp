// Fuzz target: LoadIndexForWrite over arbitrary database files, then a commit, whose
// output must load again.
#include <cstdlib>

#include "index/nusk_db.h"
#include "index/nusk_db_writer.h"
#include "tests/fuzz/index_fuzz_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nusk::fuzz::MemoryEnv env;
  nusk::fuzz::Unpack(data, size, &env);
  nusk::NuskDbWriter w;
  if (!nusk::LoadIndexForWrite(&w, u"/db/", &env).ok()) return 0;
  nusk::ScanRecord r;
  r.reference = nusk::MakeRef(77, 2);
  r.name = u"Fuzz.txt";
  w.AddRecord(r);
  w.ForgetVolume(u'D', 0);
  if (!nusk::CommitIndex(&w).ok()) std::abort();
  nusk::NuskDb db;
  if (!nusk::LoadNuskDb(&db, u"/db/", &env).ok()) std::abort();  // a written index always loads
  return 0;
}
