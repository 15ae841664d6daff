// mft_inject IMAGE RECORDS: writes synthetic MFT records into an NTFS image made with
// `mkntfs -c 4096`, so ntfsinfo and the project's reader can be compared on them.
#include <cstdio>
#include <cstdlib>

#include "tools/mft_inject/mft_inject.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: mft_inject IMAGE RECORDS\n");
    return 2;
  }
  char* end = nullptr;
  const unsigned long records = std::strtoul(argv[2], &end, 10);
  if (*end != '\0' || records == 0 || records > 0xFFFFFFFFul) {
    std::fprintf(stderr, "mft_inject: RECORDS must be a positive number, not '%s'\n", argv[2]);
    return 2;
  }
  nusk::Status s = nusk::tools::MftInjector::Inject(argv[1], static_cast<uint32_t>(records));
  if (!s.ok()) {
    std::fprintf(stderr, "mft_inject: %s\n", s.message().c_str());
    return 1;
  }
  return 0;
}
