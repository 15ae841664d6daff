// Shared helpers for the test suites: a scratch folder per test and a fault-injecting Env.
#pragma once
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/env.h"

namespace nusk::testing {

// Holds a machine-wide lock for as long as it lives, waiting (up to two minutes) for it.
// Tests that use a machine-wide name of the product (the build server's pipe) take it, so
// two test processes run by `ctest -j` never meet each other's server.
class MachineWideTestLock {
 public:
  explicit MachineWideTestLock(const std::u16string& tag);
  bool held() const { return held_; }

 private:
  std::unique_ptr<NamedMutex> mutex_;
  bool held_ = false;
};

// A fresh empty folder under the system temp folder, removed with its contents at the end.
// path() ends with the native separator.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::u16string& path() const { return path_; }
  // path() + relative, with '/' in relative turned into the native separator.
  std::u16string Sub(std::u16string_view relative) const;
  // Writes a file (creating missing parent folders) and returns its full path.
  std::u16string WriteFile(std::u16string_view relative, std::string_view bytes) const;

 private:
  std::u16string path_;
};

// Removes a folder and everything below it; missing is fine.
void RemoveTree(Env* env, const std::u16string& folder);

// Env that fails chosen operations: writes after a budget of bytes, renames by count,
// or calls a hook before each mutating step (to stop a child process there).
//
// It also keeps what a machine crash would leave: file data written without flush, and
// names made, moved or removed in a folder since that folder's last SyncFolder, are not
// durable. DropUnsyncedData() puts every path this Env touched back to that state (data
// that was never flushed reads back empty). Only whole-file writes are modelled.
class FaultInjectionEnv : public EnvWrapper {
 public:
  explicit FaultInjectionEnv(Env* target = Env::Default()) : EnvWrapper(target) {}

  // Every write fails once this many writes have succeeded (-1: never).
  std::atomic<int> fail_writes_after{-1};
  // Every rename fails once this many renames have succeeded (-1: never).
  std::atomic<int> fail_renames_after{-1};
  // Called before every write, rename, remove and folder sync with a description
  // ("write <path>").
  std::function<void(const std::u16string& step)> before_step;
  // Set (by before_step, say) when the process is to be taken as dead: that step and
  // every later one fail and change nothing.
  std::atomic<bool> dead{false};

  // Faults in the objects this Env makes (every one is off until set):
  // a walk's listing of a folder for which this answers true fails ("access denied");
  std::function<bool(const std::u16string& folder)> fail_listing;
  // a raw volume ends after this many bytes: a read reaching past it comes back short;
  std::atomic<int64_t> volume_bytes{-1};
  // a file opened for reading (OpenFileStream, OpenBelow) fails every read that reaches
  // past this many bytes, as a disk error or a lost share would;
  std::atomic<int64_t> file_read_error_at{-1};
  // a mapped view with reads (MapWholeFileWithReads, the target's own) reports every
  // ReadAt whose bytes include the byte at this offset as failed; the bytes are read all
  // the same, so only the reported failure tells the caller;
  std::atomic<int64_t> piece_error_at{-1};
  // (not a fault) the bytes such views were asked to read, failed reads too;
  std::atomic<uint64_t> piece_bytes{0};
  // an append file (the build log) cannot be created, or takes no more writes.
  std::atomic<bool> fail_append_open{false};
  std::atomic<bool> fail_append_writes{false};

  Status NewVolumeLister(const std::u16string& root, std::unique_ptr<VolumeLister>* lister) override;
  Status OpenRawVolume(const std::u16string& path, std::unique_ptr<RawVolume>* volume) override;
  std::unique_ptr<FileStream> OpenFileStream(const std::u16string& path, bool* not_regular) override;
  bool OpenBelow(const std::u16string& root, const std::vector<std::u16string>& names, OpenedItem* out) override;
  Status NewAppendFile(const std::u16string& path, bool append, std::unique_ptr<AppendFile>* file) override;
  Status MapWholeFileWithReads(const std::u16string& path, std::unique_ptr<FileView>* view) override;

  Status WriteWholeFile(const std::u16string& path, std::string_view bytes, bool flush) override;
  Status RenameFile(const std::u16string& from, const std::u16string& to) override;
  Status RemoveFile(const std::u16string& path) override;
  Status SyncFolder(const std::u16string& path) override;

  // The crash: every touched path goes back to its durable state.
  void DropUnsyncedData();

  int writes() const { return writes_; }
  int renames() const { return renames_; }

 private:
  bool Step(const std::u16string& step);   // false: the process is dead
  void Track(const std::u16string& path);  // caller holds mu_
  std::unique_ptr<FileStream> FailingReads(std::unique_ptr<FileStream> file);

  std::atomic<int> writes_{0};
  std::atomic<int> renames_{0};
  // Files as inodes: a path names one; `synced` is what its data reads after a crash.
  std::mutex mu_;
  std::vector<std::string> synced_;
  std::map<std::u16string, size_t> live_, durable_;  // path -> inode; absent: no file
  std::set<std::u16string> tracked_;
};

}  // namespace nusk::testing
