#include "shell/app.h"

#include <pthread.h>
#include <signal.h>


#include "search/assessment_search.h"
#include "search/date_dialogs.h"
#include "search/intake_search.h"
#include "shell/commands.h"
#include "shell/main_window.h"

namespace zelka {

namespace {

EntryDialogs MakeEntryDialogs(App& app) {
  EntryDialogs dialogs;
  dialogs.intake_search = ShowIntakeSearch;
  dialogs.assessment_search = [&app](RecordContext& ctx, Host&, Env&) { app.ChooseAssessment(ctx); };
  dialogs.reference_date = ShowReferenceDateDialog;
  dialogs.date_picker = ShowDatePicker;
  return dialogs;
}

void ShowCommandFailure(Host& host, const std::exception& e) {
  host.ShowMessage(std::string("処理を続けられませんでした。\r\n") + e.what(), Buttons::kOk,
                   Icon::kCritical);
}

sigset_t ShutdownSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

App::App(Env& env, Host& host, std::string app_dir)
    : env_(env), host_(host), entry_window_(context_, host, env, MakeEntryDialogs(*this)) {
  context_.app_dir = std::move(app_dir);
}

void App::ChooseAssessment(RecordContext& ctx) {
  ShowAssessmentSearch(ctx, host_, env_, [this, &ctx] { cap_engine_.RunVerification(ctx, host_, env_); });
}

App::~App() { CloseDatabase(); }

void App::AttachDatabase(std::unique_ptr<Database> database) {
  database_ = std::move(database);
  context_.db = database_.get();
}

void App::CloseDatabase() {
  context_.current.reset();
  context_.db = nullptr;
  if (database_) database_->Close();
  database_.reset();
}

void App::ShowModeless(std::unique_ptr<Dialog> window) {
  Dialog* shown = Modeless(window->caption);
  if (!shown) shown = windows_.emplace_back(std::move(window)).get();
  host_.ShowModeless(*shown);
}

Dialog* App::Modeless(const std::string& caption) {
  for (auto& window : windows_)
    if (window->caption == caption) return window.get();
  return nullptr;
}

void App::HandleEvent(const UiEvent& event) {
  using Kind = UiEvent::Kind;
  bool proceed = true;  // for a navigation: the answer owed to the host
  try {
    switch (event.kind) {
      case Kind::kStatusText:
        if (event.view == View::kMain)
          HandleMainStatusText(*this, event.text);
        else
          HandleEntryStatusText(*this, event.text);
        break;
      case Kind::kNavigate:
        // The entry window refuses every navigation the program did not permit.
        proceed = event.view == View::kMain ? HandleMainNavigation(*this, event.url, event.post_data)
                                            : context_.navigation_permit;
        break;
      case Kind::kMenu:
        if (event.text == kVersionMenuId)
          ShowVersionBox(host_);
        else
          entry_window_.OnMenu(event.text);
        break;
      case Kind::kCloseWindow:
        if (event.view == View::kEntry)
          entry_window_.OnTitleBarClose();
        else if (entry_window_.CloseIfOpen())
          RequestQuit();  // the main window's close box ends the program without asking
        break;
      case Kind::kWindow:
        // An event of a window closed meanwhile finds nothing to go to.
        if (Dialog* window = Modeless(event.text)) {
          window->TakeValues(event.window_event);
          window->OnEvent(event.window_event, host_);
          if (window->closed) {
            host_.CloseModeless(*window);
            std::erase_if(windows_, [window](const auto& w) { return w.get() == window; });
          }
        }
        break;
      case Kind::kShutdown:
        RequestQuit();
        break;
    }
  } catch (const std::exception& e) {
    // A command that fails (a store error, a file that cannot be read) is
    // reported, and the program goes on with the next event instead of ending
    // with the user's work.
    ShowCommandFailure(host_, e);
  }
  if (event.kind == Kind::kNavigate) host_.ReplyNavigation(event.id, proceed);
}

std::optional<std::string> App::TakeStoreCheckResult() {
  if (!store_check_) return std::nullopt;
  std::optional<std::string> result = store_check_->Result();
  if (result) store_check_.reset();
  return result;
}

void App::FinishStoreCheck() {
  if (store_check_) store_check_->Finish();
  store_check_.reset();
}

void App::Run() {
  while (!quit_requested_) {
    ReportStoreCheck(*this);
    HandleEvent(host_.WaitEvent());
  }
  UnloadMainWindow(*this);
}

SignalWatcher::SignalWatcher(std::function<void()> on_signal) : on_signal_(std::move(on_signal)) {
  sigset_t set = ShutdownSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  thread_ = std::thread([this, set] {
    for (;;) {
      int signal_number = 0;
      if (sigwait(&set, &signal_number) != 0) continue;
      if (stopping_) return;
      on_signal_();
    }
  });
}

SignalWatcher::~SignalWatcher() {
  stopping_ = true;
  pthread_kill(thread_.native_handle(), SIGTERM);
  thread_.join();
}

}  // namespace zelka
