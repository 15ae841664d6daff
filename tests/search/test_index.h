// A small index built through the real writer and loader, for the search suites:
// add items by path ("C:\a\b.txt"), Build() commits them to a scratch home folder and
// loads the search form. Missing parent folders are created on the way.
#pragma once
#include <cstdint>
#include <map>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "index/db_files.h"
#include "index/nusk_db.h"
#include "index/nusk_db_writer.h"
#include "index/search_snapshot.h"
#include "search/hash_info.h"
#include "search/search_view.h"
#include "tests/testing/test_env.h"
#include "util/casemap.h"
#include "util/utf.h"

namespace nusk::testing {

class TestIndex {
 public:
  TestIndex() = default;

  // Folders and files by index path; returns the item's reference.
  uint64_t Folder(std::u16string_view path, uint32_t time = 0) { return Add(path, true, 0, time); }
  uint64_t File(std::u16string_view path, uint64_t bytes = 0, uint32_t time = 0) {
    return Add(path, false, bytes, time);
  }

  // An item below parent_ref (0: a drive root) without the path bookkeeping, so siblings
  // may share a name; returns its reference.
  uint64_t Child(uint64_t parent_ref, std::u16string name, bool folder, uint64_t bytes = 0, uint32_t time = 0,
                 uint8_t drive = 2) {
    ScanRecord r;
    r.reference = MakeRef(++next_record_, drive);
    r.parent_reference = parent_ref;
    r.is_folder = folder;
    r.size = folder ? 0 : SizeFormFromBytes(bytes);
    r.time = time;
    r.name = std::move(name);
    records_.push_back(r);
    return r.reference;
  }

  // Commits and loads; may be called once. all_drives: commit as a build of every drive
  // (the header's last full build time becomes now).
  void Build(bool all_drives = false) {
    NuskDbWriter writer;
    Status s = LoadIndexForWrite(&writer, dir_.path(), Env::Default());
    if (!s.ok()) throw std::runtime_error(s.message());
    for (const ScanRecord& r : records_) writer.AddRecord(r);
    CommitOptions options;
    options.all_drives = all_drives;
    s = CommitIndex(&writer, options);
    if (!s.ok()) throw std::runtime_error(s.message());
    s = LoadNuskDb(&db_, dir_.path(), Env::Default());
    if (!s.ok()) throw std::runtime_error(s.message());
    view_ = std::make_unique<SearchView>(&db_, hashes_.size() ? &hashes_ : nullptr);
  }

  // Saves the hidden states and loads the index again (after Build), from its search
  // snapshot (taken as `reads` says) or, with from_snapshot false, by decoding the files
  // (the snapshot is removed first; the load writes it again). Item indexes stay as they were.
  // between: runs while the index is released (Windows keeps a mapped snapshot from
  // being written).
  void Reload(bool from_snapshot, SnapshotReads reads = SnapshotReads::kMapped,
              const std::function<void()>& between = {}) {
    Status s = SaveHiddenList(&db_);
    view_.reset();
    UnloadNuskDb(&db_);
    if (between) between();
    if (s.ok() && !from_snapshot) s = RemoveSearchSnapshot(dir_.path(), Env::Default());
    if (s.ok()) s = LoadNuskDb(&db_, dir_.path(), Env::Default(), nullptr, reads);
    if (!s.ok()) throw std::runtime_error(s.message());
    if (db_.from_snapshot() != from_snapshot) throw std::runtime_error("the load did not take the asked way");
    view_ = std::make_unique<SearchView>(&db_, hashes_.size() ? &hashes_ : nullptr);
  }

  // Loads hash records into the view (after Build).
  void SetHashes(const std::vector<HashRecord>& records) {
    hashes_.Assign(db_, records);
    view_ = std::make_unique<SearchView>(&db_, &hashes_);
  }

  // The record the hashing tool writes for the file at path (after Build): its
  // reference, size and path check, with digest byte 3 set to digest_byte.
  HashRecord RecordFor(std::u16string_view path, uint8_t digest_byte) {
    const uint32_t item = Item(path);
    if (item == kNoItem) throw std::runtime_error("no item " + ToUtf8(path));
    HashRecord r;
    r.reference = db_.Reference(item);
    r.size = db_.ItemSizeBytes(item);
    r.hashed = ItemChecks(db_)(item);
    r.digest[3] = digest_byte;
    return r;
  }

  NuskDb& db() { return db_; }
  const SearchView& view() const { return *view_; }
  const std::u16string& home() const { return dir_.path(); }
  TempDir& dir() { return dir_; }

  // Item index of a path (exact case as added), or kNoItem.
  uint32_t Item(std::u16string_view path) {
    for (uint32_t i = 0; i < db_.item_count(); ++i) {
      if (db_.BuildPath(i, false) == path) return i;
    }
    return kNoItem;
  }
  std::u16string Path(uint32_t item) { return std::u16string(db_.BuildPath(item, false)); }
  uint64_t Reference(std::u16string_view path) const { return refs_.at(ToLower(path)); }

 private:
  uint64_t Add(std::u16string_view path, bool folder, uint64_t bytes, uint32_t time) {
    const std::u16string key = ToLower(path);
    if (auto it = refs_.find(key); it != refs_.end()) return it->second;
    const size_t cut = path.rfind(u'\\');
    uint64_t parent = 0;
    std::u16string name(path);
    if (cut != std::u16string_view::npos) {
      parent = Add(path.substr(0, cut), true, 0, 0);
      name = std::u16string(path.substr(cut + 1));
    }
    const uint8_t drive = static_cast<uint8_t>(ToUpper(path.substr(0, 1))[0] - u'A');
    return refs_[key] = Child(parent, std::move(name), folder, bytes, time, drive);
  }

  TempDir dir_;
  std::vector<ScanRecord> records_;
  std::map<std::u16string, uint64_t> refs_;
  uint32_t next_record_ = 100;
  NuskDb db_;
  HashInfo hashes_;
  std::unique_ptr<SearchView> view_;
};

}  // namespace nusk::testing
