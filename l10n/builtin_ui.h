// The five language tables built into the program. Each holds its texts as the text of a
// language file compiled into the program and fills its maps from it with the same
// loader as ExtLangUI, so both kinds of table follow the same rules.
#pragma once
#include <string_view>

#include "l10n/mui.h"

namespace nusk {

class CBuiltinUI : public CMUI {
 public:
  // text: the whole language file (UTF-8), with static storage duration.
  explicit CBuiltinUI(std::string_view text) : text_(text) {}
  void Fill() override;
  // The `META-INF`/`language_name` of the table.
  std::u16string LanguageName() const;

 private:
  std::string_view text_;
};

class CDeUI : public CBuiltinUI {
 public:
  CDeUI();
};  // German
class CFrUI : public CBuiltinUI {
 public:
  CFrUI();
};  // French
class CJaUI : public CBuiltinUI {
 public:
  CJaUI();
};  // Japanese
class CZh0UI : public CBuiltinUI {
 public:
  CZh0UI();
};  // Traditional Chinese
class CZhUI : public CBuiltinUI {
 public:
  CZhUI();
};  // Simplified Chinese

// The compiled-in language files (l10n/lang_*.cpp).
extern const std::string_view kGermanLanguageText;
extern const std::string_view kFrenchLanguageText;
extern const std::string_view kJapaneseLanguageText;
extern const std::string_view kTraditionalChineseLanguageText;
extern const std::string_view kSimplifiedChineseLanguageText;

}  // namespace nusk
