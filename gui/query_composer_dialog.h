// The query composer: a modeless window of form fields over the main window. Every change of
// a field composes the query (ui/query_composer.h) and hands it to the main window as message
// 20447 (wParam 0, lParam the text, valid during the call), which makes it the search text and
// searches at once. When it opens, the fields are filled from the current search text. Its
// position is kept as UIState/QueryComposerPos.
#pragma once
#include <windows.h>

#include <string>

#include "settings/settings_file.h"
#include "ui/query_composer.h"

namespace nusk {

inline constexpr UINT kMsgComposedQuery = 20447;
inline constexpr wchar_t kQueryComposerClass[] = L"Nusk_Query_Composer";

// Control identifiers of the form's fields.
enum ComposerControl : int {
  kQcRootDir = 3001,
  kQcPartialPath,
  kQcFiles,
  kQcFolders,
  kQcBoth,
  kQcNameBegin,
  kQcNameContains,
  kQcNameEnd,
  kQcMinSize,
  kQcMinUnit,
  kQcMaxSize,
  kQcMaxUnit,
  kQcFromDate,
  kQcToDate,
  kQcOnline,
  kQcOffline,
  kQcUnspecified,
  kQcMisc,
  kQcFirstLabel = 3100,  // + row
};

class QueryComposerDialog {
 public:
  QueryComposerDialog() = default;
  ~QueryComposerDialog();
  QueryComposerDialog(const QueryComposerDialog&) = delete;
  QueryComposerDialog& operator=(const QueryComposerDialog&) = delete;

  // Opens the window over `owner` (or brings it forward when open) with the fields of
  // `search_text`. The owner receives kMsgComposedQuery on every change of a field.
  void Show(HWND owner, const std::u16string& settings_path, std::u16string_view search_text);
  // Saves the position and closes the window (nothing when closed).
  void Close();
  HWND hwnd() const { return hwnd_; }
  bool is_open() const { return hwnd_ != nullptr && IsWindow(hwnd_); }
  // The dialog keyboard (Tab between fields, Escape closes); true when the message was taken.
  bool PreTranslate(MSG* msg);
  // The fields as the controls hold them now.
  ComposerFields Fields() const;

  // For ObjectWindowProc (gui/window_thunk.h).
  void AttachWindow(HWND hwnd) { hwnd_ = hwnd; }
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);

 private:
  void CreateControls();
  void SetFields(const ComposerFields& f);
  void FieldChanged();
  void SavePosition();

  HWND hwnd_ = nullptr;
  HWND owner_ = nullptr;
  HFONT font_ = nullptr;
  std::u16string settings_path_;
  bool filling_ = false;  // fields set by the program: no hand-over
};

}  // namespace nusk
