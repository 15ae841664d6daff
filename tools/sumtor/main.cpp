// sumtor --dbdir HOME: hashes the contents of the files in the index of HOME and writes
// HOME/nusk.hash, which the search uses for /dup: and /hash:.
#include <cstdio>
#include <string>

#include "platform/entry.h"
#include "platform/env.h"
#include "settings/drive_map.h"
#include "tools/sumtor/sumtor.h"
#include "util/utf.h"

namespace {

int Run(const std::vector<std::u16string>& args) {
  std::u16string home;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == u"--dbdir" && i + 1 < args.size()) {
      home = args[++i];
    } else {
      std::fprintf(stderr, "Usage: sumtor --dbdir FOLDER\n");
      return 2;
    }
  }
  if (home.empty()) {
    std::fprintf(stderr, "Usage: sumtor --dbdir FOLDER\n");
    return 2;
  }
  nusk::Env* env = nusk::Env::Default();
  const char16_t sep = env->PathSeparator();
  // A home given as 'd:\data\\' (quoted so the closing quote survives) has one backslash too many.
  while (home.size() > 1 && (home.back() == u'\\' || home.back() == u'/')) home.pop_back();
  home += sep;
  const nusk::DriveMap drives = nusk::DriveMap::Load(home + u"nusk.ini");
  const uint64_t start = env->MonotonicMs();
  nusk::SumtorStats stats;
  const nusk::Status s = nusk::RunSumtor(home, drives, env, &stats);
  if (!s.ok()) {
    std::fprintf(stderr, "sumtor: %s\n", s.message().c_str());
    return 1;
  }
  std::printf(
      "Hashed %llu of %llu files (%llu MB read, %llu with a size no other file has); "
      "%llu unreadable and %llu not regular skipped (%llu ms)\n",
      static_cast<unsigned long long>(stats.hashed), static_cast<unsigned long long>(stats.files),
      static_cast<unsigned long long>(stats.bytes >> 20), static_cast<unsigned long long>(stats.unique_size),
      static_cast<unsigned long long>(stats.unreadable), static_cast<unsigned long long>(stats.not_regular),
      static_cast<unsigned long long>(env->MonotonicMs() - start));
  return 0;
}

}  // namespace

NUSK_CONSOLE_MAIN(Run)
