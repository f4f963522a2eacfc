// The CAP review worksheet: its text, its messages, escaping and CP932, and a
// real RTF reader's view of it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "cap/cap_catalogue.h"
#include "cap/store_fixture.h"
#include "output/rtf_text.h"
#include "output/worksheet.h"
#include "host/scripted_host.h"
#include "util/cp932.h"

namespace zelka::testing {
namespace {

const Date kApril{2003, 4, 1};

class Worksheet : public ::testing::Test {
 protected:
  Worksheet() { settings.SetPrivateAppBuf(store.dir.Child("ZELKA20.PRA"), Env::Default(), nullptr); }

  // Stores a selection row with the given slot numbers and writes the worksheet.
  WorksheetOutcome Write(const std::vector<std::string>& numbers, const std::string& path) {
    std::string sql = "INSERT INTO [CAP選定] ([整理番号], [基準日]";
    std::vector<Value> params{int64_t{12}, kApril.IsoDate()};
    for (size_t i = 0; i < numbers.size(); ++i) {
      sql += ", [" + CapNumberColumn(static_cast<int>(i) + 1) + "], [" + CapNameColumn(static_cast<int>(i) + 1) + "]";
      params.push_back(numbers[i]);
      int index = FindCap(numbers[i]);
      params.push_back(index < 0 ? std::string("?") : std::string(kCapCatalogue[index].name));
    }
    sql += ") VALUES (?1, ?2";
    for (size_t i = 2; i < params.size(); ++i) sql += ", ?" + std::to_string(i + 1);
    store.db->Execute(sql + ")", params);
    host.QueueSavePath(path);
    return CreateKento(context, host, 12, kApril);
  }
  std::string Read(const std::string& path) {
    std::string bytes;
    Env::Default().ReadFile(path, &bytes);
    return bytes;
  }

  StoreFixture store;
  SettingsBuffer settings;
  CapEngine engine;
  ScriptedHost host;
  WorksheetContext context{*store.db, engine, settings, Env::Default(), store.dir.path()};
};

TEST(RtfText, EscapesSyntaxAndEveryNonAsciiCharacter) {
  EXPECT_EQ(RtfEscape("a\\b{c}"), "a\\\\b\\{c\\}");
  EXPECT_EQ(RtfEscape("表"), "\\u-30616?");
  EXPECT_EQ(RtfEscape("ﾚ"), "\\u-102?");
  EXPECT_EQ(RtfEscape("𠀋"), "\\u-10176?\\u-9205?");
  EXPECT_EQ(RtfAsciiOnly("\\par ソ"), "\\par \\u12477?");
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

TEST_F(Worksheet, AskSaveFileNameSettingsAndCancel) {
  host.QueueSavePath("");
  EXPECT_EQ(CreateKento(context, host, 12, kApril), WorksheetOutcome::kAbandoned);
  ASSERT_EQ(host.save_dialogs.size(), 1u);
  const SaveDialogSpec& spec = host.save_dialogs[0];
  EXPECT_EQ(spec.title, "作成するファイル名を指定してください。");
  EXPECT_EQ(spec.filter, "RTFファイル|*.rtf|すべてのファイル|*.*");
  EXPECT_EQ(spec.max_file_size, 32717);
  EXPECT_EQ(spec.flags, 0x280006u);
  EXPECT_EQ(spec.file_name, "");
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(Worksheet, BlocksSeparatedOnlyBetweenAndUnknownCapReported) {
  store.AddAssessment(12, kApril, "表\\{ソ}");
  store.Set("C", 12, kApril, "c1", int64_t{2});
  store.Set("D", 12, kApril, "d3", int64_t{1});
  std::string path = store.dir.Child("w.rtf");
  ASSERT_EQ(Write({"5", "99", "6"}, path), WorksheetOutcome::kWritten);
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[0].text, "対応していないCAPです\n");
  EXPECT_EQ(host.messages[0].title, "内部エラー");
  EXPECT_EQ(host.messages[0].icon, Icon::kCritical);
  EXPECT_EQ(host.messages[1].text, "CAP検討用紙を作成しました。");
  EXPECT_EQ(host.messages[1].icon, Icon::kInformation);

  std::string rtf = Read(path);
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
}

TEST_F(Worksheet, NoCapMeansMessageAndNoFile) {
  store.AddAssessment(12, kApril);
  std::string path = store.dir.Child("none.rtf");
  EXPECT_EQ(Write({}, path), WorksheetOutcome::kNoCaps);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.LastMessage(), "CAPされた項目はありませんでしたので、RTFファイルは出力されませんでした。");
  EXPECT_FALSE(Env::Default().FileExists(path));
}

TEST_F(Worksheet, MissingOpeningTemplateRetriesThenCancelLeavesNoFile) {
  store.AddAssessment(12, kApril);
  store.Set("D", 12, kApril, "d3", int64_t{1});
  std::filesystem::rename(store.dir.Child("CAP_BEGIN_RTF.DAT"), store.dir.Child("saved"));
  host.QueueAnswer(Answer::kOk);
  host.QueueAnswer(Answer::kCancel);
  std::string path = store.dir.Child("w.rtf");
  EXPECT_EQ(Write({"6"}, path), WorksheetOutcome::kAbandoned);
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[0].title, "エラーが発生しました");
  EXPECT_EQ(host.messages[0].buttons, Buttons::kOkCancel);
  EXPECT_NE(host.messages[0].text.find("CAP_BEGIN_RTF.DAT"), std::string::npos);
  EXPECT_FALSE(Env::Default().FileExists(path));
}

TEST_F(Worksheet, MissingSectionRowIsReportedAndNothingWritten) {
  store.AddAssessment(12, kApril);
  store.db->Execute("DELETE FROM [D] WHERE [整理番号]=12");
  std::string path = store.dir.Child("w.rtf");
  EXPECT_EQ(Write({"6"}, path), WorksheetOutcome::kFailed);
  EXPECT_NE(host.LastMessage().find("D 表の行がありません"), std::string::npos) << host.LastMessage();
  EXPECT_FALSE(Env::Default().FileExists(path));
}

// A real RTF reader must find every Japanese text intact.
TEST_F(Worksheet, ReadsBackThroughAnRtfReader) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "soffice is not installed";
  store.AddAssessment(12, kApril, "表\\{ソ}能");
  store.Set("J", 12, kApril, "j1-x", int64_t{2});
  store.Set("L", 12, kApril, "l1-a", int64_t{1});
  store.Set("L", 12, kApril, "l2-b", int64_t{1});
  store.Set("O", 12, kApril, "o1-a", int64_t{1});
  std::string path = store.dir.Child("w.rtf");
  ASSERT_EQ(Write({"14", "16", "28"}, path), WorksheetOutcome::kWritten);
  std::string command = "cd " + store.dir.path() + " && soffice -env:UserInstallation=file://" +
                        store.dir.Child("profile") + " --headless --convert-to txt:Text --outdir " +
                        store.dir.path() + " w.rtf >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::string text = Read(store.dir.Child("w.txt"));
  for (const char* expected : {"CAP検討用紙", "表\\{ソ}能", "16.栄養", "疾患", " J1x=2", "体重", "食事摂取",
                               "28.環境評価", "居住環境", " O1a=ﾚ", "検討内容", "結論"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
}

}  // namespace
}  // namespace zelka::testing
