#include "scan/nusk_to_db_listener.h"

#include <mutex>

#include "index/nusk_db_writer.h"
#include "settings/process_state.h"

namespace nusk {

void CNuskToDbListener::DriveScanned(char16_t drive_letter) {
  std::lock_guard<std::mutex> lock(IndexMutex());
  writer_->DriveScanned(drive_letter);
}

void CNuskToDbListener::IgnoredFolderFound(const std::u16string& folder_path) { ignored_.push_back(folder_path); }

void CNuskToDbListener::ForgetVolume(char16_t drive_letter, uint8_t mount_index) {
  std::lock_guard<std::mutex> lock(IndexMutex());
  writer_->ForgetVolume(drive_letter, mount_index);
}

void CNuskToDbListener::AddRecord(const ScanRecord& record) {
  std::lock_guard<std::mutex> lock(IndexMutex());
  writer_->AddRecord(record);
}

void CNuskToDbListener::UpdateRecord(const ScanRecord& record, const std::u16string* old_name) {
  std::lock_guard<std::mutex> lock(IndexMutex());
  if (!old_name) {
    writer_->UpdateRecord(record);
    return;
  }
  if (writer_->RenameRecord(record, *old_name)) return;
  // No item under the old name: it was left out of the index. The item is new, unless a
  // pass that read these journal records before already added it.
  if (!writer_->UpdateRecord(record)) writer_->AddRecord(record);
}

void CNuskToDbListener::DeleteRecord(const ScanRecord& record) {
  std::lock_guard<std::mutex> lock(IndexMutex());
  writer_->DeleteRecord(record);
}

void CNuskToDbListener::DeleteByReference(const ScanRecord& record) {
  std::lock_guard<std::mutex> lock(IndexMutex());
  writer_->DeleteByReference(record.reference, record.is_folder != 0);
}

}  // namespace nusk
