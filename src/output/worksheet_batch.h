// The batch twin of the CAP review worksheet, for maintenance and benchmarks:
// `zelka worksheet --app-dir DIR --id N --date YYYY-MM-DD --out FILE`. It runs
// the selection for the assessment (storing its CAP選定 row) and writes the
// worksheet to the given file, with the code of the interactive command;
// messages go to `out`, failures to `err`.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "util/date.h"

namespace zelka {

// Returns 0 when the worksheet was written, and also when no CAP is triggered
// (the message says so and no file is written: that is an answer, not a
// failure); 1 when the assessment is missing, the settings file cannot be
// read, the output file is one of the program's own files, or anything else
// fails.
int RunWorksheetCommand(const std::string& app_dir, int64_t record_number, const Date& reference_date,
                        const std::string& out_path, std::ostream& out, std::ostream& err);

}  // namespace zelka
