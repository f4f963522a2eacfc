#include "cap/cap_catalogue.h"

namespace zelka {

int FindCap(std::string_view number) {
  for (int i = 0; i < kCapCount; ++i)
    if (kCapCatalogue[i].number == number) return i;
  return -1;
}

}  // namespace zelka
