// Tools > Preview window: the viewer is a program of its own ("Orvi.exe" beside this
// one). While its window exists the toolbar shows the command pressed, and each change of
// the result list's selection (message 20430) hands the viewer the selected item's path.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include "gui/main_window.h"
#include "gui/resource.h"
#include "platform/win32/win_text.h"
#include "ui/preview.h"

namespace nusk {

namespace {

HWND FindViewer() { return FindWindowW(W(kPreviewWindowClass).c_str(), nullptr); }

}  // namespace

void MainWindow::TogglePreview() {
  std::u16string folder = config_.preview_folder;
  if (folder.empty()) {
    wchar_t buf[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    folder = U(std::wstring_view(buf, n));
    folder.resize(folder.find_last_of(u"\\/") + 1);
  }
  HWND viewer = FindWindowW(W(kPreviewWindowClass).c_str(), nullptr);
  const DWORD attributes = GetFileAttributesW(W(folder + kPreviewProgram).c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  std::u16string file;
  if (!viewer) {
    const std::vector<uint32_t> rows = list_.SelectedRows();
    if (!rows.empty()) file = list_.FullPath(rows.front());
  }
  const PreviewPlan plan = PlanPreview(viewer != nullptr, folder, exists, file);
  switch (plan.step) {
    case PreviewStep::kCloseViewer:
      PostMessageW(viewer, WM_CLOSE, 0, 0);
      preview_ticks_ = kPreviewWatchTicks;  // from now on only its end is watched for
      SetTimer(hwnd_, kPreviewTimer, kPreviewWatchMs, nullptr);
      break;
    case PreviewStep::kReportMissing:
      MessageBoxW(hwnd_, W(plan.message).c_str(), L"Nusk", MB_OK | MB_ICONINFORMATION);
      break;
    case PreviewStep::kStartViewer:
      ShellExecuteW(hwnd_, L"open", W(plan.program).c_str(),
                    plan.parameters.empty() ? nullptr : W(plan.parameters).c_str(), W(folder).c_str(), SW_SHOWNORMAL);
      // The viewer's window comes up on its own time: watch for it (and for its end).
      preview_ticks_ = 0;
      SetTimer(hwnd_, kPreviewTimer, kPreviewWatchMs, nullptr);
      break;
  }
}

void MainWindow::PreviewSelectionChanged() {
  if (preview_posted_ || !FindViewer()) return;
  preview_posted_ = true;  // one message for a burst of selection changes
  PostMessageW(hwnd_, kMsgPreviewSelection, 0, 0);
}

void MainWindow::OnPreviewSelection() {
  preview_posted_ = false;
  const HWND viewer = FindViewer();
  toolbar_.Check(IDM_TOOLS_PREVIEW_WINDOW, viewer != nullptr);
  if (!viewer) return;
  const std::vector<uint32_t> rows = list_.SelectedRows();
  if (rows.empty()) return;
  const std::u16string path = list_.FullPath(rows.front());
  COPYDATASTRUCT data = {};
  data.dwData = kPreviewShowFileTag;
  data.cbData = static_cast<DWORD>(path.size() * sizeof(char16_t));
  data.lpData = const_cast<char16_t*>(path.data());
  // A viewer that hangs must not hang the window: give it a second.
  SendMessageTimeoutW(viewer, WM_COPYDATA, reinterpret_cast<WPARAM>(hwnd_), reinterpret_cast<LPARAM>(&data),
                      SMTO_ABORTIFHUNG | SMTO_BLOCK, 1000, nullptr);
}

void MainWindow::OnPreviewTick() {
  const bool open = FindViewer() != nullptr;
  toolbar_.Check(IDM_TOOLS_PREVIEW_WINDOW, open);
  // Watched until the window has come and gone, or has not come within the ticks allowed.
  if (open) {
    preview_ticks_ = kPreviewWatchTicks;
  } else if (++preview_ticks_ > kPreviewWatchTicks) {
    KillTimer(hwnd_, kPreviewTimer);
  }
}

}  // namespace nusk
