// The record store: one SQLite file (ZELKA20.mdb) reached through a thin record
// layer in the manner of a dynaset: open the rows of a table (all, or those of
// one key), walk them, add or edit one row at a time and commit it with Update.
// Values are always bound as parameters; table and column names come only from
// the schema, matched without regard to case ("o" is table O, "c3" is C3).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "store/catalogue.h"
#include "store/value.h"
#include "util/date.h"

struct sqlite3;

namespace zelka {

// Any failure of the store: a missing table or column, a key violation, an I/O error.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a field is, as the binding and the reports need it.
struct FieldInfo {
  std::string name;    // as spelled in the schema
  int type = kTypeText;
  int size = 0;        // maximum length for text columns
  std::string format;  // the column's display format, "" when it has none
};

class Database;

// The rows of one table, fixed when opened (plus the rows added through it),
// with a current position. Values are read from the current row and written to
// the pending row between AddNew/Edit and Update.
//
// - Values are read live: a change committed through another recordset or a
//   statement is seen at the next Get.
// - While a row is pending, Get returns the pending value of a field that was
//   Set, else the row's value (Null for a new row).
// - Set converts to the column's type and throws StoreError when it cannot:
//   whole-number columns take numbers and numeric text (fractions rounded to
//   even) within their range, date columns take ISO text (or any text
//   ParseDateText reads) and store ISO text, text columns refuse text longer
//   than their size. "" in a number or date column is Null.
// - A committed new row becomes the current row.
// - MoveNext and FindFirst refuse (StoreError) while a row is pending, so a
//   pending edit is never dropped silently; Close and CancelUpdate drop it.
// - A zero reference date means "no date" wherever one is optional.
// - A Recordset must not outlive the Database that opened it.
class Recordset {
 public:
  enum class Mode { kNone, kEdit, kAdd };

  Recordset(Recordset&&) noexcept;
  Recordset& operator=(Recordset&&) noexcept;
  ~Recordset();

  const std::string& table() const;
  bool IsOpen() const;
  Mode mode() const;

  bool Eof() const;
  void MoveNext();
  long RecordCount() const;
  // Moves to the first row whose 整理番号 (and 基準日, when given) match; false
  // (and Eof) when there is none.
  bool FindFirst(int64_t record_number, std::optional<Date> reference_date = std::nullopt);

  void AddNew();        // starts a new row; fields start Null
  void Edit();          // starts editing the current row
  void Update();        // commits the pending row; throws StoreError (the row stays pending)
  void CancelUpdate();  // drops the pending row
  void Close();         // drops a pending row and releases the rows

  const std::vector<FieldInfo>& Fields() const;
  const FieldInfo* Field(std::string_view name) const;  // case-insensitive, nullptr when absent
  Value Get(std::string_view name) const;               // throws StoreError for an unknown column
  void Set(std::string_view name, Value value);         // only while adding or editing

  struct Impl;

 private:
  friend class Database;
  explicit Recordset(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

class Database {
 public:
  // Opens an existing database file; throws StoreError. The connection has no
  // lock of its own: one thread at a time may use it.
  static std::unique_ptr<Database> Open(const std::string& path);
  // Creates a new, empty database file from the catalogue; throws when the file exists.
  static void Create(const std::string& path, const Catalogue& catalogue);

  ~Database();

  // Canonical spelling of a table name, or "" when the schema has no such table.
  std::string TableName(std::string_view table) const;
  std::vector<FieldInfo> TableFields(std::string_view table) const;

  // All rows of a table, in stored order.
  Recordset OpenTable(std::string_view table);
  // The rows of one client (tables keyed by 整理番号) or one assessment (with 基準日).
  Recordset OpenKey(std::string_view table, int64_t record_number,
                    std::optional<Date> reference_date = std::nullopt);

  // Deletes the rows of one key (as OpenKey) or all rows; returns the count.
  int DeleteKey(std::string_view table, int64_t record_number,
                std::optional<Date> reference_date = std::nullopt);
  int DeleteAll(std::string_view table);

  // A read-only query for the search grids and reports. The SQL text must be
  // fixed text built from schema names only; every value goes in `params`.
  std::vector<std::vector<Value>> Query(const std::string& sql,
                                        const std::vector<Value>& params = {});
  // A statement without result rows (INSERT … SELECT of the staging), same rule.
  void Execute(const std::string& sql, const std::vector<Value>& params = {});

  // Runs work inside one transaction: committed when it returns, rolled back
  // when it throws (the exception is passed on: the first failure is the one
  // the user must see, never a failure of the rollback after it). Nested
  // calls join the outer one.
  template <typename F>
  void InTransaction(F&& work) {
    Begin();
    try {
      work();
    } catch (...) {
      try {
        Rollback();
      } catch (...) {
      }
      throw;
    }
    Commit();
  }
  void Begin();
  void Commit();
  // Rolls back, unless SQLite has already done so itself (as it does after
  // some I/O errors and a full disk): then there is nothing left to undo.
  void Rollback();

  void Close();
  sqlite3* handle() { return db_; }

 private:
  explicit Database(sqlite3* db);
  sqlite3* db_ = nullptr;
  int transaction_depth_ = 0;
  bool rollback_only_ = false;
  struct Schema;
  std::unique_ptr<Schema> schema_;
  friend struct Recordset::Impl;
};

// Quotes a schema name for SQL text: [name].
std::string QuoteName(std::string_view name);

}  // namespace zelka
