// The entry window: the view in which the user enters an intake record or an
// assessment, one page at a time. It opens a record (new or chosen through the
// search dialogs), shows its first page with the matching "ジャンプ(&J)" menu,
// runs the entry pages' "!" (date picker) and "#" (move) requests and the menu
// jumps, and closes again, storing the page unless the user chose to leave
// without saving. While it is open the main window is hidden.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "host/host.h"
#include "store/record_context.h"
#include "util/env.h"

namespace zelka {

// The modal dialogs the entry window opens. Each hands its result back through
// the record context (record number, reference date, picker state) and leaves
// it untouched when the user cancels.
struct EntryDialogs {
  // Chooses an intake record: sets ctx.record_number.
  std::function<void(RecordContext&, Host&)> intake_search;
  // Chooses an assessment: sets ctx.record_number and ctx.reference_date.
  std::function<void(RecordContext&, Host&, Env&)> assessment_search;
  // Asks for the reference date of a new assessment: sets ctx.reference_date.
  std::function<void(RecordContext&, Host&, Env&)> reference_date;
  // The date picker: reads ctx.picker, sets picker.accepted and picker.picked.
  std::function<void(RecordContext&, Host&, Env&)> date_picker;
};

inline constexpr const char kEntryWindowTitle[] = "ZELKA 在宅ケア アセスメント表";

class EntryWindow {
 public:
  EntryWindow(RecordContext& ctx, Host& host, Env& env, EntryDialogs dialogs);

  // The four opening commands. Each first closes a record still open (and
  // stops when that close is refused), then chooses or creates the record.
  void UketukeNew();       // a new intake record on UKETUKE1.HTM, not yet stored
  void UketukeEdit();      // an intake record chosen by the intake search
  void AssessmentNew();    // a new assessment of a client chosen by the intake search
  void AssessmentEdit();   // an assessment chosen by the assessment search

  // A status text set by the entry page: "!" asks for the date picker, "#"
  // asks to move to another page (or to close). Other texts are ignored.
  void OnStatusText(const std::string& text);
  // A click on an item of the "ジャンプ(&J)" menus (ids of entry_menus.h).
  void OnMenu(const std::string& id);
  // The user closed the entry window from its title bar: asks whether to
  // leave without saving.
  void OnTitleBarClose();
  // Closes the window as the program does, storing the page first. True when
  // the window is closed afterwards (or was not open); false when the save
  // was refused and the window stays open.
  bool CloseIfOpen();

  bool IsOpen() const { return open_; }

 private:
  // Takes the rows of the chosen record as the current recordset; false
  // (after telling the user) when the record is gone.
  bool OpenRecord(Recordset rows);
  // Shows the entry window on the record's first page; `fill` loads the page
  // from the row and puts the row into edit mode (a new intake is in add mode).
  void ShowFirstPage(std::string_view page, EntryMenu menu, bool fill);
  void CreateAssessmentRows(int64_t number, const Date& date, bool create_client_row);
  void PickDate(const std::string& request);
  void Move(const std::string& page);
  void CloseWindow();

  RecordContext& ctx_;
  Host& host_;
  Env& env_;
  EntryDialogs dialogs_;
  bool open_ = false;
};

}  // namespace zelka
