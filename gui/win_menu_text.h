// Menus and dialogs in the current language table, and the small dialogs of the window.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

namespace nusk {

// Replaces the texts of the main menu (and its popups) with the current table's; without
// a table (English) the menu keeps the texts of the resource. A command's shortcut text
// (after a tab) stays when the translation has none.
void TranslateMainMenu(HMENU menu);

// The text of a context-menu or menu key in the current table, or english.
std::wstring MenuText(std::u16string_view key, std::u16string_view english);

// The OK and Cancel buttons of a dialog (IDOK, IDCANCEL) in the current table; without a
// table (English) they keep their texts.
void TranslateDialogButtons(HWND dlg);

// The "Go to Row" prompt; *text holds the last value in and the typed value out. False on Cancel.
bool AskGotoRow(HWND owner, std::u16string* text);

}  // namespace nusk
