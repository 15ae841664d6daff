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
  ASSERT_TRUE(Env::Default()->WriteWholeFile(path, bytes, false).ok()) << ToUtf8(path);
}

// Writes a writer's records as a fresh index in home.
inline Status WriteIndex(const std::u16string& home, const std::vector<ScanRecord>& records, Env* env = Env::Default(),
                         bool all_drives = false) {
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

// Everything a load puts in the search form, one line per item (path, time, size form,
// drive, reference, hidden state) after the counts: two loads agree exactly when this does.
inline std::vector<std::string> DumpSearchForm(NuskDb* db) {
  std::vector<std::string> out;
  out.push_back(std::to_string(db->item_count()) + " items, " + std::to_string(db->folder_count()) + " folders, " +
                std::to_string(db->name_count()) + " names, built " + std::to_string(db->last_full_build()));
  for (uint32_t i = 0; i < db->item_count(); ++i)
    out.push_back(ToUtf8(db->BuildPath(i, true)) + " " + std::to_string(db->Time(i)) + " " +
                  std::to_string(db->SizeForm(i)) + " " + std::to_string(db->Drive(i)) + " " +
                  std::to_string(db->Reference(i)) + " " + std::to_string(static_cast<int>(db->GetHideState(i))));
  return out;
}

// The search form that decoding the database files of home gives: they are copied into a
// folder of their own and loaded there, so no snapshot can take part.
inline std::vector<std::string> DecodedSearchForm(const std::u16string& home) {
  const std::u16string copy = home + u"decoded" + std::u16string(1, Env::Default()->PathSeparator());
  Env::Default()->CreateFolder(copy);
  // With the companions of an interrupted commit, which the load resolves the same way.
  const std::u16string names[] = {kFrsName,        kNrsName,        kHidName,        u"nusk.frs.tmp", u"nusk.nrs.tmp",
                                  u"nusk.hid.tmp", u"nusk.frs.old", u"nusk.nrs.old", u"nusk.snap"};
  for (const std::u16string& name : names) {
    const std::u16string from = DbPath(home, name, Env::Default());
    if (name != u"nusk.snap" && Env::Default()->FileExists(from))
      WriteFile(DbPath(copy, name, Env::Default()), ReadFile(from));
  }
  NuskDb db;
  Status s = LoadNuskDb(&db, copy, Env::Default());
  std::vector<std::string> out = s.ok() ? DumpSearchForm(&db) : std::vector<std::string>{s.message()};
  for (const std::u16string& name : names) Env::Default()->RemoveFile(DbPath(copy, name, Env::Default()));
  Env::Default()->RemoveFolder(copy);
  return out;
}

}  // namespace nusk::testing
