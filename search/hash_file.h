// "nusk.hash": content hashes of indexed files, written by the hashing tool (sumtor) and
// read by the search side (HashInfo). Little-endian:
//   0      27648 bytes  header: "NUSKHASH" magic, u32 version, rest zero (never relied on)
//   27648  u32 R        number of records
//   27652  R x 36 bytes records: u64 index file reference, u64 file size in bytes,
//                        u32 hashed flag (0 = no hash), 16-byte content hash (all zero = none)
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/status.h"

namespace nusk {

inline constexpr char16_t kHashFileName[] = u"nusk.hash";
inline constexpr size_t kHashHeaderSize = 27648;
inline constexpr size_t kHashRecordSize = 36;

struct HashRecord {
  uint64_t reference = 0;
  uint64_t size = 0;    // informational; readers do not rely on it
  uint32_t hashed = 0;  // 0: the file was not hashed
  std::array<uint8_t, 16> digest{};
};

// The whole file for a set of records.
std::string EncodeHashFile(const std::vector<HashRecord>& records);

// Parses file bytes. Missing or empty input is zero records and Ok; a file shorter than
// its header, or whose record count exceeds the bytes present, fails with a message
// (no records are returned then).
Status DecodeHashFile(std::string_view bytes, std::vector<HashRecord>* records);

}  // namespace nusk
