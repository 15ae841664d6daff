// Query latency per query class on generated indexes of 1 M items (and 5 M with
// NUSK_BENCH_5M=1; 20 M with NUSK_BENCH_20M=1), through the same driver the window uses (FileListSource, synchronous).
// BM_Baseline_NaiveScan is the reference in the same run: a plain find() over every name.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "index/db_files.h"
#include "index/nusk_db.h"
#include "index/nusk_db_writer.h"
#include "platform/env.h"
#include "search/file_list_source.h"
#include "search/find_result.h"
#include "search/query_parser.h"
#include "search/search_view.h"
#include "tools/gen_index/generator.h"
#include "util/utf.h"

namespace nusk {
namespace {

struct GeneratedIndex {
  std::u16string home;
  NuskDb db;
  std::unique_ptr<SearchView> view;
};

// The synthetic index of tools/gen_index (about n items, seed 1), written once per size
// into the temp folder and reused by later runs.
GeneratedIndex* Generate(uint32_t n) {
  static std::map<uint32_t, std::unique_ptr<GeneratedIndex>> cache;
  auto& slot = cache[n];
  if (slot) return slot.get();
  slot = std::make_unique<GeneratedIndex>();
  const char* tmp = std::getenv("TMPDIR");
  const std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/nusk-bench-gen-" + std::to_string(n);
  slot->home = U16(folder) + u"/";
  if (!HasCompleteDatabase(slot->home, Env::Default())) {
    Env::Default()->CreateFolder(slot->home);
    gen::Options opt;
    opt.items = n;
    const gen::Result r = gen::Generate(folder, opt);
    if (!r.error.empty()) std::fprintf(stderr, "gen_index: %s\n", r.error.c_str());
  }
  LoadNuskDb(&slot->db, slot->home, Env::Default());
  slot->view = std::make_unique<SearchView>(&slot->db);
  return slot.get();
}

uint32_t SizeArg(const benchmark::State& state) { return static_cast<uint32_t>(state.range(0)); }

void TimeQuery(benchmark::State& state, const char16_t* query, bool show_all = false) {
  GeneratedIndex* g = Generate(SizeArg(state));
  // NUSK_BENCH_SCAN_THREADS=1 or 2: the name scan on one thread or split over two (for
  // runs that alternate the two); unset: the program's default.
  if (const char* t = std::getenv("NUSK_BENCH_SCAN_THREADS"); t && *t) SetNameScanSplit({std::atoi(t), 100000});
  NopFileListSourceChangeListener nop;
  FileListSource source(g->view.get(), &nop);
  source.set_show_all(show_all);
  uint32_t count = 0;
  for (auto _ : state) {
    source.Submit(query, false);
    count = source.ResultCount();
  }
  state.counters["results"] = count;
  state.counters["items"] = g->db.item_count();
}

void BM_Baseline_NaiveScan(benchmark::State& state) {
  GeneratedIndex* g = Generate(SizeArg(state));
  const SearchView& v = *g->view;
  for (auto _ : state) {
    uint32_t hits = 0;
    for (uint32_t k = 0; k < v.name_count; ++k) hits += v.Text(v.names()[k]).find(u"cor") != std::u16string_view::npos;
    benchmark::DoNotOptimize(hits);
  }
}

#define QUERY_BENCH(name, text) \
  void BM_##name(benchmark::State& state) { TimeQuery(state, text); }

QUERY_BENCH(Keyword3, u"cor")
QUERY_BENCH(Keyword1, u"v")
QUERY_BENCH(TwoKeywords, u"cor lib")
QUERY_BENCH(StarDotTxt, u"*.txt")
QUERY_BENCH(WildcardMiddle, u"lo*net")
QUERY_BENCH(OrOfThree, u"cordata|libmain|testwin")
QUERY_BENCH(NegatedGroup, u"cor !<lib>")
QUERY_BENCH(SizeSwitch, u"/size:1m-2m")
QUERY_BENCH(DateSwitch, u"cor /date:20200101-20211231")
QUERY_BENCH(FolderScope, u"c:\\ cor")
QUERY_BENCH(SortBySize, u"cor /sort:size")
QUERY_BENCH(SortByPath, u"cor /sort:path")
QUERY_BENCH(SortAllByPath, u"/sort:path")
QUERY_BENCH(SortAllBySize, u"/sort:size")
// The first whole-index sort of a thread (a header click over an empty search, the first
// since the program started): its key arrays are made afresh, as each thread keeps its own.
void FirstSortAll(benchmark::State& state, const char16_t* query) {
  GeneratedIndex* g = Generate(SizeArg(state));
  NopFileListSourceChangeListener nop;
  FileListSource source(g->view.get(), &nop);
  source.Submit(u"", false);  // the folder ranks and the result memory, as after the first search
  for (auto _ : state) {
    std::thread sorter([&] { source.Submit(query, false); });
    sorter.join();
  }
  state.counters["results"] = source.ResultCount();
}
void BM_FirstSortAllByPath(benchmark::State& state) { FirstSortAll(state, u"/sort:path"); }
void BM_FirstSortAllBySize(benchmark::State& state) { FirstSortAll(state, u"/sort:size"); }

// The window's first search: the empty query with ShowAllItemsForEmptySearch.
void BM_ShowAll(benchmark::State& state) { TimeQuery(state, u"", true); }

// Tokenizing a long path-like line ("c:\\a b c ... \\"): time must grow linearly with
// the length (compare the 16 k and 64 k rows: about 4x).
void BM_TokenizeLongPath(benchmark::State& state) {
  std::u16string text = u"c:\\";
  while (text.size() < static_cast<size_t>(state.range(0))) text += u"ab <c ";
  for (auto _ : state) benchmark::DoNotOptimize(TokenizeQuery(text));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_TokenizeLongPath)->Arg(16 << 10)->Arg(64 << 10)->Unit(benchmark::kMillisecond);

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(1000000);
  const char* big = std::getenv("NUSK_BENCH_5M");
  if (big && *big == '1') b->Arg(5000000);
  const char* huge = std::getenv("NUSK_BENCH_20M");
  if (huge && *huge == '1') b->Arg(20000000);
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Baseline_NaiveScan)->Apply(Sizes);
BENCHMARK(BM_Keyword3)->Apply(Sizes);
BENCHMARK(BM_Keyword1)->Apply(Sizes);
BENCHMARK(BM_TwoKeywords)->Apply(Sizes);
BENCHMARK(BM_StarDotTxt)->Apply(Sizes);
BENCHMARK(BM_WildcardMiddle)->Apply(Sizes);
BENCHMARK(BM_OrOfThree)->Apply(Sizes);
BENCHMARK(BM_NegatedGroup)->Apply(Sizes);
BENCHMARK(BM_SizeSwitch)->Apply(Sizes);
BENCHMARK(BM_DateSwitch)->Apply(Sizes);
BENCHMARK(BM_FolderScope)->Apply(Sizes);
BENCHMARK(BM_SortBySize)->Apply(Sizes);
BENCHMARK(BM_SortByPath)->Apply(Sizes);
BENCHMARK(BM_SortAllByPath)->Apply(Sizes);
BENCHMARK(BM_SortAllBySize)->Apply(Sizes);
BENCHMARK(BM_ShowAll)->Apply(Sizes);
BENCHMARK(BM_FirstSortAllByPath)->Apply(Sizes)->UseRealTime();
BENCHMARK(BM_FirstSortAllBySize)->Apply(Sizes)->UseRealTime();

}  // namespace
}  // namespace nusk

BENCHMARK_MAIN();
