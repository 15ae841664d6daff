// An initialisation file held in memory: parsed from bytes, queried and edited, and turned
// back into bytes. The POSIX profile functions and the built-in language tables use it.
//
// Reading follows the Windows profile reader: a header is a line whose first non-blank
// character is '[', named by the trimmed text up to the last ']'; lines before the first
// header form a section with the empty name; ';' lines are comments; a key line is split
// at its first '=' and both parts are trimmed; a line without '=' holds no key. Names
// compare without case. When a section or key occurs twice the first one answers.
//
// Editing keeps every line it does not change byte for byte (including bytes that do not
// decode), so rewriting a file never damages the parts nobody touched. Not thread-safe:
// one document belongs to one caller.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nusk {

// How a file's text is stored; an edited file keeps its encoding.
enum class IniEncoding {
  kAnsi,     // 8-bit without BOM: each line UTF-8 when valid, else Windows-1252
  kUtf8Bom,  // EF BB BF then UTF-8
  kUtf16Le,  // FF FE then UTF-16LE
};

class IniDocument {
 public:
  // An empty document; new files are UTF-16LE so any character survives a write.
  IniDocument() = default;

  // Never fails: undecodable bytes become characters (Windows-1252 or U+FFFD) and an
  // odd trailing byte of a UTF-16 file is kept as it is.
  static IniDocument Parse(std::string_view bytes);

  // The file's bytes, with its byte-order mark; unchanged lines are copied verbatim.
  std::string Serialize() const;

  IniEncoding encoding() const { return encoding_; }
  // Stores every line in the new encoding from its decoded text (used to move an 8-bit
  // file to UTF-16LE before it receives a character the 8-bit form cannot hold).
  void Reencode(IniEncoding e);

  // The trimmed text after '=' of the first matching key in the first matching section,
  // quotes not stripped; nullopt when absent.
  std::optional<std::u16string> Find(std::u16string_view section, std::u16string_view key) const;

  // Names of the sections in file order (duplicates kept), without the empty name.
  std::vector<std::u16string> SectionNames() const;

  // Keys of the first matching section, in file order.
  std::vector<std::u16string> KeyNames(std::u16string_view section) const;

  // Replaces the first matching key's line, or adds "key=value" after the section's last
  // entry, creating the section at the end of the file when missing.
  void Set(std::u16string_view section, std::u16string_view key, std::u16string_view value);

  // Removes the first matching key line of the first matching section. False when absent.
  bool RemoveKey(std::u16string_view section, std::u16string_view key);

  // Removes the first matching section, its header and every line up to the next header.
  bool RemoveSection(std::u16string_view section);

 private:
  enum class Kind { kOther, kHeader, kComment, kEntry };
  struct Line {
    std::u16string text;  // decoded, without line ending
    std::string raw;      // original bytes without line ending; empty for changed lines
    std::string eol;      // original line ending bytes ("" for the last line)
    bool changed = false;
    Kind kind = Kind::kOther;
    std::u16string name;   // section name (header) or key (entry), trimmed
    std::u16string value;  // entry value, trimmed
  };
  // [begin, end) of the first section with this name; begin is the header (or 0 for the
  // leading nameless part). nullopt when there is none.
  std::optional<std::pair<size_t, size_t>> FindSection(std::u16string_view section) const;
  static void Classify(Line* line);
  Line MakeLine(std::u16string text) const;
  void EnsureLastLineEnds();

  IniEncoding encoding_ = IniEncoding::kUtf16Le;
  std::vector<Line> lines_;
};

// Trims the white space the profile reader ignores around names and values.
std::u16string_view TrimProfileSpace(std::u16string_view s);

// Decodes one Windows-1252 byte (the 8-bit code page of the profile reader).
char16_t Cp1252ToUnit(unsigned char b);

}  // namespace nusk
