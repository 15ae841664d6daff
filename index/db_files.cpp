#include "index/db_files.h"

#include "index/db_format.h"
#include "util/utf.h"

namespace nusk {

namespace {
const std::u16string kTmp = u".tmp";
const std::u16string kOld = u".old";

IStatusSink* Sink(IStatusSink* s) { return s ? s : NullStatusSink(); }

// A commit is under way (or was cut off) once it has created any ".old" marker.
bool RotationPending(const std::u16string& frs, const std::u16string& nrs, Env* env) {
  return env->FileExists(frs + kOld) || env->FileExists(nrs + kOld);
}
}  // namespace

std::u16string DbPath(const std::u16string& home, std::u16string_view name, Env* env) {
  std::u16string p = home;
  if (!p.empty() && p.back() != env->PathSeparator() && p.back() != u'/' && p.back() != u'\\')
    p.push_back(env->PathSeparator());
  p.append(name);
  return p;
}

DbFileSet ResolveDbFiles(const std::u16string& home, Env* env) {
  DbFileSet set;
  set.frs = DbPath(home, kFrsName, env);
  set.nrs = DbPath(home, kNrsName, env);
  set.hid = DbPath(home, kHidName, env);
  if (!RotationPending(set.frs, set.nrs, env)) return set;
  // The ".tmp" files were complete before the first ".old" appeared: a ".tmp" that is
  // still there is the newer content of its file.
  set.rotation_pending = true;
  for (std::u16string* path : {&set.frs, &set.nrs, &set.hid})
    if (env->FileExists(*path + kTmp)) *path += kTmp;
  return set;
}

Status RecoverInterruptedCommit(const std::u16string& home, Env* env, IStatusSink* sink) {
  const std::u16string frs = DbPath(home, kFrsName, env), nrs = DbPath(home, kNrsName, env),
                       hid = DbPath(home, kHidName, env);
  if (!RotationPending(frs, nrs, env)) {
    // Cut off while writing the new files: the old index is whole; drop the partial ones.
    for (const std::u16string* p : {&frs, &nrs, &hid}) {
      if (!env->FileExists(*p + kTmp)) continue;
      Status s = env->RemoveFile(*p + kTmp);
      if (!s.ok()) return Status::Error("Cannot remove the unfinished " + ToUtf8(*p + kTmp) + ": " + s.message());
    }
    return Status::Ok();
  }
  Sink(sink)->Problem("The last index update was interrupted; completing it.");
  for (const std::u16string* p : {&frs, &nrs, &hid}) {
    if (!env->FileExists(*p + kTmp)) continue;
    Status s = env->RenameFile(*p + kTmp, *p);
    if (!s.ok())
      return Status::Error("Cannot complete the interrupted index update (" + ToUtf8(*p) + "): " + s.message());
  }
  Status s = env->SyncFolder(home);
  if (!s.ok()) return s;
  for (const std::u16string* p : {&frs, &nrs}) {
    s = env->RemoveFile(*p + kOld);
    if (!s.ok()) return Status::Error("Cannot remove " + ToUtf8(*p + kOld) + ": " + s.message());
  }
  return Status::Ok();
}

namespace {
struct FileHead {
  bool exists = false;
  std::string bytes;
  uint64_t size = 0;
};

Status ReadHead(Env* env, const std::u16string& path, size_t max_bytes, FileHead* head) {
  head->exists = env->FileExists(path);
  if (!head->exists) return Status::Ok();
  Status s = env->ReadFileHead(path, max_bytes, &head->bytes, &head->size);
  if (s.ok()) return s;
  if (!env->FileExists(path)) {  // removed since: as if missing
    *head = FileHead();
    return Status::Ok();
  }
  return Status::Error("Cannot read " + ToUtf8(path) + ": " + s.message());
}

std::string Damage(const std::u16string& path, const std::string& fault) {
  return fault.empty() ? fault : ToUtf8(path) + " is damaged: " + fault + ".";
}
}  // namespace

Status CheckDbSizes(const DbFileSet& files, bool with_hid, Env* env, std::string* fault) {
  fault->clear();
  FileHead frs, nrs, hid;
  Status s = ReadHead(env, files.frs, dbformat::kFrsHeadSize, &frs);
  if (s.ok()) s = ReadHead(env, files.nrs, dbformat::kCountHeadSize, &nrs);
  if (s.ok() && with_hid) s = ReadHead(env, files.hid, dbformat::kCountHeadSize, &hid);
  if (!s.ok()) return s;
  uint32_t n = 0, m = 0;
  *fault = Damage(files.frs, dbformat::CheckFrsSize(frs.bytes, frs.size, &n));
  if (fault->empty()) *fault = Damage(files.nrs, dbformat::CheckNrsSize(nrs.bytes, nrs.size, &m));
  if (fault->empty() && with_hid) *fault = Damage(files.hid, dbformat::CheckHidSize(hid.bytes, hid.size));
  if (!fault->empty()) return Status::Ok();
  // One file without the other: the one that is missing or empty is the one at fault.
  if (m != 0 && frs.size == 0) {
    *fault = ToUtf8(files.frs) + (frs.exists ? " is empty" : " is missing") + ", but " + ToUtf8(files.nrs) + " holds " +
             std::to_string(m) + " names.";
  } else if (n != 0 && nrs.size == 0) {
    *fault = ToUtf8(files.nrs) + (nrs.exists ? " is empty" : " is missing") + ", but " + ToUtf8(files.frs) + " holds " +
             std::to_string(n) + " items.";
  }
  return Status::Ok();
}

Status SetDamagedFilesAside(const std::u16string& home, Env* env, IStatusSink* sink) {
  for (const char16_t* name : {kFrsName, kNrsName, kHidName}) {
    std::u16string path = DbPath(home, name, env);
    if (!env->FileExists(path)) continue;
    std::u16string aside = path + u".bad";
    for (int i = 1; env->FileExists(aside) && i < 1000; ++i) aside = path + u".bad." + FromUtf8(std::to_string(i));
    Status s = env->RenameFile(path, aside);
    if (!s.ok()) return Status::Error("Cannot move the damaged " + ToUtf8(path) + " aside: " + s.message());
    Sink(sink)->Problem("The damaged " + ToUtf8(path) + " was kept as " + ToUtf8(aside) + ".");
  }
  return Status::Ok();
}

std::u16string ReadFormatVersion(const std::u16string& home, Env* env) {
  std::string bytes;
  if (!env->ReadWholeFile(ResolveDbFiles(home, env).frs, &bytes).ok() || bytes.size() < 4) return {};
  auto b = [&](int i) { return std::to_string(static_cast<uint8_t>(bytes[i])); };
  return FromUtf8(b(1) + "." + b(2) + "." + b(3));
}

bool HasDatabase(const std::u16string& home, Env* env) {
  return env->FileExists(DbPath(home, kFrsName, env)) || env->FileExists(DbPath(home, kNrsName, env));
}

bool HasCompleteDatabase(const std::u16string& home, Env* env) {
  return env->FileExists(DbPath(home, kFrsName, env)) && env->FileExists(DbPath(home, kNrsName, env));
}

Status ViewOptional(Env* env, const std::u16string& path, std::unique_ptr<FileView>* view, std::string_view* bytes) {
  view->reset();
  *bytes = {};
  if (!env->FileExists(path)) return Status::Ok();
  Status s = env->ViewWholeFile(path, view);
  if (!s.ok() && !env->FileExists(path)) return Status::Ok();
  if (!s.ok()) return Status::Error("Cannot read " + ToUtf8(path) + ": " + s.message());
  *bytes = (*view)->bytes();
  return s;
}

}  // namespace nusk
