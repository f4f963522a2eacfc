#include "output/printed_reports.h"

#include <functional>

#include "output/report_layout.h"
#include "output/report_staging.h"
#include "store/schema.h"

namespace zelka {
namespace {

std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool Show(Host& host, const std::function<ReportView()>& build) {
  ReportView report;
  try {
    report = build();
  } catch (const std::exception& failure) {
    host.ShowMessage(kReportFailurePrefix + std::string(failure.what()), Buttons::kOk, Icon::kCritical);
    return false;
  }
  host.ShowReport(report);
  return true;
}

}  // namespace

ReportView IntakeReport(ReportContext& context, int64_t record_number) {
  StageIntake(context.db, record_number);
  Recordset row = context.db.OpenTable(std::string(kStagingPrefix) + "相談受付表");
  if (row.Eof()) throw ReportError("印刷用の相談受付表がありません");
  return {kIntakeReportTitle,
          IntakeReportHtml(context.catalogue, [&](const ColumnDef& c) { return FieldText(row, c.code); })};
}

ReportView AssessmentReport(ReportContext& context, const Date& reference_date, int64_t record_number) {
  StageAssessment(context.db, context.env, context.app_dir, reference_date, record_number);
  std::string bytes, error;
  std::string path = context.app_dir + "/" + kXmlDataFile;
  if (!context.env.ReadFile(path, &bytes, &error))
    throw ReportError(std::string(kXmlDataFile) + " を読めません: " + error);
  std::map<std::string, std::string> fields = ReadXmlFields(bytes);
  return {kAssessmentReportTitle, AssessmentReportHtml(context.catalogue, [&](const ColumnDef& c) {
            auto found = fields.find(UpperAscii(c.code));
            return found == fields.end() ? std::string() : found->second;
          })};
}

ReportView CapListReport(ReportContext& context, int64_t record_number, const std::string& client_name) {
  CapListDates dates = StageCapList(context.db, record_number);
  std::array<CapListColumn, kCapListColumns> columns;
  std::string staging = std::string(kStagingPrefix) + kCapSelectionTable;
  for (int k = 0; k < kCapListColumns; ++k) {
    if (dates[k].IsZero()) continue;  // no assessment for this column
    Recordset row = context.db.OpenKey(staging, record_number, dates[k]);
    if (row.Eof()) continue;
    columns[k].print_date = FieldText(row, kPrintDateColumn);
    for (int slot = 1; slot <= kCapSlots; ++slot)
      columns[k].caps.emplace_back(FieldText(row, CapNumberColumn(slot)), FieldText(row, CapNameColumn(slot)));
  }
  return {kCapListReportTitle, CapListHtml(client_name, columns, kCapSlots)};
}

bool StageIntakeReport(ReportContext& context, Host& host, int64_t record_number) {
  return Show(host, [&] { return IntakeReport(context, record_number); });
}

bool StageAssessmentReport(ReportContext& context, Host& host, const Date& reference_date, int64_t record_number) {
  return Show(host, [&] { return AssessmentReport(context, reference_date, record_number); });
}

bool StageCapListReport(ReportContext& context, Host& host, int64_t record_number, const std::string& client_name) {
  return Show(host, [&] { return CapListReport(context, record_number, client_name); });
}

}  // namespace zelka
