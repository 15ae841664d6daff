// The status-bar texts and the window title, looked up in the current language table
// (English without one), and the status bar's push/pop stack.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace nusk {

// Fills "%s" and "%d" placeholders of a (possibly translated) text with args in order;
// "%%" is one '%'. Missing args leave the placeholder empty; extra args are dropped, so a
// bad translation never reads past its arguments.
std::u16string FillPlaceholders(std::u16string_view format, std::initializer_list<std::u16string_view> args);

// "Ready (Total 1,234 items)".
std::u16string ReadyStatus(uint64_t total_items);
// "Found 1,234 items (5) ms".
std::u16string FoundStatus(uint64_t found, uint64_t elapsed_ms);
// The text after a search: Ready/Total for an empty query when empty searches do not show
// every item, else Found.
std::u16string SearchDoneStatus(std::u16string_view query, bool show_all_for_empty, uint64_t total_items,
                                uint64_t found, uint64_t elapsed_ms);
// "1 item selected, 2 KB" / "3 items selected, 1.50 KB"; total_bytes in the list's size
// format (human or KB). A table's `MSG.ITEM_SELECTED` / `MSG.ITEM_SELECTED_PLURAL` text
// is filled with the count and the size when present.
std::u16string SelectionStatus(uint64_t count, uint64_t total_bytes, bool human);

// The text an empty result list shows in its client area.
std::u16string EmptyListText();

// "abc - Nusk", or "Nusk" for an empty text; a home folder other than the default one
// follows as " (D:\db\)".
std::u16string WindowTitle(std::u16string_view search_text, std::u16string_view home, bool default_home);

// The status bar's text with a stack: Set("{PUSH}") saves the current text, Set("{POP}")
// restores the last saved one (an unmatched pop keeps the current text); any other text
// replaces the current text.
class StatusStack {
 public:
  // Returns the text now to show.
  const std::u16string& Set(std::u16string_view text);
  const std::u16string& current() const { return current_; }
  size_t depth() const { return saved_.size(); }

 private:
  std::u16string current_;
  std::vector<std::u16string> saved_;
};

}  // namespace nusk
