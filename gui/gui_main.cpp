// The gui sub-command: what happens before the main window exists, the window, and the
// message loop. The single-instance rules, the hand-over to a running window and the
// abnormal-end question come first in the full start-up; RunGui keeps their places.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <ole2.h>

#include "app/console_clean.h"
#include "app/home.h"
#include "app/subcommands.h"
#include "gui/crash_handler.h"
#include "gui/instance.h"
#include "gui/main_window.h"
#include "gui/small_dialogs.h"
#include "index/db_files.h"
#include "l10n/language_files.h"
#include "l10n/mui.h"
#include "l10n/ui_keys.h"
#include "platform/env.h"
#include "platform/profile.h"
#include "platform/win32/win_text.h"
#include "settings/process_state.h"
#include "settings/setting_keys.h"
#include "ui/launch_text.h"

namespace nusk {

namespace {

LocaleInfo SystemLocale() {
  LocaleInfo info;
  const LCID lcid = GetUserDefaultLCID();
  info.lcid = lcid;
  wchar_t buf[16] = {};
  if (GetLocaleInfoW(lcid, LOCALE_SISO639LANGNAME, buf, 16)) info.language = U(buf);
  if (GetLocaleInfoW(lcid, LOCALE_SISO3166CTRYNAME, buf, 16)) info.country = U(buf);
  return info;
}

}  // namespace

// Step 3: the interface language.
void InstallWindowLanguage(const SettingsFile& settings) {
  InstallUI(CreateLanguageTable(GetInteger(settings, SettingId::kLanguage), GetText(settings, SettingId::kLanguageFile),
                                SystemLocale(), ProgramFolder(), Env::Default(), Profile::Default()));
}

int RunGui(const Args& args) {
  ProcessState& ps = Process();
  const SettingsFile settings(ps.settings_path);
  // A console opened only for this process would stay behind the window: let it go.
  DWORD console_pids[2];
  if (GetConsoleProcessList(console_pids, 2) == 1) FreeConsole();

  // The arguments after the sub-command: the search text (steps 2 and 8).
  std::vector<std::u16string> words;
  for (size_t i = 2; i < args.size(); ++i) words.push_back(args[i]);
  // Steps 1 and 2: a running build, or another window of this folder that takes the search.
  bool other_instance = false;
  if (const std::optional<int> status = RunInstanceSteps(words, settings, ps.home_folder, &other_instance)) {
    return *status;
  }
  InstallWindowLanguage(settings);
  // Step 4.
  if (!CleanAfterAbnormalEndStep(settings, other_instance)) return 0;

  // Step 5: an index written by an incompatible version is cleaned before the window opens.
  const std::u16string version = ReadFormatVersion(ps.home_folder, Env::Default());
  bool rebuild_required = false;
  if (HasDatabase(ps.home_folder, Env::Default()) && version != u"3.0.0" && version != u"4.0.0") {
    constexpr char16_t kKey[] = u"MSG.REBUILD_DATABASE_REQUIRED_PROMPT";
    const std::u16string text = Tr(kKey, EnglishMessage(kKey));
    if (MessageBoxW(nullptr, W(text).c_str(), L"Nusk", MB_OKCANCEL | MB_ICONINFORMATION) != IDOK) return 0;
    CleanWholeDatabase(CleanIo::Process());
    ResetLegacyDatabaseSettings(settings);
    rebuild_required = true;  // the window builds without asking once it is up
  }
  // Step 6.
  if (!other_instance) SetInteger(settings, SettingId::kLastUIStartTime, NowFileTime());
  // Step 7.
  InstallGuiCrashHandler(ps.home_folder);
  OleInitialize(nullptr);
  INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  // Step 8: the initial search text.
  MainWindowConfig config;
  config.home = ps.home_folder;
  config.settings_path = ps.settings_path;
  config.default_home = ps.home_folder == DefaultHome(Env::Default());
  config.rebuild_required = rebuild_required;
  config.initial_text = WithSpaceForExistingPath(JoinSearchArguments(words), PathExists);
  // Steps 9 and 10 (a window that starts hidden shows when its icon could not be added).
  const WindowOptions options = ReadWindowOptions(settings);
  config.show = !(options.start_minimized && options.close_to_tray);
  MainWindow window;
  // The tip of the day after the first result (message 20429), over the window.
  config.show_tip = [&window, &config] { ShowTipOfTheDay(window.hwnd(), config.settings_path); };
  if (!window.Create(config)) {
    MessageBoxW(nullptr, L"The main window could not be created.", L"Nusk", MB_OK | MB_ICONERROR);
    OleUninitialize();
    return 1;
  }
  // Step 11 (the window records its clean end while saving its state).
  const int status = RunMessageLoop(&window);
  OleUninitialize();
  return status;
}

}  // namespace nusk
