// The NTFS change journal through DeviceIoControl on a read-write volume handle.
#include <windows.h>
#include <winioctl.h>

#include <cstring>

#include "platform/usn_journal.h"
#include "platform/system_services.h"
#include "platform/win32/win_text.h"
#include "util/utf.h"

namespace nusk {
namespace {

UsnJournalError ErrorOf(DWORD code) {
  switch (code) {
    case ERROR_JOURNAL_NOT_ACTIVE: return {UsnJournalError::kNotActive, code};
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION: return {UsnJournalError::kNotSupported, code};
    case ERROR_DISK_FULL: return {UsnJournalError::kDiskFull, code};
    default: return {UsnJournalError::kOther, code};
  }
}

class WinUsnJournal : public UsnJournal {
 public:
  explicit WinUsnJournal(HANDLE handle) : handle_(handle) {}
  ~WinUsnJournal() override { CloseHandle(handle_); }

  bool Query(UsnJournalData* data, UsnJournalError* error) override {
    USN_JOURNAL_DATA out{};
    DWORD got = 0;
    if (!DeviceIoControl(handle_, FSCTL_QUERY_USN_JOURNAL, nullptr, 0, &out, sizeof(out), &got, nullptr)) {
      *error = ErrorOf(GetLastError());
      return false;
    }
    data->journal_id = out.UsnJournalID;
    data->first_usn = out.FirstUsn;
    data->next_usn = out.NextUsn;
    data->lowest_valid_usn = out.LowestValidUsn;
    data->max_usn = out.MaxUsn;
    data->max_size = out.MaximumSize;
    data->allocation_delta = out.AllocationDelta;
    return true;
  }

  bool Create(uint64_t max_size, uint64_t allocation_delta, UsnJournalError* error) override {
    CREATE_USN_JOURNAL_DATA in{max_size, allocation_delta};
    DWORD got = 0;
    if (!DeviceIoControl(handle_, FSCTL_CREATE_USN_JOURNAL, &in, sizeof(in), nullptr, 0, &got, nullptr)) {
      *error = ErrorOf(GetLastError());
      return false;
    }
    return true;
  }

  int64_t Read(int64_t start_usn, uint32_t reason_mask, uint64_t journal_id, void* buffer, size_t length) override {
    READ_USN_JOURNAL_DATA in{};
    in.StartUsn = start_usn;
    in.ReasonMask = reason_mask;
    in.UsnJournalID = journal_id;
    DWORD got = 0;
    if (!DeviceIoControl(handle_, FSCTL_READ_USN_JOURNAL, &in, sizeof(in), buffer, static_cast<DWORD>(length), &got,
                         nullptr))
      return -1;
    return got;
  }

 private:
  HANDLE handle_;
};

}  // namespace

Status system_services::OpenUsnJournal(const std::u16string& volume_path, std::unique_ptr<UsnJournal>* journal,
                                       uint32_t* error_code) {
  *error_code = 0;
  HANDLE handle = CreateFileW(W(volume_path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *error_code = GetLastError();
    return Status::Error("cannot open " + ToUtf8(volume_path));
  }
  journal->reset(new WinUsnJournal(handle));
  return Status::Ok();
}

}  // namespace nusk
