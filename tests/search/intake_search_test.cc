#include "search/intake_search.h"

#include <gmock/gmock.h>

#include "search_fixture.h"

namespace zelka::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class IntakeSearchTest : public SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    AddClient(5, "スズキ");
    AddClient(7, "ヤマダ");
    AddClient(9, "ヤマモト");
    AddClient(12, "タナカ");
  }

  // Runs the dialog with `script`, and returns what the grid showed last.
  std::vector<std::vector<std::string>> Run(ScriptedHost::DialogScript script) {
    std::vector<std::vector<std::string>> grid;
    host.QueueDialog([&](Dialog& d, ScriptedHost& h) {
      script(d, h);
      grid = d.Find("DBG")->rows;
    });
    ShowIntakeSearch(ctx, host);
    return grid;
  }

  std::vector<std::string> Found(const std::string& number, const std::string& name) {
    std::vector<std::string> found;
    Run([&](Dialog& d, ScriptedHost& h) {
      h.Send(d, Click("cmdFind", {{"txtSeiriNo", number}, {"txtTaisyo", name}}));
      found = FirstCells(d);
    });
    return found;
  }
};

TEST_F(IntakeSearchTest, NumberOrNameListsEitherInNumberOrder) {
  EXPECT_THAT(Found("12", "ヤマ"), ElementsAre("7", "9", "12"));
  EXPECT_THAT(Found("5", ""), ElementsAre("5"));
  EXPECT_THAT(Found("", "マモ"), ElementsAre("9"));
}

TEST_F(IntakeSearchTest, CellsShowDatesAsShortDates) {
  auto grid = Run([](Dialog& d, ScriptedHost& h) { h.Send(d, Click("cmdFind", {{"txtSeiriNo", "7"}})); });
  EXPECT_THAT(grid, ElementsAre(ElementsAre("7", "ヤマダ", "2003/03/20", "1930/01/02", "東京都",
                                            "03-1234")));
}

TEST_F(IntakeSearchTest, RecordNumberIsTheLeadingNumberOfTheText) {
  EXPECT_THAT(Found("12abc", ""), ElementsAre("12"));
  EXPECT_THAT(Found(" 9", ""), ElementsAre("9"));
  EXPECT_THAT(Found("１２", ""), ElementsAre("12"));
  EXPECT_THAT(Found("abc12", ""), IsEmpty());
  EXPECT_THAT(Found("7.5", ""), IsEmpty());
  EXPECT_THAT(Found("99999999999999999999999", ""), IsEmpty());
}

TEST_F(IntakeSearchTest, NameCharactersAreTakenLiterally) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"21", "O'Neil"}, {"22", "a\"b"}, {"23", "100%"}, {"24", "a_b"}, {"25", "x*y"},
      {"26", "[z]"},    {"27", "#1"},   {"28", "?q"},   {"29", "c\\d"}, {"30", "axb"}};
  for (const auto& [number, name] : names) AddClient(std::stoll(number), name);
  EXPECT_THAT(Found("", "'"), ElementsAre("21"));
  EXPECT_THAT(Found("", "\""), ElementsAre("22"));
  EXPECT_THAT(Found("", "%"), ElementsAre("23"));
  EXPECT_THAT(Found("", "a_b"), ElementsAre("24"));
  EXPECT_THAT(Found("", "*"), ElementsAre("25"));
  EXPECT_THAT(Found("", "[z"), ElementsAre("26"));
  EXPECT_THAT(Found("", "#"), ElementsAre("27"));
  EXPECT_THAT(Found("", "?"), ElementsAre("28"));
  EXPECT_THAT(Found("", "\\"), ElementsAre("29"));
  EXPECT_THAT(Found("", "\") OR 1=1 --"), IsEmpty());
}

TEST_F(IntakeSearchTest, NamesMatchWhateverKanaWidthOrSpacingIsTyped) {
  AddClient(20, "ヤマダ　ハナコ");
  AddClient(21, "ﾔﾏﾀﾞ ｼﾞﾛｳ");
  for (const char* typed : {"やまだ", "ﾔﾏﾀﾞ", "ヤマダ"})
    EXPECT_THAT(Found("", typed), ElementsAre("7", "20", "21")) << typed;
  for (const char* typed : {"ヤマダ ハナコ", "ヤマダハナコ", "やまだ　はなこ", "ﾊﾅｺ"})
    EXPECT_THAT(Found("", typed), ElementsAre("20")) << typed;
  EXPECT_THAT(Found("", "ﾔﾏﾀ"), ElementsAre("21"));  // as stored, a plain substring
  EXPECT_THAT(Found("", "やまもと"), ElementsAre("9"));
}

TEST_F(IntakeSearchTest, NoCriteriaIsRefusedAndKeepsTheGrid) {
  std::vector<std::string> after;
  Run([&](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "5"}}));
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", ""}, {"txtTaisyo", ""}}));
    after = FirstCells(d);
  });
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "検索条件が入力されていません");
  EXPECT_EQ(host.messages[0].icon, Icon::kCritical);
  EXPECT_THAT(after, ElementsAre("5"));
}

TEST_F(IntakeSearchTest, ChooseTakesTheHighlightedRow) {
  Run([](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtTaisyo", "ヤマ"}}));
    h.Send(d, Highlight(1));
    h.Send(d, Click("cmdChoose"));
    EXPECT_TRUE(d.closed);
  });
  EXPECT_EQ(ctx.record_number, 9);
}

TEST_F(IntakeSearchTest, DoubleClickChoosesThatRow) {
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
  EXPECT_THAT(host.messages, IsEmpty());
  EXPECT_EQ(ctx.record_number, 0);
}

TEST_F(IntakeSearchTest, DeletionRemovesTheClientAndSearchesAgain) {
  AddAssessment(7, "2003-04-01", "ヤマダ");
  AddAssessment(7, "2004-04-01", "ヤマダ");
  AddCapSelection(7, "2003-04-01");
  AddAssessment(9, "2003-04-01", "ヤマモト");
  AddCapSelection(9, "2003-04-01");
  std::vector<std::string> after;
  Run([&](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtTaisyo", "ヤマ"}}));
    h.Send(d, Click("cmdDel"));
    after = FirstCells(d);
    EXPECT_EQ(ctx.record_number, 0);
    EXPECT_FALSE(d.closed);
  });
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "整理番号[7] 対象者名[ヤマダ]のデータを\r\nすべて削除しますか？");
  EXPECT_EQ(host.messages[0].buttons, Buttons::kYesNo);
  EXPECT_EQ(host.messages[0].icon, Icon::kExclamation);
  EXPECT_THAT(after, ElementsAre("9"));
  for (std::string table : {"相談受付表", "AA", "A", "J", "S", "CAP選定"}) {
    EXPECT_EQ(Count(table, 7), 0) << table;
    EXPECT_EQ(Count(table, 9), 1) << table;
  }
}

TEST_F(IntakeSearchTest, DeclinedDeletionThenCloseHandsBackNothing) {
  host.QueueAnswer(Answer::kNo);
  Run([](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "12"}}));
    h.Send(d, Click("cmdDel"));
    h.Send(d, Close());
  });
  EXPECT_EQ(ctx.record_number, 0);
  EXPECT_EQ(Count(kIntakeTable, 12), 1);
}

TEST_F(IntakeSearchTest, FailedDeletionTellsTheUserAndKeepsEverything) {
  AddAssessment(7, "2003-04-01", "ヤマダ");
  BlockDeletes("S");
  std::vector<std::string> after;
  Run([&](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "7"}}));
    h.Send(d, Click("cmdDel"));
    after = FirstCells(d);
  });
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[1].icon, Icon::kCritical);
  EXPECT_THAT(after, ElementsAre("7"));
  for (std::string table : {"相談受付表", "AA", "A", "S"}) EXPECT_EQ(Count(table, 7), 1) << table;
  EXPECT_EQ(ctx.record_number, 0);
}

}  // namespace
}  // namespace zelka::testing
