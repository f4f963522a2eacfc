// A store from the delivered catalogue with a few clients and assessments, a
// scripted host and a clock that stands still, for the search and date
// dialog tests; and the events the browser sends to a dialog.
#pragma once

#include <sqlite3.h>

#include "host/dialog.h"
#include "support/store.h"

namespace zelka::testing {

class SearchTest : public StoreTest {
 protected:
  void AddClient(int64_t number, const std::string& name) {
    AddRow(kIntakeTable, {{"整理番号", number},
                          {"1-1", name},
                          {"受付日時", std::string("2003-03-20 10:15:00")},
                          {"1-3-1", std::string("1930-01-02")},
                          {"1-4-1", std::string("東京都")},
                          {"1-4-2", std::string("03-1234")}});
  }
  void AddAssessment(int64_t number, const std::string& iso_date, const std::string& name) {
    StoreTest::AddAssessment(number, iso_date, name);
    db->Execute("UPDATE [AA] SET [AA-3-1]='1930-01-02' WHERE [整理番号]=?1", {number});
  }
  void AddCapSelection(int64_t number, const std::string& iso_date) {
    AddRow("CAP選定", {{"整理番号", number}, {"基準日", iso_date}, {"CAP番号01", std::string("1")}});
  }
  // Makes every deletion from `table` fail, as a locked or damaged table would.
  void BlockDeletes(const std::string& table) {
    std::string sql = "CREATE TRIGGER block_" + std::to_string(++triggers_) + " BEFORE DELETE ON " +
                      QuoteName(table) + " BEGIN SELECT RAISE(ABORT, 'locked'); END";
    ASSERT_EQ(sqlite3_exec(db->handle(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  }

 private:
  int triggers_ = 0;
};

inline DialogEvent Click(const std::string& control, std::map<std::string, std::string> values = {}) {
  return {.kind = DialogEvent::Kind::kClick, .control = control, .values = std::move(values)};
}
inline DialogEvent DoubleClick(int row) {
  return {.kind = DialogEvent::Kind::kDoubleClick, .control = "DBG", .row = row};
}
inline DialogEvent Key(const std::string& key) { return {.kind = DialogEvent::Kind::kKey, .key = key}; }
// A click on the grid's row `row`, which highlights it.
inline DialogEvent Highlight(int row) { return {.control = "DBG", .selections = {{"DBG", row}}}; }

}  // namespace zelka::testing
