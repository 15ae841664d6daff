// Opening many selected items: the question every ten items.
#pragma once
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace nusk {

// True before the 11th, 21st, ... item: when the number already opened is a positive
// multiple of 10.
bool AskBeforeOpening(size_t opened_so_far);

// "You have opened 10 files, do you want to continue?" (windows: "... 10 windows, ...",
// the wording for opening containing folders).
std::u16string ContinueOpeningQuestion(size_t opened_so_far, bool windows);

// The parameters for showing an item in its folder: /select,"<path>".
std::u16string SelectInFolderParameters(std::u16string_view full_path);

// Lines for the clipboard: the texts joined by CR LF (none after the last).
std::u16string ClipboardLines(std::span<const std::u16string> lines);

}  // namespace nusk
