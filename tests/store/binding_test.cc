#include "store/binding.h"

#include <gtest/gtest.h>

#include "support/store.h"

namespace zelka {
namespace {

PageElement Element(const std::string& name, const std::string& type = "text") {
  return PageElement{name, type, ""};
}

// The binding over the small store, the pages played by the scripted host.
class BindingTest : public testing::SmallStoreTest {
 protected:
  BindingTest() {
    host.DefinePage("FORM/UKETUKE1.HTM", {Element("zlk_整理番号"), Element("zlk_受付日時"), Element("zlk_1_1"),
                                          Element("zlk_1_3_1"), Element("zlk_1_3_2"), Element("cmdNext", "button")});
    host.DefinePage("FORM/UKETUKE2.HTM", {Element("zlk_2_3_1", "checkbox")});
    host.DefinePage("FORM/UKETUKE5.HTM", {Element("zlk_5_8"), Element("zlk_5_9", "textarea")});
    host.DefinePage("FORM/AA.HTM", {Element("zlk_AA_1")});
    host.DefinePage("FORM/B.HTM", {Element("zlk_B1_A", "select-one")});
    host.DefinePage("FORM/C.HTM", {Element("zlk_C3", "select-one")});
  }

  // The entry window as the opening commands leave it.
  void StartNewIntake() {
    ctx.new_intake = true;
    ctx.ClearKeys();
    ctx.current = db->OpenTable(kIntakeTable);
    ctx.current->AddNew();
    host.Navigate(View::kEntry, "FORM/UKETUKE1.HTM");
  }
  // Intake 5 (or the section row of 7 on 2003-04-01) shown on `page`.
  void Open(const std::string& page, std::optional<Date> date = std::nullopt) {
    ctx.record_number = date ? 7 : 5;
    ctx.reference_date = date.value_or(Date{});
    ctx.current = db->OpenKey(date ? page.substr(0, 1) : kIntakeTable, ctx.record_number, date);
    host.Navigate(View::kEntry, "FORM/" + page);
    LoadPage(ctx, host);
    ctx.current->Edit();
  }
  // Types into an element; a tick box is ticked by any text.
  void Type(const std::string& element, const std::string& text) {
    PageElement* e = host.Element(View::kEntry, element);
    ASSERT_NE(e, nullptr) << element;
    if (e->type == "checkbox")
      e->checked = !text.empty();
    else
      e->value = text;
  }
  std::string Shown(const std::string& element) {
    PageElement* e = host.Element(View::kEntry, element);
    if (!e) return "<missing " + element + ">";
    return e->type == "checkbox" ? (e->checked ? "ﾚ" : "") : e->value;
  }
  bool Save(const std::string& next_page) {
    ctx.next_page = next_page;
    return SaveAndMove(ctx, host, [this] { ++closes; });
  }

  int closes = 0;
};

TEST_F(BindingTest, ValuesAreStoredConvertedAndShownAgain) {
  AddRow(kIntakeTable, {{"整理番号", int64_t{5}}, {"1-1", std::string("山田")}});
  struct Case {
    const char* page;
    const char* column;
    std::string typed;
    Value stored;
    std::string shown;
  } cases[] = {
      {"UKETUKE1.HTM", "受付日時", "2003/04/01 13:05", std::string("2003-04-01 13:05:00"), "2003/04/01 13:05"},
      {"UKETUKE1.HTM", "1-3-1", "1930.04.01", std::string("1930-04-01"), "1930/04/01"},  // no format
      {"UKETUKE1.HTM", "1-3-1", "2003/04/01 13:05:09", std::string("2003-04-01 13:05:09"), "2003/04/01 13:05:09"},
      {"UKETUKE1.HTM", "1-3-1", "", Value{}, ""},
      {"UKETUKE1.HTM", "1-3-2", "", Value{}, ""},
      {"UKETUKE1.HTM", "1-3-2", "1.0", int64_t{1}, "1"},
      {"UKETUKE5.HTM", "5-8", "６２．５", 62.5, "62.5"},
      {"UKETUKE5.HTM", "5-8", "", Value{}, ""},
      {"UKETUKE5.HTM", "5-9", "毎日の買い物が\r\n難しい", std::string("毎日の買い物が\r\n難しい"), "毎日の買い物が\r\n難しい"},
      {"UKETUKE2.HTM", "2-3-1", "ﾚ", int64_t{1}, "ﾚ"},
      {"UKETUKE2.HTM", "2-3-1", "", int64_t{0}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.column) + " \"" + c.typed + "\"");
    Open(c.page);
    const std::string element = ElementName(c.column);
    Type(element, c.typed);
    ASSERT_TRUE(Save(c.page)) << host.LastMessage();
    EXPECT_EQ(Stored(kIntakeTable, 5, c.column), c.stored);
    EXPECT_EQ(Shown(element), c.shown);
  }
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("山田")});
}

// A new intake takes its number from the page: without one it is neither
// moved nor stored, a used one keeps the page for correcting, a free one
// (full-width digits too) is the record's from then on and can neither change
// nor be emptied.
TEST_F(BindingTest, ANewIntakeIsStoredOnlyUnderAFreeNumberWhichThenStays) {
  AddRow(kIntakeTable, {{"整理番号", int64_t{5}}, {"1-1", std::string("先客")}});
  StartNewIntake();
  Type("zlk_1_1", "山田太郎");
  EXPECT_FALSE(Save("UKETUKE2.HTM"));
  EXPECT_EQ(host.LastMessage(), "整理番号が入力されていません。");
  // Closing asks; No keeps the window and its values.
  host.QueueAnswer(Answer::kNo);
  EXPECT_FALSE(Save(""));
  EXPECT_EQ(host.LastMessage(),
            "整理番号が入力されていません。\r\nデータを登録しないでウインドウを閉じます。\r\nよろしいですか？");
  EXPECT_EQ(host.messages.back().buttons, Buttons::kYesNo);
  EXPECT_EQ(closes, 0);

  host.messages.clear();
  Type("zlk_整理番号", "5");
  EXPECT_FALSE(Save("UKETUKE2.HTM"));
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[0].text, "登録時にエラーが発生しました");
  EXPECT_EQ(host.messages[0].title, "整理番号が重複しています");
  EXPECT_EQ(host.messages[1].title, "DEBUG");
  // Plain words first, the store's own text after them.
  EXPECT_TRUE(host.messages[1].text.starts_with("この整理番号のデータは既に登録されています。"));
  EXPECT_NE(host.messages[1].text.find("\r\n\r\n技術情報: テーブル 相談受付表 には同じキーの行が既にあります"),
            std::string::npos);
  EXPECT_EQ(host.CurrentPage(View::kEntry), "FORM/UKETUKE1.HTM");
  EXPECT_EQ(Shown("zlk_1_1"), "山田太郎");
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("先客")});

  Type("zlk_整理番号", "７");
  ASSERT_TRUE(Save("UKETUKE1.HTM"));
  EXPECT_EQ(ctx.record_number, 7);
  EXPECT_EQ(Shown("zlk_整理番号"), "7");
  for (const char* typed : {"8", ""}) {
    host.messages.clear();
    Type("zlk_整理番号", typed);
    Type("zlk_1_1", "書き換え");
    EXPECT_FALSE(Save("UKETUKE2.HTM")) << typed;
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "整理番号は変更できません");
    EXPECT_EQ(host.messages[0].icon, Icon::kCritical);
    EXPECT_EQ(host.CurrentPage(View::kEntry), "FORM/UKETUKE1.HTM");
  }
  EXPECT_EQ(ctx.record_number, 7);
  EXPECT_EQ(Stored(kIntakeTable, 7, "1-1"), Value{std::string("山田太郎")});
  EXPECT_EQ(db->OpenTable(kIntakeTable).RecordCount(), 2);

  // Closing a new intake without a number, answered Yes, stores nothing.
  StartNewIntake();
  host.QueueAnswer(Answer::kYes);
  EXPECT_TRUE(Save(""));
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(ctx.closing);
  EXPECT_FALSE(ctx.current.has_value());
  EXPECT_EQ(db->OpenTable(kIntakeTable).RecordCount(), 2);
}

TEST_F(BindingTest, FailedCheckStopsTheSaveWithNothingCommitted) {
  ctx.catalogue = std::make_shared<const Catalogue>(testing::SmallCatalogue());  // messages name their item
  AddRow(kIntakeTable, {{"整理番号", int64_t{5}}, {"1-1", std::string("山田")}});
  Open("UKETUKE1.HTM");
  Type("zlk_1_1", std::string(11, 'a'));
  Type("zlk_1_3_2", "1.5");  // never reached: the save stops at the first refusal
  EXPECT_FALSE(Save("UKETUKE2.HTM"));
  EXPECT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.LastMessage(), "1-1 氏名: 文字数が多すぎます。10文字以内で入力してください。");
  EXPECT_EQ(host.Background(View::kEntry, "zlk_1_1"), "#ff0000");
  EXPECT_EQ(host.focused[View::kEntry], "zlk_1_1");
  EXPECT_EQ(host.CurrentPage(View::kEntry), "FORM/UKETUKE1.HTM");

  Type("zlk_1_1", "山田一郎");
  EXPECT_FALSE(Save("UKETUKE2.HTM"));
  EXPECT_EQ(host.LastMessage(), "1-3-2 年齢: 数値を入力する項目で、数字以外の文字が入力されています。");
  EXPECT_EQ(host.Background(View::kEntry, "zlk_1_1"), "#ffffff");
  EXPECT_EQ(ItemCaption(ctx, "整理番号"), "整理番号");  // named, not numbered
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("山田")});
}

TEST_F(BindingTest, SectionMovesOpenTheNextTableOnTheSameKeys) {
  const Date date{2019, 5, 1};
  AddAssessment(7, date.IsoDate(), "佐藤花子");
  AddAssessment(8, "2004-04-01");
  Open("B.HTM", date);
  Type("zlk_B1_A", "2");
  ASSERT_TRUE(Save("C.HTM"));
  EXPECT_EQ(Stored("B", 7, "B1-A", date), Value{int64_t{2}});
  EXPECT_EQ(ctx.current->table(), "C");
  EXPECT_EQ(host.navigations.back(), "entry:FORM/C.HTM");

  Type("zlk_C3", "1");
  ASSERT_TRUE(Save("AA.HTM"));  // the client row, by number alone
  EXPECT_EQ(Stored("C", 7, "C3", date), Value{int64_t{1}});
  EXPECT_EQ(Shown("zlk_AA_1"), "佐藤花子");
  EXPECT_EQ(Stored("C", 8, "C3"), Value{});
}

TEST_F(BindingTest, PagesOutsideTheRecordAreRefusedAndNothingIsStored) {
  const Date date{2003, 4, 1};
  AddAssessment(7, date.IsoDate());
  Open("B.HTM", date);
  for (const char* page : {"../ZELKA20.mdb", "X.HTM", "UKETUKE1.HTM", "CAP選定.HTM", "B"}) {
    host.messages.clear();
    Type("zlk_B1_A", "3");
    EXPECT_FALSE(Save(page)) << page;
    ASSERT_EQ(host.messages.size(), 1u) << page;
    EXPECT_EQ(host.messages[0].icon, Icon::kCritical);
    EXPECT_NE(host.messages[0].text.find(page), std::string::npos);
    EXPECT_EQ(Stored("B", 7, "B1-A", date), Value{}) << page;
  }
  EXPECT_EQ(host.navigations.size(), 1u);
  EXPECT_TRUE(Save("c.htm"));  // page names are matched without regard to case
  EXPECT_EQ(host.navigations.back(), "entry:FORM/C.HTM");
}

TEST_F(BindingTest, UnknownElementTypesAreReportedAndLeaveTheirColumn) {
  AddRow(kIntakeTable, {{"整理番号", int64_t{5}}, {"1-1", std::string("山田")}});
  host.DefinePage("FORM/UKETUKE1.HTM", {Element("zlk_整理番号"), PageElement{"zlk_1_1", "radio", "x"}});
  Open("UKETUKE1.HTM");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "知らないType:radio");
  EXPECT_TRUE(Save("UKETUKE2.HTM"));
  EXPECT_EQ(host.LastMessage(), "知らないType:radio");
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("山田")});
}

}  // namespace
}  // namespace zelka
