// Differential test: the engine (parser, specialised cursors, matcher trees, find driver)
// against a deliberately plain reference evaluator that reads the language rules
// literally and tests every item by brute force, over random indexes and random queries.
// Fixed seeds run every time, plus one fresh seed that is printed when a query differs.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <random>

#include "search/find_result.h"
#include "search/query_parser.h"
#include "search/query_ranges.h"
#include "tests/index/index_test_util.h"
#include "tests/search/search_fixture.h"
#include "util/casemap.h"
#include "util/utf.h"

namespace nusk::testing {
namespace {

struct ModelItem {
  std::u16string path;   // exact case, "C:\a\b"
  std::u16string lower;  // lower-cased path
  std::u16string name;   // lower-cased name
  int parent = -1;
  bool folder = false;
  uint8_t drive = 0;
  uint64_t bytes = 0;
  uint32_t time = 0;
  bool hidden = false;
};

// ---- The reference evaluator ----

class Oracle {
 public:
  Oracle(const std::vector<ModelItem>& items, std::function<uint32_t(size_t)> hash,
         std::function<uint16_t(size_t)> dups, Today today)
      : items_(items), hash_(std::move(hash)), dups_(std::move(dups)), today_(today) {}

  PathSet Run(const std::u16string& raw) {
    const bool browse = !raw.empty() && raw.back() == u'\\';
    std::u16string q = raw;
    while (!q.empty() && q.back() == u' ') q.pop_back();
    while (!q.empty() && q.front() == u' ') q.erase(0, 1);
    PathSet out;
    if (q == u"\\") {
      for (const ModelItem& m : items_)
        if (m.parent < 0 && !m.hidden) out.insert(m.path);
      return out;
    }
    TermList terms, folders;
    SplitQuery(q, &terms, &folders);
    for (auto it = terms.begin(); it != terms.end(); ++it) {
      if (it->rfind(u"/sort", 0) == 0) {
        terms.erase(it);
        break;
      }
    }
    std::u16string scope;
    if (folders.size() == 1) {
      scope = folders[0];
      folders.clear();
    }
    const bool lone = terms.size() == 1 && folders.empty() && IsLone(terms[0]);
    const bool show_hidden = q.find(u"/hidden") != std::u16string::npos;
    const int scope_item = scope.size() >= 2 && scope[1] == u':' ? FindFolder(scope) : -1;
    if (scope_item >= 0 && browse) {
      for (const ModelItem& m : items_)
        if (m.parent == scope_item && !m.hidden) out.insert(m.path);
      return out;
    }
    const bool partial = scope_item < 0 && scope.find(u'\\') != std::u16string::npos;
    for (size_t i = 0; i < items_.size(); ++i) {
      const ModelItem& m = items_[i];
      if (m.hidden && !show_hidden) continue;
      if (scope_item >= 0 && !Below(i, scope_item)) continue;
      if (partial && !ParentContains(i, Partial(scope))) continue;
      bool ok = lone ? LonePattern(terms[0], m.name) : AllTerms(terms, i);
      if (ok && !folders.empty()) ok = FolderList(folders, i);
      if (ok) out.insert(m.path);
    }
    return out;
  }

 private:
  static bool IsLone(const std::u16string& t) {
    if (t.find(u'|') != std::u16string::npos) return false;
    if (!t.empty() && (t[0] == u'/' || t[0] == u'<' || t[0] == u'>')) return false;
    return !(t.size() > 1 && t[0] == u'@');
  }

  // Glob with '*' for any run; '?' is any one character only when q_any is set.
  static bool Glob(std::u16string_view p, std::u16string_view s, bool q_any) {
    if (p.empty()) return s.empty();
    if (p[0] == u'*') {
      for (size_t k = 0; k <= s.size(); ++k)
        if (Glob(p.substr(1), s.substr(k), q_any)) return true;
      return false;
    }
    if (s.empty()) return false;
    if (p[0] == s[0] || (q_any && p[0] == u'?')) return Glob(p.substr(1), s.substr(1), q_any);
    return false;
  }

  static bool Literal(const std::u16string& term, const std::u16string& name, bool lone) {
    const std::u16string t = ToLower(term);
    const size_t stars = std::count(t.begin(), t.end(), u'*');
    if (stars == 0) return name.find(t) != std::u16string::npos;
    return Glob(t, name, !lone && stars >= 2);
  }

  static bool LonePattern(const std::u16string& t, const std::u16string& name) { return Literal(t, name, true); }

  bool AllTerms(const TermList& terms, size_t i) {
    for (size_t k = 0; k < terms.size(); ++k) {
      if (terms[k] == u"!" && k + 1 < terms.size() && terms[k + 1].rfind(u"<", 0) == 0 && terms.size() > 1) {
        if (Term(terms[++k], i)) return false;
        continue;
      }
      if (!Term(terms[k], i)) return false;
    }
    return true;
  }

  bool Group(const std::u16string& inner, size_t i) {
    TermList terms, folders;
    SplitQuery(inner, &terms, &folders);
    return AllTerms(terms, i) && (folders.empty() || FolderList(folders, i));
  }

  bool Term(const std::u16string& t, size_t i) {
    const ModelItem& m = items_[i];
    if (t.rfind(u"!<", 0) == 0) return !Term(t.substr(1), i);
    if (t.rfind(u"<", 0) == 0) {
      std::u16string inner = t.substr(1);
      if (!inner.empty() && inner.back() == u'>') inner.pop_back();
      return Group(inner, i);
    }
    if (t.find(u'|') != std::u16string::npos) {
      size_t start = 0;
      while (start <= t.size()) {
        size_t stop = t.find(u'|', start);
        if (stop == std::u16string::npos) stop = t.size();
        if (stop > start && Term(t.substr(start, stop - start), i)) return true;
        start = stop + 1;
      }
      return false;
    }
    if (t.rfind(u"/", 0) == 0) {
      const std::u16string s = ToLower(t.substr(1));
      if (s == u"f") return !m.folder;
      if (s == u"d") return m.folder;
      if (s.rfind(u"size:", 0) == 0) {
        const SizeRange r = ParseSizeRange(s.substr(5));
        return r.lower <= m.bytes && m.bytes <= r.upper;
      }
      if (s.rfind(u"date:", 0) == 0) {
        const DateRange r = ParseDateRange(s.substr(5), today_);
        return r.lower <= m.time && m.time < r.end;
      }
      if (s.rfind(u"dup:", 0) == 0) {
        const CountRange r = ParseCountRange(s.substr(4));
        return r.lower <= dups_(i) && dups_(i) <= r.upper;
      }
      if (s.rfind(u"hash:", 0) == 0) {
        const uint32_t v = ParseHashValue(s.substr(5));
        return v != 0 && hash_(i) == v;
      }
      if (s == u"hidden") return m.hidden;
    }
    return Literal(t, m.name, false);
  }

  bool FolderList(const TermList& folders, size_t i) {
    bool any_abs = false, abs_ok = false, part_ok = true;
    for (const std::u16string& f : folders) {
      if (f.size() >= 2 && f[1] == u':') {
        any_abs = true;
        const int dir = FindFolder(f);
        abs_ok = abs_ok || (dir >= 0 && Below(i, dir));
      } else {
        part_ok = part_ok && ParentContains(i, Partial(f));
      }
    }
    return (!any_abs || abs_ok) && part_ok;
  }

  static std::u16string Partial(const std::u16string& f) {
    std::u16string t = ToLower(f);
    if (t.size() >= 2 && t.ends_with(u"*\\")) t.resize(t.size() - 2);
    return t;
  }

  bool ParentContains(size_t i, const std::u16string& text) {
    const int p = items_[i].parent;
    return p >= 0 && (items_[p].lower + u"\\").find(text) != std::u16string::npos;
  }

  int FindFolder(const std::u16string& text) {
    std::u16string t = ToLower(text);
    while (!t.empty() && t.back() == u'\\') t.pop_back();
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i].folder && items_[i].lower == t) return static_cast<int>(i);
    }
    return -1;
  }

  // A drive root takes its whole drive, itself included; another folder what lies below it.
  bool Below(size_t i, int dir) {
    if (items_[dir].parent < 0) return items_[i].drive == items_[dir].drive;
    for (int p = items_[i].parent; p >= 0; p = items_[p].parent)
      if (p == dir) return true;
    return false;
  }

  const std::vector<ModelItem>& items_;
  std::function<uint32_t(size_t)> hash_;
  std::function<uint16_t(size_t)> dups_;
  Today today_;
};

// ---- Random indexes and queries ----

class World {
 public:
  explicit World(uint32_t seed) : rng_(seed) {}

  std::u16string Name(bool folder) {
    // Besides ASCII, a capital whose lower case is another unit and one outside the BMP
    // (its lower case differs in the second surrogate).
    static const char16_t* const kChars[] = {u"a", u"b", u"c", u"d", u"e", u"a", u"b", u"c", u"x",         u"y",
                                             u".", u"_", u"1", u" ", u"-", u"k", u"i", u"Ä", u"\U00010400"};
    std::u16string n;
    const int len = 1 + rng_() % 6;
    for (int k = 0; k < len; ++k) {
      std::u16string c = kChars[rng_() % std::size(kChars)];
      if (rng_() % 7 == 0 && c[0] >= u'a' && c[0] <= u'z') c[0] -= 32;
      n += c;
    }
    if (!folder && rng_() % 2) n += std::u16string(u".") + (rng_() % 2 ? u"txt" : u"exe");
    while (!n.empty() && (n.back() == u' ' || n.back() == u'.')) n.pop_back();  // as file systems do
    return n.empty() ? u"n" : n;
  }

  void Build(TestIndex* index, std::vector<ModelItem>* items) {
    std::map<std::u16string, int> by_lower;
    const auto add = [&](int parent, std::u16string name, bool folder, uint8_t drive) -> int {
      ModelItem m;
      m.path = parent < 0 ? name : (*items)[parent].path + u"\\" + name;
      m.lower = ToLower(m.path);
      if (by_lower.count(m.lower)) return -1;
      m.name = ToLower(name);
      m.parent = parent;
      m.folder = folder;
      m.drive = drive;
      m.bytes = folder ? 0 : (rng_() % 5 == 0 ? (uint64_t(rng_() % 4) << 30) + 3000000000ull : rng_() % 5000);
      if (!folder && m.bytes > 0x7FFFFFFF) m.bytes = m.bytes / 1024 * 1024;  // KiB form keeps whole KiB
      // Some at a midnight or a second before, where the bounds of date ranges lie.
      m.time = rng_() % 3 ? rng_() % 4000000 : (1 + rng_() % 46) * 86400u - rng_() % 2;
      by_lower[m.lower] = static_cast<int>(items->size());
      items->push_back(m);
      return static_cast<int>(items->size() - 1);
    };
    std::vector<int> folders;
    for (uint8_t d : {uint8_t(2), uint8_t(3), uint8_t(4)}) {
      folders.push_back(add(-1, std::u16string(1, u'A' + d) + u":", true, d));
    }
    for (int k = 0; k < 120; ++k) {
      const int parent = folders[rng_() % folders.size()];
      const int f = add(parent, Name(true), true, (*items)[parent].drive);
      if (f >= 0) folders.push_back(f);
    }
    for (int k = 0; k < 700; ++k) {
      const int parent = folders[rng_() % folders.size()];
      add(parent, Name(false), false, (*items)[parent].drive);
    }
    // Names that hold every trigram of "abcd" or "bcdab" without holding the word.
    for (const char16_t* name : {u"abcxbcd", u"xbcdab", u"abcd1", u"bcdabcdab"}) {
      const int parent = folders[rng_() % folders.size()];
      add(parent, name, false, (*items)[parent].drive);
    }
    for (const ModelItem& m : *items) {
      if (m.folder) index->Folder(m.path, m.time);
      else index->File(m.path, m.bytes, m.time);
    }
    index->Build();
    // Hide two subtrees and record it in the model.
    for (int k = 0; k < 2; ++k) {
      const int h = folders[3 + rng_() % (folders.size() - 3)];
      index->db().SetHideState(index->Item((*items)[h].path), false);
      for (size_t i = 0; i < items->size(); ++i) {
        for (int p = static_cast<int>(i); p >= 0; p = (*items)[p].parent)
          if (p == h) (*items)[i].hidden = true;
      }
    }
    // Content hashes: a few duplicate groups among the files.
    std::vector<HashRecord> records;
    for (const ModelItem& m : *items) {
      if (m.folder || rng_() % 3 == 0) continue;
      HashRecord r = index->RecordFor(m.path, 0);
      if (rng_() % 10 == 0) r.hashed = 0;
      r.digest[0] = static_cast<uint8_t>(rng_() % 40);
      r.digest[1] = 1;
      records.push_back(r);
    }
    index->SetHashes(records);
  }

  std::u16string Fragment(const std::vector<ModelItem>& items) {
    const ModelItem& m = items[rng_() % items.size()];
    const std::u16string& n = m.name;
    const size_t a = rng_() % n.size();
    const size_t len = 1 + rng_() % std::min<size_t>(5, n.size() - a);
    std::u16string f = n.substr(a, len);
    for (auto& c : f) {
      if (rng_() % 5 == 0 && c >= u'a' && c <= u'z') c -= 32;
      // Letters that fold to ASCII from other bytes: the Kelvin sign, dotted capital I.
      if (rng_() % 3 == 0 && c == u'k') c = u'\u212A';
      if (rng_() % 3 == 0 && c == u'i') c = u'\u0130';
    }
    return rng_() % 6 ? f : ToUpper(f);
  }

  std::u16string Word(const std::vector<ModelItem>& items, const TestIndex& index) {
    std::u16string f = Fragment(items);
    if (f.find(u' ') != std::u16string::npos) return u"\"" + f + u"\"";
    switch (rng_() % 20) {
      case 0: return f + u"*";
      case 1: return u"*" + f;
      case 2: return f + u"*" + Fragment(items);
      case 3: return u"*" + f + u"*" + Fragment(items) + u"*";
      case 4: return f.size() > 1 ? f.substr(0, 1) + u"?" + f.substr(2) + u"*?" : f;
      case 5: return u"/f";
      case 6: return u"/D";
      case 7:
        return u"/size:" + U16(std::to_string(rng_() % 3000)) + (rng_() % 2 ? u"-" : u"") +
               (rng_() % 2 ? U16(std::to_string(rng_() % 5)) + u"k" : u"");
      case 8: return u"/size:2g-";
      case 9: return u"/dup:" + U16(std::to_string(rng_() % 4)) + u"-" + U16(std::to_string(rng_() % 5));
      case 10: return u"/date:19780101-19780301";
      case 11: return u"/hidden";
      case 12: return u"*." + std::u16string(rng_() % 2 ? u"txt" : u"exe");
      case 13: {
        char buf[16];
        std::snprintf(buf, sizeof buf, "/hash:%X", index.view().hash_values[rng_() % index.view().item_count]);
        return U16(buf);
      }
      case 14: return u"qz" + f;  // a trigram that no name holds
      case 15: return f + Fragment(items);
      case 16: return u"abcd";
      case 17: return u"bcdab";
      default: return f;
    }
  }

  // A date range over the generated times (the first 46 days from 2 October 1977).
  std::u16string DateRangeWord() {
    const auto day = [](uint32_t offset) {
      const uint32_t d = 2 + offset;
      char buf[32];  // room for any two numbers, as the compiler counts
      std::snprintf(buf, sizeof buf, "1977%02u%02u", d <= 31 ? 10u : 11u, d <= 31 ? d : d - 31);
      return U16(buf);
    };
    const uint32_t a = rng_() % 48, b = a + rng_() % 10;
    return u"/date:" + day(a) + (rng_() % 4 ? u"-" + day(b) : u"");
  }

  // Keywords and conditions read from the item tables, the shapes that are answered
  // without the matcher tree, and a few that look alike but are not.
  std::u16string ItemWord(const std::vector<ModelItem>& items, const TestIndex& index) {
    switch (rng_() % 12) {
      case 0:
      case 1: return u"/size:" + U16(std::to_string(rng_() % 5000)) + u"-" + U16(std::to_string(rng_() % 5000));
      case 2: return u"/SIZE:" + U16(std::to_string(1 + rng_() % 4)) + u"g-";
      case 3:
      case 4: return DateRangeWord();
      case 5: return rng_() % 2 ? u"/f" : u"/d";
      case 6: return u"/hidden";
      case 7: return u"!</size:2000-" + (rng_() % 2 ? u">" : u" " + Fragment(items) + u">");
      case 8: return u"</size:-3000 " + DateRangeWord() + u">";
      default: return Word(items, index);
    }
  }

  std::u16string ItemQuery(const std::vector<ModelItem>& items, const TestIndex& index) {
    std::u16string q = ItemWord(items, index);
    for (int k = rng_() % 3; k > 0; --k) q += u" " + ItemWord(items, index);
    if (rng_() % 3 == 0) q = Folder(items) + u" " + q;
    return q;
  }

  std::u16string Folder(const std::vector<ModelItem>& items) {
    const ModelItem& m = items[rng_() % items.size()];
    const ModelItem& f = m.folder ? m : items[std::max(m.parent, 0)];
    switch (rng_() % 4) {
      case 0: return f.path;
      case 1: return ToUpper(f.path) + u"\\";
      case 2: return f.name + u"\\";
      default: return u"\\" + f.name + u"\\";
    }
  }

  std::u16string Term(const std::vector<ModelItem>& items, const TestIndex& index, int depth) {
    const uint32_t r = rng_() % 10;
    if (depth < 2 && r == 0) return u"<" + Term(items, index, depth + 1) + u" " + Term(items, index, depth + 1) + u">";
    if (depth < 2 && r == 1) return u"!<" + Term(items, index, depth + 1) + u" " + Term(items, index, depth + 1) + u">";
    if (depth < 2 && r == 2) return Word(items, index) + u"|" + Word(items, index);
    if (depth < 2 && r == 3) return Word(items, index) + u" | " + Word(items, index) + u"|" + Word(items, index);
    return Word(items, index);
  }

  std::u16string Query(const std::vector<ModelItem>& items, const TestIndex& index) {
    if (rng_() % 4 == 0) return ItemQuery(items, index);
    std::u16string q;
    const int terms = rng_() % 4;
    for (int k = 0; k < terms; ++k) q += (k ? u" " : u"") + Term(items, index, 0);
    const uint32_t f = rng_() % 8;
    if (f == 0) q += u" " + Folder(items);
    if (f == 1) q += u" " + Folder(items) + u" " + Folder(items);
    if (f == 2) q = Folder(items) + u" " + q;
    if (rng_() % 10 == 0) q += u" /sort:size";
    return q;
  }

  std::mt19937& rng() { return rng_; }

 private:
  std::mt19937 rng_;
};

void RunSeed(uint32_t seed, int queries) {
  World world(seed);
  TestIndex index;
  std::vector<ModelItem> items;
  world.Build(&index, &items);
  // Model item -> index item, for the per-item hash tables.
  std::vector<uint32_t> to_index(items.size());
  for (size_t i = 0; i < items.size(); ++i) to_index[i] = index.Item(items[i].path);
  const SearchView& view = index.view();
  const Today today{2020, 1, 1, false};
  Oracle oracle(
      items, [&](size_t i) { return view.hash_values[to_index[i]]; },
      [&](size_t i) { return view.dup_counts[to_index[i]]; }, today);
  TermContext ctx;
  ctx.today = today;
  std::vector<std::u16string> lines;
  std::vector<PathSet> expected;
  for (int k = 0; k < queries; ++k) {
    lines.push_back(world.Query(items, index));
    expected.push_back(oracle.Run(lines.back()));
  }
  // The same queries over the index as decoded from its files and as mapped from its
  // search snapshot or read from it on demand (where words of 3 letters or more take its
  // trigram index), with every name scan split over two threads, and with a byte of the
  // trigram index damaged.
  constexpr SnapshotReads kMap = SnapshotReads::kMapped, kRead = SnapshotReads::kOnDemand;
  const struct {
    bool from_snapshot;
    SnapshotReads reads;
    int threads;
    bool damaged;
    const char* what;
  } modes[] = {{false, kMap, 1, false, "decoded, one thread"},
               {true, kMap, 1, false, "snapshot, one thread"},
               {true, kMap, 2, false, "snapshot, two threads"},
               {true, kMap, 1, true, "snapshot with a damaged trigram index"},
               {true, kRead, 2, false, "snapshot read on demand, two threads"},
               {true, kRead, 1, true, "snapshot read on demand with a damaged trigram index"}};
  const NameScanSplit saved = CurrentNameScanSplit();
  for (const auto& mode : modes) {
    index.Reload(mode.from_snapshot, mode.reads);
    if (mode.damaged) {
      // The trigram "txt" (a key, 8 bytes) is last found in the directory of the index.
      const std::u16string path = DbPath(index.home(), kSnapName, Env::Default());
      std::string snap = ReadFile(path);
      const size_t at = snap.rfind(std::string("t\0x\0t\0\0\0", 8));
      ASSERT_NE(at, std::string::npos);
      snap[at] ^= 0x10;
      index.Reload(true, mode.reads, [&] { WriteFile(path, snap); });
    }
    SetNameScanSplit({mode.threads, 0});
    std::map<std::u16string, uint32_t> index_of;
    for (uint32_t i = 0; i < index.db().item_count(); ++i) index_of[index.Path(i)] = i;
    int differences = 0;
    for (int k = 0; k < queries && differences < 5; ++k) {
      const std::vector<std::u16string> found = FindOrdered(index, lines[k], false, ctx);
      const PathSet actual(found.begin(), found.end());
      if (expected[k] != actual) {
        ++differences;
        ADD_FAILURE() << "seed " << seed << " (" << mode.what << ") query #" << k << " [" << ToUtf8(lines[k])
                      << "]: engine " << actual.size() << " items, reference " << expected[k].size();
      }
      // Without a sort clause results come in index order, whichever cursor found them.
      for (size_t j = 1; j < found.size() && lines[k].find(u"/sort") == std::u16string::npos; ++j) {
        if (index_of[found[j - 1]] < index_of[found[j]]) continue;
        ++differences;
        ADD_FAILURE() << "seed " << seed << " (" << mode.what << ") query #" << k << " [" << ToUtf8(lines[k])
                      << "]: out of index order at result " << j;
        break;
      }
    }
    if (mode.damaged) { EXPECT_FALSE(index.db().from_snapshot()) << "seed " << seed << ": the damage was not noticed"; }
  }
  SetNameScanSplit(saved);
}

TEST(OracleTest, FixedSeeds) {
  for (uint32_t seed : {1u, 2u, 3u, 42u}) RunSeed(seed, 1500);
}

TEST(OracleTest, FreshSeed) {
  const uint32_t seed = std::random_device{}();
  SCOPED_TRACE("fresh seed " + std::to_string(seed));
  RunSeed(seed, 1500);
}

}  // namespace
}  // namespace nusk::testing
