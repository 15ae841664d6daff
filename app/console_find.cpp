#include "app/console_find.h"

#include <cstdio>

#include "index/nusk_db.h"
#include "platform/env.h"
#include "platform/profile.h"
#include "platform/terminal.h"
#include "search/find_result.h"
#include "search/folder_scope.h"
#include "search/hash_info.h"
#include "search/named_searches.h"
#include "search/present_drives.h"
#include "search/query_parser.h"
#include "settings/process_state.h"
#include "util/casemap.h"
#include "util/utf.h"

namespace nusk {

const char kFindHelpText[] =
    "Usage: nusk find [--in FOLDER] [--] [query words...]\n"
    "\n"
    "Prints the full path of every indexed item that matches the query, one per line.\n"
    "The summary \"Found N items (T ms)\" goes to the terminal, or to standard error when\n"
    "the output is redirected, never into piped output.\n"
    "\n"
    "  --in FOLDER   search only below FOLDER, given as a native path such as /usr/lib\n"
    "                (a query word beginning with \"/\" is a switch such as /f or /size:1m,\n"
    "                so folders cannot be typed that way inside the query on Linux).\n"
    "                Drive forms such as c:\\usr\\lib also work as query words.\n"
    "  --            end of options: every later word is query text.\n"
    "  --help        this text.\n"
    "\n"
    "Query words: keywords that must all occur in the name; a|b for either; * and ?\n"
    "wildcards; <a b> groups and !<a b> negation; /f files, /d folders, /size:1k-10m,\n"
    "/date:20140101-20141231, /dup:2, /hash:HEX, /hidden; @Name inserts a named search.\n";

namespace {

constexpr uint64_t kCancelCheckEvery = 10;

// The query text from the words: single spaces; a word with a space is quoted.
std::u16string JoinWords(const Args& args, size_t first) {
  std::u16string text;
  for (size_t i = first; i < args.size(); ++i) {
    if (!text.empty()) text += u' ';
    if (args[i].find(u' ') != std::u16string::npos) text += u"\"" + args[i] + u"\"";
    else text += args[i];
  }
  return text;
}

bool HasSwitch(const std::u16string& lower, std::u16string_view what) {
  return lower.find(what) != std::u16string::npos;
}

class Finder {
 public:
  Finder(const FindIo& io, NuskDb* db) : io_(io), db_(db) {}

  void Print(uint32_t item) {
    std::u16string path = io_.drives.ToNativePath(db_->BuildPath(item, true));
    path += u'\n';
    io_.result(path);
    ++found_;
  }

  // Walks the cursor; keep decides per item. False when Ctrl-C stopped it.
  template <typename Keep>
  void Walk(INuskFindResult* cursor, Keep keep) {
    uint64_t examined = 0;
    while (cursor->Next()) {
      if (++examined % kCancelCheckEvery == 0 && Process().cancel_requested.load()) return;
      const uint32_t item = cursor->Current();
      if (keep(item)) Print(item);
    }
  }

  uint64_t found() const { return found_; }

 private:
  const FindIo& io_;
  NuskDb* db_;
  uint64_t found_ = 0;
};

}  // namespace

FindIo FindIo::Process() {
  FindIo io;
  const bool flush_each = StdoutIsTerminal();
  io.result = [flush_each](std::u16string_view line) { WriteStdout(line, flush_each); };
  io.note = [](std::u16string_view text) { WriteTerminalNote(text); };
  io.error = [](std::string_view text) {
    std::fflush(stdout);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  };
  io.home = nusk::Process().home_folder;
  io.settings_path = nusk::Process().settings_path;
  io.drives = DriveMap::Load(io.settings_path);
  return io;
}

int FindCommand(const Args& args, const FindIo& io) {
  size_t first = 2;
  std::u16string in_folder;
  while (first < args.size()) {
    const std::u16string& a = args[first];
    if (a == u"--help") {
      io.result(FromUtf8(kFindHelpText));
      return 0;
    }
    if (a == u"--") {
      ++first;
      break;
    }
    if (a != u"--in") break;
    if (first + 1 >= args.size()) {
      io.error("nusk find: --in needs a folder\n");
      return 2;
    }
    std::u16string native = args[first + 1];
    // On POSIX a trailing '\' belongs to the folder's name.
    const auto separator = [&io](char16_t c) { return c == u'/' || (c == u'\\' && io.drives.native_letters()); };
    while (native.size() > 1 && separator(native.back())) native.pop_back();
    if (!io.drives.FromNativePath(native, &in_folder)) {
      io.error("nusk find: no indexed drive holds " + ToUtf8(native) + " (give an absolute folder)\n");
      return 2;
    }
    first += 2;
  }

  const std::u16string text = JoinWords(args, first);
  TermContext ctx;
  ctx.present_drives = PresentDrives(io.drives);
  NamedSearches named(Profile::Default(), io.settings_path);
  if (text.find(u'@') != std::u16string::npos) {
    named.EnsureDefaults();
    ctx.lookup_named = [&named](std::u16string_view name) { return named.Lookup(name); };
  }
  ParsedQuery query = ParseQuery(text);
  if (!in_folder.empty()) {
    if (!query.folder.empty() || !query.folders.empty()) {
      io.error("nusk find: give the folder either with --in or in the query, not both\n");
      return 2;
    }
    query.folder = in_folder;
  }

  NuskDb db;
  const Status loaded = LoadNuskDb(&db, io.home);
  if (!loaded.ok()) {
    io.error("nusk find: the database cannot be used: " + loaded.message() +
             "\nRun \"nusk build\" to rebuild it.\n");
    return 1;
  }
  HashInfo hashes;
  const std::u16string lower = ToLower(text);
  if (HasSwitch(lower, u"/dup:") || HasSwitch(lower, u"/hash:") || HasSwitch(lower, u"@")) {
    const Status h = hashes.Load(db, io.home);
    if (!h.ok()) io.error("nusk find: content hashes ignored: " + h.message() + "\n");
    if (hashes.match().stale != 0) {
      io.error("nusk find: " + std::to_string(hashes.match().stale) +
               " content hashes no longer match their files (changed or renamed since hashing) and were "
               "left out; run sumtor again\n");
    }
  }
  const SearchView view(&db, &hashes);
  const uint64_t start = Env::Default()->MonotonicMs();
  Finder finder(io, &db);
  const FolderScope scope = ResolveFolderScope(view, query.folder);
  FindResultPtr cursor = CreateFindResult(query, view, ctx);
  if (!scope.resolved() && query.folder.find(u'\\') != std::u16string::npos) {
    // A folder that is not an indexed absolute path: any item whose path contains it.
    const std::u16string part = ToLower(query.folder);
    finder.Walk(cursor.get(), [&](uint32_t item) {
      return db.BuildLowerPath(item).find(part) != std::u16string_view::npos;
    });
  } else {
    finder.Walk(cursor.get(), [&](uint32_t item) { return !scope.resolved() || scope.Contains(view, item); });
  }
  const uint64_t ms = Env::Default()->MonotonicMs() - start;
  char summary[96];
  std::snprintf(summary, sizeof summary, "\nFound %llu items (%llu ms)\n\n",
                static_cast<unsigned long long>(finder.found()), static_cast<unsigned long long>(ms));
  io.note(U16(summary));
  return 0;
}

int RunFind(const Args& args) { return FindCommand(args, FindIo::Process()); }

}  // namespace nusk
