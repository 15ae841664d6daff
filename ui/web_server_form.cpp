#include "ui/web_server_form.h"

#include <string>

namespace nusk {

namespace {

std::u16string_view Trim(std::u16string_view s) {
  auto space = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

std::u16string WebServerAddress(std::u16string_view field) { return std::u16string(Trim(field)); }

WebServerFormState WebServerForm(bool running) {
  if (running) return {u"button.stop", u"Stop", false, true};
  return {u"button.start", u"Start", true, false};
}

std::optional<uint16_t> WebServerPort(std::u16string_view text) {
  text = Trim(text);
  if (text.empty()) return 8080;
  if (text.size() > 5) return std::nullopt;
  uint32_t v = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    v = v * 10 + (c - u'0');
  }
  if (v == 0 || v > 65535) return std::nullopt;
  return static_cast<uint16_t>(v);
}

std::u16string WebServerBrowserAddress(std::u16string_view address, uint16_t port) {
  std::u16string host = WebServerAddress(address);
  if (host.empty()) host = u"localhost";
  if (host.find(u':') != std::u16string::npos && host.front() != u'[') host = u"[" + host + u"]";
  std::u16string out = u"http://" + host + u":";
  for (char c : std::to_string(port)) out += static_cast<char16_t>(c);
  return out + u"/";
}

}  // namespace nusk
