// The page commands of the main window. Pages make the program act in two
// ways: by setting their status text ("?" + a command name on the main menu
// page, "!" and "#" requests on the entry pages) and by navigating to a URL
// whose query names a command ("?QUIT", "?EXE=program args", …). Both tables
// are data; the dispatchers here look a command up and run its action.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelka {

class App;

using CommandAction = void (*)(App&);

// One row of the main command table.
struct MainCommand {
  std::string_view name;      // upper case
  std::string_view table;     // current table name set before the action; "" leaves the context
  bool new_intake;            // the new intake flag, set together with the table
  bool closes_entry_window;   // the entry window is closed (if open) before the action
  CommandAction action;       // nullptr: the feature is not available in this build
};

std::span<const MainCommand> MainCommands();
// The row for a command name in any case, or nullptr.
const MainCommand* FindMainCommand(std::string_view name);

inline constexpr const char kNotReadyPrefix[] = "この機能は準備中です: ";
inline constexpr const char kUnknownCommandPrefix[] = "次のコマンドが発行されました\r\n";

// A status text of the main window: "?" + command runs the command; any other
// text is ignored.
void HandleMainStatusText(App& app, const std::string& text);
// Runs one command of the main command table by name (any case); an unknown
// name is shown to the user as written.
void RunMainCommand(App& app, const std::string& command);

// A status text of the entry window: "!" (date picker) and "#" (move) requests
// go to the entry window; any other text is ignored.
void HandleEntryStatusText(App& app, const std::string& text);

// --- Navigation commands ----------------------------------------------------

// The query of a URL read as a command: the text after the first "?" (up to a
// further "?"), split at "=" into the command and its argument (text after a
// second "=" is dropped). The argument is percent-decoded, as browsers encode
// spaces and other characters in the URL they navigate to.
struct NavigationCommand {
  std::string name;
  std::string argument;
};
std::optional<NavigationCommand> ParseNavigationCommand(const std::string& url);

// Decides whether a navigation of the main window may go ahead, running its
// command when the URL carries one (and no post data). Returns true to let
// the navigation proceed.
bool HandleMainNavigation(App& app, const std::string& url, const std::string& post_data);

// Splits the argument of an "EXE" command into a program and its arguments,
// without any shell: words are separated by spaces or tabs; a double-quoted
// part may hold spaces and is taken without its quotes ("C:\Program Files\x"
// and "a b"c are single words); "" inside quotes stands for one quote; a
// backslash is an ordinary character. Returns nullopt with a message when the
// line is empty or has an unclosed quote.
std::optional<std::vector<std::string>> SplitProgramLine(const std::string& line,
                                                         std::string* error);

// Before an "EXE" starts anything, the user sees its command line and is
// asked, with いいえ the default: a page may start a program, never silently.
inline constexpr const char kExeQuestionHead[] = "ページが次のプログラムを起動しようとしています。\r\n\r\n";
inline constexpr const char kExeQuestionTail[] = "\r\n\r\n起動しますか？";

// A command line as the user is shown it: control characters, bytes that are
// no UTF-8 and the marks that reorder text (which could hide part of the
// line) are written as escapes ("\x0A", "\u202E").
std::string ShownCommandLine(const std::string& line);

}  // namespace zelka
