#include "scan/ntfs_folder_index.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/raw_volume.h"
#include "scan/mft_record.h"

namespace nusk {
namespace {

using namespace ntfs;

constexpr uint32_t kAttrIndexRoot = 0x90;
constexpr uint32_t kAttrIndexAllocation = 0xA0;
constexpr uint32_t kEntryHasSubNode = 0x1;
constexpr uint32_t kEntryLast = 0x2;
constexpr size_t kEntryHeader = 16;    // reference, entry length, key length, flags
constexpr size_t kKeyNameLength = 64;  // $FILE_NAME: name length in characters
constexpr size_t kKeyNamespace = 65;
constexpr size_t kKeyName = 66;
constexpr size_t kNodeHeaderInBlock = 0x18;  // the node header inside an "INDX" block
// Index blocks are at most this large (the format allows 64 KiB records at most).
constexpr uint32_t kMaxBlockSize = 64 * 1024;

struct NodeResult {
  std::optional<uint64_t> found;
  bool ok = true;
};

// Walks the entries of one node (header at node, bounded by end): a match ends the walk,
// every sub-node link is queued.
NodeResult ScanNode(const uint8_t* node, const uint8_t* end, std::u16string_view name,
                    std::vector<uint64_t>* subnodes) {
  NodeResult out;
  if (end - node < 16) return {std::nullopt, false};
  const uint32_t entries = U32(node), used = U32(node + 4);
  if (entries > used || used > static_cast<size_t>(end - node)) return {std::nullopt, false};
  for (const uint8_t* e = node + entries; e + kEntryHeader <= node + used;) {
    const uint16_t length = U16(e + 8), key = U16(e + 10);
    const uint32_t flags = U32(e + 12);
    if (length < kEntryHeader || length > node + used - e) return {std::nullopt, false};
    if (flags & kEntryHasSubNode) {
      if (length < kEntryHeader + 8) return {std::nullopt, false};
      subnodes->push_back(U64(e + length - 8));
    }
    if (flags & kEntryLast) break;
    if (key >= kKeyName && kEntryHeader + key <= length) {
      const uint8_t* k = e + kEntryHeader;
      const size_t chars = k[kKeyNameLength];
      if (k[kKeyNamespace] != kNamespaceDos && chars == name.size() && kKeyName + 2 * chars <= key) {
        bool same = true;
        for (size_t i = 0; i < chars && same; ++i) same = U16(k + kKeyName + 2 * i) == name[i];
        if (same) return {U64(e), true};
      }
    }
    e += length;
  }
  return out;
}

// Reads `length` bytes at byte `offset` of a non-resident attribute described by runs.
bool ReadRuns(RawVolume* volume, const std::vector<Run>& runs, uint32_t cluster_size, uint64_t offset, uint8_t* out,
              size_t length) {
  while (length != 0) {
    const uint64_t vcn = offset / cluster_size;
    auto run =
        std::find_if(runs.begin(), runs.end(), [vcn](const Run& r) { return vcn >= r.vcn && vcn - r.vcn < r.length; });
    if (run == runs.end() || run->sparse) return false;
    const uint64_t run_end = (run->vcn + run->length) * cluster_size;
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(length, run_end - offset));
    const uint64_t at = run->lcn * cluster_size + (offset - run->vcn * cluster_size);
    if (volume->ReadAt(at, out, piece) != static_cast<int64_t>(piece)) return false;
    offset += piece;
    out += piece;
    length -= piece;
  }
  return true;
}

}  // namespace

std::optional<uint64_t> FindFolderChild(const uint8_t* record, size_t record_size, std::u16string_view name,
                                        RawVolume* volume, uint32_t cluster_size, uint64_t total_clusters) {
  const size_t root = FindAttribute(record, record_size, kAttrIndexRoot, false);
  if (root == 0 || root + 24 > record_size || record[root + 8] != 0) return std::nullopt;  // absent or not resident
  const uint32_t value_length = U32(record + root + 16);
  const uint16_t value_offset = U16(record + root + 20);
  const uint32_t attribute_length = U32(record + root + 4);
  if (value_offset > attribute_length || value_length > attribute_length - value_offset ||
      attribute_length > record_size - root || value_length < 32)
    return std::nullopt;
  const uint8_t* value = record + root + value_offset;
  const uint32_t block_size = U32(value + 8);
  std::vector<uint64_t> pending;
  NodeResult r = ScanNode(value + 16, value + value_length, name, &pending);
  if (r.found || !r.ok || pending.empty()) return r.found;

  // The allocation: its runs, then the blocks the links name, each once.
  const size_t allocation = FindAttribute(record, record_size, kAttrIndexAllocation, false);
  if (allocation == 0 || allocation + 64 > record_size || record[allocation + 8] != 1 || cluster_size == 0 ||
      block_size < 512 || block_size > kMaxBlockSize || block_size % 512 != 0)
    return std::nullopt;
  const uint32_t allocation_length = U32(record + allocation + 4);
  const uint16_t pairs = U16(record + allocation + 32);
  if (allocation_length > record_size - allocation || pairs >= allocation_length) return std::nullopt;
  std::vector<Run> runs;
  DecodeRunList(record + allocation + pairs, allocation_length - pairs, U64(record + allocation + 16), total_clusters,
                &runs);
  const uint64_t allocated = U64(record + allocation + 40);
  // Links count clusters, or 512-byte units when a block is smaller than a cluster.
  const uint32_t vcn_unit = block_size >= cluster_size ? cluster_size : 512;
  const uint64_t blocks = allocated / block_size + 1;
  std::vector<uint64_t> seen;
  std::vector<uint8_t> block(block_size);
  while (!pending.empty()) {
    const uint64_t vcn = pending.back();
    pending.pop_back();
    if (std::find(seen.begin(), seen.end(), vcn) != seen.end()) continue;  // a loop in a damaged tree
    if (seen.size() >= blocks || vcn > allocated / vcn_unit) return std::nullopt;
    seen.push_back(vcn);
    if (!ReadRuns(volume, runs, cluster_size, vcn * vcn_unit, block.data(), block_size)) return std::nullopt;
    if (std::memcmp(block.data(), "INDX", 4) != 0 || !ApplyFixup(block.data(), block_size)) return std::nullopt;
    r = ScanNode(block.data() + kNodeHeaderInBlock, block.data() + block_size, name, &pending);
    if (r.found || !r.ok) return r.found;
  }
  return std::nullopt;
}

}  // namespace nusk
