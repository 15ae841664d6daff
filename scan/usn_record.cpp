#include "scan/usn_record.h"

#include <algorithm>

#include "scan/ntfs_layout.h"

namespace nusk {

using ntfs::U16;
using ntfs::U32;
using ntfs::U64;

std::optional<UsnRecord> DecodeUsnRecord(const uint8_t* p, size_t available, std::string* error) {
  if (available < 8) {
    *error = "truncated change record";
    return std::nullopt;
  }
  UsnRecord r;
  r.length = U32(p);
  const uint16_t major = U16(p + 4);
  const UsnRecordLayout* at = UsnLayoutOf(major);
  if (!at) {
    *error = "change record version " + std::to_string(major) + " is not understood";
    return std::nullopt;
  }
  if (r.length < at->fixed || r.length > available) {
    *error = "change record with a bad length";
    return std::nullopt;
  }
  r.reference = U64(p + at->reference);
  r.parent = U64(p + at->parent);
  r.usn = static_cast<int64_t>(U64(p + at->usn));
  // A USN is a byte offset in the journal: the position after the record must exist.
  if (r.usn < 0 || r.usn > INT64_MAX - static_cast<int64_t>(r.length)) {
    *error = "change record with a bad USN";
    return std::nullopt;
  }
  r.reason = U32(p + at->reason);
  r.attributes = U32(p + at->attributes);
  const uint16_t name_bytes = U16(p + at->name_bytes);
  r.name_offset = U16(p + at->name_offset);
  if (r.name_offset > r.length || name_bytes > r.length - r.name_offset || (name_bytes & 1)) {
    *error = "change record whose name lies outside it";
    return std::nullopt;
  }
  r.name_chars = static_cast<uint16_t>(std::min<size_t>(name_bytes / 2, kUsnNameLimit));
  return r;
}

std::u16string UsnRecordName(const uint8_t* record, const UsnRecord& r) {
  std::u16string name(r.name_chars, u'\0');
  for (size_t i = 0; i < name.size(); ++i) name[i] = static_cast<char16_t>(U16(record + r.name_offset + 2 * i));
  return name;
}

}  // namespace nusk
