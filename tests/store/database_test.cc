#include "store/database.h"

#include <gmock/gmock.h>
#include <sqlite3.h>

#include "support/store.h"
#include "util/env.h"

namespace zelka {
namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;
const Date kApril1{2003, 4, 1};
const Date kMay1{2003, 5, 1};

class DatabaseTest : public testing::SmallStoreTest {
 protected:
  void AddIntake(int64_t number, const std::string& name) { AddRow("相談受付表", {{"整理番号", number}, {"1-1", name}}); }
  void AddSection(const std::string& table, int64_t number, const Date& date) {
    AddRow(table, {{"整理番号", number}, {"基準日", date.IsoDate()}});
  }
};

// What a value set into a column is stored as, read back from the file; a
// refused value is a StoreError naming the column.
TEST_F(DatabaseTest, ValuesAreStoredInTheColumnsTypeOrRefused) {
  AddIntake(7, "名");
  AddSection("A", 7, kApril1);
  AddRow("AA", {{"整理番号", int64_t{7}}});
  const Value refused{std::string("<refused>")};
  const std::string memo(5000, 'x');
  struct Case {
    const char* table;
    const char* column;
    Value set, stored;
  } cases[] = {
      {"AA", "AA-1", std::string(""), std::string("")},  // "" stays text in a text column
      {"AA", "AA-2", std::string(""), Value{}},          // and is Null in a number or date column
      {"A", "A1", std::string(""), Value{}},
      {"AA", "AA-2", std::monostate{}, Value{}},
      {"A", "A1", std::string("2003/4/1"), std::string("2003-04-01")},
      {"A", "A2-1", std::string("１２"), int64_t{12}},
      {"A", "A2-1", 2.5, int64_t{2}},  // rounded to even
      {"相談受付表", "受付日時", std::string("2003-04-01 13:05:00"), std::string("2003-04-01 13:05:00")},
      {"相談受付表", "1-1", std::string("あいうえおかきくけこ"), std::string("あいうえおかきくけこ")},
      {"相談受付表", "5-9", memo, memo},  // a memo has no limit
      {"A", "A1", std::string("2003/02/30"), refused},
      {"A", "A1", int64_t{5}, refused},
      {"A", "A2-1", std::string("abc"), refused},
      {"A", "A2-1", int64_t{40000}, refused},  // an Integer column
      {"A", "A3-A", int64_t{256}, refused},    // a Byte column
      {"相談受付表", "1-1", std::string("あいうえおかきくけこさ"), refused},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.table) + "." + c.column + " = " + ValueText(c.set));
    Recordset rs = db->OpenKey(c.table, 7, std::string(c.table) == "A" ? std::optional(kApril1) : std::nullopt);
    rs.Edit();
    if (c.stored == refused) {
      EXPECT_THAT([&] { rs.Set(c.column, c.set); }, ThrowsMessage<StoreError>(HasSubstr(c.column)));
      continue;
    }
    rs.Set(c.column, c.set);
    rs.Update();
    EXPECT_EQ(db->Query("SELECT [" + std::string(c.column) + "] FROM [" + c.table + "]")[0][0], c.stored);
  }
  EXPECT_EQ(db->OpenKey("A", 7, kApril1).Get("基準日"), Value(std::string("2003-04-01")));
  EXPECT_EQ(db->OpenKey("A", 7, kApril1).Get("A3-A"), Value{}) << "a new row starts Null";
}

TEST_F(DatabaseTest, KeysAreEnforcedAndARefusedRowKeepsItsValues) {
  AddIntake(5, "一郎");
  AddSection("A", 5, kApril1);
  AddSection("A", 5, kMay1);  // another date of the same client
  EXPECT_THROW(AddSection("A", 5, kApril1), StoreError);

  Recordset rs = db->OpenTable("相談受付表");
  rs.AddNew();
  rs.Set("1-1", std::string("次郎"));
  EXPECT_THROW(rs.Update(), StoreError);  // 整理番号 missing
  rs.Set("整理番号", int64_t{5});
  EXPECT_THAT([&] { rs.Update(); }, ThrowsMessage<StoreError>(HasSubstr("整理番号=5")));
  EXPECT_EQ(rs.mode(), Recordset::Mode::kAdd);
  EXPECT_EQ(rs.Get("1-1"), Value(std::string("次郎")));
  rs.Set("整理番号", int64_t{6});  // the user corrects the number and saves again
  rs.Update();
  EXPECT_EQ(rs.mode(), Recordset::Mode::kNone);
  EXPECT_EQ(rs.Get("整理番号"), Value(int64_t{6}));  // the saved row is current

  // An edit that would take a used number stays pending until closed.
  Recordset edit = db->OpenKey("相談受付表", 6);
  edit.Edit();
  edit.Set("整理番号", int64_t{5});
  edit.Set("1-1", std::string("変更"));
  EXPECT_THROW(edit.Update(), StoreError);
  EXPECT_EQ(edit.mode(), Recordset::Mode::kEdit);
  EXPECT_EQ(edit.Get("1-1"), Value(std::string("変更")));
  edit.Close();
  EXPECT_EQ(db->OpenKey("相談受付表", 6).Get("1-1"), Value(std::string("次郎")));
  EXPECT_EQ(db->OpenKey("相談受付表", 5).Get("1-1"), Value(std::string("一郎")));
}

// Tables are found by any spelling of their name; columns likewise (their
// lower-case spellings are read by the schema and report tests).
TEST_F(DatabaseTest, NamesAreMatchedWithoutRegardToCase) {
  AddSection("o", 3, kApril1);
  Recordset rs = db->OpenKey("o", 3, kApril1);
  ASSERT_FALSE(rs.Eof());
  EXPECT_EQ(rs.table(), "O");
  EXPECT_EQ(rs.Field("nothing"), nullptr);
  EXPECT_THROW(rs.Get("nothing"), StoreError);
  EXPECT_EQ(db->TableName("rpto"), "rptO");
  EXPECT_EQ(db->TableName("Z"), "");
  EXPECT_THROW(db->OpenTable("Z"), StoreError);
}

TEST_F(DatabaseTest, ValuesAreReadLive) {
  AddIntake(1, "前");
  Recordset reader = db->OpenKey("相談受付表", 1);
  Recordset writer = db->OpenKey("相談受付表", 1);
  writer.Edit();
  writer.Set("1-1", std::string("後"));
  writer.Update();
  EXPECT_EQ(reader.Get("1-1"), Value(std::string("後")));
  db->Execute("UPDATE [相談受付表] SET [1-1]=?", {std::string("文")});
  EXPECT_EQ(reader.Get("1-1"), Value(std::string("文")));
  db->DeleteKey("相談受付表", 1);
  EXPECT_THROW(reader.Get("1-1"), StoreError);
}

// A pending value needs a current row and is never carried to another row;
// a closed recordset or store refuses work.
TEST_F(DatabaseTest, ThePendingRowNeedsACurrentRowAndStaysOnIt) {
  AddIntake(1, "一");
  Recordset rs = db->OpenKey("相談受付表", 99);
  EXPECT_TRUE(rs.Eof());
  EXPECT_THROW(rs.Edit(), StoreError);  // no current row
  EXPECT_THROW(rs.Set("1-1", std::string("x")), StoreError);
  EXPECT_THROW(rs.Update(), StoreError);
  rs = db->OpenTable("相談受付表");
  rs.Edit();
  rs.Set("1-1", std::string("x"));
  EXPECT_THROW(rs.FindFirst(1), StoreError);  // would drop the edit
  rs.Update();
  rs.Close();
  EXPECT_THROW(rs.Eof(), StoreError);
  db->Close();
  EXPECT_THROW(db->OpenTable("A"), StoreError);
}

TEST_F(DatabaseTest, TransactionsCommitOrRollBackAsAWhole) {
  db->InTransaction([&] { AddIntake(1, "一"); });
  EXPECT_THROW(db->InTransaction([&] {
    AddIntake(2, "二");
    db->InTransaction([&] { AddIntake(3, "三"); });
    AddIntake(1, "重複");  // fails: everything of this transaction goes
  }),
               StoreError);
  // An inner failure that the outer work swallows still dooms the whole.
  EXPECT_THROW(db->InTransaction([&] {
    AddIntake(4, "四");
    try {
      db->InTransaction([&] { throw StoreError("inner"); });
    } catch (const StoreError&) {
    }
  }),
               StoreError);
  EXPECT_EQ(db->OpenTable("相談受付表").RecordCount(), 1);
  // When SQLite has rolled back by itself (a full disk), the first failure is
  // the one passed on, at any depth.
  for (int depth : {1, 2}) {
    auto fail = [&] {
      sqlite3_exec(db->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
      throw StoreError("database or disk is full");
    };
    try {
      db->InTransaction([&] { depth == 1 ? fail() : db->InTransaction(fail); });
      ADD_FAILURE();
    } catch (const StoreError& e) {
      EXPECT_STREQ(e.what(), "database or disk is full");
    }
  }
  AddIntake(5, "五");  // and the connection is usable afterwards
  EXPECT_EQ(db->OpenTable("相談受付表").RecordCount(), 2);
}

TEST_F(DatabaseTest, QueriesRefuseQuotedIdentifiersAndMissingValues) {
  AddIntake(1, "一");
  // A misspelled column in double quotes is an error, not a string.
  EXPECT_THROW(db->Query("SELECT \"1-9-9\" FROM [相談受付表]"), StoreError);
  EXPECT_THROW(db->Query("SELECT [整理番号] FROM [相談受付表] WHERE [整理番号]=?"), StoreError);
}

TEST(DatabaseFileTest, OpenAndCreateReportTheFileAndNeverOverwriteIt) {
  testing::TempDir dir;
  std::string missing = dir.Child("none.mdb"), garbage = dir.Child("garbage.mdb");
  EXPECT_THAT([&] { Database::Open(missing); }, ThrowsMessage<StoreError>(HasSubstr(missing)));
  testing::WriteBytes(garbage, std::string(4096, 'x'));
  EXPECT_THROW(Database::Open(garbage), StoreError);
  EXPECT_THROW(Database::Create(garbage, testing::SmallCatalogue()), StoreError);
  EXPECT_EQ(testing::ReadBytes(garbage), std::string(4096, 'x'));
}

}  // namespace
}  // namespace zelka
