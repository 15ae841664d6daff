// The operating-system seam for files, folders, clocks, locks and diagnostics, and the
// maker of the objects that keep a system handle open: a walk's folder lister, a raw
// volume, a change journal, a file read piece by piece (also the served file) and the
// build log.
//
// Everything outside platform/ reaches the system through Env (or the other small
// interfaces in this folder), so the core builds and is tested without OS headers.
// Env::Default() is the real system (env_posix.cpp / env_win32.cpp); only the entry
// points (app/, gui/) call it and hand the Env down. Tests wrap it with EnvWrapper to
// inject faults (failed writes, a crash between two steps, an unreadable folder, a
// short volume read, a read error mid-file, a log that cannot be written).
//
// Paths are UTF-16. On Windows they are used as they are; on POSIX they are converted
// to UTF-8. Every method is safe to call from any thread unless it says otherwise.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "util/status.h"

namespace nusk {

class AppendFile;
class FileStream;
class RawVolume;
class UsnJournal;
class VolumeLister;
struct OpenedItem;

// One entry of a folder listing.
struct DirEntry {
  std::u16string name;  // no path, never "." or ".."
  bool is_folder = false;
  bool is_link = false;     // symbolic link or reparse point: walkers must not descend
  uint64_t size = 0;        // bytes; 0 for folders
  uint64_t mtime = 0;       // FILETIME (100 ns since 1601-01-01 UTC)
  uint32_t attributes = 0;  // FILE_ATTRIBUTE_* bits (hidden 0x2, system 0x4, ...)
};

// Who a file is and when it last changed, as the file system tells without reading it.
// Two equal identities of one path mean the same file, not written since, as far as the
// system's clocks can tell (a rewrite in place within one tick of the write and change
// times is not seen).
struct FileIdentity {
  uint64_t size = 0;
  uint64_t write_time = 0;   // last write, FILETIME units
  uint64_t change_time = 0;  // last change of the data or the metadata (POSIX ctime, NTFS ChangeTime)
  uint64_t volume = 0;       // device number / volume serial number
  uint64_t file_id = 0;      // inode / NTFS file index
  bool operator==(const FileIdentity&) const = default;
};

// A machine-wide lock (Windows named mutex; POSIX flock on a lock file).
class NamedMutex {
 public:
  virtual ~NamedMutex() = default;
  // Takes the lock without waiting. Ok with *taken true when this object now holds it,
  // ok with *taken false when another holder has it; an error when the lock could not be
  // examined at all (the lock file is a link or cannot be created...), *taken false.
  virtual Status TryLock(bool* taken) = 0;
  // Releases a lock taken by TryLock; no effect otherwise.
  virtual void Unlock() = 0;
};

// The read-only bytes of a whole file, held for as long as the object lives.
class FileView {
 public:
  virtual ~FileView() = default;
  virtual std::string_view bytes() const = 0;
  // Copies bytes [at, at + size) of the file into dst. A view of
  // Env::MapWholeFileWithReads reads them from the file it keeps open, without touching
  // the mapped pages, so pieces of a large file can be read without making the pages
  // around them resident; other views copy them from bytes(). True when every byte was
  // read; false past the end, on a read error, or when the file ends earlier (shortened
  // in place): dst then holds unspecified bytes. Any thread.
  virtual bool ReadAt(uint64_t at, char* dst, uint64_t size) const;
};

class Env {
 public:
  virtual ~Env() = default;

  // The real operating system. Never null; lives for the whole process.
  static Env* Default();

  // Character that separates folders in native paths ('\\' on Windows, '/' on POSIX).
  virtual char16_t PathSeparator() const = 0;

  // Reads the whole file into *bytes with one read. A missing file fails with a message
  // that says so; FileExists tells the two apart when a caller treats missing as empty.
  virtual Status ReadWholeFile(const std::u16string& path, std::string* bytes) = 0;

  // The whole file as a read-only view, for large files read once and parsed in place.
  // POSIX maps the file (its pages come straight from the page cache, nothing is copied or
  // zero-filled); elsewhere the bytes are read into memory the view owns. The view keeps
  // the bytes it opened when the file is later replaced by a rename, which is how every
  // index file is written; a file shortened in place while mapped is not supported.
  // Fails like ReadWholeFile.
  virtual Status ViewWholeFile(const std::u16string& path, std::unique_ptr<FileView>* view);

  // The same, but the bytes may be read only when first touched (POSIX and Windows map
  // the file; POSIX without reading ahead), so a large file of which little is used costs
  // little memory. On Windows, while the view lives, the file cannot be deleted or
  // replaced by a rename (RemoveFile and RenameFile onto it fail), but it can itself be
  // renamed. Env's own form is ViewWholeFile.
  virtual Status MapWholeFile(const std::u16string& path, std::unique_ptr<FileView>* view) {
    return ViewWholeFile(path, view);
  }

  // MapWholeFile, with the file kept open while the view lives: FileView::ReadAt reads
  // pieces of the same file (also after a rename replaced it) with a positioned read
  // (POSIX pread), so a short process that needs a few scattered pieces does not touch
  // the mapping at all, and the system cannot map cached neighbours of those pieces into
  // it. Env's own form is MapWholeFile (ReadAt then copies from the bytes).
  virtual Status MapWholeFileWithReads(const std::u16string& path, std::unique_ptr<FileView>* view) {
    return MapWholeFile(path, view);
  }

  // The identity of an existing regular file. False when it is missing or the system (or
  // this Env) cannot tell one; callers then compare contents instead. Env's own form
  // always answers false.
  virtual bool IdentifyFile(const std::u16string& path, FileIdentity* id) {
    (void)path;
    (void)id;
    return false;
  }

  // The first max_bytes of the file (fewer when it is shorter) and its whole size, without
  // reading the rest, so a loader can check a header against the size before it maps or
  // reads a file that may be huge. Env's own form opens regular files through FileStream.
  // Fails like ReadWholeFile.
  virtual Status ReadFileHead(const std::u16string& path, size_t max_bytes, std::string* head, uint64_t* size);

  // Creates or truncates the file and writes the bytes. With flush, the data reaches the
  // disk before the call returns (fsync / FlushFileBuffers). Any short write is a failure.
  virtual Status WriteWholeFile(const std::u16string& path, std::string_view bytes, bool flush) = 0;

  // Moves from over to, replacing an existing to in one step where the system allows it.
  virtual Status RenameFile(const std::u16string& from, const std::u16string& to) = 0;

  // Deletes a file. Deleting a missing file succeeds.
  virtual Status RemoveFile(const std::u16string& path) = 0;

  virtual bool FileExists(const std::u16string& path) = 0;
  virtual bool FolderExists(const std::u16string& path) = 0;

  // Size in bytes, or -1 when the file cannot be examined.
  virtual int64_t FileSize(const std::u16string& path) = 0;

  // Creates one folder; an existing folder is success; the parent must exist.
  virtual Status CreateFolder(const std::u16string& path) = 0;

  // Deletes an empty folder. Deleting a missing folder succeeds.
  virtual Status RemoveFolder(const std::u16string& path) = 0;

  // Makes earlier renames in the folder durable (fsync of the folder on POSIX; no-op on Windows).
  virtual Status SyncFolder(const std::u16string& path) = 0;

  // Lists one folder. The callback returns false to stop early.
  virtual Status ListFolder(const std::u16string& path, const std::function<bool(const DirEntry&)>& on_entry) = 0;

  // Full path of the running executable.
  virtual std::u16string ExecutablePath() = 0;

  // Current time as a FILETIME count (100 ns units since 1601-01-01 UTC).
  virtual uint64_t NowFileTime() = 0;
  // Monotonic milliseconds for measuring durations.
  virtual uint64_t MonotonicMs() = 0;

  // A machine-wide lock that belongs to an existing folder; tag tells apart the locks of
  // one folder (ASCII letters, digits and '_'). Never null.
  // Windows: the named mutex "Global\" + folder with '\' turned into '/' + "|" + tag;
  // a mutex that exists but may not be opened (made by an elevated process or a service)
  // counts as held. POSIX: flock on the file tag (lower-cased) + ".lock" inside the folder
  // itself, created with mode 0600 and never opened through a symbolic link, so that every
  // spelling of the folder ("/a/./b", "//a/b", a link to it) meets the same lock.
  virtual std::unique_ptr<NamedMutex> CreateFolderLock(const std::u16string& folder, const std::u16string& tag) = 0;

  // Diagnostic text for a debugger (OutputDebugStringW; stderr when NUSK_DEBUG is set on POSIX).
  virtual void DebugOutput(std::u16string_view text) = 0;

  // Value of an environment variable, empty when unset.
  virtual std::u16string GetEnvVar(std::u16string_view name) = 0;

  // --- Objects that keep a handle open (their interfaces are in platform/*.h) ---

  // A lister for the walk of the volume holding root (a folder path ending with the
  // separator); see platform/volume_lister.h. POSIX: folders on another device than root
  // come back flagged no_descend. Fails, *lister null, when root cannot be examined.
  virtual Status NewVolumeLister(const std::u16string& root, std::unique_ptr<VolumeLister>* lister) = 0;

  // Opens a volume's raw bytes for reading (an NTFS image file, a block device, "\\.\C:");
  // see platform/raw_volume.h. Fails, *volume null, with the path and the system's text.
  virtual Status OpenRawVolume(const std::u16string& path, std::unique_ptr<RawVolume>* volume) = 0;

  // Opens the change journal of a volume (platform/usn_journal.h says where POSIX keeps
  // one). Fails, *journal null, with the system's error number in *error_code.
  virtual Status OpenUsnJournal(const std::u16string& volume_path, std::unique_ptr<UsnJournal>* journal,
                                uint32_t* error_code) = 0;

  // Opens an existing regular file for reading piece by piece (platform/file_stream.h).
  // Null when missing, a folder or not readable; anything else (FIFO, device, socket) is
  // refused without waiting on it, and *not_regular (when not null) is set to say so.
  virtual std::unique_ptr<FileStream> OpenFileStream(const std::u16string& path, bool* not_regular) = 0;

  // Opens root + names[0] + ... without following a link below root, for serving an item
  // the index shows (platform/file_stream.h states the whole contract). True for a
  // regular file (out->file set) or a folder (out->file null); false for anything else.
  virtual bool OpenBelow(const std::u16string& root, const std::vector<std::u16string>& names, OpenedItem* out) = 0;

  // Opens a text file to be written line by line, each write flushed to the system
  // (platform/append_file.h): appending when append is set, else truncating; created when
  // missing. Fails, *file null, with the path and the system's text.
  virtual Status NewAppendFile(const std::u16string& path, bool append, std::unique_ptr<AppendFile>* file) = 0;
};

// Forwards every call to another Env; tests derive from it and override what they break.
class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env* target) : target_(target) {}
  Env* target() const { return target_; }

  char16_t PathSeparator() const override { return target_->PathSeparator(); }
  Status ReadWholeFile(const std::u16string& p, std::string* b) override { return target_->ReadWholeFile(p, b); }
  // ViewWholeFile is deliberately not forwarded: Env's own form reads through this
  // wrapper's ReadWholeFile, so a wrapper that serves or fails reads serves views too.
  // MapWholeFile, MapWholeFileWithReads and IdentifyFile are not forwarded for the same
  // reason: an identity of the real file says nothing about the bytes a wrapper serves.
  // ReadFileHead does the same, cutting what the wrapper's ReadWholeFile gives.
  Status ReadFileHead(const std::u16string& path, size_t max_bytes, std::string* head, uint64_t* size) override;
  Status WriteWholeFile(const std::u16string& p, std::string_view b, bool f) override {
    return target_->WriteWholeFile(p, b, f);
  }
  Status RenameFile(const std::u16string& a, const std::u16string& b) override { return target_->RenameFile(a, b); }
  Status RemoveFile(const std::u16string& p) override { return target_->RemoveFile(p); }
  bool FileExists(const std::u16string& p) override { return target_->FileExists(p); }
  bool FolderExists(const std::u16string& p) override { return target_->FolderExists(p); }
  int64_t FileSize(const std::u16string& p) override { return target_->FileSize(p); }
  Status CreateFolder(const std::u16string& p) override { return target_->CreateFolder(p); }
  Status RemoveFolder(const std::u16string& p) override { return target_->RemoveFolder(p); }
  Status SyncFolder(const std::u16string& p) override { return target_->SyncFolder(p); }
  Status ListFolder(const std::u16string& p, const std::function<bool(const DirEntry&)>& cb) override {
    return target_->ListFolder(p, cb);
  }
  std::u16string ExecutablePath() override { return target_->ExecutablePath(); }
  uint64_t NowFileTime() override { return target_->NowFileTime(); }
  uint64_t MonotonicMs() override { return target_->MonotonicMs(); }
  std::unique_ptr<NamedMutex> CreateFolderLock(const std::u16string& f, const std::u16string& t) override {
    return target_->CreateFolderLock(f, t);
  }
  void DebugOutput(std::u16string_view t) override { target_->DebugOutput(t); }
  std::u16string GetEnvVar(std::u16string_view n) override { return target_->GetEnvVar(n); }
  Status NewVolumeLister(const std::u16string& r, std::unique_ptr<VolumeLister>* l) override {
    return target_->NewVolumeLister(r, l);
  }
  Status OpenRawVolume(const std::u16string& p, std::unique_ptr<RawVolume>* v) override {
    return target_->OpenRawVolume(p, v);
  }
  Status OpenUsnJournal(const std::u16string& p, std::unique_ptr<UsnJournal>* j, uint32_t* e) override {
    return target_->OpenUsnJournal(p, j, e);
  }
  std::unique_ptr<FileStream> OpenFileStream(const std::u16string& p, bool* n) override;
  bool OpenBelow(const std::u16string& r, const std::vector<std::u16string>& n, OpenedItem* o) override {
    return target_->OpenBelow(r, n, o);
  }
  Status NewAppendFile(const std::u16string& p, bool a, std::unique_ptr<AppendFile>* f) override {
    return target_->NewAppendFile(p, a, f);
  }

 private:
  Env* target_;
};

}  // namespace nusk
