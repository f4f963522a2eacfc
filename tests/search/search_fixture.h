// A temporary store with a few clients and assessments, a scripted host and a
// clock that stands still, for the search and date dialog tests.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <memory>
#include <string>

#include "host/dialog.h"
#include "host/scripted_host.h"
#include "store/catalogue.h"
#include "store/database.h"
#include "store/record_context.h"
#include "support/temp_dir.h"
#include "util/fake_env.h"

namespace zelka::testing {

// The columns the dialogs read, and one item per section so rows are not bare keys.
// (The store adds CAP選定 itself.)
inline std::string SearchCatalogueText() {
  std::string text = "table\tcode\ttype\tsize\tformat\tkind\tcheck\tpage\tgroup\tlabel\tchoices\n";
  auto column = [&](const std::string& table, const std::string& code, int type, int size,
                    const std::string& kind) {
    text += table + "\t" + code + "\t" + std::to_string(type) + "\t" + std::to_string(size) +
            "\t\t" + kind + "\t0\t\t\t" + code + "\t\n";
  };
  column("相談受付表", "整理番号", 4, 0, "key");
  for (const char* code : {"受付日時"}) column("相談受付表", code, 8, 0, "datetime");
  for (const char* code : {"1-1", "1-4-1", "1-4-2"}) column("相談受付表", code, 10, 255, "text");
  column("相談受付表", "1-3-1", 8, 0, "date");
  column("AA", "整理番号", 4, 0, "key");
  column("AA", "AA-1", 10, 255, "text");
  column("AA", "AA-3-1", 8, 0, "date");
  for (char letter = 'A'; letter <= 'S'; ++letter) {
    std::string table(1, letter);
    column(table, "整理番号", 4, 0, "key");
    column(table, "基準日", 8, 0, "key");
    column(table, table + "9", 3, 0, "number");
  }
  return text;
}

class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override { OpenStore(Catalogue::Parse(SearchCatalogueText())); }

  void OpenStore(const Catalogue& catalogue) {
    std::string path = dir.Child("ZELKA20.mdb");
    Database::Create(path, catalogue);
    db = Database::Open(path);
    ctx.app_dir = dir.path();
    ctx.db = db.get();
    env.SetNow(Date{2026, 12, 6, 14, 37, 12});
  }

  void AddRow(const std::string& table, const std::map<std::string, Value>& values) {
    Recordset rs = db->OpenTable(table);
    rs.AddNew();
    for (const auto& [column, value] : values) rs.Set(column, value);
    rs.Update();
    rs.Close();
  }

  void AddClient(int64_t number, const std::string& name) {
    AddRow(kIntakeTable, {{"整理番号", number},
                          {"1-1", name},
                          {"受付日時", std::string("2003-03-20 10:15:00")},
                          {"1-3-1", std::string("1930-01-02")},
                          {"1-4-1", std::string("東京都")},
                          {"1-4-2", std::string("03-1234")}});
  }

  // An assessment as the new-assessment command leaves it: the AA row (once
  // per client) and one row in every section table.
  void AddAssessment(int64_t number, const std::string& iso_date, const std::string& name = "") {
    db->InTransaction([&] {
      if (Count("AA", number) == 0)
        AddRow("AA", {{"整理番号", number}, {"AA-1", name}, {"AA-3-1", std::string("1930-01-02")}});
      for (char letter = 'A'; letter <= 'S'; ++letter)
        AddRow(std::string(1, letter), {{"整理番号", number}, {"基準日", iso_date}});
    });
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

  int64_t Count(const std::string& table, int64_t number) {
    auto rows = db->Query("SELECT count(*) FROM " + QuoteName(table) + " WHERE [整理番号] = ?",
                          {number});
    return std::get<int64_t>(rows.at(0).at(0));
  }

  testing::TempDir dir;
  std::unique_ptr<Database> db;
  RecordContext ctx;
  ScriptedHost host;
  FaultInjectingEnv env;

 private:
  int triggers_ = 0;
};

// Events as the browser sends them.
inline DialogEvent Event(DialogEvent::Kind kind, std::string control = "") {
  DialogEvent e;
  e.kind = kind;
  e.control = std::move(control);
  return e;
}
inline DialogEvent Click(const std::string& control,
                         std::map<std::string, std::string> values = {}) {
  DialogEvent e = Event(DialogEvent::Kind::kClick, control);
  e.values = std::move(values);
  return e;
}
inline DialogEvent DoubleClick(int row) {
  DialogEvent e = Event(DialogEvent::Kind::kDoubleClick, "DBG");
  e.row = row;
  return e;
}
inline DialogEvent Key(const std::string& key) {
  DialogEvent e = Event(DialogEvent::Kind::kKey);
  e.key = key;
  return e;
}
inline DialogEvent Close() { return Event(DialogEvent::Kind::kClose); }
inline DialogEvent Highlight(int row) {
  DialogEvent e = Event(DialogEvent::Kind::kClick, "DBG");
  e.selections["DBG"] = row;
  return e;
}

// The first cell of every grid row.
inline std::vector<std::string> FirstCells(const Dialog& dialog) {
  std::vector<std::string> cells;
  for (const auto& row : dialog.Find("DBG")->rows) cells.push_back(row.at(0));
  return cells;
}

}  // namespace zelka::testing
