#include "scan/mft_record.h"

namespace nusk::ntfs {
namespace {

bool IsPowerOfTwo(uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }

// The attribute walk of one record: yields each attribute's offset and length while the
// attribute lies wholly inside the used part of the record.
class AttributeWalk {
 public:
  AttributeWalk(const uint8_t* record, size_t record_size) : record_(record) {
    uint32_t in_use = U32(record + 24);
    limit_ = in_use < record_size ? in_use : record_size;
    offset_ = U16(record + 20);
  }
  // False at the end marker or when the next attribute does not fit (then malformed()).
  bool Next(uint32_t* type, size_t* offset, uint32_t* length) {
    if (offset_ + 8 > limit_ || offset_ + 4 > limit_) {
      malformed_ = offset_ + 4 > limit_;
      return false;
    }
    uint32_t t = U32(record_ + offset_);
    if (t == kAttrEnd) return false;
    uint32_t len = U32(record_ + offset_ + 4);
    if (len < 24 || (len & 7) != 0 || len > limit_ - offset_) {
      malformed_ = true;
      return false;
    }
    *type = t;
    *offset = offset_;
    *length = len;
    offset_ += len;
    return true;
  }
  bool malformed() const { return malformed_; }

 private:
  const uint8_t* record_;
  size_t limit_ = 0;
  size_t offset_ = 0;
  bool malformed_ = false;
};

// The value of a resident attribute, or an empty span when it does not fit.
Bytes ResidentValue(const uint8_t* attr, uint32_t attr_length) {
  uint32_t value_length = U32(attr + 16);
  uint16_t value_offset = U16(attr + 20);
  if (value_offset > attr_length || value_length > attr_length - value_offset) return {};
  return Bytes{attr + value_offset, value_length};
}

void TakeFileName(Bytes value, RecordInfo* info) {
  const uint8_t* fixed = value.At(0, 66);
  if (!fixed) {
    info->malformed = true;
    return;
  }
  uint8_t name_chars = fixed[64];
  uint8_t name_space = fixed[65];
  const uint8_t* name = value.At(66, size_t{name_chars} * 2);
  if (!name) {
    info->malformed = true;
    return;
  }
  if (name_space == kNamespaceDos) return;  // the 8.3 alias of a name stored separately
  uint16_t length = name_chars;
  while (length > 0 && U16(name + 2 * (length - 1)) == 0) --length;
  info->has_name = true;
  info->name_bytes = name;
  info->name_length = length;
  info->parent = U64(fixed) & 0x0000FFFFFFFFFFFFull;
  info->attributes |= U32(fixed + 56);
  if (U64(fixed + 48) != 0) info->file_name_size = U64(fixed + 48);
}

}  // namespace

bool ParseBootSector(const uint8_t* s, size_t length, BootInfo* info, std::string* error) {
  if (length < 512) {
    *error = "boot sector is shorter than 512 bytes";
    return false;
  }
  if (std::memcmp(s + 3, "NTFS", 4) != 0) {
    *error = "not an NTFS boot sector";
    return false;
  }
  uint32_t bps = U16(s + 11);
  uint32_t spc = s[13];
  // Sectors per cluster above 128 are stored as a negative power of two; a shift of 32 or
  // more (beyond any real cluster, and undefined for wide ones) gives 0 and is refused.
  const uint32_t shift = 256 - spc;
  uint64_t cluster = spc <= 128 ? uint64_t{bps} * spc : shift < 32 ? uint64_t{bps} << shift : 0;
  if (!IsPowerOfTwo(bps) || bps < 256 || bps > 4096 || spc == 0 || spc > 128 + 127 || !IsPowerOfTwo(cluster) ||
      cluster > (2u << 20)) {
    *error = "impossible NTFS geometry in the boot sector";
    return false;
  }
  uint32_t v = U32(s + 64) & 0xFF;
  uint64_t record = v >= 128 ? (v - 128 <= 127 && 256 - v < 32 ? uint64_t{1} << (256 - v) : 0) : uint64_t{v} * cluster;
  if (!IsPowerOfTwo(record) || record < 512 || record > 65536) {
    *error = "impossible file record size in the boot sector";
    return false;
  }
  uint64_t mft_cluster = U64(s + 48);
  uint64_t total_sectors = U64(s + 40);
  if (mft_cluster > (uint64_t{1} << 48) / cluster) {
    *error = "MFT start lies outside any volume";
    return false;
  }
  info->bytes_per_sector = bps;
  info->cluster_size = static_cast<uint32_t>(cluster);
  info->record_size = static_cast<uint32_t>(record);
  info->mft_offset = mft_cluster * cluster;
  info->volume_bytes = total_sectors < (uint64_t{1} << 52) / bps ? total_sectors * bps : 0;
  if (info->volume_bytes != 0 && info->mft_offset >= info->volume_bytes) {
    *error = "MFT start lies beyond the end of the volume";
    return false;
  }
  return true;
}

bool ApplyFixup(uint8_t* record, size_t record_size) {
  if (record_size < kFixupStride || record_size % kFixupStride != 0) return false;
  uint16_t offset = U16(record + 4);
  uint16_t count = U16(record + 6);
  size_t sectors = record_size / kFixupStride;
  if (count != sectors + 1 || (offset & 1) != 0 || size_t{offset} + 2 * size_t{count} > record_size || offset < 8)
    return false;
  uint8_t* usa = record + offset;
  uint16_t check = U16(usa);
  // Verify every sector before changing any, so a torn record stays as it was read.
  for (size_t i = 1; i <= sectors; ++i) {
    uint16_t tail = U16(record + i * kFixupStride - 2);
    uint16_t saved = U16(usa + 2 * i);
    // Already fixed up (a second application): the tail holds the saved value.
    if (tail != check && tail != saved) return false;
  }
  for (size_t i = 1; i <= sectors; ++i) std::memcpy(record + i * kFixupStride - 2, usa + 2 * i, 2);
  return true;
}

bool DecodeRunList(const uint8_t* pairs, size_t length, uint64_t start_vcn, uint64_t total_clusters,
                   std::vector<Run>* runs) {
  size_t pos = 0;
  uint64_t vcn = start_vcn;
  int64_t lcn = 0;
  while (pos < length) {
    uint8_t header = pairs[pos++];
    if (header == 0) return true;
    unsigned len_size = header & 0x0F;
    unsigned off_size = header >> 4;
    if (len_size == 0 || len_size > 8 || off_size > 8 || len_size + off_size > length - pos) return false;
    uint64_t run_length = 0;
    for (unsigned i = 0; i < len_size; ++i) run_length |= uint64_t{pairs[pos + i]} << (8 * i);
    pos += len_size;
    if (run_length == 0 || run_length > (uint64_t{1} << 48)) return false;
    Run run;
    run.vcn = vcn;
    run.length = run_length;
    if (off_size == 0) {
      run.sparse = true;
    } else {
      uint64_t delta = 0;
      for (unsigned i = 0; i < off_size; ++i) delta |= uint64_t{pairs[pos + i]} << (8 * i);
      if (off_size < 8 && (pairs[pos + off_size - 1] & 0x80)) delta |= ~uint64_t{0} << (8 * off_size);
      pos += off_size;
      int64_t d = static_cast<int64_t>(delta);
      if ((d > 0 && lcn > INT64_MAX - d) || (d < 0 && lcn < INT64_MIN - d)) return false;
      lcn += d;
      if (lcn < 0) return false;
      run.lcn = static_cast<uint64_t>(lcn);
      if (total_clusters != 0 && (run.lcn > total_clusters || run_length > total_clusters - run.lcn)) return false;
    }
    runs->push_back(run);
    vcn += run_length;
  }
  return false;  // ran off the attribute without an end header
}

void ParseFileRecord(const uint8_t* record, size_t record_size, RecordInfo* info) {
  *info = RecordInfo();
  if (record_size < 48 || std::memcmp(record, "FILE", 4) != 0) return;
  if (U16(record + 20) < 42 || U16(record + 20) >= record_size) return;
  info->valid = true;
  info->flags = U16(record + 22);
  info->sequence = U16(record + 16);
  info->base_record = U32(record + 32);
  AttributeWalk walk(record, record_size);
  uint32_t type, length;
  size_t offset;
  bool data_seen = false;
  while (walk.Next(&type, &offset, &length)) {
    const uint8_t* attr = record + offset;
    bool resident = attr[8] == 0;
    if (resident && (type == kAttrStandardInformation || type == kAttrFileName)) {
      Bytes value = ResidentValue(attr, length);
      if (!value.data) {
        info->malformed = true;
        break;
      }
      if (type == kAttrStandardInformation) {
        if (const uint8_t* si = value.At(0, 36)) {
          info->time = U64(si + 8);
          info->attributes |= U32(si + 32);
          info->has_standard_info = true;
        }
      } else {
        TakeFileName(value, info);
      }
    } else if (type == kAttrAttributeList) {
      info->has_attribute_list = true;
    } else if (type == kAttrData && attr[9] == 0 && !data_seen) {
      // Only the unnamed stream is the file's size; named streams are alternate data.
      if (resident) {
        if (!ResidentValue(attr, length).data) {
          info->malformed = true;
          break;
        }
        info->data_size = U32(attr + 16);
        data_seen = true;
      } else if (length >= 64 && U64(attr + 16) == 0) {
        info->data_size = U64(attr + 48);
        data_seen = true;
      }
      info->has_data_size = data_seen;
    }
    // Attributes are sorted by type: past $DATA nothing else is needed.
    if (type > kAttrData && data_seen) break;
  }
  if (walk.malformed()) info->malformed = true;
}

size_t FindAttribute(const uint8_t* record, size_t record_size, uint32_t type, bool unnamed_only) {
  if (record_size < 48 || U16(record + 20) >= record_size) return 0;
  AttributeWalk walk(record, record_size);
  uint32_t t, length;
  size_t offset;
  while (walk.Next(&t, &offset, &length)) {
    if (t == type && (!unnamed_only || record[offset + 9] == 0)) return offset;
  }
  return 0;
}

}  // namespace nusk::ntfs
