#include "app/arguments.h"

#include <algorithm>

namespace nusk {

std::u16string NormaliseFolder(std::u16string_view folder, char16_t separator) {
  std::u16string out(folder);
  if (separator == u'\\') {
    for (char16_t& c : out) {
      if (c == u'/') c = u'\\';
    }
  }
  if (out.empty() || out.back() != separator) out.push_back(separator);
  return out;
}

DbdirOption TakeDbdirOption(Args* args, char16_t separator, std::u16string* folder) {
  for (size_t i = 1; i < args->size(); ++i) {
    if ((*args)[i] != u"--dbdir") continue;
    bool has_value = i + 1 < args->size() && !(*args)[i + 1].empty();
    if (has_value) *folder = NormaliseFolder((*args)[i + 1], separator);
    size_t end = std::min(i + 2, args->size());
    args->erase(args->begin() + static_cast<std::ptrdiff_t>(i), args->begin() + static_cast<std::ptrdiff_t>(end));
    return has_value ? DbdirOption::kTaken : DbdirOption::kMissingValue;
  }
  return DbdirOption::kAbsent;
}

}  // namespace nusk
