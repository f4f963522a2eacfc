// The application object: it owns what lives for the whole run (the program
// directory, the settings buffer, the one database connection and the shared
// record context), uses the Env and the Host it is given, and runs the main
// loop: one user event at a time, until the user quits or the host shuts down.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cap/cap_engine.h"
#include "shell/cli.h"
#include "shell/entry_window.h"
#include "host/host.h"
#include "store/record_context.h"
#include "store/store_startup.h"
#include "util/env.h"
#include "util/settings_buffer.h"

namespace zelka {

class App {
 public:
  App(Env& env, Host& host, std::string app_dir);
  ~App();  // closes the database if still open
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  Env& env() { return env_; }
  Host& host() { return host_; }
  const std::string& app_dir() const { return context_.app_dir; }
  RecordContext& context() { return context_; }
  SettingsBuffer& settings() { return settings_; }
  Database* database() { return database_.get(); }
  EntryWindow& entry_window() { return entry_window_; }
  CapEngine& cap_engine() { return cap_engine_; }

  // The assessment search as every command shows it: with the hidden
  // verification run of the CAP engine behind its secret button.
  void ChooseAssessment(RecordContext& ctx);

  // Takes over the open database as the one connection of the run.
  void AttachDatabase(std::unique_ptr<Database> database);
  // Closes the database; the context no longer refers to it.
  void CloseDatabase();

  // Keeps the thorough check of the store that runs after start-up (nullptr:
  // stops and drops it). The main loop reports its result between events.
  void WatchStoreCheck(std::unique_ptr<BackgroundStoreCheck> check) { store_check_ = std::move(check); }
  // The check's result once it is there, and then never again.
  std::optional<std::string> TakeStoreCheckResult();
  // Lets the check run to its end (it completes the start's rotation) and drops it.
  void FinishStoreCheck();
  // Shows a window that is not modal. When one with the same caption is open
  // already, that one is shown again and the new one is dropped.
  void ShowModeless(std::unique_ptr<Dialog> window);
  // The open window that is not modal with this caption, or nullptr.
  Dialog* Modeless(const std::string& caption);

  // Ends the main loop after the current event.
  void RequestQuit() { quit_requested_ = true; }
  bool quit_requested() const { return quit_requested_; }

  // Handles one user event.
  void HandleEvent(const UiEvent& event);
  // The main loop: waits for events and handles them until quit or shutdown.
  void Run();

 private:
  Env& env_;
  Host& host_;
  SettingsBuffer settings_;
  std::unique_ptr<Database> database_;
  RecordContext context_;
  CapEngine cap_engine_;
  EntryWindow entry_window_;
  std::unique_ptr<BackgroundStoreCheck> store_check_;
  std::vector<std::unique_ptr<Dialog>> windows_;  // open, not modal
  bool quit_requested_ = false;
};

// Turns SIGINT and SIGTERM into a call of `on_signal` on a thread of its own
// (sigwait), so the main loop ends in order instead of being killed. Create it
// on the main thread before any other thread starts: it blocks both signals
// in the calling thread, and every thread started afterwards inherits that.
class SignalWatcher {
 public:
  explicit SignalWatcher(std::function<void()> on_signal);
  ~SignalWatcher();
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

 private:
  std::function<void()> on_signal_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace zelka
