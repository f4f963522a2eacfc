// The selection run and the verification run against a real store: one
// transaction each, the previous CAP選定 kept on failure, and the export file.
#include <gtest/gtest.h>

#include "cap/cap_engine.h"
#include "support/store.h"
#include "util/cp932.h"

namespace zelka::testing {
namespace {

const Date kApril{2003, 4, 1};
const Date kMay{2003, 5, 1};

class StoreRuns : public StoreTest {
 protected:
  std::function<void(RecordContext&)> Choose(int64_t n, Date d) {
    return [n, d](RecordContext& c) {
      c.record_number = n;
      c.reference_date = d;
    };
  }
  // The assessment's CAP選定 rows as "slot 1|its name|slot 2|client|slot 33|", "" when none.
  std::string Slots(int64_t n, Date d) {
    std::string text;
    for (const auto& row : db->Query("SELECT [CAP番号01], [CAP種類01], [CAP番号02], [利用者名], [CAP番号33] "
                                     "FROM [CAP選定] WHERE [整理番号]=?1 AND [基準日]=?2", {n, d.IsoDate()}))
      for (const Value& cell : row) text += ValueText(cell) + "|";
    return text;
  }

  CapEngine engine;
};

// A run replaces its own assessment's row only; a failed run is told, naming
// the assessment, and keeps the row of the run before.
TEST_F(StoreRuns, CapCreateReplacesOnlyItsOwnRowAndAFailedRunKeepsIt) {
  AddAssessment(7, kApril);
  AddAssessment(7, kMay);
  Set("C", 7, kApril, "c1", int64_t{1});
  Set("J", 7, kApril, "j1-x", int64_t{2});
  ASSERT_TRUE(engine.CapCreate(ctx, host, Choose(7, kMay)));
  ASSERT_TRUE(engine.CapCreate(ctx, host, Choose(7, kApril)));
  ASSERT_TRUE(engine.CapCreate(ctx, host, Choose(7, kApril)));
  EXPECT_EQ(Slots(7, kApril), "5|コミュニケーション|16|山田 花子||");
  EXPECT_NE(Slots(7, kMay), "") << "the other assessment's row stays";
  EXPECT_EQ(engine.client_name(), "山田 花子");
  EXPECT_TRUE(host.messages.empty());

  Set("C", 7, kApril, "c1", int64_t{0});
  db->Execute("DELETE FROM [Q] WHERE [整理番号]=7");
  EXPECT_FALSE(engine.CapCreate(ctx, host, Choose(7, kApril)));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].icon, Icon::kCritical);
  EXPECT_NE(host.LastMessage().find("整理番号 7 基準日 2003/04/01"), std::string::npos) << host.LastMessage();
  EXPECT_NE(host.LastMessage().find("Q 表の行がありません"), std::string::npos);
  EXPECT_EQ(ctx.record_number, 0) << "no follow-up on a failed run";
  EXPECT_EQ(Slots(7, kApril), "5|コミュニケーション|16|山田 花子||") << "the previous selection is kept";
}

TEST_F(StoreRuns, VerificationRefillsAndExports) {
  AddAssessment(3, kApril);
  AddAssessment(3, kMay);
  AddAssessment(9, kApril, "佐藤");
  Set("C", 3, kApril, "c1", int64_t{1});
  Set("O", 9, kApril, "o1-f", int64_t{1});
  Set("Q", 9, kApril, "q3", int64_t{1});
  Set("Q", 9, kApril, "q1", int64_t{2});
  db->Execute("INSERT INTO [CAP選定] ([整理番号], [基準日], [CAP番号01]) VALUES (99, '2001-01-01', '1')");
  std::string path = dir.Child("out.txt");
  host.QueueInput(std::nullopt);
  host.QueueInput(std::string(""));
  host.QueueInput(path);
  ctx.record_number = 3;
  engine.RunVerification(ctx, host, Env::Default());

  // (The two messages' texts and the progress panel are shown in the browser test.)
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.input_prompts.size(), 3u) << "cancel and empty answers ask again";
  EXPECT_EQ(ctx.record_number, 0);

  std::string text = Cp932ToUtf8(ReadBytes(path));
  std::string header = "整理番号\t1\t2a\t2b\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12\t13\t14\t15\t16\t17\t18\t19\t20\t21\t22a\t"
                       "22b\t23a\t23b\t24\t25\t26\t27\t28\t29\t30\r\n";
  std::string none = "\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t\r\n";
  std::string three = "3\t0\t0\t0\t0\t0\t1" + none.substr(12);
  // 23a (25th entry) and 28 (31st entry)
  std::string nine = "9\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t1\t0\t0\t0\t0\t0\t1\t0\t0\t\r\n";
  EXPECT_EQ(text, header + three + "3" + none + nine);
}

// A program told to end while the file name is asked for ends: its boxes
// answer as cancelled, which must not be asked again for ever.
TEST_F(StoreRuns, VerificationEndsWithoutAFileWhenTheProgramIsEnding) {
  AddAssessment(3, kApril);
  host.stopping = true;
  host.QueueInput(std::nullopt);
  engine.RunVerification(ctx, host, Env::Default());
  EXPECT_EQ(host.input_prompts.size(), 1u);
  EXPECT_EQ(db->Query("SELECT count(*) FROM [CAP選定]")[0][0], Value(int64_t{1}));
}

TEST_F(StoreRuns, VerificationFailureNamesTheAssessmentAndWritesNoFile) {
  AddAssessment(3, kApril);
  AddAssessment(4, kApril);
  db->Execute("DELETE FROM [L] WHERE [整理番号]=4");
  engine.RunVerification(ctx, host, Env::Default());
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.LastMessage().find("整理番号 4 基準日 2003/04/01"), std::string::npos) << host.LastMessage();
  EXPECT_TRUE(host.input_prompts.empty()) << "no file after a failed run";
}

TEST_F(StoreRuns, UnwritableExportAsksAgainAndMayBeAbandoned) {
  AddAssessment(3, kApril);
  std::string bad = dir.Child("no/such/dir/out.txt");
  host.QueueInput(bad);
  host.QueueInput(dir.Child("ok.txt"));
  engine.RunVerification(ctx, host, Env::Default());
  ASSERT_EQ(host.messages.size(), 3u);
  EXPECT_EQ(host.messages[1].icon, Icon::kCritical);
  EXPECT_NE(host.messages[1].text.find(bad), std::string::npos);
  EXPECT_TRUE(Env::Default().FileExists(dir.Child("ok.txt")));

  // The program's own files are refused like a file that cannot be written.
  ScriptedHost second;
  second.QueueInput(dir.Child("ZELKA20.mdb"));
  second.QueueInput(std::nullopt);
  engine.RunVerification(ctx, second, Env::Default());
  ASSERT_EQ(second.messages.size(), 3u);
  EXPECT_NE(second.messages[1].text.find("プログラムのファイル ZELKA20.mdb"), std::string::npos);
  EXPECT_NE(second.messages[2].text.find("中止"), std::string::npos);
  EXPECT_EQ(db->Query("SELECT count(*) FROM [A]")[0][0], Value(int64_t{1}));
}

}  // namespace
}  // namespace zelka::testing
