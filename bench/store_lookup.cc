// Point lookups of assessment rows by key, the way the CAP engine reads them:
// OpenKey on (整理番号, 基準日) and a few Gets per row, outside and inside one
// read transaction. Prints rows per second.
//   store_lookup [assessments=20000] [catalogue=app/catalogue/items.tsv]
// (run from the repository root, or name the catalogue)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "store/catalogue.h"
#include "store/database.h"

using namespace zelka;

namespace {

std::string DateOf(int i) {
  Date d{2000 + i % 20, 1 + i % 12, 1 + i % 28};
  return d.IsoDate();
}

double ReadAll(Database& db, int assessments, const std::vector<std::string>& tables) {
  auto start = std::chrono::steady_clock::now();
  long rows = 0, sum = 0;
  for (int i = 0; i < assessments; ++i) {
    for (const std::string& t : tables) {
      Recordset rs = db.OpenKey(t, i + 1, Date::FromIso(DateOf(i)));
      if (rs.Eof()) std::abort();
      for (const FieldInfo& f : rs.Fields()) {
        Value v = rs.Get(f.name);
        if (const auto* n = std::get_if<int64_t>(&v)) sum += *n;
      }
      ++rows;
    }
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("  %ld rows in %.2f s (checksum %ld)\n", rows, seconds, sum);
  return rows / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  int assessments = argc > 1 ? std::atoi(argv[1]) : 20000;
  std::string catalogue_path = argc > 2 ? argv[2] : std::string("app/catalogue/items.tsv");
  Catalogue catalogue = Catalogue::Load(catalogue_path);
  std::string path = (std::filesystem::temp_directory_path() / "zelka-bench-lookup.mdb").string();
  std::filesystem::remove(path);
  Database::Create(path, catalogue);
  auto db = Database::Open(path);
  std::vector<std::string> tables;
  for (char c = 'A'; c <= 'S'; ++c) tables.push_back(std::string(1, c));

  db->InTransaction([&] {
    for (const std::string& t : tables) {
      std::string sql = "INSERT INTO [" + t + "] ([整理番号], [基準日]) VALUES (?, ?)";
      for (int i = 0; i < assessments; ++i) db->Execute(sql, {int64_t{i + 1}, DateOf(i)});
    }
  });
  std::printf("%d assessments x %zu section tables\n", assessments, tables.size());
  std::printf("autocommit:\n");
  double plain = ReadAll(*db, assessments / 4, tables);
  std::printf("  %.0f rows/s\n", plain);
  std::printf("one read transaction:\n");
  double batched = 0;
  db->InTransaction([&] { batched = ReadAll(*db, assessments, tables); });
  std::printf("  %.0f rows/s\n", batched);
  db->Close();
  std::filesystem::remove(path);
}
