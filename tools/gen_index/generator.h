// Synthetic index generator: writes real "nusk.frs" and "nusk.nrs" files of any size,
// deterministic from a seed, for benchmarks and load tests.
//
// The tree looks like a desktop disk: drive roots C: and D:, folders in a random
// recursive tree (depth grows with the log of the size), files spread over the folders,
// word-like names of varied length with common extensions, some upper case, about 3 %
// non-ASCII names, and names shared by many items ("index.js", "README.md", "src").
//
// Memory is kept to the distinct names (a UTF-8 key arena, about 30 bytes per name); the
// items themselves are never held: their order, parents and drives are computed from
// the name order and an affine permutation, and rows are streamed to the files.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include "index/db_files.h"
#include "index/index_types.h"
#include "index/name_key.h"
#include "util/utf.h"

namespace nusk::gen {

struct Options {
  uint64_t items = 1000000;
  uint64_t seed = 1;
  double folder_share = 0.12;  // share of items that are folders
};

struct Result {
  uint64_t items = 0, folders = 0, names = 0;
  std::string error;  // empty on success
};

// SplitMix64: a small, fast, well-mixed deterministic stream.
inline uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

class Rng {
 public:
  explicit Rng(uint64_t seed) : s_(seed) {}
  uint64_t Next() { return Mix(s_++); }
  uint64_t Below(uint64_t n) { return n ? Next() % n : 0; }
  bool Chance(unsigned percent) { return Below(100) < percent; }

 private:
  uint64_t s_;
};

namespace detail {

inline const char* const kSyllables[] = {"ka",  "lo",  "mi",   "ne",  "ta",   "ri",   "so",   "vu",
                                         "pe",  "da",  "gor",  "lin", "ex",   "cor",  "app",  "data",
                                         "log", "re",  "port", "img", "user", "test", "win",  "sys",
                                         "doc", "net", "conf", "lib", "main", "util", "file", "new"};
inline const char* const kExtensions[] = {".txt", ".js",   ".dll", ".png", ".jpg", ".h",   ".cpp", ".json", ".md",
                                          ".xml", ".html", ".py",  ".log", ".dat", ".exe", ".css", ".ts",   ".pdf"};
inline const char* const kSharedFiles[] = {"index.js", "README.md",  "package.json", "LICENSE",   "__init__.py",
                                           "Makefile", ".gitignore", "desktop.ini",  "Thumbs.db", "index.d.ts"};
inline const char* const kSharedFolders[] = {"src",    "lib",  "bin",   "node_modules", "test", "docs",
                                             "images", ".git", "Debug", "Release",      "dist", "assets"};
inline const char16_t kWideChars[] = u"\u00e9\u00fc\u00f1\u00c5\u0436\u0414\u4e2d\u6587\u00df\u0161";

inline std::u16string Word(Rng& r, int syllables) {
  std::u16string w;
  for (int i = 0; i < syllables; ++i) w += FromLatin1(kSyllables[r.Below(std::size(kSyllables))]);
  return w;
}

// One random name; shared names come from the small lists so that they repeat.
inline std::u16string RandomName(Rng& r, bool folder) {
  if (r.Chance(folder ? 6 : 3)) {
    return folder ? FromLatin1(kSharedFolders[r.Below(std::size(kSharedFolders))])
                  : FromLatin1(kSharedFiles[r.Below(std::size(kSharedFiles))]);
  }
  std::u16string name = Word(r, 1 + static_cast<int>(r.Below(4)));
  if (r.Chance(30)) name += (r.Chance(50) ? u"_" : u" ") + Word(r, 1 + static_cast<int>(r.Below(3)));
  if (r.Chance(40)) name += FromLatin1(std::to_string(r.Below(r.Chance(50) ? 100 : 100000)));
  if (r.Chance(3)) name.insert(name.begin() + r.Below(name.size()), kWideChars[r.Below(std::size(kWideChars) - 1)]);
  if (r.Chance(35)) name[0] = ToUpperUnit(name[0]);
  if (r.Chance(3)) name = ToUpper(name);
  if (!folder) name += FromLatin1(kExtensions[r.Below(std::size(kExtensions))]);
  if (name.size() > 255) name.resize(255);
  return name;
}

// Distinct names of one kind as UTF-8 keys in one arena, with their item counts. All
// characters are in the BMP below U+D800, so UTF-8 byte order equals key order.
struct NamePool {
  std::string arena;
  std::vector<uint64_t> spans;  // offset << 16 | length
  std::vector<uint32_t> counts;

  std::string_view Key(size_t k) const { return {arena.data() + (spans[k] >> 16), spans[k] & 0xFFFF}; }
  void Add(std::u16string_view name, bool folder, uint32_t count) {
    std::string key = ToUtf8(MakeNameKey(name, folder));
    spans.push_back((uint64_t{arena.size()} << 16) | key.size());
    arena += key;
    counts.push_back(count);
  }
  // Sorts by key and merges equal keys (adding their counts).
  void SortAndMerge() {
    std::vector<uint32_t> order(spans.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return Key(a) < Key(b); });
    std::vector<uint64_t> s;
    std::vector<uint32_t> c;
    for (uint32_t i : order) {
      if (!s.empty() && std::string_view(arena.data() + (s.back() >> 16), s.back() & 0xFFFF) == Key(i)) {
        c.back() += counts[i];
        continue;
      }
      s.push_back(spans[i]);
      c.push_back(counts[i]);
    }
    spans.swap(s);
    counts.swap(c);
  }
  uint64_t Items() const { return std::accumulate(counts.begin(), counts.end(), uint64_t{0}); }
};

// Items per generated name: mostly 1, sometimes a handful, shared names many.
inline uint32_t ItemsPerName(Rng& r) {
  uint64_t x = r.Below(100);
  if (x < 72) return 1;
  if (x < 95) return 2 + static_cast<uint32_t>(r.Below(4));
  return 6 + static_cast<uint32_t>(r.Below(40));
}

inline void Fill(NamePool* pool, Rng& r, bool folder, uint64_t target) {
  while (pool->Items() < target) {
    uint64_t missing = target - pool->Items();
    size_t batch = static_cast<size_t>(std::max<uint64_t>(1, missing / 3));
    for (size_t i = 0; i < batch; ++i) {
      std::u16string name = RandomName(r, folder);
      uint32_t count = ItemsPerName(r);
      if (name.size() <= 12 && r.Chance(30)) count *= 3;  // short names repeat more
      pool->Add(name, folder, count);
    }
    pool->SortAndMerge();
  }
  // Trim the overshoot from the last names so the total is exact.
  uint64_t extra = pool->Items() - target;
  for (size_t k = pool->counts.size(); extra > 0 && k-- > 0;) {
    uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(extra, pool->counts[k]));
    pool->counts[k] -= take;
    extra -= take;
  }
  size_t out = 0;  // drop emptied names
  for (size_t k = 0; k < pool->counts.size(); ++k)
    if (pool->counts[k]) {
      pool->spans[out] = pool->spans[k];
      pool->counts[out++] = pool->counts[k];
    }
  pool->spans.resize(out);
  pool->counts.resize(out);
}

inline uint64_t Gcd(uint64_t a, uint64_t b) { return b ? Gcd(b, a % b) : a; }
inline uint64_t InverseMod(uint64_t a, uint64_t m) {  // a and m coprime
  __int128 t = 0, nt = 1, r = m, nr = a;
  while (nr) {
    __int128 q = r / nr, tmp = t - q * nt;
    t = nt;
    nt = tmp;
    tmp = r - q * nr;
    r = nr;
    nr = tmp;
  }
  return static_cast<uint64_t>(t < 0 ? t + m : t);
}

inline void Put16(std::string* s, uint16_t v) {
  s->push_back(char(v));
  s->push_back(char(v >> 8));
}
inline void Put32(std::string* s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s->push_back(char(v >> (8 * i)));
}
inline void Put64(std::string* s, uint64_t v) {
  for (int i = 0; i < 8; ++i) s->push_back(char(v >> (8 * i)));
}

}  // namespace detail

// Writes "nusk.frs" and "nusk.nrs" into folder (UTF-8 path, must exist).
inline Result Generate(const std::string& folder, const Options& opt) {
  using namespace detail;
  Result res;
  if (opt.items < 16) {
    res.error = "at least 16 items are needed";
    return res;
  }
  Rng rng(opt.seed);
  const uint64_t n = opt.items;
  const uint64_t roots = 2;
  const uint64_t folders = std::max<uint64_t>(roots + 8, static_cast<uint64_t>(n * opt.folder_share));
  NamePool fpool, filepool;
  fpool.Add(u"C:", true, 1);
  fpool.Add(u"D:", true, 1);
  Fill(&fpool, rng, true, folders);
  Fill(&filepool, rng, false, n - folders);

  // Folder items in name order; roots are the items of the names "1c:" / "1d:".
  const std::string c_key = ToUtf8(MakeNameKey(u"C:", true)), d_key = ToUtf8(MakeNameKey(u"D:", true));
  uint64_t root_item[2] = {0, 0};
  {
    uint64_t item = 0;
    for (size_t k = 0; k < fpool.spans.size(); item += fpool.counts[k], ++k) {
      if (fpool.Key(k) == c_key) root_item[0] = item;
      if (fpool.Key(k) == d_key) root_item[1] = item;
    }
  }
  // Non-root folder q (item index without the roots) has creation rank a*q+b mod fr.
  const uint64_t fr = folders - roots;
  uint64_t a = (Mix(opt.seed ^ 0xA5A5) % fr) | 1;
  while (Gcd(a, fr) != 1) a = (a + 2) % fr;
  const uint64_t b = Mix(opt.seed ^ 0x5A5A) % fr, a_inv = InverseMod(a % fr, fr);
  auto q_of = [&](uint64_t item) { return item - (item > root_item[0]) - (item > root_item[1]); };
  auto item_of_q = [&](uint64_t q) {
    uint64_t item = q;
    for (uint64_t r : {std::min(root_item[0], root_item[1]), std::max(root_item[0], root_item[1])})
      if (item >= r) ++item;
    return item;
  };
  // fr < 2^32 (the format's item limit), so the products fit in 64 bits.
  auto rank_of = [&](uint64_t item) { return (a * q_of(item) + b) % fr; };
  auto item_of_rank = [&](uint64_t rank) { return item_of_q(a_inv * ((rank + fr - b) % fr) % fr); };
  // The first ranks hang below a root (C: four times out of five); the rest below a
  // random earlier folder, which gives a random recursive tree.
  auto parent_of = [&](uint64_t item) -> uint64_t {
    if (item == root_item[0] || item == root_item[1]) return kNoItem;
    if (item < folders) {
      uint64_t rank = rank_of(item);
      if (rank < 24) return root_item[rank % 5 == 4 ? 1 : 0];
      return item_of_rank(Mix(opt.seed * 31 + rank) % rank);
    }
    return item_of_rank(Mix(opt.seed * 17 + item) % fr);
  };
  // Drive of each folder, filled on first use (one byte per folder).
  std::vector<uint8_t> folder_drive(folders, 0);
  folder_drive[root_item[0]] = 2;
  folder_drive[root_item[1]] = 3;
  std::vector<uint64_t> chain;
  auto drive_of = [&](uint64_t item) -> uint8_t {
    if (item >= folders) item = parent_of(item);
    chain.clear();
    while (folder_drive[item] == 0) {
      chain.push_back(item);
      item = parent_of(item);
    }
    for (uint64_t c : chain) folder_drive[c] = folder_drive[item];
    return folder_drive[item];
  };

  // ---- nusk.nrs ----
  std::ofstream nrs(folder + "/nusk.nrs", std::ios::binary | std::ios::trunc);
  std::string buf;
  const uint64_t m = fpool.spans.size() + filepool.spans.size();
  Put32(&buf, static_cast<uint32_t>(m));
  uint64_t first = 0;
  for (const NamePool* pool : {&fpool, &filepool})
    for (size_t k = 0; k < pool->spans.size(); ++k) {
      std::u16string key = FromUtf8(pool->Key(k));
      size_t mark = key.find(kCaseMark);
      std::u16string_view lower =
          std::u16string_view(key).substr(1, (mark == std::u16string::npos ? key.size() : mark) - 1);
      Put32(&buf, NameBits(lower));
      Put32(&buf, static_cast<uint32_t>(first));
      buf.push_back(NameIsWide(lower) ? 1 : 0);
      buf.push_back(static_cast<char>(lower.size()));
      buf.push_back(static_cast<char>(mark == std::u16string::npos ? 0 : key.size() - mark - 1));
      first += pool->counts[k];
      if (buf.size() > (1u << 24)) {
        nrs.write(buf.data(), buf.size());
        buf.clear();
      }
    }
  for (const NamePool* pool : {&fpool, &filepool})
    for (size_t k = 0; k < pool->spans.size(); ++k) {
      std::u16string key = FromUtf8(pool->Key(k));
      size_t mark = key.find(kCaseMark);
      bool wide =
          NameIsWide(std::u16string_view(key).substr(1, (mark == std::u16string::npos ? key.size() : mark) - 1));
      for (char16_t c : key) wide ? Put16(&buf, c) : buf.push_back(static_cast<char>(c));
      if (buf.size() > (1u << 24)) {
        nrs.write(buf.data(), buf.size());
        buf.clear();
      }
    }
  nrs.write(buf.data(), buf.size());
  buf.clear();
  if (!nrs.good()) {
    res.error = "cannot write " + folder + "/nusk.nrs";
    return res;
  }
  nrs.close();

  // ---- nusk.frs ----
  std::ofstream frs(folder + "/nusk.frs", std::ios::binary | std::ios::trunc);
  const std::u16string labels[2] = {u"System", u"Data"};
  Put32(&buf, kFormatVersion);
  Put32(&buf, static_cast<uint32_t>(n));
  Put32(&buf, CompactTimeFromFileTime(13350000000ull * 10000000ull));
  buf.append(116, '\0');
  uint32_t label_start = 0;
  for (int d = 0; d < kDriveCount; ++d) {
    std::string block(kStateBlockSize, '\0');
    if (d == 2 || d == 3) {
      const std::u16string& l = labels[d - 2];
      std::string f;
      Put32(&f, label_start);
      Put32(&f, static_cast<uint32_t>(l.size()));
      block.replace(24, 8, f);
      block[32] = 1;
      label_start += static_cast<uint32_t>(l.size());
    }
    buf += block;
  }
  const uint32_t base_time = CompactTimeFromFileTime(13200000000ull * 10000000ull);
  for (uint64_t i = 0; i < n; ++i) {
    uint64_t h = Mix(opt.seed * 7 + i);
    Put64(&buf, MakeRef(static_cast<uint32_t>(i + 16), drive_of(i), 0, static_cast<uint16_t>(1 + h % 7)));
    uint64_t p = parent_of(i);
    Put32(&buf, static_cast<uint32_t>(p));
    Put32(&buf, base_time + static_cast<uint32_t>(h % 300000000u));
    uint64_t size = i < folders ? 0 : (h >> 20) % (uint64_t{1} << (4 + (h >> 8) % 28));
    if (i >= folders && (h >> 40) % 5000 == 0) size = (uint64_t{3} << 30) + (h >> 44);  // a few large files
    Put32(&buf, SizeFormFromBytes(size));
    if (buf.size() > (1u << 24)) {
      frs.write(buf.data(), buf.size());
      buf.clear();
    }
  }
  for (const std::u16string& l : labels)
    for (char16_t c : l) Put16(&buf, c);
  buf.append(kMountBlocksSize, '\0');
  frs.write(buf.data(), buf.size());
  if (!frs.good()) {
    res.error = "cannot write " + folder + "/nusk.frs";
    return res;
  }
  res.items = n;
  res.folders = folders;
  res.names = m;
  return res;
}

}  // namespace nusk::gen
