// Fuzz target: "nusk.hash" as the search side reads it. The input is the file after its
// 27,648-byte header (the count and the records), or, with a first byte of 0xFF, the
// whole file. Whatever decodes is matched against a small index: every value must stay
// within its rules (0, a record position, R + item, or 0xF0000000 + group) and every
// duplicate count must be 0 or at least 2.
#include <cstdlib>
#include <memory>

#include "index/nusk_db.h"
#include "index/nusk_db_writer.h"
#include "search/hash_file.h"
#include "search/hash_info.h"
#include "tests/fuzz/index_fuzz_env.h"

namespace {

// C:\d\{a, b, c} and C:\e\a, all of size 4, with small references a fuzzer finds easily.
const nusk::NuskDb& Index() {
  static nusk::fuzz::MemoryEnv env;
  static std::unique_ptr<nusk::NuskDb> db = [] {
    nusk::NuskDbWriter w;
    if (!nusk::LoadIndexForWrite(&w, u"/db/", &env).ok()) std::abort();
    const auto add = [&w](uint32_t rec, uint32_t parent, const char16_t* name, bool folder) {
      nusk::ScanRecord r;
      r.reference = nusk::MakeRef(rec, 2);
      r.parent_reference = parent ? nusk::MakeRef(parent, 2) : 0;
      r.name = name;
      r.is_folder = folder;
      r.size = folder ? 0 : 4;
      w.AddRecord(r);
    };
    add(1, 0, u"C:", true);
    add(2, 1, u"d", true);
    add(3, 1, u"e", true);
    add(4, 2, u"a", false);
    add(5, 2, u"b", false);
    add(6, 2, u"c", false);
    add(7, 3, u"a", false);
    if (!nusk::CommitIndex(&w).ok()) std::abort();
    auto loaded = std::make_unique<nusk::NuskDb>();
    if (!nusk::LoadNuskDb(loaded.get(), u"/db/", &env).ok()) std::abort();
    return loaded;
  }();
  return *db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string bytes;
  if (size > 0 && data[0] == 0xFF) {
    bytes.assign(input.substr(1));
  } else {
    bytes.assign(nusk::kHashHeaderSize, '\0');
    bytes.append(input);
  }
  std::vector<nusk::HashRecord> records;
  if (!nusk::DecodeHashFile(bytes, &records).ok()) {
    if (!records.empty()) std::abort();  // a refused file yields nothing
    return 0;
  }
  const nusk::NuskDb& db = Index();
  nusk::HashInfo info;
  info.Assign(db, records);
  const uint32_t r = static_cast<uint32_t>(records.size());
  const nusk::HashMatchStats& m = info.match();
  if (uint64_t{m.matched} + m.moved + m.stale > r) std::abort();
  for (uint32_t i = 0; i < db.item_count(); ++i) {
    const uint32_t v = info.value(i);
    const uint16_t c = info.count(i);
    if (c == 1) std::abort();
    if (db.IsFolder(i) && v != 0) std::abort();  // records never attach to folders
    if (c >= 2 && v < 0xF0000000u) std::abort();
    if (v != 0 && v < 0xF0000000u && v >= r && v != r + i) std::abort();
  }
  return 0;
}
