#include "store/database.h"

#include <sqlite3.h>

#include <cmath>
#include <charconv>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "store/schema.h"
#include "util/japanese_date.h"
#include "util/utf8.h"

namespace zelka {

// ---- Schema and statements ---------------------------------------------------

namespace {

struct TableInfo {
  std::string name;
  std::vector<FieldInfo> fields;
  std::unordered_map<std::string, int> index;  // folded name -> field
  std::string select_row;                      // SELECT <all fields> … WHERE rowid=?

  int FieldIndex(std::string_view column) const {
    auto it = index.find(FoldName(column));
    return it == index.end() ? -1 : it->second;
  }
  bool Has(std::string_view column) const { return FieldIndex(column) >= 0; }
};

std::string ColumnList(const TableInfo& t) {
  std::string list;
  for (size_t i = 0; i < t.fields.size(); ++i) list += (i ? ", " : "") + QuoteName(t.fields[i].name);
  return list;
}

int64_t IntOr(const Value& v, int64_t fallback) {
  const auto* n = std::get_if<int64_t>(&v);
  return n ? *n : fallback;
}

int TypeFromDeclared(std::string declared) {
  declared = FoldName(declared);
  if (declared.find("int") != std::string::npos) return kTypeLong;
  if (declared.find("real") != std::string::npos || declared.find("floa") != std::string::npos ||
      declared.find("doub") != std::string::npos)
    return kTypeDouble;
  if (declared.find("blob") != std::string::npos) return kTypeLongBinary;
  return kTypeMemo;
}

}  // namespace

struct Database::Schema {
  std::string path;
  std::map<std::string, TableInfo> tables;  // folded name -> table
  std::unordered_map<std::string, sqlite3_stmt*> statements;
  // Bumped by every write, so a recordset knows its cached row may be stale.
  uint64_t generation = 0;

  const TableInfo* Find(std::string_view table) const {
    auto it = tables.find(FoldName(table));
    return it == tables.end() ? nullptr : &it->second;
  }
  const TableInfo& Get(std::string_view table) const {
    const TableInfo* t = Find(table);
    if (!t) throw StoreError("テーブル " + std::string(table) + " はありません");
    return *t;
  }
  void Add(TableInfo table) {
    for (size_t i = 0; i < table.fields.size(); ++i)
      table.index.emplace(FoldName(table.fields[i].name), static_cast<int>(i));
    table.select_row = "SELECT " + ColumnList(table) + " FROM " + QuoteName(table.name) + " WHERE rowid=?";
    tables.emplace(FoldName(table.name), std::move(table));
  }
};

namespace {

[[noreturn]] void ThrowSqlite(sqlite3* db, const std::string& what) {
  throw StoreError(what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

// A cached prepared statement in use: reset and unbound again when done.
class Statement {
 public:
  Statement(sqlite3* db, std::unordered_map<std::string, sqlite3_stmt*>& cache, const std::string& sql)
      : db_(db) {
    auto it = cache.find(sql);
    if (it != cache.end()) {
      stmt_ = it->second;
    } else {
      if (sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                             &stmt_, nullptr) != SQLITE_OK)
        ThrowSqlite(db, "SQL を実行できません (" + sql + ")");
      if (!stmt_) throw StoreError("SQL が空です");
      cache.emplace(sql, stmt_);
    }
  }
  ~Statement() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  void Bind(int i, const Value& v) {
    int rc;
    if (const auto* n = std::get_if<int64_t>(&v)) rc = sqlite3_bind_int64(stmt_, i, *n);
    else if (const auto* d = std::get_if<double>(&v)) rc = sqlite3_bind_double(stmt_, i, *d);
    else if (const auto* s = std::get_if<std::string>(&v))
      rc = sqlite3_bind_text(stmt_, i, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
    else rc = sqlite3_bind_null(stmt_, i);
    if (rc != SQLITE_OK) ThrowSqlite(db_, "値を渡せません");
  }
  void BindAll(const std::vector<Value>& params) {
    if (static_cast<int>(params.size()) != sqlite3_bind_parameter_count(stmt_))
      throw StoreError("SQL のパラメータの数が合いません (" + std::string(sqlite3_sql(stmt_)) + ")");
    for (size_t i = 0; i < params.size(); ++i) Bind(static_cast<int>(i) + 1, params[i]);
  }
  // SQLITE_ROW or SQLITE_DONE; anything else is returned for the caller to report.
  int Step() { return sqlite3_step(stmt_); }
  Value Column(int i) const {
    switch (sqlite3_column_type(stmt_, i)) {
      case SQLITE_INTEGER: return static_cast<int64_t>(sqlite3_column_int64(stmt_, i));
      case SQLITE_FLOAT: return sqlite3_column_double(stmt_, i);
      case SQLITE_NULL: return std::monostate{};
      default: {
        const char* text = static_cast<const char*>(sqlite3_column_blob(stmt_, i));
        return std::string(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(stmt_, i)));
      }
    }
  }
  int ColumnCount() const { return sqlite3_column_count(stmt_); }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// ---- Values into columns --------------------------------------------------------

std::string Trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return std::string(s);
}

[[noreturn]] void BadValue(const std::string& table, const FieldInfo& f, const Value& v,
                           const std::string& why) {
  throw StoreError("テーブル " + table + " の列 " + f.name + " に値 \"" + ValueText(v) +
                   "\" を入れられません: " + why);
}

void CheckRange(const std::string& table, const FieldInfo& f, int64_t n, const Value& original) {
  int64_t low = INT32_MIN, high = INT32_MAX;
  if (f.type == kTypeByte) low = 0, high = 255;
  else if (f.type == kTypeInteger) low = -32768, high = 32767;
  else if (f.type == kTypeBoolean) low = -1, high = 1;
  if (n < low || n > high)
    BadValue(table, f, original, std::to_string(low) + " から " + std::to_string(high) + " までの整数です");
}

// Whole-number columns take whole numbers, numeric text and (rounded to even,
// as the classic engine does) fractional numbers.
Value ToWholeNumber(const std::string& table, const FieldInfo& f, const Value& v) {
  double d;
  if (const auto* n = std::get_if<int64_t>(&v)) {
    CheckRange(table, f, *n, v);
    return *n;
  } else if (const auto* x = std::get_if<double>(&v)) {
    d = *x;
  } else {
    std::string text = Trimmed(NarrowWidth(std::get<std::string>(v)));
    if (text.empty()) return std::monostate{};
    int64_t whole;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), whole);
    if (ec == std::errc() && end == text.data() + text.size()) {
      CheckRange(table, f, whole, v);
      return whole;
    }
    auto [end2, ec2] = std::from_chars(text.data(), text.data() + text.size(), d);
    if (ec2 != std::errc() || end2 != text.data() + text.size()) BadValue(table, f, v, "数値ではありません");
  }
  if (!std::isfinite(d) || std::fabs(d) > 9.2e18) BadValue(table, f, v, "数値が大きすぎます");
  int64_t n = static_cast<int64_t>(std::nearbyint(d));
  CheckRange(table, f, n, v);
  return n;
}

Value ToReal(const std::string& table, const FieldInfo& f, const Value& v) {
  if (const auto* n = std::get_if<int64_t>(&v)) return static_cast<double>(*n);
  if (std::holds_alternative<double>(v)) return v;
  std::string text = Trimmed(NarrowWidth(std::get<std::string>(v)));
  if (text.empty()) return std::monostate{};
  double d;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
  if (ec != std::errc() || end != text.data() + text.size()) BadValue(table, f, v, "数値ではありません");
  return d;
}

// Dates are kept as ISO text: "YYYY-MM-DD", with " HH:MM:SS" when there is a time.
Value ToDateText(const std::string& table, const FieldInfo& f, const Value& v) {
  const auto* s = std::get_if<std::string>(&v);
  if (!s) BadValue(table, f, v, "日付ではありません");
  if (Trimmed(*s).empty()) return std::monostate{};
  std::optional<Date> d = Date::FromIso(*s);
  if (!d) d = ParseDateText(*s);
  if (!d) BadValue(table, f, v, "日付ではありません");
  return d->HasTime() ? d->IsoDateTime() : d->IsoDate();
}

Value ToText(const std::string& table, const FieldInfo& f, const Value& v) {
  std::string text = ValueText(v);
  if (f.type == kTypeText && f.size > 0 && CharCount(text) > static_cast<size_t>(f.size))
    BadValue(table, f, v, std::to_string(f.size) + " 文字を超えています");
  return text;
}

Value ConvertForColumn(const std::string& table, const FieldInfo& f, Value v) {
  if (IsNull(v)) return v;
  switch (f.type) {
    case kTypeBoolean: case kTypeByte: case kTypeInteger: case kTypeLong:
      return ToWholeNumber(table, f, v);
    case kTypeCurrency: case kTypeSingle: case kTypeDouble:
      return ToReal(table, f, v);
    case kTypeDate:
      return ToDateText(table, f, v);
    default:
      return ToText(table, f, v);
  }
}

}  // namespace

std::string QuoteName(std::string_view name) {
  std::string out = "[";
  out.append(name);
  out += "]";
  return out;
}

// ---- Recordset ------------------------------------------------------------------

struct Recordset::Impl {
  Database* db = nullptr;
  const TableInfo* table = nullptr;
  std::vector<int64_t> rows;  // rowids, fixed at open, plus rows added here
  size_t pos = 0;
  Mode mode = Mode::kNone;
  std::vector<std::optional<Value>> pending;  // per field, set while adding or editing
  bool open = true;
  // The current row's values, valid while the database's write generation is unchanged.
  mutable std::vector<Value> cache;
  mutable int64_t cache_row = -1;
  mutable uint64_t cache_generation = 0;

  Database::Schema& schema() const { return *db->schema_; }
  sqlite3* handle() const {
    if (!db->db_) throw StoreError("データベースは閉じられています");
    return db->db_;
  }
  void RequireOpen() const {
    if (!open) throw StoreError("レコードセット " + table->name + " は閉じられています");
  }
  bool Eof() const { return pos >= rows.size(); }
  void RequireNoPending(const char* action) const {
    if (mode != Mode::kNone)
      throw StoreError("テーブル " + table->name + " に保存していない行があるため、" + action + "できません");
  }
  int FieldOrThrow(std::string_view name) const {
    int i = table->FieldIndex(name);
    if (i < 0) throw StoreError("テーブル " + table->name + " に列 " + std::string(name) + " はありません");
    return i;
  }
  const std::vector<Value>& CurrentRow() const {
    if (Eof()) throw StoreError("テーブル " + table->name + " に現在のレコードがありません");
    int64_t rowid = rows[pos];
    if (cache_row == rowid && cache_generation == schema().generation) return cache;
    Statement st(handle(), schema().statements, table->select_row);
    st.Bind(1, rowid);
    int rc = st.Step();
    if (rc == SQLITE_DONE) throw StoreError("テーブル " + table->name + " の現在の行は削除されています");
    if (rc != SQLITE_ROW) ThrowSqlite(handle(), "テーブル " + table->name + " を読めません");
    cache.resize(table->fields.size());
    for (size_t i = 0; i < table->fields.size(); ++i) cache[i] = st.Column(static_cast<int>(i));
    cache_row = rowid;
    cache_generation = schema().generation;
    return cache;
  }
  std::string KeyDescription() const {
    std::string out;
    for (const char* key : {kRecordNumberColumn, kReferenceDateColumn}) {
      int i = table->FieldIndex(key);
      if (i < 0) continue;
      Value v = pending[i] ? *pending[i] : (mode == Mode::kEdit ? CurrentRow()[i] : Value{});
      out += (out.empty() ? "" : ", ") + std::string(key) + "=" + (IsNull(v) ? "(なし)" : ValueText(v));
    }
    return out;
  }
  [[noreturn]] void ThrowUpdateError() const {
    int code = sqlite3_extended_errcode(handle());
    std::string detail = sqlite3_errmsg(handle());
    if (code == SQLITE_CONSTRAINT_PRIMARYKEY || code == SQLITE_CONSTRAINT_UNIQUE)
      throw StoreError("テーブル " + table->name + " には同じキーの行が既にあります (" + KeyDescription() +
                       "): " + detail);
    if (code == SQLITE_CONSTRAINT_NOTNULL)
      throw StoreError("テーブル " + table->name + " のキーに値がありません (" + KeyDescription() +
                       "): " + detail);
    throw StoreError("テーブル " + table->name + " に書き込めません: " + detail);
  }
  void Insert() {
    std::string columns, marks;
    std::vector<Value> values;
    for (size_t i = 0; i < pending.size(); ++i) {
      if (!pending[i]) continue;
      columns += (values.empty() ? "" : ", ") + QuoteName(table->fields[i].name);
      marks += values.empty() ? "?" : ", ?";
      values.push_back(*pending[i]);
    }
    std::string sql = values.empty() ? "INSERT INTO " + QuoteName(table->name) + " DEFAULT VALUES"
                                     : "INSERT INTO " + QuoteName(table->name) + " (" + columns +
                                           ") VALUES (" + marks + ")";
    Statement st(handle(), schema().statements, sql);
    st.BindAll(values);
    if (st.Step() != SQLITE_DONE) ThrowUpdateError();
    rows.push_back(sqlite3_last_insert_rowid(handle()));
    pos = rows.size() - 1;
  }
  void UpdateRow() {
    std::string sets;
    std::vector<Value> values;
    for (size_t i = 0; i < pending.size(); ++i) {
      if (!pending[i]) continue;
      sets += (values.empty() ? "" : ", ") + QuoteName(table->fields[i].name) + "=?";
      values.push_back(*pending[i]);
    }
    if (values.empty()) return;
    values.push_back(rows[pos]);
    Statement st(handle(), schema().statements,
                 "UPDATE " + QuoteName(table->name) + " SET " + sets + " WHERE rowid=?");
    st.BindAll(values);
    if (st.Step() != SQLITE_DONE) ThrowUpdateError();
    if (sqlite3_changes(handle()) == 0)
      throw StoreError("テーブル " + table->name + " の現在の行は削除されています");
  }
  void DropPending() {
    mode = Mode::kNone;
    pending.assign(table->fields.size(), std::nullopt);
  }
};

Recordset::Recordset(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;
Recordset::~Recordset() = default;

const std::string& Recordset::table() const { return impl_->table->name; }
bool Recordset::IsOpen() const { return impl_ && impl_->open; }
Recordset::Mode Recordset::mode() const { return impl_->mode; }

bool Recordset::Eof() const {
  impl_->RequireOpen();
  return impl_->Eof();
}

void Recordset::MoveNext() {
  impl_->RequireOpen();
  impl_->RequireNoPending("次の行へ移動");
  if (impl_->Eof()) throw StoreError("テーブル " + impl_->table->name + " の最後の行を越えて移動できません");
  ++impl_->pos;
}

long Recordset::RecordCount() const {
  impl_->RequireOpen();
  return static_cast<long>(impl_->rows.size());
}

bool Recordset::FindFirst(int64_t record_number, std::optional<Date> reference_date) {
  Impl& r = *impl_;
  r.RequireOpen();
  r.RequireNoPending("行を検索");
  if (reference_date && reference_date->IsZero()) reference_date.reset();
  std::string sql = "SELECT rowid FROM " + QuoteName(r.table->name) + " WHERE " +
                    QuoteName(kRecordNumberColumn) + "=?";
  std::vector<Value> params{record_number};
  if (reference_date) {
    if (!r.table->Has(kReferenceDateColumn))
      throw StoreError("テーブル " + r.table->name + " に基準日はありません");
    sql += " AND " + QuoteName(kReferenceDateColumn) + "=?";
    params.push_back(reference_date->IsoDate());
  }
  if (!r.table->Has(kRecordNumberColumn))
    throw StoreError("テーブル " + r.table->name + " に整理番号はありません");
  std::unordered_set<int64_t> matches;
  {
    Statement st(r.handle(), r.schema().statements, sql);
    st.BindAll(params);
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW) matches.insert(std::get<int64_t>(st.Column(0)));
    if (rc != SQLITE_DONE) ThrowSqlite(r.handle(), "テーブル " + r.table->name + " を検索できません");
  }
  for (size_t i = 0; i < r.rows.size(); ++i) {
    if (matches.count(r.rows[i])) {
      r.pos = i;
      return true;
    }
  }
  r.pos = r.rows.size();
  return false;
}

void Recordset::AddNew() {
  impl_->RequireOpen();
  impl_->DropPending();
  impl_->mode = Mode::kAdd;
}

void Recordset::Edit() {
  impl_->RequireOpen();
  impl_->DropPending();
  impl_->CurrentRow();  // there must be a live current row
  impl_->mode = Mode::kEdit;
}

void Recordset::Update() {
  Impl& r = *impl_;
  r.RequireOpen();
  if (r.mode == Mode::kNone)
    throw StoreError("テーブル " + r.table->name + " は AddNew または Edit の後でなければ保存できません");
  if (r.mode == Mode::kAdd) r.Insert();
  else r.UpdateRow();
  ++r.schema().generation;
  r.DropPending();
}

void Recordset::CancelUpdate() {
  impl_->RequireOpen();
  impl_->DropPending();
}

void Recordset::Close() {
  if (!impl_ || !impl_->open) return;
  impl_->DropPending();
  impl_->rows.clear();
  impl_->cache.clear();
  impl_->cache_row = -1;
  impl_->open = false;
}

const std::vector<FieldInfo>& Recordset::Fields() const { return impl_->table->fields; }

const FieldInfo* Recordset::Field(std::string_view name) const {
  int i = impl_->table->FieldIndex(name);
  return i < 0 ? nullptr : &impl_->table->fields[i];
}

Value Recordset::Get(std::string_view name) const {
  const Impl& r = *impl_;
  r.RequireOpen();
  int i = r.FieldOrThrow(name);
  if (r.mode != Mode::kNone && r.pending[i]) return *r.pending[i];
  if (r.mode == Mode::kAdd) return std::monostate{};
  return r.CurrentRow()[i];
}

void Recordset::Set(std::string_view name, Value value) {
  Impl& r = *impl_;
  r.RequireOpen();
  int i = r.FieldOrThrow(name);
  if (r.mode == Mode::kNone)
    throw StoreError("テーブル " + r.table->name + " の列 " + r.table->fields[i].name +
                     " は AddNew または Edit の後でなければ書き込めません");
  r.pending[i] = ConvertForColumn(r.table->name, r.table->fields[i], std::move(value));
}

// ---- Database ---------------------------------------------------------------------

namespace {

sqlite3* OpenHandle(const std::string& path, int flags) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string detail = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close_v2(db);
    throw StoreError("データベースファイル " + path + " を開けません: " + detail);
  }
  // Double-quoted text is never a string literal: a misspelled "1-3-9" must fail.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, 5000);
  // A larger page cache keeps the batch reads of the CAP engine in memory.
  sqlite3_exec(db, "PRAGMA cache_size=-65536", nullptr, nullptr, nullptr);
  return db;
}

void Exec(sqlite3* db, const std::string& sql, const std::string& what) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string detail = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    throw StoreError(what + ": " + detail);
  }
}

}  // namespace

Database::Database(sqlite3* db) : db_(db), schema_(std::make_unique<Schema>()) {}

Database::~Database() { Close(); }

std::unique_ptr<Database> Database::Open(const std::string& path) {
  // Without the connection's mutex: a connection is used by one thread only
  // (the application thread; the HTTP threads never reach the store), and the
  // mutex would be taken by every call, down to reading one cell.
  sqlite3* handle = OpenHandle(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
  std::unique_ptr<Database> db(new Database(handle));
  db->schema_->path = path;
  Schema& schema = *db->schema_;
  try {
    // The tables of the file, with the metadata of _columns where it has any.
    std::vector<std::vector<Value>> tables =
        db->Query("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%' ORDER BY rowid");
    std::map<std::string, std::vector<FieldInfo>> meta;
    bool has_meta = false;
    for (const auto& row : tables) has_meta = has_meta || SameName(ValueText(row[0]), kColumnsTable);
    if (has_meta) {
      for (const auto& row : db->Query("SELECT [table], [column], [type], [size], [format] FROM " +
                                       QuoteName(kColumnsTable) + " ORDER BY [table], [ordinal]")) {
        FieldInfo f{ValueText(row[1]), static_cast<int>(IntOr(row[2], kTypeText)),
                    static_cast<int>(IntOr(row[3], 0)), ValueText(row[4])};
        meta[FoldName(ValueText(row[0]))].push_back(std::move(f));
      }
    }
    for (const auto& row : tables) {
      std::string name = ValueText(row[0]);
      if (SameName(name, kColumnsTable)) continue;
      TableInfo info{name, {}, {}, {}};
      // The columns as the file has them; types and sizes from the metadata.
      for (const auto& col : db->Query("SELECT name, type FROM pragma_table_info(?) ORDER BY cid", {name})) {
        FieldInfo f{ValueText(col[0]), TypeFromDeclared(ValueText(col[1])), 0, ""};
        for (const FieldInfo& m : meta[FoldName(name)])
          if (SameName(m.name, f.name)) f = FieldInfo{f.name, m.type, m.size, m.format};
        info.fields.push_back(std::move(f));
      }
      schema.Add(std::move(info));
    }
  } catch (const StoreError& e) {
    throw StoreError("データベースファイル " + path + " を読めません: " + e.what());
  }
  return db;
}

void Database::Create(const std::string& path, const Catalogue& catalogue) {
  {
    sqlite3* probe = nullptr;
    if (sqlite3_open_v2(path.c_str(), &probe, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_close_v2(probe);
      throw StoreError("データベースファイル " + path + " は既にあります");
    }
    sqlite3_close_v2(probe);
  }
  sqlite3* handle = OpenHandle(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  std::unique_ptr<Database> db(new Database(handle));
  db->schema_->path = path;
  try {
    db->InTransaction([&] {
      db->Execute("CREATE TABLE " + QuoteName(kColumnsTable) +
                  " ([table] TEXT NOT NULL, [column] TEXT NOT NULL, [ordinal] INTEGER NOT NULL,"
                  " [type] INTEGER NOT NULL, [size] INTEGER NOT NULL, [format] TEXT NOT NULL,"
                  " PRIMARY KEY ([table], [column]))");
      std::string insert_meta = "INSERT INTO " + QuoteName(kColumnsTable) + " VALUES (?, ?, ?, ?, ?, ?)";
      for (const TableSpec& table : StoreTables(catalogue)) {
        db->Execute(CreateTableSql(table));
        for (size_t i = 0; i < table.fields.size(); ++i) {
          const FieldInfo& f = table.fields[i];
          db->Execute(insert_meta, {table.name, f.name, static_cast<int64_t>(i + 1),
                                    static_cast<int64_t>(f.type), static_cast<int64_t>(f.size), f.format});
        }
      }
      std::string insert_item = "INSERT INTO " + QuoteName(kCheckControlTable) + " (" +
                                QuoteName(kCheckControlColumn) + ") VALUES (?)";
      for (const std::string& item : CheckItemColumns(catalogue)) db->Execute(insert_item, {item});
    });
  } catch (const StoreError& e) {
    db->Close();
    std::remove(path.c_str());
    throw StoreError("データベースファイル " + path + " を作れません: " + e.what());
  }
  db->Close();
}

std::string Database::TableName(std::string_view table) const {
  const TableInfo* t = schema_->Find(table);
  return t ? t->name : "";
}

std::vector<FieldInfo> Database::TableFields(std::string_view table) const {
  return schema_->Get(table).fields;
}

namespace {

// "WHERE [整理番号]=? [AND [基準日]=?]" for one client or one assessment.
std::string KeyWhere(const TableInfo& t, int64_t record_number, std::optional<Date>& date,
                     std::vector<Value>& params) {
  if (date && date->IsZero()) date.reset();
  if (!t.Has(kRecordNumberColumn)) throw StoreError("テーブル " + t.name + " に整理番号はありません");
  std::string where = " WHERE " + QuoteName(kRecordNumberColumn) + "=?";
  params.push_back(record_number);
  if (date) {
    if (!t.Has(kReferenceDateColumn)) throw StoreError("テーブル " + t.name + " に基準日はありません");
    where += " AND " + QuoteName(kReferenceDateColumn) + "=?";
    params.push_back(date->IsoDate());
  }
  return where;
}

}  // namespace

Recordset Database::OpenTable(std::string_view table) {
  const TableInfo& t = schema_->Get(table);
  auto impl = std::make_unique<Recordset::Impl>();
  impl->db = this;
  impl->table = &t;
  for (const auto& row : Query("SELECT rowid FROM " + QuoteName(t.name) + " ORDER BY rowid"))
    impl->rows.push_back(std::get<int64_t>(row[0]));
  impl->DropPending();
  return Recordset(std::move(impl));
}

Recordset Database::OpenKey(std::string_view table, int64_t record_number,
                            std::optional<Date> reference_date) {
  const TableInfo& t = schema_->Get(table);
  std::vector<Value> params;
  std::string where = KeyWhere(t, record_number, reference_date, params);
  auto impl = std::make_unique<Recordset::Impl>();
  impl->db = this;
  impl->table = &t;
  for (const auto& row : Query("SELECT rowid FROM " + QuoteName(t.name) + where + " ORDER BY rowid", params))
    impl->rows.push_back(std::get<int64_t>(row[0]));
  impl->DropPending();
  return Recordset(std::move(impl));
}

int Database::DeleteKey(std::string_view table, int64_t record_number,
                        std::optional<Date> reference_date) {
  const TableInfo& t = schema_->Get(table);
  std::vector<Value> params;
  std::string where = KeyWhere(t, record_number, reference_date, params);
  Execute("DELETE FROM " + QuoteName(t.name) + where, params);
  return sqlite3_changes(db_);
}

int Database::DeleteAll(std::string_view table) {
  const TableInfo& t = schema_->Get(table);
  Execute("DELETE FROM " + QuoteName(t.name));
  return sqlite3_changes(db_);
}

std::vector<std::vector<Value>> Database::Query(const std::string& sql, const std::vector<Value>& params) {
  if (!db_) throw StoreError("データベースは閉じられています");
  Statement st(db_, schema_->statements, sql);
  st.BindAll(params);
  std::vector<std::vector<Value>> rows;
  int rc;
  while ((rc = st.Step()) == SQLITE_ROW) {
    std::vector<Value> row(static_cast<size_t>(st.ColumnCount()));
    for (int i = 0; i < st.ColumnCount(); ++i) row[static_cast<size_t>(i)] = st.Column(i);
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) ThrowSqlite(db_, "SQL を実行できません (" + sql + ")");
  return rows;
}

void Database::Execute(const std::string& sql, const std::vector<Value>& params) {
  if (!db_) throw StoreError("データベースは閉じられています");
  Statement st(db_, schema_->statements, sql);
  st.BindAll(params);
  int rc;
  while ((rc = st.Step()) == SQLITE_ROW) {
  }
  ++schema_->generation;
  if (rc != SQLITE_DONE) ThrowSqlite(db_, "SQL を実行できません (" + sql + ")");
}

void Database::Begin() {
  if (!db_) throw StoreError("データベースは閉じられています");
  if (transaction_depth_ == 0) {
    Exec(db_, "BEGIN", "トランザクションを始められません");
    rollback_only_ = false;
  }
  ++transaction_depth_;
}

void Database::Commit() {
  if (transaction_depth_ == 0) throw StoreError("トランザクションが始まっていません");
  if (--transaction_depth_ > 0) return;
  if (rollback_only_) {
    rollback_only_ = false;
    if (!sqlite3_get_autocommit(db_)) Exec(db_, "ROLLBACK", "トランザクションを取り消せません");
    ++schema_->generation;
    throw StoreError("内側の処理が失敗したため、トランザクションは取り消されました");
  }
  try {
    Exec(db_, "COMMIT", "トランザクションを確定できません");
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    ++schema_->generation;
    throw;
  }
}

void Database::Rollback() {
  if (transaction_depth_ == 0) return;
  if (--transaction_depth_ > 0) {
    rollback_only_ = true;  // the outer transaction cannot commit any more
    return;
  }
  rollback_only_ = false;
  ++schema_->generation;
  if (sqlite3_get_autocommit(db_)) return;  // SQLite ended the transaction itself
  Exec(db_, "ROLLBACK", "トランザクションを取り消せません");
}

void Database::Close() {
  if (!db_) return;
  if (transaction_depth_ > 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  transaction_depth_ = 0;
  for (auto& [sql, stmt] : schema_->statements) sqlite3_finalize(stmt);
  schema_->statements.clear();
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

}  // namespace zelka
