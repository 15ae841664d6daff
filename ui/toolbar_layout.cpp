#include "ui/toolbar_layout.h"

#include <algorithm>
#include <set>

namespace nusk {

namespace {

using I = ToolbarImageSet;
using M = ToolbarMenu;

// Image indices of the system's standard sets.
constexpr int kStdCut = 0, kStdCopy = 1, kStdDelete = 5, kStdFileNew = 6, kStdFileOpen = 7, kStdFileSave = 8,
              kStdPrintPre = 9, kStdProperties = 10, kStdHelp = 11, kStdFind = 12, kStdReplace = 13;
constexpr int kViewLargeIcons = 0, kViewList = 2, kViewDetails = 3, kViewSortDate = 6, kViewParentFolder = 8,
              kViewNetConnect = 9, kViewNetDisconnect = 10, kViewNewFolder = 11, kViewSmallIcons = 1;
constexpr int kHistBack = 0, kHistForward = 1, kHistFavorites = 2, kHistViewTree = 4;

constexpr ToolbarButtonDef kButtons[] = {
    {31, u"Search.GoBack", u"search.go_back", true, u"Go Back", I::kHistory, kHistBack, M::kNone, true},
    {32, u"Search.GoForward", u"search.go_forward", true, u"Go Forward", I::kHistory, kHistForward, M::kNone, true},
    {33, u"Search.GoUp", u"search.go_up", true, u"Go Up", I::kView, kViewParentFolder, M::kNone, true},
    {30, u"Search.NewSearch", u"new_search", false, u"New Search", I::kStandard, kStdFileNew, M::kNone, false},
    {37, u"Search.QueryComposer", u"query_composer", false, u"Query Composer", I::kStandard, kStdFind, M::kNone, false},
    {34, u"Search.RecentSearches", u"recent_searches", false, u"Recent Searches", I::kView, kViewSortDate, M::kWhole,
     false},
    {36, u"Search.NamedSearches", u"named_searches", false, u"Named Searches", I::kHistory, kHistFavorites, M::kWhole,
     false},
    {1, u"File.Open", u"open", false, u"Open", I::kStandard, kStdFileOpen, M::kNone, false},
    {2, u"File.OpenPath", u"open_path", false, u"Open Path", I::kView, kViewNewFolder, M::kNone, false},
    {6, u"File.Properties", u"properties", false, u"Properties", I::kStandard, kStdProperties, M::kNone, false},
    {7, u"File.MoreActions", u"more_actions", false, u"More Actions", I::kView, kViewSmallIcons, M::kWhole, false},
    {10, u"Edit.Copy", u"copy", false, u"Copy", I::kStandard, kStdCopy, M::kNone, false},
    {11, u"Edit.CopyName", u"copy_name", false, u"Copy Name", I::kStandard, kStdCopy, M::kNone, false},
    {12, u"Edit.CopyFullName", u"copy_full_name", false, u"Copy Full Name", I::kStandard, kStdCopy, M::kNone, false},
    {60, u"Database.BuildAll", u"build_all", false, u"Build All", I::kStandard, kStdFileSave, M::kArrow, false},
    {76, u"Database.Build", u"build", false, u"Build", I::kStandard, kStdFileSave, M::kWhole, false},
    {67, u"Database.CleanAll", u"clean_all", false, u"Clean All", I::kStandard, kStdDelete, M::kNone, false},
    {77, u"Database.Clean", u"clean", false, u"Clean", I::kStandard, kStdCut, M::kWhole, false},
    {66, u"Database.Statistics", u"show_statistics", false, u"Statistics", I::kView, kViewDetails, M::kNone, false},
    {42, u"View.FolderTree", u"view_folder_tree", false, u"Folder Tree", I::kHistory, kHistViewTree, M::kNone, false},
    {44, u"View.Thumbnails", u"thumbnails", false, u"Thumbnails", I::kView, kViewLargeIcons, M::kNone, false},
    {45, u"View.AlternatRowGroupColors", u"alt_row_group_color", false, u"Alternate Row Colors", I::kView, kViewList,
     M::kNone, false},
    {70, u"Tools.Options", u"options", false, u"Options", I::kStandard, kStdReplace, M::kNone, false},
    {73, u"Tools.WebServer", u"web_server", false, u"Web Server", I::kView, kViewNetConnect, M::kNone, false},
    {74, u"Tools.PreviewWindow", u"tools.preview_window", true, u"Preview Window", I::kStandard, kStdPrintPre, M::kNone,
     false},
    {51, u"Help.HelpTopics", u"help", false, u"Help", I::kStandard, kStdHelp, M::kNone, false},
    {52, u"Help.CheckForUpdates", u"check_for_udpates", false, u"Check for Updates", I::kView, kViewNetDisconnect,
     M::kNone, false},
    {50, u"Help.About", u"about", false, u"About", I::kStandard, kStdPrintPre, M::kNone, false},
    {5, u"File.Exit", u"exit", false, u"Exit", I::kStandard, kStdDelete, M::kNone, false},
};

constexpr int kDefaultCodes[] = {31, 32, 33, 0, 30, 37, 34, 36, 0, 1, 2, 6, 7, 0, 10, 0, 60, 42, 70};

// The settings reader returns at most 254 characters of a value.
constexpr size_t kMaxSavedText = 254;
constexpr char16_t kEscapedComma = 27;

std::vector<std::u16string_view> Split(std::u16string_view text) {
  std::vector<std::u16string_view> parts;
  size_t from = 0;
  for (;;) {
    const size_t comma = text.find(u',', from);
    parts.push_back(text.substr(from, comma == std::u16string_view::npos ? std::u16string_view::npos : comma - from));
    if (comma == std::u16string_view::npos) return parts;
    from = comma + 1;
  }
}

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && s.front() == u' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == u' ') s.remove_suffix(1);
  return s;
}

std::optional<int> Decimal(std::u16string_view s) {
  if (s.empty() || s.size() > 6) return std::nullopt;
  int v = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') return std::nullopt;
    v = v * 10 + (c - u'0');
  }
  return v;
}

std::u16string EscapeName(std::u16string_view name) {
  std::u16string out(name);
  std::replace(out.begin(), out.end(), u',', kEscapedComma);
  return out;
}

}  // namespace

std::span<const ToolbarButtonDef> ToolbarButtons() { return kButtons; }

const ToolbarButtonDef* FindToolbarButton(int code) {
  for (const ToolbarButtonDef& b : kButtons)
    if (b.code == code) return &b;
  return nullptr;
}

const ToolbarButtonDef* FindToolbarButton(std::u16string_view command) {
  for (const ToolbarButtonDef& b : kButtons)
    if (b.command == command) return &b;
  return nullptr;
}

std::vector<ToolbarSlot> DefaultToolbarSlots() {
  std::vector<ToolbarSlot> slots;
  for (int code : kDefaultCodes) slots.push_back(code ? ToolbarSlot::Button(code) : ToolbarSlot::Separator());
  return slots;
}

SavedToolbar EncodeToolbar(std::span<const ToolbarSlot> slots) {
  SavedToolbar out;
  for (const ToolbarSlot& s : slots) {
    std::u16string part;
    std::u16string name;
    switch (s.kind) {
      case ToolbarSlot::Kind::kButton: {
        const std::string digits = std::to_string(s.code);
        part.assign(digits.begin(), digits.end());
        break;
      }
      case ToolbarSlot::Kind::kSeparator: part = u"-"; break;
      case ToolbarSlot::Kind::kCustomAction:
        if (s.action.empty()) continue;
        part = u"c";
        name = EscapeName(s.action);
        break;
    }
    const size_t state_len = out.state.size() + (out.state.empty() ? 0 : 1) + part.size();
    const size_t names_len = out.custom_names.size() + (out.custom_names.empty() ? 0 : 1) + name.size();
    if (state_len > kMaxSavedText || (!name.empty() && names_len > kMaxSavedText)) continue;
    if (!out.state.empty()) out.state += u',';
    out.state += part;
    if (!name.empty()) {
      if (!out.custom_names.empty()) out.custom_names += u',';
      out.custom_names += name;
    }
  }
  return out;
}

std::optional<std::vector<ToolbarSlot>> DecodeToolbar(std::u16string_view state, std::u16string_view custom_names,
                                                      bool state_present) {
  if (!state_present) return std::nullopt;
  std::vector<ToolbarSlot> slots;
  if (Trim(state).empty()) return slots;  // the user took every button away
  const std::vector<std::u16string> names = ParseCustomCommandNames(custom_names);
  size_t next_name = 0;
  std::set<int> codes;
  std::set<std::u16string> actions;
  bool usable = false;
  for (std::u16string_view raw : Split(state)) {
    const std::u16string_view part = Trim(raw);
    if (part == u"-") {
      if (!slots.empty() && slots.back().kind != ToolbarSlot::Kind::kSeparator)
        slots.push_back(ToolbarSlot::Separator());
      usable = true;
      continue;
    }
    if (part == u"c") {
      if (next_name >= names.size()) continue;
      const std::u16string& name = names[next_name++];
      if (actions.insert(name).second) slots.push_back(ToolbarSlot::Action(name));
      usable = true;
      continue;
    }
    const std::optional<int> code = Decimal(part);
    if (!code || !FindToolbarButton(*code)) continue;
    usable = true;
    if (codes.insert(*code).second) slots.push_back(ToolbarSlot::Button(*code));
  }
  while (!slots.empty() && slots.back().kind == ToolbarSlot::Kind::kSeparator) slots.pop_back();
  if (!usable) return std::nullopt;
  return slots;
}

std::vector<std::u16string> ParseCustomCommandNames(std::u16string_view text) {
  std::vector<std::u16string> names;
  if (text.empty()) return names;
  for (std::u16string_view part : Split(text)) {
    std::u16string name(part);
    std::replace(name.begin(), name.end(), kEscapedComma, u',');
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

std::u16string JoinCustomCommandNames(std::span<const std::u16string> names) {
  std::u16string out;
  for (const std::u16string& n : names) {
    if (n.empty()) continue;
    if (!out.empty()) out += u',';
    out += EscapeName(n);
  }
  return out;
}

std::u16string ToolbarTextFromMenuText(std::u16string_view menu_text) {
  std::u16string_view text = menu_text.substr(0, menu_text.find(u'\t'));
  // "戻る(&B)": the accelerator in brackets goes with its brackets.
  if (text.size() >= 4 && text.back() == u')' && text[text.size() - 4] == u'(' && text[text.size() - 3] == u'&') {
    text.remove_suffix(4);
  }
  if (text.ends_with(u"...")) text.remove_suffix(3);
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&') {
      if (i + 1 < text.size() && text[i + 1] == u'&') out += u'&', ++i;
      continue;
    }
    out += text[i];
  }
  return std::u16string(Trim(out));
}

}  // namespace nusk
