// LoadNuskDb, UnloadNuskDb and SaveHiddenList: the database files and the search form.
#include "index/db_format.h"
#include "index/nusk_db.h"
#include "util/utf.h"

namespace nusk {

namespace {
Status ReadOptional(Env* env, const std::u16string& path, std::string* bytes) {
  bytes->clear();
  if (!env->FileExists(path)) return Status::Ok();
  Status s = env->ReadWholeFile(path, bytes);
  if (!s.ok() && !env->FileExists(path)) {
    bytes->clear();
    return Status::Ok();
  }
  if (!s.ok()) return Status::Error("Cannot read " + ToUtf8(path) + ": " + s.message());
  return s;
}

Status Damaged(const std::u16string& path, const std::string& fault) {
  return Status::Error(ToUtf8(path) + " is damaged: " + fault + ".");
}

struct DbBytes {
  DbFileSet files;
  std::string frs, nrs, hid;
};

// Reads the three files of one consistent state; a commit in another process that moves
// files between the reads is noticed and the reads are repeated.
Status ReadConsistent(const std::u16string& home, Env* env, DbBytes* out) {
  for (int attempt = 0;; ++attempt) {
    out->files = ResolveDbFiles(home, env);
    Status s = ReadOptional(env, out->files.frs, &out->frs);
    if (s.ok()) s = ReadOptional(env, out->files.nrs, &out->nrs);
    if (s.ok()) s = ReadOptional(env, out->files.hid, &out->hid);
    bool same = ResolveDbFiles(home, env) == out->files;
    if (s.ok() && same) return s;
    if (attempt == 4) return s.ok() ? Status::Error("The index files kept changing while they were read.") : s;
  }
}
}  // namespace

class NuskDbLoader {
 public:
  NuskDbLoader(NuskDb* db, Env* env) : db_(db), env_(env) {}

  Status Load(const DbBytes& b) {
    dbformat::FrsView frs;
    std::string fault = dbformat::CheckFrs(b.frs, &frs);
    if (!fault.empty()) return Damaged(b.files.frs, fault);
    dbformat::NrsSummary sum;
    fault = dbformat::CheckNrs(b.nrs, frs.n, &sum);
    if (!fault.empty()) return Damaged(b.files.nrs, fault);
    fault = dbformat::CheckParents(frs.n, sum.f, [&](uint32_t i) { return dbformat::RowParent(frs, i); });
    if (!fault.empty()) return Damaged(b.files.frs, fault);
    std::vector<dbformat::HidEntry> hidden;
    fault = dbformat::CheckHid(b.hid, &hidden);
    if (!fault.empty()) return Damaged(b.files.hid, fault);
    if (sum.text_units > 0xFFFFFFFFull) return Damaged(b.files.nrs, "the name texts are too large");

    LoadItems(frs);
    LoadNames(b.nrs, frs.n, sum);
    HideOrphans();
    if (db_->n_ != 0 && !b.hid.empty()) ApplyHidden(hidden);
    return Status::Ok();
  }

 private:
  void LoadItems(const dbformat::FrsView& frs) {
    const uint32_t n = frs.n;
    db_->n_ = n;
    if (!frs.header) return;
    db_->last_full_build_ = dbformat::Get32(frs.header + 8);
    db_->parent_.reset(new uint32_t[n]);
    db_->time_.reset(new uint32_t[n]);
    db_->size_.reset(new uint32_t[n]);
    db_->name_of_.reset(new uint32_t[n]);
    db_->drive_.reset(new uint8_t[n]);
    db_->ref_.reset(new uint64_t[n]);
    for (uint32_t i = 0; i < n; ++i) {
      uint64_t ref = dbformat::RowRef(frs, i);
      db_->ref_[i] = ref;
      db_->drive_[i] = RefDrive(ref);
      db_->parent_[i] = dbformat::RowParent(frs, i);
      db_->time_[i] = dbformat::RowTime(frs, i);
      db_->size_[i] = dbformat::RowSize(frs, i);
    }
    for (int d = 0; d < kDriveCount; ++d) db_->labels_[d] = frs.labels[d];
  }

  void LoadNames(const std::string& bytes, uint32_t n, const dbformat::NrsSummary& sum) {
    db_->m_ = sum.m;
    db_->fm_ = sum.fm;
    db_->f_ = sum.f;
    if (sum.m == 0) return;
    db_->rows_.reset(new NameRow[sum.m]);
    db_->text_.reset(new char16_t[sum.text_units]);
    db_->case_.reset(new uint8_t[sum.case_bytes ? sum.case_bytes : 1]);
    uint32_t text_pos = 0, case_pos = 0;
    dbformat::ForEachName(bytes, n, [&](uint32_t k, const dbformat::NameRaw& raw) {
      NameRow& row = db_->rows_[k];
      row.bits = raw.bits;
      row.first = raw.first;
      row.count = raw.count;
      row.wide = raw.wide;
      row.length = raw.length;
      row.case_count = raw.case_count;
      // kind, name, NUL: the row points just past the kind character.
      char16_t* t = db_->text_.get() + text_pos;
      for (size_t u = 0; u <= raw.length; ++u) t[u] = raw.Unit(u);
      t[raw.length + 1] = 0;
      row.text_offset = text_pos + 1;
      text_pos += raw.length + 2u;
      row.case_offset = case_pos;
      for (size_t c = 0; c < raw.case_count; ++c)
        db_->case_[case_pos++] = static_cast<uint8_t>(raw.Unit(size_t{raw.length} + 2 + c));
      for (uint32_t j = raw.first; j < raw.first + raw.count; ++j) db_->name_of_[j] = k;
    });
  }

  // An item without a parent that is not a drive root ("x:") lost its folder: it and
  // everything below it are hidden. One pass with a per-folder memo instead of a full
  // pass per orphan.
  void HideOrphans() {
    const uint32_t n = db_->n_;
    std::vector<uint8_t> memo(db_->f_, 0);  // 0 unknown, 1 below an orphan, 2 not
    std::vector<uint32_t> walk;

    for (uint32_t i = 0; i < n; ++i) {
      walk.clear();
      uint32_t x = i;
      uint8_t verdict = 0;
      while (true) {
        if (x < db_->f_ && memo[x]) {
          verdict = memo[x];
          break;
        }
        walk.push_back(x);
        uint32_t p = db_->parent_[x];
        if (p == kNoItem) {
          std::u16string_view name = db_->NameText(db_->name_of_[x]);
          verdict = (name.size() >= 2 && name[1] == u':') ? 2 : 1;
          break;
        }
        x = p;
      }
      for (uint32_t w : walk)
        if (w < db_->f_) memo[w] = verdict;
      if (verdict == 1) {
        if (db_->hide_.empty()) db_->hide_.assign(n, 0);
        db_->hide_[i] = static_cast<uint8_t>(HideState::kHidden);

      }
    }
  }

  void ApplyHidden(const std::vector<dbformat::HidEntry>& hidden) {
    if (db_->hide_.empty()) db_->hide_.assign(db_->n_, 0);
    for (const dbformat::HidEntry& e : hidden)
      if (e.item < db_->n_) db_->hide_[e.item] = e.state;
  }

  NuskDb* db_;
  Env* env_;
};

Status LoadNuskDb(NuskDb* db, const std::u16string& home, Env* env, IStatusSink* sink) {
  if (!env) env = Env::Default();
  if (!sink) sink = NullStatusSink();
  UnloadNuskDb(db);
  DbBytes bytes;
  Status s = ReadConsistent(home, env, &bytes);
  if (!s.ok()) {
    sink->Problem(s.message());
    return s;
  }
  s = NuskDbLoader(db, env).Load(bytes);
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
  Status s = db->env_->WriteWholeFile(hid + u".tmp", dbformat::EncodeHid(entries), true);
  if (s.ok()) s = db->env_->RenameFile(hid + u".tmp", hid);
  if (!s.ok()) {
    db->env_->RemoveFile(hid + u".tmp");
    return Status::Error("Cannot save the hidden items to " + ToUtf8(hid) + ": " + s.message());
  }
  return s;
}

}  // namespace nusk
