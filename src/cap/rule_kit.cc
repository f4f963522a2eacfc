#include "cap/rule_kit.h"

#include "store/value.h"

namespace zelka::rules {

bool AnyOf(const Answers& answers, Table table, const Family& family, Test test) {
  for (size_t i = 0; i < family.letters().size(); ++i)
    if (Holds(answers, table, family.At(i), test)) return true;
  return false;
}

int CountOf(const Answers& answers, Table table, const Family& family, Test test) {
  int count = 0;
  for (size_t i = 0; i < family.letters().size(); ++i)
    if (Holds(answers, table, family.At(i), test)) ++count;
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

EvidenceRecorder::EvidenceRecorder(const Answers& answers, TriggerCol& evidence)
    : answers_(answers), evidence_(evidence) {
  evidence_.Clear();
}

void EvidenceRecorder::Record(Table table, const std::string& group, Item item, const std::string& label,
                              bool check) {
  AddTrigger(evidence_, answers_.Get(table, item), group, label, check);
}

void EvidenceRecorder::Value(Table table, const std::string& group, Item item, const std::string& label,
                             Test test) {
  if (Holds(answers_, table, item, test)) Record(table, group, item, label, false);
}

void EvidenceRecorder::Check(Table table, const std::string& group, Item item, const std::string& label,
                             Test test) {
  if (Holds(answers_, table, item, test)) Record(table, group, item, label, true);
}

void EvidenceRecorder::Values(Table table, const std::string& group, const Family& family, Test test) {
  for (size_t i = 0; i < family.letters().size(); ++i)
    Value(table, group, family.At(i), family.Label(family.letters()[i]), test);
}

void EvidenceRecorder::Checks(Table table, const std::string& group, const Family& family, Test test) {
  for (size_t i = 0; i < family.letters().size(); ++i)
    Check(table, group, family.At(i), family.Label(family.letters()[i]), test);
}

}  // namespace zelka::rules
