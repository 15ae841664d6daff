// The query line: tokenizer, split into terms and folders, and the parsed query.
//
// A query is one line typed by a user. It never fails to parse: text that is not an
// operator or a switch is searched for literally. Matching is case-insensitive because
// the matchers lower-case their own text; the parser keeps the case of what was typed.
// All functions are pure and safe from any thread.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace nusk {

using TermList = std::vector<std::u16string>;

struct ParsedQuery {
  std::u16string folder;   // the one folder token of the query, when exactly one
  std::u16string pattern;  // the single plain name term, when that is the whole query
  TermList terms;          // term tokens in query order, "|" groups joined
  TermList folders;        // folder tokens, when there were two or more
  std::u16string sort;     // the first term beginning with "/sort", if any
};

// Splits a line into tokens: quoted texts, "<...>" groups, "|", folder paths that may
// contain spaces, and plain words. An empty token is never produced. A group whose
// closing ">" is missing at a nesting depth above one is reported as "WTF" on the
// debugger output and its "<" dropped. Linear in the length of the text.
TermList TokenizeQuery(std::u16string_view text);

// Tokenizes and separates folder tokens (second character ':' or containing '\') from
// terms, joining "a | b" into one "a|b" term. With folders == nullptr folder tokens are dropped.
void SplitQuery(std::u16string_view text, TermList* terms, TermList* folders);

// The whole line: folder scope, sort clause, simple pattern (see ParsedQuery).
ParsedQuery ParseQuery(std::u16string_view text);

}  // namespace nusk
