#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/cli/CliOptions.h"

using namespace tavro;
using namespace tavro::cli;

namespace {

// The options read, one field after another, the defaults left out.
std::string Describe(const TCliOptions& o) {
  std::string d = o.Action == TCliAction::Help ? "help" : o.Action == TCliAction::Version ? "version" : "run";
  if (o.Mode == modePOS) d += " pos";
  if (o.Output.PrimeImplicants) d += " pis";
  if (!o.Output.OptimizedFunctions) d += " no-optimized";
  if (o.Output.Terms) d += " terms";
  if (o.ShowStatus) d += " status";
  if (o.ShowStats) d += " stats";
  if (o.Params.Verify) d += " verify";
  if (o.Params.PrimeMethod != TPrimeMethod::Automatic) d += " primes" + std::to_string(int(o.Params.PrimeMethod));
  if (o.Params.Cost == TCostCriterion::Pla) d += " cost-pla";
  if (o.Params.TimeLimitSeconds != 60) d += " limit=" + std::to_string(o.Params.TimeLimitSeconds);
  if (o.Params.MaxMemoryBytes) d += " bytes=" + std::to_string(o.Params.MaxMemoryBytes);
  if (!o.File.empty()) d += " file=" + o.File;
  for (const auto& e : o.Expressions) d += " e=" + e;
  if (o.ExpressionInputs) d += " inputs=" + std::to_string(o.ExpressionInputs);
  for (const auto& [name, value] : {std::pair{"vhdl", &o.VhdlPath},
                                    {"verilog", &o.VerilogPath},
                                    {"pla", &o.PlaPath},
                                    {"o", &o.OutputPath},
                                    {"date", &o.Date}})
    if (*value) d += std::string(" ") + name + "=" + **value;
  return d;
}

// What a command line gives: Describe of the options, or "refused: " and the
// message.
std::string Read(const std::vector<std::string>& args) {
  const auto parsed = ParseCommandLine(args);
  if (const auto* refused = std::get_if<TCliUsageError>(&parsed)) return "refused: " + refused->Message;
  return Describe(std::get<TCliOptions>(parsed));
}

}  // namespace

TEST(CliOptions, AcceptedFormsAndRefusals) {
  const struct {
    std::vector<std::string> Args;
    std::string Expected;
  } cases[] = {
      {{"f.trm"}, "run file=f.trm"},
      {{"--pos", "--pis", "--no-optimized", "--terms", "--status", "--stats", "--verify", "f"},
       "run pos pis no-optimized terms status stats verify file=f"},
      {{"--pos", "--sop", "f"}, "run file=f"},
      {{"--primes=cubes", "--cost=pla", "--time-limit=2.5", "--max-memory", "8", "f"},
       "run primes4 cost-pla limit=2.500000 bytes=8388608 file=f"},
      {{"--vhdl", "d", "--verilog", "v", "--pla", "p", "-o", "out", "--date", "1/2/26", "f"},
       "run file=f vhdl=d verilog=v pla=p o=out date=1/2/26"},
      {{"-e", "A", "--expr", "-B", "--inputs", "3"}, "run e=A e=-B inputs=3"},
      // After "--" every argument is a file; "-" alone is one anyway.
      {{"--", "--pos"}, "run file=--pos"},
      {{"-"}, "run file=-"},
      // --help and --version end the reading, before any later refusal.
      {{"f", "-h", "--frobnicate"}, "help file=f"},
      {{"--version", "a", "b"}, "version"},
      {{"--frobnicate", "--help"}, "refused: unknown option '--frobnicate'"},
      {{}, "refused: no FILE given"},
      {{"a", "b"}, "refused: only one FILE may be given"},
      {{"f", "--vhdl"}, "refused: option '--vhdl' needs a value"},
      {{"--primes=fast", "f"}, "refused: --primes takes auto, pairing, dense, split or cubes"},
      {{"--cost=", "f"}, "refused: --cost takes smallest, pla or fast"},
      {{"--time-limit=-1", "f"}, "refused: --time-limit takes a number of seconds, not '-1'"},
      {{"--time-limit=1e7", "f"}, "refused: --time-limit takes a number of seconds, not '1e7'"},
      {{"-e", "A", "--inputs", "1025"}, "refused: --inputs takes a number from 1 to 1024"},
      {{"--max-memory", "12k", "f"}, "refused: --max-memory takes a number of MiB, not '12k'"},
      {{"-e", "A", "f"}, "refused: give either FILE or -e, not both"},
      {{"--inputs", "2", "f"}, "refused: --inputs needs -e"},
      {{"--vhdl", "", "f"}, "refused: --vhdl needs a file name"},
      {{"-o", "", "f"}, "refused: -o needs a file name"},
      {{"--date", "1\n2", "f"}, "refused: --date must not hold control characters such as a line break"},
  };
  for (const auto& c : cases) {
    std::string line;
    for (const auto& a : c.Args) line += "[" + a + "] ";
    EXPECT_EQ(Read(c.Args), c.Expected) << line;
  }
}
