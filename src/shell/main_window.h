// The main window: the start-up sequence that brings the program up on its
// program directory, the version box of the shell menu, the quit
// confirmation, and the shutdown that closes the database.
#pragma once

#include <iosfwd>
#include <string>

#include "shell/single_instance.h"
#include "store/store_startup.h"

namespace zelka {

class App;
class Host;

inline constexpr const char kSettingsFileName[] = "ZELKA20.PRA";
inline constexpr const char kMainMenuPage[] = "MainMenu/MainMenuFr.htm";
inline constexpr const char kVersionMenuId[] = "IDM_VerInfo";
inline constexpr const char kVersionTitle[] = "ZELKA 2.0 バージョン情報";
inline constexpr const char kQuitQuestion[] = "終了しますか？";
inline constexpr const char kNoMainMenuMessage[] = "メインメニューのページを表示できませんでした: ";
inline constexpr const char kRecoveredMessage[] =
    "データベース ZELKA20.mdb が見つからなかったため、前回の起動時の写し _ZELKA20.mdb から復元しました。";

// Claims the program directory for this process (the single running copy).
// A second copy gets the refusal on `err` and false; so does a directory
// that does not exist or whose lock file cannot be opened, with the reason.
// Touches nothing else.
bool ClaimProgramDirectory(const std::string& app_dir, SingleInstanceLock& lock, std::ostream& err);

// The start-up of the main window on a claimed program directory comes in
// two steps. The store is compacted and opened first, before the browser is
// served, so that a store that cannot be opened ends the program with a
// message on standard error (naming the file; nothing is deleted) instead of
// a browser pointing at a program that is gone. Returns false then.
bool OpenStore(App& app, std::string* error, StoreStartup* report = nullptr);
// Then, with the host serving: loads the settings file into the settings
// buffer (a problem with it is shown through the host and start-up goes on),
// shows the main menu page and clears the entry window's navigation permit.
// A store that had to be restored from its previous copy is told to the user.
void ShowMainWindow(App& app, const StoreStartup& store = {});

// "ZELKA 2.0 添付CDソフト バージョン：1.0.49"
std::string VersionText();
void ShowVersionBox(Host& host);

// Asks whether to end the program; on Yes the main loop ends after the
// current command.
void AppQuit(App& app);

// Closes the database: the last step of every run.
void UnloadMainWindow(App& app);

}  // namespace zelka
