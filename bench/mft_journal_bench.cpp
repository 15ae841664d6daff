// Change-pass throughput (journal records per second) over the image named by
// NUSK_NTFS_BENCH_IMAGE. The bench writes the image's stand-in journal (IMAGE.usnjrnl,
// see platform/usn_journal.h) with a mix of changes to existing files: data changes,
// creations (exclusion test and record query), renames and deletions. Baseline in the
// same run: a journal of old-name records only, which are read and decoded but touch
// neither the volume nor the listener.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/env.h"
#include "scan/mft_parser.h"
#include "platform/env.h"
#include "scan/ntfs_volume_scanner.h"
#include "util/utf.h"

namespace nusk {
namespace {

class CountingListener : public INuskListener {
 public:
  void DriveScanned(char16_t) override {}
  void IgnoredFolderFound(const std::u16string&) override {}
  void ForgetVolume(char16_t, uint8_t) override {}
  void AddRecord(const ScanRecord&) override { ++events; }
  void UpdateRecord(const ScanRecord&, const std::u16string*) override { ++events; }
  void DeleteRecord(const ScanRecord&) override { ++events; }
  void DeleteByReference(const ScanRecord&) override { ++events; }
  uint64_t events = 0;
};

constexpr uint32_t kRecords = 200000;

struct FileRef {
  uint64_t ref, parent;
};

std::vector<FileRef> FilesOf(const std::string& image) {
  std::vector<FileRef> out;
  std::unique_ptr<RawVolume> v;
  if (!Env::Default()->OpenRawVolume(FromUtf8(image), &v).ok()) return out;
  MftParser p(std::move(v), nullptr);
  if (p.LoadMFT() == 0 || !p.ReadMftRecords()) return out;
  for (uint32_t i = 16; i < p.entry_count(); ++i) {
    const MftEntry& e = p.entry(i);
    if (e.in_use() && e.has_name() && !e.is_folder() && e.parent < p.entry_count())
      out.push_back({i | (uint64_t{e.sequence} << 48),
                     e.parent | (uint64_t{p.entry(static_cast<uint32_t>(e.parent)).sequence} << 48)});
  }
  return out;
}

// Writes IMAGE.usnjrnl with kRecords records; only_old_names gives the baseline journal.
// Files are taken in record order (neighbours in the MFT, as a folder written at once),
// or scattered: a stride of 7919 files, so neighbouring journal records never name
// neighbouring MFT records and only a long window of changes lets reads be shared.
bool WriteJournal(const std::string& image, const std::vector<FileRef>& files, bool only_old_names, bool scattered) {
  std::string bytes(64, '\0');
  std::memcpy(bytes.data(), "NUSKUSN1", 8);
  uint64_t id = 42, max_size = 32 << 20;
  std::memcpy(&bytes[8], &id, 8);
  std::memcpy(&bytes[8 + 40], &max_size, 8);
  int64_t usn = 0;
  const std::u16string name = u"changed-file-name.txt";
  for (uint32_t i = 0; i < kRecords; ++i) {
    const FileRef& f = files[(scattered ? uint64_t{i} * 7919 : i) % files.size()];
    uint32_t reason;
    switch (only_old_names ? 9 : i % 5) {
      case 0:
      case 1: reason = 0x2 | 0x80000000u; break;     // data extended
      case 2: reason = 0x100 | 0x80000000u; break;   // created
      case 3: reason = 0x1000; break;                // old name ...
      case 4: reason = 0x2000 | 0x80000000u; break;  // ... new name
      default: reason = 0x1000; break;
    }
    uint32_t len = static_cast<uint32_t>((60 + name.size() * 2 + 7) & ~size_t{7});
    std::string r(len, '\0');
    uint16_t version = 2, name_bytes = static_cast<uint16_t>(name.size() * 2), name_offset = 60;
    uint32_t attributes = 0x20;
    std::memcpy(&r[0], &len, 4);
    std::memcpy(&r[4], &version, 2);
    std::memcpy(&r[8], &f.ref, 8);
    std::memcpy(&r[16], &f.parent, 8);
    std::memcpy(&r[24], &usn, 8);
    std::memcpy(&r[40], &reason, 4);
    std::memcpy(&r[52], &attributes, 4);
    std::memcpy(&r[56], &name_bytes, 2);
    std::memcpy(&r[58], &name_offset, 2);
    std::memcpy(&r[60], name.data(), name.size() * 2);
    bytes += r;
    usn += len;
  }
  std::memcpy(&bytes[8 + 16], &usn, 8);  // next USN
  std::ofstream out(image + ".usnjrnl", std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

void RunPass(benchmark::State& state, bool only_old_names, bool scattered = false) {
  const char* p = std::getenv("NUSK_NTFS_BENCH_IMAGE");
  if (!p) {
    state.SkipWithError("set NUSK_NTFS_BENCH_IMAGE");
    return;
  }
  std::string image = p;
  std::vector<FileRef> files = FilesOf(image);
  if (files.empty() || !WriteJournal(image, files, only_old_names, scattered)) {
    state.SkipWithError("no journal");
    return;
  }
  ExclusionSettings settings;
  settings.exclude_by_name = true;
  ParseExcludeNames(u"*.tmp:Temp\\", &settings);
  uint32_t read = 0;
  for (auto _ : state) {
    CountingListener listener;
    NtfsVolumeConfig config;
    config.drive_letter = u'N';
    config.volume_path = FromUtf8(image);
    config.marker_exists = [](const std::u16string&) { return false; };
    NtfsVolumeScanner scanner(Env::Default(), config, &settings, &listener, nullptr, nullptr);
    if (!scanner.OpenVolumeJournal()) {
      state.SkipWithError("journal");
      return;
    }
    ChangePassStats stats;
    int64_t usn = 0;
    scanner.ReadChanges(&usn, &stats);
    read = stats.records_read;
    benchmark::DoNotOptimize(listener.events);
  }
  std::remove((image + ".usnjrnl").c_str());
  state.counters["records"] = read;
  state.SetItemsProcessed(state.iterations() * read);
}

void BM_ChangePassBaselineOldNamesOnly(benchmark::State& state) { RunPass(state, true); }
void BM_ChangePassMixed(benchmark::State& state) { RunPass(state, false); }
void BM_ChangePassMixedScattered(benchmark::State& state) { RunPass(state, false, true); }
BENCHMARK(BM_ChangePassBaselineOldNamesOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChangePassMixed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ChangePassMixedScattered)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace nusk

BENCHMARK_MAIN();
