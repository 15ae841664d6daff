// Parsing and checking of the database file bytes, shared by both loaders.
//
// Every count, index, length and position is checked against the size of the bytes
// before anything is used, so a damaged file yields a message and never an out-of-range
// read. Check* functions return an empty string when the bytes are sound, else the
// fault (without the file name; callers prefix it).
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "index/db_files.h"
#include "index/folder_chain.h"
#include "index/index_types.h"

namespace nusk::dbformat {

inline uint16_t Get16(const char* p) {
  return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8));
}
inline uint32_t Get32(const char* p) {
  return uint32_t{static_cast<uint8_t>(p[0])} | (uint32_t{static_cast<uint8_t>(p[1])} << 8) |
         (uint32_t{static_cast<uint8_t>(p[2])} << 16) | (uint32_t{static_cast<uint8_t>(p[3])} << 24);
}
inline uint64_t Get64(const char* p) { return uint64_t{Get32(p)} | (uint64_t{Get32(p + 4)} << 32); }

inline void Set16(char* p, uint16_t v) {
  p[0] = char(v);
  p[1] = char(v >> 8);
}
inline void Set32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = char(v >> (8 * i));
}
inline void Set64(char* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = char(v >> (8 * i));
}
inline void Put32(std::string* s, uint32_t v) {
  char b[4];
  Set32(b, v);
  s->append(b, 4);
}
inline void Put64(std::string* s, uint64_t v) {
  char b[8];
  Set64(b, v);
  s->append(b, 8);
}

// Size checks from a file's head alone, run before the body is mapped or read: a header
// that cannot be true of a file of this size is refused at the cost of one small read.
// head holds the file's first bytes (up to the sizes below); size is the whole file's.
inline constexpr size_t kFrsHeadSize = kRowsOffset;  // header and drive blocks
inline constexpr size_t kCountHeadSize = 4;          // "nusk.nrs" and "nusk.hid": the count
std::string CheckFrsSize(std::string_view head, uint64_t size, uint32_t* n);
std::string CheckNrsSize(std::string_view head, uint64_t size, uint32_t* m);
std::string CheckHidSize(std::string_view head, uint64_t size);

// "nusk.frs" as laid out in the bytes (views into them).
struct FrsView {
  uint32_t n = 0;
  const char* header = nullptr;  // 128 bytes, null for an empty file
  const char* drives = nullptr;  // 26 x 128
  const char* rows = nullptr;    // n x 20
  std::u16string labels[kDriveCount];
  const char* mounts = nullptr;  // 256 x 128, null in older files
};
// An empty input is a valid empty index. Checks the sizes, the label pool, the mount
// table and that every parent index is below n or none.
std::string CheckFrs(std::string_view bytes, FrsView* out);

// Row k of a file, read after the file has been checked.
inline uint64_t RowRef(const FrsView& v, uint32_t i) { return Get64(v.rows + size_t{i} * kFileRowSize); }
inline uint32_t RowParent(const FrsView& v, uint32_t i) { return Get32(v.rows + size_t{i} * kFileRowSize + 8); }
inline uint32_t RowTime(const FrsView& v, uint32_t i) { return Get32(v.rows + size_t{i} * kFileRowSize + 12); }
inline uint32_t RowSize(const FrsView& v, uint32_t i) { return Get32(v.rows + size_t{i} * kFileRowSize + 16); }

void DecodeDriveState(const char* block, DriveState* d);  // display name not included
void EncodeDriveState(const DriveState& d, uint32_t label_start, char* block);
void DecodeMountState(const char* block, MountState* m);
void EncodeMountState(const MountState& m, char* block);

// One name row with the position of its text, read after the file has been checked.
struct NameRaw {
  uint32_t bits = 0, first = 0, count = 0;
  bool wide = false;
  uint8_t length = 0, case_count = 0;
  const char* text = nullptr;  // the stored NameKey units
  char16_t Unit(size_t i) const {
    return wide ? static_cast<char16_t>(Get16(text + 2 * i)) : static_cast<char16_t>(static_cast<uint8_t>(text[i]));
  }
  size_t KeyUnits() const { return size_t{length} + 1 + (case_count ? size_t{case_count} + 1 : 0); }
  char16_t Kind() const { return Unit(0); }
};

// The name rows of "nusk.nrs" and where their texts lie, once CheckNrsRows passed.
struct NrsLayout {
  uint32_t m = 0;               // names
  const char* rows = nullptr;   // m x 11 bytes
  const char* texts = nullptr;  // the name texts, in row order
  uint64_t text_units = 0;      // sum of (length + 2): kind, name, terminator
  uint64_t case_bytes = 0;      // sum of case counts
};
// Checks everything the rows alone tell against n items: the row table fits, wide flags,
// first item indexes (0 for the first name, non-decreasing, below n) and that the texts
// the rows describe fill the rest of the file exactly. The texts themselves are checked
// by NameReader as they are read. An empty input is valid only when n is 0.
std::string CheckNrsRows(std::string_view bytes, uint32_t n, NrsLayout* out);

// Walks the names of rows that passed CheckNrsRows, in order, checking each text as it
// comes: kind character, case mark and positions, keys strictly increasing, folders
// before files. Checking while reading lets a loader fill its tables in the same pass.
class NameReader {
 public:
  NameReader(const NrsLayout& layout, uint32_t n) : layout_(layout), n_(n), text_(layout.texts) {}
  // The next name into *r; false after the last name or at a fault (fault() says which,
  // without the file name).
  bool Next(NameRaw* r);
  const std::string& fault() const { return fault_; }
  uint32_t folder_names() const { return fm_; }  // FM of the names read so far
  // F, the number of folder items, once every name was read.
  uint32_t FolderItems() const;

 private:
  bool Fail(std::string what);

  NrsLayout layout_;
  uint32_t n_;
  const char* text_;
  uint32_t k_ = 0, fm_ = 0;
  NameRaw prev_;
  std::string fault_;
};

struct NrsSummary {
  uint32_t m = 0;           // names
  uint32_t fm = 0;          // folder names (they come first)
  uint32_t f = 0;           // items of folder names
  uint64_t text_units = 0;  // sum of (length + 2): kind, name, terminator
  uint64_t case_bytes = 0;  // sum of case counts
};
// CheckNrsRows and a NameReader walk over every name, for loaders that check first and
// fill afterwards.
std::string CheckNrs(std::string_view bytes, uint32_t n, NrsSummary* out);
// Calls fn(k, raw) for every name of checked bytes.
template <typename Fn>
void ForEachName(std::string_view bytes, uint32_t n, Fn fn);

// Checks the parents of checked files: every parent is an item (below n) and a folder
// (below f), and no folder is its own ancestor. parent(i) gives the parent item index.
template <typename ParentFn>
std::string CheckParents(uint32_t n, uint32_t f, ParentFn parent);

// "nusk.hid": K item indexes and K states (a missing state at the end counts as 1).
struct HidEntry {
  uint32_t item;
  uint8_t state;
};
std::string CheckHid(std::string_view bytes, std::vector<HidEntry>* out);
std::string EncodeHid(const std::vector<HidEntry>& entries);

// The fault of item i whose parent index p is neither none nor a folder below f.
std::string ParentFault(uint32_t i, uint32_t p, uint32_t n);

// ---- template bodies ----
template <typename Fn>
void ForEachName(std::string_view bytes, uint32_t n, Fn fn) {
  if (bytes.size() < 4) return;
  const char* p = bytes.data();
  uint32_t m = Get32(p);
  const char* row = p + 4;
  const char* text = row + size_t{m} * kNameRowSize;
  for (uint32_t k = 0; k < m; ++k, row += kNameRowSize) {
    NameRaw r;
    r.bits = Get32(row);
    r.first = Get32(row + 4);
    r.wide = row[8] != 0;
    r.length = static_cast<uint8_t>(row[9]);
    r.case_count = static_cast<uint8_t>(row[10]);
    r.count = (k + 1 < m ? Get32(row + kNameRowSize + 4) : n) - r.first;
    r.text = text;
    text += r.KeyUnits() * (r.wide ? 2 : 1);
    fn(k, r);
  }
}

template <typename ParentFn>
std::string CheckParents(uint32_t n, uint32_t f, ParentFn parent) {
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t p = parent(i);
    if (p != kNoItem && p >= f) return ParentFault(i, p, n);
  }
  // Folder chains: each is walked once; one that comes back on itself is a fault.
  static constexpr uint8_t kReachesRoot = 0;
  std::vector<uint8_t> verdicts(f, kChainUndecided);
  std::vector<uint32_t> walk;
  for (uint32_t start = 0; start < f; ++start) {
    if (verdicts[start] != kChainUndecided) continue;
    bool loops = false;
    DecideChain(
        verdicts, start, &walk,
        [&parent](uint32_t x) {
          const uint32_t p = parent(x);
          return p == kNoItem ? kChainEnd : p;
        },
        [](uint32_t) { return kReachesRoot; },
        [&loops](const std::vector<uint32_t>&) {
          loops = true;
          return kReachesRoot;
        });
    if (loops) return "the folder chain of item " + std::to_string(start) + " loops back on itself";
  }
  return {};
}

}  // namespace nusk::dbformat
