#include "cap/key_ordered_rows.h"

#include <algorithm>

#include "cap/statement.h"

namespace zelka {

namespace {

bool IsClientTable(const std::string& table) { return SameNameIgnoringCase(table, "AA"); }

// The order of the streaming queries (SQLite's): Null, then numbers by value,
// then texts by their bytes, then blobs. Returns <0, 0 or >0 for a stored
// 整理番号 against the wanted one.
int CompareRecordNumber(sqlite3_value* held, int64_t wanted) {
  switch (sqlite3_value_type(held)) {
    case SQLITE_NULL:
      return -1;
    case SQLITE_INTEGER: {
      int64_t number = sqlite3_value_int64(held);
      return number < wanted ? -1 : number > wanted ? 1 : 0;
    }
    case SQLITE_FLOAT:  // never equal: INT columns keep whole numbers as integers
      return sqlite3_value_double(held) < static_cast<double>(wanted) ? -1 : 1;
    default:
      return 1;
  }
}

int CompareDate(sqlite3_value* held, std::string_view wanted) {
  switch (sqlite3_value_type(held)) {
    case SQLITE_TEXT: {
      int order = cap_sql::TextOf(held).compare(wanted);
      return order < 0 ? -1 : order > 0 ? 1 : 0;
    }
    case SQLITE_BLOB:
      return 1;
    default:
      return -1;
  }
}

}  // namespace

// One table's streaming query. The key columns come first (整理番号, then
// 基準日 unless the table is AA); the other columns read follow. The query is (re)opened at the wanted key whenever its
// column list has grown.
class KeyOrderedRows::Cursor {
 public:
  Cursor(Database& db, std::string table) : db_(db), table_(std::move(table)), by_client_(IsClientTable(table_)) {
    for (const FieldInfo& field : db.TableFields(table_)) fields_.push_back(field.name);
    Widen("整理番号");
    if (!by_client_) Widen("基準日");
  }

  const std::string& table() const { return table_; }

  // Adds a column of the table to those read; false when the table has no
  // such column or it is read already.
  bool Widen(std::string_view column) {
    for (const std::string& field : fields_) {
      if (!SameNameIgnoringCase(field, column)) continue;
      if (index_ && index_->Find(field) >= 0) return false;
      read_.push_back(field);
      index_ = std::make_shared<const ColumnIndex>(read_);
      query_.reset();
      return true;
    }
    return false;
  }

  // Whether a key comes before the last key asked for (the stream cannot go back).
  bool Behind(int64_t record_number, std::string_view date) const {
    if (!asked_) return false;
    if (record_number != last_number_) return record_number < last_number_;
    return !by_client_ && date < last_date_;
  }

  std::optional<SectionRow> Fetch(int64_t record_number, std::string_view date) {
    asked_ = true;
    last_number_ = record_number;
    last_date_.assign(date);
    if (!query_) Open(record_number, date);
    int order = 1;
    while (on_row_ && (order = Compare(record_number, date)) < 0) on_row_ = query_->Step();
    if (!on_row_ || order != 0) return std::nullopt;
    std::vector<Value> values(read_.size());
    for (size_t i = 0; i < values.size(); ++i) values[i] = query_->Get(static_cast<int>(i));
    return SectionRow(table_, index_, std::move(values), true);
  }

 private:
  void Open(int64_t record_number, std::string_view date) {
    std::string sql = "SELECT ";
    for (size_t i = 0; i < read_.size(); ++i) sql += (i ? ", " : "") + QuoteName(read_[i]);
    sql += " FROM " + QuoteName(table_);
    if (by_client_) {
      sql += " WHERE [整理番号] >= ?1 ORDER BY [整理番号]";
    } else {
      sql += " WHERE ([整理番号], [基準日]) >= (?1, ?2) ORDER BY [整理番号], [基準日]";
    }
    query_ = std::make_unique<cap_sql::Statement>(db_.handle(), sql);
    query_->Start();
    query_->Bind(1, record_number);
    if (!by_client_) query_->Bind(2, std::string(date));
    on_row_ = query_->Step();
  }

  int Compare(int64_t record_number, std::string_view date) const {
    int order = CompareRecordNumber(query_->Cell(0), record_number);
    if (order != 0 || by_client_) return order;
    return CompareDate(query_->Cell(1), date);
  }

  Database& db_;
  std::string table_;
  bool by_client_;
  std::vector<std::string> fields_;  // every column of the table
  std::vector<std::string> read_;    // the columns the query reads
  std::shared_ptr<const ColumnIndex> index_;
  std::unique_ptr<cap_sql::Statement> query_;
  bool on_row_ = false;
  bool asked_ = false;
  int64_t last_number_ = 0;
  std::string last_date_;
};

KeyOrderedRows::KeyOrderedRows(CapStore& store) : store_(store) {}
KeyOrderedRows::~KeyOrderedRows() = default;

KeyOrderedRows::Cursor& KeyOrderedRows::CursorOf(const std::string& table) {
  for (auto& cursor : cursors_)
    if (SameNameIgnoringCase(cursor->table(), table)) return *cursor;
  std::string name = store_.db().TableName(table);
  if (name.empty()) throw StoreError("表 " + table + " がありません");
  for (auto& cursor : cursors_)
    if (cursor->table() == name) return *cursor;
  return *cursors_.emplace_back(std::make_unique<Cursor>(store_.db(), name));
}

std::optional<SectionRow> KeyOrderedRows::Fetch(const std::string& table, const AssessmentKey& key) {
  if (key.record_number != last_key_.record_number || key.reference_date != last_key_.reference_date ||
      last_date_.empty()) {
    last_key_ = key;
    last_date_ = key.reference_date.IsoDate();
  }
  Cursor& cursor = CursorOf(table);
  if (cursor.Behind(key.record_number, last_date_)) return store_.Fetch(table, key);
  return cursor.Fetch(key.record_number, last_date_);
}

std::optional<SectionRow> KeyOrderedRows::FetchWhole(const std::string& table, std::string_view column,
                                                     const AssessmentKey& key) {
  CursorOf(table).Widen(column);
  return store_.Fetch(table, key);
}

}  // namespace zelka
