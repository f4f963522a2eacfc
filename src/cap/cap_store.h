// The CAP engine's access to the store: the keys of the assessments and the
// rows of CAP選定. Works on the caller's connection and inside the caller's
// transaction.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cap/answers.h"
#include "cap/selection.h"
#include "store/database.h"
#include "store/schema.h"

namespace zelka {

namespace cap_sql {
class Statement;
}

class CapStore {
 public:
  explicit CapStore(Database& db);
  ~CapStore();
  CapStore(const CapStore&) = delete;
  CapStore& operator=(const CapStore&) = delete;

  Database& db() { return db_; }

  // The keys of every row of table A, in stored order.
  std::vector<AssessmentKey> Assessments();

  void DeleteSelection(const AssessmentKey& key);
  void DeleteAllSelections();
  // Adds the CAP選定 row of an assessment: its client's name and, slot by
  // slot, the triggered catalogue positions (bit i for position i) in order.
  void SaveSelection(const AssessmentKey& key, std::string_view client_name, uint64_t triggered);
  // The slots of an assessment's CAP選定 row (every slot, "" where empty), or
  // nullopt when the assessment has no row.
  std::optional<std::vector<CapSlot>> ReadSlots(const AssessmentKey& key);
  // Every CAP選定 row in stored order: its 整理番号 and the CAP numbers of its slots.
  void ForEachSelection(const std::function<void(int64_t record_number,
                                                 const std::vector<std::string>& numbers)>& visit);

 private:
  using Statement = cap_sql::Statement;
  Statement& Prepared(const std::string& sql);

  Database& db_;
  std::map<std::string, std::unique_ptr<Statement>> statements_;  // by SQL text
  Statement* insert_ = nullptr;  // SaveSelection's, found once
};

// The page cache of a connection set smaller while this lives: streaming
// reads need few pages, and a pass over every assessment would otherwise fill
// the whole cache with pages it never reads again.
class SmallPageCache {
 public:
  explicit SmallPageCache(Database& db);
  ~SmallPageCache();
  SmallPageCache(const SmallPageCache&) = delete;
  SmallPageCache& operator=(const SmallPageCache&) = delete;

 private:
  void Set(int64_t size);
  Database& db_;
  int64_t previous_ = -2000;  // SQLite's default
};

}  // namespace zelka
