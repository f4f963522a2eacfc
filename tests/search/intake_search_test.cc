#include "search/intake_search.h"

#include <gmock/gmock.h>

#include "search_fixture.h"

namespace zelka::testing {
namespace {

using ::testing::ElementsAre;
using Cells = std::vector<std::string>;

// The intake search and, through it, what both search dialogs share: the
// grid, choosing, the refusal of empty criteria and deletion.
class IntakeSearchTest : public SearchTest {
 protected:
  IntakeSearchTest() {
    for (const auto& [number, name] : std::vector<std::pair<int64_t, std::string>>{
             {5, "スズキ"}, {7, "ヤマダ"}, {9, "ヤマモト"}, {12, "タナカ"}})
      AddClient(number, name);
  }
  // Runs the dialog with `script`.
  void Run(ScriptedHost::DialogScript script) {
    host.QueueDialog(std::move(script));
    ShowIntakeSearch(ctx, host);
  }
  Cells Found(const std::string& number, const std::string& name) {
    Cells found;
    Run([&](Dialog& d, ScriptedHost& h) {
      h.Send(d, Click("cmdFind", {{"txtSeiriNo", number}, {"txtTaisyo", name}}));
      found = FirstCells(d);
    });
    return found;
  }
};

// Number or name, either one, in number order; the number is the text's
// leading digits, the name is matched as written.
TEST_F(IntakeSearchTest, NumberOrNameListsEitherInNumberOrder) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"21", "O'Neil"}, {"22", "a\"b"}, {"23", "100%"}, {"24", "a_b"}, {"25", "x*y"},
      {"26", "[z]"},    {"27", "#1"},   {"28", "?q"},   {"29", "c\\d"}, {"30", "axb"}};
  for (const auto& [number, name] : names) AddClient(std::stoll(number), name);
  const std::tuple<std::string, std::string, Cells> cases[] = {
      {"12", "ヤマ", {"7", "9", "12"}}, {"5", "", {"5"}},     {"", "マモ", {"9"}},
      {"12abc", "", {"12"}},           {" 9", "", {"9"}},    {"１２", "", {"12"}},
      {"abc12", "", {}},               {"7.5", "", {}},      {"99999999999999999999999", "", {}},
      {"", "'", {"21"}},               {"", "\"", {"22"}},   {"", "%", {"23"}},
      {"", "a_b", {"24"}},             {"", "*", {"25"}},    {"", "[z", {"26"}},
      {"", "#", {"27"}},               {"", "?", {"28"}},    {"", "\\", {"29"}},
      {"", "\") OR 1=1 --", {}}};
  for (const auto& [number, name, found] : cases) EXPECT_EQ(Found(number, name), found) << number << "|" << name;
  EXPECT_TRUE(host.messages.empty());
  std::vector<std::vector<std::string>> grid;
  Run([&](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "7"}}));
    grid = d.Find("DBG")->rows;
  });
  EXPECT_THAT(grid, ElementsAre(ElementsAre("7", "ヤマダ", "2003/03/20", "1930/01/02", "東京都", "03-1234")));
}

TEST_F(IntakeSearchTest, NoCriteriaIsRefusedAndKeepsTheGrid) {
  Cells after;
  Run([&](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "5"}}));
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", ""}, {"txtTaisyo", ""}}));
    after = FirstCells(d);
  });
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "検索条件が入力されていません");
  EXPECT_EQ(host.messages[0].icon, Icon::kCritical);
  EXPECT_EQ(after, Cells{"5"});
}

TEST_F(IntakeSearchTest, ChooseTakesTheHighlightedOrDoubleClickedRow) {
  Run([](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtTaisyo", "ヤマ"}}));
    h.Send(d, Highlight(1));
    h.Send(d, Click("cmdChoose"));
    EXPECT_TRUE(d.closed);
  });
  EXPECT_EQ(ctx.record_number, 9);
  Run([](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtTaisyo", "ヤマ"}}));
    h.Send(d, DoubleClick(0));
  });
  EXPECT_EQ(ctx.record_number, 7);
}

TEST_F(IntakeSearchTest, EmptyGridIgnoresChooseAndDelete) {
  Run([](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdChoose"));
    h.Send(d, Click("cmdDel"));
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "abc"}}));
    h.Send(d, Click("cmdChoose"));
    h.Send(d, DoubleClick(-1));
    h.Send(d, Click("cmdDel"));
    EXPECT_FALSE(d.closed);
  });
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(ctx.record_number, 0);
}

TEST_F(IntakeSearchTest, DeletionAsksRemovesTheClientAndSearchesAgain) {
  AddAssessment(7, "2003-04-01", "ヤマダ");
  AddAssessment(7, "2004-04-01", "ヤマダ");
  AddCapSelection(7, "2003-04-01");
  AddAssessment(9, "2003-04-01", "ヤマモト");
  AddCapSelection(9, "2003-04-01");
  host.QueueAnswer(Answer::kNo);
  Cells after;
  Run([&](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtTaisyo", "ヤマ"}}));
    h.Send(d, Click("cmdDel"));  // declined
    h.Send(d, Click("cmdDel"));
    after = FirstCells(d);
    EXPECT_FALSE(d.closed);
    h.Send(d, Event(DialogEvent::Kind::kClose));
  });
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[0].text, "整理番号[7] 対象者名[ヤマダ]のデータを\r\nすべて削除しますか？");
  EXPECT_EQ(host.messages[0].buttons, Buttons::kYesNo);
  EXPECT_EQ(host.messages[0].icon, Icon::kExclamation);
  EXPECT_EQ(after, Cells{"9"});
  EXPECT_EQ(ctx.record_number, 0) << "closed: nothing handed back";
  for (std::string table : {"相談受付表", "AA", "A", "J", "S", "CAP選定"}) {
    EXPECT_EQ(Count(table, 7), 0) << table;
    EXPECT_EQ(Count(table, 9), 1) << table;
  }
}

TEST_F(IntakeSearchTest, FailedDeletionTellsTheUserAndKeepsEverything) {
  AddAssessment(7, "2003-04-01", "ヤマダ");
  BlockDeletes("S");
  Cells after;
  Run([&](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "7"}}));
    h.Send(d, Click("cmdDel"));
    after = FirstCells(d);
  });
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[1].icon, Icon::kCritical);
  EXPECT_EQ(after, Cells{"7"});
  for (std::string table : {"相談受付表", "AA", "A", "S"}) EXPECT_EQ(Count(table, 7), 1) << table;
}

}  // namespace
}  // namespace zelka::testing
