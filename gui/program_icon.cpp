#include "gui/program_icon.h"

#include <shlobj.h>

#include "platform/win32/win_text.h"
#include "ui/custom_actions.h"

namespace nusk {

std::u16string ExpandEnvironment(std::u16string_view text) {
  const std::wstring in = W(text);
  const DWORD n = ExpandEnvironmentStringsW(in.c_str(), nullptr, 0);
  if (n == 0) return std::u16string(text);
  std::wstring out(n, L'\0');
  const DWORD got = ExpandEnvironmentStringsW(in.c_str(), out.data(), n);
  if (got == 0 || got > n) return std::u16string(text);
  out.resize(got - 1);
  return U(out);
}

HICON ProgramIcon(std::u16string_view expanded_command, int size) {
  const std::wstring program = W(CommandProgram(expanded_command));
  if (program.empty()) return nullptr;
  wchar_t found[MAX_PATH] = {};
  const DWORD n = SearchPathW(nullptr, program.c_str(), L".exe", MAX_PATH, found, nullptr);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  // The program's first icon at the asked size (the nearest one it holds, scaled).
  HICON icon = nullptr;
  const UINT sizes = MAKELONG(size, size);
  if (SHDefExtractIconW(found, 0, 0, &icon, nullptr, sizes) != S_OK) return nullptr;
  return icon;
}

}  // namespace nusk
