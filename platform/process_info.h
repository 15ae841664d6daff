// Facts about the running process and the system it runs on.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace nusk {

// Entry points the system may lack, looked up once at start-up (Windows only; all null on
// POSIX). Callers test for null and cast to the documented signature before calling.
struct OptionalEntryPoints {
  void* get_buffered_paint_bits = nullptr;           // UXTHEME.DLL GetBufferedPaintBits
  void* begin_buffered_paint = nullptr;              // UXTHEME.DLL BeginBufferedPaint
  void* end_buffered_paint = nullptr;                // UXTHEME.DLL EndBufferedPaint
  void* dwm_is_composition_enabled = nullptr;        // dwmapi.dll DwmIsCompositionEnabled
  void* sh_create_item_from_parsing_name = nullptr;  // Shell32.dll SHCreateItemFromParsingName
  void* nt_create_file = nullptr;                    // ntdll.dll NtCreateFile
  void* open_file_by_id = nullptr;                   // Kernel32.dll OpenFileById
};

// The process command line split into arguments, argument 0 being the program.
// Windows: CommandLineToArgvW(GetCommandLineW()) (argc/argv are ignored); POSIX: argv
// decoded from UTF-8.
std::vector<std::u16string> CommandLineArguments(int argc, char** argv);

// Sets the C runtime locale to the user's default: every category on Windows; on POSIX
// the categories the program's C library calls read (character set, numbers, messages),
// the others staying "C".
void UseUserLocale();

// Windows: true on version 6.0 (Vista) or later (VerifyVersionInfoW). POSIX: true.
bool IsNewerSystem();

// File name (without folder) of the parent process's executable, empty when unknown.
// Always empty on POSIX, where no caller needs it.
std::u16string ParentProcessName();

// Bytes the whole process (all threads) has read from storage so far. Any thread.
// POSIX: getrusage's block input count (reads that went to the device, file data and
// file-system metadata alike; cached reads count nothing); Windows: GetProcessIoCounters'
// read transfer count (every read the process made). 0 when the system cannot tell.
uint64_t ProcessStorageReadBytes();

// Looks up the optional entry points once (Windows); all null on POSIX.
OptionalEntryPoints LoadOptionalEntryPoints();

}  // namespace nusk
