#include "search/hash_file.h"

#include <cstring>

namespace nusk {
namespace {

void PutU32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(v >> (8 * i)));
}
void PutU64(std::string* out, uint64_t v) {
  for (int i = 0; i < 8; ++i) out->push_back(static_cast<char>(v >> (8 * i)));
}
uint32_t GetU32(const char* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(p[i]);
  return v;
}
uint64_t GetU64(const char* p) { return uint64_t{GetU32(p)} | uint64_t{GetU32(p + 4)} << 32; }

}  // namespace

std::string EncodeHashFile(const std::vector<HashRecord>& records) {
  std::string out;
  out.reserve(kHashHeaderSize + 4 + records.size() * kHashRecordSize);
  out.append("NUSKHASH", 8);
  PutU32(&out, 1);
  out.resize(kHashHeaderSize, '\0');
  PutU32(&out, static_cast<uint32_t>(records.size()));
  for (const HashRecord& r : records) {
    PutU64(&out, r.reference);
    PutU64(&out, r.size);
    PutU32(&out, r.hashed);
    out.append(reinterpret_cast<const char*>(r.digest.data()), r.digest.size());
  }
  return out;
}

Status DecodeHashFile(std::string_view bytes, std::vector<HashRecord>* records) {
  records->clear();
  if (bytes.empty()) return Status::Ok();
  if (bytes.size() < kHashHeaderSize + 4) {
    return Status::Error("nusk.hash is damaged: " + std::to_string(bytes.size()) + " bytes, shorter than its header");
  }
  const uint32_t count = GetU32(bytes.data() + kHashHeaderSize);
  const uint64_t available = (bytes.size() - kHashHeaderSize - 4) / kHashRecordSize;
  if (count > available) {
    return Status::Error("nusk.hash is damaged: it claims " + std::to_string(count) + " records but holds " +
                         std::to_string(available));
  }
  records->resize(count);
  const char* p = bytes.data() + kHashHeaderSize + 4;
  for (uint32_t i = 0; i < count; ++i, p += kHashRecordSize) {
    HashRecord& r = (*records)[i];
    r.reference = GetU64(p);
    r.size = GetU64(p + 8);
    r.hashed = GetU32(p + 16);
    std::memcpy(r.digest.data(), p + 20, 16);
  }
  return Status::Ok();
}

}  // namespace nusk
