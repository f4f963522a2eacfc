// The tables of a new store, derived from the item catalogue: the working
// tables the catalogue lists (相談受付表, AA, A … S), the CAP selection table
// CAP選定, the report staging tables (rpt + source name) and the control table
// チェック変換対象, which lists the check items of the assessment sections.
// The tables the catalogue does not list are generated here from small data
// tables, so that their layout lives in one place.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/catalogue.h"
#include "store/database.h"

namespace zelka {

inline constexpr char kRecordNumberColumn[] = "整理番号";
inline constexpr char kReferenceDateColumn[] = "基準日";
inline constexpr char kCapSelectionTable[] = "CAP選定";
inline constexpr char kClientNameColumn[] = "利用者名";
inline constexpr char kCheckControlTable[] = "チェック変換対象";
inline constexpr char kCheckControlColumn[] = "対象項目";
inline constexpr char kStagingPrefix[] = "rpt";
inline constexpr char kPrintDateColumn[] = "印字用年月日";  // rptCAP選定 only
inline constexpr char kColumnsTable[] = "_columns";        // the column metadata
// One slot pair per CAP catalogue entry, so that every entry can fire at once.
inline constexpr int kCapSlots = 33;

// "CAP番号01", "CAP種類01" … for slot 1 to kCapSlots.
std::string CapNumberColumn(int slot);
std::string CapNameColumn(int slot);

struct TableSpec {
  std::string name;
  std::vector<FieldInfo> fields;
  std::vector<std::string> key;  // primary key columns; empty for scratch tables
};

// Every table of a new store, in creation order.
std::vector<TableSpec> StoreTables(const Catalogue& catalogue);

// The rows of チェック変換対象: the check items of sections A … S in catalogue
// order. AA's check items are left out: the print conversion never touches AA
// items, so listing them would only be noise.
std::vector<std::string> CheckItemColumns(const Catalogue& catalogue);

// The CREATE TABLE statement for one table.
std::string CreateTableSql(const TableSpec& table);

// "INSERT INTO [rptX] ([c1], …) SELECT [c1], … FROM [X]": copies rows of a
// source table into its staging table, naming the columns the two share (the
// staging table may have more, such as 印字用年月日). The caller appends its
// WHERE clause with bound parameters.
std::string StagingCopySql(Database& db, std::string_view source_table);

}  // namespace zelka
