// LoadNuskDb, UnloadNuskDb and SaveHiddenList: the database files and the search form.
#include "index/db_format.h"
#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "index/folder_chain.h"
#include "index/nusk_db.h"
#include "index/search_snapshot.h"
#include "util/utf.h"

static_assert(std::endian::native == std::endian::little,
              "the loader copies little-endian file fields straight into its tables");

namespace nusk {

namespace {
Status Damaged(const std::u16string& path, const std::string& fault) {
  return Status::Error(ToUtf8(path) + " is damaged: " + fault + ".");
}

// The three files, parsed in place (mapped where the system allows) and released once
// the search form holds their contents.
struct DbBytes {
  DbFileSet files;
  std::unique_ptr<FileView> frs_view, nrs_view, hid_view;
  std::string_view frs, nrs, hid;
};

// Reads the three files of one consistent state; a commit in another process that moves
// files between the reads is noticed and the reads are repeated.
Status ReadConsistent(const std::u16string& home, Env* env, DbBytes* out) {
  for (int attempt = 0;; ++attempt) {
    out->files = ResolveDbFiles(home, env);
    std::string fault;
    Status s = CheckDbSizes(out->files, true, env, &fault);
    if (s.ok() && fault.empty()) s = ViewOptional(env, out->files.frs, &out->frs_view, &out->frs);
    if (s.ok() && fault.empty()) s = ViewOptional(env, out->files.nrs, &out->nrs_view, &out->nrs);
    if (s.ok() && fault.empty()) s = ViewOptional(env, out->files.hid, &out->hid_view, &out->hid);
    bool same = ResolveDbFiles(home, env) == out->files;
    if (s.ok() && same && !fault.empty()) return Status::Error(fault);
    if (s.ok() && same) return s;
    if (attempt == 4) return s.ok() ? Status::Error("The index files kept changing while they were read.") : s;
  }
}
}  // namespace

// Fills the search form in one pass over each table of the files, checking every field
// as it is copied: names first (they give F, the folder item count, that the parent
// checks need), then the folder rows, the folder chains, and the file rows.
class NuskDbLoader {
 public:
  explicit NuskDbLoader(NuskDb* db) : db_(db) {}

  Status Load(const DbBytes& b) {
    dbformat::FrsView frs;
    std::string fault = dbformat::CheckFrs(b.frs, &frs);
    if (!fault.empty()) return Damaged(b.files.frs, fault);
    dbformat::NrsLayout names;
    fault = dbformat::CheckNrsRows(b.nrs, frs.n, &names);
    if (!fault.empty()) return Damaged(b.files.nrs, fault);
    if (names.text_units > 0xFFFFFFFFull) return Damaged(b.files.nrs, "the name texts are too large");
    std::vector<dbformat::HidEntry> hidden;
    fault = dbformat::CheckHid(b.hid, &hidden);
    if (!fault.empty()) return Damaged(b.files.hid, fault);

    db_->n_ = frs.n;
    if (frs.header) db_->last_full_build_ = dbformat::Get32(frs.header + 8);
    for (int d = 0; d < kDriveCount; ++d) db_->labels_[d] = std::move(frs.labels[d]);
    if (!AllocateTables(frs.n, names)) return Status::Error("Not enough memory to load the index.");
    if (!(fault = FillNames(names)).empty()) return Damaged(b.files.nrs, fault);
    const uint32_t f = db_->f_;
    if (!(fault = FillItems(frs, 0, f)).empty()) return Damaged(b.files.frs, fault);
    if (!(fault = ResolveFolderChains()).empty()) return Damaged(b.files.frs, fault);
    if (!(fault = FillItems(frs, f, frs.n)).empty()) return Damaged(b.files.frs, fault);
    if (db_->n_ != 0 && !b.hid.empty()) ApplyHidden(hidden);
    return Status::Ok();
  }

 private:
  // Folder chain verdicts, one byte per folder.
  enum : uint8_t { kReachesRoot = 0, kReachesOrphan = 1 };

  bool AllocateTables(uint32_t n, const dbformat::NrsLayout& names) {
    if (n == 0 && names.m == 0) return true;
    TableArena& t = db_->tables_;
    const size_t parent = t.Reserve(size_t{n} * 4), time = t.Reserve(size_t{n} * 4), size = t.Reserve(size_t{n} * 4),
                 name_of = t.Reserve(size_t{n} * 4), drive = t.Reserve(n), ref = t.Reserve(size_t{n} * 8),
                 rows = t.Reserve(size_t{names.m} * sizeof(NameRow)), text = t.Reserve(names.text_units * 2),
                 cases = t.Reserve(names.case_bytes);
    if (!t.Allocate()) return false;
    db_->parent_ = t.Table<uint32_t>(parent);
    db_->time_ = t.Table<uint32_t>(time);
    db_->size_ = t.Table<uint32_t>(size);
    db_->name_of_ = t.Table<uint32_t>(name_of);
    db_->drive_ = t.Table<uint8_t>(drive);
    db_->ref_ = t.Table<uint64_t>(ref);
    db_->rows_ = t.Table<NameRow>(rows);
    db_->text_ = t.Table<char16_t>(text);
    db_->case_ = t.Table<uint8_t>(cases);
    return true;
  }

  // Checks and copies every name: its row, its text (kind, name, NUL; the row points
  // just past the kind), its case positions (the low byte of each unit) and the name of
  // each of its items.
  std::string FillNames(const dbformat::NrsLayout& layout) {
    dbformat::NameReader reader(layout, db_->n_);
    dbformat::NameRaw raw;
    uint32_t text_pos = 0, case_pos = 0, k = 0;
    for (; reader.Next(&raw); ++k) {
      NameRow& row = db_->rows_[k];
      row.bits = raw.bits;
      row.first = raw.first;
      row.count = raw.count;
      row.wide = raw.wide;
      row.length = raw.length;
      row.case_count = raw.case_count;
      char16_t* t = db_->text_ + text_pos;
      const size_t units = size_t{raw.length} + 1;
      if (raw.wide) {
        std::memcpy(t, raw.text, units * 2);  // UTF-16LE on a little-endian host
      } else {
        // Widened 16 bytes at a time: a fixed-count inner loop the compiler vectorizes.
        const auto* src = reinterpret_cast<const uint8_t*>(raw.text);
        size_t u = 0;
        for (; u + 16 <= units; u += 16)
          for (size_t j = 0; j < 16; ++j) t[u + j] = src[u + j];
        for (; u < units; ++u) t[u] = src[u];
      }
      t[units] = 0;
      row.text_offset = text_pos + 1;
      text_pos += raw.length + 2u;
      row.case_offset = case_pos;
      const size_t step = raw.wide ? 2 : 1;
      for (size_t c = 0, at = (units + 1) * step; c < raw.case_count; ++c, at += step)
        db_->case_[case_pos++] = static_cast<uint8_t>(raw.text[at]);
      std::fill_n(db_->name_of_ + raw.first, raw.count, k);
    }
    if (!reader.fault().empty()) return reader.fault();
    db_->m_ = layout.m;
    db_->fm_ = reader.folder_names();
    db_->f_ = reader.FolderItems();
    return {};
  }

  // Copies rows [begin, end) into the item tables, checking that each parent is none or
  // a folder. File rows also learn here whether their folder lost its root.
  std::string FillItems(const dbformat::FrsView& frs, uint32_t begin, uint32_t end) {
    const uint32_t f = db_->f_;
    const bool files = begin >= f;
    const char* row = frs.rows + size_t{begin} * kFileRowSize;
    for (uint32_t i = begin; i < end; ++i, row += kFileRowSize) {
      uint64_t ref;
      uint32_t parent, time, size;
      std::memcpy(&ref, row, 8);  // little-endian fields on a little-endian host
      std::memcpy(&parent, row + 8, 4);
      std::memcpy(&time, row + 12, 4);
      std::memcpy(&size, row + 16, 4);
      db_->ref_[i] = ref;
      db_->drive_[i] = RefDrive(ref);
      db_->parent_[i] = parent;
      db_->time_[i] = time;
      db_->size_[i] = size;
      if (parent >= f) {
        if (parent != kNoItem) return dbformat::ParentFault(i, parent, db_->n_);
        if (files && !IsRootName(i)) Hide(i);
      } else if (files && chains_[parent] == kReachesOrphan) {
        Hide(i);
      }
    }
    return {};
  }

  // Walks every folder's chain once (a per-folder verdict ends later walks early): a
  // chain that comes back to a folder on the current walk is a loop; one that ends at an
  // item without parent whose name is not a drive ("x:") lost its root, and everything
  // below it is hidden as an orphan.
  std::string ResolveFolderChains() {
    const uint32_t f = db_->f_;
    chains_.assign(f, kChainUndecided);
    std::vector<uint32_t> walk;
    for (uint32_t start = 0; start < f; ++start) {
      if (chains_[start] != kChainUndecided) continue;
      bool loops = false;
      const uint8_t verdict = DecideChain(
          chains_, start, &walk,
          [this](uint32_t x) { return db_->parent_[x] == kNoItem ? kChainEnd : db_->parent_[x]; },
          [this](uint32_t x) { return IsRootName(x) ? kReachesRoot : kReachesOrphan; },
          [&loops](const std::vector<uint32_t>&) {
            loops = true;
            return kReachesOrphan;
          });
      if (loops) return "the folder chain of item " + std::to_string(start) + " loops back on itself";
      if (verdict == kReachesOrphan)
        for (uint32_t w : walk) Hide(w);
    }
    return {};
  }

  bool IsRootName(uint32_t item) const {
    const NameRow& row = db_->rows_[db_->name_of_[item]];
    return row.length >= 2 && db_->text_[row.text_offset + 1] == u':';
  }

  void Hide(uint32_t item) {
    if (db_->hide_.empty()) db_->hide_.assign(db_->n_, 0);
    db_->hide_[item] = static_cast<uint8_t>(HideState::kHidden);
  }

  void ApplyHidden(const std::vector<dbformat::HidEntry>& hidden) {
    if (db_->hide_.empty()) db_->hide_.assign(db_->n_, 0);
    for (const dbformat::HidEntry& e : hidden)
      if (e.item < db_->n_) db_->hide_[e.item] = e.state;
  }

  NuskDb* db_;
  std::vector<uint8_t> chains_;
};

Status ReadAndDecode(NuskDb* db, const std::u16string& home, Env* env, bool try_snapshot, SnapshotReads reads,
                     SnapshotStamp* stamp, bool* stamped, bool* used_snapshot) {
  *stamped = *used_snapshot = false;
  const DbFileSet before = ResolveDbFiles(home, env);
  SnapshotStamp by_id;
  const bool identities = IdentityStampOf(before, env, &by_id);
  DbBytes bytes;
  Status s = ReadConsistent(home, env, &bytes);
  if (!s.ok()) return s;
  const bool database = !(bytes.frs.empty() && bytes.nrs.empty());
  if (identities) {
    // The identities taken before the read stand for the bytes read only when the same
    // files still show them after it.
    SnapshotStamp after;
    *stamp = by_id;
    *stamped = database && bytes.files == before && IdentityStampOf(bytes.files, env, &after) && after == by_id;
  } else if (database) {
    *stamp = StampOf(bytes.frs, bytes.nrs, bytes.hid);
    *stamped = true;
    if (try_snapshot && SearchSnapshot::Use(db, home, *stamp, env, reads)) {
      *used_snapshot = true;
      return Status::Ok();
    }
  }
  return NuskDbLoader(db).Load(bytes);
}

Status LoadNuskDb(NuskDb* db, const std::u16string& home, Env* env, IStatusSink* sink, SnapshotReads reads) {
  if (!sink) sink = NullStatusSink();
  UnloadNuskDb(db);
  Status s;
  try {
    // Where the system tells file identities, a snapshot made from files of the same
    // identities stands in for reading them at all; any other is replaced by the
    // snapshot of this decode.
    SnapshotStamp stamp;
    bool used = IdentityStampOf(ResolveDbFiles(home, env), env, &stamp) &&
                (stamp.id[0].size != 0 || stamp.id[1].size != 0) && SearchSnapshot::Use(db, home, stamp, env, reads);
    if (!used) {
      bool stamped = false;
      s = ReadAndDecode(db, home, env, true, reads, &stamp, &stamped, &used);
      if (s.ok() && stamped && !used) SearchSnapshot::Write(*db, home, stamp, env);
    }
  } catch (const std::bad_alloc&) {
    // A file read into memory or a table of the size its header gives: the index is
    // larger than this process may hold.
    s = Status::Error("Not enough memory to load the index in " + ToUtf8(home) + ".");
  }
  if (!s.ok()) {
    db->Reset();
    sink->Problem(s.message());
    return s;
  }
  db->home_ = home;
  db->env_ = env;
  db->loaded_ = true;
  return Status::Ok();
}

void UnloadNuskDb(NuskDb* db) { db->Reset(); }

Status SaveHiddenList(NuskDb* db) {
  if (!db->loaded_) return Status::Error("The index is not loaded.");
  if (db->hide_.empty()) return Status::Ok();
  std::vector<dbformat::HidEntry> entries;
  for (uint32_t i = 0; i < db->n_; ++i)
    if (db->hide_[i] != 0) entries.push_back({i, db->hide_[i]});
  if (entries.empty()) return Status::Ok();
  std::u16string hid = DbPath(db->home_, kHidName, db->env_);
  const std::string bytes = dbformat::EncodeHid(entries);
  // A list that holds these entries already is left alone: the file keeps its identity,
  // and with it the search snapshot that was made from it.
  std::string present;
  if (db->env_->FileExists(hid) && db->env_->ReadWholeFile(hid, &present).ok() && present == bytes) return Status::Ok();
  Status s = db->env_->WriteWholeFile(hid + u".tmp", bytes, true);
  if (s.ok()) s = db->env_->RenameFile(hid + u".tmp", hid);
  if (!s.ok()) {
    db->env_->RemoveFile(hid + u".tmp");
    return Status::Error("Cannot save the hidden items to " + ToUtf8(hid) + ": " + s.message());
  }
  return s;
}

}  // namespace nusk
