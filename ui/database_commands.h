// The window's database commands that need no window: which clean a Clean entry runs,
// the parameters the hashing tool is started with, the search that lists the files of
// one content, whether a query reads the content hashes, and the ignored-folders text.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nusk {

enum class CleanScope {
  kWholeDatabase,  // the database files are deleted
  kOneDrive,       // only the drive's items leave the index
};

// letter: 0 for "Clean All", else the drive's letter 'A'..'Z'; indexed_drives: the drive
// letters of the loaded index (NuskDb::DriveListText). Cleaning the only drive of the
// index is cleaning all of it; with no index loaded, a letter cleans that drive only.
CleanScope DecideCleanScope(char16_t letter, std::u16string_view indexed_drives);

// ` --dbdir "<home>"`, with one more backslash when home ends in one, so the closing
// quote is not taken as an escaped quote by the tool's command-line parser.
std::u16string HasherParameters(std::u16string_view home);

// "/hash:XXXXXXXX": the files whose content hash value is `value`.
std::u16string SameContentQuery(uint32_t value);

// A query that needs the content-hash tables: "/dup:" or "/hash:" in it, or a named
// search ("@"), which may hold either.
bool QueryNeedsHashes(std::u16string_view query);

// The ignored folders one per line (CR LF), or `none` when there is none.
std::u16string IgnoredFoldersText(const std::vector<std::u16string>& folders, std::u16string_view none);

}  // namespace nusk
