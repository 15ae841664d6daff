// The "web"/"webserver" sub-command: serves the index of the home folder until a key is
// pressed (console) or the process is interrupted (Ctrl-C, SIGTERM; no console).
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/key_watch.h"
#include "platform/profile.h"
#include "platform/thumbnail.h"
#include "settings/process_state.h"
#include "settings/setting_keys.h"
#include "util/utf.h"
#include "web/http_text.h"
#include "web/web_command.h"
#include "web/web_service.h"

namespace nusk {

namespace {

void PrintLine(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

bool ParsePort(const std::u16string& text, uint32_t* port) {
  uint16_t v = 0;
  if (!http::ParsePortNumber(ToUtf8(text), &v)) return false;  // a non-ASCII character is no digit in UTF-8
  *port = v;
  return true;
}

const char kUsage[] =
    "\nUSAGE: nusk webserver [options]\n\nOptions:\n"
    "  --ip address     \tlistening address (default: the ip setting, else every address;\n"
    "                   \tloopback only when no user name is set)\n"
    "  --port number    \tlistening port (default: the port setting, else 8080)\n"
    "  --username name  \tuser name of the login\n"
    "  --password word  \tpassword of the login\n"
    "  --no-login       \tserve an address other than loopback without a login\n"
    "  --dbdir folder   \thome folder of the index\n";

// Loopback literals and "localhost": only this machine can connect there.
bool IsLoopback(const std::string& address) {
  std::string a = address;
  while (!a.empty() && a.back() == ' ') a.pop_back();
  while (!a.empty() && a.front() == ' ') a.erase(0, 1);
  if (a.size() >= 2 && a.front() == '[' && a.back() == ']') a = a.substr(1, a.size() - 2);
  if (a == "::1" || a == "localhost") return true;
  if (a.rfind("127.", 0) != 0) return false;
  for (char c : a) {
    if ((c < '0' || c > '9') && c != '.') return false;  // a host name that merely starts so
  }
  return true;
}

}  // namespace

int RunWebCommand(const std::vector<std::u16string>& args) {
  ProcessState& ps = Process();
  Profile* profile = Profile::Default();
  std::u16string ip = profile->GetString(ps.settings_path, u"WebServer", u"ip", u"");
  std::u16string port_text = profile->GetString(ps.settings_path, u"WebServer", u"port", u"");
  std::u16string user = profile->GetString(ps.settings_path, u"WebServer", u"userName", u"");
  std::u16string password = profile->GetString(ps.settings_path, u"WebServer", u"password", u"");
  uint32_t port = 8080;
  if (!port_text.empty() && !ParsePort(port_text, &port)) {
    PrintLine("Failed to start web server:\ninvalid port \"" + ToUtf8(port_text) + "\" in section WebServer of " +
              ToUtf8(ps.settings_path) + "\n");
    return 1;
  }
  bool address_explicit = !ip.empty();
  bool no_login = false;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::u16string& a = args[i];
    if (a == u"--no-login") {
      no_login = true;
      continue;
    }
    if (a == u"-h" || a == u"--help") {
      PrintLine(kUsage);
      return 0;
    }
    bool known = a == u"--ip" || a == u"--port" || a == u"--username" || a == u"--password";
    if (!known) {
      // A mistyped option must not start a server with other settings than meant.
      PrintLine("Unknown option \"" + ToUtf8(a) + "\".\n" + kUsage);
      return 2;
    }
    if (i + 1 >= args.size()) {
      PrintLine("Failed to start web server:\n" + ToUtf8(a) + " needs a value\n");
      return 2;
    }
    const std::u16string& v = args[++i];
    if (a == u"--ip") {
      ip = v;
      address_explicit = true;
    } else if (a == u"--port") {
      if (!ParsePort(v, &port)) {
        PrintLine("Failed to start web server:\ninvalid port \"" + ToUtf8(v) + "\"\n");
        return 2;
      }
    } else if (a == u"--username") {
      user = v;
    } else {
      password = v;
    }
  }
  // Without a user name everyone who connects may download any indexed file: unless an
  // address was chosen on purpose, only this machine may connect, and another machine is
  // served without a login only when that is asked for by name.
  if (user.empty() && !address_explicit) {
    ip = u"127.0.0.1";
    PrintLine("No user name is set: listening on the loopback address only (use --ip to serve other machines).\n");
  } else if (user.empty() && !IsLoopback(ToUtf8(ip))) {
    if (!no_login) {
      PrintLine("Failed to start web server:\nlistening on \"" + ToUtf8(ip) +
                "\" without a user name would serve every indexed file to the network without a login.\n"
                "Set --username and --password, or add --no-login to serve it without a login anyway.\n");
      return 2;
    }
    PrintLine("Warning: no login (--no-login): anyone who can reach " + ToUtf8(ip) +
              " may search and download every indexed file.\n");
  }

  std::string error;
  Env* env = Env::Default();  // this sub-command's entry point hands the system down
  std::unique_ptr<WebSearch> search = OpenIndexWebSearch(ps.home_folder, ps.settings_path, env, &error,
                                                         [](const std::string& line) { PrintLine(line + "\n"); });
  if (!search) {
    PrintLine("Failed to start web server:\ncannot load the index: " + error + "\n");
    return 1;
  }
  ThumbnailCache thumbnails(ThumbnailFolder(), static_cast<int>(GetInteger(SettingId::kThumbnailSize)), env);
  WebService service(search.get(), env);
  service.SetThumbnails(&thumbnails);
  service.SetLog([](const std::string& line) { PrintLine(line + "\n"); });
  service.Configure(ip, port, user, password);
  if (!service.Start()) {
    std::string text = "Failed to start web server";
    if (!service.LastError().empty()) text += ":\n" + ToUtf8(service.LastError());
    PrintLine(text + "\n");
    return 1;
  }
  std::unique_ptr<KeyWatch> keys = KeyWatch::Open();
  PrintLine("Web server started at " + ToUtf8(ip) + ":" + std::to_string(service.port()) + ".\n" +
            (keys ? "Press any key to exit.\n" : "Stop it with Ctrl-C.\n"));
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(keys ? 200 : 100));
    if (ps.cancel_requested.load()) break;
    if (keys && keys->KeyPressed()) break;
  }
  service.Stop();
  PrintLine("Bye.\n");
  return 0;
}

}  // namespace nusk
