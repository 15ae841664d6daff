// A child program for the custom-action tests: writes the arguments it was started with,
// one per line in UTF-8, to the file named by NUSK_ARG_ECHO_OUT. It writes a temporary file
// and renames it into place, so a reader never sees half of the list.
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  wchar_t out[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"NUSK_ARG_ECHO_OUT", out, MAX_PATH)) return 2;
  std::string text;
  for (int i = 1; i < argc; ++i) text += Utf8(argv[i]) + "\n";
  const std::wstring tmp = std::wstring(out) + L".tmp";
  HANDLE f = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
  return MoveFileExW(tmp.c_str(), out, MOVEFILE_REPLACE_EXISTING) ? 0 : 4;
}
