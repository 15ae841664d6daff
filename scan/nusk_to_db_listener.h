// CNuskToDbListener: applies what the scanners report to the writable index.
//
// Every change is made while holding IndexMutex() (settings/process_state.h), so the
// commit that the Ctrl-C handler may run from its own thread never sees half a change.
// Used on the build thread; one listener per drive build.
#pragma once
#include <string>
#include <vector>

#include "scan/nusk_listener.h"

namespace nusk {

class NuskDbWriter;

class CNuskToDbListener : public INuskListener {
 public:
  explicit CNuskToDbListener(NuskDbWriter* writer) : writer_(writer) {}

  void DriveScanned(char16_t drive_letter) override;
  void IgnoredFolderFound(const std::u16string& folder_path) override;
  void ForgetVolume(char16_t drive_letter, uint8_t mount_index) override;
  void AddRecord(const ScanRecord& record) override;
  void UpdateRecord(const ScanRecord& record, const std::u16string* old_name) override;
  void DeleteRecord(const ScanRecord& record) override;
  void DeleteByReference(const ScanRecord& record) override;

  // The folders holding a marker file, in the order found.
  const std::vector<std::u16string>& ignored_folders() const { return ignored_; }

 private:
  NuskDbWriter* writer_;
  std::vector<std::u16string> ignored_;
};

}  // namespace nusk
