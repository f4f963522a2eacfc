#include "cap/answer_reader.h"

#include <unordered_map>

#include "cap/statement.h"
#include "store/schema.h"

namespace zelka {

namespace {

// A 基準日 as the key compares it: the ISO text "YYYY-MM-DD" as the number
// YYYYMMDD. Texts of any other form match no key (-1); a key whose ISO text
// would not have that form matches no text (-2).
int64_t PackedDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return -1;
  int64_t packed = 0;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (text[i] < '0' || text[i] > '9') return -1;
    packed = packed * 10 + (text[i] - '0');
  }
  return packed;
}

int64_t PackedDate(const Date& date) {
  if (date.year < 0 || date.year > 9999 || date.month < 0 || date.month > 99 || date.day < 0 || date.day > 99)
    return -2;
  return (int64_t{date.year} * 100 + date.month) * 100 + date.day;
}

// The answer a rule reads from a stored cell: AnswerCode(GetNum(ValueOf(cell))),
// without making the Value.
int8_t CodeOf(sqlite3_value* cell) {
  switch (sqlite3_value_type(cell)) {
    case SQLITE_INTEGER:
      return AnswerCode(sqlite3_value_int64(cell));
    case SQLITE_NULL:
      return -1;
    case SQLITE_FLOAT:
      return AnswerCode(RealNum(sqlite3_value_double(cell)));
    default:  // text, and a blob read as text
      return AnswerCode(TextNum(reinterpret_cast<const char*>(sqlite3_value_text(cell))));
  }
}

// Finds the blocks of the sheet for a table's rows by their keys.
class KeyIndex {
 public:
  explicit KeyIndex(AnswerSheet& sheet)
      : sheet_(sheet), block_keys_(sheet.size(), Key{0, -4}), next_of_client_(sheet.size(), -1) {
    const std::vector<AssessmentKey>& keys = sheet.keys();
    by_key_.reserve(keys.size());
    std::unordered_map<int64_t, int64_t> last_of_client;
    for (size_t i = 0; i < keys.size(); ++i) {
      const int64_t number = keys[i].record_number;
      auto [held, added] = by_key_.emplace(Key{number, PackedDate(keys[i].reference_date)}, i);
      if (!added) {  // a repeated key: its answers are those of the first
        repeats_.emplace_back(held->second, i);
        continue;
      }
      auto [last, new_client] = last_of_client.emplace(number, static_cast<int64_t>(i));
      if (new_client) {
        first_of_client_.emplace(number, i);
      } else {
        next_of_client_[last->second] = static_cast<int64_t>(i);
        last->second = static_cast<int64_t>(i);
      }
    }
  }

  // Starts the next table.
  void Restart() { last_ = -1; }

  // The block of the assessment with this key, or -1. A table's rows go to
  // the blocks one after the other when the table is stored in the order of
  // the table read first (an assessment's rows are added together), so the
  // block after the last found is tried first.
  int64_t Find(int64_t number, int64_t date) {
    const Key key{number, date};
    size_t guess = static_cast<size_t>(last_ + 1);
    if (guess < block_keys_.size() && block_keys_[guess] == key) return last_ = static_cast<int64_t>(guess);
    auto held = by_key_.find(key);
    if (held == by_key_.end()) return -1;
    size_t block = sheet_.Block(held->second);
    block_keys_[block] = key;
    return last_ = static_cast<int64_t>(block);
  }

  // The first assessment of a client (-1 when none), and the next one after it.
  int64_t FirstOfClient(int64_t number) const {
    auto found = first_of_client_.find(number);
    return found == first_of_client_.end() ? -1 : static_cast<int64_t>(found->second);
  }
  int64_t NextOfClient(int64_t assessment) const { return next_of_client_[assessment]; }

  // (first, later) for every key that table A repeats.
  const std::vector<std::pair<size_t, size_t>>& repeats() const { return repeats_; }

 private:
  struct Key {
    int64_t number, date;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& key) const {
      uint64_t h = static_cast<uint64_t>(key.number) * 0x9E3779B97F4A7C15u ^ static_cast<uint64_t>(key.date);
      h = (h ^ (h >> 29)) * 0xBF58476D1CE4E5B9u;
      return static_cast<size_t>(h ^ (h >> 32));
    }
  };
  AnswerSheet& sheet_;
  std::vector<Key> block_keys_;  // the key of each block given out here
  std::vector<int64_t> next_of_client_;
  std::unordered_map<Key, size_t, KeyHash> by_key_;
  std::unordered_map<int64_t, size_t> first_of_client_;
  std::vector<std::pair<size_t, size_t>> repeats_;
  int64_t last_ = -1;
};

// Reads one table of kRuleItems into the sheet; `one` limits the query to that key.
void ReadTable(Database& db, int table, AnswerSheet& sheet, KeyIndex& index, const AssessmentKey* one) {
  const std::string name = db.TableName(kRuleItems[table].table);
  if (name.empty()) {
    sheet.SetTableMissing(table);
    return;
  }
  const bool by_client = table == kClientTable;
  const int first_slot = kFirstSlot[table], slots = kFirstSlot[table + 1] - first_slot;
  const std::vector<FieldInfo> fields = db.TableFields(name);
  auto field_of = [&](std::string_view code) -> const FieldInfo* {
    for (const FieldInfo& field : fields)
      if (SameNameIgnoringCase(field.name, code)) return &field;
    return nullptr;
  };

  std::string sql = "SELECT " + QuoteName(kRecordNumberColumn);
  if (!by_client) sql += ", " + QuoteName(kReferenceDateColumn);
  const int first_column = by_client ? 1 : 2;
  std::vector<int> column_of(slots, -1);  // the query's column of each slot, -1 when the table lacks it
  int columns = first_column;
  for (int k = 0; k < slots; ++k) {
    if (const FieldInfo* field = field_of(kItemInfo[first_slot + k].code)) {
      sql += ", " + QuoteName(field->name);
      column_of[k] = columns++;
    }
  }
  int name_column = -1;
  if (by_client) {
    if (const FieldInfo* field = field_of("AA-1")) {
      sql += ", " + QuoteName(field->name);
      name_column = columns++;
    } else {
      sheet.SetNameColumnMissing();
    }
  }
  sql += " FROM " + QuoteName(name);
  if (one) sql += by_client ? " WHERE [整理番号]=?1" : " WHERE [整理番号]=?1 AND [基準日]=?2";

  cap_sql::Statement query(db.handle(), sql);
  query.Start();
  if (one) {
    query.Bind(1, one->record_number);
    if (!by_client) query.Bind(2, one->reference_date.IsoDate());
  }
  index.Restart();
  std::vector<int8_t> codes(slots);
  std::vector<size_t> blocks;  // of the row's assessments
  while (query.Step()) {
    // A 整理番号 other than a whole number, or a 基準日 other than text, is no key's.
    sqlite3_value* number = query.Cell(0);
    const bool whole = sqlite3_value_type(number) == SQLITE_INTEGER;
    blocks.clear();
    if (by_client) {
      if (whole)
        for (int64_t a = index.FirstOfClient(sqlite3_value_int64(number)); a >= 0; a = index.NextOfClient(a))
          blocks.push_back(sheet.Block(a));
    } else if (whole && sqlite3_value_type(query.Cell(1)) == SQLITE_TEXT) {
      int64_t block = index.Find(sqlite3_value_int64(number), PackedDate(cap_sql::TextOf(query.Cell(1))));
      if (block >= 0) blocks.push_back(block);
    }
    if (blocks.empty()) continue;
    for (int k = 0; k < slots; ++k) codes[k] = column_of[k] < 0 ? 0 : CodeOf(query.Cell(column_of[k]));
    for (size_t block : blocks) {
      if (!sheet.TakeRow(block, table)) continue;
      for (int k = 0; k < slots; ++k) {
        if (column_of[k] < 0) {
          sheet.SetMissingColumn(block, first_slot + k);
          continue;
        }
        sheet.SetCode(block, first_slot + k, codes[k]);
        if (sheet.keeps_values()) sheet.KeepValue(block, first_slot + k, query.Get(column_of[k]));
      }
      if (name_column >= 0 && sqlite3_value_type(query.Cell(name_column)) != SQLITE_NULL)
        sheet.SetClientName(block, ValueText(query.Get(name_column)));
    }
  }
}

AnswerSheet Read(Database& db, std::vector<AssessmentKey> keys, const AssessmentKey* one, bool keep_values) {
  AnswerSheet sheet(std::move(keys), keep_values);
  KeyIndex index(sheet);
  // The section tables first, so that the blocks follow their stored order.
  for (int table = 0; table < kRuleTableCount; ++table)
    if (table != kClientTable) ReadTable(db, table, sheet, index, one);
  ReadTable(db, kClientTable, sheet, index, one);
  for (auto [first, later] : index.repeats()) sheet.CopyAnswers(first, later);
  return sheet;
}

}  // namespace

AnswerSheet ReadAllAnswers(Database& db, std::vector<AssessmentKey> keys) {
  return Read(db, std::move(keys), nullptr, false);
}

AnswerSheet ReadAnswers(Database& db, const AssessmentKey& key, bool keep_values) {
  return Read(db, {key}, &key, keep_values);
}

}  // namespace zelka
