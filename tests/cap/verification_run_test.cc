// The verification run reads every table once, in stored order, into a sheet
// of all assessments; the selection run of one assessment reads its rows by
// key. Over a few hundred generated assessments, stored out of key order (some
// tables in an order of their own), with answers on and around every
// threshold of the rules, numbers as text, fractions, values beyond the range
// a sheet keeps, rows of no assessment, missing rows and a missing column,
// both must read what a plain reading by name reads, and the run must give
// the CAP選定 rows, the export and the failures of one selection run per
// assessment.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <random>
#include <set>

#include "cap/answer_reader.h"
#include "cap/cap_engine.h"
#include "cap/cap_store.h"
#include "cap/memory_assessment.h"
#include "support/store.h"

namespace zelka::testing {
namespace {

// What a reading meets: its result, or the failure's text.
template <typename Read>
std::string Met(Read read) {
  try {
    return read();
  } catch (const CapError& failure) {
    return failure.what();
  }
}

class GeneratedStore : public StoreTest {
 protected:
  GeneratedStore() {
    std::vector<AssessmentKey> keys;
    for (int64_t client = 1; client <= 120; ++client)
      for (int k = 0; k < 1 + static_cast<int>(client % 4); ++k)
        keys.push_back({client * 7 % 131, Date{2003 + k, 1 + static_cast<int>(client % 12), 1}});
    keys.push_back({500, Date{2003, 1, 1}});  // rows of no assessment: not in table A
    std::shuffle(keys.begin(), keys.end(), random_);
    // Tables H and K store each client's assessments in the reverse order: the
    // n-th row of H is often of the client of the n-th row of G, but of another date.
    std::map<int64_t, std::vector<Date>> dates;  // of each client, in stored order
    for (const AssessmentKey& key : keys) dates[key.record_number].push_back(key.reference_date);
    std::vector<AssessmentKey> other_order;
    for (const AssessmentKey& key : keys) {
      other_order.push_back({key.record_number, dates[key.record_number].back()});
      dates[key.record_number].pop_back();
    }
    db->InTransaction([&] {
      for (const auto& [client, unused] : dates)
        InsertRow(*DeliveredCatalogue().Find("AA"), {client, "利用者" + std::to_string(client)}, "[整理番号], [AA-1]");
      for (const TableDef& table : DeliveredCatalogue().tables()) {
        if (table.name.size() != 1) continue;
        for (const AssessmentKey& key : table.name == "H" || table.name == "K" ? other_order : keys)
          if (table.name != "A" || key.record_number != 500)
            InsertRow(table, {key.record_number, key.reference_date.IsoDate()}, "[整理番号], [基準日]");
      }
    });
    keys_ = CapStore(*db).Assessments();
  }

  // Mostly a small whole number, on or next to the rules' thresholds, unanswered
  // as often as `unanswered` percent, now and then text, a fraction (halves
  // round to even) or a number beyond what a sheet keeps.
  Value Answer(int unanswered) {
    static const Value kOdd[] = {std::string("3"), std::string(" 2 "), std::string("2x"), std::string(""),
                                 0.5, 1.5, 2.5, -0.5, 7.5, int64_t{126}, int64_t{127}, int64_t{128}, int64_t{-127},
                                 int64_t{-300}, 1e300, -1e300,
                                 std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min()};
    if (static_cast<int>(random_() % 100) < unanswered) return Value{};
    int roll = static_cast<int>(random_() % 10);
    if (roll < 6) return static_cast<int64_t>(random_() % 4);
    if (roll < 9) return static_cast<int64_t>(random_() % 11) - 1;
    return kOdd[random_() % std::size(kOdd)];
  }

  // A row with every answer column filled; of the assessments, one in three
  // is answered sparsely, so that rules that most answers trigger also fail.
  void InsertRow(const TableDef& table, std::vector<Value> values, std::string names) {
    const int unanswered = GetNum(values[0]) % 3 == 0 ? 80 : 12;
    for (const ColumnDef& c : table.columns) {
      if (c.kind != "choice" && c.kind != "check" && c.kind != "number") continue;
      names += ", " + QuoteName(c.code);
      values.push_back(Answer(unanswered));
    }
    std::string marks = "?";
    for (size_t i = 1; i < values.size(); ++i) marks += ", ?";
    db->Execute("INSERT INTO " + QuoteName(table.name) + " (" + names + ") VALUES (" + marks + ")", values);
  }

  // The assessment's sheet read the plain way: SELECT * by key, columns by name.
  AnswerSheet PlainSheet(const AssessmentKey& key) {
    StoredRows rows;
    for (const SectionItems& section : kRuleItems) {
      std::string table = db->TableName(section.table);
      bool client = table == "AA";
      auto found = db->Query("SELECT * FROM " + QuoteName(table) + " WHERE [整理番号]=?1" +
                                 (client ? "" : " AND [基準日]=?2"),
                             client ? std::vector<Value>{key.record_number}
                                    : std::vector<Value>{key.record_number, key.reference_date.IsoDate()});
      if (found.empty()) continue;
      std::vector<FieldInfo> fields = db->TableFields(table);
      for (size_t i = 0; i < fields.size(); ++i) rows[UpperAscii(table)][UpperAscii(fields[i].name)] = found[0][i];
    }
    return SheetOf(key, rows);
  }

  // Every CAP選定 row, in stored order.
  std::vector<std::vector<Value>> CapRows() { return db->Query("SELECT * FROM [CAP選定] ORDER BY rowid"); }

  std::mt19937 random_{20261206};
  std::vector<AssessmentKey> keys_;  // table A in stored order
};

// What a rule reading an item meets: the number (and, asked for, the stored
// value with its type), or the failure's text. Slot -1 is the client's name.
std::string Outcome(const Answers& answers, int slot, bool with_value = false) {
  return Met([&] {
    if (slot < 0) return answers.ClientName().value_or("(Null)");
    Item item = Item::AtSlot(slot);
    Table table = Table::At(item.table());
    std::string met = std::to_string(answers.Num(table, item));
    if (!with_value) return met;
    const Value& value = answers.Get(table, item);
    return met + " " + std::to_string(value.index()) + ":" + ValueText(value);
  });
}

TEST_F(GeneratedStore, SheetsHoldWhatAPlainReadingByNameFinds) {
  db->Execute("DELETE FROM [H] WHERE rowid % 40 = 3");
  db->Execute("DELETE FROM [AA] WHERE rowid % 30 = 4");
  db->Execute("ALTER TABLE [D] DROP COLUMN [d2]");
  db = Database::Open(path);
  ctx.db = db.get();

  AnswerSheet all = ReadAllAnswers(*db, keys_);
  ASSERT_EQ(all.keys().size(), keys_.size());
  std::set<std::string> outcomes;
  for (size_t i = 0; i < keys_.size(); ++i) {
    AnswerSheet plain = PlainSheet(keys_[i]), one = ReadAnswers(*db, keys_[i], true);
    for (int slot = -1; slot < kRuleItemCount; ++slot) {
      const std::string where = DescribeAssessment(keys_[i]) + " " + std::string(slot < 0 ? "AA-1" : kItemInfo[slot].code);
      std::string expected = Outcome(plain[0], slot);
      outcomes.insert(expected);
      ASSERT_EQ(Outcome(all[i], slot), expected) << where;
      ASSERT_EQ(Outcome(one[0], slot, true), Outcome(plain[0], slot, true)) << where;
    }
  }
  for (const char* met : {"-126", "126", "H 表の行がありません", "表 D に項目 d2 がありません"})
    EXPECT_EQ(outcomes.count(met), 1u) << met;
}

// The run gives the rows and the export of single runs; when assessments are
// broken it fails as the first of them in the order of A, naming it and its
// missing row, and leaves CAP選定 as it was.
TEST_F(GeneratedStore, VerificationRunGivesWhatSingleRunsGiveOrFailsAsTheFirstBrokenAssessment) {
  // CAP選定 filled the slow way: one selection run per assessment, in the stored order of A.
  db->Execute("DELETE FROM [CAP選定]");
  for (const AssessmentKey& key : keys_) StoreSelection(*db, key);
  auto single_rows = CapRows();
  std::string single_export = VerificationExport(*db);

  db->Execute("DELETE FROM [CAP選定]");
  auto cache_size = db->Query("PRAGMA cache_size");
  VerificationResult result = RecomputeAllSelections(*db, [](long, long) {});
  EXPECT_EQ(db->Query("PRAGMA cache_size"), cache_size) << "the connection's page cache is restored";
  EXPECT_EQ(CapRows(), single_rows);
  EXPECT_EQ(VerificationExport(result), single_export);

  // Every CAP is met both triggered and not.
  uint64_t some = 0, not_all = 0;
  for (uint64_t caps : result.caps) {
    some |= caps;
    not_all |= ~caps;
  }
  const uint64_t every = (uint64_t{1} << kCapCount) - 1;
  EXPECT_EQ(some & every, every);
  EXPECT_EQ(not_all & every, every);

  const AssessmentKey first = keys_[keys_.size() / 4], second = keys_[keys_.size() * 3 / 4];
  db->Execute("DELETE FROM [N] WHERE [整理番号]=?1 AND [基準日]=?2",
              {first.record_number, first.reference_date.IsoDate()});
  db->Execute("DELETE FROM [B] WHERE [整理番号]=?1 AND [基準日]=?2",
              {second.record_number, second.reference_date.IsoDate()});
  EXPECT_EQ(Met([&] {
              RecomputeAllSelections(*db, [](long, long) {});
              return std::string("no failure");
            }),
            DescribeAssessment(first) + ": N 表の行がありません");
  EXPECT_EQ(CapRows(), single_rows) << "CAP選定 is left as it was";
}

}  // namespace
}  // namespace zelka::testing
