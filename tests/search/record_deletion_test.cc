#include "search/record_deletion.h"

#include <gmock/gmock.h>

#include "search/assessment_search.h"
#include "search/intake_search.h"

#include "search_fixture.h"

namespace zelka::testing {
namespace {

class RecordDeletionTest : public SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    AddClient(1, "ヤマダ");
    AddAssessment(1, "2003-04-01", "ヤマダ");
    AddCapSelection(1, "2003-04-01");
    AddClient(2, "タナカ");
    AddAssessment(2, "2003-04-01", "タナカ");
    AddAssessment(2, "2004-04-01", "タナカ");
    AddCapSelection(2, "2003-04-01");
    AddCapSelection(2, "2004-04-01");
  }

  int64_t CountOn(const std::string& table, int64_t number, const std::string& iso_date) {
    auto rows = db->Query("SELECT count(*) FROM " + QuoteName(table) +
                              " WHERE [整理番号] = ? AND [基準日] = ?",
                          {number, iso_date});
    return std::get<int64_t>(rows.at(0).at(0));
  }

  void ExpectSections(int64_t number, int64_t rows) {
    for (char letter = 'A'; letter <= 'S'; ++letter)
      EXPECT_EQ(Count(std::string(1, letter), number), rows) << letter;
  }
};

TEST_F(RecordDeletionTest, LastAssessmentOfAClientTakesItsBasicDataAlong) {
  AssessmentDel(*db, 1, Date{2003, 4, 1});
  ExpectSections(1, 0);
  EXPECT_EQ(Count("CAP選定", 1), 0);
  EXPECT_EQ(Count("AA", 1), 0);
  EXPECT_EQ(Count(kIntakeTable, 1), 1);
  ExpectSections(2, 2);
  EXPECT_EQ(Count("CAP選定", 2), 2);
}

TEST_F(RecordDeletionTest, OneOfTwoAssessmentsKeepsTheBasicData) {
  AssessmentDel(*db, 2, Date{2003, 4, 1, 9, 30});  // a time of day is no part of the key
  ExpectSections(2, 1);
  EXPECT_EQ(CountOn("A", 2, "2004-04-01"), 1);
  EXPECT_EQ(CountOn("CAP選定", 2, "2003-04-01"), 0);
  EXPECT_EQ(CountOn("CAP選定", 2, "2004-04-01"), 1);
  EXPECT_EQ(Count("AA", 2), 1);
  EXPECT_EQ(Count("AA", 1), 1);
}

TEST_F(RecordDeletionTest, ClientDeletionRemovesEverythingOfThatClientOnly) {
  DeleteClient(*db, 2);
  for (std::string table : {kIntakeTable, "AA", "CAP選定"}) {
    EXPECT_EQ(Count(table, 2), 0) << table;
    EXPECT_EQ(Count(table, 1), 1) << table;
  }
  ExpectSections(2, 0);
  ExpectSections(1, 1);
}

TEST_F(RecordDeletionTest, AssessmentWithoutADateIsNoneOfTheClients) {
  EXPECT_THROW(AssessmentDel(*db, 2, Date{}), StoreError);
  ExpectSections(2, 2);
}

TEST_F(RecordDeletionTest, AFailurePartWayDeletesNothing) {
  BlockDeletes("AA");
  EXPECT_THROW(AssessmentDel(*db, 1, Date{2003, 4, 1}), StoreError);
  EXPECT_THROW(DeleteClient(*db, 2), StoreError);
  ExpectSections(1, 1);
  ExpectSections(2, 2);
  EXPECT_EQ(Count("CAP選定", 1), 1);
  EXPECT_EQ(Count("CAP選定", 2), 2);
  EXPECT_EQ(Count(kIntakeTable, 2), 1);
}

// The dialogs' queries and the cascades against the delivered catalogue, so
// that a column they name exists in the real schema.
class DeliveredCatalogueTest : public SearchTest {
 protected:
  void SetUp() override { OpenStore(Catalogue::Load(SourceAppDir() + "/catalogue/items.tsv")); }
};

TEST_F(DeliveredCatalogueTest, SearchesAndDeletionsRunOnTheRealSchema) {
  AddClient(4, "イトウ");
  AddAssessment(4, "2003-04-01", "イトウ");
  AddCapSelection(4, "2003-04-01");
  std::vector<std::string> intake, assessments;
  host.QueueDialog([&](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "4"}, {"txtTaisyo", "イト"}}));
    intake = d.Find("DBG")->rows.at(0);
  });
  ShowIntakeSearch(ctx, host);
  host.QueueDialog([&](Dialog& d, ScriptedHost& h) {
    h.Send(d, Click("cmdFind", {{"txtSeiriNo", "4"}, {"txtTaisyo", "イト"}, {"txtAssDate", "2003/4/1"}}));
    assessments = d.Find("DBG")->rows.at(0);
  });
  ShowAssessmentSearch(ctx, host, env, {});
  EXPECT_THAT(host.messages, ::testing::IsEmpty());
  EXPECT_THAT(intake, ::testing::ElementsAre("4", "イトウ", "2003/03/20", "1930/01/02", "東京都", "03-1234"));
  EXPECT_THAT(assessments, ::testing::ElementsAre("4", "2003/04/01", "イトウ", "1930/01/02"));

  AssessmentDel(*db, 4, Date{2003, 4, 1});
  EXPECT_EQ(Count("AA", 4), 0);
  EXPECT_EQ(Count("CAP選定", 4), 0);
  AddAssessment(4, "2004-04-01", "イトウ");
  AddCapSelection(4, "2004-04-01");
  DeleteClient(*db, 4);
  for (std::string table : {kIntakeTable, "AA", "A", "S", "CAP選定"}) EXPECT_EQ(Count(table, 4), 0) << table;
}

}  // namespace
}  // namespace zelka::testing
