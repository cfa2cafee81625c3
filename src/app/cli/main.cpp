// tavro-cli: minimizes the system of a term file or PLA file and prints the
// output pane text that the SOP or POS command of the window would append to
// an empty pane; optionally writes the result as VHDL, Verilog or PLA.

#include <cstdio>
#include <string>
#include <variant>
#include <vector>

#include "app/cli/CliOptions.h"
#include "app/cli/RunCli.h"
#include "engine/core/RunParams.h"

int main(int argc, char** argv) {
  using namespace tavro::cli;
  tavro::KeepFreedMemoryForReuse();
  const auto parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (const auto* refused = std::get_if<TCliUsageError>(&parsed)) return Usage(refused->Message);
  const TCliOptions& options = std::get<TCliOptions>(parsed);
  switch (options.Action) {
    case TCliAction::Help: std::fputs(kUsage, stdout); return kExitOk;
    case TCliAction::Version: std::printf("tavro-cli %s\n", TAVRO_VERSION); return kExitOk;
    case TCliAction::Run: break;
  }
  return RunCli(options);
}
