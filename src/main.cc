// zelka: the home-care assessment program. See docs/architecture.md.
#include <cstdio>

int main() {
  std::puts("zelka: not built yet");
  return 1;
}
