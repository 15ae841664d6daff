// Access to initialisation ("profile") files, the format of "nusk.ini" and language files.
//
// Windows: the real GetPrivateProfileStringW family. POSIX: our own reader/writer of the
// same file with the same observable behaviour (section and key names compare without
// case; one enclosing pair of double quotes is stripped on reading; values are cut to
// buffer-1 characters; ';' comment lines; UTF-16LE files with a BOM and 8-bit files are read).
//
// Every call opens, reads (and for writes rewrites) the file: there is no cache. Writes
// replace the file through a temporary file so a failed write keeps the previous file.
// A file that does not exist yet is created as UTF-16LE with a byte-order mark, and an
// 8-bit file that is about to receive a non-ASCII character is first converted to
// UTF-16LE, so no character is ever replaced by '?'.
// Safe from any thread; calls are serialised inside the process.
#pragma once
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nusk {

class Env;

class Profile {
 public:
  virtual ~Profile() = default;

  // The system's implementation over Env::Default(). Never null; lives for the process.
  static Profile* Default();
  // The system's implementation doing its file work through env (tests inject faults).
  static std::unique_ptr<Profile> Create(Env* env);

  // GetPrivateProfileStringW: the value of section/key, or default_value when absent,
  // cut to buffer_chars - 1 characters.
  virtual std::u16string GetString(const std::u16string& file, std::u16string_view section, std::u16string_view key,
                                   std::u16string_view default_value, size_t buffer_chars = 255) = 0;

  // WritePrivateProfileStringW. A null key (nullopt) deletes the section; a null value
  // deletes the key. Returns false when the file could not be written.
  virtual bool WriteString(const std::u16string& file, std::u16string_view section,
                           std::optional<std::u16string_view> key, std::optional<std::u16string_view> value) = 0;

  // GetPrivateProfileStructW: reads size bytes stored in the hexadecimal form with a
  // trailing checksum byte (the sum of the bytes modulo 256); false when absent, of another
  // length or the checksum fails. Hex digits of either case; surrounding blanks ignored.
  virtual bool GetStruct(const std::u16string& file, std::u16string_view section, std::u16string_view key, void* data,
                         size_t size) = 0;

  // WritePrivateProfileStructW: writes size bytes as hexadecimal digits plus checksum.
  virtual bool WriteStruct(const std::u16string& file, std::u16string_view section, std::u16string_view key,
                           const void* data, size_t size) = 0;

  // GetPrivateProfileSectionNamesW into a buffer of buffer_chars characters: the names in
  // file order (the nameless leading part is not listed); names that do not fit whole are
  // left out. A missing file has none.
  virtual std::vector<std::u16string> SectionNames(const std::u16string& file, size_t buffer_chars = 4096) = 0;
};

}  // namespace nusk
