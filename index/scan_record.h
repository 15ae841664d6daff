// The record every scanner hands to the index: one file or folder as it was found.
#pragma once
#include <cstdint>
#include <string>

#include "index/index_types.h"

namespace nusk {

struct ScanRecord {
  uint64_t reference = 0;         // index file reference (index_types.h)
  uint64_t parent_reference = 0;  // reference of its folder; 0 for a drive's root
  CompactTime time = 0;           // modification time
  uint32_t size = 0;              // 32-bit size form; 0 for folders
  bool is_folder = false;
  std::u16string name;         // the item's own name, at most 255 units
  std::u16string second_text;  // unused by scanners; kept for the listener protocol
};

}  // namespace nusk
