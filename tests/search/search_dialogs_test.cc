// The intake search, the assessment search and the reference-date dialog:
// what the user types and clicks, what they are told and the keys handed back.
#include <gmock/gmock.h>

#include "search/assessment_search.h"
#include "search/date_dialogs.h"
#include "search/intake_search.h"
#include "search_fixture.h"

namespace zelka::testing {
namespace {

using ::testing::ElementsAre;
using Cells = std::vector<std::string>;
using Criteria = std::map<std::string, std::string>;

enum class Shown { kIntakeSearch, kAssessmentSearch, kReferenceDate };

// Intake sheets of clients 5, 7, 9 and 12; assessments of clients 3, 12 (two) and 20.
class SearchDialogTest : public SearchTest {
 protected:
  SearchDialogTest() {
    for (const auto& [number, name] :
         std::vector<std::pair<int64_t, std::string>>{{5, "スズキ"}, {7, "ヤマダ"}, {9, "ヤマモト"}, {12, "タナカ"}})
      AddClient(number, name);
    AddAssessment(3, "2003-04-01", "ヤマダ");
    AddAssessment(12, "2003-04-01", "タナカ");
    AddAssessment(12, "2002-10-01", "タナカ");
    AddAssessment(20, "2005-06-30", "サトウ");
  }

  // Shows the dialog; `script` plays the user.
  void Show(Shown dialog, ScriptedHost::DialogScript script) {
    host.QueueDialog(std::move(script));
    switch (dialog) {
      case Shown::kIntakeSearch:
        return ShowIntakeSearch(ctx, host);
      case Shown::kAssessmentSearch:
        return ShowAssessmentSearch(ctx, host, env, [this] { ++verification_runs; });
      case Shown::kReferenceDate:
        return ShowReferenceDateDialog(ctx, host, env);
    }
  }

  // The keys of the grid's rows: "number", or "number/date" for assessments.
  static Cells GridKeys(const Dialog& dialog) {
    Cells keys;
    const Control* grid = dialog.Find("DBG");
    for (const auto& row : grid ? grid->rows : std::vector<std::vector<std::string>>{})
      keys.push_back(grid->columns.at(1) == "基準日" ? row.at(0) + "/" + row.at(1) : row.at(0));
    return keys;
  }

  // The keys of the rows one search finds, and the rows as shown when asked for.
  Cells Found(Shown dialog, const Criteria& criteria, std::vector<Cells>* rows = nullptr) {
    Cells found;
    Show(dialog, [&](Dialog& d, ScriptedHost& h) {
      h.Send(d, Click("cmdFind", criteria));
      found = GridKeys(d);
      if (rows) *rows = d.Find("DBG")->rows;
    });
    return found;
  }

  // Plays `events` on the dialog (until one closes it), answering its
  // questions as `answers` say, and tells what the user saw: each message
  // ("× text" for a refusal or failure, "? text" for a Yes/No question), the
  // grid's keys, whether the events left it open, and the keys handed back.
  std::string Play(Shown dialog, const std::vector<DialogEvent>& events, const std::vector<Answer>& answers = {}) {
    ctx.ClearKeys();
    host.messages.clear();
    for (Answer answer : answers) host.QueueAnswer(answer);
    std::string grid, state = "open", seen;
    Show(dialog, [&](Dialog& d, ScriptedHost& h) {
      for (size_t i = 0; i < events.size() && !d.closed; ++i) h.Send(d, events[i]);
      for (const std::string& key : GridKeys(d)) grid += " " + key;
      if (d.closed) state = "closed";
    });
    for (const auto& m : host.messages) {
      const bool refusal = m.buttons == Buttons::kOk && m.icon == Icon::kCritical;
      const bool question = m.buttons == Buttons::kYesNo && m.icon == Icon::kExclamation;
      seen += (refusal ? "× " : question ? "? " : "(another kind of box) ") + m.text + "\n";
    }
    seen += "grid" + grid + ", " + state + ", keys " + std::to_string(ctx.record_number);
    return ctx.reference_date.IsZero() ? seen : seen + " " + ctx.reference_date.Slashed();
  }

  int verification_runs = 0;
};

// Number or name, either one, in number order; the number is the text's
// leading digits, the name is matched as written.
TEST_F(SearchDialogTest, IntakeNumberOrNameListsEitherInNumberOrder) {
  const std::vector<std::pair<std::string, std::string>> names = {
      {"21", "O'Neil"}, {"22", "a\"b"}, {"23", "100%"}, {"24", "a_b"},  {"25", "x*y"},
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
  for (const auto& [number, name, found] : cases)
    EXPECT_EQ(Found(Shown::kIntakeSearch, {{"txtSeiriNo", number}, {"txtTaisyo", name}}), found)
        << number << "|" << name;
  EXPECT_TRUE(host.messages.empty());
  std::vector<Cells> grid;
  Found(Shown::kIntakeSearch, {{"txtSeiriNo", "7"}}, &grid);
  EXPECT_THAT(grid, ElementsAre(ElementsAre("7", "ヤマダ", "2003/03/20", "1930/01/02", "東京都", "03-1234")));
}

TEST_F(SearchDialogTest, IntakeNamesMatchWhateverKanaWidthOrSpacingIsTyped) {
  AddClient(20, "ヤマダ　ハナコ");
  AddClient(21, "ﾔﾏﾀﾞ ｼﾞﾛｳ");
  auto by_name = [&](const char* typed) { return Found(Shown::kIntakeSearch, {{"txtTaisyo", typed}}); };
  for (const char* typed : {"やまだ", "ﾔﾏﾀﾞ", "ヤマダ"})
    EXPECT_THAT(by_name(typed), ElementsAre("7", "20", "21")) << typed;
  for (const char* typed : {"ヤマダ ハナコ", "ヤマダハナコ", "やまだ　はなこ", "ﾊﾅｺ"})
    EXPECT_THAT(by_name(typed), ElementsAre("20")) << typed;
  EXPECT_THAT(by_name("ﾔﾏﾀ"), ElementsAre("21"));  // as stored, a plain substring
  EXPECT_THAT(by_name("やまもと"), ElementsAre("9"));
}

// Criteria are joined with OR and sorted by number, then date; the number is
// read up to its first non-digit, the date in era and western forms.
TEST_F(SearchDialogTest, AssessmentCriteriaFindTheAssessmentsInKeyOrder) {
  const Cells april = {"3/2003/04/01", "12/2003/04/01"};
  const std::pair<Criteria, Cells> cases[] = {
      {{{"txtSeiriNo", "12"}, {"txtTaisyo", "ヤマ"}}, {"3/2003/04/01", "12/2002/10/01", "12/2003/04/01"}},
      {{{"txtTaisyo", "ﾀﾅｶ"}}, {"12/2002/10/01", "12/2003/04/01"}},  // any kana or width
      {{{"txtSeiriNo", "20"}, {"txtAssDate", "2002/10/1"}}, {"12/2002/10/01", "20/2005/06/30"}},
      {{{"txtSeiriNo", "12abc"}}, {"12/2002/10/01", "12/2003/04/01"}},
      {{{"txtSeiriNo", "abc"}}, {}},
      {{{"txtAssDate", "平成15年04月01日"}}, april}, {{{"txtAssDate", "2003/4/1"}}, april},
      {{{"txtAssDate", "2003-04-01"}}, april},      {{{"txtAssDate", "H15.4.1"}}, april}};
  for (const auto& [criteria, found] : cases)
    EXPECT_EQ(Found(Shown::kAssessmentSearch, criteria), found) << criteria.begin()->second;
  EXPECT_TRUE(host.messages.empty());
  std::vector<Cells> grid;
  Found(Shown::kAssessmentSearch, {{"txtSeiriNo", "3"}}, &grid);
  EXPECT_THAT(grid, ElementsAre(ElementsAre("3", "2003/04/01", "ヤマダ", "1930/01/02")));
}

TEST_F(SearchDialogTest, KeyChordFlashesTheVerificationButtonThenLeavesItShown) {
  Show(Shown::kAssessmentSearch, [&](Dialog& d, ScriptedHost& h) {
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

TEST_F(SearchDialogTest, AssessmentDateButtonWritesThePickedDayInEraForm) {
  std::string shown;
  ctx.picker.time_mode = true;  // as the entry window's picker may leave it
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

// A search by number, name and date, the fields not given left empty.
DialogEvent Search(std::string number, std::string name = "", std::string date = "") {
  return Click("cmdFind", {{"txtSeiriNo", number}, {"txtTaisyo", name}, {"txtAssDate", date}});
}
// The reference date typed, then OK clicked or Enter pressed in the field.
DialogEvent DateOk(std::string text, bool enter = false) {
  DialogEvent e = enter ? Key("Enter") : Click("cmdOK");
  e.values = {{"txtAssDate", text}};
  return e;
}

const DialogEvent kChoose = Click("cmdChoose"), kDelete = Click("cmdDel");
const Shown kIntake = Shown::kIntakeSearch, kAssessments = Shown::kAssessmentSearch;

// Refused input keeps the grid, or the dialog, as it was; a reason is given
// where one can be.
TEST_F(SearchDialogTest, RefusedInputIsToldAndKeepsTheGridOrTheDialog) {
  EXPECT_EQ(Play(kIntake, {Search("5"), Search("")}), "× 検索条件が入力されていません\ngrid 5, open, keys 0");
  EXPECT_EQ(Play(kAssessments, {Search("3"), Search("12", "", "平成31年5月1日"), Search("12", "", "13:05")}),
            "× アセスメント基準日の指定がおかしいです\r\n"
            "平成は平成31年4月30日で終わっています。この日付は令和元年5月1日です。\n"
            "× アセスメント基準日の指定がおかしいです\n"
            "grid 3/2003/04/01, open, keys 0");
  EXPECT_EQ(Play(Shown::kReferenceDate,
                 {DateOk(""), DateOk("平成31年5月1日"), DateOk("10:30"), DateOk("平成15年4月1日", true)}),
            "× 基準日の指定の仕方が間違っています\n"
            "× 基準日の指定の仕方が間違っています\r\n"
            "平成は平成31年4月30日で終わっています。この日付は令和元年5月1日です。\n"
            "× 基準日の指定の仕方が間違っています\n"
            "grid, closed, keys 0 2003/04/01");
}

TEST_F(SearchDialogTest, ChoosingHandsBackTheHighlightedOrDoubleClickedRow) {
  EXPECT_EQ(Play(kIntake, {Search("", "ヤマ"), Highlight(1), kChoose}), "grid 7 9, closed, keys 9");
  EXPECT_EQ(Play(kIntake, {Search("", "ヤマ"), DoubleClick(0)}), "grid 7 9, closed, keys 7");
  EXPECT_EQ(Play(kAssessments, {Search("12"), Highlight(1), kChoose}),
            "grid 12/2002/10/01 12/2003/04/01, closed, keys 12 2003/04/01");
  EXPECT_EQ(Play(kAssessments, {Search("12"), DoubleClick(0)}),
            "grid 12/2002/10/01 12/2003/04/01, closed, keys 12 2002/10/01");
  // Closing the reference date dialog hands back no date, not even a typed one.
  DialogEvent close = Key("Escape");
  close.values = {{"txtAssDate", "平成15年4月1日"}};
  EXPECT_EQ(Play(Shown::kReferenceDate, {close}), "grid, closed, keys 0");
  // An empty grid has no row to choose or delete.
  EXPECT_EQ(Play(kIntake, {kChoose, kDelete, Search("abc"), kChoose, DoubleClick(-1), kDelete}), "grid, open, keys 0");
}

// Deleting asks first, then searches again; closing hands back nothing; a
// deletion that fails is told and keeps the row.
TEST_F(SearchDialogTest, DeletionAsksThenDeletesAndSearchesAgain) {
  EXPECT_EQ(Play(kIntake, {Search("", "ヤマ"), kDelete, kDelete}, {Answer::kNo}),
            "? 整理番号[7] 対象者名[ヤマダ]のデータを\r\nすべて削除しますか？\n"
            "? 整理番号[7] 対象者名[ヤマダ]のデータを\r\nすべて削除しますか？\n"
            "grid 9, open, keys 0");
  EXPECT_EQ(Play(kAssessments, {Search("12"), kDelete}),
            "? 整理番号[12] 対象者名[タナカ] 基準日[2002/10/01]を\r\n削除しますか？\n"
            "grid 12/2003/04/01, open, keys 0");
  BlockDeletes("S");
  EXPECT_EQ(Play(kIntake, {Search("12"), kDelete}),
            "? 整理番号[12] 対象者名[タナカ]のデータを\r\nすべて削除しますか？\n"
            "× データを削除できませんでした。何も削除されていません。\r\n"
            "SQL を実行できません (DELETE FROM [S] WHERE [整理番号]=?): locked\n"
            "grid 12, open, keys 0");
}

}  // namespace
}  // namespace zelka::testing
