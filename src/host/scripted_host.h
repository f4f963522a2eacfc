// A host for tests: it answers message boxes, input boxes and save dialogs
// from a script, drives modal dialogs through a test-supplied function, keeps
// the pages' form elements in memory, and records everything it was asked to
// show, so that a test can check the exact messages, titles and icons.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/dialog.h"
#include "host/host.h"

namespace zelka {

class ScriptedHost : public Host {
 public:
  struct Message {
    std::string text;
    Buttons buttons;
    Icon icon;
    std::string title;
    Answer answer;
  };
  // Drives one modal dialog: send events with dialog.OnEvent (or use Send),
  // until the dialog closes. Called with the dialog and this host.
  using DialogScript = std::function<void(Dialog&, ScriptedHost&)>;

  // --- Script ---------------------------------------------------------------
  // Answers for the next message boxes, in order. A message box with no
  // scripted answer gets its default button (OK, or Yes unless the box makes
  // No the default) and is still recorded.
  void QueueAnswer(Answer answer) { answers_.push_back(answer); }
  void QueueInput(std::optional<std::string> text) { inputs_.push_back(std::move(text)); }
  void QueueSavePath(std::string path) { save_paths_.push_back(std::move(path)); }
  void QueueDialog(DialogScript script) { dialogs_.push_back(std::move(script)); }
  void QueueEvent(UiEvent event) { events_.push_back(std::move(event)); }
  // The elements a page holds when it is loaded (by its path, e.g. "FORM/A.HTM").
  void DefinePage(const std::string& page, std::vector<PageElement> elements) {
    page_templates_[page] = std::move(elements);
  }

  // Sends one event to a dialog the way the browser host does: values first,
  // then OnEvent.
  void Send(Dialog& dialog, DialogEvent event) {
    dialog.TakeValues(event);
    dialog.OnEvent(event, *this);
  }

  // --- What happened --------------------------------------------------------
  std::vector<Message> messages;
  std::vector<std::string> input_prompts;
  std::vector<SaveDialogSpec> save_dialogs;
  std::vector<std::string> dialogs_shown;  // captions
  std::vector<std::string> navigations;    // "main:MainMenu/MainMenuFr.htm", "entry:FORM/A.HTM"
  std::vector<std::string> opened_documents;
  std::vector<ReportView> reports;  // previews shown, each left at once
  bool open_document_result = true;         // what OpenDocument answers
  bool stopping = false;                    // what Stopping answers
  std::vector<std::string> windows_shown;   // captions, each time a window is shown
  std::vector<std::string> windows_open;    // captions of the windows shown and not closed
  std::vector<int> pauses;
  int refreshes = 0;
  std::map<View, bool> visible{{View::kMain, true}, {View::kEntry, false}};
  EntryMenu entry_menu = EntryMenu::kNone;
  std::map<View, std::string> focused;
  std::map<View, int> status_clears;
  std::vector<std::pair<int, bool>> navigation_replies;

  // The elements of the page now shown in a view (changed by WriteForm, and
  // by the test itself to play the user typing).
  std::vector<PageElement>& Elements(View view) { return pages_[view].elements; }
  PageElement* Element(View view, const std::string& name);
  std::string Background(View view, const std::string& name) {
    return pages_[view].backgrounds[name];
  }
  std::string LastMessage() const { return messages.empty() ? "" : messages.back().text; }

  // --- Host -----------------------------------------------------------------
  Answer ShowMessage(const std::string& text, Buttons buttons, Icon icon,
                     const std::string& title) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& default_text) override;
  std::string ShowSaveDialog(const SaveDialogSpec& spec) override;
  void RunDialog(Dialog& dialog) override;
  void RefreshDialog(const Dialog&) override { ++refreshes; }
  void Pause(int milliseconds) override { pauses.push_back(milliseconds); }
  void ShowWindow(View view, bool show) override { visible[view] = show; }
  void SetEntryMenu(EntryMenu menu) override { entry_menu = menu; }
  bool Navigate(View view, const std::string& page) override;
  std::string CurrentPage(View view) override { return pages_[view].path; }
  std::vector<PageElement> ReadForm(View view) override { return pages_[view].elements; }
  void WriteForm(View view, const std::vector<ElementUpdate>& updates) override;
  void Focus(View view, const std::string& name) override { focused[view] = name; }
  void ClearStatus(View view) override { ++status_clears[view]; }
  UiEvent WaitEvent() override;
  void ReplyNavigation(int id, bool proceed) override {
    navigation_replies.emplace_back(id, proceed);
  }
  void ShowReport(const ReportView& report) override { reports.push_back(report); }
  void ShowModeless(const Dialog& window) override;
  void CloseModeless(const Dialog& window) override;
  bool OpenDocument(const std::string& path) override {
    opened_documents.push_back(path);
    return open_document_result;
  }
  bool Stopping() const override { return stopping; }
  void ShowProgress(const std::string&, long done, long total) override {
    progress.emplace_back(done, total);
  }
  std::vector<std::pair<long, long>> progress;

 private:
  struct Page {
    std::string path;
    std::vector<PageElement> elements;
    std::map<std::string, std::string> backgrounds;
  };
  std::deque<Answer> answers_;
  std::deque<std::optional<std::string>> inputs_;
  std::deque<std::string> save_paths_;
  std::deque<DialogScript> dialogs_;
  std::deque<UiEvent> events_;
  std::map<std::string, std::vector<PageElement>> page_templates_;
  std::map<View, Page> pages_;
};

}  // namespace zelka
