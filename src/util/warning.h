// How a utility tells the user about a problem without knowing the user
// interface: it hands a Notice to the Warning it was given. The application
// passes one that shows a message box (MessageBoxWarning in host/host.h);
// batch commands and tests pass their own, or none to stay silent.
#pragma once

#include <functional>
#include <string>

namespace zelka {

struct Notice {
  std::string text;
  std::string title;
  bool critical = false;  // an error rather than a caution
};

using Warning = std::function<void(const Notice&)>;

}  // namespace zelka
