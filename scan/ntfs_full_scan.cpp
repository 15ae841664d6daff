// The full scan of an NTFS volume: every record of its Master File Table read in one
// pass, the exclusions decided over the whole table, every kept item delivered.
#include <string>
#include <vector>

#include "index/file_reference.h"
#include "index/folder_chain.h"
#include "scan/ntfs_volume_scanner.h"

namespace nusk {
namespace {

using namespace ntfs;

// What the scan decided about one record (one byte per record; the folder-chain walk's
// own values mark records it has not decided yet).
enum Mark : uint8_t { kKept = 0, kExcluded = 1, kUndecided = kChainUndecided };

}  // namespace

bool NtfsVolumeScanner::ScanMft() {
  std::unique_ptr<MftParser> parser = OpenParser();
  return parser && ScanMft(parser.get());
}

bool NtfsVolumeScanner::ScanMft(MftParser* parser) {
  if (!parser->ok() || (parser->record_count() == 0 && parser->LoadMFT() == 0)) {
    Log("The volume's Master File Table cannot be read; nothing delivered");
    return false;
  }
  delivered_ = 0;
  Log("Parsing MFT..");
  bool complete = parser->ReadMftRecords();
  Log(std::to_string(parser->entry_count()) + " entries found.");
  if (parser->entry_count() <= kFirstUserRecord || !parser->entry(kRootRecord).in_use()) {
    Log("The root folder record is missing; nothing delivered");
    return false;
  }
  const uint16_t bits = drive_mount_bits_;
  const uint64_t root = MakeIndexReference(kRootRecord, bits, parser->entry(kRootRecord).sequence);
  if (config_.drive_letter != 0) {
    ScanRecord r;
    r.reference = root;
    r.is_folder = 1;
    r.name = config_.root_name.empty() ? RootPrefix() : config_.root_name;
    listener_->AddRecord(r);
  }
  std::vector<uint8_t> marks(parser->entry_count(), kUndecided);
  MarkExclusions(*parser, &marks);

  uint32_t orphans = 0;
  ScanRecord r;
  for (uint32_t i = 0; i < parser->entry_count(); ++i) {
    const MftEntry& e = parser->entry(i);
    if (!e.in_use() || !e.has_name()) continue;
    if (i < kFirstUserRecord) {
      if (i != kRootRecord) marks[i] = kExcluded;
      continue;
    }
    uint64_t p = e.parent;
    // A parent outside the table, unused or not a folder cannot place the item.
    if (p >= parser->entry_count() || !parser->entry(static_cast<uint32_t>(p)).in_use() ||
        !parser->entry(static_cast<uint32_t>(p)).is_folder()) {
      ++orphans;
      marks[i] = kExcluded;
      continue;
    }
    if (marks[p] == kExcluded) marks[i] = kExcluded;
    if (marks[i] == kExcluded) continue;
    if (Cancelled()) {
      Log("Scan cancelled after " + std::to_string(delivered_) +
          " records; this volume is incomplete and will be scanned in full next time");
      return false;
    }
    const MftEntry& pe = parser->entry(static_cast<uint32_t>(p));
    r.reference = MakeIndexReference(i, bits, e.sequence);
    r.parent_reference = MakeIndexReference(static_cast<uint32_t>(p), bits, pe.sequence);
    if (config_.drive_letter == 0 && r.parent_reference == root) r.parent_reference = config_.mount_folder_reference;
    r.is_folder = e.is_folder() ? 1 : 0;
    uint64_t size = r.is_folder ? 0 : e.size_known() ? e.size : QuerySizeById(r.reference);
    r.size = ToSizeForm(size);
    r.time = ToCompactTime(e.time);
    r.name.assign(parser->name(e));
    ToIndexName(&r.name);
    ++delivered_;
    listener_->AddRecord(r);
  }
  if (orphans != 0) Log(std::to_string(orphans) + " records without a valid parent folder skipped");
  if (!complete) Log("The MFT could not be read completely; this volume will be scanned in full next time");
  return complete;
}

// Marks excluded entries: hidden items, names matching patterns, folders holding the
// marker file, and every folder below an excluded one. Files are decided during delivery
// from their parent's mark.
void NtfsVolumeScanner::MarkExclusions(const MftParser& parser, std::vector<uint8_t>* marks_ptr) {
  std::vector<uint8_t>& marks = *marks_ptr;
  const ExclusionSettings& x = *exclusions_;
  const uint32_t n = parser.entry_count();
  std::vector<uint32_t> folders;
  for (uint32_t i = 0; i < n; ++i) {
    const MftEntry& e = parser.entry(i);
    if (!e.in_use() || !e.has_name()) continue;
    if (x.exclude_hidden && (e.attributes & kFileAttributeHidden) && i != kRootRecord) marks[i] = kExcluded;
    std::u16string_view name = parser.name(e);
    if (e.is_folder()) {
      if (i >= kFirstUserRecord) folders.push_back(i);
      if (x.exclude_by_name && marks[i] != kExcluded && i >= kFirstUserRecord && MatchesFolderPattern(x, name))
        marks[i] = kExcluded;
    } else {
      if (name == kIgnoreMarkerName && e.parent < n && i >= kFirstUserRecord) {
        // The path comes from the table already in memory: no extra reads per marker.
        std::u16string path;
        uint64_t at = e.parent;
        bool ok = true;
        for (uint32_t steps = 0; at != kRootRecord; ++steps) {
          if (at >= n || steps > n || !parser.entry(static_cast<uint32_t>(at)).has_name()) {
            ok = false;
            break;
          }
          const MftEntry& f = parser.entry(static_cast<uint32_t>(at));
          std::u16string part(parser.name(f));
          ToIndexName(&part);
          path.insert(0, u"\\" + part);
          at = f.parent;
        }
        listener_->IgnoredFolderFound(ok ? RootPrefix() + path : std::u16string());
        if (e.parent != kRootRecord) marks[e.parent] = kExcluded;
      }
      if (x.exclude_by_name && marks[i] != kExcluded && MatchesFilePattern(x, name)) marks[i] = kExcluded;
    }
  }
  marks[kRootRecord] = kKept;
  // Each folder takes the decision of its first decided ancestor; a chain that never
  // reaches one (a parent outside the table or unused) or loops (a damaged MFT) is
  // unreachable and stays out.
  std::vector<uint32_t> walk;
  for (uint32_t f : folders) {
    if (marks[f] != kUndecided) continue;
    DecideChain(
        marks, f, &walk,
        [&parser, n](uint32_t at) {
          const uint64_t p = parser.entry(at).parent;
          if (p >= n) return kChainEnd;
          const MftEntry& pe = parser.entry(static_cast<uint32_t>(p));
          return pe.in_use() && pe.has_name() ? static_cast<uint32_t>(p) : kChainEnd;
        },
        [](uint32_t) { return uint8_t{kExcluded}; }, [](const std::vector<uint32_t>&) { return uint8_t{kExcluded}; });
  }
}

}  // namespace nusk
