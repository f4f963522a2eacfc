// One stored value: Null, a whole number, a number with a fraction, or text
// (dates are ISO text). This is what a field of a record holds.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace zelka {

using Value = std::variant<std::monostate, int64_t, double, std::string>;

inline bool IsNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

// The plain text form of a value: "" for Null, whole numbers in decimal without
// grouping, other numbers in their shortest exact form, text unchanged.
std::string ValueText(const Value& v);

// The text of a field for display and files: "" for Null, otherwise ValueText.
inline std::string NullToStr(const Value& v) { return ValueText(v); }

}  // namespace zelka
