#include "ui/status_text.h"

#include "l10n/mui.h"
#include "ui/cell_text.h"

namespace nusk {

std::u16string FillPlaceholders(std::u16string_view format, std::initializer_list<std::u16string_view> args) {
  std::u16string out;
  auto next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    const char16_t c = format[i];
    if (c == u'%' && i + 1 < format.size()) {
      const char16_t f = format[i + 1];
      if (f == u'%') {
        out += u'%';
        ++i;
        continue;
      }
      if (f == u's' || f == u'd') {
        if (next != args.end()) out += *next++;
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

std::u16string ReadyStatus(uint64_t total_items) {
  const std::u16string total = FillPlaceholders(Tr(u"MSG.TOTAL_STATUS", u"Total %s items"), {GroupDigits(total_items)});
  return Tr(u"MSG.READY_STATUS", u"Ready") + u" (" + total + u")";
}

std::u16string FoundStatus(uint64_t found, uint64_t elapsed_ms) {
  std::u16string ms;
  for (char c : std::to_string(elapsed_ms)) ms += char16_t(c);
  return FillPlaceholders(Tr(u"MSG.RESULT_FOUND_COUNT", u"Found %s items (%d) ms"), {GroupDigits(found), ms});
}

std::u16string SearchDoneStatus(std::u16string_view query, bool show_all_for_empty, uint64_t total_items,
                                uint64_t found, uint64_t elapsed_ms) {
  if (query.empty() && !show_all_for_empty) return ReadyStatus(total_items);
  return FoundStatus(found, elapsed_ms);
}

std::u16string SelectionStatus(uint64_t count, uint64_t total_bytes, bool human) {
  std::u16string number;
  for (char c : std::to_string(count)) number += char16_t(c);
  const std::u16string size = FormatSize(total_bytes, human, TableSizeUnits());
  const std::u16string table = Tr(count == 1 ? u"MSG.ITEM_SELECTED" : u"MSG.ITEM_SELECTED_PLURAL", u"");
  if (!table.empty()) return FillPlaceholders(table, {number, size});
  return number + (count == 1 ? u" item selected, " : u" items selected, ") + size;
}

std::u16string EmptyListText() {
  return Tr(u"MSG.LISTVIEW_EMPTY_MESSAGE", u"Please enter file name in the text box to start your search");
}

std::u16string WindowTitle(std::u16string_view search_text, std::u16string_view home, bool default_home) {
  std::u16string title = search_text.empty() ? u"Nusk" : std::u16string(search_text) + u" - Nusk";
  if (!default_home) title += u" (" + std::u16string(home) + u")";
  return title;
}

const std::u16string& StatusStack::Set(std::u16string_view text) {
  if (text == u"{PUSH}") {
    saved_.push_back(current_);
  } else if (text == u"{POP}") {
    if (!saved_.empty()) {
      current_ = std::move(saved_.back());
      saved_.pop_back();
    }
  } else {
    current_ = text;
  }
  return current_;
}

}  // namespace nusk
