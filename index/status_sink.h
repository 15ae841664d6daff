// Where the index reports progress and problems. The build command wires it to its
// status output and log; tests collect the lines. Texts are UTF-8 and are passed exactly
// as they should appear (a trailing "\n" is part of the text when present).
#pragma once
#include <string>
#include <string_view>

namespace nusk {

class IStatusSink {
 public:
  virtual ~IStatusSink() = default;
  // A progress text such as "Loading file records..". Called on the loading thread.
  virtual void Progress(std::string_view text) = 0;
  // A problem the user must see (damaged file set aside, failed write). One line, no "\n".
  virtual void Problem(std::string_view text) = 0;
};

// A sink that drops everything (the default when a caller passes none).
IStatusSink* NullStatusSink();

}  // namespace nusk
