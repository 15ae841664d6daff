#include "ntfs_test_util.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "util/utf.h"

namespace nusk::ntfs_test {
namespace {

std::string ScratchFolder() {
  // Never destroyed: the clean-up below runs at exit and still needs it.
  static const std::string* dir = [] {
    std::error_code ec;
    std::filesystem::path p =
        std::filesystem::temp_directory_path(ec) / ("nusk-ntfs-test-" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(p, ec);
    return new std::string(ec ? "" : p.string());
  }();
  return *dir;
}

struct ScratchCleanup {
  ~ScratchCleanup() {
    std::error_code ec;
    if (!ScratchFolder().empty()) std::filesystem::remove_all(ScratchFolder(), ec);
  }
} cleanup;

bool Exists(const std::string& p) {
  std::error_code ec;
  return std::filesystem::exists(p, ec);
}

}  // namespace

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

bool CanMakeImages(std::string* why) {
#ifdef _WIN32
  *why = "NTFS images are made on Linux (mkntfs and an ntfs-3g mount)";
  return false;
#else
  if (geteuid() != 0) {
    *why = "making NTFS images needs root (ntfs-3g mount)";
    return false;
  }
  if (!Exists("/dev/fuse")) {
    *why = "making NTFS images needs /dev/fuse";
    return false;
  }
  if (!Shell("command -v mkntfs >/dev/null 2>&1 && command -v ntfs-3g >/dev/null 2>&1")) {
    *why = "making NTFS images needs mkntfs and ntfs-3g (Debian package ntfs-3g)";
    return false;
  }
  return true;
#endif
}

bool ObtainImage(const std::string& name, std::string* image, std::string* oracle, std::string* why) {
  std::string dir = ScratchFolder();
  *image = dir + "/" + name + ".img";
  *oracle = dir + "/" + name + ".oracle.tsv";
  if (Exists(*image) && Exists(*oracle)) return true;
#ifdef _WIN32
  // Images are unpacked and made with Linux tools; under Wine a shell call would hang.
  *why = "NTFS test images are prepared on Linux (see tests/ntfs/wine_drive_check.sh)";
  return false;
#endif
  std::string data = std::string(NUSK_TEST_DATA) + "/ntfs/" + name;
  if (Exists(data + ".img.gz") && Exists(data + ".oracle.tsv")) {
    if (Shell("gzip -dc '" + data + ".img.gz' > '" + *image + "' && cp '" + data + ".oracle.tsv' '" + *oracle + "'"))
      return true;
    *why = "cannot unpack " + data + ".img.gz (needs gzip)";
    return false;
  }
  if (!CanMakeImages(why)) return false;
  std::string script = std::string(NUSK_TEST_DATA) + "/../../tools/ntfs_images/make_ntfs_image.py";
  if (!Shell("python3 '" + script + "' " + name + " '" + dir + "' >/dev/null")) {
    *why = "the image generator failed for " + name;
    return false;
  }
  return true;
}

std::map<uint32_t, OracleItem> LoadOracle(const std::string& path) {
  std::map<uint32_t, OracleItem> items;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::istringstream f(line);
    uint32_t ino, parent;
    int dir, hidden;
    uint64_t size, ft;
    std::string hex;
    f >> ino >> parent >> dir >> size >> ft >> hidden >> hex;
    std::u16string name;
    for (size_t i = 0; i + 4 <= hex.size(); i += 4) {
      unsigned lo = std::stoul(hex.substr(i, 2), nullptr, 16), hi = std::stoul(hex.substr(i + 2, 2), nullptr, 16);
      name.push_back(static_cast<char16_t>(lo | (hi << 8)));
    }
    OracleItem& item = items[ino];
    item.record = ino;
    item.parents.insert(parent);
    item.names.insert(name);
    item.is_folder = dir != 0;
    item.size = size;
    item.filetime = ft;
    item.hidden = hidden != 0;
  }
  return items;
}

std::set<uint32_t> IgnoredByMarkers(const std::map<uint32_t, OracleItem>& oracle) {
  std::set<uint32_t> marked;
  for (const auto& [rec, item] : oracle)
    if (!item.is_folder && item.names.count(u"_nuskignore")) marked.insert(item.parents.begin(), item.parents.end());
  std::set<uint32_t> out;
  for (const auto& [rec, item] : oracle) {
    uint32_t at = rec;
    for (int depth = 0; depth < 5000 && at != 5; ++depth) {
      if (marked.count(at)) {
        out.insert(rec);
        break;
      }
      auto it = oracle.find(at);
      if (it == oracle.end() || it->second.parents.empty()) break;
      at = *it->second.parents.begin();
    }
    // Items directly inside a marked folder (including the marker) are covered by the
    // walk above starting at their parent.
    for (uint32_t p : item.parents)
      if (marked.count(p)) out.insert(rec);
  }
  return out;
}

void PrintTo(const WriterItem& item, std::ostream* os) {
  *os << ToUtf8(item.key) << " parent " << std::hex << item.parent << std::dec << " size " << item.size << " time "
      << item.time;
}

std::multimap<uint64_t, WriterItem> WriterItems(const NuskDbWriter& writer) {
  std::multimap<uint64_t, WriterItem> out;
  for (const NameTable::Entry* entry : writer.names().entries())
    for (const FileRecord* r : entry->second.items)
      out.emplace(r->reference, WriterItem{std::u16string(entry->first), r->parent_reference, r->size, r->time});
  return out;
}

void CollectingListener::ForgetVolume(char16_t letter, uint8_t mount) {
  forgets.emplace_back(letter, mount);
  index.clear();
  real.ForgetVolume(letter, mount);
}

void CollectingListener::AddRecord(const ScanRecord& r) {
  added.push_back(r);
  index[r.reference] = r;
  real.AddRecord(r);
}

void CollectingListener::UpdateRecord(const ScanRecord& r, const std::u16string* old_name) {
  real.UpdateRecord(r, old_name);
  auto it = index.find(r.reference);
  const bool same = it != index.end() && it->second.is_folder == r.is_folder;
  if (!old_name) {
    if (same && it->second.name == r.name) {
      ++updates;
      it->second.time = r.time;
      it->second.size = r.size;
    } else {
      ++unknown_updates;
    }
    return;
  }
  if (same && it->second.name == *old_name) {
    ++renames;
    it->second = r;
  } else {
    ++unknown_updates;  // the old name was left out of the index: the item is new to it
    if (!same || it->second.name != r.name) index[r.reference] = r;
  }
}

void CollectingListener::DeleteRecord(const ScanRecord& r) {
  real.DeleteRecord(r);
  auto it = index.find(r.reference);
  if (it == index.end() || it->second.name != r.name || it->second.is_folder != r.is_folder) {
    ++unknown_deletes;  // the index finds an item by name and reference
    return;
  }
  ++deletes;
  index.erase(it);
}

void CollectingListener::DeleteByReference(const ScanRecord& r) {
  real.DeleteByReference(r);
  ++deletes;
  index.erase(r.reference);
}

void CollectingListener::SeedFrom(const CollectingListener& from) {
  index = from.index;
  for (const ScanRecord& r : from.added) real.AddRecord(r);
}

std::string Narrow(const std::u16string& s) { return ToUtf8(s); }

}  // namespace nusk::ntfs_test
