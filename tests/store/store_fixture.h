// A small catalogue and a fresh store made from it, for the store's tests.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

#include "store/catalogue.h"
#include "store/database.h"
#include "support/temp_dir.h"

namespace zelka::testing {

inline const char kSmallCatalogue[] =
    "# table\tcode\ttype\tsize\tformat\tkind\tcheck\tpage\tgroup\tlabel\tchoices\n"
    "table\tcode\ttype\tsize\tformat\tkind\tcheck\tpage\tgroup\tlabel\tchoices\n"
    "相談受付表\t整理番号\t4\t0\t\tkey\t0\t\t\t整理番号\t\n"
    "相談受付表\t受付日時\t8\t0\tyyyy/mm/dd hh:nn\tdatetime\t0\tUKETUKE1\t受付\t受付日時\t\n"
    "相談受付表\t1-1\t10\t10\t\ttext\t0\tUKETUKE1\t本人\t氏名\t\n"
    "相談受付表\t1-2\t2\t0\t\tchoice\t0\tUKETUKE1\t本人\t性別\t1:男|2:女\n"
    "相談受付表\t1-3-1\t8\t0\t\tdate\t0\tUKETUKE1\t本人\t生年月日\t\n"
    "相談受付表\t2-3-1\t2\t0\t\tcheck\t0\tUKETUKE2\t相談\t相談内容1\t\n"
    "相談受付表\t5-9\t12\t0\t\tmemo\t0\tUKETUKE5\t特記\t特記事項\t\n"
    "AA\t整理番号\t4\t0\t\tkey\t0\t\t\t整理番号\t\n"
    "AA\tAA-1\t10\t50\t\ttext\t0\tAA\t基本\t氏名\t\n"
    "AA\tAA-2\t2\t0\t\tchoice\t0\tAA\t基本\t性別\t1:男|2:女\n"
    "AA\tAA-13-A\t2\t0\t\tcheck\t1\tAA\t基本\t確認\t\n"
    "A\t整理番号\t4\t0\t\tkey\t0\t\t\t整理番号\t\n"
    "A\t基準日\t8\t0\t\tkey\t0\t\t\t基準日\t\n"
    "A\tA1\t8\t0\tyyyy/mm/dd\tdate\t0\tA\t基準\t基準日\t\n"
    "A\tA2-1\t3\t0\t\tnumber\t0\tA\t理由\t理由\t\n"
    "A\tA3-A\t2\t0\t\tcheck\t1\tA\t目標\t目標A\t\n"
    "C\t整理番号\t4\t0\t\tkey\t0\t\t\t整理番号\t\n"
    "C\t基準日\t8\t0\t\tkey\t0\t\t\t基準日\t\n"
    "C\tC3\t2\t0\t\tchoice\t0\tC\t伝達\t理解\t0:できる|1:できない\n"
    "C\tC4\t6\t0\t\tnumber\t0\tC\t伝達\t値\t\n"
    "O\t整理番号\t4\t0\t\tkey\t0\t\t\t整理番号\t\n"
    "O\t基準日\t8\t0\t\tkey\t0\t\t\t基準日\t\n"
    "O\tO1-A\t2\t0\t\tcheck\t1\tO\t薬\t薬A\t\n"
    "O\tO1-B\t2\t0\t\tcheck\t1\tO\t薬\t薬B\t\n"
    "O\tO2-A\t4\t0\t\tnumber\t0\tO\t薬\t数\t\n";

// Makes an index of the intake table disagree with its rows, as damage only
// the thorough check finds (a compaction copies such an index as it is). An
// empty table gets one row first.
inline void DamageAnIndex(const std::string& path) {
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

inline Catalogue SmallCatalogue() { return Catalogue::Parse(kSmallCatalogue, "small"); }

// A fresh database from the small catalogue in a temporary folder.
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.Child("ZELKA20.mdb");
    Database::Create(path_, SmallCatalogue());
    db_ = Database::Open(path_);
  }
  TempDir dir_;
  std::string path_;
  std::unique_ptr<Database> db_;
};

}  // namespace zelka::testing
