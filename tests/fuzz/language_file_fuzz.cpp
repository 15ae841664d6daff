// Fuzz target: a language file ("lang.<code>.ini") as a user may drop it into the lang
// folder. Every text the table then gives is either the English default or a usable
// translation: non-empty, at most 254 characters, no control characters but tab and
// line feed.
#include <cstdlib>

#include "l10n/ext_lang_ui.h"
#include "l10n/mui.h"
#include "l10n/ui_keys.h"
#include "platform/profile.h"
#include "tests/fuzz/index_fuzz_env.h"

namespace {
// A text the table gives instead of its English default must be a usable translation.
void CheckText(std::u16string_view text, std::u16string_view english) {
  if (text == english) return;
  if (text.empty() || text.size() > 254) std::abort();
  for (char16_t c : text)
    if (c < 0x20 && c != u'\t' && c != u'\n') std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  nusk::fuzz::MemoryEnv env;
  const std::u16string path = u"/p/lang/lang.xx.ini";
  env.files[path] = std::string(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<nusk::Profile> profile = nusk::Profile::Create(&env);
  nusk::ReadLanguageName(path, profile.get());
  nusk::ExtLangUI ui(path, profile.get());
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
