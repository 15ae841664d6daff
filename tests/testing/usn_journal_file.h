// Writes the stand-in change journal of a volume image (IMAGE + ".usnjrnl", format in
// platform/usn_journal.h) for the tests: records laid out as scan/usn_record.h decodes them.
#pragma once
#include <cstdint>
#include <string>

namespace nusk::testing {

class UsnJournalFile {
 public:
  // Reads the journal the first build of the image created (ok() false when none).
  explicit UsnJournalFile(const std::string& image);
  bool ok() const { return bytes_.size() >= 64; }
  // Appends one record at the journal's next USN and advances it, in the layout of its
  // version (one the decoder does not know takes the version 2 layout). The stand-in
  // journal finds records by the version 2 USN field, so records for a pass are version 2.
  void Add(uint32_t reason, uint64_t reference, uint64_t parent, uint32_t attributes, const std::u16string& name,
           uint16_t version = 2);
  void SetJournalId(uint64_t id);
  void SetNextUsn(int64_t usn);
  // Writes the journal back; false when it could not be written.
  bool Save() const;

 private:
  std::string path_;
  std::string bytes_;
};

}  // namespace nusk::testing
