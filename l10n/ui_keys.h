// The keys through which the window code looks up its texts, grouped as in a language
// file: the section each group is read from and the keys it holds.
//
// Tables are keyed by these strings rather than by window command identifiers: the
// identifiers belong to the window code, which maps each of its commands to a key
// here (its menu, toolbar and ribbon tables name the key next to the identifier). Keeping
// strings here lets the tables be filled, checked and tested without any window.
#pragma once
#include <span>
#include <string_view>

namespace nusk {

// The 58 menu-command keys and the 16 popup keys of section `menu`.
std::span<const std::u16string_view> MenuCommandKeys();
std::span<const std::u16string_view> PopupKeys();
// The 12 keys of section `context_menu` (menu texts of the context menus).
std::span<const std::u16string_view> ContextMenuKeys();
// Section `toolbar`.
std::span<const std::u16string_view> ToolbarKeys();
// Section `ribbon`.
std::span<const std::u16string_view> RibbonKeys();
// Section `menuhelp`: help texts stored in the message table under MenuHelpKey(key).
std::span<const std::u16string_view> MenuHelpKeys();

// Dialog texts come from several sections; each text is stored under "section.key"
// ("button.close", "label.volumes") because the same key occurs in more than one section.
struct DialogSection {
  std::u16string_view section;
  std::span<const std::u16string_view> keys;
};
std::span<const DialogSection> DialogSections();

// One row of the message table: the key the code asks for, where a language file holds
// the text, and the English text (null where the code formats its own).
struct MessageRow {
  std::u16string_view key;
  std::u16string_view section;
  std::u16string_view file_key;
  const char16_t* english;
};
std::span<const MessageRow> MessageRows();
// The English text for a message key; null when the key has none or is unknown.
const char16_t* EnglishMessage(std::u16string_view key);

}  // namespace nusk
