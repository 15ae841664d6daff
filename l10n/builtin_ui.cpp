#include "l10n/builtin_ui.h"

#include "platform/ini_document.h"
#include "platform/profile_format.h"

namespace nusk {

namespace {

// Reads values from parsed language-file text the way the profile reader does.
class TextSource : public LanguageSource {
 public:
  explicit TextSource(std::string_view text) : doc_(IniDocument::Parse(text)) {}
  std::u16string Read(std::u16string_view section, std::u16string_view key, size_t buffer_chars) override {
    std::optional<std::u16string> value = doc_.Find(section, key);
    if (!value || buffer_chars == 0) return std::u16string();
    return std::u16string(StripEnclosingQuotes(*value).substr(0, buffer_chars - 1));
  }

 private:
  IniDocument doc_;
};

}  // namespace

void CBuiltinUI::Fill() {
  TextSource source(text_);
  LoadMenus(source);
  LoadMessages(source);
  LoadDialogs(source);
  LoadToolbar(source);
  LoadRibbon(source);
}

std::u16string CBuiltinUI::LanguageName() const {
  TextSource source(text_);
  return source.Read(u"META-INF", u"language_name", 255);
}

CDeUI::CDeUI() : CBuiltinUI(kGermanLanguageText) {}
CFrUI::CFrUI() : CBuiltinUI(kFrenchLanguageText) {}
CJaUI::CJaUI() : CBuiltinUI(kJapaneseLanguageText) {}
CZh0UI::CZh0UI() : CBuiltinUI(kTraditionalChineseLanguageText) {}
CZhUI::CZhUI() : CBuiltinUI(kSimplifiedChineseLanguageText) {}

}  // namespace nusk
