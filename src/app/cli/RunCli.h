#pragma once
// Running tavro-cli once its command line is read: loading the system, the
// run, and the writing of the output and the result files.

#include <string>

#include "app/cli/CliOptions.h"

namespace tavro::cli {

// The exit statuses (listed in the help text).
constexpr int kExitOk = 0;
constexpr int kExitInternal = 1;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 3;

// Prints a refused command line's message and the pointer to --help on
// stderr; returns kExitUsage.
int Usage(const std::string& message);

// Does what the options ask for and returns the exit status. Output files are
// checked before the system is loaded and written only after the run.
int RunCli(const TCliOptions& options);

}  // namespace tavro::cli
