// Fuzz target for the NTFS record decoders: arbitrary bytes as a boot sector, a file
// record (fix-up, attribute walk, names, sizes) and a run list. Any out-of-bounds read
// is a failure under the sanitizers.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "scan/mft_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace nusk::ntfs;
  BootInfo boot;
  std::string error;
  ParseBootSector(data, size, &boot, &error);

  // Records are 512..4096 bytes; take the largest whole size the input allows.
  for (size_t record_size : {4096u, 1024u, 512u}) {
    if (size < record_size) continue;
    std::vector<uint8_t> record(data, data + record_size);
    ApplyFixup(record.data(), record.size());
    RecordInfo info;
    ParseFileRecord(record.data(), record.size(), &info);
    if (info.has_name) {
      volatile uint16_t last = U16(info.name_bytes + 2 * (info.name_length ? info.name_length - 1 : 0));
      (void)last;
    }
    FindAttribute(record.data(), record.size(), kAttrData, true);
    break;
  }
  std::vector<Run> runs;
  DecodeRunList(data, size, 0, size % 2 ? 0 : 1u << 20, &runs);
  return 0;
}
