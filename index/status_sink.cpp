#include "index/status_sink.h"

namespace nusk {

namespace {
class NullSink : public IStatusSink {
 public:
  void Progress(std::string_view) override {}
  void Problem(std::string_view) override {}
};
}  // namespace

IStatusSink* NullStatusSink() {
  static NullSink sink;
  return &sink;
}

}  // namespace nusk
