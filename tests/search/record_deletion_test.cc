#include "search/record_deletion.h"

#include <gtest/gtest.h>

#include "search_fixture.h"

namespace zelka::testing {
namespace {

// Client 1 with one assessment, client 2 with two, each with its CAP selections.
class RecordDeletionTest : public SearchTest {
 protected:
  RecordDeletionTest() {
    AddClient(1, "ヤマダ");
    AddAssessment(1, "2003-04-01", "ヤマダ");
    AddCapSelection(1, "2003-04-01");
    AddClient(2, "タナカ");
    for (const char* date : {"2003-04-01", "2004-04-01"}) {
      AddAssessment(2, date, "タナカ");
      AddCapSelection(2, date);
    }
  }
  // The rows of one client in the intake, AA, every section and CAP選定, as "intake AA sections CAP".
  std::string Rows(int64_t number) {
    int64_t sections = 0;
    for (char letter = 'A'; letter <= 'S'; ++letter) sections += Count(std::string(1, letter), number);
    return std::to_string(Count(kIntakeTable, number)) + " " + std::to_string(Count("AA", number)) + " " +
           std::to_string(sections) + " " + std::to_string(Count("CAP選定", number));
  }
};

TEST_F(RecordDeletionTest, AnAssessmentGoesWithItsSelectionAndTheLastTakesTheClientRow) {
  AssessmentDel(*db, 2, Date{2003, 4, 1, 9, 30});  // a time of day is no part of the key
  EXPECT_EQ(Rows(2), "1 1 19 1");
  EXPECT_EQ(db->OpenKey("CAP選定", 2, Date{2004, 4, 1}).RecordCount(), 1);
  AssessmentDel(*db, 1, Date{2003, 4, 1});
  EXPECT_EQ(Rows(1), "1 0 0 0") << "the intake stays";
  EXPECT_EQ(Rows(2), "1 1 19 1");
  EXPECT_THROW(AssessmentDel(*db, 2, Date{}), StoreError) << "no date is none of the client's";
  EXPECT_EQ(Rows(2), "1 1 19 1");
}

TEST_F(RecordDeletionTest, ClientDeletionRemovesEverythingOfThatClientOnly) {
  DeleteClient(*db, 2);
  EXPECT_EQ(Rows(2), "0 0 0 0");
  EXPECT_EQ(Rows(1), "1 1 19 1");
}

TEST_F(RecordDeletionTest, AFailurePartWayDeletesNothing) {
  BlockDeletes("AA");
  EXPECT_THROW(AssessmentDel(*db, 1, Date{2003, 4, 1}), StoreError);
  EXPECT_THROW(DeleteClient(*db, 2), StoreError);
  EXPECT_EQ(Rows(1), "1 1 19 1");
  EXPECT_EQ(Rows(2), "1 1 38 2");
}

}  // namespace
}  // namespace zelka::testing
