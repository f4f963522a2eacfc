// The host served to the user's browser. The program's logic calls it on the
// one application thread; every call that needs the browser (a message box,
// a dialog, a page load, a form read) is published as part of the UI state and
// blocks until the shell page has answered. The shell page (web/shell.html)
// long-polls that state, renders the two views, the modal overlays and the
// progress bar, runs the page operations on its frames and posts the answers
// and the user's events back. Reloading the page or opening a second tab shows
// the same state again, since all of it lives here.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/dialog.h"
#include "host/host.h"

namespace zelka {

class Env;
class WebServer;
class UiChannel;

// The user's documents folder: the desktop's XDG_DOCUMENTS_DIR (from
// user-dirs.dirs), else ~/Documents or ~/ドキュメント where one exists, else the
// home folder.
std::string DocumentsFolder();

class BrowserHost : public Host {
 public:
  struct Options {
    std::string app_dir;  // program directory: MainMenu/, FORM/, PDF/ are served from it
    std::string web_dir;  // the shell's own files (shell.html, shell.js, shell.css)
    int port = 0;         // 0: any free port
    // Folder the save dialog first opens in when the suggested name has none;
    // empty: DocumentsFolder(). Later dialogs open where the last one saved.
    std::string save_dir;
  };

  explicit BrowserHost(Options options);
  ~BrowserHost() override;
  BrowserHost(const BrowserHost&) = delete;
  BrowserHost& operator=(const BrowserHost&) = delete;

  // Binds 127.0.0.1 and starts serving on background threads. Returns false
  // with a message in *error when the port cannot be bound.
  bool Start(std::string* error = nullptr);
  // "http://127.0.0.1:PORT/?start=…": the address to print and open.
  std::string StartUrl() const;
  int Port() const;
  // Starts the user's browser (xdg-open) on a page that sends it on to the
  // start address. The page lies in a new folder only the user may read and
  // goes with the host: the start code never appears on a command line,
  // where every local user could read it. False with a message in *error.
  bool OpenBrowser(Env& env, std::string* error);

  // Ends the program's wait: WaitEvent returns kShutdown and every blocked
  // call returns at once (a message box as its cancelling answer, a page load
  // as failed). Safe from any thread.
  void RequestShutdown();
  // True while a browser tab has polled the state within the last seconds.
  bool BrowserConnected() const;

  // The folder that holds the shell's web files when they lie beside the
  // executable ("<folder of the executable>/web").
  static std::string DefaultWebDir();

  // --- Host -----------------------------------------------------------------
  Answer ShowMessage(const std::string& text, Buttons buttons = Buttons::kOk,
                     Icon icon = Icon::kNone, const std::string& title = "") override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text = "") override;
  std::string ShowSaveDialog(const SaveDialogSpec& spec) override;
  void RunDialog(Dialog& dialog) override;
  void RefreshDialog(const Dialog& dialog) override;
  void Pause(int milliseconds) override;
  void ShowWindow(View view, bool visible) override;
  void SetEntryMenu(EntryMenu menu) override;
  bool Navigate(View view, const std::string& page) override;
  std::string CurrentPage(View view) override;
  std::vector<PageElement> ReadForm(View view) override;
  void WriteForm(View view, const std::vector<ElementUpdate>& updates) override;
  void Focus(View view, const std::string& element_name) override;
  void ClearStatus(View view) override;
  UiEvent WaitEvent() override;
  void ReplyNavigation(int id, bool proceed) override;
  void ShowReport(const ReportView& report) override;
  void ShowModeless(const Dialog& window) override;
  void CloseModeless(const Dialog& window) override;
  bool OpenDocument(const std::string& path) override;
  void ShowProgress(const std::string& caption, long done, long total) override;
  bool Stopping() const override;

 private:
  // Publishes the windows that are not modal, in the order first shown.
  void PublishWindows();
  // Whether a window event names a shown window and, for a click, one of its
  // buttons.
  bool IsShownWindowEvent(const UiEvent& event) const;

  Options options_;
  std::string save_dir_;  // where the next save dialog opens
  int document_serial_ = 0;
  int report_serial_ = 0;
  std::string event_client_;  // the tab of the event being handled
  struct ShownWindow {
    const Dialog* window;
    int id;      // names the window in the state
    int raised;  // changes each time it is shown again, so a tab focuses it
  };
  std::vector<ShownWindow> windows_;
  int window_serial_ = 0;
  std::vector<std::pair<const Dialog*, int>> dialogs_;  // open dialogs and their request ids
  // The form a page load found or a status text brought, per view (main,
  // entry), with the channel's activity at that moment: the next ReadForm of
  // the view takes it instead of asking the tab again, provided nothing has
  // passed in between but a status clear.
  struct LoadedForm {
    std::vector<PageElement> elements;
    long activity = 0;
  };
  std::optional<LoadedForm> loaded_forms_[2];
  std::string start_page_dir_;  // the folder of the page OpenBrowser wrote
  std::unique_ptr<UiChannel> channel_;
  std::unique_ptr<WebServer> server_;
};

}  // namespace zelka
