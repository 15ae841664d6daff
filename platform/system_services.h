// The system's own forms of the Env operations that make objects (folder listers, raw
// volumes, change journals, file streams, append files), one per platform in
// posix/*_posix.cpp and win32/*_win32.cpp. Only SystemServicesEnv, the base of each
// platform's Env, calls them: everything else goes through the Env it was given, so a
// test's Env stands in.
#pragma once
#include "platform/env.h"

namespace nusk {
namespace system_services {

Status NewVolumeLister(const std::u16string& root, std::unique_ptr<VolumeLister>* lister);
Status OpenRawVolume(const std::u16string& path, std::unique_ptr<RawVolume>* volume);
Status OpenUsnJournal(const std::u16string& volume_path, std::unique_ptr<UsnJournal>* journal, uint32_t* error_code);
std::unique_ptr<FileStream> OpenFileStream(const std::u16string& path, bool* not_regular);
bool OpenBelow(const std::u16string& root, const std::vector<std::u16string>& names, OpenedItem* out);
Status NewAppendFile(const std::u16string& path, bool append, std::unique_ptr<AppendFile>* file);

}  // namespace system_services

// The base of each platform's Env: the object-making operations answered by the system.
class SystemServicesEnv : public Env {
 public:
  Status NewVolumeLister(const std::u16string& root, std::unique_ptr<VolumeLister>* lister) override;
  Status OpenRawVolume(const std::u16string& path, std::unique_ptr<RawVolume>* volume) override;
  Status OpenUsnJournal(const std::u16string& volume_path, std::unique_ptr<UsnJournal>* journal,
                        uint32_t* error_code) override;
  std::unique_ptr<FileStream> OpenFileStream(const std::u16string& path, bool* not_regular) override;
  bool OpenBelow(const std::u16string& root, const std::vector<std::u16string>& names, OpenedItem* out) override;
  Status NewAppendFile(const std::u16string& path, bool append, std::unique_ptr<AppendFile>* file) override;
};

}  // namespace nusk
