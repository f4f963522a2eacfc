#include "cap/selection.h"

#include "cap/cap_catalogue.h"
#include "cap/cap_rules.h"

namespace zelka {

void WriteCap(CapSelection& selection, std::string_view number, std::string_view name) {
  if (static_cast<int>(selection.slots.size()) >= kCapSlots)
    throw CapError("CAP選定の枠(" + std::to_string(kCapSlots) + ")を超えてCAPが選定されました");
  selection.slots.push_back({std::string(number), std::string(name)});
}

const std::string& ClientName(const Answers& answers) {
  const std::optional<std::string>& name = answers.ClientName();
  if (!name) throw CapError("利用者名(AA-1)が入力されていません");
  return *name;
}

uint64_t TriggeredCaps(const Answers& answers) {
  uint64_t triggered = 0;
  for (int i = 0; i < kCapCount; ++i)
    if (IsTriggered(i, answers)) triggered |= uint64_t{1} << i;
  return triggered;
}

CapSelection SelectCaps(const Answers& answers) {
  CapSelection selection;
  selection.key = answers.key();
  selection.client_name = ClientName(answers);
  selection.triggered = TriggeredCaps(answers);
  for (int i = 0; i < kCapCount; ++i)
    if (selection.triggered >> i & 1) WriteCap(selection, kCapCatalogue[i].number, kCapCatalogue[i].name);
  return selection;
}

}  // namespace zelka
