#include "search/term_parser.h"

#include "util/casemap.h"

namespace nusk {
namespace {

bool StartsWith(std::u16string_view s, std::u16string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

MatcherPtr Literal(std::u16string_view term) {
  const size_t first = term.find(u'*');
  if (first == std::u16string_view::npos) return std::make_unique<CKeywordMatcher>(std::u16string(term));
  const size_t second = term.find(u'*', first + 1);
  if (first == 0 && second == std::u16string_view::npos) {
    return std::make_unique<CTailMatcher>(std::u16string(term.substr(1)));
  }
  if (first == term.size() - 1) return std::make_unique<CHeadMatcher>(std::u16string(term.substr(0, first)));
  if (second == std::u16string_view::npos) {
    return std::make_unique<CHeadTailMatcher>(std::u16string(term.substr(0, first)),
                                              std::u16string(term.substr(first + 1)));
  }
  return std::make_unique<CWildcardMatcher>(std::u16string(term));
}

// Tells the context's notes about a switch: /hidden, and values that do not read as written.
void Note(std::u16string_view term, std::u16string_view s, const TermContext& ctx) {
  if (!ctx.notes) return;
  if (s == u"hidden") ctx.notes->hidden_switch = true;
  if (StartsWith(s, u"dup:") || StartsWith(s, u"hash:")) ctx.notes->hash_switch = true;
  bool readable = true;
  if (StartsWith(s, u"size:")) readable = SizeRangeReadable(s.substr(5));
  else if (StartsWith(s, u"date:")) readable = DateRangeReadable(s.substr(5));
  else if (StartsWith(s, u"dup:")) readable = CountRangeReadable(s.substr(4));
  else if (StartsWith(s, u"hash:")) readable = HashValueReadable(s.substr(5));
  if (!readable) ctx.notes->unreadable.emplace_back(term);
}

MatcherPtr Switch(std::u16string_view term, const TermContext& ctx) {
  const std::u16string sw = ToLower(term.substr(1));
  const std::u16string_view s = sw;
  Note(term, s, ctx);
  if (s == u"f") return std::make_unique<CFileMatcher>();
  if (s == u"d") return std::make_unique<CFolderMatcher>();
  if (StartsWith(s, u"size:")) return std::make_unique<FileSizeMatcher>(ParseSizeRange(s.substr(5)));
  if (StartsWith(s, u"date:")) return std::make_unique<DateMatcher>(ParseDateRange(s.substr(5), ctx.today));
  if (StartsWith(s, u"dup:")) return std::make_unique<DupMatcher>(ParseCountRange(s.substr(4)));
  if (StartsWith(s, u"hash:")) return std::make_unique<HashMatcher>(std::u16string(s.substr(5)));
  if (s == u"hidden") return std::make_unique<HiddenMatcher>();
  if (s == u"online") return std::make_unique<OnlineMatcher>(true, ctx.present_drives);
  if (s == u"offline") return std::make_unique<OnlineMatcher>(false, ctx.present_drives);
  return nullptr;
}

// The inside of a group, or a named search with a space: terms and folders of its own.
MatcherPtr Inner(std::u16string_view text, const TermContext& ctx, int depth) {
  TermList terms, folders;
  SplitQuery(text, &terms, &folders);
  return AndOf(ParseTermList(terms, ctx, depth), folders.empty() ? nullptr : ParseFolderList(folders));
}

MatcherPtr Combine(std::unique_ptr<CListMatcher> list) {
  if (list->size() == 1) return list->TakeOnly();
  return list;
}

}  // namespace

MatcherPtr AndOf(MatcherPtr a, MatcherPtr b) {
  if (!a) return b;
  if (!b) return a;
  auto both = std::make_unique<CAndMatcher>();
  both->Add(std::move(a));
  both->Add(std::move(b));
  return both;
}

MatcherPtr ParseTerm(std::u16string_view term, const TermContext& ctx, int depth) {
  if (depth >= kMaxTermDepth) return Literal(term);
  if (term.size() >= 2 && term[0] == u'!' && term[1] == u'<') {
    return std::make_unique<CNotMatcher>(ParseTerm(term.substr(1), ctx, depth + 1));
  }
  if (!term.empty() && term[0] == u'<') {
    std::u16string_view inner = term.substr(1);
    if (!inner.empty() && inner.back() == u'>') inner.remove_suffix(1);
    return Inner(inner, ctx, depth + 1);
  }
  if (term.find(u'|') != std::u16string_view::npos) {
    auto any = std::make_unique<COrMatcher>();
    size_t start = 0;
    while (start <= term.size()) {
      size_t stop = term.find(u'|', start);
      if (stop == std::u16string_view::npos) stop = term.size();
      if (stop > start) any->Add(ParseTerm(term.substr(start, stop - start), ctx, depth + 1));
      start = stop + 1;
    }
    if (any->size() == 1) return any->TakeOnly();
    return any;
  }
  if (!term.empty() && term[0] == u'@' && ctx.lookup_named && ctx.named_budget > 0) {
    --ctx.named_budget;
    const std::u16string text = ctx.lookup_named(term.substr(1));
    if (!text.empty()) {
      if (text.find(u' ') != std::u16string::npos) return Inner(text, ctx, depth + 1);
      return ParseTerm(text, ctx, depth + 1);
    }
  }
  if (!term.empty() && term[0] == u'/') {
    if (MatcherPtr m = Switch(term, ctx)) return m;
  }
  return Literal(term);
}

MatcherPtr ParseTermList(const TermList& terms, const TermContext& ctx, int depth) {
  if (terms.empty()) return std::make_unique<NullMatcher>();
  if (terms.size() == 1) return ParseTerm(terms[0], ctx, depth);
  auto all = std::make_unique<CAndMatcher>();
  for (size_t i = 0; i < terms.size(); ++i) {
    if (terms[i] == u"!" && i + 1 < terms.size() && StartsWith(terms[i + 1], u"<")) {
      all->Add(std::make_unique<CNotMatcher>(ParseTerm(terms[++i], ctx, depth + 1)));
    } else {
      all->Add(ParseTerm(terms[i], ctx, depth));
    }
  }
  return all;
}

MatcherPtr ParseFolderList(const TermList& folders) {
  auto absolute = std::make_unique<COrMatcher>();
  auto partial = std::make_unique<CAndMatcher>();
  for (const std::u16string& f : folders) {
    if (f.size() >= 2 && f[1] == u':') absolute->Add(std::make_unique<RootDirMatcher>(f));
    else partial->Add(std::make_unique<PartialDirMatcher>(f));
  }
  if (absolute->size() == 0) return Combine(std::move(partial));
  if (partial->size() == 0) return Combine(std::move(absolute));
  return AndOf(Combine(std::move(absolute)), Combine(std::move(partial)));
}

MatcherPtr BuildQueryMatcher(const TermList& terms, const TermList& folders, const TermContext& ctx) {
  const TermContext fresh = [&] {
    TermContext c = ctx;
    c.named_budget = TermContext::kMaxNamedExpansions;
    return c;
  }();
  return AndOf(ParseTermList(terms, fresh), folders.empty() ? nullptr : ParseFolderList(folders));
}

TermNotes NoteQuery(const ParsedQuery& query, const TermContext& ctx) {
  TermNotes notes;
  TermContext noted = ctx;
  noted.notes = &notes;
  BuildQueryMatcher(query.terms, query.folders, noted);
  return notes;
}

}  // namespace nusk
