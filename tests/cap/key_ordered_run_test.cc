// The verification run reads rows through streaming queries in key order; the
// selection run of one assessment looks rows up by key. Over a few hundred generated assessments,
// entered out of key order, with unanswered items, odd stored values and
// missing rows, both must give the same CAP選定 rows, the same export and the
// same failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "cap/cap_engine.h"
#include "cap/cap_store.h"
#include "cap/key_ordered_rows.h"
#include "support/store.h"

namespace zelka::testing {
namespace {

class GeneratedStore : public StoreTest {
 protected:
  GeneratedStore() {
    std::vector<AssessmentKey> keys;
    for (int64_t client = 1; client <= 90; ++client)
      for (int k = 0; k < 1 + static_cast<int>(client % 4); ++k)
        keys.push_back({client * 7 % 97, Date{2003 + k, 1 + static_cast<int>(client % 12), 1}});
    std::shuffle(keys.begin(), keys.end(), random_);
    db->InTransaction([&] {
      for (const AssessmentKey& key : keys) Insert(key);
    });
    keys_ = CapStore(*db).Assessments();
  }

  // An answer as a user or an old file may have left it: mostly a coded
  // choice, often unanswered, now and then a number kept as text or a fraction.
  Value Answer(const ColumnDef& column) {
    int roll = static_cast<int>(random_() % 100);
    if (roll < 15) return Value{};
    if (column.check) return int64_t(roll % 3 == 0);
    if (column.choices.empty()) return Value{};
    int64_t code = column.choices[random_() % column.choices.size()].code;
    if (roll < 18) return std::to_string(code);
    if (roll < 20) return code + 0.5;
    return code;
  }

  void InsertRow(const TableDef& table, std::vector<Value> values, std::string names) {
    std::string marks;
    for (size_t i = 1; i <= values.size(); ++i) marks += (i > 1 ? ", ?" : "?") + std::to_string(i);
    for (const ColumnDef& c : table.columns) {
      if (c.kind != "choice" && c.kind != "check") continue;
      names += ", " + QuoteName(c.code);
      values.push_back(Answer(c));
      marks += ", ?" + std::to_string(values.size());
    }
    db->Execute("INSERT INTO " + QuoteName(table.name) + " (" + names + ") VALUES (" + marks + ")", values);
  }

  void Insert(const AssessmentKey& key) {
    bool new_client = db->Query("SELECT 1 FROM [AA] WHERE [整理番号]=?1", {key.record_number}).empty();
    for (const TableDef& table : DeliveredCatalogue().tables()) {
      if (table.name == "AA" && new_client)
        InsertRow(table, {key.record_number, "利用者" + std::to_string(key.record_number)}, "[整理番号], [AA-1]");
      else if (table.name.size() == 1)
        InsertRow(table, {key.record_number, key.reference_date.IsoDate()}, "[整理番号], [基準日]");
    }
  }

  // Every CAP選定 row, in stored order.
  std::vector<std::vector<Value>> CapRows() { return db->Query("SELECT * FROM [CAP選定] ORDER BY rowid"); }

  // CAP選定 filled the slow way: one selection run per assessment, in the stored order of A.
  void SelectOneByOne() {
    db->Execute("DELETE FROM [CAP選定]");
    for (const AssessmentKey& key : keys_) StoreSelection(*db, key);
  }

  std::mt19937 random_{20261206};
  std::vector<AssessmentKey> keys_;  // table A in stored order
};

TEST_F(GeneratedStore, VerificationRunGivesTheRowsAndExportOfSingleRuns) {
  ASSERT_GT(keys_.size(), 200u);
  SelectOneByOne();
  auto single_rows = CapRows();
  std::string single_export = VerificationExport(*db);

  db->Execute("DELETE FROM [CAP選定]");
  auto cache_size = db->Query("PRAGMA cache_size");
  EXPECT_EQ(RecomputeAllSelections(*db, [](long, long) {}), static_cast<long>(keys_.size()));
  EXPECT_EQ(db->Query("PRAGMA cache_size"), cache_size) << "the connection's page cache is restored";
  EXPECT_EQ(CapRows(), single_rows);
  EXPECT_EQ(VerificationExport(*db), single_export);

  std::set<std::string> triggered;
  for (const auto& row : single_rows)
    for (const Value& cell : row)
      if (const auto* text = std::get_if<std::string>(&cell)) triggered.insert(*text);
  EXPECT_GT(triggered.size(), 40u) << "the data should trigger many different CAPs";
}

TEST_F(GeneratedStore, MissingRowsFailAsTheFirstBrokenAssessment) {
  // Break two assessments; the run names the one it meets first.
  const AssessmentKey first = keys_[keys_.size() / 4], second = keys_[keys_.size() * 3 / 4];

  SelectOneByOne();
  auto before = CapRows();
  db->Execute("DELETE FROM [N] WHERE [整理番号]=?1 AND [基準日]=?2",
                    {first.record_number, first.reference_date.IsoDate()});
  db->Execute("DELETE FROM [B] WHERE [整理番号]=?1 AND [基準日]=?2",
                    {second.record_number, second.reference_date.IsoDate()});

  std::string expected;
  try {
    StoreSelection(*db, first);
  } catch (const CapError& failure) {
    expected = failure.what();
  }
  ASSERT_NE(expected.find("N 表の行がありません"), std::string::npos) << expected;
  try {
    RecomputeAllSelections(*db, [](long, long) {});
    FAIL() << "the run should fail";
  } catch (const CapError& failure) {
    EXPECT_EQ(std::string(failure.what()), expected);
  }
  EXPECT_EQ(CapRows(), before) << "CAP選定 is left as it was";
}

// Rows read through the streaming queries, in any order and for any column,
// are the rows a key lookup gives; a column no table has is the same error.
TEST_F(GeneratedStore, StreamedRowsEqualLookedUpRows) {
  CapStore lookup(*db);
  std::vector<AssessmentKey> keys = keys_;
  std::sort(keys.begin(), keys.end(), [](const AssessmentKey& a, const AssessmentKey& b) {
    return std::pair(a.record_number, a.reference_date) < std::pair(b.record_number, b.reference_date);
  });
  std::swap(keys[5], keys[40]);  // one step back: answered by lookup
  db->InTransaction([&] {
    KeyOrderedRows streamed(lookup);
    for (const AssessmentKey& key : keys) {
      AssessmentRows fast(streamed, key), slow(lookup, key);
      for (const TableDef& table : DeliveredCatalogue().tables()) {
        if (table.name != "AA" && table.name.size() != 1) continue;
        for (size_t i = 0; i < table.columns.size(); i += 1 + key.record_number % 3) {
          std::string column = table.columns[i].code;
          if (i % 2) std::transform(column.begin(), column.end(), column.begin(), ::toupper);
          ASSERT_EQ(fast.Get(table.name, column), slow.Get(table.name, column)) << table.name << " " << column;
        }
      }
      EXPECT_THROW(fast.Get("c", "c99"), CapError);
    }
  });
  AssessmentKey absent{1000, Date{2003, 1, 1}};
  KeyOrderedRows streamed(lookup);
  EXPECT_FALSE(streamed.Fetch("H", absent));
  EXPECT_FALSE(streamed.Fetch("AA", absent));
}

}  // namespace
}  // namespace zelka::testing
