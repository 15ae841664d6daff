// Template body of RestoreCase (included by name_key.h).
#pragma once
#include "util/casemap.h"

namespace nusk {
namespace name_key_detail {
void UpperAt(std::u16string* text, size_t index);
}

template <typename Pos>
std::u16string RestoreCase(std::u16string_view lower, const Pos* positions, size_t count) {
  std::u16string out(lower);
  for (size_t i = 0; i < count; ++i) {
    size_t p = static_cast<size_t>(positions[i]);
    if (p >= 1 && p <= out.size()) name_key_detail::UpperAt(&out, p - 1);
  }
  return out;
}

}  // namespace nusk
