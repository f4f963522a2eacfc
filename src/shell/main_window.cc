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
    err << "zelka: the program directory " << app_dir << " does not exist" << std::endl;
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

bool OpenStore(App& app, std::string* error, StoreStartup* report) {
  try {
    Catalogue catalogue = Catalogue::Load(app.app_dir() + "/" + kCatalogueFile);
    app.AttachDatabase(OpenProgramStore(app.app_dir(), app.env(), catalogue, report));
    return true;
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return false;
  }
}

void ShowMainWindow(App& app, const StoreStartup& store) {
  app.settings().SetPrivateAppBuf(app.app_dir() + "/" + kSettingsFileName, app.env(), MessageBoxWarning(app.host()));
  if (store.recovered) app.host().ShowMessage(kRecoveredMessage, Buttons::kOk, Icon::kInformation);
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

void UnloadMainWindow(App& app) { app.CloseDatabase(); }

}  // namespace zelka
