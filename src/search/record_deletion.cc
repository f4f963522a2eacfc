#include "search/record_deletion.h"

#include <string>

#include "store/record_context.h"

namespace zelka {

namespace {

constexpr char kCapSelectionTable[] = "CAP選定";

// Runs `delete_rows` for each section table A … S, in letter order.
template <typename F>
void ForEachSection(F&& delete_rows) {
  for (char letter = 'A'; letter <= 'S'; ++letter) delete_rows(std::string(1, letter));
}

}  // namespace

void AssessmentDel(Database& db, int64_t record_number, const Date& reference_date) {
  // Without a date the key would name every assessment of the client.
  if (reference_date.IsZero())
    throw StoreError("整理番号[" + std::to_string(record_number) + "] のアセスメント基準日がありません");
  const Date day = reference_date.DateOnly();
  db.InTransaction([&] {
    ForEachSection([&](const std::string& table) { db.DeleteKey(table, record_number, day); });
    db.DeleteKey(kCapSelectionTable, record_number, day);
    // The client's basic data goes with the client's last assessment.
    if (db.OpenKey("A", record_number).Eof()) db.DeleteKey("AA", record_number);
  });
}

void DeleteClient(Database& db, int64_t record_number) {
  db.InTransaction([&] {
    db.DeleteKey(kIntakeTable, record_number);
    db.DeleteKey("AA", record_number);
    ForEachSection([&](const std::string& table) { db.DeleteKey(table, record_number); });
    db.DeleteKey(kCapSelectionTable, record_number);
  });
}

}  // namespace zelka
