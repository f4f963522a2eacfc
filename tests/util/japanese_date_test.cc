#include "util/japanese_date.h"

#include <gtest/gtest.h>

namespace zelka {
namespace {

Date D(int y, int m, int d, int h = 0, int n = 0, int s = 0) { return Date{y, m, d, h, n, s}; }

TEST(DateTest, IsoFormsInAndOut) {
  Date d = D(2003, 4, 1, 13, 5, 0);
  EXPECT_EQ(d.IsoDate(), "2003-04-01");
  EXPECT_EQ(d.IsoDateTime(), "2003-04-01 13:05:00");
  EXPECT_EQ(d.Slashed(), "2003/04/01");
  EXPECT_EQ(Date::FromIso("2003-04-01"), D(2003, 4, 1));
  EXPECT_EQ(Date::FromIso("2003-04-01 13:05:09"), D(2003, 4, 1, 13, 5, 9));
  EXPECT_FALSE(Date::FromIso("2003-4-1"));
  EXPECT_FALSE(Date::FromIso("2003-02-29"));
  EXPECT_TRUE(Date::FromIso("2004-02-29"));
  EXPECT_FALSE(Date::FromIso("1900-02-29"));
  EXPECT_TRUE(Date::FromIso("2000-02-29"));
  EXPECT_FALSE(Date::FromIso("2003-04-01 24:00:00"));
  EXPECT_FALSE(Date::FromIso("2003-04-01 "));
  EXPECT_FALSE(Date::FromIso(""));
}

TEST(FormatDateTest, PrintFormats) {
  Date d = D(2003, 4, 1, 13, 5);
  EXPECT_EQ(FormatDate(d, "ggge\\年m\\月d\\日"), "平成15年4月1日");
  EXPECT_EQ(FormatDate(d, "ggge\\年mm\\月dd日 hh：nn"), "平成15年04月01日 13：05");
  EXPECT_EQ(FormatDate(d, "ge\\.m"), "H15.4");
  EXPECT_EQ(FormatDate(d, "h:mm"), "13:05");  // m after an hour is minutes
  EXPECT_EQ(FormatDate(d, "yyyy/mm/dd"), "2003/04/01");
  EXPECT_EQ(FormatDate(d, "yyyy/mm/dd hh:nn:ss"), "2003/04/01 13:05:00");
  EXPECT_EQ(FormatDate(d, "ggge年mm月dd日"), "平成15年04月01日");
  EXPECT_EQ(FormatDate(d, "gge"), "平15");
  EXPECT_EQ(FormatDate(d, "yy"), "03");
  EXPECT_EQ(FormatDate(D(2020, 1, 9), "ge\\.ee"), "R2.02");
  EXPECT_EQ(FormatDate(Date{}, "yyyy/mm/dd"), "");
}

TEST(FormatDateTest, FirstEraYearIsANumberUnlessGanIsAskedFor) {
  EXPECT_EQ(FormatDate(D(2019, 5, 1), "ggge年m月d日"), "令和1年5月1日");
  EXPECT_EQ(FormatDate(D(1989, 1, 8), "ggge年m月d日"), "平成1年1月8日");
  EXPECT_EQ(FormatDate(D(2019, 5, 1), "ggge\\年m\\月d\\日", FirstEraYear::kGan), "令和元年5月1日");
  EXPECT_EQ(FormatDate(D(2020, 5, 1), "ggge年", FirstEraYear::kGan), "令和2年");
  EXPECT_EQ(FormatDate(D(2019, 5, 1), "ge.m", FirstEraYear::kGan), "R1.5") << "元 only before 年";
}

TEST(FormatDateTest, EraBoundaries) {
  EXPECT_EQ(FormatDate(D(1989, 1, 7), "ggge"), "昭和64");
  EXPECT_EQ(FormatDate(D(1989, 1, 8), "ggge"), "平成1");
  EXPECT_EQ(FormatDate(D(2019, 4, 30), "ggge"), "平成31");
  EXPECT_EQ(FormatDate(D(2019, 5, 1), "ge"), "R1");
  EXPECT_EQ(FormatDate(D(1926, 12, 25), "ggge"), "昭和1");
  EXPECT_EQ(FormatDate(D(1926, 12, 24), "ggge"), "大正15");
}

// The parser's own era table must agree with the calendar the formatter uses.
TEST(FormatDateTest, ParserAndFormatterAgreeOnEraStarts) {
  for (Date start : {D(1912, 7, 30), D(1926, 12, 25), D(1989, 1, 8), D(2019, 5, 1)}) {
    std::string text = FormatDate(start, "ggge年m月d日");
    EXPECT_EQ(ParseDateText(text), start) << text;
    Date before = start;
    before.day -= 1;
    if (before.day == 0) before = D(start.year, start.month - 1, 30);
    if (start == D(2019, 5, 1)) before = D(2019, 4, 30);
    if (start == D(1989, 1, 8)) before = D(1989, 1, 7);
    std::string earlier = FormatDate(before, "ggge年m月d日");
    EXPECT_EQ(ParseDateText(earlier), before) << earlier;
  }
}

TEST(ParseDateTextTest, WesternForms) {
  EXPECT_EQ(ParseDateText("2003/4/1"), D(2003, 4, 1));
  EXPECT_EQ(ParseDateText("2003-04-01"), D(2003, 4, 1));
  EXPECT_EQ(ParseDateText("2003/04/01 13:05"), D(2003, 4, 1, 13, 5));
  EXPECT_EQ(ParseDateText("2003/4/1 13:05:30"), D(2003, 4, 1, 13, 5, 30));
  EXPECT_EQ(ParseDateText(" 2003/4/1 "), D(2003, 4, 1));
  EXPECT_EQ(ParseDateText("2003年4月1日"), D(2003, 4, 1));
  EXPECT_EQ(ParseDateText("03/4/1"), D(2003, 4, 1));
}

TEST(ParseDateTextTest, EraForms) {
  EXPECT_EQ(ParseDateText("平成15年4月1日"), D(2003, 4, 1));
  EXPECT_EQ(ParseDateText("平成15年04月01日"), D(2003, 4, 1));
  EXPECT_EQ(ParseDateText("令和元年5月1日"), D(2019, 5, 1));
  EXPECT_EQ(ParseDateText("令和1年5月1日"), D(2019, 5, 1));
  EXPECT_EQ(ParseDateText("H15.4.1"), D(2003, 4, 1));
  EXPECT_EQ(ParseDateText("h15.4.1"), D(2003, 4, 1));
  EXPECT_EQ(ParseDateText("R1/5/1"), D(2019, 5, 1));
  EXPECT_EQ(ParseDateText("S64.1.7"), D(1989, 1, 7));
  EXPECT_EQ(ParseDateText("平成15年4月1日 13:05"), D(2003, 4, 1, 13, 5));
}

TEST(ParseDateTextTest, DatesOutsideTheirEraAreRefused) {
  EXPECT_FALSE(ParseDateText("平成31年5月1日"));
  EXPECT_FALSE(ParseDateText("令和1年4月30日"));
  EXPECT_FALSE(ParseDateText("昭和64年1月8日"));
  EXPECT_FALSE(ParseDateText("平成元年1月7日"));
  EXPECT_FALSE(ParseDateText("H0.4.1"));
  EXPECT_FALSE(ParseDateText("S65.1.1"));
  EXPECT_EQ(ParseDateText("平成31年4月30日"), D(2019, 4, 30));
}

TEST(ParseDateTextTest, ImpossibleAndMalformedTextIsRefused) {
  for (const char* text : {"", "   ", "2003/13/1", "2003/2/29", "2003/4/31", "2003/4/1 24:00", "2003/4/1 13:60",
                           "2003/4", "2003/4-1", "abc", "平成15年4月", "H15.4", "2003/4/1x", "13:05:61",
                           "令和2003年4月1日", "X15.4.1"}) {
    EXPECT_FALSE(ParseDateText(text)) << text;
  }
}

TEST(ParseDateTextTest, TimeAloneGivesTheClassicZeroDay) {
  EXPECT_EQ(ParseDateText("13:05"), D(1899, 12, 30, 13, 5));
  EXPECT_EQ(ParseDateText("9:05:07"), D(1899, 12, 30, 9, 5, 7));
}

TEST(ParseDateTextTest, FullWidthDigitsAndSigns) {
  EXPECT_EQ(ParseDateText("２００３／４／１"), D(2003, 4, 1));
  EXPECT_EQ(ParseDateText("平成１５年４月１日"), D(2003, 4, 1));
  EXPECT_EQ(ParseDateText("Ｈ１５．４．１"), D(2003, 4, 1));
  EXPECT_EQ(ParseDateText("２００３－０４－０１　１３：０５"), D(2003, 4, 1, 13, 5));
}

TEST(NarrowWidthTest, OnlyFullWidthAsciiAndSpaceChange) {
  EXPECT_EQ(NarrowWidth("ＡＢｃ１２３！～　"), "ABc123!~ ");
  EXPECT_EQ(NarrowWidth("平成ｶﾅかな"), "平成ｶﾅかな");
  EXPECT_EQ(NarrowWidth(""), "");
}

}  // namespace
}  // namespace zelka
