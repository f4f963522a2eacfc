// The printed reports: staging and its print formats, ZLK20.XML as a standard
// parser reads it, the CAP list's date slots, the layouts, and what a failure
// leaves behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "output/printed_reports.h"
#include "output/report_layout.h"
#include "output/report_staging.h"
#include "store/schema.h"
#include "util/cp932.h"
#include "support/store.h"
#include "util/utf8.h"

namespace zelka::testing {
namespace {

const Date kApril{2003, 4, 1};

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t pos = 0; (pos = text.find(part, pos)) != std::string::npos; pos += part.size()) ++n;
  return n;
}

class Reports : public StoreTest {
 protected:
  void AddIntake(int64_t number) {
    db->Execute("INSERT INTO [相談受付表] ([整理番号], [1-1]) VALUES (?1, 'ヤマダ ハナコ')", {number});
  }
  void SetIntake(const std::string& column, Value value, int64_t number = 1) {
    db->Execute("UPDATE [相談受付表] SET [" + column + "]=?1 WHERE [整理番号]=?2", {value, number});
  }
  std::string Staged(const std::string& table, const std::string& column) {
    Recordset rows = db->OpenTable("rpt" + table);
    return rows.Eof() ? "<no row>" : FieldText(rows, column);
  }
  // The XML data file as standard parsers read it: libxml2 decodes the
  // Shift_JIS file, Python's parser reads its UTF-8 copy; element → text.
  std::map<std::string, std::string> ParsedByStandardParsers() {
    std::string script =
        "import json,sys,xml.etree.ElementTree as E\n"
        "r=E.parse(sys.stdin.buffer).getroot()\n"
        "sys.stdout.write(json.dumps({c.tag:(c.text or '') for c in r}))\n";
    std::string command = "xmllint --encode UTF-8 " + dir.Child(kXmlDataFile) + " | python3 -c \"" + script + "\"";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[65536];
      size_t n;
      while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
      pclose(pipe);
    }
    auto json = nlohmann::json::parse(out, nullptr, false);
    return json.is_object() ? json.get<std::map<std::string, std::string>>() : std::map<std::string, std::string>{};
  }
  std::vector<std::vector<Value>> Rows(const std::string& sql) { return db->Query(sql); }

  ReportContext context{*db, env, dir.path(), DeliveredCatalogue()};
};

TEST_F(Reports, IntakePrintFormatsAcrossEraBoundaries) {
  struct Case {
    const char* column;
    Value stored;
    const char* printed;
  } cases[] = {
      {"1-3-1", std::string("1989-01-07"), "昭和64年1月7日"},
      {"1-3-1", std::string("1989-01-08"), "平成元年1月8日"},
      {"2-4-3", std::string("2019-04-30"), "平成31年4月30日"},
      {"5-2-15-2", std::string("2019-05-01"), "令和元年5月1日"},
      {"3-3-9", std::string("2020-12-31"), "令和2年12月31日"},
      {"3-2-3", Value{}, ""},
      {"受付日時", std::string("2019-05-01 09:05:00"), "令和元年05月01日 09：05"},
      {"1-8-1-2", std::string("2019-05-01"), "R1.5"},
      {"1-8-4-5", std::string("1989-01-07"), "S64.1"},
      {"4-4-d-2", std::string("1899-12-30 13:05:00"), "13:05"},
      {"4-4-d-3", std::string("1899-12-30 09:05:00"), "9:05"},
      {"1-2", int64_t{1}, "男"},
      {"1-2", int64_t{2}, "女"},
      {"1-2", Value{}, ""},
      {"1-2", int64_t{3}, ""},
      {"2-3-1", int64_t{1}, "○"},
      {"2-3-17", int64_t{0}, ""},
      {"5-2-17-1", int64_t{1}, "○"},
      {"5-2-18-1", int64_t{1}, "○"},
      {"5-2-18-1", int64_t{2}, ""},
  };
  AddIntake(1);
  for (const Case& c : cases) {
    SetIntake(c.column, c.stored);
    StageIntake(*db, 1);
    EXPECT_EQ(Staged("相談受付表", c.column), c.printed) << c.column << " " << ValueText(c.stored);
  }
  // Staging again leaves one row; the working row keeps its codes.
  StageIntake(*db, 1);
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM [rpt相談受付表]")[0][0], Value(int64_t{1}));
  EXPECT_EQ(Rows("SELECT [5-2-18-1] FROM [相談受付表]")[0][0], Value(int64_t{2}));
}

TEST_F(Reports, AssessmentChecksSexAndDatesAndSkipsAaItemsOfTheCheckList) {
  AddAssessment(1, kApril, "ヤマダ");
  // AA items first and between sections, a name in lower case: AA is never converted.
  db->Execute("DELETE FROM [チェック変換対象]");
  for (const char* item : {"AA-1", "g2-a", "G2-B", "G2-C", "AA-3-2", "K1-A", "K1-B"})
    db->Execute("INSERT INTO [チェック変換対象] ([対象項目]) VALUES (?1)", {std::string(item)});
  struct Case {
    const char* table;
    const char* column;
    Value stored;
    const char* printed;
  } cases[] = {
      {"G", "G2-A", int64_t{1}, "ﾚ"},   {"G", "G2-B", int64_t{0}, ""},    {"G", "G2-C", int64_t{2}, ""},
      {"K", "K1-A", Value{}, ""},       {"K", "K1-B", int64_t{1}, "ﾚ"},   {"AA", "AA-1", std::string("ヤマダ"), "ヤマダ"},
      {"AA", "AA-3-2", int64_t{1}, "1"}, {"AA", "AA-2", int64_t{2}, "女"}, {"A", "A1", std::string("2019-05-01"), "令和元年5月1日"},
      {"AA", "AA-4", std::string("1989-01-08 10:30:00"), "平成元年1月8日"}, {"R", "R4-6-3", Value{}, ""},
  };
  for (const Case& c : cases) Set(c.table, 1, kApril, c.column, c.stored);
  StageAssessment(*db, env, dir.path(), kApril, 1);
  for (const Case& c : cases) EXPECT_EQ(Staged(c.table, c.column), c.printed) << c.column;
  StageAssessment(*db, env, dir.path(), kApril, 1);
  for (const char* t : {"rptA", "rptS", "rptAA"})
    EXPECT_EQ(Rows(std::string("SELECT COUNT(*) FROM [") + t + "]")[0][0], Value(int64_t{1})) << t;
}

// Hostile text, and every character CP932 has, read back by standard parsers
// as it was stored.
TEST_F(Reports, XmlDataFileReadsBackToTheStoredTextWithAStandardParser) {
  AddAssessment(1, kApril);
  std::string every_cp932_character, bytes;
  for (char32_t c = 0x20; c < 0x10000; ++c)
    if ((c < 0xD800 || c > 0xDFFF) && EncodeCp932(c, &bytes)) AppendUtf8(every_cp932_character, c);
  const std::map<std::string, std::string> hostile = {
      {"S3", "a < b && c > d ]]> </S3> \"q\" 'a'\r\n改行\ttab\n" + every_cp932_character},
      {"J2-A-1", "①Ⅰ㈱髙～∥－￠￡￢＼\\~¦"},
      {"AA-1", "𠮷野 😀 ソ表能"},
      {"AA-13-B", std::string("ctl\x01\x08\x1f") + "\u0085x"},
  };
  for (const auto& [column, text] : hostile)
    Set(column.substr(0, 2) == "AA" ? "AA" : column.substr(0, 1), 1, kApril, column, text);
  StageAssessment(*db, env, dir.path(), kApril, 1);

  bytes = ReadBytes(dir.Child(kXmlDataFile));
  EXPECT_EQ(bytes.substr(0, bytes.find("\r\n")), "<?xml version=\"1.0\" encoding=\"shift-jis\"?>");
  EXPECT_EQ(Occurrences(bytes, "\r\n"), Occurrences(bytes, "\n")) << "every line ends in CR LF";
  EXPECT_EQ(bytes.find("整理番号"), std::string::npos);
  EXPECT_NE(bytes.find("<J2-A-1>&#9312;"), std::string::npos) << "① as a reference";

  auto parsed = ParsedByStandardParsers();
  ASSERT_FALSE(parsed.empty()) << "the parsers could not read the file";
  EXPECT_EQ(parsed.size(), Occurrences(bytes, "\r\n") - 3) << "one element per line";
  EXPECT_EQ(parsed["J2-A-1"], hostile.at("J2-A-1"));
  EXPECT_EQ(parsed["AA-1"], hostile.at("AA-1"));
  EXPECT_EQ(parsed["AA-13-B"], "ctl\u0085x") << "forbidden controls dropped";
  EXPECT_EQ(parsed["S1"], "");
  // S3 character by character, to name the first one read back otherwise.
  const std::string &stored = hostile.at("S3"), &back = parsed["S3"];
  for (size_t a = 0, b = 0; a < stored.size() && b < back.size();) {
    size_t at = a;
    char32_t want = NextChar(stored, a), got = NextChar(back, b);
    ASSERT_EQ(got, want) << "at byte " << at;
  }
  EXPECT_EQ(back.size(), stored.size());
  // The report reads the same file to the same text.
  EXPECT_EQ(ReadXmlFields(bytes), parsed);
}

TEST_F(Reports, CapListDatesAreTheSixNewestAndEmptySlotsAreCleared) {
  auto add_selection = [&](int64_t number, const std::string& date, const char* cap) {
    db->Execute("INSERT INTO [CAP選定] ([整理番号], [基準日], [利用者名], [CAP番号01], [CAP種類01], "
                      "[CAP番号33], [CAP種類33]) VALUES (?1, ?2, 'ヤマダ', ?3, 'x', '30', '尿失禁と留置カテ')",
                      {number, date, std::string(cap)});
  };
  for (int month = 1; month <= 8; ++month) add_selection(1, "2019-0" + std::to_string(month) + "-01", "1");
  add_selection(2, "2003-04-01", "5");
  add_selection(2, "2004-04-01", "16");

  CapListDates first = StageCapList(*db, 1);
  EXPECT_EQ(first[0], (Date{2019, 8, 1}));
  EXPECT_EQ(first[5], (Date{2019, 3, 1}));
  auto printed = Rows("SELECT [印字用年月日] FROM [rptCAP選定] ORDER BY [基準日]");
  ASSERT_EQ(printed.size(), 8u);
  EXPECT_EQ(printed[0][0], Value{}) << "the two oldest stay unprinted";
  EXPECT_EQ(printed[2][0], Value(std::string("平成31年3月1日")));
  EXPECT_EQ(printed[4][0], Value(std::string("令和元年5月1日")));

  ReportView list = CapListReport(context, 2, "ヤマダ 次郎");
  EXPECT_EQ(list.title, "CAP一覧表");
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM [rptCAP選定]")[0][0], Value(int64_t{2}));
  std::string html = list.html;
  EXPECT_LT(html.find("平成16年4月1日"), html.find("平成15年4月1日")) << "newest first";
  EXPECT_EQ(html.find("2019"), std::string::npos);
  EXPECT_EQ(html.find("令和"), std::string::npos) << "no column of the earlier client";
  EXPECT_EQ(Occurrences(html, "<tr>"), 1u + 33u) << "a header and all 33 slots";
  EXPECT_EQ(Occurrences(html, "尿失禁と留置カテ"), 2u) << "slot 33 of both assessments";
  EXPECT_NE(html.find("ヤマダ 次郎"), std::string::npos);
}

// The layouts follow the forms: their sheets, their labels, the answer
// chosen marked, the headings in the form's order, on A4. (Their titles and
// escaping are checked on the previews in print.test.mjs.)
TEST_F(Reports, LayoutsFollowTheFormsAndMarkTheAnswerChosen) {
  EXPECT_EQ(LabelHtml("I-6．相談者の住所・電話♪　　<b>"), "I-6．相談者の住所・電話<br>　　&lt;b&gt;");
  AddIntake(1);
  SetIntake("受付場所", int64_t{3});
  AddAssessment(1, kApril);
  Set("B", 1, kApril, "B1-A", int64_t{1});
  Set("S", 1, kApril, "S-A-10-1", std::string("最後の薬"));
  db->Execute("INSERT INTO [CAP選定] ([整理番号], [基準日]) VALUES (1, '2003-04-01')");
  struct Case {
    ReportView report;
    size_t sheets;
    std::vector<std::string> expected;
  } cases[] = {
      {IntakeReport(context, 1), 4, {"<span class=\"on\">3.自宅訪問</span>", "Ⅰ-8"}},
      {AssessmentReport(context, kApril, 1), 19,
       {"<span class=\"on\">1.問題あり</span>", "最後の薬", "Ｓ．薬物治療調査票", "AA．基本情報（相談・受付時のみ）"}},
      {CapListReport(context, 1, ""), 1, {"利用者名", "アセスメント結果", "平成15年4月1日"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Occurrences(c.report.html, "<div class=\"sheet"), c.sheets) << c.report.title;
    EXPECT_NE(c.report.html.find("@page { size: A4 portrait"), std::string::npos) << c.report.title;
    for (const std::string& part : c.expected) EXPECT_NE(c.report.html.find(part), std::string::npos) << part;
  }
  const std::string& assessment = cases[1].report.html;
  EXPECT_LT(assessment.find("Ｓ．薬物治療調査票"), assessment.find("AA．基本情報")) << "AA last";
}

// Each failure is told, nothing is shown, and neither the working tables nor
// the staged rows and ZLK20.XML of the last good print change.
TEST_F(Reports, FailuresAreToldAndLeaveEverythingAsItWas) {
  AddIntake(1);
  AddAssessment(1, kApril);
  AddAssessment(2, kApril);
  ASSERT_TRUE(StageAssessmentReport(context, host, kApril, 1));
  ASSERT_TRUE(StageIntakeReport(context, host, 1));
  std::string xml = ReadBytes(dir.Child(kXmlDataFile));
  auto snapshot = [&](std::vector<const char*> tables) {
    std::string all;
    for (const char* t : tables)
      for (const auto& row : Rows(std::string("SELECT * FROM [") + t + "]"))
        for (const Value& v : row) all += ValueText(v) + "|";
    return all;
  };
  const std::vector<const char*> working = {"相談受付表", "AA", "B", "K", "S"};
  const std::vector<const char*> staged = {"rpt相談受付表", "rptAA", "rptB", "rptS"};
  std::string staged_before = snapshot(staged);
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::function<bool()> print;
    const char* message;
  } cases[] = {
      {"no intake row", [] {}, [&] { return StageIntakeReport(context, host, 9); }, "整理番号 9 の相談受付表がありません"},
      {"no AA row", [&] { db->Execute("DELETE FROM [AA] WHERE [整理番号]=2"); },
       [&] { return StageAssessmentReport(context, host, kApril, 2); }, "整理番号 2 の基本情報(AA)がありません"},
      {"no section row", [&] { db->Execute("DELETE FROM [K] WHERE [整理番号]=2"); },
       [&] { return StageAssessmentReport(context, host, kApril, 2); }, "K の行がありません"},
      {"XML not writable", [&] { env.FailPath(EnvOp::kWrite, dir.Child(kXmlDataFile)); },
       [&] { return StageAssessmentReport(context, host, kApril, 1); }, "ZLK20.XML に書き込めませんでした"},
      {"staging table gone", [&] { db->Execute("DROP TABLE [rptO]"); },
       [&] { return StageAssessmentReport(context, host, kApril, 1); }, "rptO"},
  };
  for (const Case& c : cases) {
    host.messages.clear();
    host.reports.clear();
    c.arrange();
    std::string working_before = snapshot(working);
    EXPECT_FALSE(c.print()) << c.what;
    EXPECT_TRUE(host.reports.empty()) << c.what;
    ASSERT_EQ(host.messages.size(), 1u) << c.what;
    EXPECT_EQ(host.messages[0].icon, Icon::kCritical);
    EXPECT_NE(host.messages[0].text.find(c.message), std::string::npos) << host.messages[0].text;
    EXPECT_EQ(snapshot(working), working_before) << c.what;
    EXPECT_EQ(snapshot(staged), staged_before) << c.what;
    EXPECT_EQ(ReadBytes(dir.Child(kXmlDataFile)), xml) << c.what;
  }
}

}  // namespace
}  // namespace zelka::testing
