// Profile files on POSIX: our own reader and writer of the Windows format (IniDocument),
// matching what the Windows profile functions show to their callers.
#include <unistd.h>

#include <atomic>
#include <mutex>

#include "platform/env.h"
#include "platform/ini_document.h"
#include "platform/profile.h"
#include "platform/profile_format.h"
#include "util/utf.h"

namespace nusk {

namespace {

// A surrogate without its partner has no UTF-8 form; only a UTF-16 file keeps it.
bool HasLoneSurrogate(std::u16string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      ++i;
    } else if (s[i] >= 0xD800 && s[i] <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

std::u16string CutToBuffer(std::u16string_view text, size_t buffer_chars) {
  if (buffer_chars == 0) return std::u16string();
  return std::u16string(text.substr(0, buffer_chars - 1));
}

class PosixProfile : public Profile {
 public:
  explicit PosixProfile(Env* env) : env_(env) {}

  std::u16string GetString(const std::u16string& file, std::u16string_view section, std::u16string_view key,
                           std::u16string_view default_value, size_t buffer_chars) override {
    std::lock_guard<std::mutex> lock(Mutex());
    IniDocument doc;
    std::optional<std::u16string> value;
    if (Load(file, &doc)) value = doc.Find(section, key);
    if (!value) return CutToBuffer(default_value, buffer_chars);
    return CutToBuffer(StripEnclosingQuotes(*value), buffer_chars);
  }

  bool WriteString(const std::u16string& file, std::u16string_view section, std::optional<std::u16string_view> key,
                   std::optional<std::u16string_view> value) override {
    std::lock_guard<std::mutex> lock(Mutex());
    if ((!key || !value) && !env_->FileExists(file)) return true;  // nothing to delete
    IniDocument doc;
    if (!LoadForWrite(file, &doc)) return false;
    if (!key) {
      doc.RemoveSection(section);
    } else if (!value) {
      doc.RemoveKey(section, *key);
    } else {
      if ((doc.encoding() == IniEncoding::kAnsi &&
           (HasNonAscii(section) || HasNonAscii(*key) || HasNonAscii(*value))) ||
          (doc.encoding() == IniEncoding::kUtf8Bom &&
           (HasLoneSurrogate(section) || HasLoneSurrogate(*key) || HasLoneSurrogate(*value)))) {
        doc.Reencode(IniEncoding::kUtf16Le);
      }
      doc.Set(section, *key, *value);
    }
    return Store(file, doc);
  }

  bool GetStruct(const std::u16string& file, std::u16string_view section, std::u16string_view key, void* data,
                 size_t size) override {
    std::lock_guard<std::mutex> lock(Mutex());
    IniDocument doc;
    if (!Load(file, &doc)) return false;
    std::optional<std::u16string> value = doc.Find(section, key);
    return value && DecodeStructHex(*value, data, size);
  }

  bool WriteStruct(const std::u16string& file, std::u16string_view section, std::u16string_view key, const void* data,
                   size_t size) override {
    std::lock_guard<std::mutex> lock(Mutex());
    IniDocument doc;
    if (!LoadForWrite(file, &doc)) return false;
    if (data == nullptr) {
      doc.RemoveKey(section, key);
    } else {
      if (doc.encoding() == IniEncoding::kAnsi && (HasNonAscii(section) || HasNonAscii(key))) {
        doc.Reencode(IniEncoding::kUtf16Le);
      }
      doc.Set(section, key, EncodeStructHex(data, size));
    }
    return Store(file, doc);
  }

  std::vector<std::u16string> SectionNames(const std::u16string& file, size_t buffer_chars) override {
    std::lock_guard<std::mutex> lock(Mutex());
    IniDocument doc;
    if (!Load(file, &doc)) return {};
    return FitSectionNames(doc.SectionNames(), buffer_chars);
  }

 private:
  // One lock for every file: the calls are short and the settings file is the usual one.
  static std::mutex& Mutex() {
    static std::mutex mu;
    return mu;
  }

  // False when the file cannot be read (a missing file among them).
  bool Load(const std::u16string& file, IniDocument* doc) {
    std::string bytes;
    if (!env_->ReadWholeFile(file, &bytes).ok()) return false;
    *doc = IniDocument::Parse(bytes);
    return true;
  }

  // A missing file starts empty; a file that exists but cannot be read is never replaced.
  bool LoadForWrite(const std::u16string& file, IniDocument* doc) {
    std::string bytes;
    if (env_->ReadWholeFile(file, &bytes).ok()) {
      *doc = IniDocument::Parse(bytes);
      return true;
    }
    return !env_->FileExists(file);
  }

  // Writes a temporary file beside the target and renames it over the target, so a failed
  // or interrupted write leaves the previous file whole.
  bool Store(const std::u16string& file, const IniDocument& doc) {
    static std::atomic<unsigned> counter{0};
    std::u16string temp = file + U16(".tmp" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    if (!env_->WriteWholeFile(temp, doc.Serialize(), false).ok() || !env_->RenameFile(temp, file).ok()) {
      env_->RemoveFile(temp);
      return false;
    }
    return true;
  }

  Env* env_;
};

}  // namespace

std::unique_ptr<Profile> Profile::Create(Env* env) { return std::make_unique<PosixProfile>(env); }

}  // namespace nusk
