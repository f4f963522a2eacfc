// The staging of the printed reports. A report never reads the working
// tables: the chosen record is copied into the staging tables (rpt + the
// source name) and converted there into print form (era dates, "○" and "ﾚ"
// marks, 男/女), and for the assessment the staged rows are written to the XML
// data file ZLK20.XML that its report reads. Each Stage… function runs as one
// transaction: when a row is missing or anything cannot be written it throws
// (ReportError or StoreError), the staging tables and ZLK20.XML keep what
// they held, and the working tables are never touched.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "output/report_xml.h"
#include "store/database.h"
#include "util/date.h"
#include "util/env.h"

namespace zelka {

// The CAP list shows up to six assessments of a client side by side.
inline constexpr int kCapListColumns = 6;
// The assessment date of each column, newest first; a zero date is an empty column.
using CapListDates = std::array<Date, kCapListColumns>;

// Print formats: era date, era date and time, era month, time.
inline constexpr char kPrintEraDate[] = "ggge\\年m\\月d\\日";
inline constexpr char kPrintEraDateTime[] = "ggge\\年mm\\月dd日 hh：nn";
inline constexpr char kPrintEraMonth[] = "ge\\.m";
inline constexpr char kPrintTime[] = "h:mm";

// The value of a column of the current row as text; "" for Null.
std::string FieldText(const Recordset& rows, std::string_view column);

// A stored value in a print format: "" stays "", text that is no date stays as
// it is, and a first era year reads 元 (令和元年5月1日).
std::string FormatForPrint(const std::string& text, std::string_view format);

// Copies one section row of an assessment (or, for "AA", the client's row)
// into its staging table, which is emptied first. Throws ReportError when
// the source has no such row.
void CopySectionToStaging(Database& db, std::string_view table, const Date& reference_date,
                          int64_t record_number);

// The print conversions of the staged rows.
void FormatIntakeRow(Database& db);
void ConvertCheckItems(Database& db);  // the items listed in チェック変換対象: "1" → "ﾚ", else ""
void FormatAssessmentDates(Database& db);

// The element lines of the current row of a staging table (every column
// but 整理番号 and 基準日), CP932.
std::string WriteXmlElements(const Recordset& row);

// The three stagings.
void StageIntake(Database& db, int64_t record_number);
CapListDates StageCapList(Database& db, int64_t record_number);
// Also writes ZLK20.XML into `app_dir` (whole: a temporary file renamed over the old one).
void StageAssessment(Database& db, Env& env, const std::string& app_dir, const Date& reference_date,
                     int64_t record_number);

}  // namespace zelka
