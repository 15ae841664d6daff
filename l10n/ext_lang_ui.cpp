#include "l10n/ext_lang_ui.h"

#include "platform/profile.h"

namespace nusk {

namespace {

class FileSource : public LanguageSource {
 public:
  FileSource(const std::u16string& path, Profile* profile) : path_(path), profile_(profile) {}
  std::u16string Read(std::u16string_view section, std::u16string_view key, size_t buffer_chars) override {
    return profile_->GetString(path_, section, key, u"", buffer_chars);
  }

 private:
  const std::u16string& path_;
  Profile* profile_;
};

}  // namespace

ExtLangUI::ExtLangUI(std::u16string path) : ExtLangUI(std::move(path), Profile::Default()) {}
ExtLangUI::ExtLangUI(std::u16string path, Profile* profile) : path_(std::move(path)), profile_(profile) {}

void ExtLangUI::Fill() {
  FileSource source(path_, profile_);
  LoadMenus(source);
  LoadMessages(source);
}

const std::u16string* ExtLangUI::ToolbarText(std::u16string_view key) {
  std::call_once(toolbar_once_, [this] {
    FileSource source(path_, profile_);
    LoadToolbar(source);
  });
  return CMUI::ToolbarText(key);
}

void ExtLangUI::PrepareRibbonTexts() {
  std::call_once(ribbon_once_, [this] {
    FileSource source(path_, profile_);
    LoadRibbon(source);
  });
}

std::u16string ExtLangUI::DialogText(std::u16string_view key, const char16_t* english) {
  std::call_once(dialogs_once_, [this] {
    FileSource source(path_, profile_);
    LoadDialogs(source);
  });
  return CMUI::DialogText(key, english);
}

std::u16string ReadLanguageName(const std::u16string& path, Profile* profile) {
  return profile->GetString(path, u"META-INF", u"language_name", u"", 255);
}

}  // namespace nusk
