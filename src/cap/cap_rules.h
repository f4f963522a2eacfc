// The trigger rules of the 33 catalogue entries. Each entry has a selection
// routine, which decides whether the CAP is triggered for an assessment, and an
// evidence routine, which lists in a TriggerCol every answer that satisfies one
// of the CAP's trigger conditions. Both read the assessment's Answers; a
// missing section row or column is a CapError.
#pragma once

#include <array>

#include "cap/answers.h"
#include "cap/cap_catalogue.h"
#include "cap/evidence.h"

namespace zelka {

namespace rules {
class EvidenceRecorder;
}

struct CapRule {
  bool (*select)(const Answers& answers);
  void (*evidence)(rules::EvidenceRecorder& recorder);
};

// The rules of catalogue entries 1 to 16 (CAPs 1 to 15) and 17 to 33 (CAPs 16 to 30).
extern const std::array<CapRule, 16> kRulesCap1To15;
extern const std::array<CapRule, 17> kRulesCap16To30;

// The rule of a catalogue position (0 to 32).
const CapRule& RuleAt(int catalogue_index);

// Whether the CAP at a catalogue position is triggered for the assessment.
bool IsTriggered(int catalogue_index, const Answers& answers);

// Runs the evidence routine of a catalogue position: the evidence is emptied,
// then filled with that CAP's items.
void GatherEvidence(int catalogue_index, const Answers& answers, TriggerCol& evidence);

}  // namespace zelka
