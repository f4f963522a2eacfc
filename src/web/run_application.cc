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

  // The port is bound before the store is touched: a start that cannot
  // serve must not have rotated the database files.
  BrowserHost host({app_dir, BrowserHost::DefaultWebDir(), command_line.port, ""});
  Env& env = Env::Default();
  App app(env, host, app_dir);
  std::string error;
  if (!host.Start(&error)) {
    err << "zelka: " << error << std::endl;
    return kExitFailure;
  }
  relay.Attach(&host);
  // The URL goes out once the store is open, or earlier when the user has to
  // be asked whether to restore it.
  bool url_shown = false;
  auto show_url = [&] {
    if (url_shown) return;
    url_shown = true;
    std::string url = host.StartUrl();
    out << url << std::endl;
    std::string failure;
    if (!command_line.no_browser && DesktopPresent() && !host.OpenBrowser(env, &failure))
      err << "zelka: cannot open the browser (" << failure << "); open " << url << std::endl;
  };
  StoreStartup store;
  if (!OpenStore(app, &error, &store, show_url)) {
    relay.Attach(nullptr);
    err << "zelka: " << error << std::endl;
    return kExitFailure;
  }
  show_url();
  // The thorough check of what the start made runs while the user works; a
  // store kept unrotated has just been checked.
  if (store.suspect.empty()) app.WatchStoreCheck(std::make_unique<BackgroundStoreCheck>(app_dir, env));
  ShowMainWindow(app, store);
  app.Run();
  relay.Attach(nullptr);  // the host goes before the watcher
  return kExitOk;
}

}  // namespace zelka
