// A prepared SQLite statement of the CAP engine, reused for many rows: bind,
// step, read columns as Values. Failures are StoreErrors.
#pragma once

#include <sqlite3.h>

#include <string>
#include <string_view>

#include "store/database.h"
#include "store/value.h"

namespace zelka::cap_sql {

// The text of a stored cell (text first, then its length, as SQLite asks).
inline std::string_view TextOf(sqlite3_value* cell) {
  const char* text = reinterpret_cast<const char*>(sqlite3_value_text(cell));
  return text ? std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(cell))) : std::string_view();
}

// A stored cell as a Value.
inline Value ValueOf(sqlite3_value* cell) {
  switch (sqlite3_value_type(cell)) {
    case SQLITE_INTEGER:
      return static_cast<int64_t>(sqlite3_value_int64(cell));
    case SQLITE_FLOAT:
      return sqlite3_value_double(cell);
    case SQLITE_NULL:
      return std::monostate{};
    default:
      return std::string(TextOf(cell));
  }
}

// One prepared statement, reset before each use.
class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK)
      throw StoreError(std::string(sqlite3_errmsg(db)) + ": " + sql);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Start() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    return *this;
  }
  // Text bound without first making it a Value (SQLite keeps its own copy).
  void BindText(int index, std::string_view text) {
    if (sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) != SQLITE_OK)
      Fail();
  }
  // Text that outlives the statement's use (a literal), bound without a copy.
  void BindStatic(int index, std::string_view text) {
    if (sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC) != SQLITE_OK)
      Fail();
  }
  void Bind(int index, const Value& value) {
    int rc = SQLITE_OK;
    if (const auto* whole = std::get_if<int64_t>(&value)) rc = sqlite3_bind_int64(stmt_, index, *whole);
    else if (const auto* number = std::get_if<double>(&value)) rc = sqlite3_bind_double(stmt_, index, *number);
    else if (const auto* text = std::get_if<std::string>(&value))
      rc = sqlite3_bind_text(stmt_, index, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
    else rc = sqlite3_bind_null(stmt_, index);
    if (rc != SQLITE_OK) Fail();
  }
  // Steps once: true with a row, false when done.
  bool Step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) Fail();
    return false;
  }
  // Releases the statement's read, once its rows have been taken.
  void Finish() { sqlite3_reset(stmt_); }
  int Columns() const { return sqlite3_column_count(stmt_); }
  std::string Name(int i) const { return sqlite3_column_name(stmt_, i); }
  // One column as one sqlite3_value: a single call into the connection (each
  // such call takes its lock), then lock-free reads of the value.
  sqlite3_value* Cell(int i) const { return sqlite3_column_value(stmt_, i); }
  Value Get(int i) const { return ValueOf(Cell(i)); }

 private:
  [[noreturn]] void Fail() { throw StoreError(sqlite3_errmsg(db_)); }
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace zelka::cap_sql
