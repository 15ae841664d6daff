// The "--dbdir" option, which every sub-command accepts anywhere on the command line.
#pragma once
#include <string>
#include <string_view>

#include "app/subcommands.h"

namespace nusk {

enum class DbdirOption {
  kAbsent,        // no "--dbdir": the vector is unchanged
  kTaken,         // option and value removed; *folder holds the normalised value
  kMissingValue,  // "--dbdir" was last or followed by an empty argument (both removed)
};

// Looks at args[1..] in order; the first argument equal to "--dbdir" (exact,
// case-sensitive) is the option and the next one its value. Both leave the vector, so
// later arguments move down by two; a second "--dbdir" stays where it is.
DbdirOption TakeDbdirOption(Args* args, char16_t separator, std::u16string* folder);

// A folder as given by the user, in the form the home folder uses: with the Windows
// separator '\\' every '/' becomes '\\'; the separator is appended when the text does not
// end with it. On POSIX ('/') a backslash is an ordinary file-name character.
std::u16string NormaliseFolder(std::u16string_view folder, char16_t separator);

}  // namespace nusk
