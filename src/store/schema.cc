#include "store/schema.h"

#include <cstdio>

namespace zelka {
namespace {

constexpr int kPrintTextSize = 50;

FieldInfo Field(std::string name, int type, int size = 0, std::string format = "") {
  return FieldInfo{std::move(name), type, size, std::move(format)};
}

std::string TwoDigits(int n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

bool IsSectionTable(std::string_view name) {
  return name.size() == 1 && name[0] >= 'A' && name[0] <= 'S';
}

// Columns of the intake sheet that the intake report prints as words or marks
// rather than codes: the sex code, and the ○ marks of 2-3-k and 5-2-k-1.
bool IsIntakePrintColumn(std::string_view code) {
  if (code == "1-2" || code == "5-2-18-1") return true;
  for (int k = 1; k <= 17; ++k)
    if (code == "2-3-" + std::to_string(k) || code == "5-2-" + std::to_string(k) + "-1") return true;
  return false;
}

// Whether the staging copy of a column receives print text instead of its value.
bool ReceivesPrintText(const TableDef& table, const ColumnDef& column) {
  if (column.kind == "key") return false;
  if (column.type == kTypeDate || column.check) return true;
  if (SameName(table.name, "AA") && column.code == "AA-2") return true;
  return table.name == "相談受付表" && IsIntakePrintColumn(column.code);
}

TableSpec WorkingTable(const TableDef& def) {
  TableSpec spec{def.name, {}, {}};
  for (const ColumnDef& c : def.columns) {
    spec.fields.push_back(Field(c.code, c.type, c.type == kTypeText ? c.size : 0, c.format));
    if (c.kind == "key") spec.key.push_back(c.code);
  }
  if (spec.key.empty() && def.Find(kRecordNumberColumn)) spec.key.push_back(kRecordNumberColumn);
  return spec;
}

TableSpec StagingTable(const TableDef& def) {
  TableSpec spec{kStagingPrefix + def.name, {}, {}};
  for (const ColumnDef& c : def.columns) {
    if (ReceivesPrintText(def, c))
      spec.fields.push_back(Field(c.code, kTypeText, kPrintTextSize));
    else
      spec.fields.push_back(Field(c.code, c.type, c.type == kTypeText ? c.size : 0, c.format));
  }
  return spec;
}

TableSpec CapSelectionTable() {
  TableSpec spec{kCapSelectionTable, {}, {kRecordNumberColumn, kReferenceDateColumn}};
  spec.fields.push_back(Field(kRecordNumberColumn, kTypeLong));
  spec.fields.push_back(Field(kReferenceDateColumn, kTypeDate));
  spec.fields.push_back(Field(kClientNameColumn, kTypeText, 50));
  for (int slot = 1; slot <= kCapSlots; ++slot) spec.fields.push_back(Field(CapNumberColumn(slot), kTypeText, 10));
  for (int slot = 1; slot <= kCapSlots; ++slot) spec.fields.push_back(Field(CapNameColumn(slot), kTypeText, 50));
  return spec;
}

const char* SqlType(int type) {
  switch (type) {
    // "INT", not "INTEGER": a single INTEGER primary key would become the
    // rowid, which fills in a missing 整理番号 by itself and changes the
    // rowid recordsets hold when the number is edited.
    case kTypeBoolean: case kTypeByte: case kTypeInteger: case kTypeLong:
      return "INT";
    case kTypeCurrency: case kTypeSingle: case kTypeDouble:
      return "REAL";
    case kTypeBinary: case kTypeLongBinary:
      return "BLOB";
    default:
      return "TEXT";
  }
}

}  // namespace

std::string CapNumberColumn(int slot) { return "CAP番号" + TwoDigits(slot); }
std::string CapNameColumn(int slot) { return "CAP種類" + TwoDigits(slot); }

std::vector<TableSpec> StoreTables(const Catalogue& catalogue) {
  std::vector<TableSpec> tables;
  std::vector<TableSpec> staging;
  for (const TableDef& def : catalogue.tables()) {
    if (SameName(def.name, kCapSelectionTable)) continue;  // laid out below
    tables.push_back(WorkingTable(def));
    staging.push_back(StagingTable(def));
  }
  TableSpec cap = CapSelectionTable();
  TableSpec cap_staging{kStagingPrefix + cap.name, cap.fields, {}};
  cap_staging.fields.push_back(Field(kPrintDateColumn, kTypeText, kPrintTextSize));
  tables.push_back(std::move(cap));
  for (TableSpec& s : staging) tables.push_back(std::move(s));
  tables.push_back(std::move(cap_staging));
  tables.push_back(TableSpec{kCheckControlTable, {Field(kCheckControlColumn, kTypeText, 50)}, {}});
  return tables;
}

std::vector<std::string> CheckItemColumns(const Catalogue& catalogue) {
  std::vector<std::string> items;
  for (char letter = 'A'; letter <= 'S'; ++letter) {
    const TableDef* def = catalogue.Find(std::string(1, letter));
    if (!def || !IsSectionTable(def->name)) continue;
    for (const ColumnDef& c : def->columns)
      if (c.check) items.push_back(c.code);
  }
  return items;
}

std::string CreateTableSql(const TableSpec& table) {
  std::string sql = "CREATE TABLE " + QuoteName(table.name) + " (";
  for (size_t i = 0; i < table.fields.size(); ++i) {
    const FieldInfo& f = table.fields[i];
    if (i) sql += ", ";
    sql += QuoteName(f.name) + " " + SqlType(f.type);
    for (const std::string& k : table.key)
      if (SameName(k, f.name)) sql += " NOT NULL";
  }
  if (!table.key.empty()) {
    sql += ", PRIMARY KEY (";
    for (size_t i = 0; i < table.key.size(); ++i) sql += (i ? ", " : "") + QuoteName(table.key[i]);
    sql += ")";
  }
  return sql + ")";
}

std::string StagingCopySql(Database& db, std::string_view source_table) {
  std::string source = db.TableName(source_table);
  std::string staging = db.TableName(std::string(kStagingPrefix) + source);
  if (source.empty() || staging.empty())
    throw StoreError("テーブル " + std::string(source_table) + " の印刷用テーブルがありません");
  std::vector<FieldInfo> staging_fields = db.TableFields(staging);
  std::string columns;
  for (const FieldInfo& f : db.TableFields(source)) {
    bool shared = false;
    for (const FieldInfo& s : staging_fields) shared = shared || SameName(s.name, f.name);
    if (!shared) continue;
    if (!columns.empty()) columns += ", ";
    columns += QuoteName(f.name);
  }
  return "INSERT INTO " + QuoteName(staging) + " (" + columns + ") SELECT " + columns + " FROM " +
         QuoteName(source);
}

}  // namespace zelka
