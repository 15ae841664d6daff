// Language tables: the texts that replace the English ones of the window when a language
// other than English is chosen. CMUI is the base with six empty maps; CDeUI, CFrUI, CJaUI,
// CZh0UI and CZhUI fill them from texts built into the program and ExtLangUI from a
// language file. Every lookup takes the English text as its default, so a missing key
// shows English.
//
// The parts that walk windows, menus and toolbars live with the window code, which asks
// the table for texts by key (see l10n/ui_keys.h): MenuText, PopupTitle, ToolbarText,
// RibbonText and DialogText here give everything those walks need.
//
// Threads: a table is filled once at start-up and then only read; the lazily loaded
// groups of ExtLangUI are loaded under a once-flag, so lookups are safe from any thread.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace nusk {

// The message-key hash: h = h * 33 + c over the UTF-16 units, unsigned 32-bit.
struct MessageKeyHash {
  size_t operator()(std::u16string_view key) const {
    uint32_t h = 0;
    for (char16_t c : key) h = h * 33 + c;
    return h;
  }
};

// Where a table reads its texts: section and key to the value as the profile reader returns
// it, read with a buffer of buffer_chars (empty when absent).
class LanguageSource {
 public:
  virtual ~LanguageSource() = default;
  virtual std::u16string Read(std::u16string_view section, std::u16string_view key, size_t buffer_chars) = 0;
};

class CMUI {
 public:
  virtual ~CMUI() = default;

  // The toolbar text for a toolbar key ("new_search"), or null.
  virtual const std::u16string* ToolbarText(std::u16string_view key);
  // The menu text for a menu-command or context-menu key, or english.
  virtual std::u16string MenuText(std::u16string_view key, std::u16string_view english);
  // The message text; when absent the English default, or the key itself when that is null.
  virtual std::u16string Message(std::u16string_view key, const char16_t* english);
  // Loads the ribbon texts where they are loaded on demand; nothing in the base.
  virtual void PrepareRibbonTexts() {}
  // Fills the maps; nothing in the base. Runs once, before the table is published.
  virtual void Fill() {}
  // The dialog text for "section.key" ("button.ok"); else english; else "<UNKNOWN>".
  virtual std::u16string DialogText(std::u16string_view key, const char16_t* english);

  // The popup title for a popup key ("file", "edit.text_size"), or english.
  std::u16string PopupTitle(std::u16string_view key, std::u16string_view english);
  // The ribbon label (also the tooltip title) for a ribbon key, or english. Call
  // PrepareRibbonTexts first.
  std::u16string RibbonText(std::u16string_view key, std::u16string_view english);
  // The status-bar help of a menu-help key, empty when the table has none.
  std::u16string MenuHelp(std::u16string_view key);

  // The message key under which a menu-help text is stored: "MNUHLP_" + key.
  static std::u16string MenuHelpKey(std::u16string_view key);

 protected:
  using TextMap = std::unordered_map<std::u16string, std::u16string>;
  using MessageMap = std::unordered_map<std::u16string, std::u16string, MessageKeyHash>;

  // Loaders shared by every table. A value counts only when it is non-empty, at most 254
  // characters long and free of damage (control characters, replacement characters,
  // broken surrogate pairs); otherwise the English text stays. "\t" and "\n" in a value
  // that contains a backslash become a tab and a line feed.
  void LoadMenus(LanguageSource& source);     // menu, context_menu, popups
  void LoadMessages(LanguageSource& source);  // message table and menu help
  void LoadDialogs(LanguageSource& source);
  void LoadToolbar(LanguageSource& source);
  void LoadRibbon(LanguageSource& source);

  TextMap ribbon_;
  MessageMap messages_{17};
  TextMap dialog_;
  TextMap menu_;
  TextMap popups_;
  TextMap toolbar_;
};

// A language-file value with its escapes applied. *usable is false (and the result empty)
// when the file has no usable text for the key: missing, empty, over-long or damaged.
std::u16string DecodeLanguageValue(std::u16string_view raw, bool* usable);

// The process-wide table: null for English. Installed once at start-up, before any
// window exists; later calls replace it (tests).
CMUI* CurrentUI();
void InstallUI(std::unique_ptr<CMUI> table);

// The text every display site shows: the current table's message, else english (or the
// key when english is null).
std::u16string Tr(std::u16string_view key, const char16_t* english);

}  // namespace nusk
