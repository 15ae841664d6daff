// RawVolume over a Windows handle: "\\.\X:" volumes, "\\?\Volume{guid}" and image files.
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/raw_volume.h"
#include "platform/system_services.h"
#include "platform/win32/win_text.h"
#include "util/utf.h"

namespace nusk {
namespace {

std::string ErrorText(DWORD code) { return "system error " + std::to_string(code); }

// Volume handles are read without the system's cache: offsets, lengths and buffer
// addresses must then be multiples of the sector size (4096 on 4K-native disks), which
// a 512-byte boot sector read or a single 1 KiB record does not meet. Such reads go
// through an aligned bounce buffer; 4096 covers every sector size NTFS supports.
constexpr size_t kAlign = 4096;
constexpr size_t kBounceBytes = 1 << 20;
// Output of FSCTL_GET_NTFS_FILE_RECORD: its header, then a record of up to 64 KiB.
constexpr size_t kFileRecordOutput = sizeof(NTFS_FILE_RECORD_OUTPUT_BUFFER) + 65536;

class WinRawVolume : public RawVolume {
 public:
  explicit WinRawVolume(HANDLE handle) : handle_(handle) {}
  ~WinRawVolume() override {
    CloseHandle(handle_);
    if (bounce_) VirtualFree(bounce_, 0, MEM_RELEASE);
  }

  int64_t ReadAt(uint64_t offset, void* buffer, size_t length) override {
    int64_t got = ReadExact(offset, buffer, length);
    if (got == static_cast<int64_t>(length)) return got;
    // Refused or cut short: an unaligned request on a volume, or the end of an image
    // (where the aligned read returns the same short count).
    return ReadThroughBounce(offset, static_cast<char*>(buffer), length);
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
    if (record_output_.empty()) record_output_.resize(kFileRecordOutput);
    NTFS_FILE_RECORD_INPUT_BUFFER in{};
    in.FileReferenceNumber.QuadPart = static_cast<LONGLONG>(record_number);
    DWORD got = 0;
    if (!DeviceIoControl(handle_, FSCTL_GET_NTFS_FILE_RECORD, &in, sizeof(in), record_output_.data(),
                         static_cast<DWORD>(record_output_.size()), &got, nullptr))
      return false;
    // Reference (8 bytes), record length (4 bytes), then the record at offset 12.
    const size_t start = offsetof(NTFS_FILE_RECORD_OUTPUT_BUFFER, FileRecordBuffer);
    if (got < start) return false;
    LARGE_INTEGER reference;
    DWORD length = 0;
    std::memcpy(&reference, record_output_.data(), sizeof reference);
    std::memcpy(&length, record_output_.data() + offsetof(NTFS_FILE_RECORD_OUTPUT_BUFFER, FileRecordLength),
                sizeof length);
    if (length == 0 || length > got - start) return false;
    *found_number = static_cast<uint64_t>(reference.QuadPart) & 0xFFFFFFFFFFFFull;
    record->assign(record_output_.data() + start, length);
    return true;
  }

  // Asked once: record 0 (the $MFT itself) is always in use on an NTFS volume, so a
  // failure means the control code is not served here (image files, Wine).
  bool ServesFileRecords() override {
    if (serves_records_ < 0) {
      std::string record;
      uint64_t found = 0;
      serves_records_ = ReadFileRecord(0, &record, &found) && found == 0 ? 1 : 0;
    }
    return serves_records_ == 1;
  }

  bool FileSizeById(uint64_t ntfs_reference, uint64_t* size) override {
    FILE_ID_DESCRIPTOR id{};
    id.dwSize = sizeof(id);
    id.Type = FileIdType;
    id.FileId.QuadPart = static_cast<LONGLONG>(ntfs_reference);
    // Attributes only: that is all a size needs, and such an open is not refused by
    // another program holding the file without read sharing. A link is measured itself,
    // as the MFT describes it, not its target.
    HANDLE file = OpenFileById(handle_, &id, FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER value{};
    BOOL ok = GetFileSizeEx(file, &value);
    CloseHandle(file);
    if (!ok) return false;
    *size = static_cast<uint64_t>(value.QuadPart);
    return true;
  }

 private:
  // Reads exactly what was asked; fewer bytes at the end of the file, -1 when refused.
  int64_t ReadExact(uint64_t offset, void* buffer, size_t length) {
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

  // The same read in aligned pieces through a page-aligned buffer.
  int64_t ReadThroughBounce(uint64_t offset, char* out, size_t length) {
    if (!bounce_)
      bounce_ = static_cast<char*>(VirtualAlloc(nullptr, kBounceBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!bounce_) return -1;
    size_t done = 0;
    while (done < length) {
      const uint64_t at = offset + done;
      const uint64_t base = at - at % kAlign;
      const size_t skip = static_cast<size_t>(at - base);
      size_t want = std::min(kBounceBytes, (skip + (length - done) + kAlign - 1) / kAlign * kAlign);
      int64_t got = ReadExact(base, bounce_, want);
      if (got < 0) return done ? static_cast<int64_t>(done) : -1;
      if (got <= static_cast<int64_t>(skip)) break;  // the end of the volume
      size_t n = std::min(static_cast<size_t>(got) - skip, length - done);
      std::memcpy(out + done, bounce_ + skip, n);
      done += n;
      if (static_cast<size_t>(got) < want) break;  // the end of the volume
    }
    return static_cast<int64_t>(done);
  }

  HANDLE handle_;
  char* bounce_ = nullptr;
  std::vector<char> record_output_;  // reused: a change pass asks for thousands of records
  int serves_records_ = -1;          // -1 not asked yet
};

}  // namespace

Status system_services::OpenRawVolume(const std::u16string& path, std::unique_ptr<RawVolume>* volume) {
  volume->reset();
  HANDLE handle = CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
  if (handle == INVALID_HANDLE_VALUE)
    return Status::Error("cannot open " + ToUtf8(path) + ": " + ErrorText(GetLastError()));
  volume->reset(new WinRawVolume(handle));
  return Status::Ok();
}

}  // namespace nusk
