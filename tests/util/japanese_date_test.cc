#include "util/japanese_date.h"

#include <gtest/gtest.h>

namespace zelka {
namespace {

Date D(int y, int m, int d, int h = 0, int n = 0, int s = 0) { return Date{y, m, d, h, n, s}; }

// Stored text is read only in its exact form, and only as a day that exists.
TEST(DateTest, IsoFormsAreReadOnlyAsRealDays) {
  for (const char* leap : {"2004-02-29", "2000-02-29"}) EXPECT_TRUE(Date::FromIso(leap)) << leap;
  for (const char* bad : {"2003-4-1", "2003-02-29", "1900-02-29", "2003-04-01 24:00:00", "2003-04-01 ", ""})
    EXPECT_FALSE(Date::FromIso(bad)) << bad;
}

TEST(FormatDateTest, PrintFormatsAndEraBoundaries) {
  const std::tuple<Date, const char*, const char*> cases[] = {
      {D(2003, 4, 1, 13, 5), "ggge\\年mm\\月dd日 hh：nn", "平成15年04月01日 13：05"},
      {D(2003, 4, 1, 13, 5), "gge", "平15"},
      {D(2003, 4, 1, 13, 5), "yy", "03"},
      {D(2020, 1, 9), "ge\\.ee", "R2.02"},
      {Date{}, "yyyy/mm/dd", ""},
      {D(1989, 1, 8), "ggge年mm月dd日", "平成元年01月08日"},
      {D(2019, 12, 31), "gggee\\年", "令和元年"},
      {D(2020, 1, 1), "ggge年m月d日", "令和2年1月1日"},
      {D(1926, 12, 25), "ggge", "昭和1"},
      {D(1926, 12, 24), "ggge", "大正15"},
  };
  for (const auto& [date, format, text] : cases) EXPECT_EQ(FormatDate(date, format), text) << format;
  // The digit where a caller asks for it.
  EXPECT_EQ(FormatDate(D(2019, 5, 1), "ggge年m月d日", FirstEraYear::kNumber), "令和1年5月1日");
}

// The parser's own era table must agree with the calendar the formatter uses.
TEST(FormatDateTest, ParserAndFormatterAgreeOnEraStarts) {
  const std::pair<Date, Date> starts[] = {{D(1912, 7, 30), D(1912, 7, 29)},
                                          {D(1926, 12, 25), D(1926, 12, 24)},
                                          {D(1989, 1, 8), D(1989, 1, 7)},
                                          {D(2019, 5, 1), D(2019, 4, 30)}};
  for (const auto& [start, before] : starts) {
    for (const Date& day : {start, before}) {
      std::string text = FormatDate(day, "ggge年m月d日");
      EXPECT_EQ(ParseDateText(text), day) << text;
    }
  }
}

TEST(ParseDateTextTest, WesternEraFullWidthAndTimeForms) {
  const std::pair<const char*, Date> cases[] = {
      {" 2003/4/1 ", D(2003, 4, 1)},
      {"2003年4月1日", D(2003, 4, 1)},
      {"03/4/1", D(2003, 4, 1)},
      {"令和元年5月1日", D(2019, 5, 1)},
      {"令和1年5月1日", D(2019, 5, 1)},
      {"h15.4.1", D(2003, 4, 1)},
      {"R1/5/1", D(2019, 5, 1)},
      {"S64.1.7", D(1989, 1, 7)},
      {"平成31年4月30日", D(2019, 4, 30)},
      {"平成15年4月1日 13:05", D(2003, 4, 1, 13, 5)},
      {"２００３／４／１", D(2003, 4, 1)},
      {"平成１５年４月１日", D(2003, 4, 1)},
      {"Ｈ１５．４．１", D(2003, 4, 1)},
      {"２００３－０４－０１　１３：０５", D(2003, 4, 1, 13, 5)},
      {"13:05", D(1899, 12, 30, 13, 5)},  // a time alone is on the classic zero day
      {"9:05:07", D(1899, 12, 30, 9, 5, 7)},
  };
  for (const auto& [text, date] : cases) EXPECT_EQ(ParseDateText(text), date) << text;
}

TEST(ParseDateTextTest, ImpossibleMalformedAndOutOfEraTextIsRefused) {
  for (const char* text : {"", "   ", "2003/13/1", "2003/2/29", "2003/4/31", "2003/4/1 24:00", "2003/4/1 13:60",
                           "2003/4", "2003/4-1", "abc", "平成15年4月", "H15.4", "2003/4/1x", "13:05:61",
                           "令和2003年4月1日", "X15.4.1", "平成31年5月1日", "令和1年4月30日", "昭和64年1月8日",
                           "平成元年1月7日", "H0.4.1", "S65.1.1"})
    EXPECT_FALSE(ParseDateText(text)) << text;
}

TEST(DateRefusalReasonTest, SaysWhereTheEraEndsOrWhatTheMonthHolds) {
  const std::pair<const char*, const char*> cases[] = {
      {"Ｈ３１．５．１", "平成は平成31年4月30日で終わっています。この日付は令和元年5月1日です。"},
      {"平成32年1月1日", "平成は平成31年4月30日で終わっています。この日付は令和2年1月1日です。"},
      {"昭和64年1月8日", "昭和は昭和64年1月7日で終わっています。この日付は平成元年1月8日です。"},
      {"令和元年4月30日", "令和は令和元年5月1日に始まりました。この日付は平成31年4月30日です。"},
      {"平成元年1月7日", "平成は平成元年1月8日に始まりました。この日付は昭和64年1月7日です。"},
      {"平成0年1月1日", "平成の年は元年(1年)から数えます。"},
      {"平成15年2月29日", "平成15年2月は28日までです。"},
      {"2003/2/29", "2003年2月は28日までです。"},
      {"平成31年4月30日", ""},
      {"2004/2/29", ""},
  };
  for (const auto& [text, reason] : cases) EXPECT_EQ(DateRefusalReason(text), reason) << text;
}

}  // namespace
}  // namespace zelka
