#include "store/value.h"

#include <charconv>

namespace zelka {

std::string ValueText(const Value& v) {
  if (const auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&v)) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *d);
    return ec == std::errc() ? std::string(buf, end) : std::string();
  }
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  return "";
}

}  // namespace zelka
