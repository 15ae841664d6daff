// `AvoidWakingUpHdds`: the result list asks nothing of the file system (details, icons,
// thumbnails) for an item whose drive is spun down.
#pragma once
#include <functional>
#include <string_view>

namespace nusk {

// The drive letter (upper case) of a path that begins "X:", else 0 (a network path).
char16_t DriveLetterOfPath(std::u16string_view path);

// Whether the item at `path` may be asked about: always with the option off; with it on,
// when the path has no drive letter (network paths: no disk of this machine to wake) or
// when `spinning` says its drive spins.
bool MayTouchItem(std::u16string_view path, bool avoid_waking, const std::function<bool(char16_t)>& spinning);

}  // namespace nusk
