// Fuzz target: the settings file reader. The input is "nusk.ini" as found on disk; every
// primitive reads it, and two properties must hold: a file that is parsed and written
// back unchanged keeps its bytes, and a text value written through WriteText (when it
// is accepted) reads back exactly as written, whatever else the file holds.
#include <cstdlib>

#include "platform/ini_document.h"
#include "platform/profile.h"
#include "settings/settings_file.h"
#include "tests/fuzz/index_fuzz_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (nusk::IniDocument::Parse(bytes).Serialize() != bytes) std::abort();

  nusk::fuzz::MemoryEnv env;
  const std::u16string path = u"/h/nusk.ini";
  env.files[path] = bytes;
  std::unique_ptr<nusk::Profile> profile = nusk::Profile::Create(&env);
  const nusk::SettingsFile settings(path, profile.get());
  for (const std::u16string_view section : settings.ListSections()) {
    settings.ReadText(section, u"Count");
    settings.ReadInteger(section, u"Count");
  }
  settings.ReadFlag(u"CloseByEsc", true);
  settings.ReadReal(nusk::kOptionsSection, u"BuildEveryValue");
  settings.ReadLineList(u"ExcludeNames");
  settings.HasKey(u"Drives", u"C");
  char state[512];
  settings.ReadStruct(nusk::kUIStateSection, u"RibbonState", state, sizeof state);

  // A value taken from the input's tail, decoded two bytes a unit, up to a NUL (values
  // cross the profile functions as C strings).
  std::u16string value;
  for (size_t i = size / 2 & ~size_t{1}; i + 1 < size && value.size() < 200; i += 2) {
    const char16_t c = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (c == 0) break;
    value.push_back(c);
  }
  if (settings.WriteText(u"Fuzz", u"Value", value)) {
    if (settings.ReadText(u"Fuzz", u"Value") != value.substr(0, 254)) std::abort();
  }
  return 0;
}
