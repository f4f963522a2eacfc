// zelka: the home-care assessment program. See docs/architecture.md and
// `zelka --help`.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cap/batch.h"
#include "output/report_batch.h"
#include "output/worksheet_batch.h"
#include "web/run_application.h"
#include "shell/cli.h"
#include "shell/main_window.h"
#include "store/store_startup.h"

namespace {

using zelka::CommandLine;

// Lays out a fresh program directory from the data files delivered beside
// the executable.
int RunInit(const std::string& app_dir) {
  std::error_code ec;
  std::string delivered = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
  try {
    zelka::LayOutProgramDirectory(delivered, app_dir, zelka::Env::Default());
  } catch (const std::exception& e) {
    std::cerr << "zelka init: " << e.what() << std::endl;
    return zelka::kExitFailure;
  }
  std::cout << "zelka init: laid out " << app_dir << std::endl;
  return zelka::kExitOk;
}

// The batch twins open the store like the application does, so they claim the
// program directory first: never while a copy of the program runs on it.
int RunBatch(const CommandLine& command_line, const std::string& app_dir) {
  zelka::SingleInstanceLock lock;
  if (!zelka::ClaimProgramDirectory(app_dir, lock, std::cerr)) return zelka::kExitFailure;
  if (command_line.mode == CommandLine::Mode::kVerify)
    return zelka::RunVerifyCommand(app_dir, command_line.out, std::cout, std::cerr);
  if (command_line.mode == CommandLine::Mode::kReport)
    return zelka::RunReportCommand(app_dir, command_line.form, command_line.record_number,
                                   command_line.reference_date, command_line.out, std::cout, std::cerr);
  return zelka::RunWorksheetCommand(app_dir, command_line.record_number, command_line.reference_date,
                                    command_line.out, std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  auto command_line = zelka::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!command_line) {
    std::cerr << error << std::endl;
    return zelka::kExitUsage;
  }
  switch (command_line->mode) {
    case CommandLine::Mode::kHelp:
      std::cout << zelka::UsageText();
      return zelka::kExitOk;
    case CommandLine::Mode::kRun:
      return zelka::RunApplication(*command_line, std::cout, std::cerr);
    case CommandLine::Mode::kInit:
      return RunInit(zelka::ProgramDirectory(*command_line));
    case CommandLine::Mode::kVerify:
    case CommandLine::Mode::kWorksheet:
    case CommandLine::Mode::kReport:
      return RunBatch(*command_line, zelka::ProgramDirectory(*command_line));
  }
  return zelka::kExitUsage;
}
