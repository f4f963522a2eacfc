// The CAP selection of one assessment: which catalogue entries are triggered,
// in catalogue order, as the slots of its CAP選定 row (slot 1 holds the first
// triggered CAP, whatever its number).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cap/answers.h"

namespace zelka {

struct CapSlot {
  std::string number;  // "2a"
  std::string name;    // "IADL(改善)(A)"
};

struct CapSelection {
  AssessmentKey key;
  std::string client_name;     // AA-1 of the client's AA row
  std::vector<CapSlot> slots;  // filled from slot 1 upward, without gaps
  uint64_t triggered = 0;      // the same CAPs as bits: bit i for catalogue position i
};

// Records a triggered CAP in the next free slot. There is a slot for every
// catalogue entry; a further one is a CapError rather than a lost CAP.
void WriteCap(CapSelection& selection, std::string_view number, std::string_view name);

// The client's name (AA-1), which the CAP選定 row carries; an unnamed client
// is a CapError, as is a missing AA row.
const std::string& ClientName(const Answers& answers);

// Runs the 33 selection routines in catalogue order for the assessment: the
// triggered catalogue positions as bits. A section row a routine needs and
// does not find is a CapError.
uint64_t TriggeredCaps(const Answers& answers);

// The whole selection: the client's name first, then TriggeredCaps in slots.
CapSelection SelectCaps(const Answers& answers);

}  // namespace zelka
