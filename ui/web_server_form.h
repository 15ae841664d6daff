// The web-server dialog's rules: which controls are live in each state, the port field's
// reading, and the address the launch-browser button opens.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nusk {

struct WebServerFormState {
  std::u16string_view button_key;  // "button.start" or "button.stop"
  const char16_t* button_english;  // "Start" or "Stop"
  bool fields_enabled;             // address, port, user name, password
  bool browser_enabled;            // launch browser
};
WebServerFormState WebServerForm(bool running);

// The port field: empty means 8080; otherwise a decimal number 1..65535 (spaces around it
// allowed). Anything else is nullopt, so the dialog can say so instead of starting.
std::optional<uint16_t> WebServerPort(std::u16string_view text);

// The address field without spaces around it (what the service binds and what is saved).
std::u16string WebServerAddress(std::u16string_view field);

// "http://" + the trimmed address (or "localhost" when empty) + ":" + port + "/". An IPv6
// literal is put in brackets so the browser reads the port.
std::u16string WebServerBrowserAddress(std::u16string_view address, uint16_t port);

}  // namespace nusk
