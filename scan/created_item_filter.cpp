#include "scan/created_item_filter.h"

#include <optional>
#include <vector>

#include "index/file_reference.h"
#include "scan/ntfs_layout.h"

namespace nusk {
namespace {

using namespace ntfs;

constexpr size_t kMaxPathChars = 32767;  // the longest path NTFS allows

}  // namespace

CreatedItemFilter::CreatedItemFilter(const ExclusionSettings* exclusions, INuskListener* listener,
                                     LiveRecordReader* reader, std::u16string root_prefix, MarkerQuery marker_in)
    : exclusions_(exclusions),
      listener_(listener),
      reader_(reader),
      root_prefix_(std::move(root_prefix)),
      marker_in_(std::move(marker_in)) {}

// Gives the first `count` levels the decision; true when it excludes.
bool CreatedItemFilter::Decide(const std::vector<Level>& levels, size_t count, FolderDecision d) {
  for (size_t k = 0; k < count; ++k) decided_[levels[k].record] = d;
  return d == FolderDecision::kExcluded;
}

bool CreatedItemFilter::Excluded(const std::u16string& name, bool folder, uint64_t reference, uint64_t parent,
                                 uint32_t attributes) {
  const ExclusionSettings& x = *exclusions_;
  const uint32_t own = NtfsRecordOf(reference);
  const uint32_t parent_record = NtfsRecordOf(parent);
  if (x.exclude_hidden && (attributes & kFileAttributeHidden)) {
    if (folder) decided_[own] = FolderDecision::kExcluded;
    return true;
  }
  if (folder) {
    auto it = decided_.find(own);
    if (it != decided_.end()) return it->second == FolderDecision::kExcluded;
  } else {
    // The file's own name first: a kept parent must not let a matching name through.
    if (x.exclude_by_name && MatchesFilePattern(x, name)) return true;
    if (name == kIgnoreMarkerName) {
      // A new marker, also in a folder already decided as kept: its folder and everything
      // created in it from now on stay out, and the folder is reported as a full scan
      // would report it.
      listener_->IgnoredFolderFound(reader_->PathOf(parent_record, root_prefix_));
      decided_[parent_record] = FolderDecision::kExcluded;
      return true;
    }
    auto it = decided_.find(parent_record);
    if (it != decided_.end()) return it->second == FolderDecision::kExcluded;
  }
  // The chain of folders from the item's own folder up to (not including) the root, as
  // far as no decision is known.
  std::vector<Level> levels;
  if (folder) levels.push_back({own, name, attributes});
  uint32_t at = parent_record;
  RecordInfo info;
  std::optional<FolderDecision> above;
  // A chain longer than any NTFS path (a parent cycle in a damaged or changing MFT)
  // reaches no folder: its items are left out, as the full scan leaves them out.
  size_t path_length = folder ? name.size() + 1 : 0;
  for (;;) {
    auto it = decided_.find(at);
    if (it != decided_.end()) {
      above = it->second;
      break;
    }
    if (at == kRootRecord) break;
    if (!reader_->ReadInfo(at, &info) || !info.has_name) break;  // an unreadable folder ends the chain
    levels.push_back({at, reader_->Name(info), info.attributes});
    path_length += info.name_length + 1u;
    if (path_length > kMaxPathChars) return Decide(levels, levels.size(), FolderDecision::kExcluded);
    at = NtfsRecordOf(info.parent);
  }
  if (above) {
    if (*above == FolderDecision::kExcluded || levels.empty()) return Decide(levels, levels.size(), *above);
    // Kept above: the levels walked below it still need their own tests (below).
  }
  // The deepest level's path; each level's own path is a prefix of it (ends[k] long).
  std::vector<size_t> ends(levels.size());
  std::u16string full = root_prefix_;
  for (size_t k = levels.size(); k-- > 0;) {
    full += u"\\" + levels[k].name;
    ends[k] = full.size();
  }
  for (size_t j = 0; j < levels.size(); ++j) {
    const Level& l = levels[j];
    bool excluded = (x.exclude_hidden && (l.attributes & kFileAttributeHidden)) ||
                    (x.exclude_by_name && MatchesFolderPattern(x, l.name));
    if (!excluded) {
      const std::u16string path = full.substr(0, ends[j]);
      if (marker_in_(l.record, path)) {
        excluded = true;
        listener_->IgnoredFolderFound(path);
      }
    }
    if (excluded) return Decide(levels, j + 1, FolderDecision::kExcluded);
  }
  return Decide(levels, levels.size(), FolderDecision::kKept);
}

}  // namespace nusk
