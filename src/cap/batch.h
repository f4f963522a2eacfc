// The batch twin of the verification run, for maintenance and benchmarks:
// `zelka verify --app-dir DIR --out FILE`. It runs the same recomputation and
// export as the hidden button of the assessment search, without dialogs:
// progress and failures go to `err`, the completion message to `out`.
#pragma once

#include <ostream>
#include <string>

namespace zelka {

// Returns 0 when CAP選定 was refilled and the export written; 1 otherwise
// (the store cannot be opened, the output file is one of the program's own
// files, an assessment cannot be evaluated — then CAP選定 is unchanged — or
// the file cannot be written).
int RunVerifyCommand(const std::string& app_dir, const std::string& out_path, std::ostream& out,
                     std::ostream& err);

}  // namespace zelka
