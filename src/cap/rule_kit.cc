#include "cap/rule_kit.h"

#include "store/value.h"

namespace zelka::rules {

bool AnyOf(AssessmentRows& rows, std::string_view table, const Family& family, Test test) {
  for (char letter : family.letters)
    if (Holds(rows, table, family.Column(letter), test)) return true;
  return false;
}

int CountOf(AssessmentRows& rows, std::string_view table, const Family& family, Test test) {
  int count = 0;
  for (char letter : family.letters)
    if (Holds(rows, table, family.Column(letter), test)) ++count;
  return count;
}

namespace {

bool StoredOne(const zelka::Value& value) {
  if (const auto* number = std::get_if<double>(&value)) return *number == 1.0;
  return !IsNull(value) && GetNum(value) == 1;
}

}  // namespace

void AddTrigger(TriggerCol& evidence, const zelka::Value& value, const std::string& group,
                const std::string& label, bool check) {
  std::string shown = check ? (StoredOne(value) ? "ﾚ" : "ﾁｪｯｸなし") : ValueText(value);
  std::shared_ptr<TriggerCls> trigger = evidence.Item(group);
  if (!trigger) trigger = evidence.Add(group);
  trigger->GetTrgFlagCol()->Add(label, shown);
}

EvidenceRecorder::EvidenceRecorder(AssessmentRows& rows, TriggerCol& evidence)
    : rows_(rows), evidence_(evidence) {
  evidence_.Clear();
}

void EvidenceRecorder::Record(std::string_view table, const std::string& group,
                              std::string_view column, const std::string& label, bool check) {
  AddTrigger(evidence_, rows_.Get(table, column), group, label, check);
}

void EvidenceRecorder::Value(std::string_view table, const std::string& group,
                             std::string_view column, const std::string& label, Test test) {
  if (Holds(rows_, table, column, test)) Record(table, group, column, label, false);
}

void EvidenceRecorder::Check(std::string_view table, const std::string& group,
                             std::string_view column, const std::string& label, Test test) {
  if (Holds(rows_, table, column, test)) Record(table, group, column, label, true);
}

void EvidenceRecorder::Values(std::string_view table, const std::string& group,
                              const Family& family, Test test) {
  for (char letter : family.letters) Value(table, group, family.Column(letter), family.Label(letter), test);
}

void EvidenceRecorder::Checks(std::string_view table, const std::string& group,
                              const Family& family, Test test) {
  for (char letter : family.letters) Check(table, group, family.Column(letter), family.Label(letter), test);
}

}  // namespace zelka::rules
