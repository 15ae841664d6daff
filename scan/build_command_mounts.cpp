// The per-drive build's second half: volumes mounted in folders of the drive, each read
// with the MFT reader into its own mount slot (MountState 1-255).
//
// Windows lists the volume mount points of an NTFS drive. POSIX lists the mounts in
// folders below a walked drive's root: the walk stays on its own file system, so an NTFS
// image or device mounted there would otherwise be missing; other mounted file systems
// are left alone (they are indexed only when a Drives letter names them), and so is a
// mount that a Drives letter already builds as a drive of its own.
#include <mutex>

#include "index/index_types.h"
#include "index/name_key.h"
#include "index/nusk_db_writer.h"
#include "platform/env.h"
#include "platform/volume.h"
#include "scan/build_command.h"
#include "scan/ntfs_volume_scanner.h"
#include "scan/nusk_to_db_listener.h"
#include "settings/process_state.h"
#include "util/utf.h"

namespace nusk {

namespace {

// "/w/sub/mnt" below root "/w/" -> {"sub", "mnt"}; false when it is not below root.
bool RelativeParts(const std::u16string& folder, std::u16string root, char16_t sep,
                   std::vector<std::u16string>* parts) {
  if (root.empty() || root.back() != sep) root.push_back(sep);
  if (folder.size() <= root.size() || folder.compare(0, root.size(), root) != 0) return false;
  parts->clear();
  size_t start = root.size();
  while (start < folder.size()) {
    size_t end = folder.find(sep, start);
    if (end == std::u16string::npos) end = folder.size();
    if (end > start) parts->push_back(folder.substr(start, end - start));
    start = end + 1;
  }
  return !parts->empty();
}

std::string Narrow(const std::u16string& s) { return ToUtf8(s); }

}  // namespace

// Reference of the folder root\parts[0]\...\parts[n-1] of drive d in the index; 0 when
// the walk left it out (excluded, or below an ignored folder). The walk numbers items
// afresh on every build, so the mount folder is found by name below the drive's root.
uint64_t CBuildCommand::FindWalkedFolder(char16_t letter, const std::vector<std::u16string>& parts) const {
  const uint8_t d = static_cast<uint8_t>(letter - u'A');
  std::lock_guard<std::mutex> lock(IndexMutex());
  auto find = [this](std::u16string_view name, auto&& accept) -> uint64_t {
    auto it = writer_->names().find(MakeNameKey(name, true));
    if (it == writer_->names().end()) return 0;
    for (const FileRecord* r : it->second.items) {
      if (accept(*r)) return r->reference;
    }
    return 0;
  };
  uint64_t at = find(std::u16string{letter, u':'}, [d](const FileRecord& r) {
    return r.parent_reference == 0 && RefDrive(r.reference) == d && RefMount(r.reference) == 0;
  });
  for (const std::u16string& part : parts) {
    if (at == 0) break;
    uint64_t parent = at;
    at = find(part, [parent](const FileRecord& r) { return r.parent_reference == parent; });
  }
  return at;
}

// The slot of a mounted volume: the one whose stored folder reference matches, else the
// drive's slot that held the same volume (a walked host renumbers its folders), else the
// first free one. 0 when all 255 are taken.
int CBuildCommand::FindMountSlot(uint64_t ref, const std::string& volume_id, const std::vector<int>& collected) const {
  for (int s = 1; s < kMountSlots; ++s) {
    if (writer_->mount_state(s).mount_folder_ref == ref) return s;
  }
  for (int s : collected) {
    if (writer_->mount_state(s).volume_guid == volume_id) return s;
  }
  for (int s = 1; s < kMountSlots; ++s) {
    if (writer_->mount_state(s).free()) return s;
  }
  return 0;
}

void CBuildCommand::BuildFolderMounts(char16_t letter, bool walked_host, bool host_rescanned,
                                      CNuskToDbListener* listener) {
  const uint8_t d = static_cast<uint8_t>(letter - u'A');
  const DriveMap& map = env_.drives->map();
  const char16_t sep = env_.env->PathSeparator();
  std::vector<int> collected;  // this drive's slots; what is left at the end was unmounted
  for (int slot = 1; slot < kMountSlots; ++slot) {
    const MountState& m = writer_->mount_state(slot);
    if (!m.free() && RefDrive(m.mount_folder_ref) == d) collected.push_back(slot);
  }
  const std::u16string root = env_.drives->Root(letter);
  std::vector<FolderMount> mounts;
  if (map.native_letters() || map.IsFolderTarget(letter)) mounts = env_.drives->volumes()->FolderMounts(root);
  for (const FolderMount& mount : mounts) {
    if (Canceled()) return;
    if (mount.file_system != u"NTFS" || mount.device.empty()) {
      // POSIX: /proc, tmpfs, network and other mounts are not part of the drive.
      if (map.native_letters()) Log("Volume in " + Narrow(mount.folder) + " is not NTFS; not indexed.");
      continue;
    }
    char16_t owner = DriveBuiltAs(mount);
    if (owner) {
      Log("Volume in " + Narrow(mount.folder) + " is drive " + Narrow(std::u16string(1, owner)) +
          ":; not indexed again here.");
      continue;
    }
    std::vector<std::u16string> parts;
    if (!RelativeParts(mount.folder, root, sep, &parts)) continue;
    uint64_t ref;
    if (walked_host) {
      ref = FindWalkedFolder(letter, parts);
    } else {
      uint64_t id = env_.drives->volumes()->FolderFileId(mount.folder);
      ref = id == ~uint64_t{0} ? 0 : IndexReferenceOf(id, MakeDriveMountBits(d, 0));
    }
    if (ref == 0) {
      Log("Mount folder " + Narrow(mount.folder) + " is left out of the index; its volume is not indexed.");
      continue;
    }
    std::string volume_id = Narrow(mount.volume_id).substr(0, 36);
    int slot = FindMountSlot(ref, volume_id, collected);
    if (!slot) {
      Log("No free mount slot for " + Narrow(mount.folder));
      continue;
    }
    std::erase(collected, slot);
    BuildMountedVolume(letter, slot, ref, volume_id, mount, parts, host_rescanned, listener);
  }
  for (int slot : collected) {  // unmounted since the last build (or no longer indexable)
    listener->ForgetVolume(letter, static_cast<uint8_t>(slot));
    std::lock_guard<std::mutex> lock(IndexMutex());
    writer_->mount_state(slot) = MountState();
  }
}

// A Drives letter other than `letter` whose target is this mount's folder or device: the
// volume is built as that drive. Windows letters are never mapped to folders: 0.
char16_t CBuildCommand::DriveBuiltAs(const FolderMount& mount) const {
  const DriveMap& map = env_.drives->map();
  if (map.native_letters()) return 0;
  for (char16_t other : map.Letters()) {
    std::u16string target = map.Target(other);
    while (target.size() > 1 && target.back() == u'/') target.pop_back();
    if (target == mount.folder || target == mount.device) return other;
  }
  return 0;
}

void CBuildCommand::BuildMountedVolume(char16_t letter, int slot, uint64_t ref, const std::string& volume_id,
                                       const FolderMount& mount, const std::vector<std::u16string>& parts,
                                       bool host_rescanned, CNuskToDbListener* listener) {
  uint64_t journal_id, next_usn;
  {
    std::lock_guard<std::mutex> lock(IndexMutex());
    MountState& m = writer_->mount_state(slot);
    // Another volume in this folder, a moved mount folder, or a host whose items were all
    // forgotten (which took this volume's items with them): the journal position no
    // longer describes what the index holds, so read the volume in full.
    if (m.volume_guid != volume_id || m.mount_folder_ref != ref || host_rescanned) {
      m.volume_guid = volume_id;
      m.journal_id = 0;
      m.journal_next = 0;
    }
    m.mount_folder_ref = ref;
    journal_id = m.journal_id;
    next_usn = writer_->item_count() != 0 ? m.journal_next : 0;
  }
  std::u16string index_path{letter, u':'};
  for (const std::u16string& p : parts) index_path += u"\\" + p;
  Log("Mounted volume " + Narrow(mount.folder) + " (slot " + std::to_string(slot) + ")");
  NtfsVolumeConfig config;
  config.volume_guid = mount.volume_id;
  config.volume_path = mount.device;
  config.mount_path = index_path;
  config.mount_index = static_cast<uint8_t>(slot);
  config.mount_folder_reference = ref;
  if (!env_.drives->map().native_letters()) {
    config.escape_backslash = true;  // shown as POSIX paths: a '\' in a name stays in it
  } else {
    config.marker_lookup = NtfsVolumeConfig::MarkerLookup::kFileSystem;  // the live volume in its folder
  }
  std::vector<MountedVolume> nested;  // volumes mounted inside this one are not followed
  NtfsVolumeScanner scanner(
      env_.env, config, &exclusions_, listener, [this](const std::string& l) { Log(l); }, env_.cancel);
  if (!scanner.ScanVolume(&journal_id, &next_usn, &nested)) {
    Log("Mounted volume " + Narrow(mount.folder) +
        " could not be read completely; it will be scanned in full next time.");
  }
  if (config.marker_lookup == NtfsVolumeConfig::MarkerLookup::kVolume) NoteVolumeMarkers(&scanner, index_path);
  std::lock_guard<std::mutex> lock(IndexMutex());
  MountState& m = writer_->mount_state(slot);
  m.journal_id = journal_id;
  m.journal_next = next_usn;
}

}  // namespace nusk
