#include "cap/cap_rules.h"

#include "cap/rule_kit.h"

namespace zelka {

const CapRule& RuleAt(int catalogue_index) {
  if (catalogue_index < static_cast<int>(kRulesCap1To15.size())) return kRulesCap1To15[catalogue_index];
  return kRulesCap16To30[catalogue_index - kRulesCap1To15.size()];
}

bool IsTriggered(int catalogue_index, const Answers& answers) { return RuleAt(catalogue_index).select(answers); }

void GatherEvidence(int catalogue_index, const Answers& answers, TriggerCol& evidence) {
  rules::EvidenceRecorder recorder(answers, evidence);
  RuleAt(catalogue_index).evidence(recorder);
}

}  // namespace zelka
