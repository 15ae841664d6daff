#include "search/hash_info.h"

#include <algorithm>
#include <cstring>
#include <memory>
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

uint64_t Mix(uint64_t x) {  // the splitmix64 finaliser
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

constexpr uint64_t kNoParentChain = 0x6E75736B2E686173ull;

// Finds a record's file again by (check, size) when its reference no longer names it.
class CheckTable {
 public:
  CheckTable(const NuskDb& db, const ItemChecks& checks) {
    for (uint32_t i = db.folder_count(); i < db.item_count(); ++i) rows_.push_back({checks(i), db.ItemSizeBytes(i), i});
    std::sort(rows_.begin(), rows_.end());
  }
  // The one file with this check and size, or kNoItem (none, or several).
  uint32_t Find(uint32_t check, uint64_t size) const {
    auto it = std::lower_bound(rows_.begin(), rows_.end(), Row{check, size, 0});
    if (it == rows_.end() || it->check != check || it->size != size) return kNoItem;
    auto next = it + 1;
    if (next != rows_.end() && next->check == check && next->size == size) return kNoItem;
    return it->item;
  }

 private:
  struct Row {
    uint32_t check;
    uint64_t size;
    uint32_t item;
    bool operator<(const Row& o) const { return check != o.check ? check < o.check : size < o.size; }
  };
  std::vector<Row> rows_;
};

}  // namespace

ItemChecks::ItemChecks(const NuskDb& db) : db_(db), folder_chains_(db.folder_count(), 0) {
  // Folders in any order: each walks up to the nearest folder already done (the loader
  // has refused chains that loop), then fills the walk downwards.
  std::vector<uint8_t> done(db.folder_count(), 0);
  std::vector<uint32_t> walk;
  for (uint32_t start = 0; start < db.folder_count(); ++start) {
    walk.clear();
    uint32_t x = start;
    while (x != kNoItem && !done[x]) {
      walk.push_back(x);
      x = db.Parent(x);
    }
    uint64_t chain = x == kNoItem ? kNoParentChain : folder_chains_[x];
    for (auto it = walk.rbegin(); it != walk.rend(); ++it) {
      chain = Chain(chain, *it);
      folder_chains_[*it] = chain;
      done[*it] = 1;
    }
  }
}

uint64_t ItemChecks::NameDigest(uint32_t name) const {
  uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a over the lower-cased units, then the case positions
  for (char16_t c : db_.NameText(name)) h = (h ^ c) * 0x100000001B3ull;
  h = (h ^ 0x1F) * 0x100000001B3ull;
  const uint8_t* cases = db_.CasePositions(name);
  for (uint32_t c = 0; c < db_.Name(name).case_count; ++c) h = (h ^ cases[c]) * 0x100000001B3ull;
  return h;
}

uint64_t ItemChecks::Chain(uint64_t parent_chain, uint32_t item) const {
  return Mix(parent_chain * 0x9E3779B97F4A7C15ull + NameDigest(db_.NameOf(item)));
}

uint32_t ItemChecks::operator()(uint32_t item) const {
  uint64_t chain;
  if (db_.IsFolder(item)) {
    chain = folder_chains_[item];
  } else {
    const uint32_t p = db_.Parent(item);
    chain = Chain(p == kNoItem ? kNoParentChain : folder_chains_[p], item);
  }
  const uint32_t check = static_cast<uint32_t>(chain ^ (chain >> 32));
  return check < 2 ? check + 2 : check;
}

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
  match_ = HashMatchStats();
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
  std::vector<uint32_t> group_of(n, 0);  // 0: in no group
  std::vector<uint8_t> assigned(n, 0);   // first record of an item wins
  std::vector<uint32_t> members(1, 0);   // per group, index 0 unused
  std::unordered_map<DigestKey, uint32_t, DigestHash> groups;
  static const std::array<uint8_t, 16> kZero{};
  const ItemChecks checks(db);
  std::unique_ptr<CheckTable> moved;  // built at the first record that needs it

  for (uint32_t r = 0; r < r_count; ++r) {
    const HashRecord& rec = records[r];
    if (rec.hashed == 0) continue;  // says nothing about any file
    const auto it = std::lower_bound(by_ref.begin(), by_ref.end(), std::make_pair(rec.reference, uint32_t{0}));
    uint32_t item = it == by_ref.end() || it->first != rec.reference ? kNoItem : it->second;
    if (item != kNoItem && !db.IsFolder(item) && db.ItemSizeBytes(item) == rec.size && checks(item) == rec.hashed) {
      ++match_.matched;
    } else {
      if (!moved) moved = std::make_unique<CheckTable>(db, checks);
      item = moved->Find(rec.hashed, rec.size);
      if (item == kNoItem) {
        ++match_.stale;
        continue;
      }
      ++match_.moved;
    }
    if (assigned[item]) continue;
    assigned[item] = 1;
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
