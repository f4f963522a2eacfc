#include "shell/entry_window.h"

#include <gtest/gtest.h>

#include "host/scripted_host.h"
#include "store/catalogue.h"
#include "support/temp_dir.h"
#include "util/fake_env.h"

namespace zelka {
namespace {

PageElement Element(const std::string& name, const std::string& type = "text",
                    const std::string& value = "") {
  PageElement e;
  e.name = name;
  e.type = type;
  e.value = value;
  return e;
}

// The entry window over a store made from the delivered catalogue, with the
// dialogs played by the test: each hands back what the test put in `chosen`.
class EntryWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Database::Create(dir.Child("ZELKA20.mdb"),
                     Catalogue::Load(testing::SourceAppDir() + "/catalogue/items.tsv"));
    db = Database::Open(dir.Child("ZELKA20.mdb"));
    ctx.app_dir = dir.path();
    ctx.db = db.get();
    env.SetNow(Date{2026, 12, 6, 10, 0, 0});

    host.DefinePage("FORM/UKETUKE1.HTM",
                    {Element("zlk_整理番号"), Element("zlk_受付日時", "text", "2026/12/06 10:00"),
                     Element("zlk_1_1"), Element("zlk_1_3_1"), Element("zlk_1_3_2")});
    host.DefinePage("FORM/UKETUKE2.HTM", {Element("zlk_2_1", "textarea")});
    host.DefinePage("FORM/AA.HTM", {Element("zlk_AA_1"), Element("zlk_AA_3_2")});
    host.DefinePage("FORM/A.HTM", {Element("zlk_A1"), Element("zlk_A2_2")});
    host.DefinePage("FORM/B.HTM", {Element("zlk_B1_A", "select-one")});

    dialogs.intake_search = [this](RecordContext& c, Host&) {
      searches.push_back("intake");
      if (chosen_number) c.record_number = *chosen_number;
    };
    dialogs.assessment_search = [this](RecordContext& c, Host&, Env&) {
      searches.push_back("assessment");
      if (chosen_number) c.record_number = *chosen_number;
      if (chosen_date) c.reference_date = *chosen_date;
    };
    dialogs.reference_date = [this](RecordContext& c, Host&, Env&) {
      searches.push_back("date");
      if (chosen_date) c.reference_date = *chosen_date;
    };
    dialogs.date_picker = [this](RecordContext& c, Host&, Env&) {
      picker_seen = c.picker;
      if (picked) {
        c.picker.picked = *picked;
        c.picker.accepted = true;
      }
    };
    window = std::make_unique<EntryWindow>(ctx, host, env, dialogs);
  }

  void AddIntake(int64_t number, const std::string& name) {
    Recordset rows = db->OpenTable(kIntakeTable);
    rows.AddNew();
    rows.Set("整理番号", number);
    rows.Set("1-1", name);
    rows.Set("1-2", int64_t{2});
    rows.Set("1-3-1", std::string("1930-04-01"));
    rows.Set("1-3-2", int64_t{73});
    rows.Set("受付日時", std::string("2003-03-20 10:00:00"));
    rows.Update();
  }
  long Rows(const std::string& table, int64_t number, std::optional<Date> date = std::nullopt) {
    return db->OpenKey(table, number, date).RecordCount();
  }
  Value Stored(const std::string& table, int64_t number, const std::string& column,
               std::optional<Date> date = std::nullopt) {
    Recordset rows = db->OpenKey(table, number, date);
    return rows.Eof() ? Value{std::string("<no row>")} : rows.Get(column);
  }
  PageElement& On(const std::string& name) {
    PageElement* e = host.Element(View::kEntry, name);
    if (!e) throw std::logic_error("no element " + name);
    return *e;
  }
  void ExpectClosed() {
    EXPECT_FALSE(window->IsOpen());
    EXPECT_TRUE(host.visible[View::kMain]);
    EXPECT_FALSE(host.visible[View::kEntry]);
    EXPECT_EQ(host.entry_menu, EntryMenu::kNone);
  }
  void ExpectOpenOn(const std::string& page, EntryMenu menu) {
    EXPECT_TRUE(window->IsOpen());
    EXPECT_FALSE(host.visible[View::kMain]);
    EXPECT_TRUE(host.visible[View::kEntry]);
    EXPECT_EQ(host.entry_menu, menu);
    EXPECT_EQ(host.CurrentPage(View::kEntry), page);
    EXPECT_FALSE(ctx.navigation_permit);
  }

  testing::TempDir dir;
  std::unique_ptr<Database> db;
  RecordContext ctx;
  ScriptedHost host;
  FaultInjectingEnv env;
  EntryDialogs dialogs;
  std::unique_ptr<EntryWindow> window;

  std::optional<int64_t> chosen_number;
  std::optional<Date> chosen_date;
  std::optional<Date> picked;
  PickerState picker_seen;
  std::vector<std::string> searches;
};

TEST_F(EntryWindowTest, NewIntakeShowsTheEmptyPageAndIsStoredOnClose) {
  window->UketukeNew();
  ExpectOpenOn("FORM/UKETUKE1.HTM", EntryMenu::kIntake);
  EXPECT_EQ(On("zlk_受付日時").value, "2026/12/06 10:00");  // the page's own default, not filled
  EXPECT_TRUE(ctx.new_intake);
  EXPECT_EQ(ctx.table_name, kIntakeTable);

  On("zlk_整理番号").value = "12";
  On("zlk_1_1").value = "山田太郎";
  window->OnStatusText("#受付|");
  EXPECT_EQ(host.status_clears[View::kEntry], 1);
  ExpectClosed();
  EXPECT_EQ(Stored(kIntakeTable, 12, "1-1"), Value{std::string("山田太郎")});
  EXPECT_EQ(Stored(kIntakeTable, 12, "受付日時"), Value{std::string("2026-12-06 10:00:00")});
}

TEST_F(EntryWindowTest, EditIntakeOpensTheChosenRowFilled) {
  AddIntake(5, "山田太郎");
  window->UketukeEdit();  // search cancelled
  EXPECT_FALSE(window->IsOpen());
  EXPECT_TRUE(host.navigations.empty());

  chosen_number = 5;
  window->UketukeEdit();
  ExpectOpenOn("FORM/UKETUKE1.HTM", EntryMenu::kIntake);
  EXPECT_EQ(On("zlk_1_1").value, "山田太郎");
  EXPECT_EQ(On("zlk_受付日時").value, "2003/03/20 10:00");
  EXPECT_EQ(ctx.current->mode(), Recordset::Mode::kEdit);
  EXPECT_FALSE(ctx.new_intake);
}

TEST_F(EntryWindowTest, MenuJumpsStoreAndMoveWithinTheRecord) {
  AddIntake(5, "山田太郎");
  chosen_number = 5;
  window->UketukeEdit();
  On("zlk_1_1").value = "山田一郎";

  window->OnMenu("IDM_6");  // Ⅵ.住居環境 has no page
  EXPECT_EQ(host.navigations.size(), 1u);
  EXPECT_TRUE(host.messages.empty());

  window->OnMenu("IDM_B");  // an assessment page while an intake record is open
  EXPECT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("山田太郎")});

  window->OnMenu("IDM_2");
  ExpectOpenOn("FORM/UKETUKE2.HTM", EntryMenu::kIntake);
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("山田一郎")});
}

TEST_F(EntryWindowTest, MenuJumpWithAFailingValueStaysOnThePage) {
  AddIntake(5, "山田太郎");
  chosen_number = 5;
  window->UketukeEdit();
  On("zlk_1_3_2").value = "七十三";
  window->OnMenu("IDM_2");
  EXPECT_EQ(host.LastMessage(), "数値を入力する項目で、数字以外の文字が入力されています。");
  ExpectOpenOn("FORM/UKETUKE1.HTM", EntryMenu::kIntake);
  EXPECT_EQ(host.focused[View::kEntry], "zlk_1_3_2");
}

TEST_F(EntryWindowTest, NewAssessmentCreatesTheClientRowAndEverySection) {
  AddIntake(5, "山田太郎");
  chosen_number = 5;
  chosen_date = Date{2003, 4, 1};
  window->AssessmentNew();
  EXPECT_EQ(searches, (std::vector<std::string>{"intake", "date"}));
  ExpectOpenOn("FORM/AA.HTM", EntryMenu::kAssessment);
  EXPECT_EQ(On("zlk_AA_1").value, "山田太郎");
  EXPECT_EQ(On("zlk_AA_3_2").value, "73");

  EXPECT_EQ(Rows("AA", 5), 1);
  for (char section = 'A'; section <= 'S'; ++section)
    EXPECT_EQ(Rows(std::string(1, section), 5, Date{2003, 4, 1}), 1) << section;
  EXPECT_EQ(Stored("AA", 5, "AA-2"), Value{int64_t{2}});
  EXPECT_EQ(Stored("AA", 5, "AA-3-1"), Value{std::string("1930-04-01")});
  EXPECT_EQ(Stored("AA", 5, "AA-4"), Value{std::string("2003-03-20 10:00:00")});
  EXPECT_EQ(Stored("A", 5, "A1", Date{2003, 4, 1}), Value{std::string("2003-04-01")});
  EXPECT_EQ(ctx.reference_date, (Date{2003, 4, 1}));
}

TEST_F(EntryWindowTest, LaterAssessmentOpensSectionAAndRefreshesTheCopiedItems) {
  AddIntake(5, "山田太郎");
  chosen_number = 5;
  chosen_date = Date{2003, 4, 1};
  window->AssessmentNew();
  ASSERT_TRUE(window->CloseIfOpen());
  {
    Recordset intake = db->OpenKey(kIntakeTable, 5);
    intake.Edit();
    intake.Set("1-1", std::string("山田太朗"));
    intake.Update();
  }

  chosen_date = Date{2003, 10, 1};
  window->AssessmentNew();
  ExpectOpenOn("FORM/A.HTM", EntryMenu::kAssessment);
  EXPECT_EQ(On("zlk_A1").value, "2003/10/01");
  EXPECT_EQ(Rows("AA", 5), 1);
  EXPECT_EQ(Rows("B", 5), 2);
  EXPECT_EQ(Stored("AA", 5, "AA-1"), Value{std::string("山田太朗")});
}

TEST_F(EntryWindowTest, SameDateAgainIsRefusedInEraFormAndCreatesNothing) {
  AddIntake(5, "山田太郎");
  chosen_number = 5;
  chosen_date = Date{2003, 4, 1};
  window->AssessmentNew();
  ASSERT_TRUE(window->CloseIfOpen());
  host.messages.clear();

  window->AssessmentNew();
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text,
            "既に、整理番号[5]、アセスメント基準日[平成15年04月01日]でデータが登録されています");
  EXPECT_EQ(host.messages[0].icon, Icon::kCritical);
  EXPECT_FALSE(window->IsOpen());
  EXPECT_EQ(Rows("A", 5), 1);
  EXPECT_EQ(Rows("S", 5), 1);
}

TEST_F(EntryWindowTest, CancelledDialogsOfNewAssessmentChangeNothing) {
  AddIntake(5, "山田太郎");
  window->AssessmentNew();  // no client chosen
  EXPECT_EQ(searches, (std::vector<std::string>{"intake"}));
  chosen_number = 5;
  window->AssessmentNew();  // no date given
  EXPECT_FALSE(window->IsOpen());
  EXPECT_EQ(Rows("AA", 5), 0);
  EXPECT_EQ(Rows("A", 5), 0);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(EntryWindowTest, FailedAssessmentCreationLeavesNoHalfMadeRows) {
  chosen_number = 99;  // a client without an intake row
  chosen_date = Date{2003, 4, 1};
  window->AssessmentNew();
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[0].text, "登録時にエラーが発生しました");
  EXPECT_EQ(host.messages[1].title, "DEBUG");
  EXPECT_FALSE(window->IsOpen());
  EXPECT_EQ(Rows("AA", 99), 0);
  for (char section = 'A'; section <= 'S'; ++section)
    EXPECT_EQ(Rows(std::string(1, section), 99), 0) << section;
}

TEST_F(EntryWindowTest, EditAssessmentOpensSectionAOfTheChosenAssessment) {
  AddIntake(5, "山田太郎");
  chosen_number = 5;
  chosen_date = Date{2003, 4, 1};
  window->AssessmentNew();
  On("zlk_AA_1").value = "山田 太郎";
  window->OnStatusText("#AA|B.HTM");
  ExpectOpenOn("FORM/B.HTM", EntryMenu::kAssessment);
  On("zlk_B1_A").value = "1";
  ASSERT_TRUE(window->CloseIfOpen());
  ExpectClosed();
  EXPECT_EQ(Stored("AA", 5, "AA-1"), Value{std::string("山田 太郎")});
  EXPECT_EQ(Stored("B", 5, "B1-A", Date{2003, 4, 1}), Value{int64_t{1}});

  window->AssessmentEdit();
  EXPECT_EQ(searches.back(), "assessment");
  ExpectOpenOn("FORM/A.HTM", EntryMenu::kAssessment);
  EXPECT_EQ(On("zlk_A1").value, "2003/04/01");
}

TEST_F(EntryWindowTest, TitleBarCloseAsksAndLeavesWithoutStoring) {
  AddIntake(5, "山田太郎");
  chosen_number = 5;
  window->UketukeEdit();
  On("zlk_1_1").value = "書きかけ";

  host.QueueAnswer(Answer::kNo);
  window->OnTitleBarClose();
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "データを保存しないで終了しますか？");
  EXPECT_EQ(host.messages[0].buttons, Buttons::kYesNo);
  EXPECT_EQ(host.messages[0].icon, Icon::kExclamation);
  ExpectOpenOn("FORM/UKETUKE1.HTM", EntryMenu::kIntake);

  host.QueueAnswer(Answer::kYes);
  window->OnTitleBarClose();
  ExpectClosed();
  EXPECT_TRUE(ctx.closing);
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("山田太郎")});
  EXPECT_TRUE(window->CloseIfOpen());  // nothing left to close
}

TEST_F(EntryWindowTest, ProgramCloseStaysOpenWhenTheSaveIsRefused) {
  AddIntake(5, "山田太郎");
  chosen_number = 5;
  window->UketukeEdit();
  On("zlk_1_3_1").value = "2003/13/01";
  EXPECT_FALSE(window->CloseIfOpen());
  EXPECT_TRUE(window->IsOpen());
  On("zlk_1_3_1").value = "２００３．４．１";
  EXPECT_TRUE(window->CloseIfOpen());
  ExpectClosed();
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-3-1"), Value{std::string("2003-04-01")});
}

TEST_F(EntryWindowTest, OpeningAnotherRecordStoresTheOneOpen) {
  AddIntake(5, "山田太郎");
  AddIntake(6, "鈴木花子");
  chosen_number = 5;
  window->UketukeEdit();
  On("zlk_1_1").value = "山田一郎";
  chosen_number = 6;
  window->UketukeEdit();
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("山田一郎")});
  EXPECT_EQ(On("zlk_1_1").value, "鈴木花子");
}

TEST_F(EntryWindowTest, MoveRequestToAnUnknownPageIsRefused) {
  AddIntake(5, "山田太郎");
  chosen_number = 5;
  window->UketukeEdit();
  On("zlk_1_1").value = "山田一郎";
  window->OnStatusText("#受付|../../ZELKA20.mdb");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].icon, Icon::kCritical);
  ExpectOpenOn("FORM/UKETUKE1.HTM", EntryMenu::kIntake);
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("山田太郎")});
}

TEST_F(EntryWindowTest, OtherStatusTextsAreIgnored) {
  AddIntake(5, "山田太郎");
  chosen_number = 5;
  window->UketukeEdit();
  window->OnStatusText("http://127.0.0.1/FORM/UKETUKE2.HTM");
  window->OnStatusText("");
  window->OnStatusText("?QUIT");
  EXPECT_EQ(host.status_clears[View::kEntry], 0);
  EXPECT_EQ(host.navigations.size(), 1u);
}

class DatePickerTest : public EntryWindowTest {
 protected:
  void SetUp() override {
    EntryWindowTest::SetUp();
    AddIntake(5, "山田太郎");
    chosen_number = 5;
    window->UketukeEdit();
  }
};

TEST_F(DatePickerTest, FillsTheDateInThePageFormatAndTheAgeInCompletedYears) {
  picked = Date{1930, 12, 7};  // the birthday is tomorrow (today is 2026-12-06)
  window->OnStatusText("!zlk_1_3_1|ggge年mm月dd日|DATE|zlk_1_3_2");
  EXPECT_EQ(host.status_clears[View::kEntry], 1);
  EXPECT_EQ(picker_seen.target_element, "zlk_1_3_1");
  EXPECT_FALSE(picker_seen.time_mode);
  EXPECT_FALSE(picker_seen.accepted);
  EXPECT_EQ(On("zlk_1_3_1").value, "昭和5年12月07日");
  EXPECT_EQ(On("zlk_1_3_2").value, "95");

  picked = Date{1930, 12, 6};  // the birthday is today
  window->OnStatusText("!zlk_1_3_1|yyyy/mm/dd|DATE|zlk_1_3_2");
  EXPECT_EQ(On("zlk_1_3_1").value, "1930/12/06");
  EXPECT_EQ(On("zlk_1_3_2").value, "96");
}

TEST_F(DatePickerTest, WithoutAgeElementOnlyTheTargetChanges) {
  picked = Date{2003, 3, 20, 14, 30};
  window->OnStatusText("!zlk_受付日時|yyyy/mm/dd hh:nn|time|");
  EXPECT_TRUE(picker_seen.time_mode);
  EXPECT_EQ(On("zlk_受付日時").value, "2003/03/20 14:30");
  EXPECT_EQ(On("zlk_1_3_2").value, "73");
}

TEST_F(DatePickerTest, BirthDateAfterTodayGivesNoAge) {
  picked = Date{2027, 1, 5};
  window->OnStatusText("!zlk_1_3_1|yyyy/mm/dd|DATE|zlk_1_3_2");
  EXPECT_EQ(On("zlk_1_3_1").value, "2027/01/05");
  EXPECT_EQ(On("zlk_1_3_2").value, "73");
}

TEST_F(DatePickerTest, CancelledPickerLeavesBothElements) {
  window->OnStatusText("!zlk_1_3_1|yyyy/mm/dd|DATE|zlk_1_3_2");
  EXPECT_EQ(On("zlk_1_3_1").value, "1930/04/01");
  EXPECT_EQ(On("zlk_1_3_2").value, "73");
}

}  // namespace
}  // namespace zelka
