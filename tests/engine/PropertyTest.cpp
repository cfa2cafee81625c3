// Every result verified: thousands of generated systems and the corner cases
// go through RunCommand in both modes; each printed result is read back from
// its text and evaluated against the truth tables, the cover itself too, and
// the engine's own VerifyCover must accept it.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/core/FunctionSystem.h"
#include "engine/io/TermFile.h"
#include "engine/run/Minimize.h"
#include "engine/verify/Verify.h"
#include "model/Errors.h"
#include "support/RecordingHost.h"
#include "support/TruthTable.h"

namespace tavro {
namespace {

using check::kDontCare;
using check::kOne;
using check::kZero;

// The functions in the run's kind, built from the truth tables (not by the
// engine's conversion): minterms are the 1 and don't-care rows, maxterms the
// 0 and don't-care rows.
std::vector<TTermVector> RunKindFunctions(const std::vector<std::vector<uint8_t>>& tables, bool pos) {
  std::vector<TTermVector> result;
  for (const auto& table : tables) {
    TTermVector f;
    f.Maxterms = pos;
    for (size_t row = 0; row < table.size(); ++row)
      if (table[row] == kDontCare || table[row] == (pos ? kZero : kOne))
        f.Append(static_cast<int32_t>(row), table[row] == kDontCare);
    result.push_back(std::move(f));
  }
  return result;
}

check::TextFunction CoverFunction(const TCover& cover, int f) {
  check::TextFunction result;
  const uint32_t full = cover.Width >= 32 ? ~uint32_t{0} : (uint32_t{1} << cover.Width) - 1;
  for (size_t k = 0; k < cover.Count(); ++k)
    if (cover.Tag(k, f)) result.Cubes.push_back({~cover.Mask(k) & full, cover.Value(k)});
  return result;
}

// Runs the system in one mode and checks everything a run promises. Returns
// the outcome.
TRunOutcome CheckRun(const std::vector<TTermVector>& functions, int mode, const TOutputOptions& options,
                     const TRunParams& limits = {}) {
  const bool pos = mode == modePOS;
  SCOPED_TRACE("system '" + TermFileText(functions) + "' in " + (pos ? "POS" : "SOP") +
               (options.Terms ? " as terms" : ""));
  TFunctionSystem system;
  system.Functions = functions;
  system.UpdateInputBits();
  const int width = system.InputBits;
  check::RecordingHost host;
  const TRunOutcome outcome = RunCommand(system, mode, options, host, nullptr, limits);
  EXPECT_EQ(system.Functions, functions) << "a run must leave the functions as they were";

  if (width == 0) {
    EXPECT_EQ(outcome, TRunOutcome::NothingToDo);
    return outcome;
  }
  std::vector<std::vector<uint8_t>> tables;
  for (const auto& f : functions) tables.push_back(check::TruthTable(f, width));
  const auto work = RunKindFunctions(tables, pos);
  const bool anyEmpty = std::any_of(work.begin(), work.end(), [](const TTermVector& f) { return f.Count() == 0; });
  if (anyEmpty) {
    EXPECT_EQ(outcome, TRunOutcome::EmptyFunction);
    EXPECT_EQ(host.Beeps, 1);
    EXPECT_TRUE(host.Output.empty());
    return outcome;
  }
  if (outcome == TRunOutcome::TooLarge) return outcome;  // the caller decides whether it may
  EXPECT_EQ(outcome, TRunOutcome::Completed);
  if (outcome != TRunOutcome::Completed) return outcome;
  EXPECT_EQ(host.LastStatus(), "Done.");
  EXPECT_EQ(host.Beeps, 0);

  // The cover the engine keeps, evaluated independently and by the engine.
  EXPECT_TRUE(system.ResultReady);
  EXPECT_EQ(system.ResultMode, mode);
  const TCover& cover = *system.ResultCubes;
  EXPECT_EQ(cover.FunctionCount, static_cast<int>(functions.size()));
  EXPECT_NO_THROW(VerifyCover(work, cover));
  for (size_t f = 0; f < functions.size(); ++f)
    EXPECT_EQ(check::CompareWithTable(CoverFunction(cover, static_cast<int>(f)), tables[f], pos), "")
        << "cover of f" << f;

  // The printed text, read back.
  std::vector<check::TextFunction> printed;
  const std::string error = check::ParseSection(host.Output, "Optimized Function(s):", width,
                                                static_cast<int>(functions.size()), pos, options.Terms, printed);
  EXPECT_EQ(error, "") << host.Output;
  if (error.empty()) {
    for (size_t f = 0; f < functions.size(); ++f)
      EXPECT_EQ(check::CompareWithTable(printed[f], tables[f], pos), "") << "printed f" << f << "\n" << host.Output;
  }

  if (options.PrimeImplicants) {
    std::vector<check::TextFunction> primes;
    const std::string e = check::ParseSection(host.Output, "All Prime Implicants", width,
                                              static_cast<int>(functions.size()), pos, options.Terms, primes);
    EXPECT_EQ(e, "") << host.Output;
    if (e.empty()) {
      for (size_t f = 0; f < functions.size(); ++f)
        EXPECT_EQ(check::ImplicantViolation(primes[f], tables[f], pos), "") << "f" << f;
    }
  }
  return outcome;
}

// A random system: per function a kind and a random mix of 1, 0 and
// don't-care rows, from all-0 to all-1 and all-don't-care.
std::vector<TTermVector> RandomSystem(std::mt19937_64& rng, int width, int count) {
  static const double kOnes[] = {0.0, 0.05, 0.3, 0.5, 0.7, 0.95, 1.0};
  static const double kDontCares[] = {0.0, 0.0, 0.0, 0.1, 0.4, 1.0};
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<TTermVector> functions;
  for (int f = 0; f < count; ++f) {
    TTermVector fn;
    fn.Maxterms = rng() & 1;
    const double ones = kOnes[rng() % std::size(kOnes)];
    const double dcs = kDontCares[rng() % std::size(kDontCares)];
    for (int32_t row = 0; row < (int32_t{1} << width); ++row) {
      const double r = unit(rng);
      if (r < dcs) fn.Append(row, true);
      else if ((unit(rng) < ones) != fn.Maxterms) fn.Append(row, false);
    }
    functions.push_back(std::move(fn));
  }
  return functions;
}

// Writes the system as a hand-made term file would be: terms shuffled,
// repeated (a repeat keeps the first flag), blanks and line breaks between.
std::string ScrambledText(const std::vector<TTermVector>& functions, std::mt19937_64& rng) {
  std::string text;
  for (size_t f = 0; f < functions.size(); ++f) {
    if (f > 0) text += rng() & 1 ? " |\n" : "|";
    text += functions[f].Maxterms ? "+" : "-";
    std::vector<std::pair<int32_t, bool>> items;
    for (int32_t i = 0; i < functions[f].Count(); ++i) {
      items.emplace_back(functions[f].GetTerm(i), functions[f].GetDontCare(i));
      if (rng() % 4 == 0) items.emplace_back(functions[f].GetTerm(i), functions[f].GetDontCare(i));
    }
    std::shuffle(items.begin(), items.end(), rng);
    std::vector<int32_t> seen;
    for (size_t i = 0; i < items.size(); ++i) {
      if (i > 0) text += rng() & 1 ? ", " : " ,\r\n ";
      const bool first = std::find(seen.begin(), seen.end(), items[i].first) == seen.end();
      seen.push_back(items[i].first);
      // A repeat may carry the other flag: the first occurrence wins.
      const bool dc = first ? items[i].second : (rng() & 1) != 0;
      text += std::to_string(items[i].first) + (dc ? "d" : "");
    }
  }
  return text;
}

void RunRandomSystems(uint64_t seed, int systems) {
  std::mt19937_64 rng(seed);
  int completed = 0;
  for (int n = 0; n < systems; ++n) {
    const int width = 1 + static_cast<int>(rng() % 10);
    const int count = 1 + static_cast<int>(rng() % 5);
    const auto functions = RandomSystem(rng, width, count);

    // Read back from scrambled text the system must be the same.
    const std::string text = ScrambledText(functions, rng);
    ASSERT_EQ(ParseTermFileText(text), functions) << "scrambled text: " << text;

    for (int mode : {modeSOP, modePOS}) {
      TOutputOptions options;
      options.PrimeImplicants = rng() % 3 == 0;
      options.Terms = rng() % 4 == 0;
      if (CheckRun(functions, mode, options) == TRunOutcome::Completed) ++completed;
      if (::testing::Test::HasFailure()) return;
    }
  }
  // Guard against a generator that only makes refused systems.
  EXPECT_GT(completed, systems);
}

TEST(PropertyTest, RandomSystemsBatch1) { RunRandomSystems(1, 800); }
TEST(PropertyTest, RandomSystemsBatch2) { RunRandomSystems(2, 800); }
TEST(PropertyTest, RandomSystemsBatch3) { RunRandomSystems(3, 800); }
TEST(PropertyTest, RandomSystemsBatch4) { RunRandomSystems(4, 800); }

TEST(PropertyTest, RandomSmallSystemsWithManyFunctions) {
  // Up to 70 functions: more than one tag word.
  std::mt19937_64 rng(5);
  for (int n = 0; n < 40; ++n) {
    const auto functions = RandomSystem(rng, 1 + static_cast<int>(rng() % 5), 1 + static_cast<int>(rng() % 70));
    for (int mode : {modeSOP, modePOS}) CheckRun(functions, mode, {});
    if (HasFailure()) return;
  }
}

TEST(PropertyTest, RandomSparseWideSystems) {
  // 11 to 18 bits, a few dozen terms each: wide cubes and tag words in a
  // range the dense batches do not reach. POS only up to 12 bits, since its
  // conversion lists every other row.
  std::mt19937_64 rng(6);
  for (int n = 0; n < 60; ++n) {
    const int width = 11 + static_cast<int>(rng() % 8);
    std::vector<TTermVector> functions(1 + rng() % 3);
    for (auto& f : functions) {
      f.Maxterms = false;
      const int terms = 1 + static_cast<int>(rng() % 40);
      for (int k = 0; k < terms; ++k) {
        // Clustered terms combine; scattered ones stay apart.
        const uint32_t base = static_cast<uint32_t>(rng()) & ((1u << width) - 1);
        f.Add(static_cast<int32_t>(k % 2 ? base : (base & ~0xfu) | (k & 0xf)), rng() % 5 == 0);
      }
    }
    CheckRun(functions, modeSOP, {true, true, false});
    if (width <= 12) CheckRun(functions, modePOS, {false, true, true});
    if (HasFailure()) return;
  }
}

std::vector<TTermVector> Parse(const std::string& text) { return ParseTermFileText(text); }

TEST(PropertyTest, CornerCases) {
  struct Case {
    const char* text;
    TRunOutcome sop, pos;
  };
  using O = TRunOutcome;
  const Case cases[] = {
      {"", O::NothingToDo, O::NothingToDo},             // nothing entered
      {"+ | |+", O::NothingToDo, O::NothingToDo},       // empty functions only
      {"-0", O::Completed, O::Completed},               // a single minterm at 0
      {"+0", O::Completed, O::Completed},               // a single maxterm at 0
      {"-0d", O::Completed, O::Completed},              // a single don't care at 0
      {"-0, 1, 2, 3", O::Completed, O::EmptyFunction},  // all 1
      {"+0, 1, 2, 3", O::EmptyFunction, O::Completed},  // all 0
      {"-0d, 1d, 2d, 3d", O::Completed, O::Completed},  // all don't care
      {"-0, 1, 2, 3 |+0, 1, 2, 3 |-0d, 1d, 2d, 3d |-2", O::EmptyFunction, O::EmptyFunction},
      {"-0d, 1d, 2d, 3d |-1", O::Completed, O::Completed},
      {"-0, 1, 2, 3 |-0d, 1, 2d, 3", O::Completed, O::EmptyFunction},
      {"-7 |-7 |-7", O::Completed, O::Completed},  // identical functions
      {"- |-3", O::EmptyFunction, O::Completed},   // an empty minterm function is all 0
      {"+ |-3", O::Completed, O::EmptyFunction},   // an empty maxterm function is all 1
      {"-16777215", O::Completed, O::TooLarge},    // the widest single term
      {"-0, 16777215", O::Completed, O::TooLarge},
      {"-16777216", O::TooWide, O::TooWide},    // one bit too wide
      {"+2147483647", O::TooWide, O::TooWide},  // the largest term a file holds
  };
  // POS of a lone 24-bit minterm needs 2^24 - 1 maxterms; the limit keeps
  // it short and proves it is refused cleanly.
  TRunParams limits;
  limits.MaxMemoryBytes = 64u << 20;
  for (const auto& c : cases) {
    for (int mode : {modeSOP, modePOS}) {
      const TRunOutcome expected = mode == modeSOP ? c.sop : c.pos;
      const auto functions = Parse(c.text);
      TRunOutcome outcome;
      if (expected == O::TooWide) {
        TFunctionSystem system;
        system.Functions = functions;
        system.UpdateInputBits();
        check::RecordingHost host;
        outcome = RunCommand(system, mode, {}, host, nullptr, limits);
        EXPECT_EQ(host.LastStatus(), "Too many input bits: " + std::to_string(system.InputBits) + " (at most 24).");
      } else {
        TOutputOptions options;
        options.PrimeImplicants = true;
        outcome = CheckRun(functions, mode, options, limits);
      }
      EXPECT_EQ(outcome, expected) << "'" << c.text << "' in " << (mode == modeSOP ? "SOP" : "POS");
    }
  }
}

TEST(PropertyTest, DuplicateAndUnorderedInputGivesTheSameResult) {
  const std::string canonical = "-1, 3, 5d, 7, 9 |+0, 2d, 4";
  const std::string scrambled = "-9,7 ,5d,3\n,1,3d,9,7,5 | + 4,\r\n2d,0,4d,0";
  ASSERT_EQ(Parse(scrambled), Parse(canonical));
  for (int mode : {modeSOP, modePOS}) {
    TFunctionSystem a, b;
    a.Functions = Parse(canonical);
    b.Functions = Parse(scrambled);
    a.UpdateInputBits();
    b.UpdateInputBits();
    check::RecordingHost ha, hb;
    ASSERT_EQ(RunCommand(a, mode, {}, ha), TRunOutcome::Completed);
    ASSERT_EQ(RunCommand(b, mode, {}, hb), TRunOutcome::Completed);
    EXPECT_EQ(ha.Output, hb.Output);
    CheckRun(b.Functions, mode, {});
  }
}

// VerifyCover must reject every kind of wrong cover; a checker that accepts
// anything would make all the checks above worthless.
TEST(VerifyCoverTest, ThrowsOnWrongCovers) {
  const auto functions = Parse("-1, 3, 6d |-0, 1");  // width 3
  const uint64_t f0 = 1, f1 = 2, both = 3;
  auto cover = [](std::initializer_list<std::tuple<uint32_t, uint32_t, uint64_t>> cubes) {
    TCover c(3, 2);
    for (const auto& [value, mask, tags] : cubes) c.Add(value, mask, &tags);
    return c;
  };
  // Right: 1 and 3 are 0-1 (mask 2) for f0; 0 and 1 (mask 1) for f1.
  EXPECT_NO_THROW(VerifyCover(functions, cover({{1, 2, f0}, {0, 1, f1}})));
  // The don't care may be covered, or not.
  EXPECT_NO_THROW(VerifyCover(functions, cover({{1, 2, f0}, {6, 0, f0}, {0, 1, f1}})));

  auto expectThrow = [&](const TCover& c, const std::string& part) {
    try {
      VerifyCover(functions, c);
      ADD_FAILURE() << "no error; expected one mentioning '" << part << "'";
    } catch (const InternalError& e) {
      EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).rfind("Internal error: ", 0), 0u) << e.what();
    }
  };
  expectThrow(cover({}), "term 1 of f0 is not covered");
  expectThrow(cover({{1, 2, f0}}), "term 0 of f1 is not covered");
  expectThrow(cover({{1, 0, f0}, {0, 1, f1}}), "term 3 of f0 is not covered");
  // A cube on a row the function does not list: 1-- holds rows 4..7.
  expectThrow(cover({{1, 2, f0}, {4, 3, f0}, {0, 1, f1}}), "includes row 4");
  // A right cube given to the wrong function.
  expectThrow(cover({{1, 2, both}, {0, 1, f1}}), "the cover of f1 includes row 3");
  expectThrow(cover({{1, 2, f1}, {0, 1, f0}}), "the cover of f0 includes row 0");
}

// An engine cover with a cube outside the functions' width is reported like
// any other wrong cover.
TEST(VerifyCoverTest, ThrowsOnACubeWiderThanTheFunctions) {
  const auto functions = Parse("-1, 3");  // width 2
  TCover c(2, 1);
  const uint64_t tag = 1;
  c.Add(1, 2, &tag);
  c.Add(1u << 20, 0, &tag);  // row 2^20 + 1 of a 4-row function
  EXPECT_THROW(VerifyCover(functions, c), InternalError);
}

}  // namespace
}  // namespace tavro
