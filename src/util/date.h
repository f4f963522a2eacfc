// A calendar date with an optional time of day, as the program keeps it in
// memory. The all-zero value stands for "no date" (the reference date of an
// intake record, a dialog that was cancelled). Dates are stored as ISO 8601
// text: "YYYY-MM-DD" for a date, "YYYY-MM-DD HH:MM:SS" for a date and time.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zelka {

struct Date {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;

  bool IsZero() const { return year == 0; }
  bool HasTime() const { return hour != 0 || minute != 0 || second != 0; }
  Date DateOnly() const { return Date{year, month, day}; }

  std::string IsoDate() const;      // "2003-04-01"
  std::string IsoDateTime() const;  // "2003-04-01 13:05:00"
  std::string Slashed() const;      // "2003/04/01", the body of a date literal

  // Either ISO form; nullopt for anything else or an impossible date.
  static std::optional<Date> FromIso(std::string_view text);
  static bool IsValid(int year, int month, int day);

  friend bool operator==(const Date&, const Date&) = default;
  friend auto operator<=>(const Date&, const Date&) = default;
};

}  // namespace zelka
