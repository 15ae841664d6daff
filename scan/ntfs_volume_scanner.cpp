// The scanner's own part: which volume, the choice between a full scan and a change pass
// (ScanVolume), the journal, and the live queries. The full scan is in ntfs_full_scan.cpp,
// the change pass in ntfs_change_pass.cpp.
#include "scan/ntfs_volume_scanner.h"

#include <algorithm>
#include <optional>

#include "index/file_reference.h"
#include "platform/env.h"
#include "platform/native_name.h"

namespace nusk {
namespace {

using namespace ntfs;

constexpr uint64_t kAllOnes = ~uint64_t{0};
// A new journal: 32 MiB, grown 1 MiB at a time.
constexpr uint64_t kJournalMaxSize = 0x2000000;
constexpr uint64_t kJournalAllocationDelta = 0x100000;

std::u16string Letter(char16_t c) { return std::u16string(1, c); }

}  // namespace

NtfsVolumeScanner::NtfsVolumeScanner(Env* env, NtfsVolumeConfig config, const ExclusionSettings* exclusions,
                                     INuskListener* listener, ScanLog log, const std::atomic<bool>* cancel)
    : env_(env),
      config_(std::move(config)),
      exclusions_(exclusions),
      listener_(listener),
      log_(std::move(log)),
      cancel_(cancel),
      live_([this] { return OpenParser(); }, config_.escape_backslash),
      filter_(exclusions, listener, &live_, RootPrefix(),
              [this](uint32_t record, const std::u16string& path) { return MarkerIn(record, path); }) {
  if (config_.drive_letter != 0) {
    drive_mount_bits_ = MakeDriveMountBits(static_cast<uint8_t>(config_.drive_letter - u'A'), 0);
  } else {
    drive_mount_bits_ = MakeDriveMountBits(RefDrive(config_.mount_folder_reference), config_.mount_index);
  }
}

NtfsVolumeScanner::~NtfsVolumeScanner() = default;

std::u16string NtfsVolumeScanner::VolumePath() const {
  if (!config_.volume_path.empty()) return config_.volume_path;
  if (config_.drive_letter != 0) return u"\\\\.\\" + Letter(config_.drive_letter) + u":";
  return u"\\\\?\\Volume{" + config_.volume_guid + u"}";
}

// "C:" for a drive-letter volume, the mount path for a volume mounted in a folder.
std::u16string NtfsVolumeScanner::RootPrefix() const {
  if (config_.drive_letter != 0) return Letter(config_.drive_letter) + u":";
  std::u16string p = config_.mount_path;
  while (!p.empty() && p.back() == u'\\') p.pop_back();
  return p;
}

// Every name read from the volume passes here before it is used; in place, so a name
// without '\\' (all but a handful) is only looked at, never copied again.
void NtfsVolumeScanner::ToIndexName(std::u16string* name) const {
  if (config_.escape_backslash) std::replace(name->begin(), name->end(), u'\\', kEscapedBackslash);
}

// The index reference of a parent: the root of a volume mounted in a folder is that
// folder of the host drive.
uint64_t NtfsVolumeScanner::ParentReference(uint64_t ntfs_parent) const {
  if (config_.drive_letter == 0 && NtfsRecordOf(ntfs_parent) == kRootRecord) return config_.mount_folder_reference;
  return IndexReferenceOf(ntfs_parent, drive_mount_bits_);
}

// The volume's MFT, its run list loaded; null (logged) when it cannot be read. The one
// place the scanner opens the volume for reading.
std::unique_ptr<MftParser> NtfsVolumeScanner::OpenParser() {
  std::unique_ptr<MftParser> parser = MftParser::OpenDisk(env_, VolumePath(), log_);
  if (!parser || !parser->ok() || parser->LoadMFT() == 0) {
    Log("The volume's Master File Table cannot be read");
    return nullptr;
  }
  return parser;
}

bool NtfsVolumeScanner::OpenVolumeJournal() {
  if (journal_handle_) return true;
  uint32_t err = 0;
  std::unique_ptr<UsnJournal> j;
  if (!env_->OpenUsnJournal(VolumePath(), &j, &err).ok()) {
    Log("Failed to obtain a file handle for the root drive(err=" + std::to_string(err) + ")");
    return false;
  }
  UsnJournalError error;
  if (!j->Query(&journal_, &error)) {
    if (error.kind == UsnJournalError::kNotSupported) {  // a driver without change journals (Wine)
      Log("The volume keeps no change journal; it is scanned in full at every build");
      journal_ = UsnJournalData();
      journal_handle_ = std::move(j);
      return true;
    }
    if (error.kind != UsnJournalError::kNotActive) {
      Log("Failed to query USN records(err=" + std::to_string(error.system_code) + ")");
      return false;
    }
    if (!j->Create(kJournalMaxSize, kJournalAllocationDelta, &error)) {
      if (error.kind != UsnJournalError::kDiskFull) {
        Log("Failed to query USN records(err=" + std::to_string(error.system_code) + ")");
        return false;
      }
      journal_ = UsnJournalData();  // no journal: every build scans in full
    } else if (!j->Query(&journal_, &error)) {
      Log("Failed to query USN records(err=" + std::to_string(error.system_code) + ")");
      return false;
    }
  }
  journal_handle_ = std::move(j);
  return true;
}

void NtfsVolumeScanner::UseOpened(std::unique_ptr<UsnJournal> journal, const UsnJournalData& data,
                                  std::unique_ptr<MftParser> live) {
  journal_handle_ = std::move(journal);
  journal_ = data;
  live_.Adopt(std::move(live));
}

bool NtfsVolumeScanner::ScanVolume(uint64_t* journal_id, uint64_t* next_usn, std::vector<MountedVolume>* mounted) {
  if (mounted) mounted->clear();
  if (!OpenVolumeJournal()) return false;
  const int64_t s = static_cast<int64_t>(*next_usn);
  bool current = journal_.max_size != 0 && *journal_id == journal_.journal_id && s != 0 &&
                 (s < 0 || (s >= journal_.lowest_valid_usn && s >= journal_.first_usn && s <= journal_.next_usn));
  if (current) {
    Log("(No full scan needed)");
  } else {
    // The volume's records are forgotten only once its MFT is known to be readable: a
    // volume that cannot be read keeps what the index had, and is scanned in full the
    // next time.
    std::unique_ptr<MftParser> parser = OpenParser();
    if (!parser) {
      *journal_id = 0;
      *next_usn = 0;
      return false;
    }
    char16_t letter = config_.drive_letter != 0    ? config_.drive_letter
                      : config_.mount_path.empty() ? u'\0'
                                                   : config_.mount_path[0];
    listener_->ForgetVolume(letter, config_.mount_index);
    *journal_id = journal_.journal_id;
    *next_usn = static_cast<uint64_t>(journal_.next_usn);
    Log("Doing full scan");
    if (!ScanMft(parser.get())) {
      *journal_id = 0;  // the next build must not trust a partial scan
      *next_usn = 0;
      return false;
    }
  }
  if (*next_usn == kAllOnes) *next_usn = 0;
  bool ok = true;
  if (journal_.max_size != 0) {
    Log("Scanning changes");
    int64_t usn = static_cast<int64_t>(*next_usn);
    if (!ReadChanges(&usn)) {
      Log("Change journal not understood; the next build scans this volume in full");
      *journal_id = 0;
      ok = false;
    }
    *next_usn = static_cast<uint64_t>(usn);
  }
  if (*next_usn == 0) *next_usn = kAllOnes;
  return ok;
}

// ---------------------------------------------------------------- live queries

void NtfsVolumeScanner::QueryRecordInfo(uint64_t reference, ScanRecord* record, bool indexed_name) {
  RecordInfo info;
  if (!live_.ReadInfo(RefRecord(reference), &info)) {
    // The item is gone or unreadable: report it empty rather than with stale values.
    record->time = 0;
    record->size = 0;
    return;
  }
  if (indexed_name && info.has_name) {
    record->name = live_.Name(info);
    record->parent_reference = ParentReference(info.parent);
  }
  record->time = ToCompactTime(info.has_standard_info ? info.time : 0);
  // The record holds the size unless its $DATA lives elsewhere; then the system (or the
  // extension record) tells.
  const std::optional<uint64_t> size = info.has_data_size ? std::optional<uint64_t>(info.data_size) : std::nullopt;
  if (record->is_folder) record->size = 0;
  else record->size = ToSizeForm(size ? *size : QuerySizeById(reference));
}

uint64_t NtfsVolumeScanner::QuerySizeById(uint64_t reference) { return live_.SizeOf(NtfsReferenceOf(reference)); }

std::u16string NtfsVolumeScanner::PathFromReference(uint64_t reference) {
  return live_.PathOf(RefRecord(reference), RootPrefix());
}

bool NtfsVolumeScanner::MarkerIn(uint32_t folder_record, const std::u16string& folder_path) {
  if (config_.marker_exists) return config_.marker_exists(folder_path);
  if (config_.marker_lookup == NtfsVolumeConfig::MarkerLookup::kFileSystem)
    return env_->FileExists(folder_path + env_->PathSeparator() + std::u16string(kIgnoreMarkerName));
  return live_.FindChild(folder_record, kIgnoreMarkerName).has_value();
}

bool NtfsVolumeScanner::FolderHoldsMarker(const std::u16string& folder_path) {
  const std::u16string root = RootPrefix();
  if (folder_path.size() <= root.size() || folder_path.compare(0, root.size(), root) != 0 ||
      folder_path[root.size()] != u'\\')
    return false;
  // Down from the root, one name at a time, through the folders' own indexes.
  uint64_t at = kRootRecord;
  for (size_t pos = root.size() + 1; pos <= folder_path.size();) {
    size_t end = folder_path.find(u'\\', pos);
    if (end == std::u16string::npos) end = folder_path.size();
    std::optional<uint64_t> child = live_.FindChild(at, std::u16string_view(folder_path).substr(pos, end - pos));
    if (!child) return false;
    at = NtfsRecordOf(*child);
    pos = end + 1;
  }
  return MarkerIn(static_cast<uint32_t>(at), folder_path);
}

}  // namespace nusk
