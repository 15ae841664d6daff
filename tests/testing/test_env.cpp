#include "tests/testing/test_env.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <random>
#include <stdexcept>
#include <vector>

#include "platform/append_file.h"
#include "platform/file_stream.h"
#include "platform/raw_volume.h"
#include "platform/volume_lister.h"
#include "util/utf.h"

namespace nusk::testing {

namespace {
std::u16string SystemTemp(Env* env) {
  if (env->PathSeparator() == u'\\') {
    std::u16string t = env->GetEnvVar(u"TEMP");
    if (t.empty()) t = u"C:\\windows\\temp";
    return t;
  }
  std::u16string t = env->GetEnvVar(u"TMPDIR");
  return t.empty() ? u"/tmp" : t;
}
}  // namespace

MachineWideTestLock::MachineWideTestLock(const std::u16string& tag) {
  Env* env = Env::Default();
  mutex_ = env->CreateFolderLock(SystemTemp(env), tag);
  for (int waited_ms = 0; waited_ms < 120000; waited_ms += 20) {
    if (mutex_->TryLock(&held_).ok() && held_) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

TempDir::TempDir() {
  Env* env = Env::Default();
  static std::atomic<unsigned> counter{0};
  std::mt19937_64 rng(std::chrono::steady_clock::now().time_since_epoch().count());
  std::u16string base = SystemTemp(env);
  if (base.back() != env->PathSeparator()) base.push_back(env->PathSeparator());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = "nusk-test-" + std::to_string(rng() % 1000000000) + "-" + std::to_string(counter++);
    std::u16string candidate = base + FromUtf8(name);
    if (env->FolderExists(candidate)) continue;
    if (env->CreateFolder(candidate).ok()) {
      path_ = candidate + env->PathSeparator();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  if (!path_.empty()) RemoveTree(Env::Default(), path_.substr(0, path_.size() - 1));
}

std::u16string TempDir::Sub(std::u16string_view relative) const {
  std::u16string out = path_;
  char16_t sep = Env::Default()->PathSeparator();
  for (char16_t c : relative) out.push_back(c == u'/' ? sep : c);
  return out;
}

std::u16string TempDir::WriteFile(std::u16string_view relative, std::string_view bytes) const {
  Env* env = Env::Default();
  std::u16string full = Sub(relative);
  char16_t sep = env->PathSeparator();
  for (size_t i = path_.size(); i < full.size(); ++i)
    if (full[i] == sep) env->CreateFolder(full.substr(0, i));
  Status s = env->WriteWholeFile(full, bytes, false);
  if (!s.ok()) throw std::runtime_error(s.message());
  return full;
}

void RemoveTree(Env* env, const std::u16string& folder) {
  std::u16string base = folder;
  if (!base.empty() && base.back() != env->PathSeparator()) base.push_back(env->PathSeparator());
  std::vector<DirEntry> entries;
  env->ListFolder(folder, [&](const DirEntry& e) {
    entries.push_back(e);
    return true;
  });
  for (const DirEntry& e : entries) {
    if (e.is_folder && !e.is_link) RemoveTree(env, base + e.name);
    else env->RemoveFile(base + e.name);
  }
  env->RemoveFolder(folder);
}

namespace {
// The folder a path lies in, without a trailing separator.
std::u16string FolderOf(std::u16string path) {
  size_t cut = path.find_last_of(u"/\\");
  return cut == std::u16string::npos ? std::u16string() : path.substr(0, cut);
}
std::u16string WithoutTrailingSeparator(std::u16string path) {
  while (path.size() > 1 && (path.back() == u'/' || path.back() == u'\\')) path.pop_back();
  return path;
}
}  // namespace

bool FaultInjectionEnv::Step(const std::u16string& step) {
  if (before_step) before_step(step);
  return !dead;
}

void FaultInjectionEnv::Track(const std::u16string& path) {
  if (!tracked_.insert(path).second) return;
  std::string bytes;
  if (!target()->FileExists(path) || !target()->ReadWholeFile(path, &bytes).ok()) return;
  synced_.push_back(std::move(bytes));  // what was there before is durable
  live_[path] = durable_[path] = synced_.size() - 1;
}

Status FaultInjectionEnv::WriteWholeFile(const std::u16string& path, std::string_view bytes, bool flush) {
  if (!Step(u"write " + path)) return Status::Error("the process is dead");
  int budget = fail_writes_after.load();
  if (budget >= 0 && writes_ >= budget) return Status::Error("injected write failure: " + ToUtf8(path));
  ++writes_;
  Status s = EnvWrapper::WriteWholeFile(path, bytes, flush);
  std::lock_guard<std::mutex> lock(mu_);
  Track(path);
  // Truncating an existing file keeps its inode; the old data is gone either way.
  auto it = live_.find(path);
  size_t inode = it != live_.end() ? it->second : synced_.size();
  if (inode == synced_.size()) synced_.emplace_back();
  synced_[inode] = s.ok() && flush ? std::string(bytes) : std::string();
  live_[path] = inode;
  return s;
}

Status FaultInjectionEnv::RenameFile(const std::u16string& from, const std::u16string& to) {
  if (!Step(u"rename " + from + u" -> " + to)) return Status::Error("the process is dead");
  int budget = fail_renames_after.load();
  if (budget >= 0 && renames_ >= budget) return Status::Error("injected rename failure: " + ToUtf8(from));
  ++renames_;
  std::lock_guard<std::mutex> lock(mu_);
  Track(from);
  Track(to);
  Status s = EnvWrapper::RenameFile(from, to);
  if (s.ok() && live_.count(from)) {
    live_[to] = live_[from];
    live_.erase(from);
  }
  return s;
}

Status FaultInjectionEnv::RemoveFile(const std::u16string& path) {
  if (!Step(u"remove " + path)) return Status::Error("the process is dead");
  std::lock_guard<std::mutex> lock(mu_);
  Track(path);
  Status s = EnvWrapper::RemoveFile(path);
  if (s.ok()) live_.erase(path);
  return s;
}

Status FaultInjectionEnv::SyncFolder(const std::u16string& path) {
  if (!Step(u"sync " + path)) return Status::Error("the process is dead");
  Status s = EnvWrapper::SyncFolder(path);
  if (!s.ok()) return s;
  const std::u16string folder = WithoutTrailingSeparator(path);
  std::lock_guard<std::mutex> lock(mu_);
  for (const std::u16string& p : tracked_) {
    if (FolderOf(p) != folder) continue;
    auto it = live_.find(p);
    if (it == live_.end()) durable_.erase(p);
    else durable_[p] = it->second;
  }
  return s;
}

void FaultInjectionEnv::DropUnsyncedData() {
  std::lock_guard<std::mutex> lock(mu_);
  for (const std::u16string& p : tracked_) {
    auto it = durable_.find(p);
    if (it == durable_.end()) {
      target()->RemoveFile(p);
    } else {
      target()->WriteWholeFile(p, synced_[it->second], true);
    }
  }
  live_ = durable_;
}

namespace {

class FailingLister : public VolumeLister {
 public:
  FailingLister(std::unique_ptr<VolumeLister> real, std::function<bool(const std::u16string&)> fail)
      : real_(std::move(real)), fail_(std::move(fail)) {}
  Status List(const std::u16string& folder, std::vector<VolumeEntry>* entries) override {
    if (fail_(folder)) {
      entries->clear();
      return Status::Error("cannot list " + ToUtf8(folder) + ": access denied (injected)");
    }
    return real_->List(folder, entries);
  }

 private:
  std::unique_ptr<VolumeLister> real_;
  std::function<bool(const std::u16string&)> fail_;
};

class ShortVolume : public RawVolume {
 public:
  ShortVolume(std::unique_ptr<RawVolume> real, uint64_t bytes) : real_(std::move(real)), bytes_(bytes) {}
  int64_t ReadAt(uint64_t offset, void* buffer, size_t length) override {
    if (offset >= bytes_) return 0;
    return real_->ReadAt(offset, buffer, static_cast<size_t>(std::min<uint64_t>(length, bytes_ - offset)));
  }
  bool QueryNtfsGeometry(NtfsVolumeGeometry* g) override { return real_->QueryNtfsGeometry(g); }
  bool ReadFileRecord(uint64_t n, std::string* r, uint64_t* found) override {
    return real_->ReadFileRecord(n, r, found);
  }
  bool ServesFileRecords() override { return real_->ServesFileRecords(); }
  bool FileSizeById(uint64_t ref, uint64_t* size) override { return real_->FileSizeById(ref, size); }

 private:
  std::unique_ptr<RawVolume> real_;
  uint64_t bytes_;
};

class FailingStream : public FileStream {
 public:
  FailingStream(std::unique_ptr<FileStream> real, uint64_t error_at) : real_(std::move(real)), error_at_(error_at) {}
  int64_t ReadAt(uint64_t offset, char* buffer, size_t size) override {
    if (offset + size > error_at_) return -1;
    return real_->ReadAt(offset, buffer, size);
  }

 private:
  std::unique_ptr<FileStream> real_;
  uint64_t error_at_;
};

class WatchedView : public FileView {
 public:
  WatchedView(std::unique_ptr<FileView> real, int64_t error_at, std::atomic<uint64_t>* read)
      : real_(std::move(real)), error_at_(error_at), read_(read) {}
  std::string_view bytes() const override { return real_->bytes(); }
  bool ReadAt(uint64_t at, char* dst, uint64_t size) const override {
    *read_ += size;
    const bool hit =
        error_at_ >= 0 && at <= static_cast<uint64_t>(error_at_) && static_cast<uint64_t>(error_at_) - at < size;
    return real_->ReadAt(at, dst, size) && !hit;
  }

 private:
  std::unique_ptr<FileView> real_;
  int64_t error_at_;
  std::atomic<uint64_t>* read_;
};

class RefusingAppendFile : public AppendFile {
 public:
  bool Write(std::string_view) override { return false; }
};

}  // namespace

Status FaultInjectionEnv::NewVolumeLister(const std::u16string& root, std::unique_ptr<VolumeLister>* lister) {
  Status s = EnvWrapper::NewVolumeLister(root, lister);
  if (s.ok() && fail_listing) *lister = std::make_unique<FailingLister>(std::move(*lister), fail_listing);
  return s;
}

Status FaultInjectionEnv::OpenRawVolume(const std::u16string& path, std::unique_ptr<RawVolume>* volume) {
  Status s = EnvWrapper::OpenRawVolume(path, volume);
  const int64_t bytes = volume_bytes;
  if (s.ok() && bytes >= 0) *volume = std::make_unique<ShortVolume>(std::move(*volume), static_cast<uint64_t>(bytes));
  return s;
}

std::unique_ptr<FileStream> FaultInjectionEnv::FailingReads(std::unique_ptr<FileStream> file) {
  const int64_t at = file_read_error_at;
  if (!file || at < 0) return file;
  return std::make_unique<FailingStream>(std::move(file), static_cast<uint64_t>(at));
}

std::unique_ptr<FileStream> FaultInjectionEnv::OpenFileStream(const std::u16string& path, bool* not_regular) {
  return FailingReads(EnvWrapper::OpenFileStream(path, not_regular));
}

bool FaultInjectionEnv::OpenBelow(const std::u16string& root, const std::vector<std::u16string>& names,
                                  OpenedItem* out) {
  if (!EnvWrapper::OpenBelow(root, names, out)) return false;
  out->file = FailingReads(std::move(out->file));
  return true;
}

Status FaultInjectionEnv::NewAppendFile(const std::u16string& path, bool append, std::unique_ptr<AppendFile>* file) {
  if (fail_append_open) return Status::Error("cannot create " + ToUtf8(path) + ": no space left (injected)");
  Status s = EnvWrapper::NewAppendFile(path, append, file);
  if (s.ok() && fail_append_writes) *file = std::make_unique<RefusingAppendFile>();
  return s;
}

Status FaultInjectionEnv::MapWholeFileWithReads(const std::u16string& path, std::unique_ptr<FileView>* view) {
  Status s = target()->MapWholeFileWithReads(path, view);
  if (s.ok()) *view = std::make_unique<WatchedView>(std::move(*view), piece_error_at.load(), &piece_bytes);
  return s;
}

}  // namespace nusk::testing
