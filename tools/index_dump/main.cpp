// index_dump: prints every item of the database in a home folder, one per line:
//   <native path, its bytes as the system has them> TAB <d|f> TAB <size in bytes> TAB <modification time, Unix seconds>
// in the form `find -printf '%p\t%y\t%s\t%T@'` uses, so the two can be compared
// (bench/root_compare.sh). Sizes beyond 2 GiB are whole KiB, as the index keeps them.
//   index_dump <home folder>
#include <cstdio>
#include <string>

#include "index/index_types.h"
#include "index/nusk_db.h"
#include "platform/native_name.h"
#include "settings/drive_map.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: index_dump <home folder>\n");
    return 2;
  }
  std::u16string home = nusk::PathFromNative(argv[1]);
  if (!home.empty() && home.back() != u'/' && home.back() != u'\\') home += u'/';
  nusk::NuskDb db;
  nusk::Status s = nusk::LoadNuskDb(&db, home, nusk::Env::Default());
  if (!s.ok()) {
    std::fprintf(stderr, "index_dump: %s\n", s.message().c_str());
    return 1;
  }
  nusk::DriveMap drives = nusk::DriveMap::Load(home + u"nusk.ini");
  for (uint32_t i = 0; i < db.item_count(); ++i) {
    std::string path = nusk::NativeFromPath(drives.ToNativePath(db.BuildPath(i, false)));
    const long long unix_seconds =
        static_cast<long long>(nusk::FileTimeFromCompactTime(db.Time(i)) / 10000000ull) - 11644473600ll;
    std::printf("%s\t%c\t%llu\t%lld\n", path.c_str(), i < db.folder_count() ? 'd' : 'f',
                static_cast<unsigned long long>(nusk::BytesFromSizeForm(db.SizeForm(i))), unix_seconds);
  }
  return 0;
}
