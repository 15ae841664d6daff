#include "ui/update_check.h"

#include <atomic>
#include <thread>

#include "l10n/mui.h"
#include "ui/status_text.h"

namespace nusk {

std::string UpdateRequestUrl(std::string_view address, uint64_t now) {
  std::string url(address);
  std::string fragment;
  if (const size_t hash = url.find('#'); hash != std::string::npos) {
    fragment = url.substr(hash);
    url.resize(hash);
  }
  url += url.find('?') == std::string::npos ? '?' : '&';
  return url + "_rnd=" + std::to_string(now) + fragment;
}

UpdateVerdict JudgeVersionFile(const std::optional<std::string>& file, std::u16string_view this_version) {
  UpdateVerdict v;
  if (!file) return v;
  std::string_view text = *file;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  text = text.substr(0, text.find_first_of("\r\n"));
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty() || text.size() > 32) return v;
  for (char c : text) {
    const bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
                    c == '-' || c == '_' || c == '+';
    if (!ok) return v;
  }
  v.version.assign(text.begin(), text.end());
  v.outcome = v.version == this_version ? UpdateOutcome::kUpToDate : UpdateOutcome::kNewVersion;
  return v;
}

UpdateMessage UpdateMessageFor(const UpdateVerdict& verdict) {
  using K = UpdateMessage::Kind;
  switch (verdict.outcome) {
    case UpdateOutcome::kNotConfigured:
      return {
          u"No update check is configured: set UpdateCheckUrl in the [Global] section of nusk.ini to the "
          u"address of a version file.",
          K::kInformation};
    case UpdateOutcome::kUpToDate: return {Tr(u"MSG.UP_TO_DATE", u"Nusk is update to date!"), K::kInformation};
    case UpdateOutcome::kNewVersion:
      return {FillPlaceholders(Tr(u"MSG.NEW_VERSION_AVAILABLE",
                                  u"A new version of Nusk(%s) is available.\nWould you want to download it now?"),
                               {verdict.version}),
              K::kAskOkCancel};
    case UpdateOutcome::kFailed: break;
  }
  return {Tr(u"MSG.CHECK_UPDATE_FAILED", u"Failed to read latest version info from Nusk website."), K::kWarning};
}

struct DetachedFetch::Shared {
  std::atomic<bool> done{false};
  std::optional<std::string> result;  // written before done is set, read after
};

DetachedFetch::DetachedFetch(std::function<std::optional<std::string>()> fetch) : shared_(std::make_shared<Shared>()) {
  std::thread([shared = shared_, fetch = std::move(fetch)] {
    shared->result = fetch();
    shared->done.store(true, std::memory_order_release);
  }).detach();
}

bool DetachedFetch::Ready() const { return shared_->done.load(std::memory_order_acquire); }

std::optional<std::string> DetachedFetch::Take() {
  if (!Ready()) return std::nullopt;
  return std::move(shared_->result);
}

}  // namespace nusk
