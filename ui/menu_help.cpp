#include "ui/menu_help.h"

#include "l10n/mui.h"

namespace nusk {

namespace {

struct Help {
  std::u16string_view key, english;
};

constexpr Help kHelp[] = {
    {u"help.about", u"Display version information and copyright."},
    {u"file.export", u"Export result file names(with full path) to a text file."},
    {u"database.clean", u"Remove any information in current database."},
    {u"database.show_statistics", u"Show statistics information about current database."},
    {u"help.help", u"View help topics."},
    {u"database.build_all", u"Build database for all volumes."},
    {u"edit.copy_full_name", u"Copy selected items's full names"},
    {u"edit.copy_name", u"Copy selected items' names"},
    {u"edit.text_size", u"Contains commands for adjusting the font size."},
    {u"edit.text_size.increase", u"Increase the font size."},
    {u"edit.copy", u"Copy selected items."},
    {u"edit.text_size.decrease", u"Decrease the font size."},
    {u"edit.text_size.reset", u"Restore the font size to default size."},
    {u"tools.options", u"Edit options."},
    {u"database.rebuild_all", u"Rebuild database for all volumes."},
    {u"file.close", u"Close main window and exit(or minimize to system tray)."},
    {u"help.check_for_updates", u"Check for new Nusk versions."},
    {u"help.tip_of_the_day", u"Open \"Tip of the day\" dialog."},
    {u"search.go_forward", u"Go forward to next search."},
    {u"search.go_backword", u"Go back to previous search."},
    {u"search.go_up", u"Search parent folder."},
    {u"database.show_ignored_folders", u"List folders that contain _nuskIgnore file."},
};

}  // namespace

std::u16string MenuHelpText(std::u16string_view key) {
  if (CMUI* ui = CurrentUI()) {
    std::u16string text = ui->MenuHelp(key);
    if (!text.empty()) return text;
  }
  for (const Help& h : kHelp)
    if (h.key == key) return std::u16string(h.english);
  return {};
}

}  // namespace nusk
