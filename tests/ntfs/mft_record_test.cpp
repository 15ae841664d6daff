// Decoding of single NTFS structures, including damaged and hostile ones.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/env.h"
#include "ntfs_test_util.h"
#include "scan/mft_parser.h"
#include "scan/mft_record.h"
#include "scan/mft_record_cache.h"
#include "util/utf.h"

namespace nusk::ntfs {
namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) { std::memcpy(&b[at], &v, 2); }
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }
void Put64(std::vector<uint8_t>& b, size_t at, uint64_t v) { std::memcpy(&b[at], &v, 8); }

// Builds a file record the way a volume stores it: attributes, end marker, and the
// update sequence written into the last two bytes of every 512-byte stride.
class RecordBuilder {
 public:
  explicit RecordBuilder(size_t size = 1024) : b_(size, 0) {
    std::memcpy(b_.data(), "FILE", 4);
    Put16(b_, 4, 48);                                     // update sequence offset
    Put16(b_, 6, static_cast<uint16_t>(size / 512 + 1));  // entries
    Put16(b_, 16, 7);                                     // sequence
    Put16(b_, 20, 56);                                    // first attribute
    Put16(b_, 22, 1);                                     // in use
    Put32(b_, 28, static_cast<uint32_t>(size));
    at_ = 56;
  }
  RecordBuilder& Flags(uint16_t f) {
    Put16(b_, 22, f);
    return *this;
  }
  RecordBuilder& Base(uint32_t r) {
    Put32(b_, 32, r);
    return *this;
  }
  RecordBuilder& Resident(uint32_t type, const std::vector<uint8_t>& value, const std::u16string& attr_name = u"") {
    size_t name_off = 24, value_off = (24 + attr_name.size() * 2 + 7) & ~size_t{7};
    size_t len = (value_off + value.size() + 7) & ~size_t{7};
    Put32(b_, at_, type);
    Put32(b_, at_ + 4, static_cast<uint32_t>(len));
    b_[at_ + 9] = static_cast<uint8_t>(attr_name.size());
    Put16(b_, at_ + 10, static_cast<uint16_t>(name_off));
    Put32(b_, at_ + 16, static_cast<uint32_t>(value.size()));
    Put16(b_, at_ + 20, static_cast<uint16_t>(value_off));
    for (size_t i = 0; i < attr_name.size(); ++i) Put16(b_, at_ + name_off + 2 * i, attr_name[i]);
    std::memcpy(&b_[at_ + value_off], value.data(), value.size());
    at_ += len;
    return *this;
  }
  // runs: the mapping pairs, 0x11 len lcn for one run (default: 1 cluster at cluster 1).
  RecordBuilder& NonResidentData(uint64_t start_vcn, uint64_t data_size, const std::u16string& attr_name = u"",
                                 std::vector<uint8_t> runs = {0x11, 1, 1}) {
    size_t len = 72 + ((runs.size() + 1 + 7) & ~size_t{7});
    Put32(b_, at_, kAttrData);
    Put32(b_, at_ + 4, static_cast<uint32_t>(len));
    b_[at_ + 8] = 1;
    b_[at_ + 9] = static_cast<uint8_t>(attr_name.size());
    Put64(b_, at_ + 16, start_vcn);
    Put16(b_, at_ + 32, 72);
    Put64(b_, at_ + 48, data_size);
    std::memcpy(&b_[at_ + 72], runs.data(), runs.size());
    at_ += len;
    return *this;
  }
  static std::vector<uint8_t> StandardInfo(uint64_t mtime, uint32_t attributes) {
    std::vector<uint8_t> v(72, 0);
    Put64(v, 8, mtime);
    Put32(v, 32, attributes);
    return v;
  }
  static std::vector<uint8_t> FileName(uint64_t parent, const std::u16string& name, uint8_t name_space,
                                       uint64_t size = 0, uint32_t flags = 0) {
    std::vector<uint8_t> v(66 + name.size() * 2, 0);
    Put64(v, 0, parent);
    Put64(v, 48, size);
    Put32(v, 56, flags);
    v[64] = static_cast<uint8_t>(name.size());
    v[65] = name_space;
    for (size_t i = 0; i < name.size(); ++i) Put16(v, 66 + 2 * i, name[i]);
    return v;
  }
  // Ends the record and protects it: returns the bytes as they lie on disk.
  std::vector<uint8_t> Finish(uint16_t check = 0xABCD) {
    Put32(b_, at_, kAttrEnd);
    Put32(b_, 24, static_cast<uint32_t>(at_ + 8));
    Put16(b_, 48, check);
    for (size_t i = 1; i <= b_.size() / 512; ++i) {
      size_t tail = i * 512 - 2;
      std::memcpy(&b_[48 + 2 * i], &b_[tail], 2);
      Put16(b_, tail, check);
    }
    return b_;
  }

 private:
  std::vector<uint8_t> b_;
  size_t at_;
};

TEST(FixupTest, RestoresEverySectorForAnyRecordSize) {
  for (size_t size : {512u, 1024u, 4096u}) {
    RecordBuilder rb(size);
    // A name long enough to cross the first sector end wherever the record allows it.
    rb.Resident(kAttrFileName,
                RecordBuilder::FileName(5, std::u16string(size == 512 ? 150 : 200, u'n'), kNamespaceWin32));
    std::vector<uint8_t> disk = rb.Finish();
    std::vector<uint8_t> fixed = disk;
    ASSERT_TRUE(ApplyFixup(fixed.data(), size)) << size;
    // Every protected tail holds the saved value again and nothing else changed.
    for (size_t i = 1; i <= size / 512; ++i) {
      EXPECT_NE(U16(&fixed[i * 512 - 2]), 0xABCD) << size << " sector " << i;
      EXPECT_EQ(U16(&fixed[i * 512 - 2]), U16(&disk[48 + 2 * i]));
    }
    std::vector<uint8_t> again = fixed;
    EXPECT_TRUE(ApplyFixup(again.data(), size));
    EXPECT_EQ(again, fixed);
  }
}

TEST(FixupTest, RejectsTornAndMalformedRecordsWithoutChangingThem) {
  RecordBuilder rb(4096);
  rb.Resident(kAttrStandardInformation, RecordBuilder::StandardInfo(1, 0));
  const std::vector<uint8_t> disk = rb.Finish();
  std::vector<uint8_t> torn = disk;
  Put16(torn, 3 * 512 - 2, 0x1111);  // sector 3 written by another update
  std::vector<uint8_t> copy = torn;
  EXPECT_FALSE(ApplyFixup(torn.data(), torn.size()));
  EXPECT_EQ(torn, copy);

  std::vector<uint8_t> bad_count = disk;
  Put16(bad_count, 6, 3);  // a 4096-byte record needs 9 entries
  EXPECT_FALSE(ApplyFixup(bad_count.data(), bad_count.size()));

  std::vector<uint8_t> outside = disk;
  Put16(outside, 4, 4090);  // array would run past the record
  EXPECT_FALSE(ApplyFixup(outside.data(), outside.size()));
}

TEST(RunListTest, DecodesLengthsOffsetsSparseRunsAndRejectsBadLists) {
  // 0x18 clusters at 0x5634, then 0x10 clusters 0x100 clusters back, then a sparse run.
  const uint8_t pairs[] = {0x21, 0x18, 0x34, 0x56, 0x21, 0x10, 0x00, 0xFF, 0x01, 0x05, 0x00};
  std::vector<ntfs::Run> runs;
  ASSERT_TRUE(DecodeRunList(pairs, sizeof pairs, 0, 0, &runs));
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].lcn, 0x5634u);
  EXPECT_EQ(runs[0].length, 0x18u);
  EXPECT_EQ(runs[1].vcn, 0x18u);
  EXPECT_EQ(runs[1].lcn, 0x5634u - 0x100u);
  EXPECT_TRUE(runs[2].sparse);
  EXPECT_EQ(runs[2].vcn, 0x28u);

  runs.clear();
  EXPECT_FALSE(DecodeRunList(pairs, sizeof pairs, 0, 0x5000, &runs)) << "run beyond the volume";
  runs.clear();
  EXPECT_FALSE(DecodeRunList(pairs, 4, 0, 0, &runs)) << "no end header";
  const uint8_t negative[] = {0x11, 0x04, 0x80, 0x00};  // lands before cluster 0
  runs.clear();
  EXPECT_FALSE(DecodeRunList(negative, sizeof negative, 0, 0, &runs));
  const uint8_t too_wide[] = {0x19, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0};
  runs.clear();
  EXPECT_FALSE(DecodeRunList(too_wide, sizeof too_wide, 0, 0, &runs));
}

TEST(BootSectorTest, GeometryAndRejections) {
  std::vector<uint8_t> s(512, 0);
  std::memcpy(&s[3], "NTFS    ", 8);
  Put16(s, 11, 512);
  s[13] = 8;
  Put64(s, 40, 1 << 20);
  Put64(s, 48, 4);
  s[64] = 0xF6;
  BootInfo info;
  std::string error;
  ASSERT_TRUE(ParseBootSector(s.data(), s.size(), &info, &error)) << error;
  EXPECT_EQ(info.cluster_size, 4096u);
  EXPECT_EQ(info.record_size, 1024u);
  EXPECT_EQ(info.mft_offset, 4u * 4096u);
  s[64] = 2;  // two clusters per record
  ASSERT_TRUE(ParseBootSector(s.data(), s.size(), &info, &error));
  EXPECT_EQ(info.record_size, 8192u);
  s[64] = 0xF6;
  s[13] = 0xF8;  // 2^(256 - 248) sectors: 128 KiB clusters
  ASSERT_TRUE(ParseBootSector(s.data(), s.size(), &info, &error));
  EXPECT_EQ(info.cluster_size, 131072u);
  s[13] = 0x90;  // a 2^112-sector cluster
  EXPECT_FALSE(ParseBootSector(s.data(), s.size(), &info, &error));
  s[13] = 0;
  EXPECT_FALSE(ParseBootSector(s.data(), s.size(), &info, &error));
  s[13] = 8;
  Put64(s, 48, 1ull << 40);  // MFT beyond the volume's end
  EXPECT_FALSE(ParseBootSector(s.data(), s.size(), &info, &error));
  Put64(s, 48, 4);
  s[3] = 'X';
  EXPECT_FALSE(ParseBootSector(s.data(), s.size(), &info, &error));
  EXPECT_FALSE(ParseBootSector(s.data(), 100, &info, &error));
}

// A volume held in memory, for MFT layouts no mkntfs produces at test-image sizes.
class MemoryVolume : public RawVolume {
 public:
  explicit MemoryVolume(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  int64_t ReadAt(uint64_t offset, void* buffer, size_t length) override {
    if (offset >= bytes_.size()) return 0;
    size_t n = std::min<size_t>(length, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    return static_cast<int64_t>(n);
  }
  bool QueryNtfsGeometry(NtfsVolumeGeometry*) override { return false; }
  bool ReadFileRecord(uint64_t, std::string*, uint64_t*) override { return false; }
  bool FileSizeById(uint64_t, uint64_t*) override { return false; }

 private:
  std::vector<uint8_t> bytes_;
};

// A $MFT whose $DATA is split over two records by an $ATTRIBUTE_LIST: records 0-15 lie in
// the run held by record 0, records 16-31 only in the run held by extension record 1.
TEST(MftAttributeListTest, RecordsInTheExtensionRecordsRunsAreRead) {
  constexpr size_t kCluster = 4096, kRecord = 1024;
  std::vector<uint8_t> disk(32 * kCluster, 0);
  std::memcpy(&disk[3], "NTFS    ", 8);
  Put16(disk, 11, 512);
  disk[13] = 8;
  Put64(disk, 40, disk.size() / 512);
  Put64(disk, 48, 4);  // MFT at cluster 4
  disk[64] = 0xF6;
  auto list_entry = [](uint64_t start_vcn, uint32_t record) {
    std::vector<uint8_t> e(32, 0);
    Put32(e, 0, kAttrData);
    Put16(e, 4, 32);
    Put64(e, 8, start_vcn);
    Put64(e, 16, record);
    return e;
  };
  std::vector<uint8_t> list = list_entry(0, 0), second = list_entry(4, 1);
  list.insert(list.end(), second.begin(), second.end());
  auto place = [&disk](size_t cluster_offset, const std::vector<uint8_t>& rec) {
    std::memcpy(&disk[cluster_offset], rec.data(), rec.size());
  };
  const size_t seg1 = 4 * kCluster, seg2 = 12 * kCluster;  // VCN 0-3 and VCN 4-7
  place(seg1, RecordBuilder()
                  .Resident(kAttrAttributeList, list)
                  .NonResidentData(0, 32 * kRecord, u"", {0x11, 4, 4})
                  .Resident(kAttrBitmap, std::vector<uint8_t>(8, 0xFF))
                  .Finish());
  place(seg1 + kRecord, RecordBuilder().Base(0).NonResidentData(4, 32 * kRecord, u"", {0x11, 4, 12}).Finish());
  place(seg1 + 5 * kRecord,
        RecordBuilder().Flags(3).Resident(kAttrFileName, RecordBuilder::FileName(5, u".", 3)).Finish());
  place(seg2 + 4 * kRecord,
        RecordBuilder().Resident(kAttrFileName, RecordBuilder::FileName(5, u"far.txt", 1)).Finish());

  std::vector<std::string> log;
  MftParser parser(std::make_unique<MemoryVolume>(disk), [&log](const std::string& l) { log.push_back(l); });
  ASSERT_EQ(parser.LoadMFT(), 32 * kRecord) << (log.empty() ? "" : log.back());
  ASSERT_EQ(parser.mft_runs().size(), 2u);
  ASSERT_TRUE(parser.ReadMftRecords());
  ASSERT_EQ(parser.entry_count(), 32u);
  EXPECT_EQ(parser.name(parser.entry(20)), u"far.txt");
  EXPECT_EQ(parser.entry(20).parent, 5u);
}

// Names keep their text across block ends: a name that does not fit the rest of a block
// starts the next one, and every offset still finds its own name.
TEST(MftNameStoreTest, NamesAcrossBlocks) {
  MftNameStore store;
  std::vector<uint8_t> utf16(2 * 255);
  std::vector<std::pair<uint32_t, uint32_t>> placed;  // (offset, length) of name k
  const uint32_t count = 2 * MftNameStore::kBlockChars / 250 + 10;
  for (uint32_t k = 0; k < count; ++k) {
    uint32_t length = 250 + k % 6;
    for (uint32_t i = 0; i < length; ++i) Put16(utf16, 2 * i, static_cast<uint16_t>(k * 7 + i));
    uint32_t offset;
    ASSERT_TRUE(store.Add(utf16.data(), length, &offset));
    placed.emplace_back(offset, length);
  }
  ASSERT_GE(placed.back().first, 2 * MftNameStore::kBlockChars) << "the names must span three blocks";
  for (uint32_t k = 0; k < count; ++k) {
    std::u16string_view name = store.Get(placed[k].first, placed[k].second);
    ASSERT_EQ(name.size(), placed[k].second);
    ASSERT_EQ(placed[k].first / MftNameStore::kBlockChars,
              (placed[k].first + placed[k].second - 1) / MftNameStore::kBlockChars)
        << "name " << k << " split";
    ASSERT_EQ(name.front(), static_cast<char16_t>(k * 7));
    ASSERT_EQ(name.back(), static_cast<char16_t>(k * 7 + name.size() - 1));
  }
}

// The change pass's record cache: numbers that share hash slots, a full arena that
// drops new copies instead of evicting, and a new window that forgets every copy.
TEST(MftRecordCacheTest, FindsCopiesUntilTheNextWindowAndRefusesWhenFull) {
  MftRecordCache cache(1024, 16 * 1024);
  std::vector<uint8_t> rec(1024);
  auto number = [](uint64_t k) { return k * 64 + (k << 32); };
  for (uint64_t k = 0; k < 17; ++k) {
    rec[0] = rec[1023] = static_cast<uint8_t>(k + 1);
    cache.Store(number(k), rec.data());
  }
  EXPECT_EQ(cache.Find(number(16)), nullptr);  // the 17th did not fit
  for (uint64_t k = 0; k < 16; ++k) {
    const uint8_t* hit = cache.Find(number(k));
    ASSERT_NE(hit, nullptr) << k;
    EXPECT_EQ(hit[0] + hit[1023], 2 * (k + 1));
  }
  cache.NewBatch();
  EXPECT_EQ(cache.Find(number(0)), nullptr);
  EXPECT_NE(cache.Reserve(16), nullptr);
}

TEST(FileRecordTest, NamespacesStreamsAndSizes) {
  RecordBuilder rb;
  rb.Resident(kAttrStandardInformation, RecordBuilder::StandardInfo(0x01D0000000000000ull, kFileAttributeHidden))
      .Resident(kAttrFileName, RecordBuilder::FileName(0x0003000000000040ull, u"LONGFI~1.TXT", kNamespaceDos, 999))
      .Resident(kAttrFileName,
                RecordBuilder::FileName(0x0003000000000040ull, std::u16string(u"Long file name.txt\0\0", 20),
                                        kNamespaceWin32, 999))
      .NonResidentData(0, 5000000000ull, u"ads")
      .NonResidentData(0, 4242);
  std::vector<uint8_t> rec = rb.Finish();
  ASSERT_TRUE(ApplyFixup(rec.data(), rec.size()));
  RecordInfo info;
  ParseFileRecord(rec.data(), rec.size(), &info);
  ASSERT_TRUE(info.valid);
  EXPECT_FALSE(info.malformed);
  ASSERT_TRUE(info.has_name);
  std::u16string name;
  for (int i = 0; i < info.name_length; ++i) name.push_back(U16(info.name_bytes + 2 * i));
  EXPECT_EQ(name, u"Long file name.txt");  // Win32 name, trailing NULs dropped
  EXPECT_EQ(info.parent, 0x40u);           // sequence bits cleared
  EXPECT_TRUE(info.has_data_size);
  EXPECT_EQ(info.data_size, 4242u);  // the unnamed stream, not the named one
  EXPECT_EQ(info.attributes & kFileAttributeHidden, kFileAttributeHidden);
  EXPECT_EQ(info.sequence, 7);
}

TEST(FileRecordTest, DosOnlyNameGivesNoNameAndOverrunsAreMalformed) {
  RecordBuilder rb;
  rb.Resident(kAttrFileName, RecordBuilder::FileName(5, u"A~1", kNamespaceDos));
  std::vector<uint8_t> rec = rb.Finish();
  ASSERT_TRUE(ApplyFixup(rec.data(), rec.size()));
  RecordInfo info;
  ParseFileRecord(rec.data(), rec.size(), &info);
  EXPECT_TRUE(info.valid);
  EXPECT_FALSE(info.has_name);

  // A name length running past its attribute, and an attribute running past the record.
  RecordBuilder bad;
  bad.Resident(kAttrFileName, RecordBuilder::FileName(5, u"abc", kNamespacePosix));
  std::vector<uint8_t> b = bad.Finish();
  ASSERT_TRUE(ApplyFixup(b.data(), b.size()));
  b[56 + 24 + 64] = 200;
  ParseFileRecord(b.data(), b.size(), &info);
  EXPECT_TRUE(info.malformed);
  EXPECT_FALSE(info.has_name);
  Put32(b, 56 + 4, 0x7FFFFFF8);
  ParseFileRecord(b.data(), b.size(), &info);
  EXPECT_TRUE(info.malformed);
}

// Damage to a whole image (single records are the fuzz target's job, fuzz_mft_record):
// a truncated image, and a $MFT record whose run list points outside the volume. Both
// fail with a log line instead of reading garbage.
TEST(HostileInputTest, DamagedImages) {
  std::string image, oracle, why;
  if (!ntfs_test::ObtainImage("basic4k", &image, &oracle, &why)) GTEST_SKIP() << why;
  std::unique_ptr<RawVolume> volume;
  ASSERT_TRUE(Env::Default()->OpenRawVolume(FromUtf8(image), &volume).ok());
  MftParser parser(std::move(volume), nullptr);
  ASSERT_NE(parser.LoadMFT(), 0u);

  std::string bytes;
  {
    std::ifstream in(image, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const BootInfo& boot = parser.boot();
  std::string truncated = image + ".truncated";
  {
    std::ofstream out(truncated, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(boot.mft_offset + boot.record_size * 20));
  }
  std::vector<std::string> log;
  auto logger = [&log](const std::string& l) { log.push_back(l); };
  std::unique_ptr<RawVolume> tv;
  ASSERT_TRUE(Env::Default()->OpenRawVolume(FromUtf8(truncated), &tv).ok());
  MftParser tp(std::move(tv), logger);
  if (tp.LoadMFT() != 0) {
    EXPECT_FALSE(tp.ReadMftRecords());
    EXPECT_LE(tp.named_count(), 20u);
  }
  EXPECT_FALSE(log.empty());

  std::string wild = image + ".wild";
  std::string damaged = bytes;
  size_t data = FindAttribute(reinterpret_cast<const uint8_t*>(damaged.data() + boot.mft_offset), boot.record_size,
                              kAttrData, true);
  ASSERT_NE(data, 0u);
  // The run list lives at the mapping-pairs offset; make the first run's cluster negative.
  size_t pairs =
      boot.mft_offset + data + U16(reinterpret_cast<const uint8_t*>(damaged.data() + boot.mft_offset + data + 32));
  uint8_t header = static_cast<uint8_t>(damaged[pairs]);
  size_t off_at = pairs + 1 + (header & 0x0F) + (header >> 4) - 1;
  damaged[off_at] = static_cast<char>(0x80);
  std::ofstream(wild, std::ios::binary) << damaged;
  log.clear();
  std::unique_ptr<RawVolume> wv;
  ASSERT_TRUE(Env::Default()->OpenRawVolume(FromUtf8(wild), &wv).ok());
  MftParser wp(std::move(wv), logger);
  EXPECT_EQ(wp.LoadMFT(), 0u);
  EXPECT_FALSE(log.empty());
}

}  // namespace
}  // namespace nusk::ntfs
