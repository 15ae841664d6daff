#include "tests/build/build_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "index/nusk_db.h"
#include "platform/env.h"
#include "platform/profile.h"
#include "platform/volume.h"
#include "settings/drive_map.h"
#include "util/utf.h"

namespace nusk::testing {

bool FixtureDrivesSupported() { return Env::Default()->PathSeparator() == u'/'; }

BuildEnvironment MakeBuildEnvironment(const std::u16string& home, DriveSystem* drives, Env* env) {
  BuildEnvironment e;
  e.env = env;
  e.profile = Profile::Default();
  e.drives = drives;
  e.home = home;
  e.settings_path = home + u"nusk.ini";
  e.program = BuildFixture::Program();
  return e;
}

void ExpectInOrder(const std::string& text, const std::vector<std::string>& steps) {
  size_t pos = 0;
  for (const std::string& step : steps) {
    size_t at = text.find(step, pos);
    ASSERT_NE(at, std::string::npos) << step << " missing or out of order in:\n" << text;
    pos = at;
  }
}

std::u16string BuildFixture::MapDrive(char16_t letter, const std::u16string& folder) {
  std::u16string path = drives_.Sub(folder);
  Env::Default()->CreateFolder(path);
  if (path.back() != Env::Default()->PathSeparator()) path.push_back(Env::Default()->PathSeparator());
  targets_[letter - u'A'] = path;
  folder_[letter - u'A'] = true;
  SetSetting(u"Drives", std::u16string(1, letter), path);
  return path;
}

std::string BuildFixture::UnpackImage(const std::string& name, const std::string& file) {
  std::string out = ToUtf8(drives_.Sub(FromUtf8(file)));
  std::string command = "gzip -dc '" + std::string(NUSK_TEST_DATA) + "/ntfs/" + name + ".img.gz' > '" + out + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return out;
}

void BuildFixture::MapImage(char16_t letter, const std::string& image) {
  targets_[letter - u'A'] = FromUtf8(image);
  folder_[letter - u'A'] = false;
  SetSetting(u"Drives", std::u16string(1, letter), FromUtf8(image));
}

void BuildFixture::SetSetting(const std::u16string& section, const std::u16string& key, const std::u16string& value) {
  ASSERT_TRUE(Profile::Default()->WriteString(SettingsPath(), section, key, value));
}

int BuildFixture::RunInProcess(const std::vector<std::u16string>& options, const std::atomic<bool>* cancel, Env* env) {
  if (!env) env = Env::Default();
  system_ = std::make_unique<DriveSystem>(DriveMap::FromTargets(targets_, folder_), Volumes::Default(), env);
  BuildEnvironment e = MakeBuildEnvironment(home_.path(), system_.get(), env);
  e.cancel = cancel;
  std::vector<std::u16string> args = {Program(), u"build"};
  args.insert(args.end(), options.begin(), options.end());
  CBuildCommand command(e);
  return command.Run(args);
}

std::u16string BuildFixture::Program() {
  std::u16string p = FromUtf8(NUSK_BINARY_DIR) + u"/app/nusk";
  if (Env::Default()->PathSeparator() == u'\\') {
    for (char16_t& c : p) c = c == u'/' ? u'\\' : c;
    p += u".exe";
  }
  return p;
}

std::vector<std::u16string> BuildFixture::ProgramArgs(const std::vector<std::u16string>& options) const {
  std::vector<std::u16string> args = {u"build", u"--dbdir", home_.path()};
  args.insert(args.end(), options.begin(), options.end());
  return args;
}

ChildResult BuildFixture::RunProgram(const std::vector<std::u16string>& options) {
  ChildResult r;
  Status s = RunChild(Program(), ProgramArgs(options), {}, 60000, &r);
  EXPECT_TRUE(s.ok()) << s.message();
  std::erase(r.out, '\r');
  return r;
}

std::map<std::u16string, BuildFixture::Item> BuildFixture::Items() {
  NuskDb db;
  Status s = LoadNuskDb(&db, home_.path(), Env::Default());
  EXPECT_TRUE(s.ok()) << s.message();
  std::map<std::u16string, Item> items;
  for (uint32_t i = 0; i < db.item_count(); ++i) {
    Item item{db.SizeForm(i), db.Time(i), i < db.folder_count()};
    items[std::u16string(db.BuildPath(i, false))] = item;
  }
  return items;
}

std::unique_ptr<NuskDbWriter> BuildFixture::Writer() {
  auto w = std::make_unique<NuskDbWriter>();
  Status s = LoadIndexForWrite(w.get(), home_.path(), Env::Default());
  EXPECT_TRUE(s.ok()) << s.message();
  return s.ok() ? std::move(w) : nullptr;
}

std::string BuildFixture::HomeFile(const std::u16string& name) {
  std::string bytes;
  Env::Default()->ReadWholeFile(home_.path() + name, &bytes);
  return bytes;
}

}  // namespace nusk::testing
