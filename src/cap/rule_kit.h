// The vocabulary the trigger rules are written in: answer tests (ranges,
// equalities, "or equal to 8"), families of columns that differ by one letter
// ("h2-" + a … j), and the recorder through which an evidence routine lists
// the items that hold. Shared by the rule files only.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "cap/assessment_rows.h"
#include "cap/evidence.h"

namespace zelka::rules {

// A test of one answer read with GetNum: lo ≤ v ≤ hi, or v equal to `also`.
struct Test {
  int64_t lo;
  int64_t hi;
  std::optional<int64_t> also;

  bool operator()(int64_t v) const { return (lo <= v && v <= hi) || (also && v == *also); }
  constexpr Test Or(int64_t value) const { return Test{lo, hi, value}; }
};

inline constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
inline constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

constexpr Test Eq(int64_t k) { return Test{k, k, std::nullopt}; }
constexpr Test Between(int64_t lo, int64_t hi) { return Test{lo, hi, std::nullopt}; }
constexpr Test AtLeast(int64_t k) { return Test{k, kMax, std::nullopt}; }
constexpr Test AtMost(int64_t k) { return Test{kMin, k, std::nullopt}; }
constexpr Test Below(int64_t k) { return Test{kMin, k - 1, std::nullopt}; }

// A family of columns: prefix + letter + suffix for each letter in order, shown
// as label prefix + letter + label suffix ("h1-" a "-1" is H1a(ア)).
struct Family {
  std::string_view prefix;
  std::string_view letters;
  std::string_view suffix = "";
  std::string_view label_prefix = "";
  std::string_view label_suffix = "";

  std::string Column(char letter) const { return std::string(prefix) + letter + std::string(suffix); }
  std::string Label(char letter) const { return std::string(label_prefix) + letter + std::string(label_suffix); }
};

// Whether the test holds for one column of a table.
inline bool Holds(AssessmentRows& rows, std::string_view table, std::string_view column, Test test) {
  return test(rows.Num(table, column));
}
// Whether it holds for any member of a family, looking at the letters in order
// and stopping at the first that holds.
bool AnyOf(AssessmentRows& rows, std::string_view table, const Family& family, Test test);
// How many members of a family it holds for (all are read).
int CountOf(AssessmentRows& rows, std::string_view table, const Family& family, Test test);

// Records one item in the evidence: its stored value (the overload: of the
// column in the section row), or, with `check`, "ﾚ" for a stored 1 and "ﾁｪｯｸなし" for
// anything else. The item joins its group, which is added when it is new.
// An unanswered value recorded without check shows as empty text.
void AddTrigger(TriggerCol& evidence, const zelka::Value& value, const std::string& group,
                const std::string& label, bool check);
inline void AddTrigger(TriggerCol& evidence, const SectionRow& row, const std::string& group,
                       std::string_view column, const std::string& label, bool check) {
  AddTrigger(evidence, row.Get(column), group, label, check);
}

// What an evidence routine works with: it clears the evidence when it starts
// and records every item whose own test holds.
class EvidenceRecorder {
 public:
  EvidenceRecorder(AssessmentRows& rows, TriggerCol& evidence);

  // The item, shown with its stored value, when the test holds.
  void Value(std::string_view table, const std::string& group, std::string_view column,
             const std::string& label, Test test);
  // The item, shown as a check mark, when the test holds.
  void Check(std::string_view table, const std::string& group, std::string_view column,
             const std::string& label, Test test);
  // Each member of a family, in letter order, whose test holds (stored value shown).
  void Values(std::string_view table, const std::string& group, const Family& family, Test test);
  void Checks(std::string_view table, const std::string& group, const Family& family, Test test);
  // The item unconditionally, for items whose condition spans two columns.
  void Record(std::string_view table, const std::string& group, std::string_view column,
              const std::string& label, bool check);

  AssessmentRows& rows() { return rows_; }

 private:
  AssessmentRows& rows_;
  TriggerCol& evidence_;
};

}  // namespace zelka::rules
