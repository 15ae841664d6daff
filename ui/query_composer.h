// The query composer's form: its fields, the query text they compose, and the way back
// from a search text to the fields.
//
// Composing follows a fixed order: root folder, partial path, type, drive status, name
// pattern, further conditions, size, dates. Filling reads a text with the query tokenizer
// and accepts it only when composing the fields found gives exactly that text again, so
// opening the form on a search never changes what is searched for.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace nusk {

// The units of the minimum size list: "Same as below", "KB", "MB", "GB".
enum class MinSizeUnit { kSameAsBelow = 0, kKB = 1, kMB = 2, kGB = 3 };
// The units of the maximum size list: "Bytes", "KB", "MB", "GB".
enum class MaxSizeUnit { kBytes = 0, kKB = 1, kMB = 2, kGB = 3 };
// The drive-status radio buttons.
enum class DriveStatus { kUnspecified = 0, kOnline = 1, kOffline = 2 };

struct ComposerDate {
  int year = 0, month = 0, day = 0;
  bool operator==(const ComposerDate&) const = default;
};

struct ComposerFields {
  std::u16string root_dir;      // folder to search in
  std::u16string partial_path;  // a fragment of a folder name on the item's path
  int type = 3;                 // 1 files, 2 folders, any other value both
  DriveStatus drive = DriveStatus::kUnspecified;
  std::u16string name_begin;
  std::u16string name_contains;
  std::u16string name_end;
  std::u16string min_size;
  MinSizeUnit min_unit = MinSizeUnit::kSameAsBelow;
  std::u16string max_size;
  MaxSizeUnit max_unit = MaxSizeUnit::kMB;
  std::optional<ComposerDate> from;  // unchecked date picker: nullopt
  std::optional<ComposerDate> to;
  std::u16string misc;  // further conditions, appended as typed
  bool operator==(const ComposerFields&) const = default;
};

// The query text of the fields. A root folder that contains a space, or that the text after
// it would otherwise run into (a following term with a backslash continues a folder token),
// gets a trailing backslash; a partial path that contains a space, or that the following
// text would run into, is quoted.
std::u16string ComposeFieldsQuery(const ComposerFields& fields);

// The fields that compose exactly `text` (white space at either end ignored). Every text has
// such fields, since further conditions are appended as typed: a text the other fields cannot
// account for lands there whole. Where several field sets give the same text, the answer is
// the canonical one: the first plain term after the folders, type and drive status is the
// name pattern, a minimum with a unit letter and no maximum keeps its own unit, and unit lists
// that the text does not show keep their defaults.
ComposerFields FieldsFromQuery(std::u16string_view text);

// The search text after a folder was chosen in the folder tree: the text's folder (its root
// folder, as the composer reads it, and any other absolute folder term) gives way to
// `folder`, which comes first; the other terms stay. A single backslash (the tree's root)
// stands for every folder and is written alone.
std::u16string WithSearchFolder(std::u16string_view text, std::u16string_view folder);

// The composer window's saved position ("%d,%d": left and top). nullopt for any other text.
struct WindowPos {
  int left = 0, top = 0;
  bool operator==(const WindowPos&) const = default;
};
std::optional<WindowPos> ParseWindowPos(std::u16string_view text);
std::u16string WindowPosText(WindowPos pos);

}  // namespace nusk
