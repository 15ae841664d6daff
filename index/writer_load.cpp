// LoadIndexForWrite: the database files into NuskDbWriter.
#include <algorithm>
#include <iterator>
#include <new>

#include "index/db_format.h"
#include "index/nusk_db_writer.h"
#include "util/utf.h"

namespace nusk {

namespace {
std::string Ms(uint64_t start, Env* env) { return std::to_string(env->MonotonicMs() - start); }

}  // namespace

class WriterLoader {
 public:
  WriterLoader(NuskDbWriter* w, Env* env, IStatusSink* sink) : w_(w), env_(env), sink_(sink) {}

  // Fills the writer from checked bytes; returns the fault of the first bad file.
  std::string Fill(std::string_view frs_bytes, std::string_view nrs_bytes, std::u16string* bad_file) {
    dbformat::FrsView frs;
    std::string fault = dbformat::CheckFrs(frs_bytes, &frs);
    if (!fault.empty()) {
      *bad_file = kFrsName;
      return fault;
    }
    dbformat::NrsSummary sum;
    fault = dbformat::CheckNrs(nrs_bytes, frs.n, &sum);
    if (!fault.empty()) {
      *bad_file = kNrsName;
      return fault;
    }
    fault = dbformat::CheckParents(frs.n, sum.f, [&](uint32_t i) { return dbformat::RowParent(frs, i); });
    if (!fault.empty()) {
      *bad_file = kFrsName;
      return fault;
    }
    LoadFiles(frs);
    sink_->Progress("File records loaded (" + Ms(start_, env_) + " ms)\n");
    start_ = env_->MonotonicMs();
    sink_->Progress("Loading name records..");
    LoadNames(nrs_bytes, frs.n, sum);
    sink_->Progress("Name records loaded (" + Ms(start_, env_) + " ms)");
    return {};
  }

  void MarkStart() { start_ = env_->MonotonicMs(); }

  // Back to an empty index after a load that could not finish.
  static void Reset(NuskDbWriter* w) {
    w->names_.clear();
    w->folders_.clear();
    w->pool_.clear();
    w->free_records_.clear();
    w->item_count_ = 0;
    w->loaded_count_ = 0;
    std::memset(w->header_, 0, sizeof w->header_);
    for (DriveState& d : w->drives_) d = DriveState();
    for (MountState& m : w->mounts_) m = MountState();
  }

 private:
  void LoadFiles(const dbformat::FrsView& frs) {
    table_.clear();
    if (!frs.header) return;
    std::memcpy(w_->header_, frs.header, kHeaderSize);
    for (int d = 0; d < kDriveCount; ++d) {
      dbformat::DecodeDriveState(frs.drives + d * kStateBlockSize, &w_->drives_[d]);
      w_->drives_[d].display_name = frs.labels[d];
    }
    if (frs.mounts) {
      for (int m = 0; m < kMountSlots; ++m)
        dbformat::DecodeMountState(frs.mounts + m * kStateBlockSize, &w_->mounts_[m]);
    } else {
      // Files of an older version hold no mount slots: every volume mounted in a folder
      // starts unknown, so the next build reads each one in full.
      env_->DebugOutput(u"nusk.frs has no mount slots (an older format): mounted volumes will be read in full.");
    }
    // Rows of a forgotten drive get no record (null in table_); they keep their row
    // number, so the hidden-items list maps them to "removed" like any forgotten item.
    const char16_t forget = w_->forget_on_load_;
    const int forget_drive = forget >= u'A' && forget <= u'Z' ? forget - u'A' : -1;
    table_.assign(frs.n, nullptr);
    size_t kept = 0;
    for (uint32_t i = 0; i < frs.n; ++i) {
      uint64_t ref = dbformat::RowRef(frs, i);
      if (RefDrive(ref) == forget_drive) continue;
      FileRecord* r = w_->NewRecord();
      r->reference = ref;
      r->item_index = i;
      r->time = dbformat::RowTime(frs, i);
      r->size = dbformat::RowSize(frs, i);
      uint32_t p = dbformat::RowParent(frs, i);
      r->parent_reference = p == kNoItem ? 0 : dbformat::RowRef(frs, p);
      table_[i] = r;
      ++kept;
    }
    w_->loaded_count_ = frs.n;
    w_->item_count_ = kept;
  }

  void LoadNames(std::string_view bytes, uint32_t n, const dbformat::NrsSummary& sum) {
    w_->folders_.reserve(sum.f);
    w_->names_.reserve(sum.m);
    std::u16string key;
    dbformat::ForEachName(bytes, n, [&](uint32_t, const dbformat::NameRaw& raw) {
      key.resize(raw.KeyUnits());
      for (size_t u = 0; u < key.size(); ++u) key[u] = raw.Unit(u);
      auto first = table_.begin() + raw.first, last = first + raw.count;
      size_t live = raw.count - static_cast<size_t>(std::count(first, last, nullptr));
      // A name whose items were all on the forgotten drive is still entered, as
      // ForgetVolume leaves it: the rescan usually adds it again, and the names stay in
      // key order, so the commit's sort has little to do.
      // Keys were checked to be strictly increasing, hence distinct.
      bool inserted = false;
      NameRecord& rec = w_->names_.FindOrInsert(key, &inserted)->second;
      rec.bits = raw.bits;
      rec.wide = raw.wide;
      rec.length = raw.length;
      rec.case_count = raw.case_count;
      rec.items.reserve(live);
      std::copy_if(first, last, std::back_inserter(rec.items), [](FileRecord* r) { return r != nullptr; });
      if (raw.Kind() == kFolderKind)
        for (FileRecord* r : rec.items) w_->folders_.Set(r->reference, r);
    });
    table_.clear();
    table_.shrink_to_fit();
  }

  NuskDbWriter* w_;
  Env* env_;
  IStatusSink* sink_;
  uint64_t start_ = 0;
  std::vector<FileRecord*> table_;
};

Status LoadIndexForWrite(NuskDbWriter* w, const std::u16string& home, Env* env, IStatusSink* sink) {
  if (!sink) sink = NullStatusSink();
  std::lock_guard<std::mutex> lock(w->mu_);
  if (w->loaded_ || w->item_count_ != 0) return Status::Error("The index was already loaded or changed.");
  w->home_ = home;
  w->env_ = env;
  w->sink_ = sink;
  Status s = RecoverInterruptedCommit(home, env, sink);
  if (!s.ok()) return s;

  WriterLoader loader(w, env, sink);
  loader.MarkStart();
  sink->Progress("Loading file records..");
  // Views, not copies: the bytes are decoded into the writer once and then released.
  std::string damage;
  try {
    std::unique_ptr<FileView> frs_view, nrs_view;
    std::string_view frs_bytes, nrs_bytes;
    DbFileSet files;
    files.frs = DbPath(home, kFrsName, env);
    files.nrs = DbPath(home, kNrsName, env);
    if (!(s = CheckDbSizes(files, false, env, &damage)).ok()) return s;
    if (damage.empty()) {
      if (!(s = ViewOptional(env, files.frs, &frs_view, &frs_bytes)).ok()) return s;
      if (!(s = ViewOptional(env, files.nrs, &nrs_view, &nrs_bytes)).ok()) return s;
      std::u16string bad_file;
      const std::string fault = loader.Fill(frs_bytes, nrs_bytes, &bad_file);
      if (!fault.empty()) damage = ToUtf8(DbPath(home, bad_file, env)) + " is damaged: " + fault + ".";
    }
  } catch (const std::bad_alloc&) {
    WriterLoader::Reset(w);
    return Status::Error("Not enough memory to load the index in " + ToUtf8(home) + ".");
  }
  if (!damage.empty()) {
    // Start over from an empty index; the damaged files are kept beside it.
    WriterLoader::Reset(w);
    w->damage_ = damage;
    sink->Problem(w->damage_);
    s = SetDamagedFilesAside(home, env, sink);
    if (!s.ok()) return s;
  }
  w->loaded_ = true;
  return Status::Ok();
}

}  // namespace nusk
