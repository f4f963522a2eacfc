// The host: everything the program asks of the screen and the user, behind one
// narrow interface. The browser host serves it to the user's browser (the shell
// page, its overlays and the page frames); the scripted host answers from a
// script and keeps page elements in memory, so every command can be tested
// without a browser. All calls are made on the application thread; a call that
// needs the user blocks until the user has answered.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/dialog.h"
#include "util/warning.h"

namespace zelka {

enum class Icon { kNone, kCritical, kExclamation, kInformation };
// kYesNoDefaultNo: はい and いいえ, with いいえ the default (it has the focus, and
// Escape chooses it).
enum class Buttons { kOk, kOkCancel, kYesNo, kYesNoDefaultNo };
enum class Answer { kOk, kCancel, kYes, kNo };

// The two windows of the program. Each shows one page in its frame.
enum class View { kMain, kEntry };

// Which "ジャンプ(&J)" menu the entry window shows.
enum class EntryMenu { kNone, kIntake, kAssessment };

// One element of a page's first form, as the binding sees it.
struct PageElement {
  std::string name;
  std::string type;  // "text", "select-one", "checkbox", "textarea", "hidden", …
  std::string value;
  bool checked = false;
};

// A change to one element, applied by name. Unset members are left alone.
struct ElementUpdate {
  std::string name;
  std::optional<std::string> value;
  std::optional<bool> checked;
  std::optional<std::string> background;  // "#ff0000" marks, "#ffffff" clears
};

struct SaveDialogSpec {
  std::string title;
  std::string filter;  // "RTFファイル|*.rtf|すべてのファイル|*.*"
  long max_file_size = 32717;
  unsigned flags = 0;  // 0x2: ask before overwriting an existing file
  std::string file_name;
};

// A printed report as the print preview shows it: one self-contained HTML
// document of A4 sheets, and the preview window's title.
struct ReportView {
  std::string title;
  std::string html;
};

// Something the user did, delivered to the application's main loop.
struct UiEvent {
  enum class Kind {
    kStatusText,   // a page set its status text
    kNavigate,     // a page asks to navigate; answer with Host::ReplyNavigation
    kMenu,         // a menu item of the shell (entry menus, "バージョン情報")
    kCloseWindow,  // the user closed a window from its title bar
    kWindow,       // a control of a window that is not modal (see Host::ShowModeless)
    kShutdown,     // SIGINT/SIGTERM or the host went away: end the program
  };
  Kind kind = Kind::kStatusText;
  View view = View::kMain;
  std::string text;       // status text, or menu item id ("IDM_A", "IDM_VerInfo")
  std::string url;        // navigation target
  std::string post_data;  // navigation post data, already decoded
  int id = 0;             // navigation request id
  // With a status text or an entry menu item: the view's first form as it
  // stood at that moment, when the host had it at hand (the browser sends it
  // along).
  std::optional<std::vector<PageElement>> form;
  // With kWindow: the window's caption is in `text`, what the user did here.
  DialogEvent window_event;
  // The browser tab the event came from, when the host knows it: a document
  // the event opens is opened there.
  std::string client;
};

class Host {
 public:
  virtual ~Host() = default;

  // Modal message box; returns the button pressed.
  virtual Answer ShowMessage(const std::string& text, Buttons buttons = Buttons::kOk,
                             Icon icon = Icon::kNone, const std::string& title = "") = 0;
  // Modal input box; nullopt when the user cancels.
  virtual std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                              const std::string& default_text = "") = 0;
  // Modal save-file dialog; the chosen path, or "" when cancelled.
  virtual std::string ShowSaveDialog(const SaveDialogSpec& spec) = 0;
  // Shows a dialog modally and feeds it the user's events until it closes itself.
  virtual void RunDialog(Dialog& dialog) = 0;
  // Shows the dialog's current state again while an event is being handled
  // (for a dialog that animates), and waits the given milliseconds.
  virtual void RefreshDialog(const Dialog& dialog) = 0;
  virtual void Pause(int milliseconds) = 0;

  // Windows and pages.
  virtual void ShowWindow(View view, bool visible) = 0;
  virtual void SetEntryMenu(EntryMenu menu) = 0;
  // Shows a page (a path relative to the program directory, such as
  // "FORM/A.HTM") in the view and waits until it is completely loaded.
  // Returns false when the page could not be shown.
  virtual bool Navigate(View view, const std::string& page) = 0;
  virtual std::string CurrentPage(View view) = 0;
  virtual std::vector<PageElement> ReadForm(View view) = 0;
  virtual void WriteForm(View view, const std::vector<ElementUpdate>& updates) = 0;
  virtual void Focus(View view, const std::string& element_name) = 0;
  virtual void ClearStatus(View view) = 0;

  // The main loop's input: blocks until the user does something.
  virtual UiEvent WaitEvent() = 0;
  virtual void ReplyNavigation(int id, bool proceed) = 0;

  // Shows a report in the print preview: the main window, maximised and
  // titled with the report's title, with a print button (A4 portrait) and a
  // way back to the menu. Returns when the user has gone back.
  virtual void ShowReport(const ReportView& report) = 0;

  // Windows that are not modal: shown beside the main and entry windows
  // while the main loop goes on. A click, key or close in one arrives through
  // WaitEvent as a kWindow event carrying the window's caption; the caller
  // hands it to the window. Showing a shown window again puts it in front
  // with the focus on it. The window must outlive its showing.
  virtual void ShowModeless(const Dialog& window) = 0;
  virtual void CloseModeless(const Dialog& window) = 0;

  // Opens a document of the program directory (a relative path such as
  // "PDF/UKETUKE.pdf") for the user to read and print, in a browser tab of
  // its own. False when the document cannot be offered.
  virtual bool OpenDocument(const std::string& path) = 0;

  // Shows how far a long run has come (done of total) in a non-modal bar;
  // total 0 hides it.
  virtual void ShowProgress(const std::string& caption, long done, long total) {}

  // Whether the program has been told to end (a signal, the tab gone for
  // good). Every modal call then answers at once as if cancelled, so a loop
  // that asks until it gets an answer must stop asking.
  virtual bool Stopping() const { return false; }
};

// A Warning for the utilities that shows each notice in a message box: a
// critical icon for an error, an exclamation mark for a caution.
inline Warning MessageBoxWarning(Host& host) {
  return [&host](const Notice& notice) {
    host.ShowMessage(notice.text, Buttons::kOk, notice.critical ? Icon::kCritical : Icon::kExclamation,
                     notice.title);
  };
}

}  // namespace zelka
