// The printed reports as HTML pages laid out after the paper forms: A4
// portrait sheets, one per page of the form, with the form's item numbers,
// labels, boxes and rules and the answers in place. The intake sheet and the
// assessment are generated from the item catalogue (each column's code,
// label, kind and choices, grouped by its page and heading), so that a column
// is printed where it is entered; the CAP list is a fixed one-page table.
// Each page is one self-contained document (styles inline, no scripts), fit
// for the preview, for a file and for a PDF printer.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "store/catalogue.h"

namespace zelka {

inline constexpr char kIntakeReportTitle[] = "相談受付表";
inline constexpr char kAssessmentReportTitle[] = "在宅ケアアセスメント表(ZELKA2.0)";
inline constexpr char kCapListReportTitle[] = "CAP一覧表";

// The print text of a column ("" when it has none).
using ReportValues = std::function<std::string(const ColumnDef&)>;

// A label as HTML: markup escaped, "♪" a line break.
std::string LabelHtml(std::string_view label);

// The intake sheet: four sheets (Ⅰ, Ⅱ, Ⅲ with Ⅳ, Ⅴ).
std::string IntakeReportHtml(const Catalogue& catalogue, const ReportValues& values);
// The assessment: nineteen sheets, sections A to S (C and D share one) and AA last.
std::string AssessmentReportHtml(const Catalogue& catalogue, const ReportValues& values);

// One assessment column of the CAP list: its print date and its filled slots
// (CAP number and name).
struct CapListColumn {
  std::string print_date;
  std::vector<std::pair<std::string, std::string>> caps;
};
// The CAP list: the client's name and six columns side by side, each with
// every slot of the CAP選定 row.
std::string CapListHtml(const std::string& client_name, const std::array<CapListColumn, 6>& columns,
                        int slots);

}  // namespace zelka
