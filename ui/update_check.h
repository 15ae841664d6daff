// The update check's decisions: the address asked for (with "_rnd" so no cache answers),
// what the version file's text means, and the message each outcome shows.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "util/version.h"

namespace nusk {

inline constexpr char16_t kThisVersion[] = u"" NUSK_VERSION;
inline constexpr int kUpdateCheckTimeoutMs = 5000;

enum class UpdateOutcome { kNotConfigured, kUpToDate, kNewVersion, kFailed };

struct UpdateVerdict {
  UpdateOutcome outcome = UpdateOutcome::kFailed;
  std::u16string version;  // the version read, for kNewVersion
};

// The version file's address with "_rnd=<now>" added to its query (before any fragment).
std::string UpdateRequestUrl(std::string_view address, uint64_t now);

// file: the downloaded text, nullopt when nothing arrived (no answer, timeout, an error).
// The first line, without a byte-order mark and spaces, is the version; empty, too long
// or holding anything but letters, digits, '.', '-', '_' and '+' counts as unreadable.
UpdateVerdict JudgeVersionFile(const std::optional<std::string>& file, std::u16string_view this_version);

struct UpdateMessage {
  std::u16string text;
  enum class Kind { kInformation, kWarning, kAskOkCancel } kind;
};
// The box for a verdict, in the current language (title: TITLE.CHECK_UPDATE).
UpdateMessage UpdateMessageFor(const UpdateVerdict& verdict);

// Runs a fetch on a thread of its own that nobody joins, so the caller can stop waiting at
// its deadline even when the fetch cannot (a name look-up has no time limit of its own).
// A fetch still running when this object goes is left to end on its own; its result is
// dropped. Ready and Take are for the creating thread.
class DetachedFetch {
 public:
  explicit DetachedFetch(std::function<std::optional<std::string>()> fetch);
  bool Ready() const;
  // The fetch's result once Ready(); nullopt before.
  std::optional<std::string> Take();

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace nusk
