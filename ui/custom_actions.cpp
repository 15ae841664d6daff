#include "ui/custom_actions.h"

#include "settings/numbered_list.h"

namespace nusk {

namespace {

std::u16string_view Trim(std::u16string_view s) {
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

const std::vector<CustomAction>& DefaultCustomActions() {
  static const std::vector<CustomAction> defaults = {
      {u"Open path in command prompt", u"cmd /K cd /d \"%~dp1\""},
      {u"Notepad", u"notepad.exe \"%1\""},
      {u"Open path test", u"%WINDIR%\\explorer.exe /select,\"%1\""},
  };
  return defaults;
}

std::vector<CustomAction> ReadCustomActions(const SettingsFile& file) {
  std::vector<CustomAction> actions;
  for (NumberedItem& item : LoadNumberedList(file, kCustomActionList)) {
    if (actions.size() == kMaxCustomActions) break;
    actions.push_back({std::move(item[0]), std::move(item[1])});
  }
  return actions;
}

bool WriteCustomActions(const SettingsFile& file, const std::vector<CustomAction>& actions) {
  std::vector<NumberedItem> items;
  for (const CustomAction& a : actions) items.push_back({a.name, a.command});
  return SaveNumberedList(file, kCustomActionList, items);
}

bool EnsureDefaultCustomActions(const SettingsFile& file) {
  if (file.HasKey(kCustomActionList.section, u"Count")) return false;
  return WriteCustomActions(file, DefaultCustomActions());
}

std::u16string CustomActionsText(const std::vector<CustomAction>& actions) {
  std::u16string text;
  for (const CustomAction& a : actions) {
    if (!text.empty()) text += u"\r\n";
    text += a.name + u"=" + a.command;
  }
  return text;
}

ParsedCustomActions ParseCustomActionsText(std::u16string_view text) {
  ParsedCustomActions out;
  size_t from = 0;
  while (from <= text.size()) {
    size_t end = text.find(u'\n', from);
    if (end == std::u16string_view::npos) end = text.size();
    std::u16string raw;
    for (char16_t c : text.substr(from, end - from))
      if (c != u'\r') raw += c;
    from = end + 1;
    const std::u16string_view line = Trim(raw);
    if (line.empty()) continue;
    const size_t eq = line.find(u'=');
    if (eq == std::u16string_view::npos || eq == 0 || line.back() == u'=') {
      out.error = CustomActionsError::kBadLine;
      out.line = line;
      return out;
    }
    CustomAction a{std::u16string(Trim(line.substr(0, eq))), std::u16string(Trim(line.substr(eq + 1)))};
    if (a.name.empty() || a.command.empty()) {  // "  = x": blank on one side of the sign
      out.error = CustomActionsError::kBadLine;
      out.line = line;
      return out;
    }
    if (a.name.size() > kMaxCustomActionText || a.command.size() > kMaxCustomActionText) {
      out.error = CustomActionsError::kTooLong;
      out.line = line;
      return out;
    }
    out.actions.push_back(std::move(a));
  }
  if (out.actions.size() > kMaxCustomActions) {
    out.error = CustomActionsError::kTooMany;
    out.actions.clear();
  }
  return out;
}

bool NeedsSelection(std::u16string_view expanded_command) {
  return expanded_command.find(u'%') != std::u16string_view::npos;
}

std::u16string FolderOfPath(std::u16string_view path) {
  const size_t slash = path.rfind(u'\\');
  return slash == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, slash));
}

std::u16string CustomActionCommandLine(std::u16string_view stored,
                                       const std::function<std::u16string(std::u16string_view)>& expand,
                                       std::u16string_view path) {
  std::u16string unbracketed;
  for (char16_t c : stored)
    if (c != u'[' && c != u']') unbracketed += c;
  const std::u16string line = expand ? expand(unbracketed) : unbracketed;
  constexpr std::u16string_view kFolder = u"%~dp1", kPath = u"%1";
  std::u16string out;
  for (size_t i = 0; i < line.size();) {
    const std::u16string_view rest = std::u16string_view(line).substr(i);
    if (rest.starts_with(kFolder)) {
      out += FolderOfPath(path);
      i += kFolder.size();
    } else if (rest.starts_with(kPath)) {
      out += path;
      i += kPath.size();
    } else {
      out += line[i++];
    }
  }
  return out;
}

std::u16string CommandProgram(std::u16string_view command) {
  command = Trim(command);
  if (!command.empty() && command.front() == u'"') {
    const size_t close = command.find(u'"', 1);
    return std::u16string(
        command.substr(1, close == std::u16string_view::npos ? std::u16string_view::npos : close - 1));
  }
  return std::u16string(command.substr(0, command.find_first_of(u" \t")));
}

}  // namespace nusk
