// What the intake and the assessment search dialogs share: the criteria
// fields, the search that fills the grid (criteria joined with OR), choosing a
// row (button or double click), deleting the highlighted row after a question,
// and handing back nothing when the dialog is closed without a choice. The
// grid keeps each row's keys beside the cells it shows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/dialog.h"
#include "store/record_context.h"
#include "store/value.h"

namespace zelka {

// One row of the search grid: the keys it stands for and the cells it shows.
struct FoundRow {
  int64_t record_number = 0;
  Date reference_date;  // zero for an intake row
  std::string name;     // the client's name, for the deletion question
  std::vector<std::string> cells;
};

// The WHERE clause of a search, built from fixed column names with every
// typed value bound as a parameter.
class SearchCriteria {
 public:
  // "<column> = ?" with the record number read from the text.
  void AddRecordNumber(std::string_view column, std::string_view text);
  // The column contains the text, every character taken literally.
  void AddNameContains(std::string_view column, std::string_view text);
  void Add(std::string term, Value param);

  bool empty() const { return terms_.empty(); }
  std::string Where() const;  // the terms joined with " OR "
  const std::vector<Value>& params() const { return params_; }

 private:
  std::vector<std::string> terms_;
  std::vector<Value> params_;
};

class RecordSearchDialog : public Dialog {
 public:
  void OnEvent(const DialogEvent& event, Host& host) override;

 protected:
  RecordSearchDialog(RecordContext& ctx, std::vector<std::string> columns);

  // Adds the criteria the user typed; returns false after telling the user
  // what is wrong with them.
  virtual bool CollectCriteria(SearchCriteria& criteria, Host& host) = 0;
  // The query that lists the rows matching `where`, in grid order.
  virtual std::string SelectSql(const std::string& where) const = 0;
  virtual FoundRow MakeRow(const std::vector<Value>& values) const = 0;
  virtual std::string DeleteQuestion(const FoundRow& row) const = 0;
  virtual void DeleteRow(const FoundRow& row) = 0;
  virtual void TakeKeys(const FoundRow& row) = 0;
  // Events the shared part does not handle (extra buttons, keys).
  virtual void OnOtherEvent(const DialogEvent& event, Host& host) {}

  // Lays out the record number and name fields with "or" between them, then
  // the dialog's own criteria, the three buttons, its own buttons and the grid.
  void AddControls(const std::vector<Control>& own_criteria,
                   const std::vector<Control>& own_buttons);
  std::string Text(const std::string& id) const;

  RecordContext& ctx_;

 private:
  void Search(Host& host);
  void Refresh(Host& host);
  void Choose(int row);
  void Delete(Host& host);
  int Highlighted() const;

  std::vector<std::string> columns_;
  std::vector<FoundRow> rows_;
  std::optional<std::pair<std::string, std::vector<Value>>> last_search_;
  bool chosen_ = false;
};

// Helpers for the grid cells and keys.
std::string ShortDateText(const Value& value);  // "yyyy/mm/dd", or the text as stored
int64_t RecordNumberOf(const Value& value);
Date DateOf(const Value& value);  // zero when the value is not a date
// The number at the start of a text (blanks skipped, optional sign, digits,
// fraction), 0 when there is none; full-width digits count as digits.
Value LeadingNumber(std::string_view text);

}  // namespace zelka
