// The classic toolbar's buttons and their saved form: the table of buttons the user may
// place on it (with the default set), the `ToolbarState` text that keeps the user's order,
// and `CustomCommandNames`, the names of the custom actions placed on it as buttons.
//
// A button is named by its code, a small number that stays the same across versions (it
// is what `ToolbarState` stores). The window maps each code to its command identifier by
// the command's name; this code only carries the names.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nusk {

// The image a button shows, from one of the system's standard toolbar image sets.
enum class ToolbarImageSet : uint8_t { kStandard, kView, kHistory };

// A button's menu: none; the whole button opens it; or a separate arrow beside a button
// that keeps its own command.
enum class ToolbarMenu : uint8_t { kNone, kWhole, kArrow };

struct ToolbarButtonDef {
  int code;                      // stored in `ToolbarState`; never reused
  std::u16string_view command;   // the window's command name ("Search.GoBack")
  std::u16string_view text_key;  // key in the language file's `toolbar` section, or a `menu` key
  bool menu_key;                 // text_key names a `menu` item (its text loses "&" and the shortcut)
  std::u16string_view english;   // the button's text without a language table
  ToolbarImageSet images;
  int image;  // index in the image set
  ToolbarMenu menu;
  bool nav;  // back, forward or up: hidden while `NavButtons` is off
};

// Every button the toolbar offers, in the order the customisation dialog lists them.
std::span<const ToolbarButtonDef> ToolbarButtons();
const ToolbarButtonDef* FindToolbarButton(int code);
const ToolbarButtonDef* FindToolbarButton(std::u16string_view command);

// One place on the toolbar: a button of the table, a separator, or a custom action (by its
// name, which survives reordering of the actions).
struct ToolbarSlot {
  enum class Kind : uint8_t { kButton, kSeparator, kCustomAction };
  Kind kind = Kind::kButton;
  int code = 0;           // kButton
  std::u16string action;  // kCustomAction: the action's name
  bool operator==(const ToolbarSlot&) const = default;
  static ToolbarSlot Button(int code) { return {Kind::kButton, code, {}}; }
  static ToolbarSlot Separator() { return {Kind::kSeparator, 0, {}}; }
  static ToolbarSlot Action(std::u16string name) { return {Kind::kCustomAction, 0, std::move(name)}; }
};

// The toolbar of a first start.
std::vector<ToolbarSlot> DefaultToolbarSlots();

// The saved form. `ToolbarState`: the slots joined by ",": a button as its code in decimal,
// a separator as "-", a custom action as "c"; `CustomCommandNames`: the names of the
// custom-action slots in the same order, joined by ",", a comma inside a name stored as
// the escape character (code 27). Both texts fit the settings reader's 254 characters:
// slots that would not fit are left out (with their names).
struct SavedToolbar {
  std::u16string state;
  std::u16string custom_names;
};
SavedToolbar EncodeToolbar(std::span<const ToolbarSlot> slots);

// Reads the saved form back. Unknown codes and a button that already appeared are dropped,
// as is a custom-action slot whose name is missing; adjacent separators collapse to one
// and none starts or ends the bar. Null when `state` is absent or holds no usable slot
// (the default toolbar is used then); an empty bar is "" and reads back as empty.
std::optional<std::vector<ToolbarSlot>> DecodeToolbar(std::u16string_view state, std::u16string_view custom_names,
                                                      bool state_present);

// `CustomCommandNames`: split at "," with code 27 turned back into ","; empty names skipped.
std::vector<std::u16string> ParseCustomCommandNames(std::u16string_view text);
std::u16string JoinCustomCommandNames(std::span<const std::u16string> names);

// A toolbar text taken from a menu text: the shortcut after a tab, a "(&X)" accelerator
// suffix, a trailing "..." and the "&" markers removed ("&&" stays one "&").
std::u16string ToolbarTextFromMenuText(std::u16string_view menu_text);

}  // namespace nusk
