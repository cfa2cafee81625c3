// The fast engine against the direct reference run on many random systems:
// every order (prime implicant list, result list), every tag and every status
// text must agree.

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "engine/io/Format.h"
#include "engine/verify/Verify.h"
#include "engine/chart/Chart.h"
#include "engine/primes/PrimeFinders.h"
#include "engine/run/Minimize.h"
#include "engine/core/Threads.h"
#include "support/RandomSystems.h"
#include "support/RecordingHost.h"
#include "support/ReferenceEngine.h"

using namespace tavro;
using namespace tavro::testing;

namespace {

std::string Describe(const TCover& c) {
  std::string s;
  for (size_t i = 0; i < c.Count(); ++i) {
    s += c.Pattern(i) + ":";
    for (int f = 0; f < c.FunctionCount; ++f) s += c.Tag(i, f) ? '1' : '0';
    s += ' ';
  }
  return s;
}

std::string Dump(const std::vector<TTermVector>& fs) {
  std::string s;
  for (const auto& f : fs) {
    s += f.Maxterms ? "+" : "-";
    for (int i = 0; i < f.Count(); ++i) s += std::to_string(f.GetTerm(i)) + (f.GetDontCare(i) ? "d," : ",");
    s += " | ";
  }
  return s;
}

bool AnyEmpty(const std::vector<TTermVector>& functions) {
  for (const auto& f : functions)
    if (f.Count() == 0) return true;
  return false;
}

void CompareWithReference(std::mt19937& rng, const RandomSystemOptions& options, int systems) {
  int compared = 0;
  for (int n = 0; n < systems; ++n) {
    int bits = 0;
    const auto functions = RandomSystem(rng, options, &bits);
    for (int mode : {modeSOP, modePOS}) {
      const auto work = InKind(functions, mode == modePOS, bits);
      if (AnyEmpty(work)) continue;
      const auto reference = ReferenceMinimize(work, bits);
      for (auto method : {TPrimeMethod::Pairing, TPrimeMethod::Dense, TPrimeMethod::Split, TPrimeMethod::Cubes}) {
        RecordingHost host;
        TRunParams limits;
        limits.PrimeMethod = method;
        // The chart's two forms, one with each half of the methods.
        limits.ChartForm = method == TPrimeMethod::Split || method == TPrimeMethod::Cubes ? TChartForm::Classes
                                                                                         : TChartForm::Pairs;
        const auto fast = MinimizeFunctions(work, bits, &host, nullptr, limits);
        ASSERT_EQ(Describe(fast.Primes), Describe(reference.Primes)) << Dump(work);
        ASSERT_EQ(Describe(fast.Result), Describe(reference.Result)) << Dump(work);
        ASSERT_EQ(host.Statuses, reference.Statuses) << Dump(work);
        ASSERT_NO_THROW(VerifyCover(work, fast.Result)) << Dump(work);
      }
      ++compared;
    }
  }
  EXPECT_GT(compared, systems / 2);
}

}  // namespace

TEST(Exactness, SmallSystemsMatchTheReferenceRun) {
  std::mt19937 rng(20261208);
  RandomSystemOptions o;
  o.MinBits = 1;
  o.MaxBits = 5;
  o.MaxFunctions = 4;
  CompareWithReference(rng, o, 1500);
}

TEST(Exactness, MediumSystemsMatchTheReferenceRun) {
  std::mt19937 rng(7);
  RandomSystemOptions o;
  o.MinBits = 6;
  o.MaxBits = 7;
  o.MaxFunctions = 4;
  CompareWithReference(rng, o, 80);
}

TEST(Exactness, WorkSharedOutAmongThreadsIsTheWorkOfOne) {
  // Every step that large systems share out among threads (the cube
  // finder's halves and intersections, the chart's classes, their order and
  // the row lists) is shared out here at any size, among more threads than
  // some systems have functions; primes and chart must equal one thread's.
  std::mt19937 rng(11);
  RandomSystemOptions o;
  o.MinBits = 6;
  o.MaxBits = 11;
  o.MinFunctions = 2;
  o.MaxFunctions = 6;
  o.MixKinds = false;
  for (int n = 0; n < 60; ++n) {
    int bits = 0;
    const auto functions = RandomSystem(rng, o, &bits);
    std::vector<const TTermVector*> work;
    for (const auto& f : functions) work.push_back(&f);
    detail::MemoryMeter meter(0);
    TCover primes[2];
    std::unique_ptr<detail::Chart> charts[2];
    for (int k = 0; k < 2; ++k) {
      detail::SetThreadsForTesting(k == 0 ? 0 : 3);
      detail::TabulateCubes(work, bits, nullptr, nullptr, nullptr, meter, primes[k], nullptr);
      charts[k] = std::make_unique<detail::Chart>(work, primes[k], meter, true);
    }
    detail::SetThreadsForTesting(0);
    ASSERT_EQ(Describe(primes[0]), Describe(primes[1])) << Dump(functions);
    const detail::Chart &one = *charts[0], &many = *charts[1];
    ASSERT_EQ(one.ColStart, many.ColStart) << Dump(functions);
    ASSERT_EQ(one.ColRows, many.ColRows) << Dump(functions);
    ASSERT_EQ(one.ColWeight, many.ColWeight) << Dump(functions);
    ASSERT_EQ(one.RowStart, many.RowStart) << Dump(functions);
    ASSERT_EQ(one.RowCols, many.RowCols) << Dump(functions);
    ASSERT_EQ(one.Cells, many.Cells);
    for (int32_t r = 0; r < one.Rows; ++r) {
      const auto &a = one.Row[static_cast<size_t>(r)], &b = many.Row[static_cast<size_t>(r)];
      ASSERT_TRUE(a.Count == b.Count && a.Hash == b.Hash && a.Signature == b.Signature) << "row " << r;
    }
  }
}

TEST(Exactness, MergedChartColumnsAreThePairColumnsGroupedByRows) {
  // The merged chart finds its classes by splitting cubes (parts cut out by
  // a few primes at once where the cube is all care terms); they must be
  // the pair chart's columns grouped by their rows, in the order of their
  // first pairs (functions of thousands of classes among them), weighed by
  // their pairs.
  std::mt19937 rng(12);
  RandomSystemOptions o;
  o.MinFunctions = 1;
  o.MaxFunctions = 4;
  o.MixKinds = false;
  size_t most = 0;
  for (int n = 0; n < 150; ++n) {
    o.MinBits = n % 25 == 0 ? 12 : 6;
    o.MaxBits = n % 25 == 0 ? 12 : 10;
    o.CareChance = std::uniform_real_distribution<double>(0.5, 0.95)(rng);
    o.DontCareChance = std::uniform_real_distribution<double>(0.0, 0.1)(rng);
    int bits = 0;
    const auto functions = RandomSystem(rng, o, &bits);
    std::vector<const TTermVector*> work;
    for (const auto& f : functions) work.push_back(&f);
    detail::MemoryMeter meter(0);
    TCover primes;
    detail::TabulateCubes(work, bits, nullptr, nullptr, nullptr, meter, primes, nullptr);
    const detail::Chart pairs(work, primes, meter, false), merged(work, primes, meter, true);
    std::vector<std::vector<uint32_t>> groups;
    std::vector<int64_t> weights;
    std::map<std::vector<uint32_t>, size_t> index;
    for (int32_t c = 0; c < pairs.Columns; ++c) {
      std::vector<uint32_t> rows(pairs.ColRows.begin() + static_cast<std::ptrdiff_t>(pairs.ColStart[c]),
                                 pairs.ColRows.begin() + static_cast<std::ptrdiff_t>(pairs.ColEnd[c]));
      const auto [at, added] = index.emplace(rows, groups.size());
      if (added) {
        groups.push_back(rows);
        weights.push_back(0);
      }
      ++weights[at->second];
    }
    ASSERT_EQ(merged.Columns, static_cast<int32_t>(groups.size())) << Dump(functions);
    most = std::max(most, groups.size());
    for (int32_t c = 0; c < merged.Columns; ++c) {
      const std::vector<uint32_t> rows(merged.ColRows.begin() + static_cast<std::ptrdiff_t>(merged.ColStart[c]),
                                       merged.ColRows.begin() + static_cast<std::ptrdiff_t>(merged.ColEnd[c]));
      ASSERT_EQ(rows, groups[static_cast<size_t>(c)]) << "column " << c << " of " << Dump(functions);
      ASSERT_EQ(merged.ColWeight[static_cast<size_t>(c)], weights[static_cast<size_t>(c)]) << Dump(functions);
    }
  }
  EXPECT_GT(most, 2000u);
}

TEST(Exactness, SingleFunctionsWithManyDontCaresMatchTheReferenceRun) {
  std::mt19937 rng(99);
  RandomSystemOptions o;
  o.MinBits = 3;
  o.MaxBits = 7;
  o.MaxFunctions = 1;
  o.DontCareChance = 0.4;
  o.CareChance = 0.3;
  CompareWithReference(rng, o, 200);
}

TEST(Exactness, ManyFunctionsShareCubesLikeTheReferenceRun) {
  // More than 64 functions exercise tags spread over several words.
  std::mt19937 rng(5);
  RandomSystemOptions o;
  o.MinBits = 3;
  o.MaxBits = 4;
  o.MinFunctions = 60;
  o.MaxFunctions = 70;
  o.MixKinds = false;
  CompareWithReference(rng, o, 8);
}

TEST(Exactness, BothPrimeMethodsAgreeOnWiderSystems) {
  // Too wide for the reference run: the two ways of finding primes against
  // each other, with the chart and the selection on top.
  std::mt19937 rng(3);
  RandomSystemOptions o;
  o.MinBits = 9;
  o.MaxBits = 12;
  o.MaxFunctions = 4;
  for (int n = 0; n < 50; ++n) {
    // Every other system lists only a few rows in a hundred, which the
    // splitting keeps as lists instead of tables.
    o.CareChance = n % 2 ? 0.02 : -1;
    o.DontCareChance = n % 2 ? 0.01 : -1;
    int bits = 0;
    const auto functions = RandomSystem(rng, o, &bits);
    const auto work = InKind(functions, false, bits);
    if (AnyEmpty(work)) continue;
    TRunParams pairing, dense, split, cubes;
    pairing.PrimeMethod = TPrimeMethod::Pairing;
    dense.PrimeMethod = TPrimeMethod::Dense;
    split.PrimeMethod = TPrimeMethod::Split;
    cubes.PrimeMethod = TPrimeMethod::Cubes;
    cubes.ChartForm = TChartForm::Classes;
    RecordingHost a, b, c, d;
    TRunStats sa, sb;
    const auto x = MinimizeFunctions(work, bits, &a, &sa, pairing);
    const auto y = MinimizeFunctions(work, bits, &b, &sb, dense);
    const auto z = MinimizeFunctions(work, bits, &c, nullptr, split);
    const auto w = MinimizeFunctions(work, bits, &d, nullptr, cubes);
    ASSERT_EQ(Describe(x.Primes), Describe(y.Primes)) << Dump(work);
    ASSERT_EQ(Describe(x.Result), Describe(y.Result)) << Dump(work);
    ASSERT_EQ(Describe(x.Primes), Describe(z.Primes)) << Dump(work);
    ASSERT_EQ(Describe(x.Primes), Describe(w.Primes)) << Dump(work);
    ASSERT_EQ(Describe(x.Result), Describe(w.Result)) << Dump(work);
    ASSERT_EQ(a.Statuses, b.Statuses);
    ASSERT_EQ(a.Statuses, c.Statuses);
    ASSERT_EQ(a.Statuses, d.Statuses);
    ASSERT_EQ(sa.LevelCubes, sb.LevelCubes);
  }
}

TEST(Exactness, StructuredSystemsGiveTheSamePrimesEveryWay) {
  // Functions made of a few large cubes have deep levels and many equal
  // sub-tables. The cube finder is also given those cubes as the system's
  // cover, as a loaded PLA gives its rows.
  std::mt19937 rng(17);
  for (int n = 0; n < 40; ++n) {
    const int bits = 8 + static_cast<int>(rng() % 6);
    const int count = 1 + static_cast<int>(rng() % 4);
    const uint32_t rows = uint32_t{1} << bits;
    std::vector<TTermVector> functions(static_cast<size_t>(count));
    TCover source(bits, count), dontCares(bits, count);
    for (auto& f : functions) {
      uint64_t tag[1] = {uint64_t{1} << (&f - functions.data())};
      // A term in a don't-care cube is a don't care even where a care cube
      // lists it too (the first item of a term wins).
      std::vector<std::pair<int32_t, bool>> items, careItems;
      for (int c = 0; c < 3 + static_cast<int>(rng() % 5); ++c) {
        const uint32_t mask = static_cast<uint32_t>(rng()) & static_cast<uint32_t>(rng()) & (rows - 1);
        const uint32_t value = static_cast<uint32_t>(rng()) & ~mask & (rows - 1);
        const bool dontCare = rng() % 4 == 0;
        source.Add(value, mask, tag);
        if (dontCare) dontCares.Add(value, mask, tag);
        for (uint32_t sub = 0;; sub = (sub - mask) & mask) {
          (dontCare ? items : careItems).emplace_back(static_cast<int32_t>(value | sub), dontCare);
          if (((sub - mask) & mask) == 0) break;
        }
      }
      items.insert(items.end(), careItems.begin(), careItems.end());
      f.AddAll(items);
    }
    functions[0].Add(static_cast<int32_t>(rows - 1), false);
    const uint64_t first[1] = {1};
    source.Add(rows - 1, 0, first);
    TRunParams pairing, split, cubes;
    pairing.PrimeMethod = TPrimeMethod::Pairing;
    split.PrimeMethod = TPrimeMethod::Split;
    cubes.PrimeMethod = TPrimeMethod::Cubes;
    cubes.ChartForm = TChartForm::Classes;
    const auto x = MinimizeFunctions(functions, bits, nullptr, nullptr, pairing);
    const auto z = MinimizeFunctions(functions, bits, nullptr, nullptr, split);
    const auto w = MinimizeFunctions(functions, bits, nullptr, nullptr, cubes, &source, &dontCares);
    ASSERT_EQ(Describe(x.Primes), Describe(z.Primes)) << Dump(functions);
    ASSERT_EQ(Describe(x.Result), Describe(z.Result)) << Dump(functions);
    ASSERT_EQ(Describe(x.Primes), Describe(w.Primes)) << Dump(functions);
    ASSERT_EQ(Describe(x.Result), Describe(w.Result)) << Dump(functions);
  }
}

TEST(Exactness, PaneTextEqualsTheFormattedReferenceLists) {
  std::mt19937 rng(11);
  RandomSystemOptions o;
  o.MaxBits = 6;
  for (int n = 0; n < 200; ++n) {
    int bits = 0;
    auto functions = RandomSystem(rng, o, &bits);
    const int mode = (n & 1) ? modePOS : modeSOP;
    const bool termsToggle = (n % 3) == 0;
    const auto work = InKind(functions, mode == modePOS, bits);
    if (AnyEmpty(work)) continue;
    const auto reference = ReferenceMinimize(work, bits);
    auto format = [&](const TCover& c) {
      return termsToggle ? FormatCubeTerms(c) : (mode == modeSOP ? FormatSOP(c) : FormatPOS(c));
    };
    const std::string expected = "All Prime Implicants\r\n" + format(reference.Primes) + "\r\n" +
                                 "Optimized Function(s):\r\n" + format(reference.Result) + "\r\n";
    TFunctionSystem system;
    system.Functions = functions;
    system.UpdateInputBits();
    ASSERT_EQ(system.InputBits, bits);
    RecordingHost host;
    ASSERT_EQ(RunCommand(system, mode, {true, true, termsToggle}, host), TRunOutcome::Completed);
    ASSERT_EQ(host.Output, expected) << Dump(functions);
    ASSERT_EQ(system.Functions, functions);
  }
}
