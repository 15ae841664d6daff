// The statistics dialog's figures: the counts of the loaded index, grouped by threes as the
// status bar writes them, and the time of the last full build in local time.
#pragma once
#include <cstdint>
#include <string>

#include "index/index_types.h"
#include "ui/cell_text.h"

namespace nusk {

struct StatisticsTexts {
  std::u16string all_items;
  std::u16string folders;
  std::u16string files;
  std::u16string last_full_build;  // "-" when no full build has run
};

// items: every item of the index; folders: the folders among them (never more than items).
StatisticsTexts StatisticsFigures(uint64_t items, uint64_t folders, CompactTime last_full_build,
                                  const UtcOffsetFn& offset);

}  // namespace nusk
