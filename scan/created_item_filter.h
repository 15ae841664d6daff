// CreatedItemFilter: decides, during a change pass, whether an item that appeared since
// the last build (created, or moved in by a rename) belongs in the index: hidden, a name
// pattern, or a folder on its path that is hidden, matches a folder pattern or holds the
// marker "_nuskignore". Folder decisions are kept for the rest of the pass, so a burst of
// creations in one folder walks its path once.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "scan/exclusion.h"
#include "scan/live_record_reader.h"
#include "scan/nusk_listener.h"

namespace nusk {

enum class FolderDecision : uint8_t { kKept, kExcluded };

class CreatedItemFilter {
 public:
  // Whether the folder (its NTFS record and its index path) holds the marker.
  using MarkerQuery = std::function<bool(uint32_t folder_record, const std::u16string& folder_path)>;
  // All pointers must outlive the filter. root_prefix: "C:" or the mount path.
  CreatedItemFilter(const ExclusionSettings* exclusions, INuskListener* listener, LiveRecordReader* reader,
                    std::u16string root_prefix, MarkerQuery marker_in);

  // True when the item stays out. reference and parent are NTFS references.
  bool Excluded(const std::u16string& name, bool folder, uint64_t reference, uint64_t parent, uint32_t attributes);

  // A new pass, or a folder moved: decisions below it may change.
  void Clear() { decided_.clear(); }
  void Forget(uint32_t folder_record) { decided_.erase(folder_record); }
  bool Decided(uint32_t folder_record) const { return decided_.count(folder_record) != 0; }

 private:
  struct Level {
    uint32_t record;
    std::u16string name;
    uint32_t attributes;
  };
  bool Decide(const std::vector<Level>& levels, size_t count, FolderDecision d);

  const ExclusionSettings* exclusions_;
  INuskListener* listener_;
  LiveRecordReader* reader_;
  std::u16string root_prefix_;
  MarkerQuery marker_in_;
  std::unordered_map<uint32_t, FolderDecision> decided_;  // by NTFS record
};

}  // namespace nusk
