#include "app/usage.h"

#include "platform/console.h"
#include "platform/process_info.h"
#include "util/version.h"

namespace nusk {

const char kUsageText[] =
    "\nUsage: nusk [Command] [Options]\n"
    "\nCommand: build [drive]\n"
    "  Description\n"
    "    Scan drives and save file informations to database.\n"
    "  Options\n"
    "    [drive]       Drive to scan. if not specified, scan all drives.\n"
    "\nCommand: clean\n"
    "  Description\n"
    "    Empty current database.\n"
    "\nCommand: find [-f] [rootdir] [filepattern]\n"
    "  Description\n"
    "    Find files with specified pattern.\n"
    "  Options\n"
    "    [-f]          Find files only.\n"
    "    [rootdir]     The start location where files are searched for.\n"
    "    [filepattern] File name pattern. Wildcard(*) is supported.\n"
    "\nCommand: gui\n"
    "  Description\n"
    "    Show graphical user interface to find files or maintain database.\n"
    "\nCommand: (EMPTY)\n"
    "  Options\n"
    "    -v            Show version information.\n"
    "    -h            Print usage information.\n\n";

const char kVersionText[] = "\nnusk version: " NUSK_VERSION "\n";

void PrintUsage(std::FILE* out) {
  std::fprintf(out, "%s", kUsageText);
  std::fflush(out);
  if (ParentProcessName() == u"explorer.exe") {
    std::fprintf(out, "\nPress any key to close.\n");
    std::fflush(out);
    WaitForKeyPress();
  }
}

}  // namespace nusk
