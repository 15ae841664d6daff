// Default home, the "NuskHome" redirect and the creation of the home folder.
#include "app/home.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "tests/testing/test_env.h"
#include "util/casemap.h"

namespace nusk {
namespace {

// An Env that pretends to be another system: its separator, executable and variables.
class PretendEnv : public EnvWrapper {
 public:
  PretendEnv(char16_t sep, std::u16string exe) : EnvWrapper(Env::Default()), sep_(sep), exe_(std::move(exe)) {}
  char16_t PathSeparator() const override { return sep_; }
  std::u16string ExecutablePath() override { return exe_; }
  std::u16string GetEnvVar(std::u16string_view name) override {
    auto it = vars.find(std::u16string(name));
    return it == vars.end() ? std::u16string() : it->second;
  }
  std::map<std::u16string, std::u16string> vars;

 private:
  char16_t sep_;
  std::u16string exe_;
};

// Settings held in memory: (file, section, key) -> value, names without case.
class MemoryProfile : public Profile {
 public:
  using Key = std::tuple<std::u16string, std::u16string, std::u16string>;
  std::map<Key, std::u16string> values;

  static Key MakeKey(const std::u16string& file, std::u16string_view section, std::u16string_view key) {
    return {file, ToLower(section), ToLower(key)};
  }
  std::u16string GetString(const std::u16string& file, std::u16string_view section, std::u16string_view key,
                           std::u16string_view def, size_t buffer_chars) override {
    auto it = values.find(MakeKey(file, section, key));
    std::u16string v = it == values.end() ? std::u16string(def) : it->second;
    return v.substr(0, buffer_chars - 1);
  }
  bool WriteString(const std::u16string& file, std::u16string_view section, std::optional<std::u16string_view> key,
                   std::optional<std::u16string_view> value) override {
    if (!key) return false;
    if (value) {
      values[MakeKey(file, section, *key)] = std::u16string(*value);
    } else {
      values.erase(MakeKey(file, section, *key));
    }
    return true;
  }
  bool GetStruct(const std::u16string&, std::u16string_view, std::u16string_view, void*, size_t) override {
    return false;
  }
  bool WriteStruct(const std::u16string&, std::u16string_view, std::u16string_view, const void*, size_t) override {
    return false;
  }
  std::vector<std::u16string> SectionNames(const std::u16string&, size_t) override { return {}; }
};

TEST(DefaultHome, WindowsIsBesideTheExecutable) {
  PretendEnv env(u'\\', u"D:\\Tools\\nusk.exe");
  EXPECT_EQ(DefaultHome(&env), u"D:\\Tools\\.nusk\\");
}

TEST(DefaultHome, PosixFollowsXdgThenHome) {
  PretendEnv env(u'/', u"/usr/bin/nusk");
  EXPECT_EQ(DefaultHome(&env), u"") << "no variables: no folder";
  env.vars[u"HOME"] = u"/home/ann";
  EXPECT_EQ(DefaultHome(&env), u"/home/ann/.local/share/nusk/");
  env.vars[u"XDG_DATA_HOME"] = u"relative/data";
  EXPECT_EQ(DefaultHome(&env), u"/home/ann/.local/share/nusk/") << "a relative XDG_DATA_HOME is ignored";
  env.vars[u"XDG_DATA_HOME"] = u"/data/ann/";
  EXPECT_EQ(DefaultHome(&env), u"/data/ann/nusk/");
}

TEST(HomeRedirect, ResolveUsesBaseFolderSettingsAndFixesTheValue) {
  PretendEnv env(u'\\', u"D:\\Tools\\n=usk.exe");
  MemoryProfile profile;
  EXPECT_EQ(ResolveHome(&env, &profile, u""), u"D:\\Tools\\.nusk\\") << "no redirect";
  EXPECT_EQ(ResolveHome(&env, &profile, u"E:\\db\\"), u"E:\\db\\");

  profile.values[MemoryProfile::MakeKey(u"D:\\Tools\\.nusk\\nusk.ini", u"NuskHome", u"D:\\Tools\\n#usk.exe")] =
      u"d:\\data";
  EXPECT_EQ(ResolveHome(&env, &profile, u""), u"D:\\data\\");
  EXPECT_EQ(ResolveHome(&env, &profile, u"E:\\db\\"), u"E:\\db\\")
      << "the override's own settings file decides, not the default home's";

  profile.values[MemoryProfile::MakeKey(u"E:\\db\\nusk.ini", u"nuskhome", u"d:\\tools\\N#USK.EXE")] = u"\u00e9lan\\";
  EXPECT_EQ(ResolveHome(&env, &profile, u"E:\\db\\"), u"\u00c9lan\\")
      << "section and key compare without case; the first letter is upper-cased beyond ASCII";
}

TEST(HomeRedirect, PosixValueGetsASlash) {
  PretendEnv env(u'/', u"/opt/nusk/nusk");
  env.vars[u"HOME"] = u"/home/ann";
  MemoryProfile profile;
  profile.values[MemoryProfile::MakeKey(u"/srv/base/nusk.ini", u"NuskHome", u"/opt/nusk/nusk")] = u"/srv/data";
  EXPECT_EQ(ResolveHome(&env, &profile, u"/srv/base/"), u"/srv/data/");
}

TEST(HomeRedirect, SetWritesToTheBaseFolderFileAndEmptyRemoves) {
  PretendEnv env(u'\\', u"D:\\Tools\\nusk.exe");
  MemoryProfile profile;
  ASSERT_TRUE(SetHomeRedirect(&env, &profile, u"E:\\db\\", u"F:\\elsewhere"));
  ASSERT_EQ(profile.values.size(), 1u);
  auto key = MemoryProfile::MakeKey(u"E:\\db\\nusk.ini", u"NuskHome", u"D:\\Tools\\nusk.exe");
  ASSERT_EQ(profile.values.count(key), 1u) << "written to the --dbdir folder's file";
  EXPECT_EQ(profile.values[key], u"F:\\elsewhere");
  EXPECT_EQ(ResolveHome(&env, &profile, u"E:\\db\\"), u"F:\\elsewhere\\");
  EXPECT_EQ(ResolveHome(&env, &profile, u""), u"D:\\Tools\\.nusk\\") << "the default home is not redirected";

  ASSERT_TRUE(SetHomeRedirect(&env, &profile, u"E:\\db\\", u""));
  EXPECT_TRUE(profile.values.empty());
}

TEST(HomeFolder, CreatesParentsOnlyWhenAsked) {
  testing::TempDir dir;
  Env* env = Env::Default();
  std::u16string sep(1, env->PathSeparator());
  std::u16string deep = dir.Sub(u"a/b/home") + sep;
  EXPECT_FALSE(CreateHomeFolder(env, deep, false).ok()) << "parent missing";
  EXPECT_FALSE(env->FolderExists(dir.Sub(u"a")));
  ASSERT_TRUE(CreateHomeFolder(env, deep, true).ok());
  EXPECT_TRUE(env->FolderExists(dir.Sub(u"a/b/home")));
  EXPECT_TRUE(CreateHomeFolder(env, deep, false).ok()) << "an existing folder is fine";

  dir.WriteFile(u"plain", "x");
  Status s = CreateHomeFolder(env, dir.Sub(u"plain") + sep, true);
  EXPECT_FALSE(s.ok()) << "a file in the way";
  EXPECT_FALSE(s.message().empty());
}

}  // namespace
}  // namespace nusk
