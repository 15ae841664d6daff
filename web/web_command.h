// The "web"/"webserver" sub-command. args[0] is the program, args[1] the sub-command word;
// options "--ip", "--port", "--username", "--password", each followed by its value, and
// "--no-login" (needed to serve an address other than loopback without a user name).
// Any other argument is an error: the usage text is printed and nothing starts.
// Reads section `WebServer` of the settings file, loads the index of the home folder and
// serves it until a key is pressed on the console, or, without a console, until the
// process is interrupted (Process().cancel_requested). Returns 0 after a clean stop,
// 1 when the service could not start, 2 for a bad option.
#pragma once
#include <string>
#include <vector>

namespace nusk {

int RunWebCommand(const std::vector<std::u16string>& args);

}  // namespace nusk
