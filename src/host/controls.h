// Short builders for the controls of the search and date dialogs.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "host/dialog.h"

namespace zelka {

inline Control MakeControl(std::string kind, std::string id, std::string caption = "") {
  Control c;
  c.kind = std::move(kind);
  c.id = std::move(id);
  c.caption = std::move(caption);
  return c;
}
inline Control TextBox(std::string id, std::string caption) {
  return MakeControl("text", std::move(id), std::move(caption));
}
inline Control Button(std::string id, std::string caption) {
  return MakeControl("button", std::move(id), std::move(caption));
}
inline Control Label(std::string id, std::string caption) {
  return MakeControl("label", std::move(id), std::move(caption));
}

}  // namespace zelka
