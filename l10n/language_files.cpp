#include "l10n/language_files.h"

#include <algorithm>

#include "l10n/builtin_ui.h"
#include "l10n/ext_lang_ui.h"
#include "platform/env.h"
#include "util/casemap.h"

namespace nusk {

namespace {

constexpr int kFirstFileChoice = 7;

std::u16string WithSeparator(Env* env, std::u16string folder) {
  if (!folder.empty() && folder.back() != env->PathSeparator() && folder.back() != u'/') {
    folder.push_back(env->PathSeparator());
  }
  return folder;
}

// "lang\" with the system's separator.
std::u16string LangFolder(Env* env) { return std::u16string(u"lang") + env->PathSeparator(); }

// A stored path uses '\' (it comes from Windows); make it native before joining.
std::u16string NativeRelative(Env* env, std::u16string_view relative) {
  std::u16string out(relative);
  for (char16_t& c : out) {
    if (c == u'\\' || c == u'/') c = env->PathSeparator();
  }
  return out;
}

bool IsLanguageFileName(std::u16string_view name) {
  std::u16string lower = ToLower(name);
  return !name.empty() && name.front() != u'.' && lower.size() > 9 && lower.starts_with(u"lang.") &&
         lower.ends_with(u".ini");
}

std::unique_ptr<CMUI> BuiltinTable(int64_t language) {
  switch (language) {
    case 2: return std::make_unique<CDeUI>();
    case 3: return std::make_unique<CFrUI>();
    case 4: return std::make_unique<CJaUI>();
    case 5: return std::make_unique<CZh0UI>();
    case 6: return std::make_unique<CZhUI>();
    default: return nullptr;
  }
}

// The built-in table index for a locale: 2052 Simplified Chinese, then by primary language.
int64_t BuiltinForLocale(uint32_t lcid) {
  if (lcid == 2052) return 6;
  switch (lcid & 0x3FF) {
    case 7: return 2;
    case 12: return 3;
    case 17: return 4;
    case 4: return 5;
    default: return 0;
  }
}

}  // namespace

std::u16string FindLocaleLanguageFile(Env* env, const std::u16string& program_folder, const LocaleInfo& locale) {
  if (locale.language.empty()) return std::u16string();
  std::u16string folder = WithSeparator(env, program_folder);
  std::u16string full = locale.country.empty() ? locale.language : locale.language + u"-" + locale.country;
  for (const std::u16string& name : {full, locale.language}) {
    for (const std::u16string& sub : {std::u16string(), LangFolder(env)}) {
      std::u16string path = folder + sub + u"lang." + name + u".ini";
      if (env->FileExists(path)) return path;
    }
  }
  return std::u16string();
}

std::unique_ptr<CMUI> CreateLanguageTable(int64_t language, std::u16string_view language_file, const LocaleInfo& locale,
                                          const std::u16string& program_folder, Env* env, Profile* profile) {
  std::unique_ptr<CMUI> table;
  if (language == 0) {
    int64_t builtin = BuiltinForLocale(locale.lcid);
    if (builtin != 0) {
      table = BuiltinTable(builtin);
    } else {
      std::u16string path = FindLocaleLanguageFile(env, program_folder, locale);
      if (!path.empty()) table = std::make_unique<ExtLangUI>(path, profile);
    }
  } else if (language >= kFirstFileChoice) {
    std::u16string path = WithSeparator(env, program_folder) + NativeRelative(env, language_file);
    if (!language_file.empty() && env->FileExists(path)) table = std::make_unique<ExtLangUI>(path, profile);
  } else {
    table = BuiltinTable(language);
  }
  if (table) table->Fill();
  return table;
}

std::vector<LanguageChoice> ListLanguageChoices(Env* env, const std::u16string& program_folder, Profile* profile) {
  std::vector<LanguageChoice> choices = {{u"System Default", u""},
                                         {u"English", u""},
                                         {u"Deutsch", u""},
                                         {u"Fran\u00E7ais", u""},
                                         {u"\u65E5\u672C\u8A9E", u""},
                                         {u"\u6B63\u9AD4\u4E2D\u6587", u""},
                                         {u"\u7B80\u4F53\u4E2D\u6587", u""}};
  std::u16string folder = WithSeparator(env, program_folder);
  for (const std::u16string& sub : {std::u16string(), LangFolder(env)}) {
    std::vector<std::u16string> names;
    env->ListFolder(folder + sub, [&](const DirEntry& e) {
      if (!e.is_folder && IsLanguageFileName(e.name)) names.push_back(e.name);
      return true;
    });
    std::sort(names.begin(), names.end());
    for (const std::u16string& name : names) {
      std::u16string language_name = ReadLanguageName(folder + sub + name, profile);
      choices.push_back({language_name + u"(" + name + u")", sub + name});
    }
  }
  return choices;
}

int FindLanguageChoice(const std::vector<LanguageChoice>& choices, std::u16string_view language_file) {
  // Either separator may have been stored; compare with one.
  auto canonical = [](std::u16string_view path) {
    std::u16string out(path);
    std::replace(out.begin(), out.end(), u'/', u'\\');
    return out;
  };
  for (size_t i = kFirstFileChoice; i < choices.size(); ++i) {
    if (EqualsNoCase(canonical(choices[i].file), canonical(language_file))) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace nusk
