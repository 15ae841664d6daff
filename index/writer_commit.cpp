// CommitIndex: NuskDbWriter into the database files, crash-safely (see db_files.h).
#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>

#include "index/db_format.h"
#include "index/folder_chain.h"
#include "index/nusk_db_writer.h"
#include "index/search_snapshot.h"
#include "util/utf.h"

namespace nusk {

class WriterCommitter {
 public:
  WriterCommitter(NuskDbWriter* w, const CommitOptions& options)
      : w_(w), env_(w->env_), sink_(w->sink_), options_(options) {
    frs_ = DbPath(w->home_, kFrsName, env_);
    nrs_ = DbPath(w->home_, kNrsName, env_);
    hid_ = DbPath(w->home_, kHidName, env_);
  }

  Status Run() {
    uint64_t start = env_->MonotonicMs();
    std::string nrs_bytes = EncodeNames();
    std::string hid_bytes;
    bool write_hid = false;
    Status s = CarryOverHidden(&hid_bytes, &write_hid);
    if (!s.ok()) return s;
    // The file table needs only the item order EncodeNames set, so a second thread
    // encodes it while this one writes and syncs the name file. Every Env call stays on
    // this thread.
    now_ = CompactTimeFromFileTime(env_->NowFileTime());
    std::string frs_bytes;
    std::exception_ptr encode_error;
    std::thread encoder([this, &frs_bytes, &encode_error] {
      try {
        frs_bytes = EncodeFiles();
      } catch (...) { encode_error = std::current_exception(); }
    });
    s = WriteTmp(nrs_, nrs_bytes);
    encoder.join();
    if (encode_error) std::rethrow_exception(encode_error);
    if (!s.ok()) return s;
    nrs_bytes = std::string();
    sink_->Progress("Dump name records: " + Ms(start) + " ms\n");
    start = env_->MonotonicMs();
    if (!(s = WriteTmp(frs_, frs_bytes)).ok()) return s;
    sink_->Progress("Dump file records. (" + Ms(start) + " ms)\n");
    if (write_hid) {
      if (!(s = WriteTmp(hid_, hid_bytes)).ok()) return s;
    } else if (!(s = env_->RemoveFile(hid_ + u".tmp")).ok()) {
      return Abandon(s);  // a stale list from an earlier crash must not be taken for ours
    }
    if (!(s = env_->SyncFolder(w_->home_)).ok()) return Abandon(s);
    return Rotate(keep_hid_ == 0 && write_hid);
  }

 private:
  std::string Ms(uint64_t start) { return std::to_string(env_->MonotonicMs() - start); }

  // Names come in insertion order: first the loaded ones, already in key order (the
  // file's order), then the names new to this build. Sorting only the new ones and
  // merging costs a linear pass when a build finds few new names, where sorting all of
  // them again costs n log n string comparisons.
  static void SortByKey(std::vector<std::pair<std::u16string_view, NameRecord*>>* names) {
    auto less = [](const auto& a, const auto& b) { return a.first < b.first; };
    auto sorted_end = std::is_sorted_until(names->begin(), names->end(), less);
    std::sort(sorted_end, names->end(), less);
    std::inplace_merge(names->begin(), sorted_end, names->end(), less);
  }

  // Where one run of names goes in the name file and the item table.
  struct NameRun {
    size_t begin = 0, end = 0;  // positions in the sorted names
    char* row = nullptr;
    char* text = nullptr;
    uint32_t first_item = 0;
    uint32_t folder_end = 0;  // filled: end of the last folder name's items, or 0
  };

  // Gives every item its new index (name order, items in list order) and encodes
  // "nusk.nrs". Emptied names are skipped.
  std::string EncodeNames() {
    // Key order: sort the non-empty names once.
    std::vector<std::pair<std::u16string_view, NameRecord*>> sorted;
    sorted.reserve(w_->names_.size());
    size_t text_bytes = 0, items = 0;
    for (NameTable::Entry* entry : w_->names_.entries()) {
      const std::u16string_view key = entry->first;
      NameRecord& name = entry->second;
      if (name.items.empty()) continue;  // names left without items are not written
      sorted.emplace_back(key, &name);
      text_bytes += TextBytes(key, name);
      items += name.items.size();
    }
    SortByKey(&sorted);
    table_.assign(items, nullptr);
    old_to_new_.assign(w_->loaded_count_, kNoItem);
    // Rows and texts are written in place into a buffer of the final size.
    std::string out(4 + sorted.size() * kNameRowSize + text_bytes, '\0');
    dbformat::Set32(out.data(), static_cast<uint32_t>(sorted.size()));
    // Two runs of about the same number of items, encoded on two threads: each knows its
    // place from the sizes before it, and each item belongs to exactly one run. Most of
    // the time goes to numbering the items, one scattered write per item.
    NameRun first, second;
    first.row = out.data() + 4;
    first.text = first.row + sorted.size() * kNameRowSize;
    second = first;
    while (second.begin < sorted.size() && second.first_item < items / 2) {
      const auto& [key, name] = sorted[second.begin++];
      second.row += kNameRowSize;
      second.text += TextBytes(key, *name);
      second.first_item += static_cast<uint32_t>(name->items.size());
    }
    first.end = second.begin;
    second.end = sorted.size();
    RunBoth([&] { EncodeNameRun(sorted, &first); }, [&] { EncodeNameRun(sorted, &second); });
    folder_items_ = std::max(first.folder_end, second.folder_end);
    return out;
  }

  static size_t TextBytes(std::u16string_view key, const NameRecord& name) { return key.size() * (name.wide ? 2 : 1); }

  void EncodeNameRun(const std::vector<std::pair<std::u16string_view, NameRecord*>>& sorted, NameRun* run) {
    char* row = run->row;
    char* text = run->text;
    uint32_t now = run->first_item;
    for (size_t i = run->begin; i < run->end; ++i) {
      const auto& [key, name_ptr] = sorted[i];
      const NameRecord& name = *name_ptr;
      dbformat::Set32(row, name.bits);
      dbformat::Set32(row + 4, now);
      row[8] = name.wide ? 1 : 0;
      row[9] = static_cast<char>(name.length);
      row[10] = static_cast<char>(name.case_count);
      row += kNameRowSize;
      if (name.wide) {
        for (char16_t u : key) dbformat::Set16(text, u), text += 2;
      } else {
        for (char16_t u : key) *text++ = static_cast<char>(u);
      }
      for (FileRecord* r : name.items) {
        if (r->item_index < old_to_new_.size()) old_to_new_[r->item_index] = now;
        r->item_index = now;
        table_[now++] = r;
      }
      if (key[0] == kFolderKind) run->folder_end = now;
    }
  }

  // a on a second thread and b on this one; both on this one when no thread can start.
  // Neither may throw.
  template <typename A, typename B>
  static void RunBoth(A a, B b) {
    std::thread other;
    try {
      other = std::thread(a);
    } catch (const std::system_error&) { a(); }
    b();
    if (other.joinable()) other.join();
  }

  // The new index of row i's folder, or none when that folder is gone or is not a
  // folder row (folders come first: items 0 .. folder_items_-1).
  uint32_t ParentIndex(uint32_t i) const {
    if (table_[i]->parent_reference == 0) return kNoItem;
    const FileRecord* folder = w_->folders_.Find(table_[i]->parent_reference);
    return folder && folder->item_index < folder_items_ ? folder->item_index : kNoItem;
  }

  // Parent index of each folder row; a parent that would close a loop of folders is
  // written as none, so the files always load. File rows cannot close a loop.
  std::vector<uint32_t> FolderParents() const {
    const uint32_t f = folder_items_;
    std::vector<uint32_t> parent(f);
    for (uint32_t i = 0; i < f; ++i) parent[i] = ParentIndex(i);
    std::vector<uint8_t> verdicts(f, kChainUndecided);
    std::vector<uint32_t> walk;
    for (uint32_t start = 0; start < f; ++start) {
      if (verdicts[start] != kChainUndecided) continue;
      DecideChain(
          verdicts, start, &walk, [&parent](uint32_t x) { return parent[x] == kNoItem ? kChainEnd : parent[x]; },
          [](uint32_t) { return uint8_t{0}; },
          [&parent](const std::vector<uint32_t>& loop) {
            parent[loop.back()] = kNoItem;  // cut the loop
            return uint8_t{0};
          });
    }
    return parent;
  }

  // Rows [begin, end) of the file table, written at rows.
  void EncodeRows(uint32_t begin, uint32_t end, const std::vector<uint32_t>& folder_parent, char* rows) const {
    char* row = rows + size_t{begin} * kFileRowSize;
    for (uint32_t i = begin; i < end; ++i, row += kFileRowSize) {
      const FileRecord* r = table_[i];
      dbformat::Set64(row, r->reference);
      dbformat::Set32(row + 8, i < folder_parent.size() ? folder_parent[i] : ParentIndex(i));
      dbformat::Set32(row + 12, r->time);
      dbformat::Set32(row + 16, r->size);
    }
  }

  std::string EncodeFiles() {
    std::vector<uint32_t> folder_parent = FolderParents();
    const uint32_t n = static_cast<uint32_t>(table_.size());
    size_t label_units = 0;
    for (const DriveState& d : w_->drives_) label_units += d.display_name.size();
    std::string out(kRowsOffset + size_t{n} * kFileRowSize + 2 * label_units + kMountBlocksSize, '\0');
    char* p = out.data();
    std::memcpy(p, w_->header_, kHeaderSize);
    dbformat::Set32(p, kFormatVersion);
    dbformat::Set32(p + 4, n);
    if (options_.all_drives) dbformat::Set32(p + 8, now_);
    uint32_t label_start = 0;
    for (int d = 0; d < kDriveCount; ++d) {
      dbformat::EncodeDriveState(w_->drives_[d], label_start, p + kHeaderSize + d * kStateBlockSize);
      label_start += static_cast<uint32_t>(w_->drives_[d].display_name.size());
    }
    // Each row looks up its parent folder at random in the folder map: two halves on two threads.
    char* rows = p + kRowsOffset;
    RunBoth([&] { EncodeRows(n / 2, n, folder_parent, rows); }, [&] { EncodeRows(0, n / 2, folder_parent, rows); });
    char* row = rows + size_t{n} * kFileRowSize;
    for (const DriveState& d : w_->drives_)
      for (char16_t c : d.display_name) {
        dbformat::Set16(row, c);
        row += 2;
      }
    for (int m = 0; m < kMountSlots; ++m) dbformat::EncodeMountState(w_->mounts_[m], row + m * kStateBlockSize);
    return out;
  }

  // The hidden entries (state 255) of items that are still there, under their new
  // indexes. Entries of removed items and state-1 entries are dropped. A damaged list
  // is kept aside and not carried over.
  Status CarryOverHidden(std::string* bytes, bool* write) {
    *write = false;
    if (!env_->FileExists(hid_)) return Status::Ok();
    std::string old;
    Status s = env_->ReadWholeFile(hid_, &old);
    if (!s.ok()) return Status::Error("Cannot read " + ToUtf8(hid_) + ": " + s.message());
    std::vector<dbformat::HidEntry> entries, kept;
    std::string fault = dbformat::CheckHid(old, &entries);
    if (!fault.empty()) {
      sink_->Problem(ToUtf8(hid_) + " is damaged: " + fault + ".");
      std::u16string aside = hid_ + u".bad";
      for (int i = 1; env_->FileExists(aside) && i < 1000; ++i) aside = hid_ + u".bad." + FromUtf8(std::to_string(i));
      s = env_->RenameFile(hid_, aside);
      if (!s.ok()) return Status::Error("Cannot move the damaged " + ToUtf8(hid_) + " aside: " + s.message());
      return Status::Ok();
    }
    for (const dbformat::HidEntry& e : entries)
      if (e.state == 255 && e.item < old_to_new_.size() && old_to_new_[e.item] != kNoItem)
        kept.push_back({old_to_new_[e.item], 255});
    keep_hid_ = kept.size();
    *bytes = dbformat::EncodeHid(kept);
    *write = true;
    return Status::Ok();
  }

  Status WriteTmp(const std::u16string& path, std::string_view bytes) {
    Status s = env_->WriteWholeFile(path + u".tmp", bytes, true);
    if (!s.ok()) return Abandon(Status::Error("Cannot write " + ToUtf8(path + u".tmp") + ": " + s.message()));
    return s;
  }

  // Before any ".old" exists: the old files are untouched; drop the new ones.
  Status Abandon(const Status& why) {
    for (const std::u16string* p : {&nrs_, &frs_, &hid_}) env_->RemoveFile(*p + u".tmp");
    return why;
  }

  Status Rotate(bool drop_empty_hid) {
    // The first ".old" marks the new files as complete: from then on a crash is finished
    // forward by the next load.
    bool first = true;
    for (const std::u16string* p : {&frs_, &nrs_}) {
      Status s =
          env_->FileExists(*p) ? env_->RenameFile(*p, *p + u".old") : env_->WriteWholeFile(*p + u".old", "", true);
      if (!s.ok()) {
        Status why = Status::Error("Cannot move " + ToUtf8(*p) + " aside: " + s.message());
        return first ? Abandon(why) : Finish(why);
      }
      first = false;
    }
    Status s = env_->SyncFolder(w_->home_);
    if (!s.ok()) return Finish(s);
    for (const std::u16string* p : {&frs_, &nrs_, &hid_}) {
      if (p == &hid_ && !env_->FileExists(hid_ + u".tmp")) continue;
      s = env_->RenameFile(*p + u".tmp", *p);
      if (!s.ok()) return Finish(Status::Error("Cannot move the new " + ToUtf8(*p) + " in place: " + s.message()));
    }
    if (!(s = env_->SyncFolder(w_->home_)).ok()) return Finish(s);
    for (const std::u16string* p : {&frs_, &nrs_}) env_->RemoveFile(*p + u".old");
    if (drop_empty_hid) env_->RemoveFile(hid_);
    return Status::Ok();
  }

  // After a ".old" exists: complete the moves; when that fails too, the companion files
  // stay so the next load completes them, and the caller hears of the failure.
  Status Finish(const Status& why) {
    Status s = RecoverInterruptedCommit(w_->home_, env_, sink_);
    if (s.ok()) return Status::Ok();
    return Status::Error(why.message() + "; the update will be completed at the next load (" + s.message() + ")");
  }

  NuskDbWriter* w_;
  Env* env_;
  IStatusSink* sink_;
  CommitOptions options_;
  std::u16string frs_, nrs_, hid_;
  std::vector<FileRecord*> table_;
  std::vector<uint32_t> old_to_new_;
  size_t keep_hid_ = 0;
  CompactTime now_ = 0;  // the commit's time, read before the file table is encoded
  uint32_t folder_items_ = 0;
};

Status CommitIndex(NuskDbWriter* w, const CommitOptions& options) {
  std::lock_guard<std::mutex> lock(w->mu_);
  if (w->written_) return w->commit_result_;
  if (!w->loaded_) return Status::Error("The index was not loaded, so it was not written.");
  w->written_ = true;
  // The search snapshot of the old files goes first, so no crash during the commit can
  // leave one beside files it did not come from; the new one follows a good commit.
  const std::u16string snap = DbPath(w->home_, kSnapName, w->env_);
  w->env_->RemoveFile(snap + u".tmp");
  RemoveSearchSnapshot(w->home_, w->env_);
  w->commit_result_ = WriterCommitter(w, options).Run();
  if (w->commit_result_.ok()) RefreshSearchSnapshot(w->home_, w->env_);
  if (!w->commit_result_.ok()) w->sink_->Problem(w->commit_result_.message());
  return w->commit_result_;
}

}  // namespace nusk
