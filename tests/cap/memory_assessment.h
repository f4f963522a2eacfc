// One assessment held in memory for the rule tests: every section row exists
// with every column of the real item catalogue, all unanswered (Null), and the
// client is named. Tests set the answers that matter, may remove a section row,
// and can see which tables the rules read.
#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "cap/assessment_rows.h"
#include "cap/cap_catalogue.h"
#include "cap/cap_rules.h"
#include "cap/evidence.h"
#include "cap/selection.h"
#include "support/store.h"

namespace zelka::testing {

class MemoryAssessment : public RowSource {
 public:
  MemoryAssessment();

  MemoryAssessment& Set(const std::string& table, const std::string& column, Value value);
  void RemoveRow(const std::string& table) { removed_.insert(UpperAscii(table)); }
  AssessmentKey key() const { return key_; }

  std::optional<SectionRow> Fetch(const std::string& table, const AssessmentKey& key) override;
  std::vector<std::string> fetched;  // tables read, in order

 private:
  AssessmentKey key_;
  std::map<std::string, std::shared_ptr<const ColumnIndex>> columns_;
  std::map<std::string, std::vector<Value>> values_;
  std::set<std::string> removed_;
};

inline MemoryAssessment::MemoryAssessment() {
  key_.record_number = 12;
  key_.reference_date = Date{2003, 4, 1};
  for (const TableDef& table : DeliveredCatalogue().tables()) {
    std::vector<std::string> names;
    for (const ColumnDef& column : table.columns) names.push_back(column.code);
    columns_[UpperAscii(table.name)] = std::make_shared<const ColumnIndex>(names);
    values_[UpperAscii(table.name)].assign(names.size(), Value{});
  }
  Set("AA", "AA-1", std::string("山田 花子"));
}

inline MemoryAssessment& MemoryAssessment::Set(const std::string& table, const std::string& column, Value value) {
  std::string name = UpperAscii(table);
  int position = columns_.at(name)->Find(column);
  if (position < 0) throw std::invalid_argument("no column " + column + " in " + table);
  values_[name][position] = std::move(value);
  return *this;
}

inline std::optional<SectionRow> MemoryAssessment::Fetch(const std::string& table, const AssessmentKey& key) {
  fetched.push_back(table);
  if (removed_.count(table) || !columns_.count(table)) return std::nullopt;
  if (key.record_number != key_.record_number) return std::nullopt;
  return SectionRow(table, columns_[table], values_[table]);
}

// Helpers: the CAP numbers the selection triggers, in slot order; whether one
// CAP is triggered; the evidence of one CAP written compactly as
// "group: K=V K=V | group: …".
inline std::vector<std::string> Selected(MemoryAssessment& assessment) {
  AssessmentRows rows(assessment, assessment.key());
  std::vector<std::string> numbers;
  for (const CapSlot& slot : SelectCaps(rows).slots) numbers.push_back(slot.number);
  return numbers;
}

inline bool Triggered(MemoryAssessment& assessment, const std::string& number) {
  AssessmentRows rows(assessment, assessment.key());
  return IsTriggered(FindCap(number), rows);
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

inline std::string EvidenceOf(MemoryAssessment& assessment, const std::string& number) {
  AssessmentRows rows(assessment, assessment.key());
  TriggerCol evidence;
  GatherEvidence(FindCap(number), rows, evidence);
  return Describe(evidence);
}

// One step of a rule test: answers added to the assessment so far (kNull for
// unanswered), then whether the CAP fires and the evidence it lists, each
// when given.
inline constexpr int64_t kNull = INT64_MIN;
struct Answer {
  const char* table;
  const char* column;
  int64_t value;
};
struct Step {
  std::vector<Answer> set;
  std::optional<bool> fires;
  const char* evidence = nullptr;
};

inline void ExpectSteps(const std::string& cap, std::initializer_list<Step> steps, MemoryAssessment a = {}) {
  int n = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE("CAP " + cap + " step " + std::to_string(++n));
    for (const Answer& x : step.set) a.Set(x.table, x.column, x.value == kNull ? Value{} : Value{x.value});
    if (step.fires) {
      EXPECT_EQ(Triggered(a, cap), *step.fires);
    }
    if (step.evidence) {
      EXPECT_EQ(EvidenceOf(a, cap), step.evidence);
    }
  }
}

}  // namespace zelka::testing
