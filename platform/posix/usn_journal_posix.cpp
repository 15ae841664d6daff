// A stand-in change journal for volume images: see platform/usn_journal.h for the format.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/usn_journal.h"
#include "platform/system_services.h"
#include "platform/native_name.h"

namespace nusk {
namespace {

constexpr char kMagic[8] = {'N', 'U', 'S', 'K', 'U', 'S', 'N', '1'};
constexpr size_t kHeader = 8 + 56;

class FileUsnJournal : public UsnJournal {
 public:
  explicit FileUsnJournal(std::string path) : path_(std::move(path)) {}

  bool Query(UsnJournalData* data, UsnJournalError* error) override {
    std::string header;
    if (!Load(&header, kHeader)) {
      *error = {UsnJournalError::kNotActive, 0};
      return false;
    }
    std::memcpy(data, header.data() + 8, 56);
    return true;
  }

  bool Create(uint64_t max_size, uint64_t allocation_delta, UsnJournalError* error) override {
    std::string bytes;
    UsnJournalData data;
    if (Load(&bytes)) {
      std::memcpy(&data, bytes.data() + 8, 56);
    } else {
      bytes.assign(kHeader, '\0');
      data.journal_id = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    }
    data.max_size = max_size;
    data.allocation_delta = allocation_delta;
    std::memcpy(bytes.data(), kMagic, 8);
    std::memcpy(bytes.data() + 8, &data, 56);
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      *error = {UsnJournalError::kDiskFull, 0};
      return false;
    }
    return true;
  }

  int64_t Read(int64_t start_usn, uint32_t reason_mask, uint64_t journal_id, void* buffer, size_t length) override {
    if (length < 8 || !LoadCached()) return -1;
    UsnJournalData data;
    std::memcpy(&data, cache_.data() + 8, 56);
    if (data.journal_id != journal_id || (start_usn < data.lowest_valid_usn && start_usn != 0)) return -1;
    char* out = static_cast<char*>(buffer);
    size_t used = 8;
    int64_t next = data.next_usn;
    // Records are in USN order: a read that continues the previous one resumes where it
    // stopped instead of skipping every earlier record again.
    size_t pos = (resume_pos_ != 0 && start_usn >= resume_usn_) ? resume_pos_ : kHeader;
    for (; pos + 60 <= cache_.size();) {
      uint32_t rec_len;
      int64_t usn;
      uint32_t reason;
      std::memcpy(&rec_len, cache_.data() + pos, 4);
      if (rec_len < 60 || rec_len > cache_.size() - pos) return -1;  // damaged journal file
      std::memcpy(&usn, cache_.data() + pos + 24, 8);
      std::memcpy(&reason, cache_.data() + pos + 40, 4);
      if (usn >= start_usn && (reason & reason_mask) != 0) {
        if (used + rec_len > length) {
          next = usn;
          resume_pos_ = pos;
          resume_usn_ = usn;
          break;
        }
        std::memcpy(out + used, cache_.data() + pos, rec_len);
        used += rec_len;
      }
      pos += rec_len;
    }
    std::memcpy(out, &next, 8);
    return static_cast<int64_t>(used);
  }

 private:
  // Reads the file (at most `limit` bytes of it) in one piece; false when it is missing
  // or does not start with a journal header.
  bool Load(std::string* bytes, size_t limit = SIZE_MAX) {
    std::ifstream in(path_, std::ios::binary | std::ios::ate);
    if (!in) return false;
    std::streamoff size = in.tellg();
    if (size < static_cast<std::streamoff>(kHeader)) return false;
    bytes->resize(std::min<size_t>(static_cast<size_t>(size), limit));
    in.seekg(0);
    if (!in.read(bytes->data(), static_cast<std::streamsize>(bytes->size()))) return false;
    return std::memcmp(bytes->data(), kMagic, 8) == 0;
  }
  // The file is read again only when it has grown or shrunk since (records appended by a
  // test between two passes); otherwise reads reuse the copy.
  bool LoadCached() {
    std::error_code ec;
    uintmax_t size = std::filesystem::file_size(path_, ec);
    if (ec) return false;
    if (cached_ && size == cache_.size()) return true;
    resume_pos_ = 0;
    return cached_ = Load(&cache_);
  }

  std::string path_;
  std::string cache_;
  bool cached_ = false;
  size_t resume_pos_ = 0;   // file offset of the first record not yet returned
  int64_t resume_usn_ = 0;  // its USN
};

}  // namespace

Status system_services::OpenUsnJournal(const std::u16string& volume_path, std::unique_ptr<UsnJournal>* journal,
                                       uint32_t* error_code) {
  *error_code = 0;
  std::string image = NativeFromPath(volume_path);
  std::ifstream probe(image, std::ios::binary);
  if (!probe) {
    *error_code = 2;
    return Status::Error("cannot open " + image);
  }
  journal->reset(new FileUsnJournal(image + ".usnjrnl"));
  return Status::Ok();
}

}  // namespace nusk
