#include "ui/window_life.h"

#include "ui/launch_text.h"
#include "util/utf.h"
#include "util/version.h"

namespace nusk {

std::u16string InstanceMutexName(std::u16string_view home) {
  std::u16string name(home);
  for (char16_t& c : name) {
    if (c == u'\\') c = u'/';
  }
  return name + u"|NUSK_GUI";
}

namespace {

constexpr char16_t kHex[] = u"0123456789ABCDEF";

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// "%HH" for the characters that cannot stand in `FindText`; nullopt for a malformed text.
std::optional<std::u16string> Unescape(std::u16string_view text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char16_t>(hi * 16 + lo);
    i += 2;
  }
  return out;
}

}  // namespace

HandOver HandOverMessage(std::span<const std::u16string> args) {
  const std::u16string text = JoinSearchArguments(args);
  HandOver h;
  h.find_str = ToHandOverText(text);
  if (text.find(u'|') == std::u16string::npos) return h;
  for (char16_t c : text) {
    if (c == u'%' || c == u'"' || c == u'|') {
      h.find_text += u'%';
      h.find_text += kHex[c >> 4];
      h.find_text += kHex[c & 15];
    } else {
      h.find_text += c;
    }
  }
  return h;
}

std::u16string ReceivedSearchText(std::u16string_view find_str, std::u16string_view find_text,
                                  const std::function<bool(std::u16string_view)>& exists) {
  std::optional<std::u16string> text;
  if (!find_text.empty()) text = Unescape(find_text);
  if (!text) text = FromHandOverText(find_str);
  return WithSpaceForExistingPath(std::move(*text), exists);
}

bool AskCleanAfterAbnormalEnd(bool other_instance_running, int64_t last_start, int64_t last_end) {
  return !other_instance_running && last_end < last_start;
}

CloseStep DecideClose(const CloseContext& c) {
  if (c.close_to_tray && !c.exit_requested) return CloseStep::kHideToTray;
  if (c.loading || c.foreground_build) return CloseStep::kDefer;
  return CloseStep::kEnd;
}

bool ShowsHiddenBalloon(bool no_minimize_notification, bool silenced) { return !no_minimize_notification && !silenced; }

std::u16string PlacementText(const SavedPlacement& p) {
  std::u16string out = p.maximized ? u"3" : u"1";
  for (int v : {p.left, p.top, p.right, p.bottom}) out += u"," + FromUtf8(std::to_string(v));
  return out;
}

namespace {

// A decimal integer of at most 9 digits with an optional '-'.
std::optional<int> ParseSmallInt(std::u16string_view part) {
  const bool negative = !part.empty() && part[0] == u'-';
  if (negative) part.remove_prefix(1);
  if (part.empty() || part.size() > 9) return std::nullopt;
  int v = 0;
  for (char16_t c : part) {
    if (c < u'0' || c > u'9') return std::nullopt;
    v = v * 10 + (c - u'0');
  }
  return negative ? -v : v;
}

}  // namespace

std::optional<SavedPlacement> ParsePlacement(std::u16string_view text) {
  int values[5];
  for (int i = 0; i < 5; ++i) {
    const size_t comma = text.find(u',');
    if ((comma == std::u16string_view::npos) != (i == 4)) return std::nullopt;  // exactly five parts
    const std::optional<int> v = ParseSmallInt(text.substr(0, comma));
    if (!v) return std::nullopt;
    values[i] = *v;
    if (comma != std::u16string_view::npos) text.remove_prefix(comma + 1);
  }
  if (values[0] != 1 && values[0] != 3) return std::nullopt;
  SavedPlacement p{values[0] == 3, values[1], values[2], values[3], values[4]};
  if (p.right <= p.left || p.bottom <= p.top) return std::nullopt;
  return p;
}

std::string GuiCrashReportPrelude(std::u16string_view home) {
  std::string out = "--------------- gui crashed ---------------\n-- nusk info --\n";
  out += "Nusk version: " NUSK_VERSION ", " + std::to_string(sizeof(void*) * 8) + " bit\n";
  out += "Nusk home: " + ToUtf8(home) + "\n";
  out += "Portable: Y\n";
  out += "-- Search info --\n";
  return out;
}

std::string LastSearchLine(std::u16string_view text) {
  std::string line = "Last search: " + ToUtf8(text);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return line + "\n";
}

}  // namespace nusk
