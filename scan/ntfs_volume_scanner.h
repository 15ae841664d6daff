// NtfsVolumeScanner: brings the index up to date for one NTFS volume, either by a full
// read of its Master File Table (ScanMft) or by a pass over its change journal since the
// position stored after the previous build (ScanVolume decides).
//
// Created by the per-drive build for one volume and used on the build thread only.
// Everything found goes to the INuskListener; the scanner never touches the index.
//
// Its parts: the full scan (ntfs_full_scan.cpp), the change pass (ntfs_change_pass.cpp,
// records decoded by usn_record.h), the volume's current records (LiveRecordReader) and
// the exclusions of items that appear during a pass (CreatedItemFilter).
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/usn_journal.h"
#include "scan/created_item_filter.h"
#include "scan/exclusion.h"
#include "scan/live_record_reader.h"
#include "scan/mft_parser.h"
#include "scan/nusk_listener.h"
#include "scan/usn_record.h"

namespace nusk {

class Env;

struct NtfsVolumeConfig {
  char16_t drive_letter = 0;            // 'A'..'Z'; 0 for a volume mounted in a folder
  std::u16string volume_guid;           // without braces, for a volume mounted in a folder
  std::u16string mount_path;            // "C:\\mnt\\data" for a volume mounted in a folder
  uint8_t mount_index = 0;              // 1..255 for a mounted volume
  uint64_t mount_folder_reference = 0;  // index reference of the mount folder on the host
  // The path to open. Empty: "\\.\X:" from the letter, or "\\?\Volume{guid}". Tests and
  // tools put an image file or block device here.
  std::u16string volume_path;
  // What the root record is called; empty: the letter and a colon ("C:").
  std::u16string root_name;
  // Where the change pass looks for the marker "_nuskignore" in a folder that existed
  // before it: kVolume reads the folder's index on the volume itself (images and devices,
  // whose index paths name no host folder); kFileSystem asks the Env for the folder's
  // index path (a live volume the system has mounted at its letter, whose raw index
  // blocks may lag behind the system's cache). The full scan always reads the volume.
  enum class MarkerLookup : uint8_t { kVolume, kFileSystem };
  MarkerLookup marker_lookup = MarkerLookup::kVolume;
  // Tests and tools: answers for a folder path ("C:\a\b") in place of the lookup.
  std::function<bool(const std::u16string& folder_path)> marker_exists;
  // NTFS itself allows '\' inside a name (ntfs-3g on Linux makes such names; Windows
  // cannot). Where index paths are shown as POSIX paths (a DriveMap without native
  // letters) such a '\' is kept as U+F05C, as the folder walk keeps it, so the index
  // never holds its folder separator inside a name and the shown path is the real one.
  // Applies to every name read from the volume: full scan, journal and live records.
  bool escape_backslash = false;
};

struct MountedVolume {
  std::u16string mount_path;
  std::u16string volume_guid;
};

// Counts of one change pass, for logs and tests.
struct ChangePassStats {
  uint32_t records_read = 0;
  uint32_t added = 0, updated = 0, renamed = 0, deleted = 0, excluded = 0;
};

class NtfsVolumeScanner {
 public:
  // env, exclusions, listener and cancel must outlive the scanner; cancel may be null.
  NtfsVolumeScanner(Env* env, NtfsVolumeConfig config, const ExclusionSettings* exclusions, INuskListener* listener,
                    ScanLog log, const std::atomic<bool>* cancel);
  ~NtfsVolumeScanner();

  // The whole per-volume update. *journal_id and *next_usn carry the state stored after
  // the previous build in and the new state out; on failure to open the volume or its
  // journal they are left unchanged. Returns false when the volume could not be read or a
  // full scan did not complete (then *journal_id is 0 so the next build scans in full).
  bool ScanVolume(uint64_t* journal_id, uint64_t* next_usn, std::vector<MountedVolume>* mounted);

  // Full scan: every kept item reaches the listener's AddRecord, the root first. True
  // when every record was read and delivered; false when the volume could not be read,
  // the MFT is damaged beyond use or the scan was cancelled (all logged).
  bool ScanMft();
  // The same over a parser opened by the caller on any RawVolume (benchmarks, tools).
  bool ScanMft(MftParser* parser);

  // One pass over the journal from *next_usn; *next_usn is advanced past what was read.
  // False when a record could not be understood (a full scan is then needed).
  bool ReadChanges(int64_t* next_usn, ChangePassStats* stats = nullptr);

  // Opens the volume and describes its journal (creating a missing one).
  bool OpenVolumeJournal();
  // Instead of OpenVolumeJournal: the change pass and the live queries use a journal and
  // a volume the caller opened (fuzzing, tools). live must have loaded its MFT; both
  // belong to the scanner from here on.
  void UseOpened(std::unique_ptr<UsnJournal> journal, const UsnJournalData& data, std::unique_ptr<MftParser> live);

  // Live-volume queries. References are index file references.
  // With indexed_name, the record also takes the name and parent that a full scan gives
  // the item: a file with several hard links is indexed under one of them, and the
  // journal may name another.
  void QueryRecordInfo(uint64_t reference, ScanRecord* record, bool indexed_name = false);
  uint64_t QuerySizeById(uint64_t reference);
  // "C:\a\b" for folder b; empty when the record cannot be read.
  std::u16string PathFromReference(uint64_t reference);
  // Whether the folder at an index path of this volume ("C:\a\b") holds the marker, in
  // the volume's own view (as the change pass sees markers).
  bool FolderHoldsMarker(const std::u16string& folder_path);

  uint32_t delivered() const { return delivered_; }
  uint16_t drive_mount_bits() const { return drive_mount_bits_; }
  const UsnJournalData& journal() const { return journal_; }

 private:
  struct PassState;
  std::unique_ptr<MftParser> OpenParser();
  std::u16string VolumePath() const;
  std::u16string RootPrefix() const;
  uint64_t ParentReference(uint64_t ntfs_parent) const;
  void MarkExclusions(const MftParser& parser, std::vector<uint8_t>* marks);
  bool ReadWindow(PassState* pass);
  bool DecodeInto(const uint8_t* bytes, size_t length, PassState* pass);
  void ApplyClose(const UsnRecord& jr, const std::u16string& name, ChangePassStats* stats);
  void ApplyRename(const UsnRecord& jr, ScanRecord* r, ChangePassStats* stats);
  bool MarkerIn(uint32_t folder_record, const std::u16string& folder_path);
  void ToIndexName(std::u16string* name) const;
  void Log(const std::string& line) const {
    if (log_) log_(line);
  }
  bool Cancelled() const { return cancel_ && cancel_->load(); }

  Env* env_;
  NtfsVolumeConfig config_;
  const ExclusionSettings* exclusions_;
  INuskListener* listener_;
  ScanLog log_;
  const std::atomic<bool>* cancel_;
  uint16_t drive_mount_bits_ = 0;
  uint32_t delivered_ = 0;

  LiveRecordReader live_;     // the volume's records as they are now
  CreatedItemFilter filter_;  // exclusions of items that appear in a change pass
  std::unique_ptr<UsnJournal> journal_handle_;
  UsnJournalData journal_{};
  std::vector<uint8_t> window_;                               // journal records of the current window
  std::vector<std::pair<size_t, UsnRecord>> window_records_;  // the same, decoded: (offset, fields)
  // Previous names of renamed items, keyed by index reference, for the whole scanner.
  std::unordered_map<uint64_t, std::u16string> rename_map_;
};

}  // namespace nusk
