// Index database benchmarks on generated indexes (tools/gen_index/generator.h):
//  - LoadNuskDb of 1M / 5M items from page cache, as a ratio to one plain read of the
//    same bytes measured in the same run;
//  - resident memory of the loaded search form per item;
//  - writing the search snapshot, time and bytes per item;
//  - writer: LoadIndexForWrite + 1M AddRecord + CommitIndex, time and memory per item.
// Generated files are kept in $TMPDIR/nusk-bench-index-<items>-<seed> between runs.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <unordered_map>

#include "index/nusk_db.h"
#include "index/nusk_db_writer.h"
#include "index/search_snapshot.h"
#include "tools/gen_index/generator.h"
#include "util/utf.h"

namespace nusk {
namespace {

std::string IndexFolder(uint64_t items) {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/nusk-bench-index-" + std::to_string(items) + "-1";
  if (!std::filesystem::exists(folder + "/nusk.nrs")) {
    std::filesystem::create_directories(folder);
    gen::Options opt;
    opt.items = items;
    gen::Result r = gen::Generate(folder, opt);
    if (!r.error.empty()) std::fprintf(stderr, "generator: %s\n", r.error.c_str());
  }
  return folder;
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int64_t RssBytes() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return int64_t{resident} * sysconf(_SC_PAGESIZE);
}

// CPU seconds of the calling thread (the loads are single-threaded).
double ThreadCpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

// One plain whole-file read of both files: the floor a loader is compared to.
void PlainRead(const std::u16string& home) {
  std::string frs, nrs;
  Env::Default()->ReadWholeFile(home + u"/nusk.frs", &frs);
  Env::Default()->ReadWholeFile(home + u"/nusk.nrs", &nrs);
  benchmark::DoNotOptimize(frs.data());
  benchmark::DoNotOptimize(nrs.data());
}

// Each iteration times a plain read of the same bytes and then a load, so both see the
// same machine load; the figures are the best of each (least disturbed by other
// processes on a shared machine) and CPU time beside wall time.
void BM_LoadNuskDb(benchmark::State& state) {
  const uint64_t items = state.range(0);
  std::u16string home = FromUtf8(IndexFolder(items));
  double plain_wall = 1e9, plain_cpu = 1e9, load_wall = 1e9, load_cpu = 1e9;
  for (auto _ : state) {
    auto t = std::chrono::steady_clock::now();
    double c = ThreadCpuSeconds();
    PlainRead(home);
    plain_cpu = std::min(plain_cpu, ThreadCpuSeconds() - c);
    plain_wall = std::min(plain_wall, Seconds(t));

    NuskDb db;
    t = std::chrono::steady_clock::now();
    c = ThreadCpuSeconds();
    Status s = LoadNuskDb(&db, home, Env::Default());
    double secs = Seconds(t);
    load_cpu = std::min(load_cpu, ThreadCpuSeconds() - c);
    load_wall = std::min(load_wall, secs);
    if (!s.ok()) state.SkipWithError(s.message().c_str());
    state.SetIterationTime(secs);
  }
  const double per_m = items / 1e6;
  state.counters["best_ms_per_1M_items"] = load_wall * 1000 / per_m;
  state.counters["best_plain_read_ms"] = plain_wall * 1000;
  state.counters["ratio_to_plain_read"] = load_wall / plain_wall;
  state.counters["cpu_ms_per_1M_items"] = load_cpu * 1000 / per_m;
  state.counters["cpu_ratio_to_plain_read"] = load_cpu / plain_cpu;
}
BENCHMARK(BM_LoadNuskDb)->Arg(1000000)->Arg(5000000)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);

// Serves the database files as mapped views and hides the search snapshot (nor may one
// be written): every load decodes, as before snapshots existed.
class NoSnapshotEnv : public EnvWrapper {
 public:
  NoSnapshotEnv() : EnvWrapper(Env::Default()) {}
  static bool IsSnapshot(const std::u16string& p) { return p.find(u"nusk.snap") != std::u16string::npos; }
  Status ViewWholeFile(const std::u16string& p, std::unique_ptr<FileView>* v) override {
    return IsSnapshot(p) ? Status::Error("hidden") : target()->ViewWholeFile(p, v);
  }
  bool FileExists(const std::u16string& p) override { return !IsSnapshot(p) && target()->FileExists(p); }
  Status WriteWholeFile(const std::u16string& p, std::string_view b, bool f) override {
    return IsSnapshot(p) ? Status::Error("hidden") : target()->WriteWholeFile(p, b, f);
  }
  Status RenameFile(const std::u16string& from, const std::u16string& to) override {
    return IsSnapshot(to) ? Status::Error("hidden") : target()->RenameFile(from, to);
  }
  Status RemoveFile(const std::u16string& p) override { return IsSnapshot(p) ? Status::Ok() : target()->RemoveFile(p); }
};

// Decoding the files against mapping the search snapshot, alternating in each iteration
// so both see the same machine load; best wall and CPU of each, and what the snapshot
// load adds to the resident set per item (its mapped pages).
void BM_LoadFromSnapshot(benchmark::State& state) {
  const uint64_t items = state.range(0);
  std::u16string home = FromUtf8(IndexFolder(items));
  {
    NuskDb db;  // leaves a snapshot that matches
    LoadNuskDb(&db, home, Env::Default());
  }
  NoSnapshotEnv decode_env;
  double dec_wall = 1e9, dec_cpu = 1e9, snap_wall = 1e9, snap_cpu = 1e9, rss = 0;
  for (auto _ : state) {
    {
      NuskDb db;
      auto t = std::chrono::steady_clock::now();
      double c = ThreadCpuSeconds();
      Status s = LoadNuskDb(&db, home, &decode_env);
      dec_cpu = std::min(dec_cpu, ThreadCpuSeconds() - c);
      dec_wall = std::min(dec_wall, Seconds(t));
      if (!s.ok() || db.from_snapshot()) state.SkipWithError("the decode did not decode");
    }
    malloc_trim(0);
    const int64_t before = RssBytes();
    NuskDb db;
    auto t = std::chrono::steady_clock::now();
    double c = ThreadCpuSeconds();
    Status s = LoadNuskDb(&db, home, Env::Default());
    const double secs = Seconds(t);
    snap_cpu = std::min(snap_cpu, ThreadCpuSeconds() - c);
    snap_wall = std::min(snap_wall, secs);
    rss = double(RssBytes() - before) / items;
    if (!s.ok() || !db.from_snapshot()) state.SkipWithError("the snapshot was not used");
    state.SetIterationTime(secs);
  }
  state.counters["decode_ms"] = dec_wall * 1000;
  state.counters["decode_cpu_ms"] = dec_cpu * 1000;
  state.counters["snapshot_ms"] = snap_wall * 1000;
  state.counters["snapshot_cpu_ms"] = snap_cpu * 1000;
  state.counters["ratio_wall"] = snap_wall / dec_wall;
  state.counters["ratio_cpu"] = snap_cpu / dec_cpu;
  state.counters["resident_bytes_per_item"] = rss;
  state.counters["snapshot_bytes_per_item"] = double(Env::Default()->FileSize(home + u"/nusk.snap")) / items;
}
BENCHMARK(BM_LoadFromSnapshot)
    ->Apply([](benchmark::internal::Benchmark* b) {
      b->Arg(1000000)->Arg(5000000);
      if (std::getenv("NUSK_BENCH_20M")) b->Arg(20000000);
    })
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// Writing the search snapshot of a loaded index (encoding, with the trigram index of the
// names, and the write through ".tmp"): best wall and CPU, and its size per item.
void BM_WriteSnapshot(benchmark::State& state) {
  const uint64_t items = state.range(0);
  std::u16string home = FromUtf8(IndexFolder(items));
  NoSnapshotEnv decode_env;
  NuskDb db;
  if (!LoadNuskDb(&db, home, &decode_env).ok()) state.SkipWithError("the index did not load");
  SnapshotStamp stamp;
  const std::u16string out = home + u"/bench.snap";
  double wall = 1e9, cpu = 1e9;
  for (auto _ : state) {
    auto t = std::chrono::steady_clock::now();
    double c = ThreadCpuSeconds();
    const std::string bytes = SearchSnapshot::Encode(db, stamp);
    Env::Default()->WriteWholeFile(out, bytes, false);
    const double secs = Seconds(t);
    cpu = std::min(cpu, ThreadCpuSeconds() - c);
    wall = std::min(wall, secs);
    state.SetIterationTime(secs);
    state.counters["snapshot_bytes_per_item"] = double(bytes.size()) / items;
  }
  Env::Default()->RemoveFile(out);
  state.counters["write_ms"] = wall * 1000;
  state.counters["write_cpu_ms"] = cpu * 1000;
}
BENCHMARK(BM_WriteSnapshot)->Arg(1000000)->Arg(5000000)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_SearchFormMemory(benchmark::State& state) {
  const uint64_t items = state.range(0);
  std::u16string home = FromUtf8(IndexFolder(items));
  for (auto _ : state) {
    malloc_trim(0);
    int64_t before = RssBytes();
    NuskDb db;
    Status s = LoadNuskDb(&db, home, Env::Default());
    if (!s.ok()) state.SkipWithError(s.message().c_str());
    malloc_trim(0);  // the file buffers are freed; count only what the form keeps
    int64_t after = RssBytes();
    state.counters["bytes_per_item"] = double(after - before) / items;
    state.counters["names"] = db.name_count();
  }
}
BENCHMARK(BM_SearchFormMemory)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

// Every item of a generated index as a ScanRecord (prepared outside the timing).
std::vector<ScanRecord> RecordsOf(const std::u16string& home) {
  NuskDb db;
  LoadNuskDb(&db, home, Env::Default());
  std::vector<ScanRecord> out(db.item_count());
  for (uint32_t i = 0; i < db.item_count(); ++i) {
    ScanRecord& r = out[i];
    r.reference = db.Reference(i);
    r.parent_reference = db.Parent(i) == kNoItem ? 0 : db.Reference(db.Parent(i));
    r.time = db.Time(i);
    r.size = db.SizeForm(i);
    r.is_folder = db.IsFolder(i);
    r.name = db.ItemName(i);
  }
  // Scanners deliver in volume order, not name order.
  for (size_t i = out.size(); i > 1; --i) std::swap(out[i - 1], out[gen::Mix(i) % i]);
  return out;
}

// In-run baseline for the writer: the same names keyed in a node-based hash map of
// UTF-16 strings, one heap key per lookup (the plain-library way to group items by
// name). Returns thread CPU seconds.
double NodeMapBaselineSeconds(const std::vector<ScanRecord>& records) {
  double c = ThreadCpuSeconds();
  std::unordered_map<std::u16string, std::vector<const ScanRecord*>> names;
  for (const ScanRecord& r : records) names[MakeNameKey(r.name, r.is_folder)].push_back(&r);
  benchmark::DoNotOptimize(names.size());
  return ThreadCpuSeconds() - c;
}

// Time and thread CPU of the whole write (load of an empty home, every AddRecord, the
// commit with its flushes), with the add and commit phases' CPU beside it.
void BM_WriterAddAndCommit(benchmark::State& state) {
  const uint64_t items = state.range(0);
  std::vector<ScanRecord> records = RecordsOf(FromUtf8(IndexFolder(items)));
  std::string out = IndexFolder(items) + "-writer";
  double best_cpu = 1e9, best_add = 1e9, best_commit = 1e9, best_baseline = 1e9;
  for (auto _ : state) {
    best_baseline = std::min(best_baseline, NodeMapBaselineSeconds(records));
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    malloc_trim(0);
    int64_t before = RssBytes();
    auto t = std::chrono::steady_clock::now();
    double cpu0 = ThreadCpuSeconds(), secs = 0;
    {
      NuskDbWriter w;
      LoadIndexForWrite(&w, FromUtf8(out), Env::Default());
      for (const ScanRecord& r : records) w.AddRecord(r);
      double cpu1 = ThreadCpuSeconds();
      state.counters["writer_bytes_per_item"] = double(RssBytes() - before) / items;
      Status s = CommitIndex(&w);
      secs = Seconds(t);
      double cpu2 = ThreadCpuSeconds();
      best_cpu = std::min(best_cpu, cpu2 - cpu0);
      best_add = std::min(best_add, cpu1 - cpu0);
      best_commit = std::min(best_commit, cpu2 - cpu1);
      if (!s.ok()) state.SkipWithError(s.message().c_str());
    }
    state.SetIterationTime(secs);
  }
  state.counters["cpu_ms_per_1M_items"] = best_cpu * 1000 / (items / 1e6);
  state.counters["add_cpu_ms"] = best_add * 1000;
  state.counters["commit_cpu_ms"] = best_commit * 1000;
  state.counters["node_map_baseline_cpu_ms"] = best_baseline * 1000;
  state.counters["add_ratio_to_node_map"] = best_add / best_baseline;
  std::filesystem::remove_all(out);
}
BENCHMARK(BM_WriterAddAndCommit)->Arg(1000000)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_LoadIndexForWrite(benchmark::State& state) {
  const uint64_t items = state.range(0);
  std::u16string home = FromUtf8(IndexFolder(items));
  for (auto _ : state) {
    NuskDbWriter w;
    Status s = LoadIndexForWrite(&w, home, Env::Default());
    if (!s.ok()) state.SkipWithError(s.message().c_str());
    benchmark::DoNotOptimize(w.item_count());
  }
}
BENCHMARK(BM_LoadIndexForWrite)->Arg(1000000)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nusk

BENCHMARK_MAIN();
