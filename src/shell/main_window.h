// The main window: the start-up sequence that brings the program up on its
// program directory, the version box of the shell menu, the quit
// confirmation, and the shutdown that closes the database.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "shell/single_instance.h"
#include "store/program_files.h"
#include "store/store_startup.h"

namespace zelka {

class App;
class Host;

inline constexpr const char kMainMenuPage[] = "MainMenu/MainMenuFr.htm";
inline constexpr const char kVersionMenuId[] = "IDM_VerInfo";
inline constexpr const char kVersionTitle[] = "ZELKA 2.0 バージョン情報";
inline constexpr const char kQuitQuestion[] = "終了しますか？";
inline constexpr const char kNoMainMenuMessage[] = "メインメニューのページを表示できませんでした: ";
inline constexpr const char kRecoveredMessage[] =
    "データベース ZELKA20.mdb が見つからなかったため、前回の起動時の写し _ZELKA20.mdb から復元しました。";
inline constexpr char kRestoredMessage[] =
    "データベース ZELKA20.mdb を前回の起動時の写し _ZELKA20.mdb から復元しました。開けなかったファイルは次の名前で残してあります: ";
inline constexpr char kSuspectMessage[] =
    "前回の起動後の検査で ZELKA20.mdb に問題が見つかり、今回も同じ問題があるため、圧縮せずにそのまま開きました。"
    "前回の起動時の写し _ZELKA20.mdb は置き換えずに残しています。\r\n";
inline constexpr char kCheckFailedMessage[] =
    "起動後の検査で ZELKA20.mdb に問題が見つかりました。前回の起動時の写し _ZELKA20.mdb は、次の起動でも置き換えずに残します。\r\n";

// Claims the program directory for this process (the single running copy).
// A second copy gets the refusal on `err` and false; so does a directory
// that does not exist or whose lock file cannot be opened, with the reason.
// Touches nothing else.
bool ClaimProgramDirectory(const std::string& app_dir, SingleInstanceLock& lock, std::ostream& err);

// The start-up of the main window on a claimed program directory comes in
// two steps. The store is compacted and opened first, before the main menu is
// shown, so that a store that cannot be opened ends the program with a
// message on standard error (naming the file; nothing is deleted) instead of
// a browser pointing at a program that is gone. Returns false then. When
// ZELKA20.mdb cannot be used and _ZELKA20.mdb can, `before_asking` runs (it
// makes the host reachable, such as by printing the URL) and a message box
// asks whether to restore; No ends the start with neither file touched.
bool OpenStore(App& app, std::string* error, StoreStartup* report = nullptr,
               const std::function<void()>& before_asking = {});
// Then, with the host serving: loads the settings file into the settings
// buffer (a problem with it is shown through the host and start-up goes on),
// shows the main menu page and clears the entry window's navigation permit.
// A store that had to be restored from its previous copy, or that is kept
// unrotated after a failed check, is told to the user.
void ShowMainWindow(App& app, const StoreStartup& store = {});

// "ZELKA 2.0 添付CDソフト バージョン：1.0.49"
std::string VersionText();
void ShowVersionBox(Host& host);

// Asks whether to end the program; on Yes the main loop ends after the
// current command.
void AppQuit(App& app);

// Tells the user, once, when the thorough check of the store that runs after
// start-up has found a problem.
void ReportStoreCheck(App& app);

// Lets the check after start-up run to its end, then closes the database:
// the last step of every run.
void UnloadMainWindow(App& app);

}  // namespace zelka
