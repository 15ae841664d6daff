#include "tools/sumtor/sumtor.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <cstring>
#include <unordered_map>
#include <vector>

#include "index/db_files.h"
#include "index/nusk_db.h"
#include "platform/file_stream.h"
#include "search/hash_file.h"
#include "search/hash_info.h"

namespace nusk {
namespace {

constexpr size_t kChunk = 1 << 20;

enum class HashResult { kHashed, kUnreadable, kNotRegular };

// XXH3-128 of the whole file. Only regular files are read: a FIFO or a device under an
// indexed name could block or never end.
HashResult HashFile(Env* env, const std::u16string& path, std::vector<char>* buffer, HashRecord* record,
                    uint64_t* bytes) {
  bool not_regular = false;
  std::unique_ptr<FileStream> file = env->OpenFileStream(path, &not_regular);
  if (!file) return not_regular ? HashResult::kNotRegular : HashResult::kUnreadable;
  XXH3_state_t* state = XXH3_createState();
  XXH3_128bits_reset(state);
  uint64_t offset = 0;
  bool ok = true;
  for (;;) {
    const int64_t n = file->ReadAt(offset, buffer->data(), buffer->size());
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    XXH3_128bits_update(state, buffer->data(), static_cast<size_t>(n));
    offset += static_cast<uint64_t>(n);
  }
  const XXH128_hash_t h = XXH3_128bits_digest(state);
  XXH3_freeState(state);
  if (!ok) return HashResult::kUnreadable;
  XXH128_canonical_t canonical;
  XXH128_canonicalFromHash(&canonical, h);
  std::memcpy(record->digest.data(), canonical.digest, 16);
  // An all-zero digest means "no usable hash" to readers; nudge the (2^-128) exception.
  if (record->digest == std::array<uint8_t, 16>{}) record->digest[15] = 1;
  *bytes += offset;
  return HashResult::kHashed;
}

}  // namespace

Status RunSumtor(const std::u16string& home, const DriveMap& drives, Env* env, SumtorStats* stats) {
  *stats = SumtorStats();
  NuskDb db;
  Status s = LoadNuskDb(&db, home, env);
  if (!s.ok()) return s;

  std::unordered_map<uint64_t, uint32_t> files_per_size;
  for (uint32_t i = db.folder_count(); i < db.item_count(); ++i) ++files_per_size[db.ItemSizeBytes(i)];

  std::vector<HashRecord> records;
  records.reserve(db.item_count() - db.folder_count());
  std::vector<char> buffer(kChunk);
  const ItemChecks checks(db);
  for (uint32_t i = db.folder_count(); i < db.item_count(); ++i) {
    ++stats->files;
    HashRecord r;
    r.reference = db.Reference(i);
    r.size = db.ItemSizeBytes(i);
    r.hashed = checks(i);  // ties the record to this file's path (hash_info.h)
    if (files_per_size[r.size] < 2) {
      // Nothing else has this size: a digest made from the reference alone keeps it unique.
      const XXH128_hash_t h = XXH3_128bits_withSeed(&r.reference, sizeof r.reference, 0x5a17);
      std::memcpy(r.digest.data(), &h, 16);
      ++stats->unique_size;
    } else {
      const std::u16string path = drives.ToNativePath(db.BuildPath(i, false));
      const HashResult result = HashFile(env, path, &buffer, &r, &stats->bytes);
      if (result == HashResult::kHashed) {
        ++stats->hashed;
      } else {
        r.hashed = 0;
        r.digest = {};
        ++(result == HashResult::kNotRegular ? stats->not_regular : stats->unreadable);
      }
    }
    records.push_back(r);
  }

  const std::u16string target = DbPath(home, u"nusk.hash", env);
  const std::u16string temp = target + u".tmp";
  s = env->WriteWholeFile(temp, EncodeHashFile(records), true);
  if (s.ok()) s = env->RenameFile(temp, target);
  if (!s.ok()) env->RemoveFile(temp);
  return s;
}

}  // namespace nusk
