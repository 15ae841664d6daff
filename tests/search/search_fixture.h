// The fixture tree shared by the engine suites and a helper that runs a query the way
// the window does (synchronously through FileListSource) and returns the paths found.
#pragma once
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "search/file_list_source.h"
#include "tests/search/test_index.h"

namespace nusk::testing {

// Times: CompactTime values chosen per file so date ranges can tell them apart.
inline void AddFixtureTree(TestIndex* t) {
  t->Folder(u"C:");
  t->File(u"C:\\Windows\\System32\\calc.exe", 1000, 100);
  t->File(u"C:\\Windows\\System32\\notepad.exe", 2048, 200);
  t->File(u"C:\\Windows\\notepad.exe", 4096, 300);
  t->File(u"C:\\Users\\Ann\\My Docs\\report 2014.docx", 10u << 20, 400);
  t->File(u"C:\\Users\\Ann\\readme.txt", 100, 500);
  t->File(u"C:\\Users\\Bob\\ReadMe.TXT", 1024, 600);
  t->File(u"C:\\Program Files\\app\\abc.dll", 5000, 700);
  t->File(u"D:\\data\\axxbyc", 1, 800);
  t->File(u"D:\\data\\axxbc", 2, 900);
  t->File(u"D:\\data\\ab", 3, 1000);
  t->File(u"D:\\data\\acb", 4, 1100);
  t->File(u"D:\\data\\ba", 5, 1200);
  t->File(u"D:\\data\\a.b", 6, 1300);
  t->File(u"D:\\data\\big.iso", 3ull << 30, 1400);
}

using PathSet = std::set<std::u16string>;

// Results in order as exact-case paths, from a synchronous FileListSource (as the window runs it).
inline std::vector<std::u16string> FindOrdered(TestIndex& t, std::u16string_view query, bool folder_sizes = false,
                                               TermContext ctx = {}) {
  NopFileListSourceChangeListener nop;
  FileListSource source(&t.view(), &nop);
  source.set_term_context(std::move(ctx));
  source.set_folder_sizes_shown(folder_sizes);
  source.Submit(query, false);
  std::vector<std::u16string> out;
  for (uint32_t i : source.Results()) out.push_back(t.Path(i));
  return out;
}

inline PathSet Find(TestIndex& t, std::u16string_view query, TermContext ctx = {}) {
  const std::vector<std::u16string> found = FindOrdered(t, query, false, std::move(ctx));
  return PathSet(found.begin(), found.end());
}

}  // namespace nusk::testing
