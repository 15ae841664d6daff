#include "search/hash_info.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "index/db_files.h"

namespace nusk {
namespace {

struct DigestKey {
  std::array<uint8_t, 16> bytes;
  bool operator==(const DigestKey&) const = default;
};

// The XOR of the four 32-bit words, as the groups are keyed.
struct DigestHash {
  size_t operator()(const DigestKey& k) const {
    uint32_t w[4];
    std::memcpy(w, k.bytes.data(), 16);
    return w[0] ^ w[1] ^ w[2] ^ w[3];
  }
};

}  // namespace

Status HashInfo::Load(const NuskDb& db, const std::u16string& home, Env* env) {
  std::vector<HashRecord> records;
  Status status;
  const std::u16string path = DbPath(home, kHashFileName, env);
  if (env->FileExists(path)) {
    std::string bytes;
    status = env->ReadWholeFile(path, &bytes);
    if (status.ok()) status = DecodeHashFile(bytes, &records);
    if (!status.ok()) records.clear();
  }
  Assign(db, records);
  return status;
}

void HashInfo::Assign(const NuskDb& db, const std::vector<HashRecord>& records) {
  const uint32_t n = db.item_count();
  values_.assign(n, 0);
  counts_.assign(n, 0);
  if (n == 0) {
    values_.clear();
    counts_.clear();
    return;
  }
  if (records.empty()) return;

  // Reference -> item index through a sorted table (one allocation, no per-node cost).
  std::vector<std::pair<uint64_t, uint32_t>> by_ref(n);
  for (uint32_t i = 0; i < n; ++i) by_ref[i] = {db.Reference(i), i};
  std::sort(by_ref.begin(), by_ref.end());

  const uint32_t r_count = static_cast<uint32_t>(records.size());
  std::vector<uint32_t> group_of(n, 0);    // 0: in no group
  std::vector<uint8_t> assigned(n, 0);     // first record of an item wins
  std::vector<uint32_t> members(1, 0);     // per group, index 0 unused
  std::unordered_map<DigestKey, uint32_t, DigestHash> groups;
  static const std::array<uint8_t, 16> kZero{};

  for (uint32_t r = 0; r < r_count; ++r) {
    const HashRecord& rec = records[r];
    const auto it = std::lower_bound(by_ref.begin(), by_ref.end(), std::make_pair(rec.reference, uint32_t{0}));
    if (it == by_ref.end() || it->first != rec.reference) continue;
    const uint32_t item = it->second;
    if (assigned[item]) continue;
    assigned[item] = 1;
    if (rec.hashed == 0) continue;
    if (rec.digest == kZero) {
      values_[item] = r;
      continue;
    }
    auto [slot, inserted] = groups.try_emplace(DigestKey{rec.digest}, static_cast<uint32_t>(members.size()));
    if (inserted) members.push_back(0);
    ++members[slot->second];
    group_of[item] = slot->second;
  }
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t g = group_of[i];
    if (g == 0) continue;
    if (members[g] == 1) {
      values_[i] = r_count + i;
    } else {
      values_[i] = 0xF0000000u + g;
      counts_[i] = static_cast<uint16_t>(std::min<uint32_t>(members[g], 65535));
    }
  }
}

}  // namespace nusk
