#include "platform/volume_mounts.h"

#include <sstream>

namespace nusk {

namespace {

// mountinfo writes space, tab, newline and backslash in paths as "\ooo".
std::string Unescape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' && s[i + 2] <= '7' &&
        s[i + 3] >= '0' && s[i + 3] <= '7') {
      out.push_back(static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

bool ParseNumber(const std::string& s, uint32_t* value) {
  if (s.empty() || s.size() > 9) return false;
  uint32_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint32_t>(c - '0');
  }
  *value = v;
  return true;
}

bool ParseLine(const std::string& line, MountInfoEntry* e) {
  std::istringstream in(line);
  std::string id, parent, devno, root, point, options, word;
  if (!(in >> id >> parent >> devno >> root >> point >> options)) return false;
  while (in >> word && word != "-") {}  // optional tagged fields
  std::string fs_type, source;
  if (word != "-" || !(in >> fs_type >> source)) return false;
  if (!ParseNumber(id, &e->id) || !ParseNumber(parent, &e->parent)) return false;
  e->mount_point = Unescape(point);
  e->fs_type = fs_type;
  e->source = Unescape(source);
  return !e->mount_point.empty() && e->mount_point[0] == '/';
}

// "/" -> "/", "/a/b/" -> "/a/b".
std::string_view TrimSlash(std::string_view p) {
  while (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
  return p;
}

// path equals folder or lies below it (whole components only).
bool AtOrBelow(std::string_view path, std::string_view folder) {
  if (folder == "/") return true;
  return path.substr(0, folder.size()) == folder && (path.size() == folder.size() || path[folder.size()] == '/');
}

}  // namespace

std::vector<MountInfoEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountInfoEntry> table;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    MountInfoEntry e;
    if (ParseLine(std::string(text.substr(start, end - start)), &e)) table.push_back(std::move(e));
    start = end + 1;
  }
  return table;
}

std::vector<MountInfoEntry> MountsBelow(const std::vector<MountInfoEntry>& table, std::string_view root_in) {
  std::string_view root = TrimSlash(root_in);
  // Visible entries: the last one listed at each mount point.
  auto visible = [&table](size_t i) {
    for (size_t j = i + 1; j < table.size(); ++j) {
      if (table[j].mount_point == table[i].mount_point) return false;
    }
    return true;
  };
  // The root's own mount: the visible mount with the longest mount point holding root.
  const MountInfoEntry* host = nullptr;
  for (size_t i = 0; i < table.size(); ++i) {
    const MountInfoEntry& e = table[i];
    if (!AtOrBelow(root, e.mount_point) || !visible(i)) continue;
    if (!host || e.mount_point.size() >= host->mount_point.size()) host = &e;
  }
  // A chrooted process is not shown the mount that holds its root (the kernel lists only
  // mounts reachable from the process's root): then the mounts made on that hidden mount
  // are the ones whose parent is not in the table.
  auto listed = [&table](uint32_t id) {
    for (const MountInfoEntry& e : table) {
      if (e.id == id) return true;
    }
    return false;
  };
  auto on_host = [&](const MountInfoEntry& e) { return host ? e.parent == host->id : !listed(e.parent); };
  std::vector<MountInfoEntry> below;
  for (size_t i = 0; i < table.size(); ++i) {
    const MountInfoEntry& e = table[i];
    if (&e == host || !on_host(e) || !visible(i)) continue;
    if (e.mount_point != root && AtOrBelow(e.mount_point, root)) below.push_back(e);
  }
  return below;
}

}  // namespace nusk
