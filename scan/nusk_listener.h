// INuskListener: where every scanner reports what it finds.
//
// The build implements it against the writable index (CNuskToDbListener); tests
// implement it to collect records. Contract for implementers: every call arrives on the
// scanning (build) thread, one at a time; the references passed are index file
// references (scan/scan_record.h). A listener must not call back into the scanner.
#pragma once
#include <cstdint>
#include <string>

#include "scan/scan_record.h"

namespace nusk {

class INuskListener {
 public:
  virtual ~INuskListener() = default;

  // A drive's build finished (drive letter 'A'..'Z').
  virtual void DriveScanned(char16_t drive_letter) = 0;

  // A folder holding the marker file "_nuskignore" was found and left out of the index.
  // folder_path is the full path without a trailing backslash ("C:\\a\\b"); it is empty
  // when the path could not be built (the folder is excluded all the same).
  virtual void IgnoredFolderFound(const std::u16string& folder_path) = 0;

  // Every record of the volume (drive letter, mount index) is to be forgotten before a
  // full scan delivers it again. Mount index 0 is the drive-letter volume itself.
  virtual void ForgetVolume(char16_t drive_letter, uint8_t mount_index) = 0;

  // A new item (or, during a full scan, every kept item; the drive's root comes first).
  virtual void AddRecord(const ScanRecord& record) = 0;

  // An item changed. With old_name non-null the item was renamed from that name
  // (moved items carry their new parent in the record); when no item of that name has
  // the reference, the old name was left out of the index (a temporary file saved under
  // its final name), and the record is new to the index. With null only its time or
  // size changed.
  virtual void UpdateRecord(const ScanRecord& record, const std::u16string* old_name) = 0;

  // The item with record.reference and record.name is gone.
  virtual void DeleteRecord(const ScanRecord& record) = 0;

  // The item with record.reference is gone under a name the scanner does not know (it
  // was renamed from a name read before this scan began); record.name is its new name.
  // Slower than DeleteRecord: the item is looked for by its reference alone.
  virtual void DeleteByReference(const ScanRecord& record) = 0;
};

}  // namespace nusk
