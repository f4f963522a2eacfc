#include "util/japanese_date.h"

#include <unicode/calendar.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "util/utf8.h"

namespace zelka {
namespace {

// ---- Era names through ICU's Japanese calendar --------------------------

struct EraText {
  int year_of_era = 0;
  std::string name;     // 平成
  std::string initial;  // H
};

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

class JapaneseCalendar {
 public:
  JapaneseCalendar() {
    UErrorCode status = U_ZERO_ERROR;
    // Opening ja_JP reports a fallback warning, which is not a failure.
    icu::Locale locale("ja_JP@calendar=japanese");
    calendar_.reset(icu::Calendar::createInstance(icu::TimeZone::getGMT()->clone(), locale, status));
    if (U_FAILURE(status)) calendar_.reset();
    status = U_ZERO_ERROR;
    name_.reset(new icu::SimpleDateFormat(icu::UnicodeString(u"GGGG"), locale, status));
    if (U_FAILURE(status)) name_.reset();
    status = U_ZERO_ERROR;
    initial_.reset(new icu::SimpleDateFormat(icu::UnicodeString(u"GGGGG"), locale, status));
    if (U_FAILURE(status)) initial_.reset();
    if (name_) name_->setTimeZone(*icu::TimeZone::getGMT());
    if (initial_) initial_->setTimeZone(*icu::TimeZone::getGMT());
  }

  bool ok() const { return calendar_ && name_ && initial_; }

  EraText Era(const Date& date) {
    EraText era;
    if (!ok()) return era;
    UDate when = static_cast<UDate>(DaysFromCivil(date.year, date.month, date.day)) * 86400000.0 +
                 12 * 3600000.0;  // noon: well inside the day
    UErrorCode status = U_ZERO_ERROR;
    calendar_->setTime(when, status);
    era.year_of_era = calendar_->get(UCAL_YEAR, status);
    if (U_FAILURE(status)) return EraText{};
    icu::UnicodeString text;
    name_->format(when, text);
    text.toUTF8String(era.name);
    text.remove();
    initial_->format(when, text);
    text.toUTF8String(era.initial);
    return era;
  }

 private:
  std::unique_ptr<icu::Calendar> calendar_;
  std::unique_ptr<icu::SimpleDateFormat> name_;
  std::unique_ptr<icu::SimpleDateFormat> initial_;
};

EraText EraOf(const Date& date) {
  thread_local JapaneseCalendar calendar;
  return calendar.Era(date);
}

// ---- Formatting ------------------------------------------------------------

std::string Number(int value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, value);
  return buf;
}

bool IsTokenLetter(char32_t c) {
  switch (c) {
    case 'y': case 'm': case 'd': case 'h': case 'n': case 's': case 'g': case 'e':
      return true;
    default:
      return false;
  }
}

char32_t Lower(char32_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

struct Token {
  char32_t letter = 0;  // 0 for literal text
  int count = 0;
  std::string literal;
};

std::vector<Token> Tokenize(std::string_view format) {
  std::vector<Token> tokens;
  size_t pos = 0;
  auto literal = [&](char32_t c) {
    if (tokens.empty() || tokens.back().letter != 0) tokens.push_back(Token{});
    AppendUtf8(tokens.back().literal, c);
  };
  while (pos < format.size()) {
    char32_t c = NextChar(format, pos);
    if (c == '\\') {
      if (pos < format.size()) literal(NextChar(format, pos));
    } else if (c == '"') {
      while (pos < format.size()) {
        char32_t q = NextChar(format, pos);
        if (q == '"') break;
        literal(q);
      }
    } else if (IsTokenLetter(Lower(c))) {
      char32_t letter = Lower(c);
      if (!tokens.empty() && tokens.back().letter == letter) {
        ++tokens.back().count;
      } else {
        tokens.push_back(Token{letter, 1, ""});
      }
    } else {
      literal(c);
    }
  }
  return tokens;
}

// As in the classic notation, "m" right after an hour or right before a
// second means minutes ("h:mm" is 13:05).
bool MeansMinute(const std::vector<Token>& tokens, size_t i) {
  for (size_t j = i; j-- > 0;) {
    if (tokens[j].letter == 0) continue;
    if (tokens[j].letter == 'h') return true;
    break;
  }
  for (size_t j = i + 1; j < tokens.size(); ++j) {
    if (tokens[j].letter == 0) continue;
    return tokens[j].letter == 's';
  }
  return false;
}

int DayOfYear(const Date& d) {
  return static_cast<int>(DaysFromCivil(d.year, d.month, d.day) - DaysFromCivil(d.year, 1, 1)) + 1;
}

// Whether the token after `i` is literal text that begins with 年.
bool YearMarkFollows(const std::vector<Token>& tokens, size_t i) {
  return i + 1 < tokens.size() && tokens[i + 1].letter == 0 && tokens[i + 1].literal.rfind("年", 0) == 0;
}

}  // namespace

std::string FormatDate(const Date& date, std::string_view format, FirstEraYear first_year) {
  if (date.IsZero()) return "";
  std::vector<Token> tokens = Tokenize(format);
  std::optional<EraText> era;
  auto era_text = [&]() -> const EraText& {
    if (!era) era = EraOf(date);
    return *era;
  };
  std::string out;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    int wide = t.count >= 2 ? 2 : 1;
    switch (t.letter) {
      case 0: out += t.literal; break;
      case 'y':
        if (t.count >= 3) out += Number(date.year, 4);
        else if (t.count == 2) out += Number(date.year % 100, 2);
        else out += std::to_string(DayOfYear(date));
        break;
      case 'm': out += Number(MeansMinute(tokens, i) ? date.minute : date.month, wide); break;
      case 'd': out += Number(date.day, wide); break;
      case 'h': out += Number(date.hour, wide); break;
      case 'n': out += Number(date.minute, wide); break;
      case 's': out += Number(date.second, wide); break;
      case 'e':
        if (first_year == FirstEraYear::kGan && era_text().year_of_era == 1 && YearMarkFollows(tokens, i))
          out += "元";
        else
          out += Number(era_text().year_of_era, wide);
        break;
      case 'g': {
        const EraText& e = era_text();
        if (t.count >= 3) {
          out += e.name;
        } else if (t.count == 2) {
          size_t pos = 0;
          if (!e.name.empty()) AppendUtf8(out, NextChar(e.name, pos));
        } else {
          out += e.initial;
        }
        break;
      }
    }
  }
  return out;
}

// ---- Parsing ---------------------------------------------------------------

namespace {

struct Era {
  const char* name;
  char initial;
  Date start;
};

// The eras the date fields accept, with their first days. Each ends the day
// before the next one begins.
constexpr std::array<Era, 5> kEras = {{
    {"明治", 'M', {1868, 1, 25}},
    {"大正", 'T', {1912, 7, 30}},
    {"昭和", 'S', {1926, 12, 25}},
    {"平成", 'H', {1989, 1, 8}},
    {"令和", 'R', {2019, 5, 1}},
}};

class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}
  bool AtEnd() const { return pos_ == text_.size(); }
  bool Take(std::string_view s) {
    if (text_.substr(pos_, s.size()) != s) return false;
    pos_ += s.size();
    return true;
  }
  // 1 to `max_digits` ASCII digits.
  bool Number(int* out, size_t max_digits = 4) {
    size_t start = pos_;
    int value = 0;
    while (pos_ < text_.size() && pos_ - start < max_digits && text_[pos_] >= '0' && text_[pos_] <= '9')
      value = value * 10 + (text_[pos_++] - '0');
    if (pos_ == start) return false;
    *out = value;
    return true;
  }
  size_t pos() const { return pos_; }
  void Reset(size_t pos) { pos_ = pos; }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  bool TakeOneOf(std::string_view chars, char* which) {
    if (AtEnd() || chars.find(text_[pos_]) == std::string_view::npos) return false;
    *which = text_[pos_++];
    return true;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

bool WithinEra(size_t index, const Date& d) {
  if (d < kEras[index].start) return false;
  return index + 1 == kEras.size() || d < kEras[index + 1].start;
}

// An era date as written, not yet checked against the calendar or the era.
struct EraParts {
  size_t era = 0;
  int year = 0, month = 0, day = 0;
  int GregorianYear() const { return kEras[era].start.year + year - 1; }
};

std::optional<Date> EraDate(const EraParts& p) {
  if (p.year < 1) return std::nullopt;
  Date d{p.GregorianYear(), p.month, p.day};
  if (!Date::IsValid(d.year, d.month, d.day) || !WithinEra(p.era, d)) return std::nullopt;
  return d;
}

bool EraYear(Scanner& s, int* year) {
  if (s.Take("元")) {
    *year = 1;
    return true;
  }
  return s.Number(year, 2);
}

// 平成15年4月1日, 令和元年5月1日
std::optional<EraParts> ScanEraKanji(Scanner& s) {
  for (size_t i = 0; i < kEras.size(); ++i) {
    if (!s.Take(kEras[i].name)) continue;
    EraParts p{i};
    if (EraYear(s, &p.year) && s.Take("年") && s.Number(&p.month, 2) && s.Take("月") &&
        s.Number(&p.day, 2) && s.Take("日"))
      return p;
    return std::nullopt;
  }
  return std::nullopt;
}

// H15.4.1, R1/5/1, h15-4-1
std::optional<EraParts> ScanEraInitial(Scanner& s) {
  char c = s.Peek();
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  for (size_t i = 0; i < kEras.size(); ++i) {
    if (c != kEras[i].initial) continue;
    s.Reset(s.pos() + 1);
    EraParts p{i};
    char sep1, sep2;
    if (EraYear(s, &p.year) && s.TakeOneOf("./-", &sep1) && s.Number(&p.month, 2) &&
        s.TakeOneOf("./-", &sep2) && sep1 == sep2 && s.Number(&p.day, 2))
      return p;
    return std::nullopt;
  }
  return std::nullopt;
}

std::optional<EraParts> ScanEra(Scanner& s) {
  std::optional<EraParts> era = ScanEraKanji(s);
  if (!era && s.pos() == 0) era = ScanEraInitial(s);
  return era;
}

// 2003/4/1, 2003-04-01, 2003.4.1, 2003年4月1日, not yet checked against the
// calendar; a two-digit year means 1930 to 2029.
std::optional<Date> ScanWestern(Scanner& s) {
  size_t start = s.pos();
  int y, m, d;
  if (!s.Number(&y, 4)) return std::nullopt;
  size_t year_digits = s.pos() - start;
  if (year_digits == 3) return std::nullopt;
  if (year_digits <= 2) y += y < 30 ? 2000 : 1900;
  char sep1, sep2;
  bool ok = false;
  if (s.Take("年")) {
    ok = s.Number(&m, 2) && s.Take("月") && s.Number(&d, 2) && s.Take("日");
  } else {
    ok = s.TakeOneOf("/-.", &sep1) && s.Number(&m, 2) && s.TakeOneOf("/-.", &sep2) && sep1 == sep2 &&
         s.Number(&d, 2);
  }
  if (!ok) return std::nullopt;
  return Date{y, m, d};
}

std::optional<Date> ParseWestern(Scanner& s) {
  std::optional<Date> d = ScanWestern(s);
  if (!d || !Date::IsValid(d->year, d->month, d->day)) return std::nullopt;
  return d;
}

// 13:05 or 13:05:30
bool ParseTime(Scanner& s, Date* d) {
  int h, m, sec = 0;
  if (!s.Number(&h, 2) || !s.Take(":") || !s.Number(&m, 2)) return false;
  if (s.Take(":") && !s.Number(&sec, 2)) return false;
  if (h > 23 || m > 59 || sec > 59) return false;
  d->hour = h;
  d->minute = m;
  d->second = sec;
  return true;
}

std::string_view Trim(std::string_view t) {
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  return t;
}

}  // namespace

std::optional<Date> ParseDateText(std::string_view input) {
  std::string narrow = NarrowWidth(input);
  std::string_view text = Trim(narrow);
  if (text.empty()) return std::nullopt;

  Scanner s(text);
  {  // a time alone
    Date t{1899, 12, 30};
    if (ParseTime(s, &t) && s.AtEnd()) return t;
    s.Reset(0);
  }
  std::optional<Date> date;
  if (std::optional<EraParts> era = ScanEra(s)) {
    date = EraDate(*era);
  } else if (s.pos() == 0) {
    date = ParseWestern(s);
  }
  if (!date) return std::nullopt;
  if (s.AtEnd()) return date;
  if (!s.Take(" ") && !s.Take("T")) return std::nullopt;
  while (s.Take(" ")) {
  }
  if (!ParseTime(s, &*date) || !s.AtEnd()) return std::nullopt;
  return date;
}

namespace {

constexpr std::string_view kEraDayFormat = "ggge年m月d日";

int DaysInMonth(int year, int month) {
  int day = 31;
  while (day > 28 && !Date::IsValid(year, month, day)) --day;
  return day;
}

Date DayBefore(const Date& d) {
  if (d.day > 1) return Date{d.year, d.month, d.day - 1};
  if (d.month > 1) return Date{d.year, d.month - 1, DaysInMonth(d.year, d.month - 1)};
  return Date{d.year - 1, 12, 31};
}

// What is wrong with a month and day of a year written `year_text`.
std::string CalendarReason(const std::string& year_text, int year, int month, int day) {
  if (month < 1 || month > 12) return "月は1から12までです。";
  if (day < 1) return "日は1日からです。";
  if (!Date::IsValid(year, month, day))
    return year_text + std::to_string(month) + "月は" + std::to_string(DaysInMonth(year, month)) +
           "日までです。";
  return "";
}

std::string EraReason(const EraParts& p) {
  const Era& era = kEras[p.era];
  if (p.year < 1) return std::string(era.name) + "の年は元年(1年)から数えます。";
  const std::string year_text = std::string(era.name) + (p.year == 1 ? "元" : std::to_string(p.year)) + "年";
  std::string reason = CalendarReason(year_text, p.GregorianYear(), p.month, p.day);
  if (!reason.empty()) return reason;
  const Date date{p.GregorianYear(), p.month, p.day};
  if (WithinEra(p.era, date)) return "";
  const std::string actual = "この日付は" + FormatDate(date, kEraDayFormat) + "です。";
  if (date < era.start)
    return std::string(era.name) + "は" + FormatDate(era.start, kEraDayFormat) + "に始まりました。" + actual;
  return std::string(era.name) + "は" + FormatDate(DayBefore(kEras[p.era + 1].start), kEraDayFormat) +
         "で終わっています。" + actual;
}

}  // namespace

std::string DateRefusalReason(std::string_view input) {
  std::string narrow = NarrowWidth(input);
  Scanner s(Trim(narrow));
  if (std::optional<EraParts> era = ScanEra(s)) return EraReason(*era);
  if (s.pos() != 0) return "";
  std::optional<Date> d = ScanWestern(s);
  if (!d) return "";
  return CalendarReason(std::to_string(d->year) + "年", d->year, d->month, d->day);
}

std::vector<EraStart> KnownEras() {
  std::vector<EraStart> eras;
  for (const Era& era : kEras) eras.push_back({era.name, era.start});
  return eras;
}

std::string NarrowWidth(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    size_t start = pos;
    char32_t c = NextChar(text, pos);
    if (c >= 0xFF01 && c <= 0xFF5E) {
      out += static_cast<char>(c - 0xFF01 + 0x21);
    } else if (c == 0x3000) {
      out += ' ';
    } else {
      out.append(text.substr(start, pos - start));
    }
  }
  return out;
}

}  // namespace zelka
