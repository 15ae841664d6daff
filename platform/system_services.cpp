#include "platform/system_services.h"

#include "platform/append_file.h"
#include "platform/file_stream.h"
#include "platform/raw_volume.h"
#include "platform/usn_journal.h"
#include "platform/volume_lister.h"

namespace nusk {

Status SystemServicesEnv::NewVolumeLister(const std::u16string& root, std::unique_ptr<VolumeLister>* lister) {
  return system_services::NewVolumeLister(root, lister);
}

Status SystemServicesEnv::OpenRawVolume(const std::u16string& path, std::unique_ptr<RawVolume>* volume) {
  return system_services::OpenRawVolume(path, volume);
}

Status SystemServicesEnv::OpenUsnJournal(const std::u16string& volume_path, std::unique_ptr<UsnJournal>* journal,
                                         uint32_t* error_code) {
  return system_services::OpenUsnJournal(volume_path, journal, error_code);
}

std::unique_ptr<FileStream> SystemServicesEnv::OpenFileStream(const std::u16string& path, bool* not_regular) {
  return system_services::OpenFileStream(path, not_regular);
}

bool SystemServicesEnv::OpenBelow(const std::u16string& root, const std::vector<std::u16string>& names,
                                  OpenedItem* out) {
  return system_services::OpenBelow(root, names, out);
}

Status SystemServicesEnv::NewAppendFile(const std::u16string& path, bool append, std::unique_ptr<AppendFile>* file) {
  return system_services::NewAppendFile(path, append, file);
}

}  // namespace nusk
