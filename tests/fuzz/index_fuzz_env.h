// The database files of one fuzz input, served from memory.
// Input layout: u32 frs length, u32 nrs length, frs bytes, nrs bytes, hid bytes (rest);
// lengths beyond the input are cut to what is there.
#pragma once
#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "platform/env.h"

namespace nusk::fuzz {

class MemoryEnv : public EnvWrapper {
 public:
  MemoryEnv() : EnvWrapper(Env::Default()) {}
  std::map<std::u16string, std::string> files;

  char16_t PathSeparator() const override { return u'/'; }
  Status ReadWholeFile(const std::u16string& p, std::string* b) override {
    auto it = files.find(p);
    if (it == files.end()) return Status::Error("missing");
    *b = it->second;
    return Status::Ok();
  }
  Status WriteWholeFile(const std::u16string& p, std::string_view b, bool) override {
    files[p] = std::string(b);
    return Status::Ok();
  }
  Status RenameFile(const std::u16string& a, const std::u16string& b) override {
    auto it = files.find(a);
    if (it == files.end()) return Status::Error("missing");
    files[b] = std::move(it->second);
    files.erase(a);
    return Status::Ok();
  }
  Status RemoveFile(const std::u16string& p) override {
    files.erase(p);
    return Status::Ok();
  }
  bool FileExists(const std::u16string& p) override { return files.count(p) != 0; }
  int64_t FileSize(const std::u16string& p) override {
    auto it = files.find(p);
    return it == files.end() ? -1 : static_cast<int64_t>(it->second.size());
  }
  Status SyncFolder(const std::u16string&) override { return Status::Ok(); }
  void DebugOutput(std::u16string_view) override {}
};

inline void Unpack(const uint8_t* data, size_t size, MemoryEnv* env) {
  auto u32 = [&](size_t at) {
    uint32_t v = 0;
    if (at + 4 <= size) std::memcpy(&v, data + at, 4);  // little-endian hosts only
    return v;
  };
  size_t pos = size < 8 ? size : 8;
  size_t frs = std::min<size_t>(u32(0), size - pos);
  size_t nrs = std::min<size_t>(u32(4), size - pos - frs);
  const char* p = reinterpret_cast<const char*>(data);
  if (frs) env->files[u"/db/nusk.frs"] = std::string(p + pos, frs);
  if (nrs) env->files[u"/db/nusk.nrs"] = std::string(p + pos + frs, nrs);
  size_t hid = size - pos - frs - nrs;
  if (hid) env->files[u"/db/nusk.hid"] = std::string(p + pos + frs + nrs, hid);
}

}  // namespace nusk::fuzz
