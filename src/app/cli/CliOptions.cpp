#include "app/cli/CliOptions.h"

#include <algorithm>
#include <cstdlib>

namespace tavro::cli {

const char* const kUsage =
    "Usage: tavro-cli [OPTIONS] FILE\n"
    "Minimizes the system of Boolean functions in FILE and prints the text that\n"
    "the SOP or POS command appends to the output pane. FILE is a term file, or\n"
    "a Berkeley PLA file when its name ends in \".pla\", a CSV truth table for\n"
    "\".csv\", a BLIF model for \".blif\" (in any case): each output becomes one\n"
    "minterm function. FILE - reads standard input, in the format its text\n"
    "shows.\n"
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
    "  --names           name the inputs and functions as the PLA file does\n"
    "                    (.ilb, .ob) in the text, and in the PLA, VHDL and\n"
    "                    Verilog files (there as comments)\n"
    "  --status          print each status text on stderr as the run reaches it\n"
    "  --stats           print the run's figures on stderr (name: value)\n"
    "  --verify          check the prime implicants in depth (each one prime,\n"
    "                    and up to 10 inputs the whole list and its order)\n"
    "  --vhdl PATH       write the result as VHDL (\".vhd\" is added unless PATH\n"
    "                    ends in it, in any case, or names a device)\n"
    "  --verilog PATH    write the result as a Verilog-2001 module to PATH\n"
    "  --pla PATH        write the result as a PLA file to PATH (.type f; after\n"
    "                    --pos .type r: the rows are the cubes of the zeros)\n"
    "  --pla-type TYPE   what --pla writes beside the result: f (default) the\n"
    "                    result alone, fd also the system's don't cares, fr\n"
    "                    also the rest (the off-set; after --pos the on-set),\n"
    "                    fdr both\n"
    "  --blif PATH       write the result as a BLIF model (one .names cover per\n"
    "                    output; after --pos covers of the zeros)\n"
    "  --eqntott PATH    write the result as eqntott equations (f0 = (A&!B) | (C);)\n"
    "  --csv PATH        write the system's truth table as CSV (up to 16 inputs)\n"
    "  --json PATH       write the result, its prime implicants and its figures\n"
    "                    as JSON; PATH - writes it on stdout in place of the text\n"
    "  --latex PATH      write a LaTeX document (pdflatex, TikZ) with the truth\n"
    "                    table, each function's Karnaugh maps with the result's\n"
    "                    loops (both up to 6 inputs) and the minimal expressions\n"
    "  --format FORMAT   read FILE as trm, pla, csv or blif, whatever its name\n"
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
    "                    minimal, or the best found within the time limit;\n"
    "                    each function then lists only the products it needs)\n"
    "                    or fast (expand, irredundant cover and reduce on the\n"
    "                    cubes, without all prime implicants). Where the\n"
    "                    prime implicants or their chart would pass the\n"
    "                    memory limit (or, past 24 inputs, take more than\n"
    "                    4 s), the other two fall back to fast unless\n"
    "                    --primes names a method\n"
    "  --hazard-free     a cover without static hazards for a change of one input:\n"
    "                    every two adjacent care terms of a function (its 1s;\n"
    "                    after --pos its 0s) lie in one product of it; the\n"
    "                    fewest products, then literals, by the search of\n"
    "                    --cost=pla (up to 24 inputs; --stats: hazards)\n"
    "  --steps           after the text, the run's steps: the cubes of each\n"
    "                    level (up to 8 inputs and 8 functions; past that\n"
    "                    their counts), the prime implicants, their chart\n"
    "                    and each step of the selection; such a run pairs\n"
    "                    the terms level by level\n"
    "  --time-limit=S    seconds the pla search, or the fast heuristic, may take\n"
    "                    (default 60; 0: none)\n"
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

namespace {

// The switches, options without a value; false for any other argument.
bool ReadSwitch(const std::string& a, TCliOptions& o) {
  if (a == "--sop") o.Mode = modeSOP;
  else if (a == "--pos") o.Mode = modePOS;
  else if (a == "--pis") o.Output.PrimeImplicants = true;
  else if (a == "--no-optimized") o.Output.OptimizedFunctions = false;
  else if (a == "--terms") o.Output.Terms = true;
  else if (a == "--names") o.Output.SignalNames = true;
  else if (a == "--hazard-free") o.Params.HazardFree = true;
  else if (a == "--steps") o.Steps = true;
  else if (a == "--status") o.ShowStatus = true;
  else if (a == "--verify") o.Params.Verify = true;
  else if (a == "--stats") o.ShowStats = true;
  else return false;
  return true;
}

bool StartsWith(const std::string& a, const char* prefix) { return a.rfind(prefix, 0) == 0; }

// The options written NAME=VALUE; false for any other argument. error
// receives the refusal of a value.
bool ReadAssigned(const std::string& a, TCliOptions& o, std::string& error) {
  if (StartsWith(a, "--primes=")) {
    const std::string method = a.substr(9);
    if (method == "pairing") o.Params.PrimeMethod = TPrimeMethod::Pairing;
    else if (method == "dense") o.Params.PrimeMethod = TPrimeMethod::Dense;
    else if (method == "split") o.Params.PrimeMethod = TPrimeMethod::Split;
    else if (method == "cubes") o.Params.PrimeMethod = TPrimeMethod::Cubes;
    else if (method == "auto") o.Params.PrimeMethod = TPrimeMethod::Automatic;
    else error = "--primes takes auto, pairing, dense, split or cubes";
  } else if (StartsWith(a, "--cost=")) {
    const std::string cost = a.substr(7);
    if (cost == "smallest") o.Params.Cost = TCostCriterion::Smallest;
    else if (cost == "pla") o.Params.Cost = TCostCriterion::Pla;
    else if (cost == "fast") o.Params.Cost = TCostCriterion::Fast;
    else error = "--cost takes smallest, pla or fast";
  } else if (StartsWith(a, "--time-limit=")) {
    const std::string text = a.substr(13);
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(seconds >= 0) || seconds > 1e6)
      error = "--time-limit takes a number of seconds, not '" + text + "'";
    else o.Params.TimeLimitSeconds = seconds;
  } else {
    return false;
  }
  return true;
}

bool TakesValue(const std::string& a) {
  return a == "--vhdl" || a == "--verilog" || a == "--pla" || a == "--date" || a == "-o" || a == "--max-memory" ||
         a == "-e" || a == "--expr" || a == "--inputs" || a == "--pla-type" || a == "--blif" || a == "--eqntott" ||
         a == "--csv" || a == "--json" || a == "--latex" || a == "--format";
}

// An option that takes the next argument as its value; returns the refusal
// of the value, or an empty text.
std::string ReadValue(const std::string& a, const std::string& v, TCliOptions& o) {
  if (a == "--vhdl") o.VhdlPath = v;
  else if (a == "--verilog") o.VerilogPath = v;
  else if (a == "--pla") o.PlaPath = v;
  else if (a == "--blif") o.BlifPath = v;
  else if (a == "--eqntott") o.EqntottPath = v;
  else if (a == "--csv") o.CsvPath = v;
  else if (a == "--json") o.JsonPath = v;
  else if (a == "--latex") o.LatexPath = v;
  else if (a == "--pla-type") {
    if (v != "f" && v != "fd" && v != "fr" && v != "fdr") return "--pla-type takes f, fd, fr or fdr";
    o.PlaType = v;
  } else if (a == "--format") {
    const auto format = FileFormatNamed(v);
    if (!format) return "--format takes trm, pla, csv or blif";
    o.Format = *format;
  } else if (a == "--date") o.Date = v;
  else if (a == "-o") o.OutputPath = v;
  else if (a == "-e" || a == "--expr") o.Expressions.push_back(v);
  else if (a == "--inputs") {
    char* end = nullptr;
    const long n = std::strtol(v.c_str(), &end, 10);
    if (v.empty() || *end != '\0' || n < 1 || n > kMaxCubeInputs)
      return "--inputs takes a number from 1 to " + std::to_string(kMaxCubeInputs);
    o.ExpressionInputs = static_cast<int>(n);
  } else {
    char* end = nullptr;
    const unsigned long long mib = std::strtoull(v.c_str(), &end, 10);
    if (v.empty() || *end != '\0' || mib == 0 || mib > (1ull << 40))
      return "--max-memory takes a number of MiB, not '" + v + "'";
    o.Params.MaxMemoryBytes = mib << 20;
  }
  return "";
}

bool EmptyPath(const std::optional<std::string>& path) { return path && path->empty(); }

// The checks of the options together; returns the refusal or an empty text.
std::string CombinationError(const TCliOptions& o) {
  if (!o.Expressions.empty() && !o.File.empty()) return "give either FILE or -e, not both";
  if (o.ExpressionInputs != 0 && o.Expressions.empty()) return "--inputs needs -e";
  if (o.File.empty() && o.Expressions.empty()) return "no FILE given";
  if (EmptyPath(o.VhdlPath)) return "--vhdl needs a file name";
  if (EmptyPath(o.VerilogPath)) return "--verilog needs a file name";
  if (EmptyPath(o.PlaPath)) return "--pla needs a file name";
  if (EmptyPath(o.BlifPath)) return "--blif needs a file name";
  if (EmptyPath(o.EqntottPath)) return "--eqntott needs a file name";
  if (EmptyPath(o.CsvPath)) return "--csv needs a file name";
  if (EmptyPath(o.JsonPath)) return "--json needs a file name";
  if (EmptyPath(o.LatexPath)) return "--latex needs a file name";
  if (o.PlaType != "f" && !o.PlaPath) return "--pla-type needs --pla";
  if (o.Format != TFileFormat::Automatic && o.File.empty()) return "--format needs FILE";
  if (EmptyPath(o.OutputPath)) return "-o needs a file name";
  // A line break would end the header comment and put the rest into the HDL.
  const std::string date = o.Date.value_or("");
  if (std::any_of(date.begin(), date.end(), [](unsigned char c) { return c < 0x20 || c == 0x7f; }))
    return "--date must not hold control characters such as a line break";
  return "";
}

}  // namespace

std::variant<TCliOptions, TCliUsageError> ParseCommandLine(const std::vector<std::string>& args) {
  TCliOptions o;
  bool onlyFiles = false;  // after "--" every argument is a file
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (onlyFiles || a.size() < 2 || a[0] != '-') {
      if (!o.File.empty()) return TCliUsageError{"only one FILE may be given"};
      o.File = a;
      continue;
    }
    if (a == "--") {
      onlyFiles = true;
      continue;
    }
    if (a == "-h" || a == "--help" || a == "--version") {
      o.Action = a == "--version" ? TCliAction::Version : TCliAction::Help;
      return o;
    }
    std::string error;
    if (TakesValue(a)) {
      if (i + 1 >= args.size()) return TCliUsageError{"option '" + a + "' needs a value"};
      error = ReadValue(a, args[++i], o);
    } else if (!ReadSwitch(a, o) && !ReadAssigned(a, o, error)) {
      return TCliUsageError{"unknown option '" + a + "'"};
    }
    if (!error.empty()) return TCliUsageError{error};
  }
  if (std::string error = CombinationError(o); !error.empty()) return TCliUsageError{error};
  return o;
}

}  // namespace tavro::cli
