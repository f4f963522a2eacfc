#include "host/scripted_host.h"

#include <algorithm>
#include <stdexcept>

namespace zelka {

namespace {

// The answer of a box nobody scripted: its default button.
Answer DefaultButton(Buttons buttons) {
  switch (buttons) {
    case Buttons::kYesNo:
      return Answer::kYes;
    case Buttons::kYesNoDefaultNo:
      return Answer::kNo;
    case Buttons::kOk:
    case Buttons::kOkCancel:
      break;
  }
  return Answer::kOk;
}

const char* ViewName(View view) { return view == View::kMain ? "main" : "entry"; }

}  // namespace

PageElement* ScriptedHost::Element(View view, const std::string& name) {
  for (auto& e : pages_[view].elements)
    if (e.name == name) return &e;
  return nullptr;
}

Answer ScriptedHost::ShowMessage(const std::string& text, Buttons buttons, Icon icon,
                                 const std::string& title) {
  Answer answer = DefaultButton(buttons);
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  }
  messages.push_back({text, buttons, icon, title, answer});
  return answer;
}

std::optional<std::string> ScriptedHost::InputBox(const std::string& prompt, const std::string&,
                                                  const std::string&) {
  input_prompts.push_back(prompt);
  // An unscripted input box is a test that went further than planned: stop it
  // rather than loop for ever on a box that insists on an answer.
  if (inputs_.empty()) throw std::logic_error("ScriptedHost: unscripted input box: " + prompt);
  auto text = inputs_.front();
  inputs_.pop_front();
  return text;
}

std::string ScriptedHost::ShowSaveDialog(const SaveDialogSpec& spec) {
  save_dialogs.push_back(spec);
  if (save_paths_.empty()) return "";
  std::string path = save_paths_.front();
  save_paths_.pop_front();
  return path;
}

void ScriptedHost::RunDialog(Dialog& dialog) {
  dialogs_shown.push_back(dialog.caption);
  if (dialogs_.empty()) {
    // Nobody scripted it: the user closes it from its title bar.
    Send(dialog, DialogEvent{DialogEvent::Kind::kClose});
    return;
  }
  DialogScript script = std::move(dialogs_.front());
  dialogs_.pop_front();
  script(dialog, *this);
  if (!dialog.closed) Send(dialog, DialogEvent{DialogEvent::Kind::kClose});
}

bool ScriptedHost::Navigate(View view, const std::string& page) {
  navigations.push_back(std::string(ViewName(view)) + ":" + page);
  Page& shown = pages_[view];
  shown.path = page;
  shown.backgrounds.clear();
  auto it = page_templates_.find(page);
  shown.elements = it == page_templates_.end() ? std::vector<PageElement>{} : it->second;
  return true;
}

void ScriptedHost::WriteForm(View view, const std::vector<ElementUpdate>& updates) {
  Page& shown = pages_[view];
  for (const auto& u : updates) {
    if (u.background) shown.backgrounds[u.name] = *u.background;
    PageElement* e = Element(view, u.name);
    if (!e) continue;
    if (u.value) e->value = *u.value;
    if (u.checked) e->checked = *u.checked;
  }
}

void ScriptedHost::ShowModeless(const Dialog& window) {
  windows_shown.push_back(window.caption);
  if (std::find(windows_open.begin(), windows_open.end(), window.caption) == windows_open.end())
    windows_open.push_back(window.caption);
}

void ScriptedHost::CloseModeless(const Dialog& window) { std::erase(windows_open, window.caption); }

UiEvent ScriptedHost::WaitEvent() {
  if (events_.empty()) return UiEvent{UiEvent::Kind::kShutdown};
  UiEvent event = std::move(events_.front());
  events_.pop_front();
  return event;
}

}  // namespace zelka
