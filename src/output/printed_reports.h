// The three printed reports from the chosen record to the preview: stage the
// record (report_staging.h), build the report from the staged data
// (report_layout.h) and show it in the host's print preview. The intake sheet
// reads the staged intake row by column name, the assessment reads ZLK20.XML
// by upper-case element name, and the CAP list reads the staged CAP選定 rows
// of its six date slots.
#pragma once

#include <cstdint>
#include <string>

#include "host/host.h"
#include "store/catalogue.h"
#include "store/database.h"
#include "util/date.h"
#include "util/env.h"

namespace zelka {

struct ReportContext {
  Database& db;
  Env& env;
  std::string app_dir;  // where ZLK20.XML is written and read
  const Catalogue& catalogue;
};

// Stage and build; throw ReportError or StoreError with nothing shown.
ReportView IntakeReport(ReportContext& context, int64_t record_number);
ReportView AssessmentReport(ReportContext& context, const Date& reference_date, int64_t record_number);
ReportView CapListReport(ReportContext& context, int64_t record_number, const std::string& client_name);

// The print commands' last step: stage, build and show the report. A failure
// is told to the user (what is missing or could not be written) and nothing
// is shown. True when the report was shown.
bool StageIntakeReport(ReportContext& context, Host& host, int64_t record_number);
bool StageAssessmentReport(ReportContext& context, Host& host, const Date& reference_date,
                           int64_t record_number);
bool StageCapListReport(ReportContext& context, Host& host, int64_t record_number,
                        const std::string& client_name);

inline constexpr char kReportFailurePrefix[] = "印刷できませんでした。\r\n";

}  // namespace zelka
