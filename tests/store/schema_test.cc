#include "store/schema.h"

#include <gtest/gtest.h>

#include "support/store.h"

namespace zelka {
namespace {

using SchemaTest = testing::SmallStoreTest;

TEST_F(SchemaTest, CapSelectionHasASlotPairForEveryCatalogueEntry) {
  std::vector<FieldInfo> fields = db->TableFields(kCapSelectionTable);
  ASSERT_EQ(fields.size(), 3u + 2 * kCapSlots);
  EXPECT_EQ(fields[2].name, "利用者名");
  EXPECT_EQ(fields[3].name, "CAP番号01");
  EXPECT_EQ(fields[3 + 32].name, "CAP番号33");
  EXPECT_EQ(fields[3 + 33].name, "CAP種類01");
  EXPECT_EQ(fields.back().name, "CAP種類33");
  EXPECT_EQ(fields.back().size, 50);
  // All 33 entries can fire at once.
  Recordset rs = db->OpenTable("CAP選定");
  rs.AddNew();
  rs.Set("整理番号", int64_t{1});
  rs.Set("基準日", std::string("2003-04-01"));
  for (int slot = 1; slot <= kCapSlots; ++slot) {
    rs.Set(CapNumberColumn(slot), std::to_string(slot));
    rs.Set(CapNameColumn(slot), std::string("もろい支援(主なし)(A)"));
  }
  rs.Update();
  EXPECT_EQ(rs.Get("cap番号33"), Value(std::string("33")));
  // And the key holds: one row per assessment.
  rs.AddNew();
  rs.Set("整理番号", int64_t{1});
  rs.Set("基準日", std::string("2003-04-01"));
  EXPECT_THROW(rs.Update(), StoreError);
}

// The staging tables take print text where the reports convert (dates, check
// items, the sex codes); the copy into them takes the shared columns.
TEST_F(SchemaTest, StagingTablesHoldPrintTextAndTakeTheSharedColumns) {
  const std::pair<const char*, size_t> text_columns[] = {  // A1, A3-A, AA-2, 1-2, 2-3-1
      {"rptA", 2}, {"rptA", 4}, {"rptAA", 2}, {"rpt相談受付表", 3}, {"rpt相談受付表", 5}};
  for (auto [table, i] : text_columns) EXPECT_EQ(db->TableFields(table)[i].type, kTypeText) << table << " " << i;
  EXPECT_EQ(db->TableFields("rptA")[3].type, kTypeInteger);  // A2-1 keeps its type
  EXPECT_EQ(db->TableFields("rptA")[1].type, kTypeDate);     // and so does the key
  EXPECT_EQ(db->TableFields("rptCAP選定").back().name, "印字用年月日");
  EXPECT_EQ(db->TableFields("rptCAP選定").size(), db->TableFields("CAP選定").size() + 1);

  const Value key = int64_t{4}, date = std::string("2003-04-01");
  AddRow("A", {{"整理番号", key}, {"基準日", date}, {"A1", date}, {"A3-A", int64_t{1}}});
  AddRow("CAP選定", {{"整理番号", key}, {"基準日", date}});
  db->Execute(StagingCopySql(*db, "a") + " WHERE [整理番号]=? AND [基準日]=?", {key, date});
  db->Execute(StagingCopySql(*db, "CAP選定") + " WHERE [整理番号]=?", {key});
  Recordset staged = db->OpenTable("rptA");
  ASSERT_EQ(staged.RecordCount(), 1);
  staged.Edit();
  staged.Set("A1", std::string("平成15年4月1日"));
  staged.Set("A3-A", std::string("ﾚ"));
  staged.Update();
  EXPECT_EQ(staged.Get("A3-A"), Value(std::string("ﾚ")));
  EXPECT_TRUE(IsNull(db->OpenTable("rptCAP選定").Get("印字用年月日")));
  EXPECT_THROW(StagingCopySql(*db, "Z"), StoreError);
}

TEST_F(SchemaTest, CheckControlListsSectionCheckItemsInCatalogueOrder) {
  std::vector<std::string> items;
  for (auto& row : db->Query("SELECT [対象項目] FROM [チェック変換対象] ORDER BY rowid"))
    items.push_back(ValueText(row[0]));
  EXPECT_EQ(items, (std::vector<std::string>{"A3-A", "O1-A", "O1-B"}));
}

TEST(CreateTableTest, KeysAndTypesOfTheCreateStatement) {
  Catalogue catalogue = testing::SmallCatalogue();
  std::vector<TableSpec> tables = StoreTables(catalogue);
  auto find = [&](const std::string& name) -> const TableSpec& {
    for (const TableSpec& t : tables)
      if (t.name == name) return t;
    throw std::runtime_error("no table " + name);
  };
  EXPECT_EQ(find("相談受付表").key, (std::vector<std::string>{"整理番号"}));
  EXPECT_EQ(find("A").key, (std::vector<std::string>{"整理番号", "基準日"}));
  EXPECT_EQ(find("CAP選定").key, (std::vector<std::string>{"整理番号", "基準日"}));
  EXPECT_TRUE(find("rptA").key.empty());
  EXPECT_EQ(CreateTableSql(find("C")),
            "CREATE TABLE [C] ([整理番号] INT NOT NULL, [基準日] TEXT NOT NULL, [C3] INT, [C4] REAL, "
            "PRIMARY KEY ([整理番号], [基準日]))");
}

using DeliveredStoreTest = testing::StoreTest;

TEST_F(DeliveredStoreTest, TheDeliveredCatalogueMakesACompleteStore) {
  for (const char* table : {"相談受付表", "AA", "CAP選定", "rpt相談受付表", "rptAA", "rptCAP選定"})
    EXPECT_NE(db->TableName(table), "") << table;
  AddAssessment(1, "2003-04-01");
  size_t checks = 0;
  for (char letter = 'A'; letter <= 'S'; ++letter) {
    const std::string name(1, letter);
    EXPECT_NE(db->TableName("rpt" + name), "") << name;
    std::vector<FieldInfo> fields = db->TableFields(name);
    EXPECT_EQ(fields[0].name + fields[1].name, "整理番号基準日");
    Recordset rs = db->OpenKey(name, 1);  // every column can be read by the catalogue's name
    for (const FieldInfo& f : fields) EXPECT_NO_THROW(rs.Get(f.name)) << f.name;
    for (const ColumnDef& c : testing::DeliveredCatalogue().Find(name)->columns) checks += c.check;
  }
  // The check control lists the sections' check items, none of AA.
  EXPECT_EQ(db->OpenTable("チェック変換対象").RecordCount(), static_cast<long>(checks));
  EXPECT_EQ(db->Query("SELECT count(*) FROM [チェック変換対象] WHERE [対象項目] LIKE 'AA%'")[0][0], Value(int64_t{0}));
}

TEST(CatalogueTest, ParsesColumnsChoicesAndTables) {
  Catalogue catalogue = testing::SmallCatalogue();
  const TableDef* c = catalogue.Find("c");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->name, "C");
  const ColumnDef* c3 = c->Find("c3");
  ASSERT_NE(c3, nullptr);
  EXPECT_EQ(c3->type, kTypeByte);
  ASSERT_EQ(c3->choices.size(), 2u);
  EXPECT_EQ(c3->choices[1].code, 1);
  EXPECT_EQ(c3->choices[1].text, "できない");
  EXPECT_TRUE(catalogue.Find("O")->Find("o1-a")->check);
  EXPECT_EQ(catalogue.tables().front().name, "相談受付表");
}

TEST(CatalogueTest, MalformedLinesNameTheFileAndLine) {
  const std::string header = "table\tcode\ttype\tsize\tformat\tkind\tcheck\tpage\tgroup\tlabel\tchoices\n";
  struct Case {
    std::string line, message;
  };
  for (const Case& c : std::vector<Case>{
           {"A\tA1\t99\t0\t\tdate\t0\tA\tg\tl\t", "type"},
           {"A\tA1\t10\t0\t\ttext\t0\tA\tg\tl\t", "size"},
           {"A\tA1\t8\t0\t\tdate\t0\tA\tg\tl", "11"},
           {"A\tA1\t2\t0\t\tchoice\t0\tA\tg\tl\t1=x", "code:text"},
           {"A\tA1\t2\t0\t\tchoice\t0\tA\tg\tl\t", "no choices"},
           {"A\tA1\t2\t0\t\twhat\t0\tA\tg\tl\t", "kind"},
           {"A\tA_1\t2\t0\t\tnumber\t0\tA\tg\tl\t", "_"},
           {"A\tA1\t8\t0\t\tdate\t0\tA\tg\tl\t\nA\ta1\t8\t0\t\tdate\t0\tA\tg\tl\t", "twice"},
       }) {
    try {
      Catalogue::Parse("# comment\n" + header + c.line + "\n", "items.tsv");
      ADD_FAILURE() << c.line;
    } catch (const std::runtime_error& e) {
      std::string what = e.what();
      std::string where = c.message == "twice" ? "items.tsv:4:" : "items.tsv:3:";
      EXPECT_EQ(what.rfind(where, 0), 0u) << what;
      EXPECT_NE(what.find(c.message), std::string::npos) << what;
    }
  }
  EXPECT_THROW(Catalogue::Parse("", "x"), std::runtime_error);
  EXPECT_THROW(Catalogue::Parse("table\tcode\n", "x"), std::runtime_error);
  EXPECT_THROW(Catalogue::Load("/no/such/items.tsv"), std::runtime_error);
}

}  // namespace
}  // namespace zelka
