// Text put into generated HTML: the markup characters &, <, > and " written
// as entities, so that a label or an answer can stand in element text and in
// a double-quoted attribute alike.
#pragma once

#include <string>
#include <string_view>

namespace zelka {

inline std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace zelka
