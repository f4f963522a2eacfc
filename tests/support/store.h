// A store in a fresh folder, made from a catalogue, with what the code under
// test works against: the record context, a scripted host and a fake Env
// whose clock stands still; and the small catalogue of the store's own tests.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "host/scripted_host.h"
#include "store/catalogue.h"
#include "store/database.h"
#include "store/record_context.h"
#include "support/temp_dir.h"
#include "util/fake_env.h"

namespace zelka::testing {

// The delivered item catalogue (app/catalogue/items.tsv), loaded once.
const Catalogue& DeliveredCatalogue();

// The intake, the client table and sections A, B, C and O: a column of each kind.
Catalogue SmallCatalogue();
extern const char kSmallCatalogue[];

// Makes an index of the intake table disagree with its rows, as damage only
// the thorough check finds (a compaction copies such an index as it is). An
// empty table gets one row first.
void DamageAnIndex(const std::string& path);

class StoreTest : public ::testing::Test {
 protected:
  explicit StoreTest(const Catalogue& catalogue = DeliveredCatalogue());

  void AddRow(const std::string& table, const std::map<std::string, Value>& values);
  // An assessment as the new-assessment command leaves it: the client's AA
  // row (when new) and a row in every section table A to S the store has.
  void AddAssessment(int64_t number, const std::string& iso_date, const std::string& name = "山田 花子");
  void AddAssessment(int64_t number, const Date& date, const std::string& name = "山田 花子") {
    AddAssessment(number, date.IsoDate(), name);
  }
  // Sets one answer of an assessment (of its client, in AA).
  void Set(const std::string& table, int64_t number, const Date& date, const std::string& column, Value value);
  // The stored value, or the text "<no row>".
  Value Stored(const std::string& table, int64_t number, const std::string& column,
               std::optional<Date> date = std::nullopt);
  int64_t Count(const std::string& table, int64_t number);

  TempDir dir;
  std::string path;  // the database file
  std::unique_ptr<Database> db;
  RecordContext ctx;
  ScriptedHost host;
  FaultInjectingEnv env;
};

class SmallStoreTest : public StoreTest {
 protected:
  SmallStoreTest() : StoreTest(SmallCatalogue()) {}
};

}  // namespace zelka::testing
