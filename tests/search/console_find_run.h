// Console find run in this process over a home folder's index, with what it printed,
// noted and reported kept for the tests to compare.
#pragma once
#include <string>
#include <vector>

#include "app/console_find.h"
#include "platform/env.h"

namespace nusk::testing {

struct ConsoleFind {
  int status = -1;
  std::u16string out, note;
  std::string err;
  // The printed entries in output order, each ended by `end` (NUL after -0); text after
  // the last separator is not an entry.
  std::vector<std::u16string> Entries(char16_t end = u'\n') const {
    std::vector<std::u16string> entries;
    for (size_t start = 0, at; (at = out.find(end, start)) != std::u16string::npos; start = at + 1)
      entries.push_back(out.substr(start, at - start));
    return entries;
  }
};

// "nusk find <words>" over home's index, its paths shown through drives.
inline ConsoleFind RunConsoleFind(const std::u16string& home, const std::vector<std::u16string>& words,
                                  DriveMap drives = DriveMap::Native()) {
  ConsoleFind r;
  FindIo io;
  io.env = Env::Default();
  io.result = [&r](std::u16string_view s) { r.out += s; };
  io.note = [&r](std::u16string_view s) { r.note += s; };
  io.error = [&r](std::string_view s) { r.err += s; };
  io.home = home;
  io.settings_path = home + u"nusk.ini";
  io.drives = std::move(drives);
  Args args = {u"nusk", u"find"};
  args.insert(args.end(), words.begin(), words.end());
  r.status = FindCommand(args, io);
  return r;
}

}  // namespace nusk::testing
