// Fuzz target for the query language: any bytes, read as UTF-16 text, must tokenize,
// parse, build a matcher tree (with named searches that expand to parts of the input,
// so self-reference is exercised) and walk an empty index without failing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "index/nusk_db.h"
#include "search/find_result.h"
#include "search/query_parser.h"
#include "search/sort.h"
#include "search/term_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));

  for (const std::u16string& token : nusk::TokenizeQuery(text)) {
    if (token.empty()) std::abort();  // an empty token is never produced
  }
  const nusk::ParsedQuery query = nusk::ParseQuery(text);
  nusk::ParseSortClause(query.sort);

  nusk::TermContext ctx;
  ctx.today = nusk::Today{2020, 2, 29, false};
  ctx.lookup_named = [&text](std::u16string_view name) -> std::u16string {
    // Some names expand to the whole input again, some to a piece of it.
    if (name.size() % 3 == 0) return text;
    return std::u16string(name.substr(0, name.size() / 2));
  };
  static nusk::NuskDb empty;
  static const nusk::SearchView view(&empty);
  nusk::FindResultPtr cursor = nusk::CreateFindResult(query, view, ctx);
  while (cursor->Next()) std::abort();  // nothing to find in an empty index
  nusk::MatcherPtr tree = nusk::BuildQueryMatcher(query.terms, query.folders, ctx);
  tree->Prepare(view);
  return 0;
}
