// Volumes over the Win32 API.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <wbemcli.h>
#include <winioctl.h>

#include <cstring>

#include "platform/volume.h"
#include "platform/win32/win_text.h"

namespace nusk {

namespace {

// "C:\" -> "\\.\C:"
std::wstring DevicePath(const std::u16string& root) {
  std::wstring path = L"\\\\.\\";
  if (!root.empty()) path.push_back(static_cast<wchar_t>(root[0]));
  path.push_back(L':');
  return path;
}

// A drive whose volume cannot be asked although its root folder opens (Wine drives that
// point at a folder): no file system name (so it is walked) and a serial number from the
// root folder's file id, stable from build to build and never 0.
bool QueryFolderVolume(const std::u16string& root, VolumeInfo* info) {
  HANDLE h = CreateFileW(W(root).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION fi;
  BOOL ok = GetFileInformationByHandle(h, &fi);
  CloseHandle(h);
  if (!ok || !(fi.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  uint32_t serial = fi.dwVolumeSerialNumber ? fi.dwVolumeSerialNumber : (fi.nFileIndexLow ^ fi.nFileIndexHigh);
  info->file_system.clear();
  info->label.clear();
  info->serial = serial ? serial : 0x4E55534Bu;
  return true;
}

// Releases a COM interface when it goes out of scope.
template <typename T>
struct ComRef {
  T* p = nullptr;
  ~ComRef() {
    if (p) p->Release();
  }
};

// "Select DeviceID FROM Win32_LogicalDisk " over WMI: one letter per DeviceID ("A:").
bool QueryLogicalDisksByWmi(std::u16string* letters) {
  HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  bool uninit = SUCCEEDED(init);  // RPC_E_CHANGED_MODE: the thread already has COM
  // Fails harmlessly when the process already chose its security (RPC_E_TOO_LATE).
  CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                       EOAC_NONE, nullptr);
  bool queried = false;
  {
    ComRef<IWbemLocator> locator;
    ComRef<IWbemServices> services;
    ComRef<IEnumWbemClassObject> rows;
    BSTR ns = SysAllocString(L"ROOT\\CIMV2");
    BSTR language = SysAllocString(L"WQL");
    BSTR query = SysAllocString(L"Select DeviceID FROM Win32_LogicalDisk ");
    if (ns && language && query &&
        SUCCEEDED(CoCreateInstance(__uuidof(WbemLocator), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWbemLocator),
                                   reinterpret_cast<void**>(&locator.p))) &&
        SUCCEEDED(locator.p->ConnectServer(ns, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services.p)) &&
        SUCCEEDED(CoSetProxyBlanket(services.p, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE)) &&
        SUCCEEDED(services.p->ExecQuery(language, query, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                        &rows.p))) {
      queried = true;
      for (;;) {
        ComRef<IWbemClassObject> row;
        ULONG got = 0;
        // A bounded wait: a service that stops answering must not hang the caller.
        if (FAILED(rows.p->Next(10000, 1, &row.p, &got)) || got == 0) break;
        VARIANT id;
        VariantInit(&id);
        if (SUCCEEDED(row.p->Get(L"DeviceID", 0, &id, nullptr, nullptr)) && id.vt == VT_BSTR && id.bstrVal &&
            id.bstrVal[0]) {
          letters->push_back(static_cast<char16_t>(id.bstrVal[0]));
        }
        VariantClear(&id);
      }
    }
    SysFreeString(ns);
    SysFreeString(language);
    SysFreeString(query);
  }
  if (uninit) CoUninitialize();
  return queried;
}

// Whether a volume the system calls "NTFS" really has an NTFS boot sector, for the MFT
// reader depends on it. Wine calls every folder drive "NTFS" although its device reads
// nothing. When the device cannot be opened at all (no administrator rights) the
// system's word is taken.
bool ConfirmNtfsBootSector(const std::u16string& root) {
  HANDLE h = CreateFileW(DevicePath(root).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return true;
  // Device reads need sector-aligned buffers: a page from VirtualAlloc is.
  void* sector = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  DWORD got = 0;
  bool ntfs = sector && ReadFile(h, sector, 4096, &got, nullptr) && got >= 512 &&
              std::memcmp(static_cast<char*>(sector) + 3, "NTFS    ", 8) == 0;
  if (sector) VirtualFree(sector, 0, MEM_RELEASE);
  CloseHandle(h);
  return ntfs;
}

class Win32Volumes : public Volumes {
 public:
  uint32_t LogicalDrives() override { return GetLogicalDrives() & 0x03FFFFFFu; }

  DriveType TypeOf(const std::u16string& root) override {
    return static_cast<DriveType>(GetDriveTypeW(W(root).c_str()));
  }

  bool QueryVolume(const std::u16string& root, VolumeInfo* info) override {
    wchar_t label[MAX_PATH + 1] = {0};
    wchar_t fs[MAX_PATH + 1] = {0};
    DWORD serial = 0;
    UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS);  // no "insert a disk" box
    BOOL ok = GetVolumeInformationW(W(root).c_str(), label, MAX_PATH, &serial, nullptr, nullptr, fs, MAX_PATH);
    SetErrorMode(old_mode);
    if (!ok) return QueryFolderVolume(root, info);
    info->file_system = U(fs);
    if (info->file_system == u"NTFS" && !ConfirmNtfsBootSector(root)) info->file_system.clear();
    info->label = U(label);
    info->serial = serial;
    return true;
  }

  bool QuerySpace(const std::u16string& root, uint64_t* total, uint64_t* free_bytes) override {
    ULARGE_INTEGER avail, size, free_total;
    if (!GetDiskFreeSpaceExW(W(root).c_str(), &avail, &size, &free_total)) return false;
    *total = size.QuadPart;
    *free_bytes = free_total.QuadPart;
    return true;
  }

  std::u16string DisplayName(const std::u16string& root) override {
    SHFILEINFOW sfi;
    ZeroMemory(&sfi, sizeof(sfi));
    if (SHGetFileInfoW(W(root).c_str(), 0, &sfi, sizeof(sfi), SHGFI_DISPLAYNAME) == 0) return std::u16string();
    return U(sfi.szDisplayName);
  }

  bool CanOpenVolume(const std::u16string& root) override {
    HANDLE h = CreateFileW(DevicePath(root).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
  }

  DiskLookup DiskNumber(const std::u16string& root, uint32_t* disk) override {
    HANDLE h = CreateFileW(DevicePath(root).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return DiskLookup::kCannotOpen;
    STORAGE_DEVICE_NUMBER number;
    DWORD got = 0;
    BOOL ok = DeviceIoControl(h, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof(number), &got, nullptr);
    CloseHandle(h);
    if (!ok) return DiskLookup::kNotADisk;
    *disk = number.DeviceNumber;
    return DiskLookup::kDisk;
  }

  uint64_t FolderFileId(const std::u16string& path) override {
    HANDLE h = CreateFileW(W(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return ~uint64_t{0};
    BY_HANDLE_FILE_INFORMATION info;
    BOOL ok = GetFileInformationByHandle(h, &info);
    CloseHandle(h);
    if (!ok) return ~uint64_t{0};
    return (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  }

  DiskPower QueryDiskPower(uint32_t disk) override {
    wchar_t path[64];
    wsprintfW(path, L"\\\\.\\PhysicalDrive%u", disk);
    HANDLE h = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return DiskPower::kUnknown;
    BOOL on = FALSE;
    BOOL ok = GetDevicePowerState(h, &on);
    CloseHandle(h);
    if (!ok) return DiskPower::kUnknown;
    return on ? DiskPower::kSpinning : DiskPower::kAsleep;
  }

  bool LogicalDisksByWmi(std::u16string* letters) override { return QueryLogicalDisksByWmi(letters); }

  std::vector<FolderMount> FolderMounts(const std::u16string& root) override {
    std::vector<FolderMount> mounts;
    std::wstring r = W(root);
    if (r.empty()) return mounts;
    if (r.back() != L'\\') r.push_back(L'\\');
    wchar_t volume[MAX_PATH + 1] = {0};
    if (!GetVolumeNameForVolumeMountPointW(r.c_str(), volume, MAX_PATH)) return mounts;
    wchar_t relative[MAX_PATH + 1] = {0};
    HANDLE find = FindFirstVolumeMountPointW(volume, relative, MAX_PATH);  // needs administrator rights
    if (find == INVALID_HANDLE_VALUE) return mounts;
    do {
      FolderMount m;
      if (DescribeMount(r + relative, &m)) mounts.push_back(std::move(m));
    } while (FindNextVolumeMountPointW(find, relative, MAX_PATH));
    FindVolumeMountPointClose(find);
    return mounts;
  }

 private:
  // folder: "C:\mnt\data\" -> its volume "\\?\Volume{guid}" and file system.
  static bool DescribeMount(const std::wstring& folder, FolderMount* m) {
    wchar_t target[MAX_PATH + 1] = {0};
    if (!GetVolumeNameForVolumeMountPointW(folder.c_str(), target, MAX_PATH)) return false;
    std::wstring t = target;
    size_t open = t.find(L'{'), close = t.find(L'}');
    if (open == std::wstring::npos || close == std::wstring::npos || close < open) return false;
    m->volume_id = U(t.substr(open + 1, close - open - 1)).substr(0, 36);
    wchar_t fs[MAX_PATH + 1] = {0};
    UINT old_mode = SetErrorMode(SEM_FAILCRITICALERRORS);
    if (GetVolumeInformationW(target, nullptr, 0, nullptr, nullptr, nullptr, fs, MAX_PATH)) m->file_system = U(fs);
    SetErrorMode(old_mode);
    while (!t.empty() && t.back() == L'\\') t.pop_back();  // the raw volume, not its root folder
    m->device = U(t);
    std::wstring f = folder;
    while (f.size() > 3 && f.back() == L'\\') f.pop_back();
    m->folder = U(f);
    return true;
  }
};

}  // namespace

Volumes* Volumes::Default() {
  static Win32Volumes volumes;
  return &volumes;
}

}  // namespace nusk
