// One assessment held in memory for the rule tests: every section row exists
// with every column of the real item catalogue, all unanswered (Null), and the
// client is named. Tests set the answers that matter and may remove a section
// row; the rules read them as a sheet of one assessment built by name, the
// plain way (GetNum of each stored value).
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cap/answers.h"
#include "cap/cap_catalogue.h"
#include "cap/cap_rules.h"
#include "cap/evidence.h"
#include "cap/selection.h"
#include "support/store.h"

namespace zelka::testing {

// Stored rows by upper-case table name: upper-case column → value.
using StoredRows = std::map<std::string, std::map<std::string, Value>>;

// The sheet of one assessment whose rows are given by name; a table absent
// from `rows` has no row, a column absent from its row is missing.
inline AnswerSheet SheetOf(const AssessmentKey& key, const StoredRows& rows) {
  AnswerSheet sheet({key}, true);
  const size_t block = sheet.Block(0);
  for (int table = 0; table < kRuleTableCount; ++table) {
    auto row = rows.find(std::string(kRuleItems[table].table));
    if (row == rows.end()) continue;
    sheet.TakeRow(block, table);
    for (int slot = kFirstSlot[table]; slot < kFirstSlot[table + 1]; ++slot) {
      auto cell = row->second.find(UpperAscii(kItemInfo[slot].code));
      if (cell == row->second.end()) sheet.SetMissingColumn(block, slot);
      else sheet.SetValue(block, slot, cell->second);
    }
    auto name = row->second.find("AA-1");
    if (table == kClientTable && name != row->second.end() && !IsNull(name->second))
      sheet.SetClientName(block, ValueText(name->second));
  }
  return sheet;
}

class MemoryAssessment {
 public:
  MemoryAssessment() {
    key_.record_number = 12;
    key_.reference_date = Date{2003, 4, 1};
    for (const TableDef& table : DeliveredCatalogue().tables())
      for (const ColumnDef& column : table.columns) rows_[UpperAscii(table.name)][UpperAscii(column.code)] = Value{};
    Set("aa-1", std::string("山田 花子"));
  }

  // Sets answers written as on the form, "h2-a=2 c3=-": each item code (any
  // case; codes begin with their section's letters, so the code names its
  // table) with a whole number, or "-" for unanswered.
  MemoryAssessment& Set(std::string_view answers) {
    std::istringstream words{std::string(answers)};
    for (std::string word; words >> word;) {
      const size_t equals = word.find('=');
      if (equals == std::string::npos) throw std::invalid_argument("no value in " + word);
      const std::string value = word.substr(equals + 1);
      Set(word.substr(0, equals), value == "-" ? Value{} : Value{std::stoll(value)});
    }
    return *this;
  }
  MemoryAssessment& Set(const std::string& column, Value value) {
    for (auto& [table, row] : rows_) {
      auto cell = row.find(UpperAscii(column));
      if (cell == row.end()) continue;
      cell->second = std::move(value);
      return *this;
    }
    throw std::invalid_argument("no column " + column);
  }
  // A section without its row; its answers can no longer be set.
  void RemoveRow(const std::string& table) { rows_.erase(UpperAscii(table)); }

  AnswerSheet Sheet() const { return SheetOf(key_, rows_); }

 private:
  AssessmentKey key_;
  StoredRows rows_;
};

// Helpers: the CAP numbers the selection triggers, in slot order; whether one
// CAP is triggered; the evidence of one CAP written compactly as
// "group: K=V K=V | group: …".
inline std::vector<std::string> Selected(const MemoryAssessment& assessment) {
  std::vector<std::string> numbers;
  for (const CapSlot& slot : SelectCaps(assessment.Sheet()[0]).slots) numbers.push_back(slot.number);
  return numbers;
}

inline bool Triggered(const MemoryAssessment& assessment, const std::string& number) {
  return IsTriggered(FindCap(number), assessment.Sheet()[0]);
}

inline std::string Describe(const TriggerCol& evidence) {
  std::string text;
  for (TriggerCls& group : evidence) {
    if (!text.empty()) text += " | ";
    text += group.trigger_name + ":";
    for (const TrgFlagCls& item : *group.GetTrgFlagCol())
      text += " " + item.key + "=" + item.value;
  }
  return text;
}

inline std::string EvidenceOf(const MemoryAssessment& assessment, const std::string& number) {
  TriggerCol evidence;
  GatherEvidence(FindCap(number), assessment.Sheet()[0], evidence);
  return Describe(evidence);
}

// One step of a rule test: answers added to the assessment so far, then
// whether the CAP fires and the evidence it lists, each when given.
struct Step {
  std::string answers;
  std::optional<bool> fires;
  const char* evidence = nullptr;
};

inline void ExpectSteps(const std::string& cap, std::initializer_list<Step> steps, MemoryAssessment a = {}) {
  int n = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE("CAP " + cap + " step " + std::to_string(++n) + ": " + step.answers);
    a.Set(step.answers);
    if (step.fires) {
      EXPECT_EQ(Triggered(a, cap), *step.fires);
    }
    if (step.evidence) {
      EXPECT_EQ(EvidenceOf(a, cap), step.evidence);
    }
  }
}

// One item that decides a CAP, written last in `answers` after the answers
// it needs beside it ("h2-a=2 h2-b=3 h3"): its values from `low` to `high`
// trigger the CAP (kNoUpper: every value from `low` up), the value one below
// and the one above do not.
inline constexpr int kNoUpper = 99;
struct Range {
  const char* cap;
  const char* answers;
  int low, high;
};

inline void ExpectRange(const Range& r) {
  for (int v : {r.low - 1, r.low, r.high, r.high + 1})
    ExpectSteps(r.cap, {{r.answers + ("=" + std::to_string(v)), v >= r.low && (v <= r.high || r.high == kNoUpper)}});
}

}  // namespace zelka::testing
