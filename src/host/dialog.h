// A modal dialog as data plus behaviour: the controls it shows (captions,
// values, visibility, grid rows) and what it does with each user event. The
// host renders the controls (the browser as an overlay of the shell page, the
// scripted host not at all) and hands back events; the dialog's own code
// decides everything else, so the search and date dialogs are tested without
// a browser. Header-only, so that every subsystem can define dialogs.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace zelka {

class Host;

struct Control {
  std::string id;       // "txtSeiriNo", "cmdFind", "DBG", "Cal", …
  std::string kind;     // "text", "button", "label", "grid", "calendar", "select"
  std::string caption;  // label of a text box, caption of a button or label
  std::string value;    // text, selected option, calendar day as "YYYY-MM-DD"
  bool visible = true;
  std::vector<std::string> options;            // select
  std::vector<std::string> columns;            // grid captions
  std::vector<std::vector<std::string>> rows;  // grid cells, as shown
  int selected = -1;                           // grid: highlighted row, -1 none
};

struct DialogEvent {
  enum class Kind { kClick, kDoubleClick, kKey, kClose };
  Kind kind = Kind::kClick;
  std::string control;  // the control clicked
  std::string key;      // kKey: "Escape", "Enter", or a chord such as "Shift+Ctrl+Alt+K"
  int row = -1;         // kDoubleClick on a grid: the row
  // The values of the text boxes, selects and calendar and the grid's
  // highlighted row as the user left them; the host copies them into the
  // controls before OnEvent runs.
  std::map<std::string, std::string> values;
  std::map<std::string, int> selections;
};

class Dialog {
 public:
  enum class Placement { kCentre, kPointer };

  virtual ~Dialog() = default;

  std::string caption;
  std::vector<Control> controls;
  Placement placement = Placement::kCentre;
  bool closed = false;

  Control* Find(const std::string& id) {
    for (auto& c : controls)
      if (c.id == id) return &c;
    return nullptr;
  }
  const Control* Find(const std::string& id) const { return const_cast<Dialog*>(this)->Find(id); }

  // Copies the values and selections an event carries into the controls.
  void TakeValues(const DialogEvent& event) {
    for (const auto& [id, value] : event.values)
      if (Control* c = Find(id)) c->value = value;
    for (const auto& [id, row] : event.selections)
      if (Control* c = Find(id)) c->selected = row;
  }

  // Reacts to one event; sets `closed` to end the dialog. Called by the host
  // after TakeValues. A kClose event (title-bar close) closes the dialog unless
  // the override decides otherwise.
  virtual void OnEvent(const DialogEvent& event, Host& host) = 0;
};

}  // namespace zelka
