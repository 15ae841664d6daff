// The folder tree's data work on indexes of 1 M items (and 5 M with NUSK_BENCH_5M=1):
// filling (building the child-folder index) and expanding a folder with 10,000 child
// folders (names, paths and expand buttons of every row).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "index/db_files.h"
#include "index/folder_children.h"
#include "index/index_types.h"
#include "index/nusk_db.h"
#include "index/nusk_db_writer.h"
#include "platform/env.h"
#include "tools/gen_index/generator.h"
#include "util/utf.h"

namespace nusk {
namespace {

std::string TempFolder(const std::string& name) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name;
}

// The synthetic index of tools/gen_index (about n items, seed 1), written once per size.
NuskDb* Generated(uint32_t n) {
  static std::map<uint32_t, std::unique_ptr<NuskDb>> cache;
  auto& slot = cache[n];
  if (slot) return slot.get();
  const std::string folder = TempFolder("nusk-bench-gen-" + std::to_string(n));
  const std::u16string home = U16(folder) + u"/";
  if (!HasCompleteDatabase(home, Env::Default())) {
    Env::Default()->CreateFolder(home);
    gen::Options opt;
    opt.items = n;
    const gen::Result r = gen::Generate(folder, opt);
    if (!r.error.empty()) std::fprintf(stderr, "gen_index: %s\n", r.error.c_str());
  }
  slot = std::make_unique<NuskDb>();
  LoadNuskDb(slot.get(), home, Env::Default());
  return slot.get();
}

// n items: C:\wide with 10,000 child folders, and files spread over those folders.
NuskDb* Wide(uint32_t n, uint32_t* wide_item) {
  static std::map<uint32_t, std::unique_ptr<NuskDb>> cache;
  auto& slot = cache[n];
  const std::u16string home = U16(TempFolder("nusk-bench-wide-" + std::to_string(n))) + u"/";
  if (!slot) {
    if (!HasCompleteDatabase(home, Env::Default())) {
      Env::Default()->CreateFolder(home);
      NuskDbWriter writer;
      LoadIndexForWrite(&writer, home, Env::Default());
      uint32_t record = 100;
      auto add = [&](uint64_t parent, std::u16string name, bool folder) {
        ScanRecord r;
        r.reference = MakeRef(++record, 2);
        r.parent_reference = parent;
        r.is_folder = folder;
        r.size = folder ? 0 : 4096;
        r.time = 1500000000;
        r.name = std::move(name);
        writer.AddRecord(r);
        return r.reference;
      };
      const uint64_t root = add(0, u"C:", true);
      const uint64_t wide = add(root, u"wide", true);
      std::vector<uint64_t> children;
      for (int i = 0; i < 10000; ++i) children.push_back(add(wide, u"folder " + U16(std::to_string(i)), true));
      for (uint32_t i = 10002; i < n; ++i)
        add(children[i % children.size()], u"file " + U16(std::to_string(i)) + u".txt", false);
      const Status s = CommitIndex(&writer);
      if (!s.ok()) std::fprintf(stderr, "commit: %s\n", s.message().c_str());
    }
    slot = std::make_unique<NuskDb>();
    LoadNuskDb(slot.get(), home, Env::Default());
  }
  *wide_item = slot->FindFolderByPath(u"C:\\wide");
  return slot.get();
}

void BM_FolderTreeFill(benchmark::State& state) {
  NuskDb* db = Generated(static_cast<uint32_t>(state.range(0)));
  FolderChildren index;
  for (auto _ : state) {
    index.Build(*db);
    benchmark::DoNotOptimize(index.HasChildren(kNoItem));
  }
  state.counters["items"] = db->item_count();
  state.counters["folders"] = db->folder_count();
}

void BM_ExpandFolderOf10000(benchmark::State& state) {
  uint32_t wide = kNoItem;
  NuskDb* db = Wide(static_cast<uint32_t>(state.range(0)), &wide);
  FolderChildren index;
  index.Build(*db);
  size_t rows = 0;
  for (auto _ : state) rows = ExpandFolder(*db, index, wide).size();
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["items"] = db->item_count();
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(1000000);
  const char* big = std::getenv("NUSK_BENCH_5M");
  if (big && *big == '1') b->Arg(5000000);
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_FolderTreeFill)->Apply(Sizes);
BENCHMARK(BM_ExpandFolderOf10000)->Apply(Sizes);

}  // namespace
}  // namespace nusk

BENCHMARK_MAIN();
