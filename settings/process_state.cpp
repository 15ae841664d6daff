#include "settings/process_state.h"

namespace nusk {

ProcessState& Process() {
  static ProcessState state;
  return state;
}

}  // namespace nusk
