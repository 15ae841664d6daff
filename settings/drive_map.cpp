#include "settings/drive_map.h"

#include <algorithm>

#include "platform/env.h"
#include "platform/native_name.h"
#include "platform/profile.h"

namespace nusk {

namespace {

int LetterIndex(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - u'a';
  if (c >= u'A' && c <= u'Z') return c - u'A';
  return -1;
}

// "/home/x/" -> "/home/x"; "/" and "" stay.
std::u16string TrimSlashes(std::u16string path) {
  while (path.size() > 1 && path.back() == u'/') path.pop_back();
  return path;
}

bool SameLetters(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x + 32);
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y + 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

DriveMap DriveMap::Native() {
  DriveMap map;
  map.native_ = true;
  map.folder_.fill(true);
  return map;
}

DriveMap DriveMap::FromTargets(const std::array<std::u16string, 26>& targets, const std::array<bool, 26>& folder) {
  DriveMap map;
  for (int i = 0; i < 26; ++i) {
    map.targets_[i] = TrimSlashes(targets[i]);
    map.folder_[i] = folder[i] && !map.targets_[i].empty();
  }
  return map;
}

DriveMap DriveMap::Load(const std::u16string& settings_path, Profile* profile, Env* env) {
  if (env->PathSeparator() == u'\\') return Native();
  std::array<std::u16string, 26> targets{};
  std::array<bool, 26> folder{};
  bool has_section = false;
  if (env->FileExists(settings_path)) {
    for (const std::u16string& name : profile->SectionNames(settings_path)) {
      if (SameLetters(name, u"Drives")) has_section = true;
    }
  }
  if (!has_section) {
    // C: is the root. (Appended rather than assigned from a literal: g++ 12 inlines that
    // assignment into a copy it wrongly reports as overlapping, -Wrestrict.)
    targets[2].push_back(u'/');
  } else {
    for (int i = 0; i < 26; ++i) {
      char16_t key[2] = {static_cast<char16_t>(u'A' + i), 0};
      targets[i] = profile->GetString(settings_path, u"Drives", key, u"", 4096);
    }
  }
  for (int i = 0; i < 26; ++i) {
    if (!targets[i].empty()) folder[i] = env->FolderExists(targets[i]);
  }
  return FromTargets(targets, folder);
}

std::u16string DriveMap::Letters() const {
  std::u16string letters;
  if (native_) return letters;
  for (int i = 0; i < 26; ++i) {
    if (!targets_[i].empty()) letters.push_back(static_cast<char16_t>(u'A' + i));
  }
  return letters;
}

std::u16string DriveMap::Target(char16_t letter) const {
  int i = LetterIndex(letter);
  if (i < 0) return std::u16string();
  if (native_) return std::u16string{static_cast<char16_t>(u'A' + i), u':', u'\\'};
  return targets_[i];
}

bool DriveMap::IsFolderTarget(char16_t letter) const {
  int i = LetterIndex(letter);
  return i >= 0 && folder_[i];
}

bool DriveMap::Locate(std::u16string_view index_path, std::u16string* root, std::vector<std::u16string>* names) const {
  names->clear();
  if (index_path.size() < 2 || index_path[1] != u':' || (index_path.size() > 2 && index_path[2] != u'\\')) return false;
  if (!native_ && !IsFolderTarget(index_path[0])) return false;
  *root = Target(index_path[0]);
  if (root->empty()) return false;
  for (size_t at = 3; at < index_path.size();) {
    size_t end = std::min(index_path.find(u'\\', at), index_path.size());
    names->emplace_back(index_path.substr(at, end - at));
    at = end + 1;
  }
  return true;
}

std::u16string DriveMap::ToNativePath(std::u16string_view index_path) const {
  std::u16string shown;
  AppendNativePath(index_path, &shown);
  return shown;
}

void DriveMap::AppendNativePath(std::u16string_view index_path, std::u16string* out) const {
  const int i = native_ || index_path.size() < 2 || index_path[1] != u':' ? -1 : LetterIndex(index_path[0]);
  if (i < 0 || targets_[i].empty()) {
    out->append(index_path);
    return;
  }
  const std::u16string_view rest = index_path.substr(2);
  const std::u16string& root = targets_[i];
  out->reserve(out->size() + root.size() + rest.size() + 1);
  if (!folder_[i]) {
    out->push_back(static_cast<char16_t>(u'A' + i));
    out->push_back(u':');
  } else if (rest.empty() || rest == u"\\") {
    *out += root;
    if (!rest.empty() && root != u"/") out->push_back(u'/');
    return;
  } else if (root != u"/") {
    *out += root;  // rest starts with the separator
  }
  const size_t at = out->size();
  out->resize(at + rest.size());
  char16_t* dst = out->data() + at;
  for (char16_t c : rest) {
    // '\' separates folders; kEscapedBackslash is a '\' inside a POSIX name.
    *dst++ = c == u'\\' ? u'/' : c == kEscapedBackslash ? u'\\' : c;
  }
}

bool DriveMap::FromNativePath(std::u16string_view native_path, std::u16string* index_path) const {
  if (native_) {
    if (native_path.size() < 2 || native_path[1] != u':' || LetterIndex(native_path[0]) < 0) return false;
    *index_path = std::u16string(native_path);
    return true;
  }
  int best = -1;
  size_t best_len = 0;
  for (int i = 0; i < 26; ++i) {
    const std::u16string& root = targets_[i];
    if (!folder_[i] || root.empty()) continue;
    size_t len = root.size();
    if (native_path.substr(0, len) != root) continue;
    bool boundary = root == u"/" || native_path.size() == len || native_path[len] == u'/';
    if (!boundary) continue;
    if (best < 0 || len > best_len) {
      best = i;
      best_len = len;
    }
  }
  if (best < 0) return false;
  std::u16string out{static_cast<char16_t>(u'A' + best), u':'};
  std::u16string_view rest = native_path.substr(targets_[best] == u"/" ? 0 : best_len);
  if (rest.empty()) rest = u"/";
  for (char16_t c : rest) out.push_back(c == u'/' ? u'\\' : c == u'\\' ? kEscapedBackslash : c);
  *index_path = std::move(out);
  return true;
}

}  // namespace nusk
