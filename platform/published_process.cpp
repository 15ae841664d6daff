// The process-wide slot of a build process that was not started by RunRelayedChild (the
// elevated build server), so that EndRelayedChild can end it as well.
#include <mutex>

#include "platform/elevation.h"
#include "platform/process_relay.h"

namespace nusk {

namespace {
std::mutex g_mu;
ElevatedProcess* g_published = nullptr;
}  // namespace

void PublishBuildProcess(ElevatedProcess* process) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_published = process;
}

bool EndPublishedBuildProcess(int exit_code) {
  std::lock_guard<std::mutex> lock(g_mu);
  if (!g_published) return false;
  g_published->Terminate(exit_code);
  return true;
}

}  // namespace nusk
