// The children of one NTFS folder, read from the folder's own index ("$I30": the
// $INDEX_ROOT in its record and the $INDEX_ALLOCATION blocks it points to), so a question
// about a folder of a volume is answered by that volume and not by a path on the host.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace nusk {

class RawVolume;

// Looks `name` up among the children of the folder whose MFT record (fix-up applied) is
// given, comparing the long names exactly (8.3 aliases are not names of their own). Only
// the live part of the index tree is walked, from its root through the sub-node links, so
// entries left behind in freed blocks are never taken for children. Returns the child's
// NTFS reference, or std::nullopt when no child has the name, the record is not a folder,
// or its index cannot be read (damaged, or its allocation described in an extension
// record: a folder that fragmented is then answered as holding no such child).
std::optional<uint64_t> FindFolderChild(const uint8_t* record, size_t record_size, std::u16string_view name,
                                        RawVolume* volume, uint32_t cluster_size, uint64_t total_clusters);

}  // namespace nusk
