// RawVolume over a Windows handle: "\\.\X:" volumes, "\\?\Volume{guid}" and image files.
#include <windows.h>
#include <winioctl.h>

#include <vector>

#include "platform/raw_volume.h"
#include "platform/win32/win_text.h"
#include "util/utf.h"

namespace nusk {
namespace {

std::string ErrorText(DWORD code) { return "system error " + std::to_string(code); }

class WinRawVolume : public RawVolume {
 public:
  explicit WinRawVolume(HANDLE handle) : handle_(handle) {}
  ~WinRawVolume() override { CloseHandle(handle_); }

  int64_t ReadAt(uint64_t offset, void* buffer, size_t length) override {
    size_t done = 0;
    char* out = static_cast<char*>(buffer);
    while (done < length) {
      LARGE_INTEGER at;
      at.QuadPart = static_cast<LONGLONG>(offset + done);
      if (!SetFilePointerEx(handle_, at, nullptr, FILE_BEGIN)) return done ? static_cast<int64_t>(done) : -1;
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(length - done, 1u << 30));
      DWORD got = 0;
      if (!ReadFile(handle_, out + done, chunk, &got, nullptr)) return done ? static_cast<int64_t>(done) : -1;
      if (got == 0) break;
      done += got;
    }
    return static_cast<int64_t>(done);
  }

  bool QueryNtfsGeometry(NtfsVolumeGeometry* geometry) override {
    NTFS_VOLUME_DATA_BUFFER data{};
    DWORD got = 0;
    if (!DeviceIoControl(handle_, FSCTL_GET_NTFS_VOLUME_DATA, nullptr, 0, &data, sizeof(data), &got, nullptr))
      return false;  // Wine answers ERROR_NOT_SUPPORTED; the boot sector serves instead
    geometry->bytes_per_sector = data.BytesPerSector;
    geometry->bytes_per_cluster = data.BytesPerCluster;
    geometry->bytes_per_file_record = data.BytesPerFileRecordSegment;
    geometry->mft_start_cluster = static_cast<uint64_t>(data.MftStartLcn.QuadPart);
    return true;
  }

  bool ReadFileRecord(uint64_t record_number, std::string* record, uint64_t* found_number) override {
    NTFS_FILE_RECORD_INPUT_BUFFER in{};
    in.FileReferenceNumber.QuadPart = static_cast<LONGLONG>(record_number);
    std::vector<char> out(sizeof(NTFS_FILE_RECORD_OUTPUT_BUFFER) + 65536);
    DWORD got = 0;
    if (!DeviceIoControl(handle_, FSCTL_GET_NTFS_FILE_RECORD, &in, sizeof(in), out.data(),
                         static_cast<DWORD>(out.size()), &got, nullptr))
      return false;
    auto* header = reinterpret_cast<NTFS_FILE_RECORD_OUTPUT_BUFFER*>(out.data());
    size_t length = header->FileRecordLength;
    size_t start = offsetof(NTFS_FILE_RECORD_OUTPUT_BUFFER, FileRecordBuffer);
    if (start + length > got) return false;
    *found_number = static_cast<uint64_t>(header->FileReferenceNumber.QuadPart) & 0xFFFFFFFFFFFFull;
    record->assign(out.data() + start, length);
    return true;
  }

  bool FileSizeById(uint64_t ntfs_reference, uint64_t* size) override {
    FILE_ID_DESCRIPTOR id{};
    id.dwSize = sizeof(id);
    id.Type = FileIdType;
    id.FileId.QuadPart = static_cast<LONGLONG>(ntfs_reference);
    HANDLE file = OpenFileById(handle_, &id, 0x120089, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, 0);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER value{};
    BOOL ok = GetFileSizeEx(file, &value);
    CloseHandle(file);
    if (!ok) return false;
    *size = static_cast<uint64_t>(value.QuadPart);
    return true;
  }

 private:
  HANDLE handle_;
};

}  // namespace

Status RawVolume::Open(const std::u16string& path, std::unique_ptr<RawVolume>* volume) {
  volume->reset();
  HANDLE handle = CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return Status::Error("cannot open " + ToUtf8(path) + ": " + ErrorText(GetLastError()));
  volume->reset(new WinRawVolume(handle));
  return Status::Ok();
}

}  // namespace nusk
