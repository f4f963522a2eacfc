#include "web/run_application.h"

#include <cstdlib>
#include <mutex>
#include <ostream>

#include "shell/app.h"
#include "shell/main_window.h"
#include "web/browser_host.h"

namespace zelka {
namespace {

bool DesktopPresent() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace

int RunApplication(const CommandLine& command_line, std::ostream& out, std::ostream& err) {
  std::string app_dir = ProgramDirectory(command_line);
  SingleInstanceLock lock;
  if (!ClaimProgramDirectory(app_dir, lock, err)) return kExitFailure;

  // Signals are blocked before the host starts its threads, so that only the
  // watcher receives them. A signal that comes while the store is being
  // opened is kept and ends the program as soon as the host is serving.
  struct ShutdownRelay {
    std::mutex mutex;
    BrowserHost* host = nullptr;
    bool requested = false;
    void Request() {
      std::lock_guard lock(mutex);
      requested = true;
      if (host) host->RequestShutdown();
    }
    void Attach(BrowserHost* target) {
      std::lock_guard lock(mutex);
      host = target;
      if (host && requested) host->RequestShutdown();
    }
  } relay;
  SignalWatcher watcher([&relay] { relay.Request(); });

  BrowserHost host({app_dir, BrowserHost::DefaultWebDir(), command_line.port, ""});
  Env& env = Env::Default();
  App app(env, host, app_dir);
  std::string error;
  StoreStartup store;
  if (!OpenStore(app, &error, &store)) {
    err << "zelka: " << error << std::endl;
    return kExitFailure;
  }
  if (!host.Start(&error)) {
    err << "zelka: " << error << std::endl;
    return kExitFailure;
  }
  relay.Attach(&host);
  std::string url = host.StartUrl();
  out << url << std::endl;
  if (!command_line.no_browser && DesktopPresent() && !env.StartProgram({"xdg-open", url}, &error))
    err << "zelka: cannot open the browser (" << error << "); open " << url << std::endl;
  ShowMainWindow(app, store);
  app.Run();
  relay.Attach(nullptr);  // the host goes before the watcher
  return kExitOk;
}

}  // namespace zelka
