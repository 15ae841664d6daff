// Helpers shared by the NTFS tests: test images (checked in, or made fresh through an
// ntfs-3g mount), their oracle listings, and a listener that collects what scanners say.
#pragma once
#include <cstdint>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "index/nusk_db_writer.h"
#include "scan/nusk_listener.h"
#include "scan/nusk_to_db_listener.h"

namespace nusk::ntfs_test {

// True when this machine can make images: root, /dev/fuse, mkntfs and ntfs-3g.
bool CanMakeImages(std::string* why);

// Puts the image of a generator case in a scratch folder and returns its path and the
// path of its oracle listing. Checked-in images (tests/data/ntfs/CASE.img.gz) are used
// when present, otherwise the generator runs. False with *why when neither is possible.
bool ObtainImage(const std::string& name, std::string* image, std::string* oracle, std::string* why);

// Runs a shell command; true when it exits with 0.
bool Shell(const std::string& command);

// One item as the mounted file system showed it (hard links merged into one item).
struct OracleItem {
  uint32_t record = 0;
  std::set<uint32_t> parents;
  std::set<std::u16string> names;
  bool is_folder = false;
  uint64_t size = 0;
  uint64_t filetime = 0;
  bool hidden = false;
};

std::map<uint32_t, OracleItem> LoadOracle(const std::string& path);

// Records of the oracle that a scan with default settings leaves out: folders holding
// "_nuskignore" and everything below them.
std::set<uint32_t> IgnoredByMarkers(const std::map<uint32_t, OracleItem>& oracle);

// One item of a real writer, as the change-pass tests compare them.
struct WriterItem {
  std::u16string key;  // NameKey: kind, lower-cased name, case positions
  uint64_t parent = 0;
  uint32_t size = 0, time = 0;
  bool operator==(const WriterItem&) const = default;
};
void PrintTo(const WriterItem& item, std::ostream* os);
// Every item of the writer by reference; a reference held twice appears twice.
std::multimap<uint64_t, WriterItem> WriterItems(const NuskDbWriter& writer);

// Collects what a scanner says. Every event also reaches a real index (writer) through
// the build's own listener, and the quick view `index` follows the same rules: an item is
// found by name and reference, as the real index finds it.
class CollectingListener : public INuskListener {
 public:
  void DriveScanned(char16_t) override {}
  void IgnoredFolderFound(const std::u16string& path) override { ignored.push_back(path); }
  void ForgetVolume(char16_t letter, uint8_t mount) override;
  void AddRecord(const ScanRecord& r) override;
  void UpdateRecord(const ScanRecord& r, const std::u16string* old_name) override;
  void DeleteRecord(const ScanRecord& r) override;
  void DeleteByReference(const ScanRecord& r) override;
  // Starts from what a full scan reported to `from` (its adds, replayed into the writer).
  void SeedFrom(const CollectingListener& from);

  std::vector<ScanRecord> added;
  std::vector<std::u16string> ignored;
  std::vector<std::pair<char16_t, uint8_t>> forgets;
  std::map<uint64_t, ScanRecord> index;  // what an index would hold after the events
  int updates = 0, renames = 0, deletes = 0, unknown_updates = 0, unknown_deletes = 0;
  NuskDbWriter writer;
  CNuskToDbListener real{&writer};
};

std::string Narrow(const std::u16string& s);

}  // namespace nusk::ntfs_test
