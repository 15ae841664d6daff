// From term strings to matcher trees: groups "<...>", negation "!<...>", OR "a|b",
// named searches "@Name", switches "/f" "/size:" ..., and literal or wildcard words.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "search/matcher.h"
#include "search/query_parser.h"
#include "search/query_ranges.h"

namespace nusk {

// What parsing noticed beyond the matcher tree; filled when TermContext::notes is set.
struct TermNotes {
  bool hidden_switch = false;              // a /hidden switch occurs (in any group or named search)
  bool hash_switch = false;                // a /dup: or /hash: switch occurs: content hashes are read
  std::vector<std::u16string> unreadable;  // switch terms whose value does not read as written
};

// What a term needs from outside the text. Held by value; used on one thread.
struct TermContext {
  // Fragment of a named search, empty when unknown. May be empty (no named searches).
  std::function<std::u16string(std::u16string_view)> lookup_named;
  Today today = Today::Now();   // for dates without a year or month
  uint32_t present_drives = 0;  // snapshot for "/online" and "/offline" (bit i = drive i)
  // Named searches still to be expanded in this query; BuildQueryMatcher resets it. A
  // search that names itself twice would otherwise double the tree at every level.
  mutable int named_budget = kMaxNamedExpansions;
  TermNotes* notes = nullptr;  // optional, shared by copies of the context
  static constexpr int kMaxNamedExpansions = 64;
};

// Nesting limits: groups and named searches that refer to themselves or nest absurdly
// deep are not expanded further; the term is then searched for literally.
inline constexpr int kMaxTermDepth = 32;

MatcherPtr ParseTerm(std::u16string_view term, const TermContext& ctx, int depth = 0);
// An AND of the terms; "!" followed by a group term negates that group. Empty: every item.
MatcherPtr ParseTermList(const TermList& terms, const TermContext& ctx, int depth = 0);
// Absolute folders ("x:...") OR-ed, partial folders AND-ed, both kinds AND-ed together.
MatcherPtr ParseFolderList(const TermList& folders);
// AND of two trees; either may be null.
MatcherPtr AndOf(MatcherPtr a, MatcherPtr b);

// The tree of a whole query: its terms AND its folder tokens.
MatcherPtr BuildQueryMatcher(const TermList& terms, const TermList& folders, const TermContext& ctx);

// What the terms of a query ask for beyond their matchers (parses them once, keeps no tree).
TermNotes NoteQuery(const ParsedQuery& query, const TermContext& ctx);

}  // namespace nusk
