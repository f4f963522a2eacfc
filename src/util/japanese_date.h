// Date text as Japanese users write and read it: formatting with the display
// formats of the program (Western and Japanese era, through ICU's Japanese
// calendar) and the lenient parsing that the date fields accept.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/date.h"

namespace zelka {

// Formats a date with a display format in the classic format-string notation:
//   yyyy yy  year;  m mm  month;  d dd  day;  h hh  hour;  n nn  minute;  s ss  second
//   ggg  era name (平成, 令和);  gg  its first character (平, 令);  g  era initial (H, R);
//   e ee  era year;  "m" right after an hour or before a second is minutes ("h:mm")
//   \x   the character x literally;  any other character is copied.
// "ggge年mm月dd日" gives 平成15年04月01日; "ge.m" gives H15.4.
//
// An era's first year written right before 年 reads 元 (令和元年05月01日), as
// Japanese dates are printed and shown, on screens and forms alike; the
// dotted short form stays R1.5. FirstEraYear::kNumber writes 1 instead
// (令和1年) for a caller that needs the digit. The date fields read both back.
enum class FirstEraYear { kNumber, kGan };
std::string FormatDate(const Date& date, std::string_view format,
                       FirstEraYear first_year = FirstEraYear::kGan);

// Reads a date, a time, or a date and time the way the date fields accept them:
//   2003/4/1, 2003-04-01, 2003/04/01 13:05, 2003/4/1 13:05:30,
//   平成15年4月1日, 平成15年04月01日, 令和元年5月1日, H15.4.1, R1/5/1, 13:05 (today's date not added:
//   a time alone gives the date 1899-12-30 with that time, as the classic date type does).
// Full-width digits and signs are accepted. An impossible date (2003/13/1,
// 平成31年5月1日, which the era does not reach) gives nullopt.
std::optional<Date> ParseDateText(std::string_view text);

// Why the date in a text that ParseDateText refuses is not a date, said so
// that the user can put it right: the era ends or starts elsewhere
// ("平成は平成31年4月30日で終わっています。この日付は令和元年5月1日です。"), the
// month has fewer days, the month is not 1 to 12. "" when the text is a date,
// or when nothing more can be said than that it is not one.
std::string DateRefusalReason(std::string_view text);

// The eras the date fields accept, oldest first, each with its first day (it
// ends the day before the next one begins).
struct EraStart {
  std::string_view name;  // 平成
  Date start;
};
std::vector<EraStart> KnownEras();

// Converts full-width (zenkaku) ASCII letters, digits and signs, and the
// ideographic space, to their half-width forms; other characters are kept.
std::string NarrowWidth(std::string_view text);

}  // namespace zelka
