// Message-type named pipes. The server handle is overlapped so the wait for a client
// can time out; reads and writes then wait for their own completion.
#include <windows.h>
#include <aclapi.h>

#include <algorithm>

#include "platform/pipe.h"
#include "platform/win32/win_text.h"

namespace nusk {

namespace {

Status Error(const char* what, DWORD err) {
  return Status::Error(std::string(what) + ", GLE=" + std::to_string(err) + ".");
}

class Win32Pipe : public MessagePipe {
 public:
  Win32Pipe(HANDLE h, bool overlapped) : h_(h), overlapped_(overlapped) {
    if (overlapped_) event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  }
  ~Win32Pipe() override {
    if (overlapped_) FlushFileBuffers(h_);  // let the client read what was sent
    CloseHandle(h_);
    if (event_) CloseHandle(event_);
  }

  bool WriteMessage(std::string_view bytes) override {
    DWORD done = 0;
    return Io(false, const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()), &done) && done == bytes.size();
  }

  ReadResult ReadPiece(size_t max_bytes, std::string* piece) override {
    piece->resize(std::max<size_t>(max_bytes, 1));
    DWORD got = 0;
    bool ok = Io(true, piece->data(), static_cast<DWORD>(piece->size()), &got);
    DWORD err = ok ? 0 : GetLastError();
    if (!ok && err != ERROR_MORE_DATA) {
      piece->clear();
      return err == ERROR_BROKEN_PIPE || err == ERROR_PIPE_NOT_CONNECTED ? ReadResult::kEnd : ReadResult::kError;
    }
    piece->resize(got);
    return got == 0 ? ReadResult::kEnd : ReadResult::kPiece;
  }

 private:
  bool Io(bool read, char* data, DWORD size, DWORD* done) {
    if (!overlapped_) {
      return read ? ReadFile(h_, data, size, done, nullptr) : WriteFile(h_, data, size, done, nullptr);
    }
    OVERLAPPED ov;
    ZeroMemory(&ov, sizeof(ov));
    ov.hEvent = event_;
    BOOL ok = read ? ReadFile(h_, data, size, nullptr, &ov) : WriteFile(h_, data, size, nullptr, &ov);
    if (!ok && GetLastError() != ERROR_IO_PENDING) return false;
    return GetOverlappedResult(h_, &ov, done, TRUE) != 0;
  }

  HANDLE h_;
  bool overlapped_;
  HANDLE event_ = nullptr;
};

}  // namespace

Status MessagePipe::Serve(const std::u16string& name, uint32_t timeout_ms, std::unique_ptr<MessagePipe>* pipe) {
  // Everyone (S-1-1-0) gets all access rights.
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
    return Error("AllocateAndInitializeSid failed", GetLastError());
  }
  EXPLICIT_ACCESSW ea;
  ZeroMemory(&ea, sizeof(ea));
  ea.grfAccessPermissions = 0x1FFFFF;
  ea.grfAccessMode = SET_ACCESS;
  ea.grfInheritance = NO_INHERITANCE;
  ea.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  ea.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  ea.Trustee.ptstrName = static_cast<LPWSTR>(everyone);
  PACL acl = nullptr;
  DWORD rc = SetEntriesInAclW(1, &ea, nullptr, &acl);
  SECURITY_DESCRIPTOR sd;
  SECURITY_ATTRIBUTES sa{sizeof(sa), &sd, FALSE};
  bool have_sd = rc == ERROR_SUCCESS && InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
                 SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
  HANDLE h = CreateNamedPipeW(W(name).c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                              PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES, 512, 512,
                              0, have_sd ? &sa : nullptr);
  DWORD create_err = GetLastError();
  if (acl) LocalFree(acl);
  FreeSid(everyone);
  if (h == INVALID_HANDLE_VALUE) return Error("CreateNamedPipe failed", create_err);

  OVERLAPPED ov;
  ZeroMemory(&ov, sizeof(ov));
  ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  bool connected = ConnectNamedPipe(h, &ov) != 0;
  DWORD err = connected ? 0 : GetLastError();
  if (!connected && err == ERROR_PIPE_CONNECTED) connected = true;
  if (!connected && err == ERROR_IO_PENDING) {
    if (WaitForSingleObject(ov.hEvent, timeout_ms) == WAIT_OBJECT_0) {
      DWORD dummy = 0;
      connected = GetOverlappedResult(h, &ov, &dummy, FALSE) != 0;
    } else {
      CancelIo(h);
      DWORD dummy = 0;
      GetOverlappedResult(h, &ov, &dummy, TRUE);
    }
  }
  CloseHandle(ov.hEvent);
  if (!connected) {
    CloseHandle(h);
    return Status::Error("Client connect timeout..");
  }
  pipe->reset(new Win32Pipe(h, true));
  return Status::Ok();
}

Status MessagePipe::Connect(const std::u16string& name, uint32_t busy_wait_ms, std::unique_ptr<MessagePipe>* pipe) {
  std::wstring wname = W(name);
  HANDLE h;
  for (;;) {
    h = CreateFileW(wname.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) break;
    DWORD err = GetLastError();
    if (err != ERROR_PIPE_BUSY) return Error("cannot open pipe", err);
    if (!WaitNamedPipeW(wname.c_str(), busy_wait_ms)) {
      return Status::Error("Could not open pipe: " + std::to_string(busy_wait_ms / 1000) + " second wait timed out.");
    }
  }
  DWORD mode = PIPE_READMODE_MESSAGE;
  if (!SetNamedPipeHandleState(h, &mode, nullptr, nullptr)) {
    DWORD err = GetLastError();
    CloseHandle(h);
    return Error("SetNamedPipeHandleState failed", err);
  }
  pipe->reset(new Win32Pipe(h, false));
  return Status::Ok();
}

}  // namespace nusk
