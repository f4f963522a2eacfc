// The item catalogue: every table and column of the store, read from the one
// data file app/catalogue/items.tsv. The schema of a new database, the entry
// pages, the rows of チェック変換対象 and the report staging tables are all
// derived from it, so that a column exists everywhere or nowhere.
//
// File format (UTF-8, TAB separated, one column per line, '#' starts a comment
// line, the first non-comment line is the header):
//   table  code  type  size  format  kind  check  page  group  label  choices
// - table: 相談受付表, AA, A … S, CAP選定
// - code: the column name as printed on the form ("1-3-1", "h7-a" is written "H7-A")
// - type: the type code (2 Byte, 3 Integer, 4 Long, 6 Single, 8 Date, 10 Text, 12 Memo)
// - size: maximum length in characters for type 10, else 0
// - format: display format for GetItemText, may be empty
// - kind: input kind on the page: key, text, number, date, datetime, choice, check, memo
// - check: 1 for a tick-box item (stored 0/1), else 0
// - page: the page file that shows it, without ".HTM" (UKETUKE1 … UKETUKE5, AA,
//   A … S); empty for columns no page shows (keys, CAP選定)
// - group: the heading under which the page groups the item
// - label: the item's caption as a care manager reads it on the form
// - choices: for kind choice, "code:text" pairs separated by "|"
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zelka {

enum TypeCode : int {
  kTypeBoolean = 1,
  kTypeByte = 2,
  kTypeInteger = 3,
  kTypeLong = 4,
  kTypeCurrency = 5,
  kTypeSingle = 6,
  kTypeDouble = 7,
  kTypeDate = 8,
  kTypeBinary = 9,
  kTypeText = 10,
  kTypeLongBinary = 11,
  kTypeMemo = 12,
};

// Schema names are compared without regard to ASCII case ("c3" is C3, "o" is O).
bool SameName(std::string_view a, std::string_view b);
std::string FoldName(std::string_view name);  // ASCII letters in lower case

struct Choice {
  int code = 0;
  std::string text;
};

struct ColumnDef {
  std::string table;
  std::string code;
  int type = kTypeText;
  int size = 0;
  std::string format;
  std::string kind;
  bool check = false;
  std::string page;
  std::string group;
  std::string label;
  std::vector<Choice> choices;
};

struct TableDef {
  std::string name;
  std::vector<ColumnDef> columns;  // in file order, keys first
  const ColumnDef* Find(std::string_view code) const;  // case-insensitive
};

class Catalogue {
 public:
  // Throws std::runtime_error naming the file and line on a malformed file.
  static Catalogue Load(const std::string& path);
  static Catalogue Parse(std::string_view text, const std::string& origin = "catalogue");

  const std::vector<TableDef>& tables() const { return tables_; }
  const TableDef* Find(std::string_view table) const;  // case-insensitive ("o" finds O)

 private:
  std::vector<TableDef> tables_;
};

}  // namespace zelka
