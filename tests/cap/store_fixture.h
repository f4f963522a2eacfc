// A program directory with a fresh store (from the real catalogue), the
// delivered templates and settings file, and helpers to add assessments.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "store/catalogue.h"
#include "store/database.h"
#include "support/temp_dir.h"

namespace zelka::testing {

class StoreFixture {
 public:
  StoreFixture() {
    namespace fs = std::filesystem;
    for (const char* file : {"CAP_BEGIN_RTF.DAT", "CAP_BOTTOM_RTF.DAT", "ZELKA20.PRA"})
      fs::copy_file(SourceAppDir() + "/" + file, dir.Child(file));
    Database::Create(dir.Child("ZELKA20.mdb"), Catalogue::Load(SourceAppDir() + "/catalogue/items.tsv"));
    db = Database::Open(dir.Child("ZELKA20.mdb"));
  }

  // The client's AA row (when new) and the assessment's rows of A to S.
  void AddAssessment(int64_t record_number, const Date& date, const std::string& name = "山田 花子") {
    if (db->Query("SELECT 1 FROM [AA] WHERE [整理番号]=?1", {record_number}).empty())
      db->Execute("INSERT INTO [AA] ([整理番号], [AA-1]) VALUES (?1, ?2)", {record_number, name});
    for (char letter = 'A'; letter <= 'S'; ++letter)
      db->Execute("INSERT INTO [" + std::string(1, letter) + "] ([整理番号], [基準日]) VALUES (?1, ?2)",
                  {record_number, date.IsoDate()});
  }
  void Set(const std::string& table, int64_t record_number, const Date& date, const std::string& column,
           Value value) {
    std::string sql = "UPDATE [" + table + "] SET [" + column + "]=?1 WHERE [整理番号]=?2";
    if (table == "AA") {
      db->Execute(sql, {value, record_number});
    } else {
      db->Execute(sql + " AND [基準日]=?3", {value, record_number, date.IsoDate()});
    }
  }
  std::vector<std::vector<Value>> Rows(const std::string& sql) { return db->Query(sql); }

  TempDir dir;
  std::unique_ptr<Database> db;
};

}  // namespace zelka::testing
