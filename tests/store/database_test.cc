#include "store/database.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "store/schema.h"
#include "store_fixture.h"
#include "util/env.h"

namespace zelka {
namespace {

using testing::StoreTest;

const Date kApril1{2003, 4, 1};
const Date kMay1{2003, 5, 1};

void AddAssessment(Database& db, const std::string& table, int64_t number, const Date& date) {
  Recordset rs = db.OpenTable(table);
  rs.AddNew();
  rs.Set("整理番号", number);
  rs.Set("基準日", date.IsoDate());
  rs.Update();
  rs.Close();
}

void AddIntake(Database& db, int64_t number, const std::string& name) {
  Recordset rs = db.OpenTable("相談受付表");
  rs.AddNew();
  rs.Set("整理番号", number);
  rs.Set("1-1", name);
  rs.Update();
}

TEST_F(StoreTest, NullIsStoredAndReadAsNull) {
  Recordset rs = db_->OpenTable("AA");
  rs.AddNew();
  rs.Set("整理番号", int64_t{1});
  EXPECT_TRUE(IsNull(rs.Get("AA-1")));  // a new row starts Null
  rs.Set("AA-2", std::monostate{});
  rs.Update();
  EXPECT_TRUE(IsNull(rs.Get("AA-1")));
  EXPECT_TRUE(IsNull(rs.Get("AA-2")));
  auto rows = db_->Query("SELECT count(*) FROM [AA] WHERE [AA-1] IS NULL AND [AA-2] IS NULL");
  EXPECT_EQ(rows[0][0], Value(int64_t{1}));
  // "" in a number or date column is Null too; in a text column it stays text.
  rs.Edit();
  rs.Set("AA-2", std::string(""));
  rs.Set("AA-1", std::string(""));
  rs.Update();
  EXPECT_TRUE(IsNull(rs.Get("AA-2")));
  EXPECT_EQ(rs.Get("AA-1"), Value(std::string("")));
}

TEST_F(StoreTest, IntegersStayIntegersAndDatesAreIsoText) {
  AddAssessment(*db_, "A", 7, kApril1);
  Recordset rs = db_->OpenKey("A", 7, kApril1);
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs.Get("整理番号"), Value(int64_t{7}));
  EXPECT_EQ(rs.Get("基準日"), Value(std::string("2003-04-01")));
  rs.Edit();
  rs.Set("A1", std::string("2003/4/1"));   // other date text is accepted and stored as ISO
  rs.Set("A2-1", std::string("１２"));     // full-width digits are numbers
  rs.Update();
  EXPECT_EQ(rs.Get("A1"), Value(std::string("2003-04-01")));
  EXPECT_EQ(rs.Get("A2-1"), Value(int64_t{12}));
  Recordset intake = db_->OpenTable("相談受付表");
  intake.AddNew();
  intake.Set("整理番号", int64_t{7});
  intake.Set("受付日時", std::string("2003-04-01 13:05:00"));
  intake.Update();
  EXPECT_EQ(intake.Get("受付日時"), Value(std::string("2003-04-01 13:05:00")));
}

TEST_F(StoreTest, ValuesThatDoNotFitAreRefusedWhenSet) {
  AddAssessment(*db_, "A", 1, kApril1);
  Recordset rs = db_->OpenKey("A", 1, kApril1);
  rs.Edit();
  EXPECT_THROW(rs.Set("A1", std::string("2003/02/30")), StoreError);
  EXPECT_THROW(rs.Set("A1", int64_t{5}), StoreError);
  EXPECT_THROW(rs.Set("A2-1", std::string("abc")), StoreError);
  EXPECT_THROW(rs.Set("A2-1", int64_t{40000}), StoreError);  // Integer column
  EXPECT_THROW(rs.Set("A3-A", int64_t{256}), StoreError);    // Byte column
  rs.Set("A2-1", 2.5);
  EXPECT_EQ(rs.Get("A2-1"), Value(int64_t{2}));  // rounded to even
  rs.CancelUpdate();

  Recordset intake = db_->OpenTable("相談受付表");
  intake.AddNew();
  intake.Set("1-1", std::string("あいうえおかきくけこ"));  // 10 characters fit
  try {
    intake.Set("1-1", std::string("あいうえおかきくけこさ"));
    FAIL();
  } catch (const StoreError& e) {
    EXPECT_NE(std::string(e.what()).find("1-1"), std::string::npos);
  }
  intake.Set("5-9", std::string(5000, 'x'));  // a memo has no limit
}

TEST_F(StoreTest, KeysAreEnforced) {
  AddIntake(*db_, 5, "一郎");
  Recordset rs = db_->OpenTable("相談受付表");
  rs.AddNew();
  rs.Set("1-1", std::string("名前だけ"));
  EXPECT_THROW(rs.Update(), StoreError);  // 整理番号 missing
  rs.CancelUpdate();
  AddAssessment(*db_, "A", 5, kApril1);
  AddAssessment(*db_, "A", 5, kMay1);  // another date of the same client
  EXPECT_THROW(AddAssessment(*db_, "A", 5, kApril1), StoreError);
}

TEST_F(StoreTest, DuplicateKeyLeavesTheNewRowPendingWithItsValues) {
  AddIntake(*db_, 5, "一郎");
  Recordset rs = db_->OpenTable("相談受付表");
  rs.AddNew();
  rs.Set("整理番号", int64_t{5});
  rs.Set("1-1", std::string("次郎"));
  try {
    rs.Update();
    FAIL();
  } catch (const StoreError& e) {
    EXPECT_NE(std::string(e.what()).find("整理番号=5"), std::string::npos) << e.what();
  }
  EXPECT_EQ(rs.mode(), Recordset::Mode::kAdd);
  EXPECT_EQ(rs.Get("1-1"), Value(std::string("次郎")));
  rs.Set("整理番号", int64_t{6});  // the user corrects the number and saves again
  rs.Update();
  EXPECT_EQ(rs.mode(), Recordset::Mode::kNone);
  EXPECT_EQ(rs.Get("整理番号"), Value(int64_t{6}));  // the saved row is current
  EXPECT_EQ(db_->OpenKey("相談受付表", 5).Get("1-1"), Value(std::string("一郎")));
}

TEST_F(StoreTest, DuplicateKeyOnEditKeepsTheEdit) {
  AddIntake(*db_, 1, "一");
  AddIntake(*db_, 2, "二");
  Recordset rs = db_->OpenKey("相談受付表", 2);
  rs.Edit();
  rs.Set("整理番号", int64_t{1});
  rs.Set("1-1", std::string("変更"));
  EXPECT_THROW(rs.Update(), StoreError);
  EXPECT_EQ(rs.mode(), Recordset::Mode::kEdit);
  EXPECT_EQ(rs.Get("1-1"), Value(std::string("変更")));
  rs.Close();  // closing drops the pending edit
  EXPECT_EQ(db_->OpenKey("相談受付表", 2).Get("1-1"), Value(std::string("二")));
}

TEST_F(StoreTest, NamesAreMatchedWithoutRegardToCase) {
  AddAssessment(*db_, "o", 3, kApril1);
  Recordset rs = db_->OpenKey("o", 3, kApril1);
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs.table(), "O");
  rs.Edit();
  rs.Set("o1-a", int64_t{1});
  rs.Update();
  EXPECT_EQ(rs.Get("O1-A"), Value(int64_t{1}));
  ASSERT_NE(rs.Field("o1-b"), nullptr);
  EXPECT_EQ(rs.Field("o1-b")->name, "O1-B");
  EXPECT_EQ(rs.Field("nothing"), nullptr);
  EXPECT_THROW(rs.Get("nothing"), StoreError);
  EXPECT_EQ(db_->TableName("o"), "O");
  EXPECT_EQ(db_->TableName("rpto"), "rptO");
  EXPECT_EQ(db_->TableName("Z"), "");
  EXPECT_THROW(db_->OpenTable("Z"), StoreError);
  auto rows = db_->Query("SELECT [o1-a] FROM [o] WHERE [整理番号]=?", {int64_t{3}});
  EXPECT_EQ(rows[0][0], Value(int64_t{1}));
}

TEST_F(StoreTest, FieldsCarryTypeSizeAndFormat) {
  Recordset rs = db_->OpenTable("A");
  ASSERT_EQ(rs.Fields().size(), 5u);
  EXPECT_EQ(rs.Fields()[0].name, "整理番号");
  EXPECT_EQ(rs.Fields()[0].type, kTypeLong);
  EXPECT_EQ(rs.Field("A1")->type, kTypeDate);
  EXPECT_EQ(rs.Field("A1")->format, "yyyy/mm/dd");
  EXPECT_EQ(db_->TableFields("相談受付表")[2].size, 10);
  EXPECT_EQ(db_->TableFields("c")[3].type, kTypeSingle);
}

TEST_F(StoreTest, RowsAddedThroughTheRecordsetAreFoundAndOthersAreNot) {
  AddAssessment(*db_, "A", 1, kApril1);
  Recordset rs = db_->OpenTable("A");
  AddAssessment(*db_, "A", 2, kApril1);  // added elsewhere after the open
  rs.AddNew();
  rs.Set("整理番号", int64_t{3});
  rs.Set("基準日", kMay1.IsoDate());
  rs.Update();
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_TRUE(rs.FindFirst(3, kMay1));
  EXPECT_EQ(rs.Get("整理番号"), Value(int64_t{3}));
  EXPECT_TRUE(rs.FindFirst(1));
  EXPECT_EQ(rs.Get("整理番号"), Value(int64_t{1}));
  EXPECT_FALSE(rs.FindFirst(2));  // not one of this recordset's rows
  EXPECT_TRUE(rs.Eof());
  EXPECT_FALSE(rs.FindFirst(3, kApril1));
}

TEST_F(StoreTest, ValuesAreReadLive) {
  AddIntake(*db_, 1, "前");
  Recordset reader = db_->OpenKey("相談受付表", 1);
  EXPECT_EQ(reader.Get("1-1"), Value(std::string("前")));
  Recordset writer = db_->OpenKey("相談受付表", 1);
  writer.Edit();
  writer.Set("1-1", std::string("後"));
  writer.Update();
  EXPECT_EQ(reader.Get("1-1"), Value(std::string("後")));
  db_->Execute("UPDATE [相談受付表] SET [1-1]=?", {std::string("文")});
  EXPECT_EQ(reader.Get("1-1"), Value(std::string("文")));
  db_->DeleteKey("相談受付表", 1);
  EXPECT_THROW(reader.Get("1-1"), StoreError);
}

TEST_F(StoreTest, WalkingAndThePendingRow) {
  for (int64_t n = 1; n <= 3; ++n) AddIntake(*db_, n, "名" + std::to_string(n));
  Recordset rs = db_->OpenTable("相談受付表");
  std::vector<int64_t> seen;
  for (; !rs.Eof(); rs.MoveNext()) seen.push_back(std::get<int64_t>(rs.Get("整理番号")));
  EXPECT_EQ(seen, (std::vector<int64_t>{1, 2, 3}));
  EXPECT_THROW(rs.MoveNext(), StoreError);
  EXPECT_THROW(rs.Edit(), StoreError);  // no current row
  EXPECT_THROW(rs.Set("1-1", std::string("x")), StoreError);
  EXPECT_THROW(rs.Update(), StoreError);
  rs.FindFirst(1);
  rs.Edit();
  rs.Set("1-1", std::string("x"));
  EXPECT_THROW(rs.MoveNext(), StoreError);  // would drop the edit
  EXPECT_THROW(rs.FindFirst(2), StoreError);
  EXPECT_EQ(rs.Get("1-1"), Value(std::string("x")));
  rs.Update();
  rs.Close();
  EXPECT_FALSE(rs.IsOpen());
  EXPECT_THROW(rs.Eof(), StoreError);
  Recordset empty = db_->OpenKey("相談受付表", 99);
  EXPECT_TRUE(empty.Eof());
  EXPECT_EQ(empty.RecordCount(), 0);
}

TEST_F(StoreTest, OpenKeyAndDeleteKeyByClientOrAssessment) {
  AddAssessment(*db_, "A", 1, kApril1);
  AddAssessment(*db_, "A", 1, kMay1);
  AddAssessment(*db_, "A", 2, kApril1);
  EXPECT_EQ(db_->OpenKey("A", 1).RecordCount(), 2);
  EXPECT_EQ(db_->OpenKey("A", 1, kMay1).RecordCount(), 1);
  EXPECT_EQ(db_->OpenKey("A", 1, Date{}).RecordCount(), 2);  // a zero date is no date
  EXPECT_THROW(db_->OpenKey("AA", 1, kMay1), StoreError);    // AA has no 基準日
  EXPECT_EQ(db_->DeleteKey("A", 1, kApril1), 1);
  EXPECT_EQ(db_->DeleteKey("A", 1, kApril1), 0);
  EXPECT_EQ(db_->DeleteKey("a", 1), 1);
  EXPECT_EQ(db_->OpenTable("A").RecordCount(), 1);
  EXPECT_EQ(db_->DeleteAll("A"), 1);
}

TEST_F(StoreTest, TransactionsCommitOrRollBackAsAWhole) {
  db_->InTransaction([&] { AddIntake(*db_, 1, "一"); });
  EXPECT_THROW(db_->InTransaction([&] {
    AddIntake(*db_, 2, "二");
    db_->InTransaction([&] { AddIntake(*db_, 3, "三"); });
    AddIntake(*db_, 1, "重複");  // fails: everything of this transaction goes
  }),
               StoreError);
  EXPECT_EQ(db_->OpenTable("相談受付表").RecordCount(), 1);

  // An inner failure that the outer work swallows still dooms the whole.
  EXPECT_THROW(db_->InTransaction([&] {
    AddIntake(*db_, 4, "四");
    try {
      db_->InTransaction([&] { throw StoreError("inner"); });
    } catch (const StoreError&) {
    }
  }),
               StoreError);
  EXPECT_EQ(db_->OpenTable("相談受付表").RecordCount(), 1);
  // When SQLite has rolled back by itself (a full disk), the first failure is
  // the one passed on, at any depth.
  for (int depth : {1, 2}) {
    try {
      db_->InTransaction([&] {
        AddIntake(*db_, 6, "六");
        auto fail = [&] {
          sqlite3_exec(db_->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
          throw StoreError("database or disk is full");
        };
        if (depth == 1) fail();
        db_->InTransaction(fail);
      });
      ADD_FAILURE();
    } catch (const StoreError& e) {
      EXPECT_STREQ(e.what(), "database or disk is full");
    }
  }
  // And the connection is usable afterwards.
  AddIntake(*db_, 5, "五");
  EXPECT_EQ(db_->OpenTable("相談受付表").RecordCount(), 2);
}

TEST_F(StoreTest, QueriesBindValuesAndRefuseQuotedIdentifiers) {
  AddIntake(*db_, 1, "O'B;DROP x");
  auto rows = db_->Query("SELECT [整理番号] FROM [相談受付表] WHERE [1-1]=?",
                         {std::string("O'B;DROP x")});
  ASSERT_EQ(rows.size(), 1u);
  // A misspelled column in double quotes is an error, not a string.
  EXPECT_THROW(db_->Query("SELECT \"1-9-9\" FROM [相談受付表]"), StoreError);
  EXPECT_THROW(db_->Query("SELECT [整理番号] FROM [相談受付表] WHERE [整理番号]=?"), StoreError);
  // Unbracketed 1-1 is arithmetic; the bracketed name is the column.
  EXPECT_EQ(db_->Query("SELECT 1-1 FROM [相談受付表]")[0][0], Value(int64_t{0}));
}

TEST_F(StoreTest, ReopenedStoreKeepsMetadataAndRows) {
  AddIntake(*db_, 1, "一");
  db_->Close();
  EXPECT_THROW(db_->OpenTable("A"), StoreError);
  db_ = Database::Open(path_);
  EXPECT_EQ(db_->OpenKey("相談受付表", 1).Get("1-1"), Value(std::string("一")));
  EXPECT_EQ(db_->TableFields("A")[2].format, "yyyy/mm/dd");
}

TEST(DatabaseFileTest, OpenAndCreateReportTheFile) {
  testing::TempDir dir;
  std::string missing = dir.Child("none.mdb");
  try {
    Database::Open(missing);
    FAIL();
  } catch (const StoreError& e) {
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos);
  }
  std::string garbage = dir.Child("garbage.mdb");
  ASSERT_TRUE(Env::Default().WriteFile(garbage, std::string(4096, 'x')));
  EXPECT_THROW(Database::Open(garbage), StoreError);
  EXPECT_THROW(Database::Create(garbage, testing::SmallCatalogue()), StoreError);
  std::string contents;
  Env::Default().ReadFile(garbage, &contents);
  EXPECT_EQ(contents, std::string(4096, 'x'));  // Create never touches an existing file
}

}  // namespace
}  // namespace zelka
