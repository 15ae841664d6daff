// NuskDbWriter: the listener operations. Loading and committing are in
// writer_load.cpp and writer_commit.cpp.
#include "index/nusk_db_writer.h"

namespace nusk {

NuskDbWriter::NuskDbWriter() = default;
NuskDbWriter::~NuskDbWriter() = default;

FileRecord* NuskDbWriter::NewRecord() {
  if (!free_records_.empty()) {
    FileRecord* r = free_records_.back();
    free_records_.pop_back();
    *r = FileRecord();
    return r;
  }
  return &pool_.emplace_back();
}

void NuskDbWriter::FreeRecord(FileRecord* r) { free_records_.push_back(r); }

CompactTime NuskDbWriter::last_full_build() const {
  return static_cast<CompactTime>(header_[8] | (header_[9] << 8) | (header_[10] << 16) | (uint32_t{header_[11]} << 24));
}

bool NuskDbWriter::AddLocked(const ScanRecord& r) {
  EncodedName& e = scratch_;
  if (!EncodeName(r.name, r.is_folder, &e)) return false;
  FileRecord* rec = NewRecord();
  rec->reference = r.reference;
  rec->parent_reference = r.parent_reference;
  rec->time = r.time;
  rec->size = r.is_folder ? 0 : r.size;
  if (r.is_folder) folders_.Set(r.reference, rec);
  bool inserted = false;
  NameRecord& name = names_.FindOrInsert(e.key, &inserted)->second;
  if (inserted) {
    name.bits = e.bits;
    name.wide = e.wide;
    name.length = e.length;
    name.case_count = e.case_count;
  }
  name.items.push_back(rec);
  ++item_count_;
  return true;
}

bool NuskDbWriter::DeleteLocked(const ScanRecord& r) {
  auto it = names_.find(MakeNameKey(r.name, r.is_folder));
  if (it == names_.end()) return false;
  std::vector<FileRecord*>& items = it->second.items;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i]->reference != r.reference) continue;
    FreeRecord(items[i]);
    items.erase(items.begin() + i);
    // An emptied name stays in the map until the commit skips it: a rename that
    // re-adds the same name then costs no insertion.
    if (r.is_folder) folders_.Erase(r.reference);
    --item_count_;
    return true;
  }
  return false;
}

bool NuskDbWriter::AddRecord(const ScanRecord& r) {
  std::lock_guard<std::mutex> lock(mu_);
  return !Frozen() && AddLocked(r);
}

bool NuskDbWriter::UpdateRecord(const ScanRecord& r) {
  std::lock_guard<std::mutex> lock(mu_);
  if (Frozen()) return false;
  auto it = names_.find(MakeNameKey(r.name, r.is_folder));
  if (it == names_.end()) return false;
  for (FileRecord* rec : it->second.items) {
    if (rec->reference != r.reference) continue;
    rec->time = r.time;
    rec->size = r.is_folder ? 0 : r.size;
    return true;
  }
  return false;
}

bool NuskDbWriter::RenameRecord(const ScanRecord& r, std::u16string_view old_name) {
  std::lock_guard<std::mutex> lock(mu_);
  if (Frozen()) return false;
  EncodedName check;
  if (!EncodeName(r.name, r.is_folder, &check)) return false;  // nothing removed for a name that cannot be added
  ScanRecord old = r;
  old.name.assign(old_name);
  if (!DeleteLocked(old)) return false;
  return AddLocked(r);
}

bool NuskDbWriter::DeleteRecord(const ScanRecord& r) {
  std::lock_guard<std::mutex> lock(mu_);
  return !Frozen() && DeleteLocked(r);
}

bool NuskDbWriter::DeleteByReference(uint64_t reference, bool is_folder) {
  std::lock_guard<std::mutex> lock(mu_);
  if (Frozen()) return false;
  const char16_t kind = is_folder ? u'1' : u'2';
  for (NameTable::Entry* entry : names_.entries()) {
    if (entry->first.empty() || entry->first[0] != kind) continue;
    std::vector<FileRecord*>& items = entry->second.items;
    for (size_t i = 0; i < items.size(); ++i) {
      if (items[i]->reference != reference) continue;
      if (is_folder) folders_.Erase(reference, items[i]);
      FreeRecord(items[i]);
      items.erase(items.begin() + i);
      --item_count_;
      return true;
    }
  }
  return false;
}

size_t NuskDbWriter::ForgetVolume(char16_t letter, uint8_t mount) {
  std::lock_guard<std::mutex> lock(mu_);
  if (Frozen() || letter < u'A' || letter > u'Z') return 0;
  return ForgetLocked(letter, mount);
}

size_t NuskDbWriter::ForgetLocked(char16_t letter, uint8_t mount) {
  const uint64_t d = letter - u'A';
  // Mount 0 matches the drive byte alone (the drive and everything mounted on it);
  // mount m matches drive and mount bytes together.
  const uint64_t mask = mount == 0 ? 0xFFull << 32 : 0xFFFFull << 32;
  const uint64_t want = mount == 0 ? d << 32 : ((uint64_t{mount} << 8) | d) << 32;
  size_t removed = 0;
  for (NameTable::Entry* entry : names_.entries()) {
    NameRecord& name = entry->second;
    std::vector<FileRecord*>& items = name.items;
    size_t out = 0;
    for (size_t i = 0; i < items.size(); ++i) {
      FileRecord* rec = items[i];
      if ((rec->reference & mask) != want) {
        items[out++] = rec;
        continue;
      }
      folders_.Erase(rec->reference, rec);
      FreeRecord(rec);
      ++removed;
    }
    items.resize(out);
  }
  item_count_ -= removed;
  return removed;
}

size_t NuskDbWriter::RestoreDrive(char16_t letter, const NuskDbWriter& from) {
  std::scoped_lock lock(mu_, from.mu_);
  if (Frozen() || letter < u'A' || letter > u'Z') return 0;
  ForgetLocked(letter, 0);
  const uint8_t d = static_cast<uint8_t>(letter - u'A');
  size_t restored = 0;
  for (const NameTable::Entry* entry : from.names_.entries()) {
    NameRecord* name = nullptr;
    for (const FileRecord* old : entry->second.items) {
      if (RefDrive(old->reference) != d) continue;
      if (!name) {
        bool inserted = false;
        name = &names_.FindOrInsert(entry->first, &inserted)->second;
        if (inserted) {
          name->bits = entry->second.bits;
          name->wide = entry->second.wide;
          name->length = entry->second.length;
          name->case_count = entry->second.case_count;
        }
      }
      FileRecord* rec = NewRecord();
      *rec = *old;
      if (entry->first[0] == u'1') folders_.Set(rec->reference, rec);  // kind "1": a folder
      name->items.push_back(rec);
      ++restored;
    }
  }
  item_count_ += restored;
  drives_[d] = from.drives_[d];
  for (int slot = 1; slot < kMountSlots; ++slot) {
    const bool mine = !mounts_[slot].free() && RefDrive(mounts_[slot].mount_folder_ref) == d;
    const bool was_mine = !from.mounts_[slot].free() && RefDrive(from.mounts_[slot].mount_folder_ref) == d;
    if (mine || was_mine) mounts_[slot] = from.mounts_[slot];
  }
  return restored;
}

void NuskDbWriter::DriveScanned(char16_t letter) {
  std::lock_guard<std::mutex> lock(mu_);
  if (Frozen() || letter < u'A' || letter > u'Z') return;
  DriveState& d = drives_[letter - u'A'];
  d.built = true;
  if (env_) d.last_build = CompactTimeFromFileTime(env_->NowFileTime());  // env_: set by the load
}

}  // namespace nusk
