// The "--dbdir" scan: which argument is taken, what stays, and how the folder is written.
#include "app/arguments.h"

#include <gtest/gtest.h>

namespace nusk {
namespace {

struct DbdirCase {
  const char* name;
  Args in;
  char16_t sep;
  DbdirOption want_option;
  std::u16string want_folder;
  Args want_args;
};

TEST(DbdirOptionScan, TakesFirstOccurrenceAnywhereAndNormalises) {
  const std::vector<DbdirCase> cases = {
      {"after the sub-command, forward slashes on Windows",
       {u"nusk", u"find", u"--dbdir", u"D:/db", u"abc"},
       u'\\',
       DbdirOption::kTaken,
       u"D:\\db\\",
       {u"nusk", u"find", u"abc"}},
      {"before the sub-command, separator already there",
       {u"nusk", u"--dbdir", u"D:\\db\\", u"build", u"c"},
       u'\\',
       DbdirOption::kTaken,
       u"D:\\db\\",
       {u"nusk", u"build", u"c"}},
      {"twice: only the first leaves",
       {u"nusk", u"--dbdir", u"a", u"find", u"--dbdir", u"b"},
       u'\\',
       DbdirOption::kTaken,
       u"a\\",
       {u"nusk", u"find", u"--dbdir", u"b"}},
      {"POSIX keeps backslashes and gets a slash",
       {u"nusk", u"test", u"--dbdir", u"/srv/a\\b"},
       u'/',
       DbdirOption::kTaken,
       u"/srv/a\\b/",
       {u"nusk", u"test"}},
      {"POSIX value already ending in a slash",
       {u"nusk", u"--dbdir", u"/srv/db/"},
       u'/',
       DbdirOption::kTaken,
       u"/srv/db/",
       {u"nusk"}},
      {"case matters",
       {u"nusk", u"--DBDIR", u"x", u"test"},
       u'/',
       DbdirOption::kAbsent,
       u"",
       {u"nusk", u"--DBDIR", u"x", u"test"}},
      {"prefix is not the option",
       {u"nusk", u"--dbdir=x", u"test"},
       u'/',
       DbdirOption::kAbsent,
       u"",
       {u"nusk", u"--dbdir=x", u"test"}},
      {"the program name is never the option", {u"--dbdir", u"x"}, u'/', DbdirOption::kAbsent, u"", {u"--dbdir", u"x"}},
      {"last argument", {u"nusk", u"find", u"--dbdir"}, u'\\', DbdirOption::kMissingValue, u"", {u"nusk", u"find"}},
      {"empty value",
       {u"nusk", u"--dbdir", u"", u"find", u"x"},
       u'\\',
       DbdirOption::kMissingValue,
       u"",
       {u"nusk", u"find", u"x"}},
  };
  for (const DbdirCase& c : cases) {
    SCOPED_TRACE(c.name);
    Args args = c.in;
    std::u16string folder;
    EXPECT_EQ(TakeDbdirOption(&args, c.sep, &folder), c.want_option);
    EXPECT_EQ(folder, c.want_folder);
    EXPECT_EQ(args, c.want_args);
  }
}

TEST(DbdirOptionScan, NormaliseFolderOnlyTouchesSlashesOnWindows) {
  EXPECT_EQ(NormaliseFolder(u"//server/share/db", u'\\'), u"\\\\server\\share\\db\\");
  EXPECT_EQ(NormaliseFolder(u"C:", u'\\'), u"C:\\");
  EXPECT_EQ(NormaliseFolder(u"rel/dir", u'/'), u"rel/dir/");
}

}  // namespace
}  // namespace nusk
