#include "ui/statistics.h"

#include <algorithm>

namespace nusk {

StatisticsTexts StatisticsFigures(uint64_t items, uint64_t folders, CompactTime last_full_build,
                                  const UtcOffsetFn& offset) {
  // A damaged header could claim more folders than items: never show a wrapped file count.
  folders = std::min(folders, items);
  StatisticsTexts t;
  t.all_items = GroupDigits(items);
  t.folders = GroupDigits(folders);
  t.files = GroupDigits(items - folders);
  t.last_full_build = last_full_build == 0 ? u"-" : DateTimeText(LocalCivilTime(last_full_build, offset));
  return t;
}

}  // namespace nusk
