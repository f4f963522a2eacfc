#include "output/report_staging.h"

#include "store/catalogue.h"
#include "store/schema.h"
#include "util/japanese_date.h"

namespace zelka {
namespace {

constexpr char kIntakeSource[] = "相談受付表";
constexpr char kCheckMark[] = "ﾚ";
constexpr char kCircleMark[] = "○";

// Intake columns printed as era dates.
constexpr std::string_view kIntakeDateColumns[] = {
    "1-3-1", "2-4-3", "2-4-5", "3-2-3", "3-2-4", "3-3-8", "3-3-9", "3-4-1-3", "3-4-1-4",
    "3-4-2-3", "3-4-2-4", "4-0-1", "5-1-1", "5-1-2", "5-2-13-2", "5-2-14-2", "5-2-15-2"};
// Intake columns printed as era year and month (onset and treatment of a disease).
constexpr std::string_view kIntakeMonthColumns[] = {
    "1-8-1-2", "1-8-1-4", "1-8-1-5", "1-8-2-2", "1-8-2-4", "1-8-2-5",
    "1-8-3-2", "1-8-3-4", "1-8-3-5", "1-8-4-2", "1-8-4-4", "1-8-4-5"};
// Assessment columns printed as era dates.
constexpr std::string_view kAssessmentDateColumns[] = {
    "A1", "R3", "R4-1-3", "R4-2-3", "R4-3-3", "R4-4-3", "R4-5-3", "R4-6-3", "S1", "AA-3-1", "AA-4"};

std::string StagingName(std::string_view table) { return kStagingPrefix + std::string(table); }

std::string SexWord(const std::string& code) {
  if (code == "1") return "男";
  if (code == "2") return "女";
  return "";
}

std::string Mark(const std::string& text, const char* mark) { return text == "1" ? mark : ""; }

// Opens a staging table on its one row, ready for editing.
Recordset EditStagedRow(Database& db, std::string_view table) {
  Recordset rows = db.OpenTable(StagingName(table));
  if (rows.Eof()) throw ReportError("印刷用テーブル " + StagingName(table) + " に行がありません");
  rows.Edit();
  return rows;
}

void Convert(Recordset& rows, std::string_view column, const std::string& print_text) {
  rows.Set(column, Value(print_text));
}

void RequireRows(Database& db, std::string_view staging, const std::string& missing) {
  if (db.Query("SELECT COUNT(*) FROM " + QuoteName(db.TableName(staging)))[0][0] == Value(int64_t{0}))
    throw ReportError(missing);
}

std::string DescribeRecord(int64_t record_number) { return "整理番号 " + std::to_string(record_number); }

}  // namespace

std::string FieldText(const Recordset& rows, std::string_view column) { return ValueText(rows.Get(column)); }

std::string FormatForPrint(const std::string& text, std::string_view format) {
  if (text.empty()) return "";
  auto date = Date::FromIso(text);
  return date ? FormatDate(*date, format, FirstEraYear::kGan) : text;
}

void CopySectionToStaging(Database& db, std::string_view table, const Date& reference_date,
                          int64_t record_number) {
  std::string staging = StagingName(table);
  db.DeleteAll(staging);
  if (SameName(table, "AA")) {
    db.Execute(StagingCopySql(db, table) + " WHERE [" + kRecordNumberColumn + "]=?1", {record_number});
    RequireRows(db, staging, DescribeRecord(record_number) + " の基本情報(AA)がありません");
  } else {
    db.Execute(StagingCopySql(db, table) + " WHERE [" + kRecordNumberColumn + "]=?1 AND [" +
                   kReferenceDateColumn + "]=?2",
               {record_number, reference_date.IsoDate()});
    RequireRows(db, staging,
                DescribeRecord(record_number) + " 基準日 " + reference_date.Slashed() + " のアセスメントに " +
                    std::string(table) + " の行がありません");
  }
}

void FormatIntakeRow(Database& db) {
  Recordset rows = EditStagedRow(db, kIntakeSource);
  for (std::string_view column : kIntakeDateColumns)
    Convert(rows, column, FormatForPrint(FieldText(rows, column), kPrintEraDate));
  Convert(rows, "受付日時", FormatForPrint(FieldText(rows, "受付日時"), kPrintEraDateTime));
  Convert(rows, "1-2", SexWord(FieldText(rows, "1-2")));
  for (int k = 1; k <= 17; ++k)
    for (const std::string& column : {"2-3-" + std::to_string(k), "5-2-" + std::to_string(k) + "-1"})
      Convert(rows, column, Mark(FieldText(rows, column), kCircleMark));
  Convert(rows, "5-2-18-1", Mark(FieldText(rows, "5-2-18-1"), kCircleMark));
  for (std::string_view column : {"4-4-d-2", "4-4-d-3"})
    Convert(rows, column, FormatForPrint(FieldText(rows, column), kPrintTime));
  for (std::string_view column : kIntakeMonthColumns)
    Convert(rows, column, FormatForPrint(FieldText(rows, column), kPrintEraMonth));
  rows.Update();
}

void ConvertCheckItems(Database& db) {
  // Items are taken in the table's order; the staging row of a section is
  // opened when its first item comes and saved when another section begins.
  std::optional<Recordset> rows;
  char letter = 0;
  for (const auto& item : db.Query("SELECT " + QuoteName(kCheckControlColumn) + " FROM " +
                                   QuoteName(kCheckControlTable) + " ORDER BY rowid")) {
    std::string column = ValueText(item[0]);
    if (column.empty() || SameName(column.substr(0, 2), "AA")) continue;
    char section = column[0] >= 'a' && column[0] <= 'z' ? static_cast<char>(column[0] - 'a' + 'A') : column[0];
    if (section != letter) {
      if (rows) rows->Update();
      rows = EditStagedRow(db, std::string(1, section));
      letter = section;
    }
    Convert(*rows, column, Mark(FieldText(*rows, column), kCheckMark));
  }
  if (rows) rows->Update();
}

void FormatAssessmentDates(Database& db) {
  for (std::string_view column : kAssessmentDateColumns) {
    std::string table = SameName(column.substr(0, 2), "AA") ? "AA" : std::string(1, column[0]);
    Recordset rows = EditStagedRow(db, table);
    Convert(rows, column, FormatForPrint(FieldText(rows, column), kPrintEraDate));
    rows.Update();
  }
}

std::string WriteXmlElements(const Recordset& row) {
  std::string lines;
  for (const FieldInfo& field : row.Fields()) {
    if (SameName(field.name, kRecordNumberColumn) || SameName(field.name, kReferenceDateColumn)) continue;
    lines += XmlElementLine(field.name, FieldText(row, field.name));
  }
  return lines;
}

void StageIntake(Database& db, int64_t record_number) {
  db.InTransaction([&] {
    db.DeleteAll(StagingName(kIntakeSource));
    db.Execute(StagingCopySql(db, kIntakeSource) + " WHERE [" + kRecordNumberColumn + "]=?1", {record_number});
    RequireRows(db, StagingName(kIntakeSource), DescribeRecord(record_number) + " の相談受付表がありません");
    FormatIntakeRow(db);
  });
}

CapListDates StageCapList(Database& db, int64_t record_number) {
  CapListDates dates{};
  db.InTransaction([&] {
    std::string staging = StagingName(kCapSelectionTable);
    db.DeleteAll(staging);
    db.Execute(StagingCopySql(db, kCapSelectionTable) + " WHERE [" + kRecordNumberColumn + "]=?1",
               {record_number});
    RequireRows(db, staging, DescribeRecord(record_number) + " のCAP選定結果がありません");
    // Newest first; the six newest get their print date, older rows stay as they are.
    std::vector<std::pair<std::string, int64_t>> newest;
    for (const auto& row : db.Query("SELECT " + QuoteName(kReferenceDateColumn) + ", rowid FROM " +
                                    QuoteName(db.TableName(staging)) + " ORDER BY " +
                                    QuoteName(kReferenceDateColumn) + " DESC LIMIT ?1",
                                    {int64_t{kCapListColumns}}))
      newest.emplace_back(ValueText(row[0]), std::get<int64_t>(row[1]));
    for (size_t i = 0; i < newest.size(); ++i) {
      db.Execute("UPDATE " + QuoteName(db.TableName(staging)) + " SET " + QuoteName(kPrintDateColumn) +
                     "=?1 WHERE rowid=?2",
                 {FormatForPrint(newest[i].first, kPrintEraDate), newest[i].second});
      dates[i] = Date::FromIso(newest[i].first).value_or(Date{}).DateOnly();
    }
  });
  return dates;
}

void StageAssessment(Database& db, Env& env, const std::string& app_dir, const Date& reference_date,
                     int64_t record_number) {
  static const std::vector<std::string> kTables = [] {
    std::vector<std::string> tables;
    for (char letter = 'A'; letter <= 'S'; ++letter) tables.emplace_back(1, letter);
    tables.emplace_back("AA");
    return tables;
  }();
  db.InTransaction([&] {
    for (const std::string& table : kTables) CopySectionToStaging(db, table, reference_date, record_number);
    ConvertCheckItems(db);
    {
      Recordset aa = EditStagedRow(db, "AA");
      Convert(aa, "AA-2", SexWord(FieldText(aa, "AA-2")));
      aa.Update();
    }
    FormatAssessmentDates(db);
    std::string lines;
    for (const std::string& table : kTables) lines += WriteXmlElements(db.OpenTable(StagingName(table)));
    std::string error;
    if (!env.WriteFile(app_dir + "/" + kXmlDataFile, XmlDataFile(lines), &error))
      throw ReportError(std::string(kXmlDataFile) + " に書き込めませんでした: " + error);
  });
}

}  // namespace zelka
