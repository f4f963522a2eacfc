// Fills a program directory with generated assessments for the CAP benchmarks:
//   fill_assessments DIR [N=100000] [SOURCE_APP_DIR=app] [ORDER=date]
// Several assessments per client, answers drawn at random from each item's
// coded choices, numbers (such as the count of medicines) from 0 to 12, about
// one answer in ten left unanswered, check items ticked now and then. Creates DIR/ZELKA20.mdb and copies the templates and settings.
// ORDER "date" stores the assessments in the order of their dates, as a
// store grows in use (a client's later assessments come after other
// clients' earlier ones); "client" stores each client's assessments together,
// so that the stored order is the key order.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>

#include "store/catalogue.h"
#include "store/database.h"

using namespace zelka;

int main(int argc, char** argv) {
  const std::string order = argc > 4 ? argv[4] : "date";
  if (argc < 2 || (order != "date" && order != "client")) {
    std::cerr << "usage: fill_assessments DIR [N] [SOURCE_APP_DIR] [date|client]\n";
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

  // Client n has its assessments on the first of month 1 + (n - 1) mod 12 of 2003, 2004, ...
  struct Planned {
    long client;  // from 1
    int k;        // the client's k-th assessment, from 0
    std::string date;
  };
  std::mt19937 random(20261206);
  std::vector<Planned> plan;
  long clients = 0;
  while (static_cast<long>(plan.size()) < count) {
    ++clients;
    int per_client = 1 + random() % 4;
    for (int k = 0; k < per_client && static_cast<long>(plan.size()) < count; ++k) {
      char date[16];
      std::snprintf(date, sizeof date, "20%02d-%02d-01", 3 + k, 1 + int((clients - 1) % 12));
      plan.push_back({clients, k, date});
    }
  }
  if (order == "date")
    std::stable_sort(plan.begin(), plan.end(), [](const Planned& a, const Planned& b) { return a.date < b.date; });

  auto answer = [&](const ColumnDef& column) -> Value {
    if (random() % 10 == 0) return std::monostate{};
    if (column.check) return int64_t(random() % 4 == 0);
    if (!column.choices.empty()) return int64_t(column.choices[random() % column.choices.size()].code);
    if (column.kind == "number") return int64_t(random() % 13);
    return std::monostate{};
  };
  auto insert = [&](const TableDef& table, std::string names, std::vector<Value> values) {
    std::string marks;
    for (size_t i = 1; i <= values.size(); ++i) marks += (i > 1 ? ", ?" : "?") + std::to_string(i);
    for (const ColumnDef& c : table.columns) {
      if (c.kind != "choice" && c.kind != "check" && c.kind != "number") continue;
      names += ", " + QuoteName(c.code);
      values.push_back(answer(c));
      marks += ", ?" + std::to_string(values.size());
    }
    db->Execute("INSERT INTO " + QuoteName(table.name) + " (" + names + ") VALUES (" + marks + ")", values);
  };
  db->InTransaction([&] {
    for (const Planned& p : plan) {
      for (const TableDef& table : catalogue.tables()) {
        if (table.name == "AA" && p.k == 0)
          insert(table, "[整理番号], [AA-1]", {int64_t(p.client), "利用者" + std::to_string(p.client)});
        else if (table.name.size() == 1)
          insert(table, "[整理番号], [基準日]", {int64_t(p.client), p.date});
      }
    }
  });
  std::cout << count << " assessments of " << clients << " clients in " << dir << " (" << order << " order)\n";
  return 0;
}
