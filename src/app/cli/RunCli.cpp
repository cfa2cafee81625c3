#include "app/cli/RunCli.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/FunctionSystem.h"
#include "engine/io/Blif.h"
#include "engine/io/Csv.h"
#include "engine/io/Eqntott.h"
#include "engine/io/Expression.h"
#include "engine/io/FileIO.h"
#include "engine/io/Json.h"
#include "engine/io/Latex.h"
#include "engine/io/Pla.h"
#include "engine/io/Steps.h"
#include "engine/io/SystemSets.h"
#include "engine/io/TermFile.h"
#include "engine/io/Verilog.h"
#include "engine/io/Vhdl.h"
#include "engine/run/Minimize.h"
#include "model/Errors.h"

namespace tavro::cli {

namespace {

class CliHost : public IEngineHost {
 public:
  explicit CliHost(bool showStatus) : FShowStatus(showStatus) {}
  void AppendOutput(const std::string& text) override { Output += text; }
  void SetStatus(const std::string& text) override {
    Status = text;
    if (FShowStatus) {
      std::fputs(text.c_str(), stderr);
      std::fputc('\n', stderr);
      std::fflush(stderr);
    }
  }
  void Beep() override {}
  std::string Output;
  std::string Status;

 private:
  bool FShowStatus;
};

// What a path names for writing: the device and inode of the file a write
// would reach (links followed), or for a file that does not exist yet its
// canonical folder and name.
std::string FileIdentity(const std::string& path) {
  std::string target = path;
  try {
    target = ResolveLinks(path);
  } catch (const FileError&) {
  }
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  std::error_code ignored;
  const std::filesystem::path absolute = std::filesystem::absolute(target, ignored);
  return "new:" + std::filesystem::weakly_canonical(absolute, ignored).string();
}

// An output path as given on the command line.
struct TNamedOutput {
  std::string Option, Path;
};

// Refuses an output that would replace the input file or another output of
// the same run; returns an empty text when all outputs are distinct files.
// Without an input file (expressions) only the outputs are compared.
std::string OverwrittenFile(const std::string& input, const std::vector<TNamedOutput>& outputs) {
  const std::string inputId = input.empty() ? std::string() : FileIdentity(input);
  std::vector<std::string> ids;
  for (const auto& o : outputs) {
    const std::string id = FileIdentity(o.Path);
    if (!input.empty() && id == inputId) return o.Option + " " + o.Path + " would overwrite the input file";
    for (size_t k = 0; k < ids.size(); ++k)
      if (ids[k] == id) return o.Option + " " + o.Path + " would overwrite the output of " + outputs[k].Option;
    ids.push_back(id);
  }
  return "";
}

// SIGINT and SIGTERM while a file is written remove its temporary file
// first; the status is the shell's for the signal. A signal the tool was
// started with ignored stays ignored.
extern "C" void OnStopSignal(int signal) {
  if (DiscardWriteOnSignal(signal)) _exit(128 + signal);
}

void CatchStopSignals() {
  for (const int signal : {SIGINT, SIGTERM}) {
    struct sigaction old {};
    if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
  }
}

double PeakMiB() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The run's figures and the peak memory, as --stats prints them.
std::vector<std::pair<std::string, std::string>> Figures(const TRunStats& s) {
  auto figures = s.Figures();
  char peak[32];
  std::snprintf(peak, sizeof peak, "%.1f", PeakMiB());
  figures.emplace_back("peak MiB", peak);
  return figures;
}

void PrintStats(const TRunStats& s) {
  for (const auto& [name, value] : Figures(s)) std::fprintf(stderr, "%s: %s\n", name.c_str(), value.c_str());
}

// The file names the options write: the VHDL name with its extension.
struct TOutputFiles {
  std::vector<TNamedOutput> All;  // in the order they are checked
  std::string Vhdl;
};

TOutputFiles OutputFiles(const TCliOptions& o) {
  TOutputFiles files;
  if (o.VhdlPath) files.Vhdl = VhdlPath(*o.VhdlPath, TExtensionCase::Any);
  if (o.OutputPath) files.All.push_back({"-o", *o.OutputPath});
  if (o.VhdlPath) files.All.push_back({"--vhdl", files.Vhdl});
  if (o.VerilogPath) files.All.push_back({"--verilog", *o.VerilogPath});
  if (o.PlaPath) files.All.push_back({"--pla", *o.PlaPath});
  if (o.BlifPath) files.All.push_back({"--blif", *o.BlifPath});
  if (o.EqntottPath) files.All.push_back({"--eqntott", *o.EqntottPath});
  if (o.CsvPath) files.All.push_back({"--csv", *o.CsvPath});
  if (o.JsonPath && *o.JsonPath != "-") files.All.push_back({"--json", *o.JsonPath});
  if (o.LatexPath) files.All.push_back({"--latex", *o.LatexPath});
  return files;
}

// Writing a result over the system it came from, or two results over each
// other, would lose one of them. All are checked before any is written: a
// run refused for one writes none. Returns kExitOk when all may be written.
int CheckOutputs(const TCliOptions& o, const TOutputFiles& files) {
  const std::string overwritten = OverwrittenFile(o.StandardInput() ? std::string() : o.File, files.All);
  if (!overwritten.empty()) return Usage(overwritten);
  for (const auto& f : files.All) {
    try {
      CheckWritable(f.Path);
    } catch (const FileError& e) {
      std::fprintf(stderr, "tavro-cli: %s\n", e.what());
      return kExitUsage;
    }
  }
  return kExitOk;
}

// Loads the file or the expressions into system; returns kExitOk when done.
int LoadSystem(const TCliOptions& o, TFunctionSystem& system) {
  try {
    // A wide PLA is run from its rows; its terms are listed only if the run
    // needs them. The memory limit holds from the first byte read.
    if (o.Expressions.empty()) {
      TLoadParams load;
      load.ListPlaTerms = false;
      load.MaxMemoryBytes = o.Params.MaxMemoryBytes;
      if (o.StandardInput()) {
        const std::string text = ReadFile("/dev/stdin", {"", false, load.MemoryLimit()});
        LoadSystemText(system, text, "standard input", load, o.Format);
      } else {
        LoadSystemFile(system, o.File, load, o.Format);
      }
    } else {
      TExpressionParams expressionParams;
      expressionParams.MaxMemoryBytes = o.Params.MaxMemoryBytes;
      LoadExpressions(system, o.Expressions, o.ExpressionInputs, expressionParams);
    }
  } catch (const ResourceError& e) {
    // Refused as a run past the limit is, in the same words.
    std::fprintf(stderr, "%s\n", e.what());
    return kExitRefused;
  } catch (const TavroError& e) {
    if (o.Expressions.empty())
      std::fprintf(stderr, "tavro-cli: %s: %s\n", o.StandardInput() ? "standard input" : o.File.c_str(), e.what());
    else std::fprintf(stderr, "tavro-cli: %s\n", e.what());
    return kExitUsage;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "tavro-cli: %s: out of memory\n", o.File.c_str());
    return kExitUsage;
  }
  system.UpdateInputBits();
  return kExitOk;
}

// The run; its failures reported. Returns kExitOk when it ended with an
// outcome, which is in outcome.
int Run(const TCliOptions& o, TFunctionSystem& system, CliHost& host, TRunStats& stats, TRunOutcome& outcome) {
  try {
    TOutputOptions output = o.Output;
    output.KeepPrimes = o.JsonPath.has_value();
    TRunParams params = o.Params;
    TStepRecorder steps;
    if (o.Steps) params.Observer = &steps;
    outcome = RunCommand(system, o.Mode, output, host, &stats, params);
    // The steps follow the text, in its line ends.
    if (o.Steps && outcome == TRunOutcome::Completed) {
      const std::string text = StepsText(steps.Record(), o.Output.SignalNames ? system.Names : TSignalNames{});
      for (const char c : text) {
        if (c == '\n') host.Output += '\r';
        host.Output += c;
      }
    }
  } catch (const TavroError& e) {
    std::fprintf(stderr, "tavro-cli: %s\n", e.what());
    return kExitInternal;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "tavro-cli: out of memory\n");
    return kExitRefused;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavro-cli: Internal error: %s\n", e.what());
    return kExitInternal;
  }
  return kExitOk;
}

// What the outcome of the run means for the tool; kExitOk when the output
// and the result files are to be written.
int CheckOutcome(const TCliOptions& o, const TOutputFiles& files, TRunOutcome outcome, const CliHost& host,
                 const TRunStats& stats) {
  switch (outcome) {
    case TRunOutcome::NothingToDo:
      // No terms, so no result: a result file asked for cannot be written,
      // and leaving an old one in place would pass for this run's result.
      for (const auto& f : files.All) {
        if (f.Option == "-o") continue;
        std::fprintf(stderr, "tavro-cli: %s holds no terms, so there is no result to write to %s\n", o.File.c_str(),
                     f.Path.c_str());
        return kExitRefused;
      }
      if (o.JsonPath) {
        std::fprintf(stderr, "tavro-cli: %s holds no terms, so there is no result to write\n", o.File.c_str());
        return kExitRefused;
      }
      return kExitOk;
    case TRunOutcome::EmptyFunction:
    case TRunOutcome::TooWide:
    case TRunOutcome::TooLarge:
    case TRunOutcome::Stopped:
      // A chart too large is refused after the primes were found: their
      // number tells how large.
      if (o.ShowStats && outcome == TRunOutcome::TooLarge && stats.Primes > 0)
        std::fprintf(stderr, "primes: %lld\n", static_cast<long long>(stats.Primes));
      if (!o.ShowStatus) std::fprintf(stderr, "%s\n", host.Status.c_str());
      return kExitRefused;
    case TRunOutcome::Completed: return kExitOk;
  }
  return kExitOk;
}

// Writes the output text and the result files; returns kExitOk when all
// were written.
int WriteResults(const TCliOptions& o, const TOutputFiles& files, const TFunctionSystem& system,
                 const std::string& output, const TRunStats& stats) {
  const TSignalNames names = o.Output.SignalNames ? system.Names : TSignalNames{};
  try {
    // An empty system prints nothing; -o then holds that nothing too.
    if (o.OutputPath) WriteFileAtomic(*o.OutputPath, output);
    // --json - puts the JSON where the text would go.
    const bool jsonShown = o.JsonPath == "-";
    if (!o.OutputPath || jsonShown) {
      const std::string shown = jsonShown ? JsonText(system, Figures(stats)) : output;
      std::fwrite(shown.data(), 1, shown.size(), stdout);
      if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "tavro-cli: cannot write the output\n");
        return kExitUsage;
      }
    }
    if (o.VhdlPath) {
      WriteVHDL(*system.ResultCubes, files.Vhdl, system.ResultMode, system.InputBits, system.FunctionCount(),
                o.Date ? *o.Date : TodayShortDate(), names);
    }
    if (o.VerilogPath) {
      WriteVerilog(*system.ResultCubes, *o.VerilogPath, system.ResultMode, system.InputBits, system.FunctionCount(),
                   o.Date ? *o.Date : TodayShortDate(), names);
    }
    // A system without terms has no result: nothing below is asked for then
    // (CheckOutcome refuses every result file).
    const TCover empty;
    const TCover& result = system.ResultCubes ? *system.ResultCubes : empty;
    const int inputs = system.InputBits, outputs = system.FunctionCount(), mode = system.ResultMode;
    if (o.PlaPath) {
      // The don't cares and the rest only where asked for: the rest is a
      // complement, which takes time.
      const bool withDontCares = o.PlaType.find('d') != std::string::npos;
      const bool withRest = o.PlaType.find('r') != std::string::npos;
      const TCover dontCares = withDontCares || withRest ? DontCareCubes(system) : TCover();
      const TCover rest = withRest ? RestCubes(result, dontCares, inputs) : TCover();
      WritePla(result, *o.PlaPath, mode, inputs, outputs, names,
               {withDontCares ? &dontCares : nullptr, withRest ? &rest : nullptr});
    }
    // These formats name the signals as the file did wherever it can.
    if (o.BlifPath) WriteFileAtomic(*o.BlifPath, BlifText(result, inputs, outputs, mode, system.Names));
    if (o.EqntottPath) WriteFileAtomic(*o.EqntottPath, EqntottText(result, inputs, outputs, mode, system.Names));
    if (o.CsvPath) WriteFileAtomic(*o.CsvPath, CsvText(system, system.Names));
    if (o.JsonPath && *o.JsonPath != "-") WriteFileAtomic(*o.JsonPath, JsonText(system, Figures(stats)));
    if (o.LatexPath) WriteLatex(system, *o.LatexPath, system.Names);
  } catch (const TavroError& e) {
    std::fprintf(stderr, "tavro-cli: %s\n", e.what());
    return kExitUsage;
  }
  return kExitOk;
}

}  // namespace

int Usage(const std::string& message) {
  std::fprintf(stderr, "tavro-cli: %s\nTry 'tavro-cli --help' for more information.\n", message.c_str());
  return kExitUsage;
}

int RunCli(const TCliOptions& options) {
  const TOutputFiles files = OutputFiles(options);
  if (const int status = CheckOutputs(options, files); status != kExitOk) return status;

  TFunctionSystem system;
  if (const int status = LoadSystem(options, system); status != kExitOk) return status;

  CliHost host(options.ShowStatus);
  TRunStats stats;
  TRunOutcome outcome{};
  if (const int status = Run(options, system, host, stats, outcome); status != kExitOk) return status;
  if (const int status = CheckOutcome(options, files, outcome, host, stats); status != kExitOk) return status;

  CatchStopSignals();
  if (const int status = WriteResults(options, files, system, host.Output, stats); status != kExitOk) return status;
  if (options.ShowStats && outcome == TRunOutcome::Completed) PrintStats(stats);
  return kExitOk;
}

}  // namespace tavro::cli
