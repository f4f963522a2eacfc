#include "support/store.h"

#include <sqlite3.h>

namespace zelka::testing {

const Catalogue& DeliveredCatalogue() {
  static const Catalogue catalogue = Catalogue::Load(SourceAppDir() + "/catalogue/items.tsv");
  return catalogue;
}

const char kSmallCatalogue[] =
    "# table\tcode\ttype\tsize\tformat\tkind\tcheck\tpage\tgroup\tlabel\tchoices\n"
    "table\tcode\ttype\tsize\tformat\tkind\tcheck\tpage\tgroup\tlabel\tchoices\n"
    "相談受付表\t整理番号\t4\t0\t\tkey\t0\t\t\t整理番号\t\n"
    "相談受付表\t受付日時\t8\t0\tyyyy/mm/dd hh:nn\tdatetime\t0\tUKETUKE1\t受付\t受付日時\t\n"
    "相談受付表\t1-1\t10\t10\t\ttext\t0\tUKETUKE1\t本人\t氏名\t\n"
    "相談受付表\t1-2\t2\t0\t\tchoice\t0\tUKETUKE1\t本人\t性別\t1:男|2:女\n"
    "相談受付表\t1-3-1\t8\t0\t\tdate\t0\tUKETUKE1\t本人\t生年月日\t\n"
    "相談受付表\t2-3-1\t2\t0\t\tcheck\t0\tUKETUKE2\t相談\t相談内容1\t\n"
    "相談受付表\t5-9\t12\t0\t\tmemo\t0\tUKETUKE5\t特記\t特記事項\t\n"
    "相談受付表\t1-3-2\t3\t0\t\tnumber\t0\tUKETUKE1\t本人\t年齢\t\n"
    "相談受付表\t5-8\t6\t0\t\tnumber\t0\tUKETUKE5\t特記\t体重\t\n"
    "AA\t整理番号\t4\t0\t\tkey\t0\t\t\t整理番号\t\n"
    "AA\tAA-1\t10\t50\t\ttext\t0\tAA\t基本\t氏名\t\n"
    "AA\tAA-2\t2\t0\t\tchoice\t0\tAA\t基本\t性別\t1:男|2:女\n"
    "AA\tAA-13-A\t2\t0\t\tcheck\t1\tAA\t基本\t確認\t\n"
    "A\t整理番号\t4\t0\t\tkey\t0\t\t\t整理番号\t\n"
    "A\t基準日\t8\t0\t\tkey\t0\t\t\t基準日\t\n"
    "A\tA1\t8\t0\tyyyy/mm/dd\tdate\t0\tA\t基準\t基準日\t\n"
    "A\tA2-1\t3\t0\t\tnumber\t0\tA\t理由\t理由\t\n"
    "A\tA3-A\t2\t0\t\tcheck\t1\tA\t目標\t目標A\t\n"
    "B\t整理番号\t4\t0\t\tkey\t0\t\t\t整理番号\t\n"
    "B\t基準日\t8\t0\t\tkey\t0\t\t\t基準日\t\n"
    "B\tB1-A\t2\t0\t\tnumber\t0\tB\t記憶\t短期\t\n"
    "C\t整理番号\t4\t0\t\tkey\t0\t\t\t整理番号\t\n"
    "C\t基準日\t8\t0\t\tkey\t0\t\t\t基準日\t\n"
    "C\tC3\t2\t0\t\tchoice\t0\tC\t伝達\t理解\t0:できる|1:できない\n"
    "C\tC4\t6\t0\t\tnumber\t0\tC\t伝達\t値\t\n"
    "O\t整理番号\t4\t0\t\tkey\t0\t\t\t整理番号\t\n"
    "O\t基準日\t8\t0\t\tkey\t0\t\t\t基準日\t\n"
    "O\tO1-A\t2\t0\t\tcheck\t1\tO\t薬\t薬A\t\n"
    "O\tO1-B\t2\t0\t\tcheck\t1\tO\t薬\t薬B\t\n"
    "O\tO2-A\t4\t0\t\tnumber\t0\tO\t薬\t数\t\n";

Catalogue SmallCatalogue() { return Catalogue::Parse(kSmallCatalogue, "small"); }

StoreTest::StoreTest(const Catalogue& catalogue) : path(dir.Child("ZELKA20.mdb")) {
  Database::Create(path, catalogue);
  db = Database::Open(path);
  ctx.app_dir = dir.path();
  ctx.db = db.get();
  env.SetNow(Date{2026, 12, 6, 14, 37, 12});
}

void StoreTest::AddRow(const std::string& table, const std::map<std::string, Value>& values) {
  Recordset rows = db->OpenTable(table);
  rows.AddNew();
  for (const auto& [column, value] : values) rows.Set(column, value);
  rows.Update();
}

void StoreTest::AddAssessment(int64_t number, const std::string& iso_date, const std::string& name) {
  db->InTransaction([&] {
    if (Count("AA", number) == 0) AddRow("AA", {{"整理番号", number}, {"AA-1", name}});
    for (char letter = 'A'; letter <= 'S'; ++letter)
      if (!db->TableName(std::string(1, letter)).empty())
        AddRow(std::string(1, letter), {{"整理番号", number}, {"基準日", iso_date}});
  });
}

void StoreTest::Set(const std::string& table, int64_t number, const Date& date, const std::string& column,
                    Value value) {
  const std::string sql = "UPDATE " + QuoteName(table) + " SET " + QuoteName(column) + "=?1 WHERE [整理番号]=?2";
  if (table == "AA")
    db->Execute(sql, {value, number});
  else
    db->Execute(sql + " AND [基準日]=?3", {value, number, date.IsoDate()});
}

Value StoreTest::Stored(const std::string& table, int64_t number, const std::string& column,
                        std::optional<Date> date) {
  Recordset rows = db->OpenKey(table, number, date);
  return rows.Eof() ? Value{std::string("<no row>")} : rows.Get(column);
}

int64_t StoreTest::Count(const std::string& table, int64_t number) {
  return db->OpenKey(table, number).RecordCount();
}

void DamageAnIndex(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db,
               "INSERT INTO [相談受付表]([整理番号], [1-1]) SELECT 990001, 'x'"
               " WHERE NOT EXISTS (SELECT 1 FROM [相談受付表]);"
               "CREATE INDEX probe ON [相談受付表]([1-1]); PRAGMA writable_schema=ON;"
               "UPDATE sqlite_master SET sql='CREATE INDEX probe ON [相談受付表]([整理番号])' WHERE name='probe'",
               nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

}  // namespace zelka::testing
