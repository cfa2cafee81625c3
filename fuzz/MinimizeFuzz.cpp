// The whole run on small systems: any term file text of at most 8 input
// bits and 8 functions goes through RunCommand in both modes (and with either
// cost criterion, by a flag of the first byte), and every printed result is
// read back and evaluated against the truth tables by the independent
// evaluator of the tests.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/io/TermFile.h"
#include "engine/run/Minimize.h"
#include "model/Errors.h"
#include "support/RecordingHost.h"
#include "support/TruthTable.h"

namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& system, const std::string& pane) {
  std::fprintf(stderr, "%s\nsystem: %s\noutput:\n%s\n", what.c_str(), system.c_str(), pane.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tavro;
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  std::vector<TTermVector> functions;
  try {
    functions = ParseTermFileText(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  } catch (const TavroError&) {
    return 0;
  }
  TFunctionSystem system;
  system.Functions = functions;
  system.UpdateInputBits();
  const int width = system.InputBits;
  if (width == 0 || width > 8 || functions.size() > 8) return 0;
  const std::string text = TermFileText(functions);

  for (const int mode : {modeSOP, modePOS}) {
    const bool pos = mode == modePOS;
    TOutputOptions options;
    options.PrimeImplicants = flags & 1;
    options.Terms = flags & 2;
    check::RecordingHost host;
    TRunParams params;
    if (flags & 4) params.Cost = TCostCriterion::Pla;
    const TRunOutcome outcome = RunCommand(system, mode, options, host, nullptr, params);
    if (system.Functions != functions) Fail("the run changed the functions", text, host.Output);

    bool anyEmpty = false;
    std::vector<std::vector<uint8_t>> tables;
    for (const auto& f : functions) {
      tables.push_back(check::TruthTable(f, width));
      bool listed = false;
      for (uint8_t v : tables.back()) listed |= v == check::kDontCare || v == (pos ? check::kZero : check::kOne);
      anyEmpty |= !listed;
    }
    const TRunOutcome expected = anyEmpty ? TRunOutcome::EmptyFunction : TRunOutcome::Completed;
    if (outcome != expected) Fail("unexpected outcome", text, host.Output);
    if (outcome != TRunOutcome::Completed) continue;

    std::vector<check::TextFunction> printed;
    const std::string error = check::ParseSection(host.Output, "Optimized Function(s):", width,
                                                  static_cast<int>(functions.size()), pos, options.Terms, printed);
    if (!error.empty()) Fail("unreadable result: " + error, text, host.Output);
    for (size_t f = 0; f < functions.size(); ++f) {
      const std::string wrong = check::CompareWithTable(printed[f], tables[f], pos);
      if (!wrong.empty()) Fail("wrong result for f" + std::to_string(f) + ": " + wrong, text, host.Output);
    }
    if (options.PrimeImplicants) {
      std::vector<check::TextFunction> primes;
      const std::string e = check::ParseSection(host.Output, "All Prime Implicants", width,
                                                static_cast<int>(functions.size()), pos, options.Terms, primes);
      if (!e.empty()) Fail("unreadable prime implicants: " + e, text, host.Output);
      for (size_t f = 0; f < functions.size(); ++f) {
        const std::string wrong = check::ImplicantViolation(primes[f], tables[f], pos);
        if (!wrong.empty()) Fail("f" + std::to_string(f) + ": " + wrong, text, host.Output);
      }
    }
  }
  return 0;
}
