// Helpers shared by the index tests: records, a status sink that keeps its lines and
// small file surgery.
#pragma once
#include <string>
#include <vector>

#include "index/db_files.h"
#include "index/nusk_db.h"
#include "index/nusk_db_writer.h"
#include "index/scan_record.h"
#include "platform/env.h"
#include "util/utf.h"

namespace nusk::testing {

inline ScanRecord Rec(uint64_t ref, uint64_t parent, std::u16string name, bool folder, uint32_t time = 0,
                      uint32_t size = 0) {
  ScanRecord r;
  r.reference = ref;
  r.parent_reference = parent;
  r.name = std::move(name);
  r.is_folder = folder;
  r.time = time;
  r.size = size;
  return r;
}

// Reference of record number rec on drive C: (2), optionally on a mounted volume.
inline uint64_t C(uint32_t rec, uint8_t mount = 0) { return MakeRef(rec, 2, mount); }
inline uint64_t D(uint32_t rec) { return MakeRef(rec, 3); }

class RecordingSink : public IStatusSink {
 public:
  void Progress(std::string_view t) override { progress.emplace_back(t); }
  void Problem(std::string_view t) override { problems.emplace_back(t); }
  std::vector<std::string> progress, problems;
};

inline std::string ReadFile(const std::u16string& path) {
  std::string b;
  Env::Default()->ReadWholeFile(path, &b);
  return b;
}

inline void WriteFile(const std::u16string& path, std::string_view bytes) {
  Env::Default()->WriteWholeFile(path, bytes, false);
}

// Writes a writer's records as a fresh index in home.
inline Status WriteIndex(const std::u16string& home, const std::vector<ScanRecord>& records,
                         Env* env = Env::Default(), bool all_drives = false) {
  NuskDbWriter w;
  Status s = LoadIndexForWrite(&w, home, env);
  if (!s.ok()) return s;
  for (const ScanRecord& r : records)
    if (!w.AddRecord(r)) return Status::Error("AddRecord refused " + ToUtf8(r.name));
  return CommitIndex(&w, {all_drives});
}

// Item index of an exact-case path ("C:\\Users\\x.txt"), or kNoItem.
inline uint32_t FindItem(NuskDb* db, std::string_view path) {
  for (uint32_t i = 0; i < db->item_count(); ++i)
    if (ToUtf8(db->BuildPath(i, false)) == path) return i;
  return kNoItem;
}

// Every shown path of a loaded search form, sorted (order-free comparisons).
inline std::vector<std::string> AllPaths(NuskDb* db) {
  std::vector<std::string> out;
  for (uint32_t i = 0; i < db->item_count(); ++i) out.push_back(ToUtf8(db->BuildPath(i, true)));
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace nusk::testing
