// The trigram index of the name texts: building and looking up (name_trigrams.h).
#include "index/name_trigrams.h"

#include <algorithm>
#include <cstring>

namespace nusk {

namespace {

constexpr uint64_t kEndKey = ~uint64_t{0};
constexpr size_t kMaxLists = 4;  // lists intersected at most; the rows are tested anyway

void PutVarint(std::string* out, uint32_t v) {
  while (v >= 0x80) {
    out->push_back(static_cast<char>(v | 0x80));
    v >>= 7;
  }
  out->push_back(static_cast<char>(v));
}

// Trigram keys -> dense ids in order of first sight; open addressing, a free slot is
// one without an id.
class KeyIds {
 public:
  KeyIds() : slots_(1024), ascii_(size_t{1} << 21, kNone) {}
  // The id of key, a new one (== size()) when it was not there. Keys of three ASCII
  // units (most of them) are looked up directly.
  uint32_t Find(uint64_t key) {
    if ((key & 0xFF80FF80FF80ull) == 0) {
      uint32_t& id = ascii_[((key >> 18) & 0x3FC000) | ((key >> 9) & 0x3F80) | (key & 0x7F)];
      if (id == kNone) {
        id = static_cast<uint32_t>(keys_.size());
        keys_.push_back(key);
      }
      return id;
    }
    if (2 * (keys_.size() + 1) > slots_.size()) Grow();
    size_t at = Slot(key);
    while (slots_[at].id != kNone) {
      if (slots_[at].key == key) return slots_[at].id;
      at = (at + 1) & (slots_.size() - 1);
    }
    slots_[at] = {key, static_cast<uint32_t>(keys_.size())};
    keys_.push_back(key);
    return slots_[at].id;
  }
  const std::vector<uint64_t>& keys() const { return keys_; }

 private:
  static constexpr uint32_t kNone = ~uint32_t{0};
  struct Entry {
    uint64_t key = 0;
    uint32_t id = kNone;
  };
  size_t Slot(uint64_t key) const {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) & (slots_.size() - 1);
  }
  void Grow() {
    std::vector<Entry> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Entry& e : old) {
      if (e.id == kNone) continue;
      size_t at = Slot(e.key);
      while (slots_[at].id != kNone) at = (at + 1) & (slots_.size() - 1);
      slots_[at] = e;
    }
  }
  std::vector<Entry> slots_;
  std::vector<uint32_t> ascii_;  // (u0 << 14) | (u1 << 7) | u2 -> id
  std::vector<uint64_t> keys_;
};

// One posting list as it is read: bytes [at, end) of the lists.
struct ListRef {
  uint64_t at = 0, end = 0;
};

bool DecodeList(const char* p, uint64_t bytes, uint32_t m, std::vector<uint32_t>* out) {
  out->clear();
  uint64_t row = 0;
  bool first = true;
  for (uint64_t i = 0; i < bytes;) {
    uint64_t v = 0;
    for (int shift = 0;; shift += 7) {
      if (i >= bytes || shift > 28) return false;
      const uint8_t b = static_cast<uint8_t>(p[i++]);
      v |= uint64_t{b & 0x7Fu} << shift;
      if (!(b & 0x80)) break;
    }
    if (!first && v == 0) return false;
    row = first ? v : row + v;
    first = false;
    if (row >= m) return false;
    out->push_back(static_cast<uint32_t>(row));
  }
  return true;
}

}  // namespace

std::string BuildNameTrigrams(const NameRow* rows, uint32_t m, const char16_t* text) {
  KeyIds ids;
  std::vector<std::string> lists;
  std::vector<uint32_t> last;  // per id: the last row put on its list + 1 (0: none yet)
  for (uint32_t r = 0; r < m; ++r) {
    const NameRow& row = rows[r];
    const char16_t* t = text + row.text_offset;
    for (uint32_t i = 0; i + 3 <= row.length; ++i) {
      const uint32_t id = ids.Find(TrigramKey(t + i));
      if (id == lists.size()) {
        lists.emplace_back();
        last.push_back(0);
      }
      if (last[id] == r + 1) continue;  // the trigram occurs again in the same name
      PutVarint(&lists[id], last[id] == 0 ? r : r + 1 - last[id]);
      last[id] = r + 1;
    }
  }
  const std::vector<uint64_t>& keys = ids.keys();
  std::vector<uint32_t> order(keys.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
  uint64_t list_bytes = 0;
  for (const std::string& l : lists) list_bytes += l.size();
  const uint64_t e = keys.size();
  std::string out(8 + 16 * (e + 1) + list_bytes, '\0');
  char* p = out.data();
  std::memcpy(p, &e, 8);
  char* entry = p + 8;
  char* data = p + 8 + 16 * (e + 1);
  uint64_t offset = 0;
  for (uint32_t id : order) {
    std::memcpy(entry, &keys[id], 8);
    std::memcpy(entry + 8, &offset, 8);
    entry += 16;
    std::memcpy(data + offset, lists[id].data(), lists[id].size());
    offset += lists[id].size();
  }
  std::memcpy(entry, &kEndKey, 8);
  std::memcpy(entry + 8, &offset, 8);
  return out;
}

bool TrigramCandidates(const std::vector<std::u16string>& literals, uint64_t table_bytes, uint32_t m,
                       const TrigramFetch& fetch, std::vector<uint32_t>* rows) {
  rows->clear();
  if (table_bytes < 8 + 16) return false;
  const char* head = fetch(0, 8);
  if (!head) return false;
  uint64_t e;
  std::memcpy(&e, head, 8);
  if (e > (table_bytes - 8) / 16 - 1) return false;
  const uint64_t data_at = 8 + 16 * (e + 1);
  auto entry = [&](uint64_t i, uint64_t* key, uint64_t* offset) {
    const char* p = fetch(8 + 16 * i, 16);
    if (!p) return false;
    std::memcpy(key, p, 8);
    std::memcpy(offset, p + 8, 8);
    return true;
  };
  uint64_t end_key, lists_end;
  if (!entry(e, &end_key, &lists_end) || end_key != kEndKey || lists_end != table_bytes - data_at) return false;

  std::vector<uint64_t> keys;
  for (const std::u16string& lit : literals)
    for (size_t i = 0; i + 3 <= lit.size(); ++i) keys.push_back(TrigramKey(lit.data() + i));
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  if (keys.empty()) return false;

  std::vector<ListRef> found;
  for (uint64_t key : keys) {
    uint64_t lo = 0, hi = e;  // the first entry whose key is not below key
    while (lo < hi) {
      const uint64_t mid = lo + (hi - lo) / 2;
      uint64_t k, o;
      if (!entry(mid, &k, &o)) return false;
      if (k < key) lo = mid + 1;
      else hi = mid;
    }
    uint64_t k, at, next_key, end;
    if (!entry(lo, &k, &at)) return false;
    if (k != key) return true;  // no name holds this trigram: no candidates
    if (!entry(lo + 1, &next_key, &end) || end < at || end > lists_end) return false;
    found.push_back({at, end});
  }
  std::sort(found.begin(), found.end(), [](const ListRef& a, const ListRef& b) { return a.end - a.at < b.end - b.at; });
  std::vector<uint32_t> list, kept;
  for (size_t i = 0; i < found.size() && i < kMaxLists; ++i) {
    const uint64_t bytes = found[i].end - found[i].at;
    const char* p = bytes ? fetch(data_at + found[i].at, bytes) : "";
    if (!p || !DecodeList(p, bytes, m, &list)) return false;
    if (i == 0) {
      rows->swap(list);
    } else {
      kept.clear();
      std::set_intersection(rows->begin(), rows->end(), list.begin(), list.end(), std::back_inserter(kept));
      rows->swap(kept);
    }
    if (rows->empty()) break;
  }
  return true;
}

}  // namespace nusk
