// The shared record context: which record the user is working on, the row the
// entry window shows, and the few flags that pass between the entry window,
// the binding and the dialogs. One instance lives for the whole run; every
// command reads and writes it on the application thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "store/catalogue.h"
#include "store/database.h"
#include "util/date.h"

namespace zelka {

inline constexpr const char kIntakeTable[] = "相談受付表";

// What the date picker and whoever opens it exchange.
struct PickerState {
  bool accepted = false;       // the user confirmed a date
  bool time_mode = false;      // offer hours and minutes
  std::string target_element;  // entry-page element whose value the picker starts from
  std::string next_element;    // the page field after it, set by the picker
  Date picked;                 // the chosen date and time
};

struct RecordContext {
  std::string app_dir;          // the program directory
  Database* db = nullptr;       // the one open connection
  std::shared_ptr<const Catalogue> catalogue;  // the item catalogue, for item captions; may be null
  std::optional<Recordset> current;  // the row of the page the entry window shows
  int64_t record_number = 0;    // 整理番号 being worked on; below 1 = none
  Date reference_date;          // 基準日 being worked on; zero = none
  std::string table_name;       // 相談受付表 for intake commands, AA for assessment commands
  std::string next_page;        // page file to show next; empty = close the entry window
  bool new_intake = false;      // a new intake record is being entered
  bool navigation_permit = false;  // the entry window may navigate
  bool closing = false;         // closing the entry window skips the save
  PickerState picker;

  void ClearKeys() {
    record_number = 0;
    reference_date = Date{};
  }
};

}  // namespace zelka
