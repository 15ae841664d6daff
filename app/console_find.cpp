#include "app/console_find.h"

#include <cstdio>

#include "index/nusk_db.h"
#include "platform/env.h"
#include "platform/profile.h"
#include "platform/table_memory.h"
#include "platform/terminal.h"
#include "search/hash_info.h"
#include "search/named_searches.h"
#include "search/present_drives.h"
#include "search/query_parser.h"
#include "search/query_runner.h"
#include "settings/process_state.h"
#include "util/casemap.h"
#include "util/utf.h"

namespace nusk {

const char kFindHelpText[] =
    "Usage: nusk find [-f] [-0] [--in FOLDER] [--] [query words...]\n"
    "\n"
    "Prints the full path of every indexed item that matches the query, one per line.\n"
    "The summary \"Found N items (T ms)\" goes to the terminal, or to standard error when\n"
    "the output is redirected, never into piped output.\n"
    "\n"
    "  -f            files only (the same as the query word /f).\n"
    "  -0, --null    end each path with a NUL character instead of a line feed, for\n"
    "                xargs -0 (names may hold line breaks).\n"
    "  --in FOLDER   search only below FOLDER, given as a native path such as /usr/lib\n"
    "                (a query word beginning with \"/\" is a switch such as /f or /size:1m,\n"
    "                so folders cannot be typed that way inside the query on Linux).\n"
    "                Drive forms such as c:\\usr\\lib also work as query words.\n"
    "  --            end of options: every later word is query text, even one that\n"
    "                begins with '-'.\n"
    "  -h, --help    this text.\n"
    "\n"
    "Query words: keywords that must all occur in the name; a|b for either; * and ?\n"
    "wildcards; <a b> groups and !<a b> negation; /f files, /d folders, /size:1k-10m,\n"
    "/date:20140101-20141231, /dup:2, /hash:HEX, /hidden; @Name inserts a named search.\n"
    "A switch value that cannot be read (such as /size:>10k) is reported and nothing runs.\n";

namespace {

constexpr uint32_t kCancelCheckEvery = 10;

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

struct FindOptions {
  bool files_only = false;
  char16_t end = u'\n';      // after each path
  std::u16string in_folder;  // index form of --in
  bool help = false;
  Args words;
};

// Options come before "--" anywhere among the words; any other word beginning with '-'
// is refused, so a mistyped option is never searched for as a name. Returns an exit
// status, or -1 to go on.
int ParseFindOptions(const Args& args, const FindIo& io, FindOptions* out) {
  bool options_end = false;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    if (options_end || a.size() < 2 || a[0] != u'-') {
      out->words.push_back(a);
    } else if (a == u"--") {
      options_end = true;
    } else if (a == u"--help" || a == u"-h") {
      out->help = true;
    } else if (a == u"-f") {
      out->files_only = true;
    } else if (a == u"-0" || a == u"--null") {
      out->end = u'\0';
    } else if (a == u"--in") {
      if (i + 1 >= args.size()) {
        io.error("nusk find: --in needs a folder\n");
        return 2;
      }
      // Trailing separators need no trimming: the folder scope reads "C:\Windows\" as
      // "C:\Windows" (the console tests pin that for "/", "//" and a drive root).
      const std::u16string& native = args[++i];
      if (!io.drives.FromNativePath(native, &out->in_folder)) {
        io.error("nusk find: no indexed drive holds " + ToUtf8(native) + " (give an absolute folder)\n");
        return 2;
      }
    } else {
      io.error("nusk find: unknown option " + ToUtf8(a) + " (put -- before query words that begin with '-')\n");
      return 2;
    }
  }
  return -1;
}

// How a switch value is written, for the message about one that cannot be read.
const char* SwitchHint(std::u16string_view term) {
  const std::u16string lower = ToLower(term);
  if (lower.starts_with(u"/size:"))
    return "sizes are MIN-MAX with k, m or g: /size:10k (at least), /size:-1m, /size:1k-10m";
  if (lower.starts_with(u"/date:")) return "dates are yyyymmdd, yymmdd or mmdd: /date:20140101-20141231, /date:0101";
  if (lower.starts_with(u"/dup:")) return "counts are MIN-MAX: /dup:2, /dup:2-3";
  return "a hash is one to eight hexadecimal digits: /hash:1A2B3C4D";
}

}  // namespace

FindIo FindIo::Process(Env* env) {
  FindIo io;
  io.env = env;
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
  io.drives = DriveMap::Load(io.settings_path, Profile::Default(), env);
  return io;
}

int FindCommand(const Args& args, const FindIo& io) {
  FindOptions opt;
  if (const int status = ParseFindOptions(args, io, &opt); status >= 0) return status;
  if (opt.help) {
    io.result(FromUtf8(kFindHelpText));
    return 0;
  }
  std::u16string text = JoinWords(opt.words, 0);
  if (opt.files_only) text = text.empty() ? u"/f" : u"/f " + text;
  TermContext ctx;
  ctx.present_drives = PresentDrives(io.drives, io.env);
  NamedSearches named(Profile::Default(), io.settings_path);
  if (text.find(u'@') != std::u16string::npos) {
    named.EnsureDefaults();
    ctx.lookup_named = [&named](std::u16string_view name) { return named.Lookup(name); };
  }
  ParsedQuery query = ParseQuery(text);
  if (!opt.in_folder.empty()) {
    if (!query.folder.empty() || !query.folders.empty()) {
      io.error("nusk find: give the folder either with --in or in the query, not both\n");
      return 2;
    }
    query.folder = opt.in_folder;
  }
  const TermNotes notes = NoteQuery(query, ctx);
  if (!notes.unreadable.empty()) {
    for (const std::u16string& term : notes.unreadable) {
      io.error("nusk find: cannot read " + ToUtf8(term) + " (" + SwitchHint(term) + ")\n");
    }
    return 2;
  }

  NuskDb db;
  // A search reads a few blocks of the snapshot: read on demand, they are all it costs.
  const Status loaded = LoadNuskDb(&db, io.home, io.env, nullptr, SnapshotReads::kOnDemand);
  if (!loaded.ok()) {
    io.error("nusk find: the database cannot be used: " + loaded.message() + "\nRun \"nusk build\" to rebuild it.\n");
    return 1;
  }
  HashInfo hashes;
  if (notes.hash_switch) {
    const Status h = hashes.Load(db, io.home, io.env);
    if (!h.ok()) io.error("nusk find: content hashes ignored: " + h.message() + "\n");
    if (hashes.match().stale != 0) {
      io.error("nusk find: " + std::to_string(hashes.match().stale) +
               " content hashes no longer match their files (changed or renamed since hashing) and were "
               "left out; run sumtor again\n");
    }
  }
  const SearchView view(&db, &hashes);
  const uint64_t start = io.env->MonotonicMs();
  // The console lists in cursor order, prints hidden items like all others and matches a
  // folder without a drive against the whole path of each item.
  uint64_t found = 0;
  RunOptions options;
  options.hide_hidden = false;
  options.sort = false;
  options.partial = PartialFolder::kItemPath;
  std::u16string line;  // one buffer for every printed path
  options.on_item = [&](uint32_t item) {
    line.clear();
    io.drives.AppendNativePath(db.BuildPath(item, true), &line);
    line += opt.end;
    io.result(line);
    ++found;
  };
  StopCheck stop;
  stop.flag = &nusk::Process().cancel_requested;
  stop.every = kCancelCheckEvery;
  RunQuery(view, query, ctx, options, stop);
  const uint64_t ms = io.env->MonotonicMs() - start;
  char summary[96];
  std::snprintf(summary, sizeof summary, "\nFound %llu items (%llu ms)\n\n", static_cast<unsigned long long>(found),
                static_cast<unsigned long long>(ms));
  io.note(U16(summary));
  return 0;
}

int RunFind(const Args& args) {
  UseSmallPages();
  return FindCommand(args, FindIo::Process(Env::Default()));
}

}  // namespace nusk
