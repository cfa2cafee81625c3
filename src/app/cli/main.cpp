// tavro-cli: minimizes the system of a term file or PLA file and prints the
// output pane text that the SOP or POS command of the window would append to
// an empty pane; optionally writes the result as VHDL, Verilog or PLA.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/io/Expression.h"
#include "engine/io/FileIO.h"
#include "engine/core/FunctionSystem.h"
#include "engine/run/Minimize.h"
#include "engine/io/Pla.h"
#include "engine/io/TermFile.h"
#include "engine/io/Verilog.h"
#include "engine/io/Vhdl.h"
#include "model/Errors.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitInternal = 1;
constexpr int kExitUsage = 2;
constexpr int kExitRefused = 3;

const char* const kUsage =
    "Usage: tavro-cli [OPTIONS] FILE\n"
    "Minimizes the system of Boolean functions in FILE and prints the text that\n"
    "the SOP or POS command appends to the output pane. FILE is a term file, or\n"
    "a Berkeley PLA file when its name ends in \".pla\" (in any case): each PLA\n"
    "output becomes one minterm function.\n"
    "       tavro-cli [OPTIONS] -e EXPR [-e EXPR ...]\n"
    "Minimizes the functions given as Boolean expressions instead.\n"
    "\n"
    "  -e, --expr EXPR   one function as an expression over A, B, C, ... (A the\n"
    "                    most significant input): NOT ~ ! or postfix ', AND by\n"
    "                    juxtaposition * & ., XOR ^, OR + |, parentheses, 0, 1\n"
    "  --inputs N        read the expressions over N inputs (default: the\n"
    "                    highest variable used)\n"
    "  --sop             sum of products (default)\n"
    "  --pos             product of sums\n"
    "  --pis             also list all prime implicants\n"
    "  --no-optimized    leave out the optimized functions\n"
    "  --terms           list each cube as the terms it covers\n"
    "  --status          print each status text on stderr as the run reaches it\n"
    "  --stats           print the run's figures on stderr (name: value)\n"
    "  --verify          check the prime implicants in depth (each one prime,\n"
    "                    and up to 10 inputs the whole list and its order)\n"
    "  --vhdl PATH       write the result as VHDL (\".vhd\" is added unless PATH\n"
    "                    ends in it, in any case, or names a device)\n"
    "  --verilog PATH    write the result as a Verilog-2001 module to PATH\n"
    "  --pla PATH        write the result as a PLA file to PATH (.type f; after\n"
    "                    --pos .type r: the rows are the cubes of the zeros)\n"
    "  --date TEXT       date for the VHDL and Verilog header (default: today;\n"
    "                    no control characters)\n"
    "  --max-memory MIB  stop a run, or the reading of FILE, that would need\n"
    "                    more working memory (default: half of the physical\n"
    "                    memory, at most 4096)\n"
    "  --primes=METHOD   how prime implicants are found: auto (default), pairing,\n"
    "                    dense, split or cubes; all give the same result\n"
    "  --cost=CRITERION  how the cover is chosen: smallest (default; essential\n"
    "                    rows, row reduction, greedy completion) or pla (the\n"
    "                    fewest products, then the fewest literals; proven\n"
    "                    minimal, or the best found within the time limit)\n"
    "  --time-limit=S    seconds the pla search may take (default 60; 0: none)\n"
    "  -o PATH           write the output to PATH instead of stdout\n"
    "  -h, --help        show this help\n"
    "  --version         show the version\n"
    "\n"
    "Output files are checked before the run and written only after it: a run\n"
    "refused, or an output that cannot be written (a missing folder, a folder\n"
    "named as the file, a file the user may not write), writes no file. Each\n"
    "file is replaced whole through a temporary file, keeping its owner, group\n"
    "and permissions and a symbolic link; a file with other hard links, or in a\n"
    "folder that takes no new file, is rewritten in place.\n"
    "\n"
    "Exit status: 0 done (also for a system without terms, which prints nothing),\n"
    "1 internal error, 2 usage or file error (also an output path naming the\n"
    "input or another output), 3 run refused (a function without terms, too\n"
    "many input bits, a run or a file too large for the memory limit, or a\n"
    "system without terms with --vhdl, --verilog or --pla), 130 stopped by\n"
    "SIGINT, 143 by SIGTERM (no file is left half-written, no temporary file\n"
    "behind).\n";

class CliHost : public tavro::IEngineHost {
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

int Usage(const std::string& message) {
  std::fprintf(stderr, "tavro-cli: %s\nTry 'tavro-cli --help' for more information.\n",
               message.c_str());
  return kExitUsage;
}

// What a path names for writing: the device and inode of the file a write
// would reach (links followed), or for a file that does not exist yet its
// canonical folder and name.
std::string FileIdentity(const std::string& path) {
  std::string target = path;
  try {
    target = tavro::ResolveLinks(path);
  } catch (const tavro::FileError&) {
  }
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0)
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  std::error_code ignored;
  const std::filesystem::path absolute = std::filesystem::absolute(target, ignored);
  return "new:" + std::filesystem::weakly_canonical(absolute, ignored).string();
}

// An output path as given on the command line.
struct OutputPath {
  std::string Option, Path;
};

// Refuses an output that would replace the input file or another output of
// the same run; returns an empty text when all outputs are distinct files.
// Without an input file (expressions) only the outputs are compared.
std::string OverwrittenFile(const std::string& input, const std::vector<OutputPath>& outputs) {
  const std::string inputId = input.empty() ? std::string() : FileIdentity(input);
  std::vector<std::string> ids;
  for (const auto& o : outputs) {
    const std::string id = FileIdentity(o.Path);
    if (!input.empty() && id == inputId) return o.Option + " " + o.Path + " would overwrite the input file";
    for (size_t k = 0; k < ids.size(); ++k)
      if (ids[k] == id)
        return o.Option + " " + o.Path + " would overwrite the output of " + outputs[k].Option;
    ids.push_back(id);
  }
  return "";
}

// SIGINT and SIGTERM while a file is written remove its temporary file
// first; the status is the shell's for the signal. A signal the tool was
// started with ignored stays ignored.
extern "C" void OnStopSignal(int signal) {
  if (tavro::DiscardWriteOnSignal(signal)) _exit(128 + signal);
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

void PrintStats(const tavro::TRunStats& s) {
  std::fputs(s.Text().c_str(), stderr);
  std::fprintf(stderr, "peak MiB: %.1f\n", PeakMiB());
}

}  // namespace

int main(int argc, char** argv) {
  int mode = tavro::modeSOP;
  tavro::TOutputOptions options;
  bool showStatus = false, showStats = false;
  std::string vhdlPath, verilogPath, plaPath, outputPath, file, date;
  bool haveVhdl = false, haveVerilog = false, havePla = false, haveOutput = false,
       haveDate = false;
  tavro::TRunParams params;
  std::vector<std::string> expressions;
  int expressionInputs = 0;

  std::vector<std::string> args(argv + 1, argv + argc);
  bool onlyFiles = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* name) -> const std::string* {
      if (i + 1 >= args.size()) return nullptr;
      (void)name;
      return &args[++i];
    };
    if (!onlyFiles && a == "--") {
      onlyFiles = true;
    } else if (!onlyFiles && (a == "-h" || a == "--help")) {
      std::fputs(kUsage, stdout);
      return kExitOk;
    } else if (!onlyFiles && a == "--version") {
      std::printf("tavro-cli %s\n", TAVRO_VERSION);
      return kExitOk;
    } else if (!onlyFiles && a == "--sop") {
      mode = tavro::modeSOP;
    } else if (!onlyFiles && a == "--pos") {
      mode = tavro::modePOS;
    } else if (!onlyFiles && a == "--pis") {
      options.PrimeImplicants = true;
    } else if (!onlyFiles && a == "--no-optimized") {
      options.OptimizedFunctions = false;
    } else if (!onlyFiles && a == "--terms") {
      options.Terms = true;
    } else if (!onlyFiles && a == "--status") {
      showStatus = true;
    } else if (!onlyFiles && a.rfind("--primes=", 0) == 0) {
      const std::string method = a.substr(9);
      if (method == "pairing") params.PrimeMethod = tavro::TPrimeMethod::Pairing;
      else if (method == "dense") params.PrimeMethod = tavro::TPrimeMethod::Dense;
      else if (method == "split") params.PrimeMethod = tavro::TPrimeMethod::Split;
      else if (method == "cubes") params.PrimeMethod = tavro::TPrimeMethod::Cubes;
      else if (method == "auto") params.PrimeMethod = tavro::TPrimeMethod::Automatic;
      else return Usage("--primes takes auto, pairing, dense, split or cubes");
    } else if (!onlyFiles && a.rfind("--cost=", 0) == 0) {
      const std::string cost = a.substr(7);
      if (cost == "smallest") params.Cost = tavro::TCostCriterion::Smallest;
      else if (cost == "pla") params.Cost = tavro::TCostCriterion::Pla;
      else return Usage("--cost takes smallest or pla");
    } else if (!onlyFiles && a.rfind("--time-limit=", 0) == 0) {
      const std::string text = a.substr(13);
      char* end = nullptr;
      const double seconds = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || !(seconds >= 0) || seconds > 1e6)
        return Usage("--time-limit takes a number of seconds, not '" + text + "'");
      params.TimeLimitSeconds = seconds;
    } else if (!onlyFiles && a == "--verify") {
      params.Verify = true;
    } else if (!onlyFiles && a == "--stats") {
      showStats = true;
    } else if (!onlyFiles && (a == "--vhdl" || a == "--verilog" || a == "--pla" || a == "--date" ||
                             a == "-o" || a == "--max-memory" || a == "-e" || a == "--expr" ||
                             a == "--inputs")) {
      const std::string* v = value(a.c_str());
      if (!v) return Usage("option '" + a + "' needs a value");
      if (a == "--vhdl") vhdlPath = *v, haveVhdl = true;
      else if (a == "--verilog") verilogPath = *v, haveVerilog = true;
      else if (a == "--pla") plaPath = *v, havePla = true;
      else if (a == "--date") date = *v, haveDate = true;
      else if (a == "-o") outputPath = *v, haveOutput = true;
      else if (a == "-e" || a == "--expr") expressions.push_back(*v);
      else if (a == "--inputs") {
        char* end = nullptr;
        const long n = std::strtol(v->c_str(), &end, 10);
        if (v->empty() || *end != '\0' || n < 1 || n > tavro::MaxInputBits)
          return Usage("--inputs takes a number from 1 to " + std::to_string(tavro::MaxInputBits));
        expressionInputs = static_cast<int>(n);
      }
      else {
        char* end = nullptr;
        const unsigned long long mib = std::strtoull(v->c_str(), &end, 10);
        if (v->empty() || *end != '\0' || mib == 0 || mib > (1ull << 40))
          return Usage("--max-memory takes a number of MiB, not '" + *v + "'");
        params.MaxMemoryBytes = mib << 20;
      }
    } else if (!onlyFiles && a.size() > 1 && a[0] == '-') {
      return Usage("unknown option '" + a + "'");
    } else {
      if (!file.empty()) return Usage("only one FILE may be given");
      file = a;
    }
  }
  if (!expressions.empty() && !file.empty()) return Usage("give either FILE or -e, not both");
  if (expressionInputs != 0 && expressions.empty()) return Usage("--inputs needs -e");
  if (file.empty() && expressions.empty()) return Usage("no FILE given");
  if (haveVhdl && vhdlPath.empty()) return Usage("--vhdl needs a file name");
  if (haveVerilog && verilogPath.empty()) return Usage("--verilog needs a file name");
  if (havePla && plaPath.empty()) return Usage("--pla needs a file name");
  if (haveOutput && outputPath.empty()) return Usage("-o needs a file name");
  // A line break would end the header comment and put the rest into the HDL.
  if (std::any_of(date.begin(), date.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; }))
    return Usage("--date must not hold control characters such as a line break");
  // Writing a result over the system it came from, or two results over each
  // other, would lose one of them.
  {
    std::vector<OutputPath> outputs;
    if (haveOutput) outputs.push_back({"-o", outputPath});
    if (haveVhdl) outputs.push_back({"--vhdl", tavro::VhdlPath(vhdlPath, tavro::TExtensionCase::Any)});
    if (haveVerilog) outputs.push_back({"--verilog", verilogPath});
    if (havePla) outputs.push_back({"--pla", plaPath});
    const std::string overwritten = OverwrittenFile(file, outputs);
    if (!overwritten.empty()) return Usage(overwritten);
    // All are checked before any is written: a run refused for one writes none.
    for (const auto& o : outputs) {
      try {
        tavro::CheckWritable(o.Path);
      } catch (const tavro::FileError& e) {
        std::fprintf(stderr, "tavro-cli: %s\n", e.what());
        return kExitUsage;
      }
    }
  }

  tavro::TFunctionSystem system;
  try {
    // A wide PLA is run from its rows; its terms are listed only if the run
    // needs them. The memory limit holds from the first byte read.
    if (expressions.empty()) {
      tavro::TLoadParams load;
      load.ListPlaTerms = false;
      load.MaxMemoryBytes = params.MaxMemoryBytes;
      tavro::LoadSystemFile(system, file, load);
    } else {
      tavro::TExpressionParams expressionParams;
      expressionParams.MaxMemoryBytes = params.MaxMemoryBytes;
      tavro::LoadExpressions(system, expressions, expressionInputs, expressionParams);
    }
  } catch (const tavro::ResourceError& e) {
    // Refused as a run past the limit is, in the same words.
    std::fprintf(stderr, "%s\n", e.what());
    return kExitRefused;
  } catch (const tavro::TavroError& e) {
    if (expressions.empty()) std::fprintf(stderr, "tavro-cli: %s: %s\n", file.c_str(), e.what());
    else std::fprintf(stderr, "tavro-cli: %s\n", e.what());
    return kExitUsage;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "tavro-cli: %s: out of memory\n", file.c_str());
    return kExitUsage;
  }
  system.UpdateInputBits();

  CliHost host(showStatus);
  tavro::TRunStats stats;
  tavro::TRunOutcome outcome;
  try {
    outcome = tavro::RunCommand(system, mode, options, host, &stats, params);
  } catch (const tavro::TavroError& e) {
    std::fprintf(stderr, "tavro-cli: %s\n", e.what());
    return kExitInternal;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "tavro-cli: out of memory\n");
    return kExitRefused;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavro-cli: Internal error: %s\n", e.what());
    return kExitInternal;
  }

  switch (outcome) {
    case tavro::TRunOutcome::NothingToDo:
      // No terms, so no result: a result file asked for cannot be written,
      // and leaving an old one in place would pass for this run's result.
      if (haveVhdl || haveVerilog || havePla) {
        std::fprintf(stderr, "tavro-cli: %s holds no terms, so there is no result to write to %s\n",
                     file.c_str(),
                     (haveVhdl ? tavro::VhdlPath(vhdlPath, tavro::TExtensionCase::Any) : haveVerilog ? verilogPath : plaPath).c_str());
        return kExitRefused;
      }
      break;
    case tavro::TRunOutcome::EmptyFunction:
    case tavro::TRunOutcome::TooWide:
    case tavro::TRunOutcome::TooLarge:
    case tavro::TRunOutcome::Stopped:
      // A chart too large is refused after the primes were found: their
      // number tells how large.
      if (showStats && outcome == tavro::TRunOutcome::TooLarge && stats.Primes > 0)
        std::fprintf(stderr, "primes: %lld\n", static_cast<long long>(stats.Primes));
      if (!showStatus) std::fprintf(stderr, "%s\n", host.Status.c_str());
      return kExitRefused;
    case tavro::TRunOutcome::Completed:
      break;
  }

  CatchStopSignals();
  try {
    // An empty system prints nothing; -o then holds that nothing too.
    if (haveOutput) {
      tavro::WriteFileAtomic(outputPath, host.Output);
    } else {
      std::fwrite(host.Output.data(), 1, host.Output.size(), stdout);
      if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "tavro-cli: cannot write the output\n");
        return kExitUsage;
      }
    }
    if (haveVhdl) {
      tavro::WriteVHDL(*system.ResultCubes, tavro::VhdlPath(vhdlPath, tavro::TExtensionCase::Any), system.ResultMode,
                       system.InputBits, system.FunctionCount(),
                       haveDate ? date : tavro::TodayShortDate());
    }
    if (haveVerilog) {
      tavro::WriteVerilog(*system.ResultCubes, verilogPath, system.ResultMode, system.InputBits,
                          system.FunctionCount(), haveDate ? date : tavro::TodayShortDate());
    }
    if (havePla) {
      tavro::WritePla(*system.ResultCubes, plaPath, system.ResultMode, system.InputBits,
                      system.FunctionCount());
    }
  } catch (const tavro::TavroError& e) {
    std::fprintf(stderr, "tavro-cli: %s\n", e.what());
    return kExitUsage;
  }
  if (showStats && outcome == tavro::TRunOutcome::Completed) PrintStats(stats);
  return kExitOk;
}
