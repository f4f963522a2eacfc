#include "search/assessment_search.h"

#include <gmock/gmock.h>

#include "search_fixture.h"

namespace zelka::testing {
namespace {

using ::testing::ElementsAre;
using Cells = std::vector<std::string>;

class AssessmentSearchTest : public SearchTest {
 protected:
  AssessmentSearchTest() {
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
  Cells Found(std::map<std::string, std::string> criteria) {
    Cells found;
    Run([&](Dialog& d, ScriptedHost& h) {
      h.Send(d, Click("cmdFind", criteria));
      for (const auto& row : d.Find("DBG")->rows) found.push_back(row.at(0) + "/" + row.at(1));
    });
    return found;
  }
  int verification_runs = 0;
};

// Criteria are joined with OR and sorted by number, then date; the number is
// read up to its first non-digit, the date in era and western forms.
TEST_F(AssessmentSearchTest, CriteriaFindTheAssessmentsInKeyOrder) {
  const Cells april = {"3/2003/04/01", "12/2003/04/01"};
  const std::pair<std::map<std::string, std::string>, Cells> cases[] = {
      {{{"txtSeiriNo", "12"}, {"txtTaisyo", "ヤマ"}}, {"3/2003/04/01", "12/2002/10/01", "12/2003/04/01"}},
      {{{"txtSeiriNo", "20"}, {"txtAssDate", "2002/10/1"}}, {"12/2002/10/01", "20/2005/06/30"}},
      {{{"txtSeiriNo", "12abc"}}, {"12/2002/10/01", "12/2003/04/01"}},
      {{{"txtSeiriNo", "abc"}}, {}},
      {{{"txtAssDate", "平成15年04月01日"}}, april}, {{{"txtAssDate", "2003/4/1"}}, april},
      {{{"txtAssDate", "2003-04-01"}}, april},      {{{"txtAssDate", "H15.4.1"}}, april}};
  for (const auto& [criteria, found] : cases) EXPECT_EQ(Found(criteria), found) << criteria.begin()->second;
  EXPECT_TRUE(host.messages.empty());
  std::vector<std::vector<std::string>> grid;
  Run([&](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "3"}}));
    grid = d.Find("DBG")->rows;
  });
  EXPECT_THAT(grid, ElementsAre(ElementsAre("3", "2003/04/01", "ヤマダ", "1930/01/02")));
}

TEST_F(AssessmentSearchTest, BadDateIsRefusedAndKeepsTheGrid) {
  Cells after;
  Run([&](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "3"}}));
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "12"}, {"txtAssDate", "2003/13/45"}}));
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "12"}, {"txtAssDate", "13:05"}}));
    after = FirstCells(d);
  });
  ASSERT_EQ(host.messages.size(), 2u);
  for (const auto& m : host.messages) EXPECT_EQ(m.text, "アセスメント基準日の指定がおかしいです");
  EXPECT_EQ(host.messages[0].icon, Icon::kCritical);
  EXPECT_EQ(after, Cells{"3"});
}

TEST_F(AssessmentSearchTest, ChooseAndDoubleClickHandBackBothKeys) {
  Run([](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "12"}}));
    h.Send(d, Highlight(1));
    h.Send(d, Click("cmdChoose"));
  });
  EXPECT_EQ(ctx.record_number, 12);
  EXPECT_EQ(ctx.reference_date, (Date{2003, 4, 1}));
  Run([](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "12"}}));
    h.Send(d, DoubleClick(0));
  });
  EXPECT_EQ(ctx.reference_date, (Date{2002, 10, 1}));
}

TEST_F(AssessmentSearchTest, DeletionAsksThenDeletesOneAssessmentAndSearchesAgain) {
  AddCapSelection(12, "2002-10-01");
  ctx.record_number = 12;
  Cells after;
  Run([&](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "12"}}));
    h.Send(d, Click("cmdDel"));
    after = FirstCells(d);
    EXPECT_EQ(ctx.record_number, 0);
    EXPECT_TRUE(ctx.reference_date.IsZero());
  });
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "整理番号[12] 対象者名[タナカ] 基準日[2002/10/01]を\r\n削除しますか？");
  EXPECT_EQ(host.messages[0].buttons, Buttons::kYesNo);
  EXPECT_EQ(after, Cells{"12"});
  EXPECT_EQ(Count("A", 12), 1);
  EXPECT_EQ(Count("CAP選定", 12), 0);
  EXPECT_EQ(Count("AA", 12), 1);
}

TEST_F(AssessmentSearchTest, KeyChordFlashesTheVerificationButtonThenLeavesItShown) {
  Run([&](Dialog& d, ScriptedHost& h) {
    EXPECT_FALSE(d.Find("cmdKentei")->visible);
    h.Send(d, Click("cmdKentei"));  // hidden: nothing happens
    h.Send(d, Key("Shift+Ctrl+K"));
    EXPECT_FALSE(d.Find("cmdKentei")->visible);
    EXPECT_TRUE(h.pauses.empty());
    h.Send(d, Key("ctrl+alt+shift+k"));
    EXPECT_TRUE(d.Find("cmdKentei")->visible);
    h.Send(d, Click("cmdKentei"));
    EXPECT_FALSE(d.closed);
  });
  std::vector<int> expected;
  for (int pause = 1000; pause >= 0; pause -= 50) expected.insert(expected.end(), {pause, 10});
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
