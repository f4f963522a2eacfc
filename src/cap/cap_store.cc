#include "cap/cap_store.h"

#include "cap/cap_catalogue.h"
#include "cap/statement.h"

namespace zelka {

namespace {

Value KeyDate(const AssessmentKey& key) { return key.reference_date.IsoDate(); }

std::string SlotColumns() {
  std::string columns;
  for (int slot = 1; slot <= kCapSlots; ++slot)
    columns += ", " + QuoteName(CapNumberColumn(slot)) + ", " + QuoteName(CapNameColumn(slot));
  return columns;
}

std::string NumberColumns() {
  std::string columns;
  for (int slot = 1; slot <= kCapSlots; ++slot) columns += ", " + QuoteName(CapNumberColumn(slot));
  return columns;
}

std::string TextOrEmpty(const Value& value) { return IsNull(value) ? std::string() : ValueText(value); }

// TextOrEmpty of a stored cell, into a string kept across rows.
void AssignText(sqlite3_value* cell, std::string& text) {
  switch (sqlite3_value_type(cell)) {
    case SQLITE_NULL:
      text.clear();
      break;
    case SQLITE_TEXT:
      text.assign(cap_sql::TextOf(cell));
      break;
    default:
      text = ValueText(cap_sql::ValueOf(cell));
  }
}

}  // namespace

CapStore::CapStore(Database& db) : db_(db) {}
CapStore::~CapStore() = default;

CapStore::Statement& CapStore::Prepared(const std::string& sql) {
  auto& slot = statements_[sql];
  if (!slot) slot = std::make_unique<Statement>(db_.handle(), sql);
  return slot->Start();
}

std::vector<AssessmentKey> CapStore::Assessments() {
  std::vector<AssessmentKey> keys;
  Statement& query = Prepared("SELECT [整理番号], [基準日] FROM [A]");
  while (query.Step()) {
    AssessmentKey key;
    key.record_number = GetNum(query.Get(0));
    std::string date = TextOrEmpty(query.Get(1));
    auto parsed = Date::FromIso(date);
    if (!parsed) throw StoreError("整理番号 " + std::to_string(key.record_number) + " の基準日 \"" + date + "\" が読めません");
    key.reference_date = parsed->DateOnly();
    keys.push_back(key);
  }
  return keys;
}

void CapStore::DeleteSelection(const AssessmentKey& key) {
  db_.DeleteKey(kCapSelectionTable, key.record_number, key.reference_date);
}

void CapStore::DeleteAllSelections() { db_.DeleteAll(kCapSelectionTable); }

void CapStore::SaveSelection(const AssessmentKey& key, std::string_view client_name, uint64_t triggered) {
  static const std::string sql = [] {
    std::string text = std::string("INSERT INTO [") + kCapSelectionTable + "] ([整理番号], [基準日], [利用者名]" +
                       SlotColumns() + ") VALUES (?1, ?2, ?3";
    for (int i = 0; i < 2 * kCapSlots; ++i) text += ", ?" + std::to_string(4 + i);
    return text + ")";
  }();
  if (!insert_) insert_ = &Prepared(sql);
  Statement& insert = insert_->Start();
  insert.Bind(1, key.record_number);
  insert.Bind(2, KeyDate(key));
  insert.BindText(3, client_name);
  int slot = 0;
  for (int i = 0; i < kCapCount; ++i) {
    if (!(triggered >> i & 1)) continue;
    if (slot == kCapSlots) throw CapError("CAP選定の枠(" + std::to_string(kCapSlots) + ")を超えてCAPが選定されました");
    insert.BindStatic(4 + 2 * slot, kCapCatalogue[i].number);
    insert.BindStatic(5 + 2 * slot, kCapCatalogue[i].name);
    ++slot;
  }
  insert.Step();
}

std::optional<std::vector<CapSlot>> CapStore::ReadSlots(const AssessmentKey& key) {
  Statement& query = Prepared(std::string("SELECT [整理番号]") + SlotColumns() + " FROM [" + kCapSelectionTable +
                              "] WHERE [整理番号]=?1 AND [基準日]=?2");
  query.Bind(1, key.record_number);
  query.Bind(2, KeyDate(key));
  if (!query.Step()) return std::nullopt;
  std::vector<CapSlot> slots;
  for (int slot = 0; slot < kCapSlots; ++slot)
    slots.push_back({TextOrEmpty(query.Get(1 + 2 * slot)), TextOrEmpty(query.Get(2 + 2 * slot))});
  query.Finish();
  return slots;
}

void CapStore::ForEachSelection(
    const std::function<void(int64_t, const std::vector<std::string>&)>& visit) {
  Statement& query = Prepared(std::string("SELECT [整理番号]") + NumberColumns() + " FROM [" + kCapSelectionTable + "]");
  std::vector<std::string> numbers(kCapSlots);
  while (query.Step()) {
    for (int slot = 0; slot < kCapSlots; ++slot) AssignText(query.Cell(1 + slot), numbers[slot]);
    visit(GetNum(query.Get(0)), numbers);
  }
}

SmallPageCache::SmallPageCache(Database& db) : db_(db) {
  cap_sql::Statement query(db.handle(), "PRAGMA cache_size");
  if (query.Start().Step()) previous_ = GetNum(query.Get(0));
  Set(-8192);  // 8 MiB
}

SmallPageCache::~SmallPageCache() { Set(previous_); }

void SmallPageCache::Set(int64_t size) {
  sqlite3_exec(db_.handle(), ("PRAGMA cache_size=" + std::to_string(size)).c_str(), nullptr, nullptr, nullptr);
}

}  // namespace zelka
