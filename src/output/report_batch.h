// The batch twin of the print commands, for scripts, batch printing and
// tests: `zelka report --app-dir DIR --form intake|assessment|cap-list --id N
// [--date YYYY-MM-DD] --out FILE`. It stages the record exactly as the print
// command does (so ZLK20.XML is written for the assessment) and writes the
// report: FILE ending in .html gets the self-contained page, FILE ending in
// .pdf the page printed to PDF by the installed Chromium.
//
// The CAP list with --date first runs the CAP selection for that assessment,
// as the print command does after the user's choice, and prints the name the
// run read; without --date it prints the client's stored selections under the
// name stored with the newest one.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "util/date.h"

namespace zelka {

enum class ReportForm { kIntake, kAssessment, kCapList };

// "intake", "assessment", "cap-list"; nullopt for anything else.
std::optional<ReportForm> ParseReportForm(const std::string& name);

// The Chromium that prints PDFs: the first of /usr/bin/chromium and the
// chromium or chromium-browser found on PATH; "" when there is none.
std::string FindChromium();

// Prints an HTML file to a PDF file (A4 as the page's CSS says). False with
// *error when Chromium cannot be started, fails or takes too long.
bool PrintHtmlToPdf(const std::string& chromium, const std::string& html_path, const std::string& pdf_path,
                    std::string* error);

// Returns 0 when the report was written, 1 on any failure (with a message on
// `err`): no such record or row, a file that cannot be written, no Chromium.
int RunReportCommand(const std::string& app_dir, ReportForm form, int64_t record_number,
                     const Date& reference_date, const std::string& out_path, std::ostream& out,
                     std::ostream& err);

}  // namespace zelka
