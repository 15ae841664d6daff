// The crash handler on Windows: an unhandled-exception filter that writes a minidump
// beside the build log, appends the prepared report and the memory figures, and passes
// the exception on to the system.
#include <windows.h>
#include <dbghelp.h>
#include <psapi.h>

#include <cpuid.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/crash.h"
#include "platform/win32/win_text.h"

namespace nusk {

namespace {

// Prepared at installation; the filter only reads them.
std::wstring* g_log_path = nullptr;
std::wstring* g_dump_folder = nullptr;
std::wstring* g_dump_stem = nullptr;
std::string* g_prepared = nullptr;
bool g_end_after_report = false;

void Append(HANDLE file, const char* text, size_t n) {
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(n), &written, nullptr);
}

void AppendLine(HANDLE file, const char* format, unsigned long long v) {
  char line[96];
  int n = std::snprintf(line, sizeof(line), format, v);
  if (n > 0) Append(file, line, static_cast<size_t>(n));
}

// Small dumps keep a module's data segments only when memory refers to the module.
BOOL CALLBACK SmallDumpFilter(PVOID, const PMINIDUMP_CALLBACK_INPUT input, PMINIDUMP_CALLBACK_OUTPUT output) {
  if (input && output && input->CallbackType == ModuleCallback &&
      !(output->ModuleWriteFlags & ModuleReferencedByMemory)) {
    output->ModuleWriteFlags &= ~ModuleWriteDataSeg;
  }
  return TRUE;
}

void WriteDump(EXCEPTION_POINTERS* info) {
  std::wstring folder = *g_dump_folder;
  bool full = GetFileAttributesW((folder + L"_MAX_DMP").c_str()) != INVALID_FILE_ATTRIBUTES;
  std::wstring path = folder + *g_dump_stem + (full ? L".max.dmp" : L".mini.dmp");
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  MINIDUMP_EXCEPTION_INFORMATION exception{GetCurrentThreadId(), info, FALSE};
  MINIDUMP_CALLBACK_INFORMATION callback{SmallDumpFilter, nullptr};
  auto type = static_cast<MINIDUMP_TYPE>(full ? 0x1826 : 0x50);
  MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, type, info ? &exception : nullptr, nullptr,
                    full ? nullptr : &callback);
  CloseHandle(file);
}

void WriteMemory(HANDLE file) {
  const char header[] = "-- memory info --\n";
  Append(file, header, sizeof(header) - 1);
  MEMORYSTATUSEX m;
  m.dwLength = sizeof(m);
  if (GlobalMemoryStatusEx(&m)) {
    AppendLine(file, "Total Physical Memory: %llu\n", m.ullTotalPhys);
    AppendLine(file, "Physical Memory Used: %llu\n", m.ullTotalPhys - m.ullAvailPhys);
    AppendLine(file, "Total Virtual Memory: %llu\n", m.ullTotalVirtual);
    AppendLine(file, "Virtual Memory Used: %llu\n", m.ullTotalVirtual - m.ullAvailVirtual);
  }
  PROCESS_MEMORY_COUNTERS_EX pm;
  if (K32GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pm), sizeof(pm))) {
    AppendLine(file, "Working Set Size: %llu\n", pm.WorkingSetSize);
    AppendLine(file, "Private Working Set Size: %llu\n", pm.PrivateUsage);
  }
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* info) {
  if (!g_log_path) return EXCEPTION_CONTINUE_SEARCH;
  WriteDump(info);
  HANDLE file = CreateFileW(g_log_path->c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    Append(file, g_prepared->data(), g_prepared->size());
    const std::string_view tail = CrashReportTail();
    Append(file, tail.data(), tail.size());
    if (info && info->ExceptionRecord) AppendLine(file, "Exception: 0x%llx\n", info->ExceptionRecord->ExceptionCode);
    WriteMemory(file);
    CloseHandle(file);
  }
  return g_end_after_report ? EXCEPTION_EXECUTE_HANDLER : EXCEPTION_CONTINUE_SEARCH;
}

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);

std::string BrandString() {
  unsigned regs[12] = {};
  for (unsigned i = 0; i < 3; ++i) {
    if (!__get_cpuid(0x80000002u + i, &regs[4 * i], &regs[4 * i + 1], &regs[4 * i + 2], &regs[4 * i + 3])) return "";
  }
  char text[49] = {};
  std::memcpy(text, regs, 48);
  std::string s = text;
  size_t start = s.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : s.substr(start);
}

void CountProcessors(int* cores, int* logical) {
  *cores = *logical = 0;
  DWORD bytes = 0;
  GetLogicalProcessorInformation(nullptr, &bytes);
  std::string buffer(bytes, '\0');
  auto* info = reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION*>(buffer.data());
  if (bytes == 0 || !GetLogicalProcessorInformation(info, &bytes)) return;
  for (size_t i = 0; i < bytes / sizeof(*info); ++i) {
    if (info[i].Relationship != RelationProcessorCore) continue;
    ++*cores;
    for (ULONG_PTR mask = info[i].ProcessorMask; mask; mask &= mask - 1) ++*logical;
  }
}

}  // namespace

bool InstallCrashHandler(const CrashReportSetup& setup) {
  static std::wstring log_path, dump_folder, dump_stem;
  static std::string prepared;
  log_path = W(setup.log_path);
  dump_folder = W(setup.dump_folder);
  if (!dump_folder.empty() && dump_folder.back() != L'\\') dump_folder.push_back(L'\\');
  dump_stem = W(setup.dump_stem);
  prepared = setup.prepared;
  g_dump_stem = &dump_stem;
  g_log_path = &log_path;
  g_dump_folder = &dump_folder;
  g_prepared = &prepared;
  g_end_after_report = GetEnvironmentVariableW(L"NUSK_CRASH_NO_DEBUGGER", nullptr, 0) != 0;
  SetUnhandledExceptionFilter(OnUnhandledException);
  return true;
}

std::string DescribeSystemForCrash() {
  char line[320];
  std::string out = "-- os info --\n";
  OSVERSIONINFOEXW v{};
  v.dwOSVersionInfoSize = sizeof(v);
  // GetVersionExW reports the version the program is manifested for; ntdll tells the truth.
  auto rtl = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (rtl && rtl(&v) == 0) {
    std::snprintf(line, sizeof(line), "Version: %lu.%lu build %lu, %ls\n", v.dwMajorVersion, v.dwMinorVersion,
                  v.dwBuildNumber, v.szCSDVersion);
    out += line;
    std::snprintf(line, sizeof(line), "SP Version: %lu.%lu\nSuite Mask: %lu\nProduct Type: %lu\n",
                  static_cast<unsigned long>(v.wServicePackMajor), static_cast<unsigned long>(v.wServicePackMinor),
                  static_cast<unsigned long>(v.wSuiteMask), static_cast<unsigned long>(v.wProductType));
    out += line;
  }
  std::snprintf(line, sizeof(line), "System Default LCID: %lu\nUser Default LCID: %lu\n",
                static_cast<unsigned long>(GetSystemDefaultLCID()), static_cast<unsigned long>(GetUserDefaultLCID()));
  out += line;
  if (v.dwMajorVersion > 6 || (v.dwMajorVersion == 6 && v.dwMinorVersion >= 3)) out += "Note: (8.1)\n";
  SYSTEM_INFO si;
  GetNativeSystemInfo(&si);
  std::snprintf(line, sizeof(line), "Architecture: %lu\n", static_cast<unsigned long>(si.wProcessorArchitecture));
  out += line;
  out += "-- processor info --\nBrand String: " + BrandString() + "\n";
  int cores = 0, logical = 0;
  CountProcessors(&cores, &logical);
  std::snprintf(line, sizeof(line), "Core Count: %d\nLogical Processor Count: %d\nSupports 64 bit: Y\n", cores,
                logical);
  out += line;
  return out;
}

}  // namespace nusk
