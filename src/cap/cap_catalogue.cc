#include "cap/cap_catalogue.h"

#include <cstdio>

namespace zelka {

int FindCap(std::string_view number) {
  for (int i = 0; i < kCapCount; ++i)
    if (kCapCatalogue[i].number == number) return i;
  return -1;
}

namespace {

std::string SlotField(const char* prefix, int slot) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%02d", slot);
  return std::string(prefix) + digits;
}

}  // namespace

std::string CapNumberField(int slot) { return SlotField("CAP番号", slot); }
std::string CapNameField(int slot) { return SlotField("CAP種類", slot); }

}  // namespace zelka
