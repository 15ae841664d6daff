// Conversions between the core's char16_t text and the wchar_t of Windows APIs
// (both UTF-16 on Windows). Only for platform/win32 and gui/.
#pragma once
#include <string>
#include <string_view>

namespace nusk {

inline std::wstring W(std::u16string_view s) { return std::wstring(s.begin(), s.end()); }
inline std::u16string U(std::wstring_view s) { return std::u16string(s.begin(), s.end()); }
inline std::u16string U(const wchar_t* s) { return s ? U(std::wstring_view(s)) : std::u16string(); }

}  // namespace nusk
