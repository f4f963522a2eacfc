#include "cap/selection.h"

#include "cap/cap_catalogue.h"
#include "cap/cap_rules.h"

namespace zelka {

void WriteCap(CapSelection& selection, std::string_view number, std::string_view name) {
  if (static_cast<int>(selection.slots.size()) >= kCapSlots)
    throw CapError("CAP選定の枠(" + std::to_string(kCapSlots) + ")を超えてCAPが選定されました");
  selection.slots.push_back({std::string(number), std::string(name)});
}

namespace {

std::string ClientName(AssessmentRows& rows) {
  const Value& name = rows.Get("AA", "AA-1");
  if (IsNull(name))
    throw CapError("利用者名(AA-1)が入力されていません");
  return ValueText(name);
}

}  // namespace

CapSelection SelectCaps(AssessmentRows& rows) {
  CapSelection selection;
  selection.key = rows.key();
  selection.client_name = ClientName(rows);
  for (int i = 0; i < kCapCount; ++i) {
    if (!IsTriggered(i, rows)) continue;
    WriteCap(selection, kCapCatalogue[i].number, kCapCatalogue[i].name);
    selection.triggered |= uint64_t{1} << i;
  }
  return selection;
}

}  // namespace zelka
