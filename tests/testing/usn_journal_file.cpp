#include "tests/testing/usn_journal_file.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "scan/usn_record.h"

namespace nusk::testing {
namespace {

constexpr size_t kNextUsnAt = 8 + 16;  // after the magic: journal id, first USN, next USN
constexpr size_t kJournalIdAt = 8;

}  // namespace

UsnJournalFile::UsnJournalFile(const std::string& image) : path_(image + ".usnjrnl") {
  std::ifstream in(path_, std::ios::binary);
  bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void UsnJournalFile::Add(uint32_t reason, uint64_t reference, uint64_t parent, uint32_t attributes,
                         const std::u16string& name, uint16_t version) {
  const UsnRecordLayout& at = UsnLayoutOf(version) ? *UsnLayoutOf(version) : kUsnRecordV2;
  int64_t next;
  std::memcpy(&next, bytes_.data() + kNextUsnAt, 8);
  const uint32_t length = static_cast<uint32_t>((at.fixed + name.size() * 2 + 7) & ~size_t{7});
  std::string r(length, '\0');
  auto put = [&r](size_t offset, const void* value, size_t n) { std::memcpy(&r[offset], value, n); };
  const uint16_t name_bytes = static_cast<uint16_t>(name.size() * 2), name_offset = at.fixed;
  put(0, &length, 4);
  put(4, &version, 2);
  put(at.reference, &reference, 8);
  put(at.parent, &parent, 8);
  put(at.usn, &next, 8);
  put(at.reason, &reason, 4);
  put(at.attributes, &attributes, 4);
  put(at.name_bytes, &name_bytes, 2);
  put(at.name_offset, &name_offset, 2);
  if (!name.empty()) put(at.fixed, name.data(), name.size() * 2);
  bytes_ += r;
  next = static_cast<int64_t>(static_cast<uint64_t>(next) + length);
  std::memcpy(bytes_.data() + kNextUsnAt, &next, 8);
}

void UsnJournalFile::SetJournalId(uint64_t id) { std::memcpy(bytes_.data() + kJournalIdAt, &id, 8); }
void UsnJournalFile::SetNextUsn(int64_t usn) { std::memcpy(bytes_.data() + kNextUsnAt, &usn, 8); }

bool UsnJournalFile::Save() const {
  std::ofstream out(path_, std::ios::binary | std::ios::trunc);
  out << bytes_;
  return out.good();
}

}  // namespace nusk::testing
