// The application served to the browser: what `zelka` does when it is run
// without a batch command.
#pragma once

#include <iosfwd>

#include "shell/cli.h"

namespace zelka {

// Runs the application as the command line says (mode kRun): claims the
// program directory, opens the store, serves the browser host, prints its URL
// on `out`, opens the browser, and runs until quit or a signal. Returns the
// exit status; problems go to `err`.
int RunApplication(const CommandLine& command_line, std::ostream& out, std::ostream& err);

}  // namespace zelka
