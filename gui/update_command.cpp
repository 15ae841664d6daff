// Help > Check for Updates.
//
// The update check: the version file is fetched on a thread of its own while the window
// keeps dispatching messages; the window stops waiting at the 5-second limit whatever the
// fetch is doing, and the fetch ends by itself.
#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <optional>

#include "gui/main_window.h"
#include "l10n/mui.h"
#include "platform/win32/win_text.h"
#include "settings/setting_keys.h"
#include "ui/update_check.h"
#include "util/utf.h"
#include "web/http_get.h"

namespace nusk {

void MainWindow::CheckForUpdates() {
  if (update_check_running_) return;  // a second click while the first check waits
  std::u16string address = GetText(settings_, SettingId::kUpdateCheckUrl);
  while (!address.empty() && address.back() == u' ') address.pop_back();
  while (!address.empty() && address.front() == u' ') address.erase(0, 1);
  UpdateVerdict verdict;
  if (address.empty()) {
    verdict.outcome = UpdateOutcome::kNotConfigured;
  } else {
    update_check_running_ = true;
    SetStatus(u"{PUSH}");
    SetStatus(u"Checking for updates...");
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const std::string url =
        UpdateRequestUrl(ToUtf8(address), (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
    DetachedFetch fetch([url] {
      std::string body;
      const Status s = http::HttpGet(url, kUpdateCheckTimeoutMs, 4096, &body);
      return s.ok() ? std::optional<std::string>(std::move(body)) : std::nullopt;
    });
    // The request keeps its own 5-second limit once connected; the name look-up before it
    // has none, so the window stops waiting at the limit (and a little more) by itself.
    const auto limit = std::chrono::milliseconds(kUpdateCheckTimeoutMs + 250);
    const auto start = std::chrono::steady_clock::now();
    if (!PumpUntil(
            this, [&fetch] { return fetch.Ready(); }, static_cast<int>(limit.count())) &&
        std::chrono::steady_clock::now() - start < limit) {
      PostQuitMessage(0);  // the wait took the message loop's WM_QUIT: hand it back
    }
    verdict = JudgeVersionFile(fetch.Take(), kThisVersion);
    SetStatus(u"{POP}");
    update_check_running_ = false;
  }
  if (!IsWindow(hwnd_)) return;
  const UpdateMessage m = UpdateMessageFor(verdict);
  const std::wstring title = W(Tr(u"TITLE.CHECK_UPDATE", u"Check for updates"));
  UINT flags = MB_OK | MB_ICONINFORMATION;
  if (m.kind == UpdateMessage::Kind::kWarning) flags = MB_OK | MB_ICONWARNING;
  if (m.kind == UpdateMessage::Kind::kAskOkCancel) flags = MB_OKCANCEL | MB_ICONQUESTION;
  const int answer = MessageBoxW(hwnd_, W(m.text).c_str(), title.c_str(), flags);
  if (m.kind == UpdateMessage::Kind::kAskOkCancel && answer == IDOK) {
    // The download page, when one is set; only web addresses are handed to the shell.
    const std::u16string page = GetText(settings_, SettingId::kUpdatePageUrl);
    if (page.rfind(u"http://", 0) == 0 || page.rfind(u"https://", 0) == 0) {
      ShellExecuteW(hwnd_, L"open", W(page).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
  }
}

}  // namespace nusk
