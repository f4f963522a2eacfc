// zelka: the home-care assessment program. See docs/architecture.md and
// `zelka --help`.
#include <iostream>
#include <string>
#include <vector>

#include "shell/app.h"
#include "shell/cli.h"

namespace {

using zelka::CommandLine;

int RunBatch(const CommandLine& command_line) {
  std::cerr << "zelka: this command is not available in this build" << std::endl;
  return zelka::kExitUsage;
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
    case CommandLine::Mode::kVerify:
    case CommandLine::Mode::kWorksheet:
      return RunBatch(*command_line);
  }
  return zelka::kExitUsage;
}
