#include "platform/elevation.h"

namespace nusk {

bool IsProcessAdmin() { return true; }

Status StartElevated(const std::u16string&, const std::u16string&, std::unique_ptr<ElevatedProcess>*) {
  return Status::Error("elevation is not available on this system");
}

int NotifyMainWindows(uintptr_t) { return 0; }

}  // namespace nusk
