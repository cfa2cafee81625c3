#pragma once
// The command line of tavro-cli: its options read into one struct, or the
// reason they are refused. Reading looks at no file.

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/core/FunctionSystem.h"
#include "engine/core/RunParams.h"
#include "engine/io/SystemFile.h"
#include "engine/run/Minimize.h"

namespace tavro::cli {

// The help text (--help).
extern const char* const kUsage;

// What the command line asks for: a run, or only the help or version text.
enum class TCliAction { Run, Help, Version };

struct TCliOptions {
  TCliAction Action = TCliAction::Run;
  int Mode = modeSOP;                    // --sop, --pos
  TOutputOptions Output;                 // --pis, --no-optimized, --terms
  bool ShowStatus = false;               // --status
  bool ShowStats = false;                // --stats
  bool Steps = false;                    // --steps
  TRunParams Params;                     // --primes=, --cost=, --time-limit=, --verify, --max-memory
  std::string File;                      // FILE; empty when the functions are expressions
  std::vector<std::string> Expressions;  // -e, --expr, in their order
  int ExpressionInputs = 0;              // --inputs; 0 when not given
  // The output paths and the header date as given; absent when not given.
  std::optional<std::string> VhdlPath, VerilogPath, PlaPath, OutputPath, Date;
  std::optional<std::string> BlifPath, EqntottPath, CsvPath, JsonPath, LatexPath;
  std::string PlaType = "f";                    // --pla-type: f, fd, fr or fdr
  TFileFormat Format = TFileFormat::Automatic;  // --format
  bool StandardInput() const { return File == "-"; }
};

// A command line refused: the message that follows "tavro-cli: ".
struct TCliUsageError {
  std::string Message;
};

// Reads the arguments that follow the program's name. --help and --version
// end the reading where they stand; the first refusal ends it too.
std::variant<TCliOptions, TCliUsageError> ParseCommandLine(const std::vector<std::string>& args);

}  // namespace tavro::cli
