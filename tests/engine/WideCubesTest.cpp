// Systems past the term-number world, read from PLA text: the run with its
// cubes held wide gives what the narrow run gives on the same systems, and
// small systems embedded among unused inputs are minimized correctly at any
// width (checked against their truth tables, row by row).

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "engine/core/CubeSets.h"
#include "engine/core/FunctionSystem.h"
#include "engine/io/Expression.h"
#include "engine/io/Pla.h"
#include "engine/run/Minimize.h"
#include "support/RecordingHost.h"

namespace tavro {
namespace {

// A random PLA text of the given type with `width` inputs, of which the
// columns `columns` (inputs of them) are used and the others '-'.
std::string RandomPla(std::mt19937& rng, int inputs, int outputs, int rows, const std::string& type, int width,
                      const std::vector<int>& columns) {
  const std::string outChars = type == "f" ? "10" : type == "fd" ? "110-" : type == "fr" ? "1100-" : "0--~";
  std::string t = ".i " + std::to_string(width) + "\n.o " + std::to_string(outputs) + "\n.type " + type + "\n";
  for (int r = 0; r < rows; ++r) {
    std::string in(static_cast<size_t>(width), '-');
    for (int k = 0; k < inputs; ++k) in[static_cast<size_t>(columns[static_cast<size_t>(k)])] = "01--"[rng() % 4];
    std::string out;
    for (int j = 0; j < outputs; ++j) out += outChars[rng() % outChars.size()];
    t += in + " " + out + "\n";
  }
  return t + ".e\n";
}

TFunctionSystem Load(const std::string& text) {
  TPlaSystem pla = ParsePlaText(text, false);
  TFunctionSystem system;
  system.EmptyIsConstant = true;
  system.TermsInSource = !pla.TermsListed;
  system.Functions = std::move(pla.Functions);
  system.MinInputBits = pla.Inputs;
  if (pla.Cubes.Width > 0) {
    system.SourceIdentity = TermsIdentity(system.Functions);
    system.SourceCubes = std::make_shared<const TCover>(std::move(pla.Cubes));
    if (!pla.DontCareCubes.Empty())
      system.SourceDontCares = std::make_shared<const TCover>(std::move(pla.DontCareCubes));
  }
  system.UpdateInputBits();
  return system;
}

struct RunResult {
  TRunOutcome Outcome;
  std::string Output;
  std::shared_ptr<const TCover> Result;
};

RunResult RunOn(TFunctionSystem system, int mode, const TRunParams& params) {
  testing::RecordingHost host;
  TOutputOptions options;
  options.PrimeImplicants = true;
  const TRunOutcome outcome = RunCommand(system, mode, options, host, nullptr, params);
  return {outcome, host.Output, system.ResultCubes};
}

// Whether a cube tagged f of the cover holds the row (one '0' or '1' per
// pattern position).
bool Holds(const TCover& cover, int f, const std::string& row) {
  for (size_t k = 0; k < cover.Count(); ++k) {
    if (!cover.Tag(k, f)) continue;
    const std::string p = cover.Pattern(k);
    bool in = true;
    for (size_t i = 0; i < p.size() && in; ++i) in = p[i] == '-' || p[i] == row[i];
    if (in) return true;
  }
  return false;
}

TEST(WideCubes, TheWideTypeGivesTheNarrowRunExactly) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 60; ++trial) {
    const int inputs = 4 + static_cast<int>(rng() % 9), outputs = 1 + static_cast<int>(rng() % 4);
    std::vector<int> columns(static_cast<size_t>(inputs));
    for (int k = 0; k < inputs; ++k) columns[static_cast<size_t>(k)] = k;
    const std::string text =
        RandomPla(rng, inputs, outputs, 3 + static_cast<int>(rng() % 20), trial % 2 ? "fd" : "f", inputs, columns);
    SCOPED_TRACE(text);
    for (const auto cost : {TCostCriterion::Smallest, TCostCriterion::Pla}) {
      TRunParams narrow;
      narrow.PrimeMethod = TPrimeMethod::Cubes;
      narrow.Cost = cost;
      narrow.Verify = true;
      TRunParams wide = narrow;
      wide.WideCubes = true;
      const RunResult a = RunOn(Load(text), modeSOP, narrow), b = RunOn(Load(text), modeSOP, wide);
      ASSERT_EQ(a.Outcome, b.Outcome);
      EXPECT_EQ(a.Output, b.Output);
    }
  }
}

TEST(WideCubes, SystemsAmongUnusedInputsAreMinimizedAtAnyWidth) {
  std::mt19937 rng(5);
  const std::vector<std::string> types{"f", "fd", "fr", "dr"};
  const std::vector<int> widths{30, 64, 65, 130, 300};
  int checked = 0;
  for (int trial = 0; trial < 40; ++trial) {
    const int inputs = 2 + static_cast<int>(rng() % 6), outputs = 1 + static_cast<int>(rng() % 3);
    const int width = widths[static_cast<size_t>(trial % 5)];
    const std::string type = types[static_cast<size_t>(trial / 5 % 4)];
    std::vector<int> all(static_cast<size_t>(width));
    for (int k = 0; k < width; ++k) all[static_cast<size_t>(k)] = k;
    std::shuffle(all.begin(), all.end(), rng);
    std::vector<int> columns(all.begin(), all.begin() + inputs), own(static_cast<size_t>(inputs));
    for (int k = 0; k < inputs; ++k) own[static_cast<size_t>(k)] = k;
    const int rows = 2 + static_cast<int>(rng() % 10);
    std::mt19937 copy = rng;
    const std::string text = RandomPla(rng, inputs, outputs, rows, type, width, columns);
    // The same rows over their own inputs only, read as terms: the truth
    // (rows that put a term both on and off are refused there; such a wide
    // file is not looked at here).
    TPlaSystem truth;
    const std::string ownText = RandomPla(copy, inputs, outputs, rows, type, inputs, own);
    try {
      truth = ParsePlaText(ownText, true);
    } catch (const PlaError&) {
      continue;
    }
    SCOPED_TRACE(text);
    ++checked;
    // The chart past 24 inputs keeps only the classes a cover needs: the
    // proven minimum is the one of the system on its own inputs.
    {
      TRunParams pla;
      pla.Cost = TCostCriterion::Pla;
      const RunResult wide = RunOn(Load(text), modeSOP, pla), narrow = RunOn(Load(ownText), modeSOP, pla);
      ASSERT_EQ(wide.Outcome, TRunOutcome::Completed);
      ASSERT_EQ(narrow.Outcome, TRunOutcome::Completed);
      EXPECT_EQ(wide.Result->Count(), narrow.Result->Count());
    }
    for (const int mode : {modeSOP, modePOS}) {
      TRunParams params;
      params.Verify = true;
      const RunResult run = RunOn(Load(text), mode, params);
      ASSERT_EQ(run.Outcome, TRunOutcome::Completed) << run.Output;
      ASSERT_EQ(run.Result->Width, width);
      // Each result line, typed back as an expression over the same inputs,
      // is the function the result's cubes give.
      if (mode == modeSOP) {
        std::vector<std::string> lines;
        for (size_t at = run.Output.find("f0 = ", run.Output.find("Optimized")); at != std::string::npos;
             at = run.Output.find("\r\nf", at + 1)) {
          const size_t from = run.Output.find(" = ", at) + 3, to = run.Output.find("\r\n", from);
          lines.push_back(run.Output.substr(from, to - from));
          if (static_cast<int>(lines.size()) == outputs) break;
        }
        ASSERT_EQ(static_cast<int>(lines.size()), outputs);
        TFunctionSystem typed;
        for (std::string& line : lines)
          if (line.empty()) line = "0";
        LoadExpressions(typed, lines, width);
        ASSERT_EQ(typed.InputBits, width);
        EXPECT_NO_THROW(VerifyCoverCubes({typed.SourceCubes.get(), nullptr}, outputs, *run.Result));
      }
      // The result's PLA text reads back as the same rows.
      const TPlaSystem back = ParsePlaText(PlaText(*run.Result, width, outputs, mode), false);
      ASSERT_EQ(back.Inputs, width);
      if (mode == modeSOP) {
        ASSERT_EQ(back.Cubes.Count(), run.Result->Count());
        for (size_t k = 0; k < back.Cubes.Count(); ++k) EXPECT_EQ(back.Cubes.Pattern(k), run.Result->Pattern(k));
      }
      std::string row(static_cast<size_t>(width), '0');
      for (uint32_t t = 0; t < (1u << inputs); ++t) {
        // The unused inputs take random values.
        for (char& c : row) c = "01"[rng() % 2];
        for (int k = 0; k < inputs; ++k)
          row[static_cast<size_t>(columns[static_cast<size_t>(k)])] = (t >> (inputs - 1 - k)) & 1u ? '1' : '0';
        for (int f = 0; f < outputs; ++f) {
          const TTermVector& fn = truth.Functions[static_cast<size_t>(f)];
          const auto at = std::lower_bound(fn.Terms().begin(), fn.Terms().end(), static_cast<int32_t>(t));
          const bool listed = at != fn.Terms().end() && *at == static_cast<int32_t>(t);
          if (listed && fn.DontCares()[static_cast<size_t>(at - fn.Terms().begin())]) continue;
          // After POS the cubes are those where the function is 0.
          EXPECT_EQ(Holds(*run.Result, f, row), mode == modeSOP ? listed : !listed)
              << "row " << t << " of f" << f << (mode == modeSOP ? " SOP" : " POS");
        }
      }
    }
  }
  EXPECT_GE(checked, 30);
}

}  // namespace
}  // namespace tavro
