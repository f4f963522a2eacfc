#include "store/schema.h"

#include <gtest/gtest.h>

#include "support/store.h"

namespace zelka {
namespace {

using SchemaTest = testing::SmallStoreTest;

TEST_F(SchemaTest, CapSelectionHasASlotPairForEveryCatalogueEntry) {
  EXPECT_EQ(db->TableFields(kCapSelectionTable).size(), 3u + 2 * kCapSlots);
  // All 33 entries can fire at once, the longest name in each slot.
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
