#include "l10n/mui.h"

#include "l10n/ui_keys.h"

namespace nusk {

namespace {

// Values are read with room to spare so that an over-long one can be recognised.
constexpr size_t kProbeBuffer = 1024;
constexpr size_t kMaxValue = 254;

bool IsDamaged(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if ((c < 0x20 && c != u'\t') || (c >= 0x7F && c < 0xA0) || c == 0xFFFD || c == 0xFFFE || c == 0xFFFF) {
      return true;
    }
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return true;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

std::u16string ApplyEscapes(std::u16string_view raw) {
  if (raw.find(u'\\') == std::u16string_view::npos) return std::u16string(raw);
  std::u16string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == u'\\' && i + 1 < raw.size() && (raw[i + 1] == u't' || raw[i + 1] == u'n')) {
      out.push_back(raw[++i] == u't' ? u'\t' : u'\n');
    } else {
      out.push_back(raw[i]);
    }
  }
  return out;
}

std::unique_ptr<CMUI>& CurrentSlot() {
  static std::unique_ptr<CMUI> current;
  return current;
}

}  // namespace

std::u16string DecodeLanguageValue(std::u16string_view raw, bool* usable) {
  *usable = !raw.empty() && raw.size() <= kMaxValue && !IsDamaged(raw);
  return *usable ? ApplyEscapes(raw) : std::u16string();
}

namespace {
template <typename Map>
void LoadInto(LanguageSource& source, std::u16string_view section, std::u16string_view key, Map* map,
              std::u16string stored_key) {
  bool usable = false;
  std::u16string text = DecodeLanguageValue(source.Read(section, key, kProbeBuffer), &usable);
  if (usable) (*map)[std::move(stored_key)] = std::move(text);
}
}  // namespace

void CMUI::LoadMenus(LanguageSource& source) {
  for (std::u16string_view key : MenuCommandKeys()) LoadInto(source, u"menu", key, &menu_, std::u16string(key));
  for (std::u16string_view key : ContextMenuKeys()) {
    LoadInto(source, u"context_menu", key, &menu_, std::u16string(key));
  }
  for (std::u16string_view key : PopupKeys()) LoadInto(source, u"menu", key, &popups_, std::u16string(key));
}

void CMUI::LoadMessages(LanguageSource& source) {
  for (const MessageRow& row : MessageRows()) {
    LoadInto(source, row.section, row.file_key, &messages_, std::u16string(row.key));
  }
  for (std::u16string_view key : MenuHelpKeys()) LoadInto(source, u"menuhelp", key, &messages_, MenuHelpKey(key));
}

void CMUI::LoadDialogs(LanguageSource& source) {
  for (const DialogSection& group : DialogSections()) {
    for (std::u16string_view key : group.keys) {
      LoadInto(source, group.section, key, &dialog_, std::u16string(group.section) + u"." + std::u16string(key));
    }
  }
}

void CMUI::LoadToolbar(LanguageSource& source) {
  for (std::u16string_view key : ToolbarKeys()) LoadInto(source, u"toolbar", key, &toolbar_, std::u16string(key));
}

void CMUI::LoadRibbon(LanguageSource& source) {
  for (std::u16string_view key : RibbonKeys()) LoadInto(source, u"ribbon", key, &ribbon_, std::u16string(key));
}

std::u16string CMUI::MenuHelpKey(std::u16string_view key) { return u"MNUHLP_" + std::u16string(key); }

const std::u16string* CMUI::ToolbarText(std::u16string_view key) {
  auto it = toolbar_.find(std::u16string(key));
  return it == toolbar_.end() ? nullptr : &it->second;
}

std::u16string CMUI::MenuText(std::u16string_view key, std::u16string_view english) {
  auto it = menu_.find(std::u16string(key));
  return it == menu_.end() ? std::u16string(english) : it->second;
}

std::u16string CMUI::Message(std::u16string_view key, const char16_t* english) {
  auto it = messages_.find(std::u16string(key));
  if (it != messages_.end()) return it->second;
  return english ? std::u16string(english) : std::u16string(key);
}

std::u16string CMUI::DialogText(std::u16string_view key, const char16_t* english) {
  auto it = dialog_.find(std::u16string(key));
  if (it != dialog_.end()) return it->second;
  return english ? std::u16string(english) : std::u16string(u"<UNKNOWN>");
}

std::u16string CMUI::PopupTitle(std::u16string_view key, std::u16string_view english) {
  auto it = popups_.find(std::u16string(key));
  return it == popups_.end() ? std::u16string(english) : it->second;
}

std::u16string CMUI::RibbonText(std::u16string_view key, std::u16string_view english) {
  auto it = ribbon_.find(std::u16string(key));
  return it == ribbon_.end() ? std::u16string(english) : it->second;
}

std::u16string CMUI::MenuHelp(std::u16string_view key) { return Message(MenuHelpKey(key), u""); }

CMUI* CurrentUI() { return CurrentSlot().get(); }

void InstallUI(std::unique_ptr<CMUI> table) { CurrentSlot() = std::move(table); }

std::u16string Tr(std::u16string_view key, const char16_t* english) {
  if (CMUI* ui = CurrentUI()) return ui->Message(key, english);
  return english ? std::u16string(english) : std::u16string(key);
}

}  // namespace nusk
