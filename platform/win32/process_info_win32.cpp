#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <clocale>

#include "platform/process_info.h"
#include "platform/win32/win_text.h"

namespace nusk {

std::vector<std::u16string> CommandLineArguments(int, char**) {
  std::vector<std::u16string> args;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!argv) return args;
  for (int i = 0; i < count; ++i) args.push_back(U(argv[i]));
  LocalFree(argv);
  return args;
}

void UseUserLocale() { _wsetlocale(LC_ALL, L""); }

uint64_t ProcessStorageReadBytes() {
  IO_COUNTERS io;
  if (!GetProcessIoCounters(GetCurrentProcess(), &io)) return 0;
  return io.ReadTransferCount;
}

bool IsNewerSystem() {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  info.dwMajorVersion = 6;
  info.dwMinorVersion = 0;
  info.wServicePackMajor = 0;
  ULONGLONG mask = 0;
  mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
  mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
  mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  return VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE;
}

std::u16string ParentProcessName() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return std::u16string();
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  DWORD self = GetCurrentProcessId();
  DWORD parent = 0;
  bool found_self = false;
  for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == self) {
      parent = entry.th32ParentProcessID;
      found_self = true;
      break;
    }
  }
  std::u16string name;
  if (found_self && parent != 0) {
    entry.dwSize = sizeof(entry);
    for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry)) {
      if (entry.th32ProcessID == parent) {
        name = U(entry.szExeFile);
        size_t cut = name.rfind(u'\\');
        if (cut != std::u16string::npos) name.erase(0, cut + 1);
        break;
      }
    }
  }
  CloseHandle(snapshot);
  return name;
}

OptionalEntryPoints LoadOptionalEntryPoints() {
  OptionalEntryPoints p;
  auto find = [](HMODULE module, const char* name) -> void* {
    return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
  };
  HMODULE uxtheme = LoadLibraryW(L"UXTHEME.DLL");
  p.get_buffered_paint_bits = find(uxtheme, "GetBufferedPaintBits");
  p.begin_buffered_paint = find(uxtheme, "BeginBufferedPaint");
  p.end_buffered_paint = find(uxtheme, "EndBufferedPaint");
  p.dwm_is_composition_enabled = find(LoadLibraryW(L"dwmapi.dll"), "DwmIsCompositionEnabled");
  p.sh_create_item_from_parsing_name = find(LoadLibraryW(L"Shell32.dll"), "SHCreateItemFromParsingName");
  p.nt_create_file = find(GetModuleHandleW(L"ntdll.dll"), "NtCreateFile");
  p.open_file_by_id = find(GetModuleHandleW(L"Kernel32.dll"), "OpenFileById");
  return p;
}

}  // namespace nusk
