// The command line of the zelka program: which mode it runs in and with what.
//
//   zelka [--app-dir DIR] [--port N] [--no-browser]      run the application
//   zelka init --app-dir DIR                              lay out a program directory
//   zelka verify --app-dir DIR --out FILE                 verification export
//   zelka worksheet --app-dir DIR --id N --date YYYY-MM-DD --out FILE
//   zelka report --app-dir DIR --form intake|assessment|cap-list --id N [--date YYYY-MM-DD] --out FILE
//   zelka --help
//
// Options may also be written "--name=value".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "output/report_batch.h"
#include "util/date.h"

namespace zelka {

struct CommandLine {
  enum class Mode { kRun, kInit, kVerify, kWorksheet, kReport, kHelp };
  Mode mode = Mode::kRun;
  std::string app_dir;  // empty: the folder of the executable
  int port = 0;         // 0: any free port
  bool no_browser = false;
  std::string out;             // verify, worksheet, report
  int64_t record_number = 0;   // worksheet, report --id
  Date reference_date;         // worksheet, report --date
  ReportForm form = ReportForm::kIntake;  // report --form
};

// Parses the arguments after the program name. Returns nullopt and a message
// fit for standard error when they are not a valid command line.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string* error);

// The program directory the command line names, as an absolute path: --app-dir,
// or the folder that holds the running executable.
std::string ProgramDirectory(const CommandLine& command_line);

// The text `zelka --help` prints.
std::string UsageText();

// Exit statuses of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // start-up failed, a second copy, a batch run failed
inline constexpr int kExitUsage = 2;    // a bad command line, or a mode not available

}  // namespace zelka
