// Profile files on Windows: the system's profile functions, run on a temporary copy that
// then replaces the file, so a failed write never leaves a damaged settings file.
#include <windows.h>

#include <atomic>
#include <mutex>

#include "platform/env.h"
#include "platform/profile.h"
#include "platform/profile_format.h"
#include "platform/win32/win_text.h"
#include "util/utf.h"

namespace nusk {

namespace {

bool IsUtf16(const std::string& bytes) {
  return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
         static_cast<unsigned char>(bytes[1]) == 0xFE;
}
bool IsUtf8Bom(const std::string& bytes) { return bytes.compare(0, 3, "\xEF\xBB\xBF") == 0; }

// The 8-bit file as UTF-16LE with its byte-order mark, decoded the way the profile
// functions read it (the ANSI code page).
std::string AnsiToUtf16File(const std::string& bytes) {
  std::string out = "\xFF\xFE";
  if (bytes.empty()) return out;
  int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
  for (wchar_t c : wide) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>((c >> 8) & 0xFF));
  }
  return out;
}

// NUL-terminated copy for a LPCWSTR argument.
std::wstring Z(std::u16string_view s) { return W(s); }

class Win32Profile : public Profile {
 public:
  explicit Win32Profile(Env* env) : env_(env) {}

  std::u16string GetString(const std::u16string& file, std::u16string_view section, std::u16string_view key,
                           std::u16string_view default_value, size_t buffer_chars) override {
    std::lock_guard<std::mutex> lock(Mutex());
    if (buffer_chars == 0) return std::u16string();
    std::wstring buffer(buffer_chars, L'\0');
    DWORD n = GetPrivateProfileStringW(Z(section).c_str(), Z(key).c_str(), Z(default_value).c_str(), buffer.data(),
                                       static_cast<DWORD>(buffer_chars), W(file).c_str());
    buffer.resize(n);
    return U(buffer);
  }

  bool WriteString(const std::u16string& file, std::u16string_view section, std::optional<std::u16string_view> key,
                   std::optional<std::u16string_view> value) override {
    std::lock_guard<std::mutex> lock(Mutex());
    if ((!key || !value) && !env_->FileExists(file)) return true;  // nothing to delete
    bool wide = HasNonAscii(section) || (key && HasNonAscii(*key)) || (value && HasNonAscii(*value));
    return Edit(file, wide, [&](const std::wstring& temp) {
      std::wstring s = Z(section), k = key ? Z(*key) : std::wstring(), v = value ? Z(*value) : std::wstring();
      return WritePrivateProfileStringW(s.c_str(), key ? k.c_str() : nullptr, value ? v.c_str() : nullptr,
                                        temp.c_str()) != FALSE;
    });
  }

  bool GetStruct(const std::u16string& file, std::u16string_view section, std::u16string_view key, void* data,
                 size_t size) override {
    std::lock_guard<std::mutex> lock(Mutex());
    // Read into a scratch buffer: the system call fills it even when the checksum fails.
    std::string scratch(size + 1, '\0');
    if (!GetPrivateProfileStructW(Z(section).c_str(), Z(key).c_str(), scratch.data(), static_cast<UINT>(size),
                                  W(file).c_str())) {
      return false;
    }
    if (size) memcpy(data, scratch.data(), size);
    return true;
  }

  bool WriteStruct(const std::u16string& file, std::u16string_view section, std::u16string_view key, const void* data,
                   size_t size) override {
    std::lock_guard<std::mutex> lock(Mutex());
    return Edit(file, HasNonAscii(section) || HasNonAscii(key), [&](const std::wstring& temp) {
      return WritePrivateProfileStructW(Z(section).c_str(), Z(key).c_str(), const_cast<void*>(data),
                                        static_cast<UINT>(size), temp.c_str()) != FALSE;
    });
  }

  std::vector<std::u16string> SectionNames(const std::u16string& file, size_t buffer_chars) override {
    std::lock_guard<std::mutex> lock(Mutex());
    std::vector<std::u16string> names;
    if (buffer_chars == 0) return names;
    std::wstring buffer(buffer_chars, L'\0');
    DWORD n = GetPrivateProfileSectionNamesW(buffer.data(), static_cast<DWORD>(buffer_chars), W(file).c_str());
    for (size_t i = 0; i < n && buffer[i];) {
      size_t end = buffer.find(L'\0', i);
      if (end == std::wstring::npos || end > n) break;
      names.push_back(U(std::wstring_view(buffer).substr(i, end - i)));
      i = end + 1;
    }
    return names;
  }

 private:
  static std::mutex& Mutex() {
    static std::mutex mu;
    return mu;
  }

  // Copies the file (or a new UTF-16LE one) to a temporary file, applies the change there
  // with the system call and moves the result over the file.
  template <typename Change>
  bool Edit(const std::u16string& file, bool wide_text, Change change) {
    std::string bytes;
    if (!env_->ReadWholeFile(file, &bytes).ok()) {
      if (env_->FileExists(file)) return false;  // exists but unreadable: leave it alone
      bytes = "\xFF\xFE";                        // new files hold any character
    } else if (wide_text && !IsUtf16(bytes) && !IsUtf8Bom(bytes)) {
      bytes = AnsiToUtf16File(bytes);  // the ANSI form would turn these characters into '?'
    }
    static std::atomic<unsigned> counter{0};
    std::u16string temp = file + U16(".tmp" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter));
    bool ok = env_->WriteWholeFile(temp, bytes, false).ok();
    std::wstring wtemp = W(temp);
    ok = ok && change(wtemp);
    // Make sure the system has written the temporary file before it is moved.
    if (ok) WritePrivateProfileStringW(nullptr, nullptr, nullptr, wtemp.c_str());
    ok = ok && env_->RenameFile(temp, file).ok();
    if (!ok) env_->RemoveFile(temp);
    return ok;
  }

  Env* env_;
};

}  // namespace

std::unique_ptr<Profile> Profile::Create(Env* env) { return std::make_unique<Win32Profile>(env); }

}  // namespace nusk
