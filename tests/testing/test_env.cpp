#include "tests/testing/test_env.h"

#include <atomic>
#include <chrono>
#include <random>
#include <stdexcept>
#include <vector>

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
    if (e.is_folder && !e.is_link)
      RemoveTree(env, base + e.name);
    else
      env->RemoveFile(base + e.name);
  }
  env->RemoveFolder(folder);
}

Status FaultInjectionEnv::WriteWholeFile(const std::u16string& path, std::string_view bytes, bool flush) {
  if (before_step) before_step(u"write " + path);
  int budget = fail_writes_after.load();
  if (budget >= 0 && writes_ >= budget) return Status::Error("injected write failure: " + ToUtf8(path));
  ++writes_;
  return EnvWrapper::WriteWholeFile(path, bytes, flush);
}

Status FaultInjectionEnv::RenameFile(const std::u16string& from, const std::u16string& to) {
  if (before_step) before_step(u"rename " + from + u" -> " + to);
  int budget = fail_renames_after.load();
  if (budget >= 0 && renames_ >= budget) return Status::Error("injected rename failure: " + ToUtf8(from));
  ++renames_;
  return EnvWrapper::RenameFile(from, to);
}

Status FaultInjectionEnv::RemoveFile(const std::u16string& path) {
  if (before_step) before_step(u"remove " + path);
  return EnvWrapper::RemoveFile(path);
}

}  // namespace nusk::testing
