#include "util/date.h"

#include <charconv>
#include <cstdio>

namespace zelka {
namespace {

// Reads exactly `width` ASCII digits at text[pos]; advances pos.
bool ReadDigits(std::string_view text, size_t& pos, size_t width, int* out) {
  if (pos + width > text.size()) return false;
  int value = 0;
  for (size_t i = 0; i < width; ++i) {
    char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  pos += width;
  *out = value;
  return true;
}

bool Expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

std::string Date::IsoDate() const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
  return buf;
}

std::string Date::IsoDateTime() const {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
                second);
  return buf;
}

std::string Date::Slashed() const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", year, month, day);
  return buf;
}

bool Date::IsValid(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int limit = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  return day <= limit;
}

std::optional<Date> Date::FromIso(std::string_view text) {
  Date d;
  size_t pos = 0;
  if (!ReadDigits(text, pos, 4, &d.year) || !Expect(text, pos, '-') ||
      !ReadDigits(text, pos, 2, &d.month) || !Expect(text, pos, '-') ||
      !ReadDigits(text, pos, 2, &d.day))
    return std::nullopt;
  if (pos < text.size()) {
    if (!(Expect(text, pos, ' ') || Expect(text, pos, 'T')) || !ReadDigits(text, pos, 2, &d.hour) ||
        !Expect(text, pos, ':') || !ReadDigits(text, pos, 2, &d.minute) ||
        !Expect(text, pos, ':') || !ReadDigits(text, pos, 2, &d.second) || pos != text.size())
      return std::nullopt;
  }
  if (!IsValid(d.year, d.month, d.day) || d.hour > 23 || d.minute > 59 || d.second > 59)
    return std::nullopt;
  return d;
}

}  // namespace zelka
