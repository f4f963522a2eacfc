// The CAP review worksheet: its text, its messages, escaping and CP932, and a
// real RTF reader's view of it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>

#include "cap/cap_catalogue.h"
#include "support/store.h"
#include "output/rtf_text.h"
#include "output/worksheet.h"
#include "host/scripted_host.h"
#include "output/worksheet_batch.h"
#include "util/cp932.h"

namespace zelka::testing {
namespace {

const Date kApril{2003, 4, 1};

class Worksheet : public StoreTest {
 protected:
  Worksheet() {
    for (const char* file : {"CAP_BEGIN_RTF.DAT", "CAP_BOTTOM_RTF.DAT", "ZELKA20.PRA"})
      std::filesystem::copy_file(SourceAppDir() + "/" + file, dir.Child(file));
    settings.SetPrivateAppBuf(dir.Child("ZELKA20.PRA"), Env::Default(), nullptr);
  }

  // Stores a selection row with the given slot numbers and writes the worksheet.
  WorksheetOutcome Write(const std::vector<std::string>& numbers, const std::string& path) {
    std::map<std::string, Value> row{{"整理番号", int64_t{12}}, {"基準日", kApril.IsoDate()}};
    for (size_t i = 0; i < numbers.size(); ++i) {
      const int index = FindCap(numbers[i]);
      row[CapNumberColumn(static_cast<int>(i) + 1)] = numbers[i];
      row[CapNameColumn(static_cast<int>(i) + 1)] = index < 0 ? "?" : std::string(kCapCatalogue[index].name);
    }
    AddRow("CAP選定", row);
    host.QueueSavePath(path);
    return CreateKento(context, host, 12, kApril);
  }

  SettingsBuffer settings;
  CapEngine engine;
  WorksheetContext context{*db, engine, settings, Env::Default(), dir.path()};
};

TEST(RtfText, EscapesSyntaxAndEveryNonAsciiCharacter) {
  EXPECT_EQ(RtfEscape("a\\b{c}"), "a\\\\b\\{c\\}");
  EXPECT_EQ(RtfEscape("表"), "\\u-30616?");
  EXPECT_EQ(RtfEscape("ﾚ"), "\\u-102?");
  EXPECT_EQ(RtfEscape("𠀋"), "\\u-10176?\\u-9205?");
  EXPECT_EQ(RtfAsciiOnly("\\par ソ"), "\\par \\u12477?");
  // Control characters never reach the document raw.
  EXPECT_EQ(RtfEscape(std::string("a\0b\x1b\tc\r\nd\re\nf\x7f", 15)), "ab\\tab c\\line d\\line e\\line f");
  EXPECT_EQ(RtfAsciiOnly(std::string("\\par\0\x01\t\r\n", 9)), "\\par\t\r\n");
}

TEST(WriteRtfBlock, GroupsItemsAndSeparators) {
  TriggerCol evidence;
  evidence.Add("体重")->GetTrgFlagCol()->Add("L1a", "1");
  evidence.Item("体重")->GetTrgFlagCol()->Add("L1b", "1");
  evidence.Add("食事摂取")->GetTrgFlagCol()->Add("L2b", "1");
  EXPECT_EQ(WriteRTF("[∈CAP名∋|∈トリガー名∋]", "16", "栄養", evidence),
            "[16.\\u26628?\\u-26358?|\\u20307?\\u-28211?\\par  L1a=1\\par  L1b=1\\par\\par "
            "\\u-26401?\\u20107?\\u25666?\\u21462?\\par  L2b=1]");
  TriggerCol none;
  EXPECT_EQ(WriteRTF("<∈トリガー名∋>", "1", "x", none), "<>");
}

TEST(WorksheetName, ProposedFromClientAndDateAsAFileCanBeNamed) {
  EXPECT_EQ(ProposedWorksheetName("a/b\\c:d*e?f\"g<h>i|j k　l", Date{2019, 5, 1}),
            "CAP検討用紙_abcdefghijkl_令和元年5月1日.rtf");
  EXPECT_EQ(ProposedWorksheetName("", Date{}), "CAP検討用紙.rtf");
}

TEST_F(Worksheet, BlocksSeparatedOnlyBetweenAndUnknownCapReported) {
  AddAssessment(12, kApril, "表\\{ソ}");
  Set("C", 12, kApril, "c1", int64_t{2});
  Set("D", 12, kApril, "d3", int64_t{1});
  std::string path = dir.Child("w.rtf");
  ASSERT_EQ(Write({"5", "99", "6"}, path), WorksheetOutcome::kWritten);
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[0].text, "対応していないCAPです\n");
  EXPECT_EQ(host.messages[0].title, "内部エラー");
  EXPECT_EQ(host.messages[0].icon, Icon::kCritical);
  EXPECT_EQ(host.messages[1].text, "CAP検討用紙を作成しました。");
  EXPECT_EQ(host.messages[1].icon, Icon::kInformation);

  std::string rtf = ReadBytes(path);
  for (unsigned char c : rtf) ASSERT_LT(c, 0x80) << "the document is pure ASCII, hence CP932";
  EXPECT_NE(rtf.find("\\u-30616?\\\\\\{\\u12477?\\}"), std::string::npos) << "client name escaped";
  std::string separator = settings.GetPrivateAppBuf("RTF", "APPEND_LINE");
  size_t first = rtf.find("5.\\u12467?");
  size_t second = rtf.find("6.\\u-30314?");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  size_t sep = rtf.find(separator + "\r\n");
  EXPECT_TRUE(first < sep && sep < second);
  EXPECT_EQ(rtf.find(separator + "\r\n", sep + 1), std::string::npos) << "one separator for two blocks";
  EXPECT_NE(rtf.find(" C1=2"), std::string::npos);
  EXPECT_EQ(rtf.find('\n'), rtf.find("\r\n") + 1);
  EXPECT_EQ(rtf.substr(rtf.size() - 3), "}\r\n");
  // With the escaped braces set aside every group closes: a reader finds the end.
  int depth = 0;
  for (size_t i = 0; i < rtf.size(); ++i) {
    if (rtf[i] == '\\')
      ++i;  // the escaped character, a brace or not
    else
      depth += (rtf[i] == '{') - (rtf[i] == '}');
  }
  EXPECT_EQ(depth, 0);
}

// What stops the worksheet is told, and leaves no file and the file chosen as
// it was. In this order each case spoils one thing more, which the writer
// finds before what the case before spoiled.
TEST_F(Worksheet, WhatStopsTheWorksheetIsToldAndWritesNothing) {
  AddAssessment(12, kApril);
  Set("D", 12, kApril, "d3", int64_t{1});
  struct Case {
    const char* what;
    std::function<void()> spoil;
    std::string path;
    WorksheetOutcome outcome;
    size_t messages;
    const char* last_message;
  } cases[] = {
      {"save dialog cancelled", [] {}, "", WorksheetOutcome::kAbandoned, 0, ""},
      {"the program's own file chosen", [] {}, dir.Child("ZELKA20.PRA"), WorksheetOutcome::kFailed, 1,
       "プログラムのファイル ZELKA20.PRA"},
      {"section row missing", [&] { db->Execute("DELETE FROM [D] WHERE [整理番号]=12"); }, dir.Child("w.rtf"),
       WorksheetOutcome::kFailed, 1, "D 表の行がありません"},
      {"opening template missing, retried once, then cancelled",
       [&] {
         std::filesystem::rename(dir.Child("CAP_BEGIN_RTF.DAT"), dir.Child("saved"));
         host.QueueAnswer(Answer::kOk);
         host.QueueAnswer(Answer::kCancel);
       },
       dir.Child("w.rtf"), WorksheetOutcome::kAbandoned, 2, "CAP_BEGIN_RTF.DAT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host.messages.clear();
    db->Execute("DELETE FROM [CAP選定]");
    c.spoil();
    const bool existed = std::filesystem::exists(c.path);
    const std::string before = ReadBytes(c.path);
    EXPECT_EQ(Write({"6"}, c.path), c.outcome);
    ASSERT_EQ(host.messages.size(), c.messages);
    EXPECT_NE(host.LastMessage().find(c.last_message), std::string::npos) << host.LastMessage();
    EXPECT_EQ(std::filesystem::exists(c.path), existed);
    EXPECT_EQ(ReadBytes(c.path), before);
  }
}

// The batch command fails with status 1, naming the file, whenever the
// worksheet would lack what it is made of.
TEST_F(Worksheet, TheCommandFailsNamingTheFileItCannotUse) {
  namespace fs = std::filesystem;
  struct Case {
    const char* named;  // the file the message must name; nullptr: written
    std::function<void()> spoil;
  } cases[] = {
      {nullptr, [] {}},
      {"ZELKA20.PRA", [&] { fs::remove(dir.Child("ZELKA20.PRA")); }},
      {"ZELKA20.PRA", [&] { Env::Default().WriteFile(dir.Child("ZELKA20.PRA"), ""); }},
      {"ZELKA20.PRA", [&] { fs::remove(dir.Child("ZELKA20.PRA")), fs::create_directory(dir.Child("ZELKA20.PRA")); }},
      {"CAP_BEGIN_RTF.DAT", [&] { Env::Default().WriteFile(dir.Child("CAP_BEGIN_RTF.DAT"), "{\\rtf1 \xFF\xFF}"); }},
  };
  AddAssessment(12, kApril);
  Set("D", 12, kApril, "d3", int64_t{1});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named ? c.named : "written");
    for (const char* file : {"CAP_BEGIN_RTF.DAT", "ZELKA20.PRA"}) {
      fs::remove_all(dir.Child(file));
      fs::copy_file(SourceAppDir() + "/" + file, dir.Child(file));
    }
    const std::string out = dir.Child("w.rtf");
    fs::remove(out);
    c.spoil();
    std::ostringstream messages, errors;
    int status = RunWorksheetCommand(dir.path(), 12, kApril, out, messages, errors);
    EXPECT_EQ(status, c.named ? 1 : 0) << errors.str();
    EXPECT_EQ(messages.str(), c.named ? "" : "CAP検討用紙を作成しました。\n");
    if (!c.named) continue;
    EXPECT_NE(errors.str().find(c.named), std::string::npos) << errors.str();
    EXPECT_FALSE(fs::exists(out));
  }
}

}  // namespace
}  // namespace zelka::testing
