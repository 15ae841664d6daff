// Driving a real main window inside the test process: a small index on disk, the window
// over it, typed characters and keys posted through the window's own message loop, the
// message boxes it shows answered from a helper thread, and screenshots.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "gui/main_window.h"
#include "tests/search/test_index.h"

namespace nusk::testing {

// Sets or clears a modifier in this thread's key state (what GetKeyState reads).
void SetModifier(int vk, bool down);

// Answers the next message box (or dialog) with this caption by pressing `button` and keeps
// its static text.
class MessageBoxCatcher {
 public:
  explicit MessageBoxCatcher(int button, std::wstring caption = L"Nusk");
  ~MessageBoxCatcher();
  std::u16string text() const;
  bool seen() const { return seen_; }

 private:
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> seen_{false};
  std::u16string text_;
  int button_;
  std::wstring caption_;
};

// A window's or control's text, also of another process's window (WM_GETTEXT, which the
// system carries across processes; a hung window gives up after 5 s).
std::u16string WindowText(HWND w);

// The clipboard's text, and the files it holds (CF_HDROP).
std::u16string ClipboardText();
std::vector<std::u16string> ClipboardFiles();

class WindowDriver {
 public:
  // index: built (Build() called); settings_ini: the text of "nusk.ini" in its home.
  WindowDriver(TestIndex* index, std::string_view settings_ini);
  ~WindowDriver();

  // Called with the window's configuration just before the window is created (hooks).
  std::function<void(MainWindowConfig*)> configure;
  // Creates the window and waits for the first result. False when either fails.
  bool Open(const std::u16string& initial_text = u"");
  MainWindow& window() { return *window_; }
  ResultList& list() { return window_->results(); }
  HWND hwnd() { return window_->hwnd(); }

  // Posts the characters to the search box as typed and waits until the search settles.
  void Type(std::u16string_view text);
  // Sets the box's text in one step (as WM_SETTEXT from another program does) and waits.
  void SetText(std::u16string_view text);
  // Posts a key press to the focused control (with Ctrl/Alt held when asked) and pumps.
  void Key(int vk, bool ctrl = false, bool alt = false);
  // Clicks the header item at display position pos (with Ctrl held when asked).
  void ClickHeader(int pos, bool ctrl = false);
  // Waits for the search timer, the worker and the posted result.
  void Settle();
  void Pump(int ms = 50);

  std::u16string Cell(uint32_t row, int column) { return list().CellText(row, column); }
  std::u16string HeaderText(int pos);
  HWND Focus() const { return GetFocus(); }

  // Saves the window as a PNG under <build>/screenshots/<name>.png; false on failure.
  bool Screenshot(const std::string& name);

 private:
  TestIndex* index_;
  std::unique_ptr<MainWindow> window_;
};

// The text of "nusk.ini" in the index's home, as the window left it.
std::string SavedSettings(TestIndex& index);

// Saves the screen area as <build>/screenshots/<name>.png (any thread).
bool SaveScreenPng(RECT area, const std::string& name);

// Runs `open` (which shows a modal popup menu), and from a helper thread saves the window
// together with the menu as <name>.png, then closes the menu. submenu >= 0: the popup at
// that position (separators not counted) is opened first and shot with it. True when the
// shot was saved.
bool ScreenshotWithMenu(HWND window, const std::function<void()>& open, const std::string& name, int submenu = -1);

// Runs `open` (which shows a popup menu) and reads the menu's entries from another thread
// while it is open, then presses Down `choose` times and Enter (Escape for 0).
struct PopupEntries {
  std::vector<UINT> ids;
  std::vector<std::u16string> texts;
  std::vector<bool> grey;
};
PopupEntries ReadPopup(const std::function<void()>& open, int choose);

// Runs `each` once per language code: "en" with no table installed, "de" and "ja" with
// their built-in tables (filled) installed. English is installed again afterwards.
void InEachLanguage(std::initializer_list<std::string_view> codes,
                    const std::function<void(const std::string& code)>& each);

// The window's item count for a shown list text: the rows whose name contains `part`
// (case-insensitive), counted over the paths given.
size_t CountNamesContaining(const std::vector<std::u16string>& paths, std::u16string_view part);

}  // namespace nusk::testing
