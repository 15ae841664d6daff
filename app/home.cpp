#include "app/home.h"

#include "settings/process_state.h"
#include "util/casemap.h"

namespace nusk {

namespace {

constexpr char16_t kRedirectSection[] = u"NuskHome";
constexpr char16_t kSettingsFile[] = u"nusk.ini";

bool IsAbsolutePosix(const std::u16string& path) { return !path.empty() && path[0] == u'/'; }

std::u16string WithSeparator(std::u16string folder, char16_t sep) {
  if (folder.empty() || folder.back() != sep) folder.push_back(sep);
  return folder;
}

std::u16string BaseFolder(Env* env, const std::u16string& folder_override) {
  return folder_override.empty() ? DefaultHome(env) : folder_override;
}

}  // namespace

std::u16string DefaultHome(Env* env) {
  if (env->PathSeparator() == u'\\') {
    std::u16string exe = env->ExecutablePath();
    size_t cut = exe.rfind(u'\\');
    if (cut == std::u16string::npos) return std::u16string();
    return exe.substr(0, cut) + u"\\.nusk\\";
  }
  std::u16string data = env->GetEnvVar(u"XDG_DATA_HOME");
  if (IsAbsolutePosix(data)) return WithSeparator(data, u'/') + u"nusk/";
  std::u16string home = env->GetEnvVar(u"HOME");
  if (IsAbsolutePosix(home)) return WithSeparator(home, u'/') + u".local/share/nusk/";
  return std::u16string();
}

std::u16string RedirectKey(std::u16string_view exe_path) {
  std::u16string key(exe_path);
  for (char16_t& c : key) {
    if (c == u'=') c = u'#';
  }
  return key;
}

std::u16string ResolveHome(Env* env, Profile* profile, const std::u16string& folder_override) {
  std::u16string base = BaseFolder(env, folder_override);
  if (base.empty()) return base;
  std::u16string value =
      profile->GetString(base + kSettingsFile, kRedirectSection, RedirectKey(env->ExecutablePath()), u"", 255);
  if (value.empty()) return base;
  value = WithSeparator(value, env->PathSeparator());
  value[0] = ToUpperUnit(value[0]);
  return value;
}

bool SetHomeRedirect(Env* env, Profile* profile, const std::u16string& folder_override,
                     const std::u16string& new_folder) {
  std::u16string base = BaseFolder(env, folder_override);
  if (base.empty()) return false;
  std::optional<std::u16string_view> value;
  if (!new_folder.empty()) value = new_folder;
  return profile->WriteString(base + kSettingsFile, kRedirectSection, RedirectKey(env->ExecutablePath()), value);
}

bool SetHomeRedirect(const std::u16string& new_folder) {
  return SetHomeRedirect(Env::Default(), Profile::Default(), Process().folder_override, new_folder);
}

Status CreateHomeFolder(Env* env, const std::u16string& home, bool create_parents) {
  char16_t sep = env->PathSeparator();
  std::u16string folder = home;
  while (folder.size() > 1 && folder.back() == sep) folder.pop_back();
  if (env->FolderExists(folder)) return Status::Ok();
  if (create_parents) {
    size_t cut = folder.rfind(sep);
    if (cut != std::u16string::npos && cut > 0) {
      Status parent = CreateHomeFolder(env, folder.substr(0, cut), true);
      if (!parent.ok()) return parent;
    }
  }
  Status s = env->CreateFolder(folder);
  if (!env->FolderExists(folder)) { return s.ok() ? Status::Error("cannot create the folder") : s; }
  return Status::Ok();
}

}  // namespace nusk
