#include "store/binding.h"

#include <gtest/gtest.h>

#include "host/scripted_host.h"
#include "store/catalogue.h"
#include "support/temp_dir.h"

namespace zelka {
namespace {

// A small store: the intake table with one column of each kind the pages
// bind, the client table and three section tables.
constexpr const char kCatalogue[] =
    "table\tcode\ttype\tsize\tformat\tkind\tcheck\tpage\tgroup\tlabel\tchoices\n"
    "相談受付表\t整理番号\t4\t0\t\tkey\t0\tUKETUKE1\t\t整理番号\t\n"
    "相談受付表\t受付日時\t8\t0\tyyyy/mm/dd hh:nn\tdatetime\t0\tUKETUKE1\t\t受付日時\t\n"
    "相談受付表\t1-1\t10\t32\t\ttext\t0\tUKETUKE1\t\t氏名\t\n"
    "相談受付表\t1-3-1\t8\t0\tyyyy/mm/dd\tdate\t0\tUKETUKE1\t\t生年月日\t\n"
    "相談受付表\t1-3-2\t3\t0\t\tnumber\t0\tUKETUKE1\t\t年齢\t\n"
    "相談受付表\t2-1\t12\t0\t\tmemo\t0\tUKETUKE2\t\t相談内容\t\n"
    "相談受付表\t2-3-1\t2\t0\t\tcheck\t1\tUKETUKE2\t\t訪問\t\n"
    "相談受付表\t5-8\t6\t0\t\tnumber\t0\tUKETUKE5\t\t体重\t\n"
    "相談受付表\t5-9\t8\t0\t\tdate\t0\tUKETUKE5\t\t記入日\t\n"
    "AA\t整理番号\t4\t0\t\tkey\t0\t\t\t整理番号\t\n"
    "AA\tAA-1\t10\t40\t\ttext\t0\tAA\t\t氏名\t\n"
    "A\t整理番号\t4\t0\t\tkey\t0\t\t\t整理番号\t\n"
    "A\t基準日\t8\t0\tyyyy/mm/dd\tkey\t0\t\t\t基準日\t\n"
    "A\tA1\t8\t0\tyyyy/mm/dd\tdate\t0\tA\t\t基準日\t\n"
    "B\t整理番号\t4\t0\t\tkey\t0\t\t\t整理番号\t\n"
    "B\t基準日\t8\t0\tyyyy/mm/dd\tkey\t0\t\t\t基準日\t\n"
    "B\tB1-A\t2\t0\t\tnumber\t0\tB\t\t短期記憶\t\n"
    "C\t整理番号\t4\t0\t\tkey\t0\t\t\t整理番号\t\n"
    "C\t基準日\t8\t0\tyyyy/mm/dd\tkey\t0\t\t\t基準日\t\n"
    "C\tC1\t2\t0\t\tnumber\t0\tC\t\t聴覚\t\n";

PageElement Element(const std::string& name, const std::string& type, const std::string& value = "") {
  PageElement e;
  e.name = name;
  e.type = type;
  e.value = value;
  return e;
}
PageElement Text(const std::string& name) { return Element(name, "text"); }

class BindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Database::Create(dir.Child("ZELKA20.mdb"), Catalogue::Parse(kCatalogue));
    db = Database::Open(dir.Child("ZELKA20.mdb"));
    ctx.app_dir = dir.path();
    ctx.db = db.get();
    host.DefinePage("FORM/UKETUKE1.HTM", {Text("zlk_整理番号"), Text("zlk_受付日時"), Text("zlk_1_1"),
                                          Text("zlk_1_3_1"), Text("zlk_1_3_2"),
                                          Element("cmdNext", "button", "次へ")});
    host.DefinePage("FORM/UKETUKE2.HTM",
                    {Element("zlk_2_1", "textarea"), Element("zlk_2_3_1", "checkbox")});
    host.DefinePage("FORM/UKETUKE5.HTM", {Text("zlk_5_8"), Text("zlk_5_9")});
    host.DefinePage("FORM/AA.HTM", {Text("zlk_AA_1")});
    host.DefinePage("FORM/B.HTM", {Element("zlk_B1_A", "select-one")});
    host.DefinePage("FORM/C.HTM", {Element("zlk_C1", "select-one")});
  }

  // The entry window as the opening commands leave it.
  void StartNewIntake() {
    ctx.new_intake = true;
    ctx.ClearKeys();
    ctx.current = db->OpenTable(kIntakeTable);
    ctx.current->AddNew();
    host.Navigate(View::kEntry, "FORM/UKETUKE1.HTM");
  }
  void OpenRow(Recordset rows, const std::string& page) {
    ctx.current = std::move(rows);
    host.Navigate(View::kEntry, "FORM/" + page);
    LoadPage(ctx, host);
    ctx.current->Edit();
  }
  void AddIntake(int64_t number, const std::string& name) {
    Recordset rows = db->OpenTable(kIntakeTable);
    rows.AddNew();
    rows.Set("整理番号", number);
    rows.Set("1-1", name);
    rows.Update();
  }
  void AddSectionRows(int64_t number, const Date& date) {
    for (const char* table : {"A", "B", "C"}) {
      Recordset rows = db->OpenTable(table);
      rows.AddNew();
      rows.Set("整理番号", number);
      rows.Set("基準日", date.IsoDate());
      rows.Update();
    }
    Recordset aa = db->OpenTable("AA");
    aa.AddNew();
    aa.Set("整理番号", number);
    aa.Set("AA-1", "佐藤花子");
    aa.Update();
  }
  Value Stored(const std::string& table, int64_t number, const std::string& column,
               std::optional<Date> date = std::nullopt) {
    Recordset rows = db->OpenKey(table, number, date);
    if (rows.Eof()) return Value{std::string("<no row>")};
    return rows.Get(column);
  }

  void Type(const std::string& element, const std::string& value) {
    PageElement* e = host.Element(View::kEntry, element);
    ASSERT_NE(e, nullptr) << element;
    e->value = value;
  }
  std::string Shown(const std::string& element) {
    PageElement* e = host.Element(View::kEntry, element);
    return e ? e->value : "<missing " + element + ">";
  }
  bool Save(const std::string& next_page) {
    ctx.next_page = next_page;
    return SaveAndMove(ctx, host, [this] { ++closes; });
  }

  testing::TempDir dir;
  std::unique_ptr<Database> db;
  RecordContext ctx;
  ScriptedHost host;
  int closes = 0;
};

TEST_F(BindingTest, NewIntakeIsStoredConvertedAndShownAgain) {
  StartNewIntake();
  Type("zlk_整理番号", "１２３");
  Type("zlk_受付日時", "2003/04/01 13:05");
  Type("zlk_1_1", "山田太郎");
  Type("zlk_1_3_1", "1930.04.01");
  Type("zlk_1_3_2", "");
  ASSERT_TRUE(Save("UKETUKE2.HTM"));

  EXPECT_EQ(ctx.record_number, 123);
  EXPECT_EQ(Stored(kIntakeTable, 123, "受付日時"), Value{std::string("2003-04-01 13:05:00")});
  EXPECT_EQ(Stored(kIntakeTable, 123, "1-3-1"), Value{std::string("1930-04-01")});
  EXPECT_EQ(Stored(kIntakeTable, 123, "1-3-2"), Value{});
  EXPECT_EQ(host.navigations.back(), "entry:FORM/UKETUKE2.HTM");
  EXPECT_FALSE(ctx.navigation_permit);
  EXPECT_EQ(ctx.next_page, "");
  EXPECT_EQ(ctx.current->mode(), Recordset::Mode::kEdit);

  // Back on the first page: the same row, shown in the columns' formats.
  ASSERT_TRUE(Save("UKETUKE1.HTM"));
  EXPECT_EQ(Shown("zlk_整理番号"), "123");
  EXPECT_EQ(Shown("zlk_受付日時"), "2003/04/01 13:05");
  EXPECT_EQ(Shown("zlk_1_3_1"), "1930/04/01");
  EXPECT_EQ(Shown("zlk_1_3_2"), "");
  EXPECT_EQ(db->OpenTable(kIntakeTable).RecordCount(), 1);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(BindingTest, CheckboxStoresOneOrZeroAndTicksOnlyForOne) {
  AddIntake(5, "山田");
  OpenRow(db->OpenKey(kIntakeTable, 5), "UKETUKE2.HTM");
  ctx.record_number = 5;
  EXPECT_FALSE(host.Element(View::kEntry, "zlk_2_3_1")->checked);  // Null
  host.Element(View::kEntry, "zlk_2_3_1")->checked = true;
  Type("zlk_2_1", "毎日の買い物が難しい");
  ASSERT_TRUE(Save("UKETUKE2.HTM"));
  EXPECT_EQ(Stored(kIntakeTable, 5, "2-3-1"), Value{int64_t{1}});
  EXPECT_TRUE(host.Element(View::kEntry, "zlk_2_3_1")->checked);
  EXPECT_EQ(Shown("zlk_2_1"), "毎日の買い物が難しい");

  host.Element(View::kEntry, "zlk_2_3_1")->checked = false;
  ASSERT_TRUE(Save("UKETUKE2.HTM"));
  EXPECT_EQ(Stored(kIntakeTable, 5, "2-3-1"), Value{int64_t{0}});
  EXPECT_FALSE(host.Element(View::kEntry, "zlk_2_3_1")->checked);
}

TEST_F(BindingTest, EmptyNumberAndDateStoreNullAndReloadEmpty) {
  AddIntake(5, "山田");
  OpenRow(db->OpenKey(kIntakeTable, 5), "UKETUKE5.HTM");
  ctx.record_number = 5;
  Type("zlk_5_8", "６２．５");
  Type("zlk_5_9", "2003.04.01");
  ASSERT_TRUE(Save("UKETUKE5.HTM"));
  EXPECT_EQ(Stored(kIntakeTable, 5, "5-8"), Value{62.5});
  EXPECT_EQ(Stored(kIntakeTable, 5, "5-9"), Value{std::string("2003-04-01")});
  EXPECT_EQ(Shown("zlk_5_8"), "62.5");
  EXPECT_EQ(Shown("zlk_5_9"), "2003/04/01");  // no format: the plain date text

  Type("zlk_5_8", "");
  Type("zlk_5_9", "");
  ASSERT_TRUE(Save("UKETUKE5.HTM"));
  EXPECT_EQ(Stored(kIntakeTable, 5, "5-8"), Value{});
  EXPECT_EQ(Stored(kIntakeTable, 5, "5-9"), Value{});
  EXPECT_EQ(Shown("zlk_5_8"), "");
  EXPECT_EQ(Shown("zlk_5_9"), "");
}

TEST_F(BindingTest, DuplicateNumberOfNewIntakeKeepsThePageAndCanBeCorrected) {
  AddIntake(5, "先客");
  StartNewIntake();
  Type("zlk_整理番号", "5");
  Type("zlk_1_1", "山田太郎");
  EXPECT_FALSE(Save("UKETUKE2.HTM"));

  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[0].text, "登録時にエラーが発生しました");
  EXPECT_EQ(host.messages[0].icon, Icon::kCritical);
  EXPECT_EQ(host.messages[0].title, "整理番号が重複しています");
  EXPECT_EQ(host.messages[1].title, "DEBUG");
  EXPECT_EQ(host.messages[1].icon, Icon::kExclamation);
  EXPECT_FALSE(host.messages[1].text.empty());
  EXPECT_EQ(host.CurrentPage(View::kEntry), "FORM/UKETUKE1.HTM");
  EXPECT_EQ(Shown("zlk_1_1"), "山田太郎");
  EXPECT_EQ(ctx.next_page, "UKETUKE2.HTM");
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("先客")});

  // The user picks a free number: that number is the record's from now on.
  Type("zlk_整理番号", "6");
  ASSERT_TRUE(Save("UKETUKE2.HTM"));
  EXPECT_EQ(ctx.record_number, 6);
  EXPECT_EQ(Stored(kIntakeTable, 6, "1-1"), Value{std::string("山田太郎")});
  EXPECT_EQ(host.CurrentPage(View::kEntry), "FORM/UKETUKE2.HTM");
}

TEST_F(BindingTest, StoredRecordNumberCanNeitherChangeNorBeEmptied) {
  AddIntake(5, "山田");
  OpenRow(db->OpenKey(kIntakeTable, 5), "UKETUKE1.HTM");
  ctx.record_number = 5;
  for (const char* typed : {"6", ""}) {
    host.messages.clear();
    Type("zlk_整理番号", typed);
    Type("zlk_1_1", "書き換え");
    EXPECT_FALSE(Save("UKETUKE2.HTM")) << typed;
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "整理番号は変更できません");
    EXPECT_EQ(host.messages[0].icon, Icon::kCritical);
    EXPECT_EQ(host.CurrentPage(View::kEntry), "FORM/UKETUKE1.HTM");
  }
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("山田")});
  EXPECT_EQ(db->OpenTable(kIntakeTable).RecordCount(), 1);
}

TEST_F(BindingTest, NewIntakeNumberIsFixedOnceStored) {
  StartNewIntake();
  Type("zlk_整理番号", "7");
  ASSERT_TRUE(Save("UKETUKE1.HTM"));
  Type("zlk_整理番号", "8");
  EXPECT_FALSE(Save("UKETUKE2.HTM"));
  EXPECT_EQ(host.LastMessage(), "整理番号は変更できません");
  EXPECT_EQ(ctx.record_number, 7);
  EXPECT_EQ(Stored(kIntakeTable, 8, "整理番号"), Value{std::string("<no row>")});
}

TEST_F(BindingTest, IntakeWithoutNumberIsNeitherMovedNorStored) {
  StartNewIntake();
  Type("zlk_1_1", "山田太郎");
  EXPECT_FALSE(Save("UKETUKE2.HTM"));
  EXPECT_EQ(host.LastMessage(), "整理番号が入力されていません。");
  EXPECT_EQ(host.messages.back().icon, Icon::kCritical);

  // Closing asks; No keeps the window and its values.
  host.QueueAnswer(Answer::kNo);
  EXPECT_FALSE(Save(""));
  EXPECT_EQ(host.LastMessage(),
            "整理番号が入力されていません。\r\nデータを登録しないでウインドウを閉じます。\r\n"
            "よろしいですか？");
  EXPECT_EQ(host.messages.back().buttons, Buttons::kYesNo);
  EXPECT_EQ(host.messages.back().icon, Icon::kExclamation);
  EXPECT_EQ(closes, 0);
  EXPECT_FALSE(ctx.closing);

  host.QueueAnswer(Answer::kYes);
  EXPECT_TRUE(Save(""));
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(ctx.closing);
  EXPECT_FALSE(ctx.current.has_value());
  EXPECT_EQ(db->OpenTable(kIntakeTable).RecordCount(), 0);
}

TEST_F(BindingTest, FailedCheckStopsTheSaveWithNothingCommitted) {
  AddIntake(5, "山田");
  OpenRow(db->OpenKey(kIntakeTable, 5), "UKETUKE1.HTM");
  ctx.record_number = 5;
  Type("zlk_1_1", std::string(33, 'a'));
  Type("zlk_1_3_2", "1.5");  // never reached: the save stops at the first refusal
  EXPECT_FALSE(Save("UKETUKE2.HTM"));
  EXPECT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.LastMessage(), "文字数が多すぎます。32文字以内で入力してください。");
  EXPECT_EQ(host.Background(View::kEntry, "zlk_1_1"), "#ff0000");
  EXPECT_EQ(host.CurrentPage(View::kEntry), "FORM/UKETUKE1.HTM");

  Type("zlk_1_1", "山田一郎");
  EXPECT_FALSE(Save("UKETUKE2.HTM"));
  EXPECT_EQ(host.LastMessage(), "数値を入力する項目で、数字以外の文字が入力されています。");
  EXPECT_EQ(host.Background(View::kEntry, "zlk_1_1"), "#ffffff");
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("山田")});

  Type("zlk_1_3_2", "1.0");
  EXPECT_TRUE(Save("UKETUKE2.HTM"));
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("山田一郎")});
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-3-2"), Value{int64_t{1}});
}

TEST_F(BindingTest, SectionMovesOpenTheNextTableOnTheSameKeys) {
  const Date date{2003, 4, 1}, other{2004, 4, 1};
  AddSectionRows(7, date);
  AddSectionRows(8, other);
  ctx.record_number = 7;
  ctx.reference_date = date;
  OpenRow(db->OpenKey("B", 7, date), "B.HTM");
  Type("zlk_B1_A", "2");
  ASSERT_TRUE(Save("C.HTM"));
  EXPECT_EQ(Stored("B", 7, "B1-A", date), Value{int64_t{2}});
  EXPECT_EQ(ctx.current->table(), "C");
  EXPECT_EQ(host.navigations.back(), "entry:FORM/C.HTM");

  Type("zlk_C1", "1");
  ASSERT_TRUE(Save("AA.HTM"));  // the client row, by number alone
  EXPECT_EQ(Stored("C", 7, "C1", date), Value{int64_t{1}});
  EXPECT_EQ(ctx.current->table(), "AA");
  EXPECT_EQ(Shown("zlk_AA_1"), "佐藤花子");
  EXPECT_EQ(Stored("C", 8, "C1", other), Value{});
}

TEST_F(BindingTest, PagesOutsideTheRecordAreRefusedAndNothingIsStored) {
  const Date date{2003, 4, 1};
  AddSectionRows(7, date);
  ctx.record_number = 7;
  ctx.reference_date = date;
  OpenRow(db->OpenKey("B", 7, date), "B.HTM");
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
  // Page names are matched without regard to case.
  EXPECT_TRUE(Save("c.htm"));
  EXPECT_EQ(host.navigations.back(), "entry:FORM/C.HTM");
}

TEST_F(BindingTest, UnknownElementTypesAreReportedAndLeaveTheirColumn) {
  AddIntake(5, "山田");
  host.DefinePage("FORM/UKETUKE1.HTM", {Text("zlk_整理番号"), Element("zlk_1_1", "radio", "x")});
  OpenRow(db->OpenKey(kIntakeTable, 5), "UKETUKE1.HTM");
  ctx.record_number = 5;
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "知らないType:radio");
  EXPECT_EQ(host.messages[0].icon, Icon::kNone);
  EXPECT_TRUE(Save("UKETUKE2.HTM"));
  EXPECT_EQ(host.LastMessage(), "知らないType:radio");
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("山田")});
}

TEST_F(BindingTest, ItemTextFollowsTheColumnFormat) {
  AddIntake(5, "山田");
  {
    Recordset rows = db->OpenKey(kIntakeTable, 5);
    rows.Edit();
    rows.Set("受付日時", std::string("2019-05-01 09:30:00"));
    rows.Set("1-3-1", std::string("1930-04-01"));
    rows.Set("5-9", std::string("2003-04-01 13:05:00"));
    rows.Update();
  }
  ctx.current = db->OpenKey(kIntakeTable, 5);
  EXPECT_EQ(GetItemText(ctx, "受付日時"), "2019/05/01 09:30");
  EXPECT_EQ(GetItemText(ctx, "1-3-1"), "1930/04/01");
  EXPECT_EQ(GetItemText(ctx, "5-9"), "2003/04/01 13:05:00");
  EXPECT_EQ(GetItemText(ctx, "1-3-2"), "");
  EXPECT_EQ(GetItemText(ctx, "整理番号"), "5");
  EXPECT_EQ(GetFormatProperty(*ctx.current->Field("1-3-1")), "yyyy/mm/dd");
}

}  // namespace
}  // namespace zelka
