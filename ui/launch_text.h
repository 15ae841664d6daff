// The initial search text from the command line and its hand-over to a running window.
#pragma once
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace nusk {

// The arguments joined by single spaces; an argument that contains a space and does not
// begin with a double quote is wrapped in double quotes.
std::u16string JoinSearchArguments(std::span<const std::u16string> args);

// The hand-over form written to `Message`/`FindStr`: every double quote becomes '|'.
std::u16string ToHandOverText(std::u16string_view text);
// The receiving side: every '|' becomes a double quote again.
std::u16string FromHandOverText(std::u16string_view text);

// Appends one space when the text, without its double quotes, names an existing file or
// folder (exists is asked once; an empty text is left alone), so the user can type the
// next term straight away.
std::u16string WithSpaceForExistingPath(std::u16string text, const std::function<bool(std::u16string_view)>& exists);

}  // namespace nusk
