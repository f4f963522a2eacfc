#include "shell/entry_window.h"

#include <gtest/gtest.h>

#include "support/store.h"

namespace zelka {
namespace {

// The entry window over a store made from the delivered catalogue, with the
// dialogs played by the test: each hands back what the test put in `chosen_…`.
class EntryWindowTest : public testing::StoreTest {
 protected:
  EntryWindowTest() {
    auto text = [](const std::string& name, const std::string& value = "") {
      return PageElement{name, "text", value};
    };
    host.DefinePage("FORM/UKETUKE1.HTM", {text("zlk_整理番号"), text("zlk_受付日時", "2026/12/06 10:00"),
                                          text("zlk_1_1"), text("zlk_1_3_1"), text("zlk_1_3_2")});
    host.DefinePage("FORM/UKETUKE2.HTM", {PageElement{"zlk_2_1", "textarea", ""}});
    host.DefinePage("FORM/AA.HTM", {text("zlk_AA_1"), text("zlk_AA_3_2")});
    host.DefinePage("FORM/A.HTM", {text("zlk_A1"), text("zlk_A2_2")});
    host.DefinePage("FORM/B.HTM", {PageElement{"zlk_B1_A", "select-one", ""}});
    dialogs.intake_search = [this](RecordContext& c, Host&) {
      searches.push_back("intake");
      if (chosen_number) c.record_number = *chosen_number;
    };
    dialogs.reference_date = [this](RecordContext& c, Host&, Env&) {
      searches.push_back("date");
      if (chosen_date) c.reference_date = *chosen_date;
    };
    dialogs.date_picker = [this](RecordContext& c, Host&, Env&) {
      picker_seen = c.picker;
      // The page's field after the target, as the picker finds it.
      if (picked) c.picker = {true, c.picker.time_mode, c.picker.target_element, "zlk_next", *picked};
    };
    window = std::make_unique<EntryWindow>(ctx, host, env, dialogs);
  }

  void AddIntake(int64_t number, const std::string& name) {
    AddRow(kIntakeTable, {{"整理番号", number}, {"1-1", name}, {"1-2", int64_t{2}},
                          {"1-3-1", std::string("1930-04-01")}, {"1-3-2", int64_t{73}},
                          {"受付日時", std::string("2003-03-20 10:00:00")}});
  }
  // Intake 5 open in the entry window.
  void EditIntake5() {
    AddIntake(5, "山田太郎");
    chosen_number = 5;
    window->UketukeEdit();
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
  long Rows(const std::string& table, int64_t number, std::optional<Date> date = std::nullopt) {
    return db->OpenKey(table, number, date).RecordCount();
  }

  EntryDialogs dialogs;
  std::unique_ptr<EntryWindow> window;
  std::optional<int64_t> chosen_number;
  std::optional<Date> chosen_date, picked;
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
  window->OnStatusText("#受付|");
  EXPECT_EQ(host.status_clears[View::kEntry], 1);
  EXPECT_EQ(Stored(kIntakeTable, 12, "受付日時"), Value{std::string("2026-12-06 10:00:00")});
}

TEST_F(EntryWindowTest, EditIntakeOpensTheChosenRowFilledAndAnotherStoresIt) {
  AddIntake(6, "鈴木花子");
  window->UketukeEdit();  // search cancelled
  EXPECT_FALSE(window->IsOpen());
  EXPECT_TRUE(host.navigations.empty());
  EditIntake5();
  ExpectOpenOn("FORM/UKETUKE1.HTM", EntryMenu::kIntake);
  EXPECT_EQ(On("zlk_1_1").value, "山田太郎");
  EXPECT_FALSE(ctx.new_intake);

  On("zlk_1_1").value = "山田一郎";
  chosen_number = 6;
  window->UketukeEdit();
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("山田一郎")});
  EXPECT_EQ(On("zlk_1_1").value, "鈴木花子");
}

TEST_F(EntryWindowTest, MenuJumpsWithoutAPageOrToAnotherKindOfRecordStayAndStoreNothing) {
  EditIntake5();
  On("zlk_1_1").value = "山田一郎";
  window->OnMenu("IDM_6");  // Ⅵ.住居環境 has no page
  EXPECT_EQ(host.navigations.size(), 1u);
  EXPECT_TRUE(host.messages.empty());
  window->OnMenu("IDM_B");  // an assessment page while an intake record is open
  EXPECT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("山田太郎")});
  ExpectOpenOn("FORM/UKETUKE1.HTM", EntryMenu::kIntake);
}

// The first assessment of a client starts on AA with the intake's items; a
// later one starts on A and refreshes them.
TEST_F(EntryWindowTest, NewAssessmentsCreateTheClientRowOnceAndEverySection) {
  // The items copied from the intake have the same shape in AA.
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"1-1", "AA-1"}, {"1-2", "AA-2"}, {"1-3-1", "AA-3-1"}, {"1-3-2", "AA-3-2"}, {"受付日時", "AA-4"}}) {
    const ColumnDef& source = *testing::DeliveredCatalogue().Find(kIntakeTable)->Find(from);
    const ColumnDef& target = *testing::DeliveredCatalogue().Find("AA")->Find(to);
    EXPECT_EQ(std::tie(source.type, source.format, source.kind), std::tie(target.type, target.format, target.kind));
    EXPECT_LE(source.size, target.size) << to;
    EXPECT_EQ(source.choices.size(), target.choices.size()) << to;
  }
  AddIntake(5, "山田太郎");
  chosen_number = 5;
  chosen_date = Date{2003, 4, 1};
  window->AssessmentNew();
  EXPECT_EQ(searches, (std::vector<std::string>{"intake", "date"}));
  ExpectOpenOn("FORM/AA.HTM", EntryMenu::kAssessment);
  EXPECT_EQ(On("zlk_AA_1").value, "山田太郎");
  EXPECT_EQ(On("zlk_AA_3_2").value, "73");
  for (char section = 'A'; section <= 'S'; ++section)
    EXPECT_EQ(Rows(std::string(1, section), 5, chosen_date), 1) << section;
  EXPECT_EQ(Stored("A", 5, "A1", chosen_date), Value{std::string("2003-04-01")});
  ASSERT_TRUE(window->CloseIfOpen());

  db->Execute("UPDATE [相談受付表] SET [1-1]='山田太朗'");
  chosen_date = Date{2003, 10, 1};
  window->AssessmentNew();
  ExpectOpenOn("FORM/A.HTM", EntryMenu::kAssessment);
  EXPECT_EQ(On("zlk_A1").value, "2003/10/01");
  EXPECT_EQ(Rows("AA", 5), 1);
  EXPECT_EQ(Rows("B", 5), 2);
  EXPECT_EQ(Stored("AA", 5, "AA-1"), Value{std::string("山田太朗")});
}

TEST_F(EntryWindowTest, CancelledOrFailedNewAssessmentLeavesNoRows) {
  AddIntake(5, "山田太郎");
  window->AssessmentNew();  // no client chosen
  EXPECT_EQ(searches, (std::vector<std::string>{"intake"}));
  chosen_number = 5;
  window->AssessmentNew();  // no date given
  EXPECT_FALSE(window->IsOpen());
  EXPECT_EQ(Rows("AA", 5), 0);
  EXPECT_EQ(Rows("A", 5), 0);
  EXPECT_TRUE(host.messages.empty());

  chosen_number = 99;  // a client without an intake row
  chosen_date = Date{2003, 4, 1};
  window->AssessmentNew();
  EXPECT_EQ(host.messages.size(), 2u);  // the store's refusal, told as every store error is
  EXPECT_FALSE(window->IsOpen());
  EXPECT_EQ(Rows("AA", 99), 0);
  for (char section = 'A'; section <= 'S'; ++section) EXPECT_EQ(Rows(std::string(1, section), 99), 0) << section;
}

TEST_F(EntryWindowTest, ProgramCloseStaysOpenWhenTheSaveIsRefused) {
  EditIntake5();
  On("zlk_1_3_1").value = "2003/13/01";
  EXPECT_FALSE(window->CloseIfOpen());
  EXPECT_TRUE(window->IsOpen());
  On("zlk_1_3_1").value = "２００３．４．１";
  EXPECT_TRUE(window->CloseIfOpen());
  ExpectClosed();
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-3-1"), Value{std::string("2003-04-01")});
}

TEST_F(EntryWindowTest, StatusTextsOtherThanAMoveOrAPickAreIgnored) {
  EditIntake5();
  On("zlk_1_1").value = "山田一郎";
  for (const char* text : {"http://127.0.0.1/FORM/UKETUKE2.HTM", "", "?QUIT"}) window->OnStatusText(text);
  EXPECT_EQ(host.status_clears[View::kEntry], 0);
  EXPECT_TRUE(host.messages.empty());
  ExpectOpenOn("FORM/UKETUKE1.HTM", EntryMenu::kIntake);
  EXPECT_EQ(Stored(kIntakeTable, 5, "1-1"), Value{std::string("山田太郎")});
}

// The picker fills the date in the page's format and the age in completed
// years (today is 2026-12-06); a time of day or no age element leaves the age,
// a birth date after today gives none, and a cancelled picker changes nothing.
// The caret goes on to the next field after OK, back into the field after a cancel.
TEST_F(EntryWindowTest, DatePickerFillsTheDateAndTheAge) {
  EditIntake5();
  struct Case {
    const char* request;
    std::optional<Date> picked;
    const char* element;
    const char* date;
    const char* age;
  } cases[] = {
      {"!zlk_1_3_1|ggge年mm月dd日|DATE|zlk_1_3_2", Date{1930, 12, 7}, "zlk_1_3_1", "昭和5年12月07日", "95"},
      {"!zlk_1_3_1|yyyy/mm/dd|DATE|zlk_1_3_2", Date{1930, 12, 6}, "zlk_1_3_1", "1930/12/06", "96"},
      {"!zlk_1_3_1|yyyy/mm/dd|DATE|zlk_1_3_2", Date{2027, 1, 5}, "zlk_1_3_1", "2027/01/05", "96"},
      {"!zlk_受付日時|yyyy/mm/dd hh:nn|time|", Date{2003, 3, 20, 14, 30}, "zlk_受付日時", "2003/03/20 14:30", "96"},
      {"!zlk_1_3_1|yyyy/mm/dd|DATE|zlk_1_3_2", std::nullopt, "zlk_1_3_1", "2027/01/05", "96"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    picked = c.picked;
    window->OnStatusText(c.request);
    EXPECT_EQ(picker_seen.target_element, c.element);
    EXPECT_EQ(picker_seen.time_mode, std::string(c.request).find("time") != std::string::npos);
    EXPECT_FALSE(picker_seen.accepted);
    EXPECT_EQ(On(c.element).value, c.date);
    EXPECT_EQ(On("zlk_1_3_2").value, c.age);
    EXPECT_EQ(host.focused[View::kEntry], c.picked ? "zlk_next" : c.element);
  }
  EXPECT_EQ(host.status_clears[View::kEntry], 5);
}

}  // namespace
}  // namespace zelka
