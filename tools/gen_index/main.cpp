// gen_index: writes a synthetic "nusk.frs"/"nusk.nrs" pair.
//   gen_index <folder> [--items N] [--seed S]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/gen_index/generator.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gen_index <folder> [--items N] [--seed S]\n");
    return 2;
  }
  nusk::gen::Options opt;
  for (int i = 2; i + 1 < argc; i += 2) {
    std::string flag = argv[i];
    char* end = nullptr;
    unsigned long long v = std::strtoull(argv[i + 1], &end, 10);
    if (!end || *end) {
      std::fprintf(stderr, "gen_index: %s needs a number, not '%s'\n", flag.c_str(), argv[i + 1]);
      return 2;
    }
    if (flag == "--items") opt.items = v;
    else if (flag == "--seed") opt.seed = v;
    else {
      std::fprintf(stderr, "gen_index: unknown option %s\n", flag.c_str());
      return 2;
    }
  }
  if (opt.items > 0xFFFFFFF0ull) {
    std::fprintf(stderr, "gen_index: at most 4294967280 items fit in the file format\n");
    return 2;
  }
  nusk::gen::Result r = nusk::gen::Generate(argv[1], opt);
  if (!r.error.empty()) {
    std::fprintf(stderr, "gen_index: %s\n", r.error.c_str());
    return 1;
  }
  std::printf("%llu items (%llu folders), %llu names written to %s\n", (unsigned long long)r.items,
              (unsigned long long)r.folders, (unsigned long long)r.names, argv[1]);
  return 0;
}
