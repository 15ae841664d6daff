// Web service speed: round trips of "/query.json" for a 3-letter query over one keep-alive
// loopback connection at 1,000,000 items, against the cheapest answer that keeps the
// connection (a query no name can match, "/query.json?q=qqqqzzzz") in the same run. `web_query_bench --make-index <home> [items]` only writes the synthetic
// index, for the multi-connection load script (bench/web_load.sh).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "index/nusk_db_writer.h"
#include "tests/web/raw_client.h"
#include "util/utf.h"
#include "web/web_service.h"

namespace nusk {
namespace {

// Names from syllables, so 3-letter queries hit a realistic share of names.
std::u16string RandomName(std::mt19937& rng, bool file) {
  static const char* kSyl[] = {"ab", "ca", "de", "fo", "gu", "ki", "lo", "ma", "ne", "po",
                               "ra", "si", "tu", "ve", "xo", "ze", "bc", "qu", "or", "in"};
  static const char* kExt[] = {".txt", ".jpg", ".cpp", ".h", ".pdf", ".doc", ".png", ".mp3", ".zip", ".dll"};
  std::string s;
  int n = 2 + static_cast<int>(rng() % 4);
  for (int i = 0; i < n; ++i) s += kSyl[rng() % 20];
  s += std::to_string(rng() % 1000);
  if (file) s += kExt[rng() % 10];
  return FromUtf8(s);
}

Status MakeIndex(const std::u16string& home, uint32_t items) {
  NuskDbWriter w;
  Status st = LoadIndexForWrite(&w, home, Env::Default());
  if (!st.ok()) return st;
  std::mt19937 rng(12345);
  const uint8_t drive = 2;  // C:
  uint32_t record = 5;
  ScanRecord root;
  root.reference = MakeRef(record++, drive);
  root.is_folder = true;
  root.name = u"C:";
  w.AddRecord(root);
  const uint32_t folders = items / 1000 + 1;
  std::vector<uint64_t> refs = {root.reference};
  for (uint32_t i = 0; i < folders; ++i) {
    ScanRecord f;
    f.reference = MakeRef(record++, drive);
    f.parent_reference = refs[rng() % refs.size()];
    f.is_folder = true;
    f.time = 1500000000;
    f.name = RandomName(rng, false);
    w.AddRecord(f);
    refs.push_back(f.reference);
  }
  while (record < items + 5) {
    ScanRecord r;
    r.reference = MakeRef(record++, drive);
    r.parent_reference = refs[1 + rng() % (refs.size() - 1)];
    r.time = 1500000000 + rng() % 100000000;
    r.size = rng() % 10000000;
    r.name = RandomName(rng, true);
    w.AddRecord(r);
  }
  w.DriveScanned(u'C');
  return CommitIndex(&w);
}

// A scratch home folder for the run (left in the temp folder: it is large only in memory).
std::u16string ScratchHome() {
  Env* env = Env::Default();
  std::u16string base = env->GetEnvVar(u"TMPDIR");
  if (base.empty()) base = u"/tmp";
  std::u16string home = base + u"/nusk-web-bench-" + FromUtf8(std::to_string(std::random_device()())) + u"/";
  env->CreateFolder(home.substr(0, home.size() - 1));
  return home;
}

struct Fixture {
  Fixture() : home(ScratchHome()) {
    Status st = MakeIndex(home, 1000000);
    if (!st.ok()) std::fprintf(stderr, "index: %s\n", st.message().c_str());
    std::string error;
    search = OpenIndexWebSearch(home, home + u"nusk.ini", Env::Default(), &error);
    service = std::make_unique<WebService>(search.get(), Env::Default());
    service->Configure(u"127.0.0.1", 0, u"", u"");
    service->Start();
  }
  std::u16string home;
  std::unique_ptr<WebSearch> search;
  std::unique_ptr<WebService> service;
};

Fixture& Shared() {
  static Fixture f;
  return f;
}

void RoundTrips(benchmark::State& state, const std::string& target) {
  nusk::testing::RawClient client(Shared().service->port());
  std::string request = nusk::testing::Get(target);
  for (auto _ : state) {
    client.Send(request);
    if (!client.ReadUntil("\r\n0\r\n\r\n", 10000)) state.SkipWithError("no complete answer");
    client.Take();
  }
}

void BM_NoMatch(benchmark::State& state) { RoundTrips(state, "/query.json?q=qqqqzzzz"); }
void BM_QueryJson3Letters(benchmark::State& state) { RoundTrips(state, "/query.json?q=abc"); }
void BM_SearchPage3Letters(benchmark::State& state) { RoundTrips(state, "/?q=abc"); }
BENCHMARK(BM_NoMatch)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QueryJson3Letters)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchPage3Letters)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nusk

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--make-index") == 0) {
    uint32_t items = argc >= 4 ? static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 1000000;
    std::u16string home = nusk::FromUtf8(argv[2]);
    nusk::Env::Default()->CreateFolder(home);
    if (home.back() != u'/') home += u'/';
    nusk::Status st = nusk::MakeIndex(home, items);
    if (!st.ok()) {
      std::fprintf(stderr, "cannot write the index: %s\n", st.message().c_str());
      return 1;
    }
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
