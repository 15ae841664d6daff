// Template body of RestoreCase (included by name_key.h).
#pragma once
#include "util/casemap.h"

namespace nusk {
namespace name_key_detail {
// Upper-cases the unit at index of s (length len), or the surrogate pair it belongs to.
void UpperAt(char16_t* s, size_t len, size_t index);
}  // namespace name_key_detail

template <typename Pos>
std::u16string RestoreCase(std::u16string_view lower, const Pos* positions, size_t count) {
  std::u16string out(lower);
  for (size_t i = 0; i < count; ++i) {
    size_t p = static_cast<size_t>(positions[i]);
    if (p >= 1 && p <= out.size()) name_key_detail::UpperAt(out.data(), out.size(), p - 1);
  }
  return out;
}

}  // namespace nusk
