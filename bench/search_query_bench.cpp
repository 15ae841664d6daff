// Query latency per query class on generated indexes of 1 M items (and 5 M with
// NUSK_BENCH_5M=1), through the same driver the window uses (FileListSource, synchronous).
// BM_Baseline_NaiveScan is the reference in the same run: a plain find() over every name.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <random>

#include "index/db_files.h"
#include "index/nusk_db.h"
#include "index/nusk_db_writer.h"
#include "platform/env.h"
#include "search/file_list_source.h"
#include "search/search_view.h"
#include "util/utf.h"

namespace nusk {
namespace {

// Names from syllables, so keywords hit a realistic share of names.
std::u16string Word(std::mt19937& rng) {
  static const char* kSyll[] = {"ab", "cor", "de", "fil", "gen", "hal", "in", "jo", "ka", "lib", "mo", "net",
                                "or", "pa", "qu", "ro", "sys", "tem", "ul", "vi", "win", "xe", "yo", "zet"};
  std::string w;
  const int n = 1 + rng() % 4;
  for (int i = 0; i < n; ++i) w += kSyll[rng() % 24];
  if (rng() % 5 == 0) w += std::to_string(rng() % 100);
  if (rng() % 6 == 0) w[0] = static_cast<char>(w[0] - 32);
  return U16(w);
}

struct GeneratedIndex {
  std::u16string home;
  NuskDb db;
  std::unique_ptr<SearchView> view;
};

// Builds (once per size, cached in the temp folder) an index of about n items.
GeneratedIndex* Generate(uint32_t n) {
  static std::map<uint32_t, std::unique_ptr<GeneratedIndex>> cache;
  auto& slot = cache[n];
  if (slot) return slot.get();
  slot = std::make_unique<GeneratedIndex>();
  Env* env = Env::Default();
  std::u16string tmp = env->GetEnvVar(u"TMPDIR");
  if (tmp.empty()) tmp = u"/tmp";
  slot->home = tmp + u"/nusk-bench-" + U16(std::to_string(n)) + u"/";
  if (!HasCompleteDatabase(slot->home)) {
    env->CreateFolder(slot->home);
    NuskDbWriter writer;
    LoadIndexForWrite(&writer, slot->home);
    std::mt19937 rng(12345);
    static const char* kExt[] = {".txt", ".dll", ".exe", ".h", ".cpp", ".png", ".jpg", ".xml", ".log", ""};
    std::vector<uint64_t> folders;
    uint32_t record = 1;
    ScanRecord root;
    root.reference = MakeRef(record++, 2);
    root.is_folder = true;
    root.name = u"C:";
    writer.AddRecord(root);
    folders.push_back(root.reference);
    for (uint32_t i = 1; i < n; ++i) {
      ScanRecord r;
      r.reference = MakeRef(record++, 2);
      r.is_folder = i % 10 == 0;
      // Parents favour recent folders, which gives a deep, bushy tree.
      const size_t pick = folders.size() - 1 - (rng() % std::min<size_t>(folders.size(), 200));
      r.parent_reference = folders[pick];
      r.name = Word(rng) + (r.is_folder ? u"" : U16(kExt[rng() % 10]));
      r.size = r.is_folder ? 0 : rng() % 5000000;
      r.time = 1100000000 + rng() % 100000000;
      writer.AddRecord(r);
      if (r.is_folder) folders.push_back(r.reference);
    }
    CommitIndex(&writer);
  }
  LoadNuskDb(&slot->db, slot->home);
  slot->view = std::make_unique<SearchView>(&slot->db);
  return slot.get();
}

uint32_t SizeArg(const benchmark::State& state) { return static_cast<uint32_t>(state.range(0)); }

void RunQuery(benchmark::State& state, const char16_t* query) {
  GeneratedIndex* g = Generate(SizeArg(state));
  NopFileListSourceChangeListener nop;
  FileListSource source(g->view.get(), &nop);
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
    for (uint32_t k = 0; k < v.name_count; ++k) hits += v.Text(v.names[k]).find(u"cor") != std::u16string_view::npos;
    benchmark::DoNotOptimize(hits);
  }
}

#define QUERY_BENCH(name, text) \
  void BM_##name(benchmark::State& state) { RunQuery(state, text); }

QUERY_BENCH(Keyword3, u"cor")
QUERY_BENCH(Keyword1, u"q")
QUERY_BENCH(TwoKeywords, u"cor lib")
QUERY_BENCH(StarDotTxt, u"*.txt")
QUERY_BENCH(WildcardMiddle, u"ab*net")
QUERY_BENCH(OrOfThree, u"corde|halin|zetyo")
QUERY_BENCH(NegatedGroup, u"cor !<lib>")
QUERY_BENCH(SizeSwitch, u"/size:1m-2m")
QUERY_BENCH(DateSwitch, u"cor /date:20150101-20161231")
QUERY_BENCH(FolderScope, u"c:\\ cor")
QUERY_BENCH(SortBySize, u"cor /sort:size")
QUERY_BENCH(SortByPath, u"cor /sort:path")

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(1000000);
  const char* big = std::getenv("NUSK_BENCH_5M");
  if (big && *big == '1') b->Arg(5000000);
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

}  // namespace
}  // namespace nusk

BENCHMARK_MAIN();
