#include "shell/main_window.h"

#include <filesystem>
#include <ostream>

#include "shell/app.h"
#include "host/host.h"
#include "store/store_startup.h"

namespace zelka {

bool ClaimProgramDirectory(const std::string& app_dir, SingleInstanceLock& lock,
                           std::ostream& err) {
  std::error_code ec;
  if (!std::filesystem::is_directory(app_dir, ec)) {
    err << "zelka: プログラムフォルダー " << app_dir << " がありません。" << std::endl;
    return false;
  }
  std::string error;
  switch (lock.Acquire(app_dir, &error)) {
    case SingleInstanceLock::Result::kAcquired:
      return true;
    case SingleInstanceLock::Result::kHeldElsewhere:
      err << kAlreadyRunningMessage << std::endl;
      return false;
    case SingleInstanceLock::Result::kFailed:
      err << "zelka: " << error << std::endl;
      return false;
  }
  return false;
}

bool OpenStore(App& app, std::string* error, StoreStartup* report, const std::function<void()>& before_asking) {
  auto ask = [&](const std::string& question) {
    if (before_asking) before_asking();
    return app.host().ShowMessage(question, Buttons::kYesNo, Icon::kExclamation) == Answer::kYes;
  };
  try {
    Catalogue catalogue = Catalogue::Load(app.app_dir() + "/" + kCatalogueFile);
    app.AttachDatabase(OpenProgramStore(app.app_dir(), app.env(), catalogue, ask, report));
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

void ShowMainWindow(App& app, const StoreStartup& store) {
  app.settings().SetPrivateAppBuf(app.app_dir() + "/" + kSettingsFileName, app.env(), MessageBoxWarning(app.host()));
  if (store.recovered) app.host().ShowMessage(kRecoveredMessage, Buttons::kOk, Icon::kInformation);
  if (store.restored)
    app.host().ShowMessage(kRestoredMessage + store.set_aside, Buttons::kOk, Icon::kInformation);
  if (!store.suspect.empty())
    app.host().ShowMessage(kSuspectMessage + store.suspect, Buttons::kOk, Icon::kExclamation);
  if (!app.host().Navigate(View::kMain, kMainMenuPage))
    app.host().ShowMessage(std::string(kNoMainMenuMessage) + app.app_dir() + "/" + kMainMenuPage,
                           Buttons::kOk, Icon::kCritical);
  app.context().navigation_permit = false;
}

std::string VersionText() {
  return "ZELKA 2.0 添付CDソフト バージョン：" + std::to_string(ZELKA_VERSION_MAJOR) + "." +
         std::to_string(ZELKA_VERSION_MINOR) + "." + std::to_string(ZELKA_VERSION_REVISION);
}

void ShowVersionBox(Host& host) {
  host.ShowMessage(VersionText(), Buttons::kOk, Icon::kInformation, kVersionTitle);
}

void AppQuit(App& app) {
  if (app.host().ShowMessage(kQuitQuestion, Buttons::kYesNo, Icon::kInformation) == Answer::kYes)
    app.RequestQuit();
}

void ReportStoreCheck(App& app) {
  std::optional<std::string> problem = app.TakeStoreCheckResult();
  if (problem && !problem->empty())
    app.host().ShowMessage(kCheckFailedMessage + *problem, Buttons::kOk, Icon::kExclamation);
}

void UnloadMainWindow(App& app) {
  app.FinishStoreCheck();
  app.CloseDatabase();
}

}  // namespace zelka
