// MFT parse and delivery throughput (records per second), on a synthetic MFT of a
// million records and on a real image named by NUSK_NTFS_BENCH_IMAGE (made with
// tools/ntfs_images/make_ntfs_image.py many100k). Each has a baseline in the same run:
// producing or reading the same bytes without parsing them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/env.h"
#include "bench/mft_synthetic.h"
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
  void AddRecord(const ScanRecord& r) override { count += 1 + (r.size & 1); }
  void UpdateRecord(const ScanRecord&, const std::u16string*) override {}
  void DeleteRecord(const ScanRecord&) override {}
  void DeleteByReference(const ScanRecord&) override {}
  uint64_t count = 0;
};

constexpr uint32_t kSyntheticRecords = 1u << 20;

void BM_SyntheticBytesOnly(benchmark::State& state) {
  bench::SyntheticVolume volume(kSyntheticRecords);
  std::vector<uint8_t> buf(4 << 20);
  for (auto _ : state) {
    uint64_t end = 4 * 4096 + uint64_t{kSyntheticRecords} * 1024;
    for (uint64_t at = 16384; at < end; at += buf.size()) volume.ReadAt(at, buf.data(), buf.size());
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetItemsProcessed(state.iterations() * kSyntheticRecords);
}
BENCHMARK(BM_SyntheticBytesOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SyntheticParse(benchmark::State& state) {
  for (auto _ : state) {
    std::string last;
    MftParser parser(std::make_unique<bench::SyntheticVolume>(kSyntheticRecords),
                     [&last](const std::string& line) { last = line; });
    if (parser.LoadMFT() == 0 || !parser.ReadMftRecords() ||
        parser.named_count() != bench::SyntheticVolume::NamedRecords(kSyntheticRecords)) {
      last = "synthetic MFT not parsed: " + last + " (" + std::to_string(parser.named_count()) + " names)";
      state.SkipWithError(last.c_str());
      return;
    }
    benchmark::DoNotOptimize(parser.entry(kSyntheticRecords - 1));
  }
  state.SetItemsProcessed(state.iterations() * kSyntheticRecords);
}
BENCHMARK(BM_SyntheticParse)->Unit(benchmark::kMillisecond)->UseRealTime();

// Parse plus delivery: exclusion marks, references, size and time forms, one AddRecord
// per item (the listener only counts). Argument 1: names mapped as on POSIX ('\' kept
// as U+F05C), against 0, names used as read.
void BM_SyntheticFullScan(benchmark::State& state) {
  ExclusionSettings settings;
  uint32_t delivered = 0;
  for (auto _ : state) {
    CountingListener listener;
    NtfsVolumeConfig config;
    config.drive_letter = u'N';
    config.escape_backslash = state.range(0) != 0;
    NtfsVolumeScanner scanner(Env::Default(), config, &settings, &listener, nullptr, nullptr);
    MftParser parser(std::make_unique<bench::SyntheticVolume>(kSyntheticRecords), nullptr);
    if (!scanner.ScanMft(&parser)) {
      state.SkipWithError("synthetic scan failed");
      return;
    }
    delivered = scanner.delivered();
    benchmark::DoNotOptimize(listener.count);
  }
  state.counters["delivered"] = delivered;
  state.SetItemsProcessed(state.iterations() * kSyntheticRecords);
}
BENCHMARK(BM_SyntheticFullScan)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

std::string BenchImage() {
  const char* p = std::getenv("NUSK_NTFS_BENCH_IMAGE");
  return p ? p : "";
}

// Baseline: the same MFT bytes read through the same volume, not parsed.
void BM_ImageReadOnly(benchmark::State& state) {
  std::string image = BenchImage();
  if (image.empty()) {
    state.SkipWithError("set NUSK_NTFS_BENCH_IMAGE");
    return;
  }
  std::unique_ptr<RawVolume> volume;
  if (!Env::Default()->OpenRawVolume(FromUtf8(image), &volume).ok()) {
    state.SkipWithError("cannot open image");
    return;
  }
  MftParser parser(std::move(volume), nullptr);
  uint64_t bytes = parser.LoadMFT();
  if (bytes == 0) {
    state.SkipWithError("not NTFS");
    return;
  }
  const uint64_t cluster = parser.boot().cluster_size;
  std::vector<uint8_t> buf(4 << 20);
  for (auto _ : state) {
    for (const ntfs::Run& run : parser.mft_runs()) {
      if (run.sparse) continue;
      for (uint64_t done = 0; done < run.length * cluster; done += buf.size())
        parser.volume()->ReadAt(run.lcn * cluster + done, buf.data(),
                                static_cast<size_t>(std::min<uint64_t>(buf.size(), run.length * cluster - done)));
    }
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetItemsProcessed(state.iterations() * (bytes / parser.boot().record_size));
}
BENCHMARK(BM_ImageReadOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImageFullScan(benchmark::State& state) {
  std::string image = BenchImage();
  if (image.empty()) {
    state.SkipWithError("set NUSK_NTFS_BENCH_IMAGE");
    return;
  }
  ExclusionSettings settings;
  uint64_t records = 0;
  for (auto _ : state) {
    CountingListener listener;
    NtfsVolumeConfig config;
    config.drive_letter = u'N';
    config.volume_path = FromUtf8(image);
    NtfsVolumeScanner scanner(Env::Default(), config, &settings, &listener, nullptr, nullptr);
    if (!scanner.ScanMft()) {
      state.SkipWithError("scan failed");
      return;
    }
    records = scanner.delivered();
    benchmark::DoNotOptimize(listener.count);
  }
  state.counters["delivered"] = static_cast<double>(records);
  state.SetItemsProcessed(state.iterations() * records);
}
BENCHMARK(BM_ImageFullScan)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace nusk

BENCHMARK_MAIN();
