// The database files in the home folder and their fixed layout (all little-endian,
// rows packed without padding).
//
// "nusk.frs": 128-byte header | 26 x 128 DriveState | N x 20 file rows | label pool
//             (UTF-16, letter order) | 256 x 128 MountState (absent in older files).
// "nusk.nrs": u32 M | M x 11 name rows | name texts (NameKeys, 8-bit or UTF-16).
// "nusk.hid": u32 K | K x u32 item index | K x u8 HideState.
//
// Commit protocol (crash-safe): the new files are written as ".tmp" companions and
// flushed; then each live file is moved to ".old" (an empty ".old" is created when there
// was no live file), so the presence of any ".old" means "all .tmp files are complete";
// then every ".tmp" is moved over its live file and the ".old" files are deleted.
// A crash before the first ".old" exists leaves the old index; after it, the new one
// (RecoverInterruptedCommit finishes the moves; readers resolve the same way read-only).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/env.h"
#include "index/status_sink.h"
#include "util/status.h"

namespace nusk {

inline constexpr uint32_t kFormatVersion = 0x00000400;  // 4.0.0 in bytes 1..3
inline constexpr size_t kHeaderSize = 128;
inline constexpr size_t kStateBlockSize = 128;
inline constexpr size_t kDriveBlocksSize = 26 * kStateBlockSize;       // 3,328
inline constexpr size_t kRowsOffset = kHeaderSize + kDriveBlocksSize;  // 3,456
inline constexpr size_t kFileRowSize = 20;
inline constexpr size_t kMountBlocksSize = 256 * kStateBlockSize;  // 32,768
inline constexpr size_t kNameRowSize = 11;

inline constexpr char16_t kFrsName[] = u"nusk.frs";
inline constexpr char16_t kNrsName[] = u"nusk.nrs";
inline constexpr char16_t kHidName[] = u"nusk.hid";

// home + name, inserting the native separator when home lacks one.
std::u16string DbPath(const std::u16string& home, std::u16string_view name, Env* env);

// Which files make up the current index, taking an interrupted commit into account.
// Read-only: safe while another process commits (callers retry when it changed).
struct DbFileSet {
  std::u16string frs, nrs, hid;   // paths to read; a path may name a missing file
  bool rotation_pending = false;  // an interrupted commit was found
  bool operator==(const DbFileSet&) const = default;
};
DbFileSet ResolveDbFiles(const std::u16string& home, Env* env);

// Finishes a commit that was interrupted after its ".tmp" files were complete, or
// removes the ".tmp" files of one interrupted before. Call only while holding the build
// lock (LoadIndexForWrite does). Ok when nothing was pending.
Status RecoverInterruptedCommit(const std::u16string& home, Env* env, IStatusSink* sink = nullptr);

// The whole file as a view (mapped where the system allows); a missing file reads as
// empty and leaves the view null. A read failure names the file.
Status ViewOptional(Env* env, const std::u16string& path, std::unique_ptr<FileView>* view, std::string_view* bytes);

// Checks the counts in the heads of the files against the files' sizes and against each
// other, before any body is mapped or read: a file whose header cannot be true costs one
// small read, not a read of its whole size. *fault is the complete message naming the
// file that is wrong ("" when all agree); the status fails only when a file cannot be
// read. "nusk.hid" is checked when with_hid is set.
Status CheckDbSizes(const DbFileSet& files, bool with_hid, Env* env, std::string* fault);

// Moves "nusk.frs", "nusk.nrs" and "nusk.hid" aside to "<name>.bad" (or "<name>.bad.N"
// when that exists) so a fresh index can be written without losing the damaged one.
Status SetDamagedFilesAside(const std::u16string& home, Env* env, IStatusSink* sink = nullptr);

// "%d.%d.%d" of bytes 1, 2, 3 of the first u32 of "nusk.frs"; empty when the file
// cannot be read or is shorter than 4 bytes.
std::u16string ReadFormatVersion(const std::u16string& home, Env* env);

// True when "nusk.frs" or "nusk.nrs" exists / when both exist.
bool HasDatabase(const std::u16string& home, Env* env);
bool HasCompleteDatabase(const std::u16string& home, Env* env);

}  // namespace nusk
