#include "app/startup.h"

#include <new>
#include <string>

#include "app/arguments.h"
#include "app/home.h"
#include "app/interrupt.h"
#include "app/usage.h"
#include "platform/env.h"
#include "platform/folder_icon.h"
#include "platform/process_info.h"
#include "platform/profile.h"
#include "settings/process_state.h"
#include "util/utf.h"

namespace nusk {

namespace {

int RunSubcommand(const Args& args, const SubcommandTable& table, std::FILE* out, std::FILE* err) {
  const std::u16string& word = args[1];
  if (word == u"clean") return table.clean(args);
  if (word == u"build") return table.build(args);
  if (word == u"find") return table.find(args);
  if (word == u"test") return 0;
  if (word == u"gui") return table.gui(args);
  if (word == u"build_server") return table.build_server(args);
  if (word == u"web" || word == u"webserver") return table.web(args);
  bool last = args.size() == 2;
  if ((word == u"-v" || word == u"--version") && last) {
    std::fprintf(out, "%s", kVersionText);
    return 0;
  }
  if (word == u"-h" && last) {
    PrintUsage(out);
    return 0;
  }
  if (!word.empty() && word[0] == u'-') {
    std::fprintf(err, "nusk: unknown option or extra arguments: %s\n", ToUtf8(word).c_str());
  } else {
    std::fprintf(err, "invalid sub command :%s\n", ToUtf8(word).c_str());
  }
  std::fflush(err);
  PrintUsage(out);
  return kUsageError;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "nusk: %s\n", message.c_str());
  return kUsageError;
}

}  // namespace

const SubcommandTable& DefaultSubcommands() {
  static const SubcommandTable table{RunBuild, RunBuildServer, RunFind, RunClean, RunWebServer, RunGui};
  return table;
}

int Dispatch(const Args& args, const SubcommandTable& table, std::FILE* out, std::FILE* err) {
  int status;
  if (args.size() < 2) {
    std::fprintf(err, "nusk: no sub-command given\n");
    PrintUsage(out);
    status = kUsageError;
  } else {
    try {
      status = RunSubcommand(args, table, out, err);
    } catch (const std::bad_alloc&) {
      // An index or a result too large for this process: say so instead of aborting.
      std::fflush(out);
      std::fprintf(err, "nusk %s: not enough memory\n", ToUtf8(args[1]).c_str());
      status = 1;
    }
  }
  std::fflush(out);
  FinishSubcommand();
  return status;
}

int RunProgram(Args args) {
  if (args.empty()) args.push_back(u"nusk");
  if (args.size() == 1) args.push_back(u"gui");
  UseUserLocale();
  ProcessState& state = Process();
  state.newer_system = IsNewerSystem();

  Env* env = Env::Default();
  char16_t sep = env->PathSeparator();
  if (TakeDbdirOption(&args, sep, &state.folder_override) == DbdirOption::kMissingValue) {
    std::fprintf(stderr, "nusk: --dbdir needs a folder\n");
    std::fflush(stderr);
    PrintUsage(stdout);
    return kUsageError;
  }
  // "nusk --dbdir folder" alone opens the window on that folder, like "nusk" alone.
  if (args.size() == 1) args.push_back(u"gui");

  if (!InstallInterruptHandling()) {
    std::fprintf(stderr, "\nERROR: Could not set control handler\n");
    return 1;
  }

  state.home_folder = ResolveHome(env, Profile::Default(), state.folder_override);
  if (state.home_folder.empty()) {
    return Fail("cannot find a folder for the database (set --dbdir, or HOME or XDG_DATA_HOME)");
  }
  // Only the default home on POSIX may lack its parents; a folder the user named must
  // have an existing parent, so a mistyped path is reported rather than created.
  bool default_posix_home = sep == u'/' && state.folder_override.empty() && state.home_folder == DefaultHome(env);
  Status created = CreateHomeFolder(env, state.home_folder, default_posix_home);
  if (!created.ok()) {
    return Fail("cannot use the database folder \"" + ToUtf8(state.home_folder) + "\": " + created.message());
  }
  if (state.newer_system && !EnsureFolderIcon(state.home_folder, env->ExecutablePath())) {
    // Only the folder's look is lost; the database works the same.
    env->DebugOutput(u"The icon of the database folder " + state.home_folder + u" could not be set.");
  }
  state.settings_path = state.home_folder + u"nusk.ini";
  state.entry_points = LoadOptionalEntryPoints();
  return Dispatch(args, DefaultSubcommands(), stdout, stderr);
}

}  // namespace nusk
