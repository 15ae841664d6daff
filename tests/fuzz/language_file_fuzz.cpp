// Fuzz target: a language file ("lang.<code>.ini") as a user may drop it into the lang
// folder. Every text the table then gives is either the English default or a usable
// translation: non-empty, at most 254 characters, no control characters but tab and
// line feed.
#include <cstdlib>

#include "l10n/ext_lang_ui.h"
#include "l10n/mui.h"
#include "l10n/ui_keys.h"
#include "platform/ini_document.h"
#include "platform/profile.h"
#include "platform/profile_format.h"

namespace {

// The profile reader over one parsed file. The real one parses the file again for every
// key (the settings have no cache), which makes a language table cost a thousand parses:
// here the parse is done once and each key answered the same way.
class ParsedProfile : public nusk::Profile {
 public:
  explicit ParsedProfile(std::string_view bytes) : doc_(nusk::IniDocument::Parse(bytes)) {}
  std::u16string GetString(const std::u16string&, std::u16string_view section, std::u16string_view key,
                           std::u16string_view default_value, size_t buffer_chars) override {
    const std::optional<std::u16string> value = doc_.Find(section, key);
    const std::u16string_view text = value ? nusk::StripEnclosingQuotes(*value) : default_value;
    return std::u16string(text.substr(0, buffer_chars ? buffer_chars - 1 : 0));
  }
  bool WriteString(const std::u16string&, std::u16string_view, std::optional<std::u16string_view>,
                   std::optional<std::u16string_view>) override {
    return false;
  }
  bool GetStruct(const std::u16string&, std::u16string_view, std::u16string_view, void*, size_t) override {
    return false;
  }
  bool WriteStruct(const std::u16string&, std::u16string_view, std::u16string_view, const void*, size_t) override {
    return false;
  }
  std::vector<std::u16string> SectionNames(const std::u16string&, size_t) override { return doc_.SectionNames(); }

 private:
  nusk::IniDocument doc_;
};

// A text the table gives instead of its English default must be a usable translation.
void CheckText(std::u16string_view text, std::u16string_view english) {
  if (text == english) return;
  if (text.empty() || text.size() > 254) std::abort();
  for (char16_t c : text)
    if (c < 0x20 && c != u'\t' && c != u'\n') std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string path = u"/p/lang/lang.xx.ini";
  ParsedProfile profile(std::string_view(reinterpret_cast<const char*>(data), size));
  nusk::ReadLanguageName(path, &profile);
  nusk::ExtLangUI ui(path, &profile);
  ui.Fill();
  ui.PrepareRibbonTexts();
  for (const nusk::MessageRow& row : nusk::MessageRows())
    if (row.english) CheckText(ui.Message(row.key, row.english), row.english);
  for (std::u16string_view key : nusk::MenuCommandKeys()) CheckText(ui.MenuText(key, u"x"), u"x");
  for (std::u16string_view key : nusk::ToolbarKeys()) {
    if (const std::u16string* t = ui.ToolbarText(key)) CheckText(*t, u"");
  }
  for (const nusk::DialogSection& s : nusk::DialogSections()) {
    for (std::u16string_view key : s.keys) {
      CheckText(ui.DialogText(std::u16string(s.section) + u"." + std::u16string(key), u"x"), u"x");
    }
  }
  bool usable = false;
  const std::u16string raw(reinterpret_cast<const char16_t*>(data), size / 2);
  const std::u16string decoded = nusk::DecodeLanguageValue(raw, &usable);
  if (usable) {
    CheckText(decoded, u"");
  } else if (!decoded.empty()) {
    std::abort();
  }
  return 0;
}
