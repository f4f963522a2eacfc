#include "search/assessment_search.h"

#include <gmock/gmock.h>

#include "search_fixture.h"

namespace zelka::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class AssessmentSearchTest : public SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    AddAssessment(3, "2003-04-01", "ヤマダ");
    AddAssessment(12, "2003-04-01", "タナカ");
    AddAssessment(12, "2002-10-01", "タナカ");
    AddAssessment(20, "2005-06-30", "サトウ");
  }

  void Run(ScriptedHost::DialogScript script) {
    host.QueueDialog(std::move(script));
    ShowAssessmentSearch(ctx, host, env, [this] { ++verification_runs; });
  }

  // "number/date" of every row found by one search.
  std::vector<std::string> Found(std::map<std::string, std::string> criteria) {
    std::vector<std::string> found;
    Run([&](Dialog& d, ScriptedHost& h) {
      h.Send(d, Click("cmdFind", criteria));
      for (const auto& row : d.Find("DBG")->rows) found.push_back(row.at(0) + "/" + row.at(1));
    });
    return found;
  }

  int verification_runs = 0;
};

TEST_F(AssessmentSearchTest, CriteriaAreJoinedWithOrAndSortedByNumberThenDate) {
  EXPECT_THAT(Found({{"txtSeiriNo", "12"}, {"txtTaisyo", "ヤマ"}}),
              ElementsAre("3/2003/04/01", "12/2002/10/01", "12/2003/04/01"));
  EXPECT_THAT(Found({{"txtSeiriNo", "20"}, {"txtAssDate", "2002/10/1"}}),
              ElementsAre("12/2002/10/01", "20/2005/06/30"));
  EXPECT_THAT(Found({{"txtTaisyo", "ﾀﾅｶ"}}), ElementsAre("12/2002/10/01", "12/2003/04/01"));
}

TEST_F(AssessmentSearchTest, RecordNumberTextIsReadUpToItsFirstNonDigit) {
  EXPECT_THAT(Found({{"txtSeiriNo", "12abc"}}), ElementsAre("12/2002/10/01", "12/2003/04/01"));
  EXPECT_THAT(Found({{"txtSeiriNo", "abc"}}), IsEmpty());
  EXPECT_THAT(host.messages, IsEmpty());
}

TEST_F(AssessmentSearchTest, DateIsReadInEraAndWesternForms) {
  const auto both = ElementsAre("3/2003/04/01", "12/2003/04/01");
  EXPECT_THAT(Found({{"txtAssDate", "平成15年04月01日"}}), both);
  EXPECT_THAT(Found({{"txtAssDate", "2003/4/1"}}), both);
  EXPECT_THAT(Found({{"txtAssDate", "2003-04-01"}}), both);
  EXPECT_THAT(Found({{"txtAssDate", "H15.4.1"}}), both);
}

TEST_F(AssessmentSearchTest, BadDateOrNoCriteriaIsRefusedAndKeepsTheGrid) {
  std::vector<std::string> after;
  Run([&](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "3"}}));
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "12"}, {"txtAssDate", "平成31年5月1日"}}));
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "12"}, {"txtAssDate", "13:05"}}));
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", ""}, {"txtAssDate", ""}}));
    after = FirstCells(d);
  });
  ASSERT_EQ(host.messages.size(), 3u);
  EXPECT_EQ(host.messages[0].text,
            "アセスメント基準日の指定がおかしいです\r\n"
            "平成は平成31年4月30日で終わっています。この日付は令和元年5月1日です。");
  EXPECT_EQ(host.messages[1].text, "アセスメント基準日の指定がおかしいです");
  EXPECT_EQ(host.messages[2].text, "検索条件が入力されていません");
  for (const auto& m : host.messages) EXPECT_EQ(m.icon, Icon::kCritical);
  EXPECT_THAT(after, ElementsAre("3"));
}

TEST_F(AssessmentSearchTest, GridShowsNameAndBirthDate) {
  std::vector<std::vector<std::string>> grid;
  Run([&](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "3"}}));
    grid = d.Find("DBG")->rows;
  });
  EXPECT_THAT(grid, ElementsAre(ElementsAre("3", "2003/04/01", "ヤマダ", "1930/01/02")));
}

TEST_F(AssessmentSearchTest, ChooseAndDoubleClickHandBackBothKeys) {
  Run([](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "12"}}));
    h.Send(d, Highlight(1));
    h.Send(d, Click("cmdChoose"));
  });
  EXPECT_EQ(ctx.record_number, 12);
  EXPECT_EQ(ctx.reference_date, (Date{2003, 4, 1}));

  ctx.ClearKeys();
  Run([](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "12"}}));
    h.Send(d, DoubleClick(0));
  });
  EXPECT_EQ(ctx.record_number, 12);
  EXPECT_EQ(ctx.reference_date, (Date{2002, 10, 1}));
}

TEST_F(AssessmentSearchTest, EmptyGridIgnoresChooseAndDelete) {
  Run([](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "99"}}));
    h.Send(d, Click("cmdChoose"));
    h.Send(d, Click("cmdDel"));
    EXPECT_FALSE(d.closed);
  });
  EXPECT_THAT(host.messages, IsEmpty());
  EXPECT_EQ(ctx.record_number, 0);
}

TEST_F(AssessmentSearchTest, DeletionAsksThenDeletesAndSearchesAgain) {
  AddCapSelection(12, "2002-10-01");
  std::vector<std::string> after;
  Run([&](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "12"}}));
    h.Send(d, Click("cmdDel"));
    after = FirstCells(d);
    EXPECT_EQ(ctx.record_number, 0);
    EXPECT_TRUE(ctx.reference_date.IsZero());
  });
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text,
            "整理番号[12] 対象者名[タナカ] 基準日[2002/10/01]を\r\n削除しますか？");
  EXPECT_EQ(host.messages[0].icon, Icon::kExclamation);
  EXPECT_EQ(host.messages[0].buttons, Buttons::kYesNo);
  EXPECT_THAT(after, ElementsAre("12"));
  EXPECT_EQ(Count("A", 12), 1);
  EXPECT_EQ(Count("CAP選定", 12), 0);
  EXPECT_EQ(Count("AA", 12), 1);
}

TEST_F(AssessmentSearchTest, DeclinedDeletionThenCloseHandsBackNothing) {
  host.QueueAnswer(Answer::kNo);
  Run([](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "3"}}));
    h.Send(d, Click("cmdDel"));
    h.Send(d, Close());
  });
  EXPECT_EQ(ctx.record_number, 0);
  EXPECT_TRUE(ctx.reference_date.IsZero());
  EXPECT_EQ(Count("A", 3), 1);
}

TEST_F(AssessmentSearchTest, KeyChordFlashesTheVerificationButtonThenLeavesItShown) {
  std::vector<bool> shown_at_pause;
  Run([&](Dialog& d, ScriptedHost& h) {
    EXPECT_FALSE(d.Find("cmdKentei")->visible);
    h.Send(d, Click("cmdKentei"));  // hidden: nothing happens
    h.Send(d, Key("Shift+Ctrl+K"));
    EXPECT_FALSE(d.Find("cmdKentei")->visible);
    EXPECT_THAT(h.pauses, IsEmpty());
    h.Send(d, Key("ctrl+alt+shift+k"));
    EXPECT_TRUE(d.Find("cmdKentei")->visible);
    h.Send(d, Click("cmdKentei"));
    EXPECT_FALSE(d.closed);
  });
  std::vector<int> expected;
  for (int pause = 1000; pause >= 0; pause -= 50) {
    expected.push_back(pause);
    expected.push_back(10);
  }
  EXPECT_EQ(host.pauses, expected);
  EXPECT_EQ(host.refreshes, 21 * 3 + 1);
  EXPECT_EQ(verification_runs, 1);
}

TEST_F(AssessmentSearchTest, DateButtonWritesThePickedDayInEraForm) {
  std::string shown;
  host.QueueDialog([&](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtTaisyo", "サトウ"}}));
    h.Send(d, Click("cmdDTPICK"));
    shown = d.Find("txtAssDate")->value;
    h.Send(d, Click("cmdFind"));
    h.Send(d, Click("cmdDTPICK"));  // cancelled: the text stays
    EXPECT_EQ(d.Find("txtAssDate")->value, shown);
    h.Send(d, Click("cmdFind", {{"txtTaisyo", ""}}));
    h.Send(d, Click("cmdChoose"));
  });
  host.QueueDialog([](Dialog& picker, ScriptedHost& h) {
    EXPECT_FALSE(picker.Find("cbHour")->visible);
    h.Send(picker, Click("cmdOK", {{"Cal", "2003-04-01"}}));
  });
  host.QueueDialog([](Dialog& picker, ScriptedHost& h) {
    h.Send(picker, Click("Cal", {{"Cal", "2005-06-30"}}));
    h.Send(picker, Key("Escape"));
  });
  ShowAssessmentSearch(ctx, host, env, {});
  EXPECT_EQ(shown, "平成15年04月01日");
  EXPECT_THAT(host.dialogs_shown, ElementsAre("登録データの選択", "カレンダー", "カレンダー"));
  EXPECT_EQ(ctx.record_number, 3);
  EXPECT_EQ(ctx.reference_date, (Date{2003, 4, 1}));
}

}  // namespace
}  // namespace zelka::testing
