// Fills a program directory with generated assessments for the CAP benchmarks:
//   fill_assessments DIR [N=100000] [SOURCE_APP_DIR=app]
// Several assessments per client, answers drawn at random from each item's
// coded choices (about one in ten left unanswered), check items ticked now
// and then. Creates DIR/ZELKA20.mdb and copies the templates and settings.
#include <filesystem>
#include <iostream>
#include <random>
#include <string>

#include "store/catalogue.h"
#include "store/database.h"

using namespace zelka;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: fill_assessments DIR [N] [SOURCE_APP_DIR]\n";
    return 2;
  }
  const std::string dir = argv[1];
  const long count = argc > 2 ? std::stol(argv[2]) : 100000;
  const std::string source = argc > 3 ? argv[3] : "app";
  std::filesystem::create_directories(dir);
  for (const char* file : {"CAP_BEGIN_RTF.DAT", "CAP_BOTTOM_RTF.DAT", "ZELKA20.PRA"})
    std::filesystem::copy_file(source + "/" + file, dir + "/" + file,
                               std::filesystem::copy_options::overwrite_existing);
  std::filesystem::remove(dir + "/ZELKA20.mdb");
  Catalogue catalogue = Catalogue::Load(source + "/catalogue/items.tsv");
  Database::Create(dir + "/ZELKA20.mdb", catalogue);
  auto db = Database::Open(dir + "/ZELKA20.mdb");

  std::mt19937 random(20261206);
  auto answer = [&](const ColumnDef& column) -> Value {
    if (random() % 10 == 0) return std::monostate{};
    if (column.check) return int64_t(random() % 4 == 0);
    if (!column.choices.empty()) return int64_t(column.choices[random() % column.choices.size()].code);
    return std::monostate{};
  };
  db->InTransaction([&] {
    long client = 0;
    for (long done = 0; done < count; ++client) {
      int per_client = 1 + random() % 4;
      for (const TableDef& table : catalogue.tables()) {
        if (table.name != "AA") continue;
        std::string names = "[整理番号], [AA-1]", marks = "?1, ?2";
        std::vector<Value> values{int64_t(client + 1), std::string("利用者") + std::to_string(client + 1)};
        for (const ColumnDef& c : table.columns) {
          if (c.kind != "choice" && c.kind != "check") continue;
          names += ", " + QuoteName(c.code);
          values.push_back(answer(c));
          marks += ", ?" + std::to_string(values.size());
        }
        db->Execute("INSERT INTO [AA] (" + names + ") VALUES (" + marks + ")", values);
      }
      for (int k = 0; k < per_client && done < count; ++k, ++done) {
        char date[16];
        std::snprintf(date, sizeof date, "20%02d-%02d-01", 3 + k, 1 + int(client % 12));
        for (const TableDef& table : catalogue.tables()) {
          if (table.name.size() != 1) continue;
          std::string names = "[整理番号], [基準日]", marks = "?1, ?2";
          std::vector<Value> values{int64_t(client + 1), std::string(date)};
          for (const ColumnDef& c : table.columns) {
            if (c.kind != "choice" && c.kind != "check") continue;
            names += ", " + QuoteName(c.code);
            values.push_back(answer(c));
            marks += ", ?" + std::to_string(values.size());
          }
          db->Execute("INSERT INTO " + QuoteName(table.name) + " (" + names + ") VALUES (" + marks + ")", values);
        }
      }
    }
    std::cout << count << " assessments of " << client << " clients in " << dir << "\n";
  });
  return 0;
}
