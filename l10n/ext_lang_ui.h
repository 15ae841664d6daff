// A language table read from a language file ("lang.<code>.ini") through the profile
// functions. Fill() reads the menus, popups, context menus, messages and menu help; the
// dialog, toolbar and ribbon groups are read the first time they are asked for, once.
// Reading never fails: what the file lacks (or cannot give) keeps its English text.
#pragma once
#include <mutex>
#include <string>

#include "l10n/mui.h"

namespace nusk {

class Profile;

class ExtLangUI : public CMUI {
 public:
  explicit ExtLangUI(std::u16string path);
  ExtLangUI(std::u16string path, Profile* profile);

  const std::u16string& path() const { return path_; }

  void Fill() override;
  const std::u16string* ToolbarText(std::u16string_view key) override;
  void PrepareRibbonTexts() override;
  std::u16string DialogText(std::u16string_view key, const char16_t* english) override;

 private:
  std::u16string path_;
  Profile* profile_;
  std::once_flag dialogs_once_, toolbar_once_, ribbon_once_;
};

// The `META-INF`/`language_name` of a language file; empty when it has none.
std::u16string ReadLanguageName(const std::u16string& path, Profile* profile);

}  // namespace nusk
