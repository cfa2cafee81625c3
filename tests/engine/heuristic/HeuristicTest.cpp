// The heuristic minimizer against brute force: tautology, complement and the
// complement's smallest cube on random cube lists row by row; and on random
// systems its cover is right on every row, never smaller than the exact
// minimum, and the same on a second run.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <random>
#include <string>
#include <vector>

#include "engine/core/Cover.h"
#include "engine/core/FunctionSystem.h"
#include "engine/heuristic/Heuristic.h"
#include "engine/heuristic/Unate.h"
#include "engine/io/Pla.h"
#include "engine/run/Minimize.h"
#include "engine/run/Route.h"
#include "support/RecordingHost.h"

namespace tavro {
namespace {

using heuristic::TCubeList;
using heuristic::TSpace;

// Whether row (bit k: input k) lies in the positional input part c.
bool RowIn(const uint64_t* c, uint32_t row, int inputs) {
  for (int k = 0; k < inputs; ++k) {
    const size_t bit = 2 * static_cast<size_t>(k) + ((row >> k) & 1u);
    if (!((c[bit >> 6] >> (bit & 63)) & 1u)) return false;
  }
  return true;
}

bool ListHolds(const TCubeList& list, uint32_t row, int inputs) {
  for (size_t i = 0; i < list.Count(); ++i)
    if (RowIn(list[i], row, inputs)) return true;
  return false;
}

TCubeList RandomInputCubes(std::mt19937& rng, const TSpace& s, int count, int fixedChance) {
  TCubeList list(s.IW);
  for (int i = 0; i < count; ++i) {
    uint64_t* c = list.Grow();
    std::fill(c, c + s.IW, 0);
    for (int k = 0; k < s.Inputs; ++k) {
      const uint64_t part = static_cast<int>(rng() % 100) < fixedChance ? 1u + rng() % 2 : 3u;
      c[(2 * static_cast<size_t>(k)) >> 6] |= part << ((2 * k) & 63);
    }
  }
  return list;
}

TEST(Unate, TautologyComplementAndHullMatchBruteForce) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 400; ++trial) {
    const int inputs = 1 + static_cast<int>(rng() % 10);
    const TSpace s(inputs, 1);
    const TCubeList f = RandomInputCubes(rng, s, static_cast<int>(rng() % 40), 20 + static_cast<int>(rng() % 60));
    bool all = true;
    std::vector<uint64_t> hull(s.IW, 0);
    bool anyOut = false;
    const TCubeList complement = heuristic::Complement(f, s);
    for (uint32_t row = 0; row < (1u << inputs); ++row) {
      const bool in = ListHolds(f, row, inputs);
      all = all && in;
      ASSERT_NE(in, ListHolds(complement, row, inputs)) << "trial " << trial << " row " << row;
      if (!in) {
        anyOut = true;
        for (int k = 0; k < inputs; ++k) {
          const size_t bit = 2 * static_cast<size_t>(k) + ((row >> k) & 1u);
          hull[bit >> 6] |= uint64_t{1} << (bit & 63);
        }
      }
    }
    EXPECT_EQ(all, heuristic::Tautology(f, s)) << "trial " << trial;
    const auto got = heuristic::ComplementHull(f, s);
    ASSERT_EQ(anyOut, got.has_value()) << "trial " << trial;
    if (got) {
      EXPECT_EQ(hull, *got) << "trial " << trial;
    }
    // The same cubes among 40 more inputs, all free: past 32 inputs a cube
    // takes several words, which the recursions handle apart.
    const TSpace wide(inputs + 40, 1);
    TCubeList padded(wide.IW);
    for (size_t i = 0; i < f.Count(); ++i) {
      uint64_t* c = padded.Grow();
      std::copy(wide.Used.begin(), wide.Used.begin() + static_cast<std::ptrdiff_t>(wide.IW), c);
      c[0] = (c[0] & ~s.Used[0]) | f[i][0];
    }
    EXPECT_EQ(all, heuristic::Tautology(padded, wide)) << "trial " << trial;
    const auto wideHull = heuristic::ComplementHull(padded, wide);
    ASSERT_EQ(anyOut, wideHull.has_value()) << "trial " << trial;
    if (got) {
      EXPECT_EQ((*wideHull)[0] & s.Used[0], hull[0]) << "trial " << trial;
      EXPECT_EQ((*wideHull)[0] | s.Used[0], wide.Used[0]) << "trial " << trial;
      EXPECT_EQ((*wideHull)[1], wide.Used[1]) << "trial " << trial;
    }
  }
}

// A random system as cubes: on and don't-care covers (the don't cares win
// where they overlap), and each function's value per row (1, 0, -1).
struct TCubeSystemCase {
  TCover On, DontCares;
  std::vector<std::vector<int>> Value;
};

TCubeSystemCase RandomCase(std::mt19937& rng, int inputs, int outputs) {
  TCubeSystemCase c{TCover(inputs, outputs), TCover(inputs, outputs), {}};
  auto fill = [&](TCover& cover, int count) {
    for (int i = 0; i < count; ++i) {
      const uint32_t mask = static_cast<uint32_t>(rng()) & static_cast<uint32_t>(rng()) & ((1u << inputs) - 1);
      const uint32_t value = static_cast<uint32_t>(rng()) & ((1u << inputs) - 1) & ~mask;
      uint64_t tags = rng() & ((uint64_t{1} << outputs) - 1);
      if (!tags) tags = 1;
      cover.Add(value, mask, &tags);
    }
  };
  fill(c.On, 1 + static_cast<int>(rng() % 24));
  fill(c.DontCares, static_cast<int>(rng() % 4));
  c.Value.assign(static_cast<size_t>(outputs), std::vector<int>(size_t{1} << inputs, 0));
  auto holds = [](const TCover& cover, size_t i, uint32_t row) { return (row & ~cover.Mask(i)) == cover.Value(i); };
  for (uint32_t row = 0; row < (1u << inputs); ++row)
    for (int f = 0; f < outputs; ++f) {
      int v = 0;
      for (size_t i = 0; i < c.On.Count() && !v; ++i) v = c.On.Tag(i, f) && holds(c.On, i, row);
      for (size_t i = 0; i < c.DontCares.Count(); ++i)
        if (c.DontCares.Tag(i, f) && holds(c.DontCares, i, row)) v = -1;
      c.Value[static_cast<size_t>(f)][row] = v;
    }
  return c;
}

// Every second trial without the off-set (no complement split allowed): the
// cubes expand within the cover instead.
TEST(Heuristic, CoversAreRightNeverBelowTheMinimumAndRepeatable) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 300; ++trial) {
    const int inputs = 2 + static_cast<int>(rng() % 7), outputs = 1 + static_cast<int>(rng() % 4);
    const TCubeSystemCase c = RandomCase(rng, inputs, outputs);
    THeuristicParams params;
    if (trial % 2) {
      params.ComplementSplits = 0;
      params.WithinCover = true;
    }
    const TCover cover = MinimizeHeuristic(c.On, &c.DontCares, params).Cover;
    for (int f = 0; f < outputs; ++f)
      for (uint32_t row = 0; row < (1u << inputs); ++row) {
        bool covered = false;
        for (size_t i = 0; i < cover.Count() && !covered; ++i)
          covered = cover.Tag(i, f) && (row & ~cover.Mask(i)) == cover.Value(i);
        const int v = c.Value[static_cast<size_t>(f)][row];
        if (v >= 0) {
          ASSERT_EQ(v == 1, covered) << "trial " << trial << " f" << f << " row " << row;
        }
      }
    // Against the exact minimum of the same functions.
    std::vector<TTermVector> functions(static_cast<size_t>(outputs));
    bool everyListed = true;
    for (int f = 0; f < outputs; ++f) {
      for (uint32_t row = 0; row < (1u << inputs); ++row)
        if (const int v = c.Value[static_cast<size_t>(f)][row]; v != 0)
          functions[static_cast<size_t>(f)].Add(static_cast<int32_t>(row), v < 0);
      everyListed = everyListed && functions[static_cast<size_t>(f)].Count() > 0;
    }
    if (everyListed) {
      TRunParams params;
      params.Cost = TCostCriterion::Pla;
      TRunStats stats;
      MinimizeFunctions(functions, inputs, nullptr, &stats, params);
      ASSERT_TRUE(stats.Proven);
      EXPECT_GE(static_cast<int64_t>(cover.Count()), stats.Selected) << "trial " << trial;
    }
    const TCover again = MinimizeHeuristic(c.On, &c.DontCares, params).Cover;
    ASSERT_EQ(cover.Count(), again.Count());
    for (size_t i = 0; i < cover.Count(); ++i) {
      EXPECT_EQ(cover.Value(i), again.Value(i));
      EXPECT_EQ(cover.Mask(i), again.Mask(i));
      EXPECT_EQ(cover.Tags(i)[0], again.Tags(i)[0]);
    }
  }
}

// The descents from the cubes as given and from one function per cube give
// the same cover side by side and one after the other, so that the result
// does not hang on the processors free.
TEST(Heuristic, TheTwoDescentsGiveOneCoverOnAnyMachine) {
  std::mt19937 rng(5);
  int differ = 0;
  for (int trial = 0; trial < 40; ++trial) {
    const int inputs = 8 + trial % 4, outputs = 3 + trial % 3;
    TCover on(inputs, outputs);
    for (int i = 0; i < 80; ++i) {
      const uint32_t mask = static_cast<uint32_t>(rng()) & static_cast<uint32_t>(rng()) & ((1u << inputs) - 1);
      uint64_t tags = rng() & ((uint64_t{1} << outputs) - 1);
      if (!tags) tags = 1;
      on.Add(static_cast<uint32_t>(rng()) & ((1u << inputs) - 1) & ~mask, mask, &tags);
    }
    THeuristicParams sideBySide, oneAfterTheOther;
    oneAfterTheOther.SideBySide = false;
    const TCover a = MinimizeHeuristic(on, nullptr, sideBySide).Cover;
    const TCover b = MinimizeHeuristic(on, nullptr, oneAfterTheOther).Cover;
    bool same = a.Count() == b.Count();
    for (size_t i = 0; i < a.Count() && same; ++i)
      same = a.Value(i) == b.Value(i) && a.Mask(i) == b.Mask(i) && a.Tags(i)[0] == b.Tags(i)[0];
    differ += !same;
  }
  EXPECT_EQ(differ, 0);
}

// Small systems among unused inputs, at widths of one, two and five words of
// positional cubes: the cover is right at random points of the whole space.
TEST(Heuristic, WideSystemsAmongUnusedInputsAreRight) {
  std::mt19937 rng(13);
  for (const int width : {40, 100, 300}) {
    for (int trial = 0; trial < 12; ++trial) {
      const int inputs = 2 + static_cast<int>(rng() % 6), outputs = 1 + static_cast<int>(rng() % 3);
      const TCubeSystemCase small = RandomCase(rng, inputs, outputs);
      std::vector<int> column(static_cast<size_t>(inputs));
      for (auto& k : column) k = static_cast<int>(rng() % static_cast<unsigned>(width));
      std::sort(column.begin(), column.end());
      column.erase(std::unique(column.begin(), column.end()), column.end());
      if (static_cast<int>(column.size()) < inputs) continue;
      // Input k of the small system is input column[k] of the wide one.
      const size_t words = static_cast<size_t>(width + 63) / 64;
      auto widen = [&](const TCover& from) {
        TCover to(width, outputs);
        for (size_t i = 0; i < from.Count(); ++i) {
          std::vector<uint64_t> value(words, 0), mask(words, ~uint64_t{0});
          for (int k = 0; k < inputs; ++k) {
            const size_t at = static_cast<size_t>(column[static_cast<size_t>(k)]);
            if (!from.FreeAt(i, k)) mask[at >> 6] &= ~(uint64_t{1} << (at & 63));
            if (from.OneAt(i, k)) value[at >> 6] |= uint64_t{1} << (at & 63);
          }
          to.AddWords(value.data(), mask.data(), from.Tags(i));
        }
        return to;
      };
      const TCover dcWide = widen(small.DontCares);
      const TCover result = MinimizeHeuristic(widen(small.On), &dcWide).Cover;
      for (int point = 0; point < 200; ++point) {
        std::vector<uint64_t> bits(words);
        for (auto& w : bits) w = (static_cast<uint64_t>(rng()) << 32) | rng();
        uint32_t row = 0;
        for (int k = 0; k < inputs; ++k) {
          const size_t at = static_cast<size_t>(column[static_cast<size_t>(k)]);
          row |= static_cast<uint32_t>((bits[at >> 6] >> (at & 63)) & 1u) << k;
        }
        for (int f = 0; f < outputs; ++f) {
          const int v = small.Value[static_cast<size_t>(f)][row];
          if (v < 0) continue;
          bool covered = false;
          for (size_t i = 0; i < result.Count() && !covered; ++i) {
            bool in = result.Tag(i, f);
            for (int k = 0; k < width && in; ++k)
              in = result.FreeAt(i, k) ||
                   result.OneAt(i, k) == (((bits[static_cast<size_t>(k) >> 6] >> (k & 63)) & 1u) != 0);
            covered = in;
          }
          ASSERT_EQ(v == 1, covered) << "width " << width << " trial " << trial << " f" << f << " row " << row;
        }
      }
    }
  }
}

// Where the exact run does not fit the memory limit, the heuristic gives the
// (verified) result and the status says so; a prime finder asked for by name
// is refused as before.
TEST(Heuristic, TakesOverWhereTheExactRunWouldPassTheLimit) {
  std::mt19937 rng(17);
  TFunctionSystem system;
  for (int32_t t = 0; t < (1 << 12); ++t)
    if (rng() % 2) system.Functions[0].Append(t, false);
  system.UpdateInputBits();
  TRunParams params;
  params.MaxMemoryBytes = 256u << 10;
  testing::RecordingHost host;
  TRunStats stats;
  ASSERT_EQ(RunCommand(system, modeSOP, {}, host, &stats, params), TRunOutcome::Completed) << host.LastStatus();
  EXPECT_TRUE(stats.Heuristic);
  EXPECT_EQ(host.LastStatus().rfind(
                "Done. " + std::to_string(stats.Selected) + " products (heuristic: the exact run needs about ", 0),
            0u)
      << host.LastStatus();
  params.PrimeMethod = TPrimeMethod::Pairing;
  testing::RecordingHost refused;
  EXPECT_EQ(RunCommand(system, modeSOP, {}, refused, nullptr, params), TRunOutcome::TooLarge);
  EXPECT_TRUE(testing::TooLargeMiB(refused.LastStatus())) << refused.LastStatus();
}

// A shifter of 22 inputs has over a million primes: the heuristic takes over
// as soon as the cube finder knows of more than it may find, or has spent
// the primes' seconds (not after the tables' seconds and a chart's
// gigabytes), and its result is verified. The fill input sets the outputs up to the shift; past
// it, output j takes data input j - shift - 1.
TEST(Heuristic, TakesOverFromTheCubeFinderPastTheMostPrimes) {
  constexpr int kShift = 3, kData = 18, kOutputs = kData + 1;
  std::string text = ".i " + std::to_string(kShift + 1 + kData) + "\n.o " + std::to_string(kOutputs) + "\n";
  for (int s = 0; s < (1 << kShift); ++s) {
    std::string amount;
    for (int b = kShift - 1; b >= 0; --b) amount += (s >> b) & 1 ? '1' : '0';
    std::string fill(kOutputs, '0');
    std::fill(fill.begin(), fill.begin() + s + 1, '1');
    text += amount + "1" + std::string(kData, '-') + " " + fill + "\n";
    for (int j = s + 1; j < kOutputs; ++j) {
      std::string data(kData, '-'), out(kOutputs, '0');
      data[static_cast<size_t>(j - s - 1)] = '1';
      out[static_cast<size_t>(j)] = '1';
      text += amount + "-" + data + " " + out + "\n";
    }
  }
  TFunctionSystem system;
  TLoadParams load;
  load.ListPlaTerms = false;
  LoadPlaText(system, text, load);
  system.UpdateInputBits();
  testing::RecordingHost host;
  TRunStats stats;
  ASSERT_EQ(RunCommand(system, modeSOP, {}, host, &stats, {}), TRunOutcome::Completed) << host.LastStatus();
  EXPECT_TRUE(stats.Heuristic);
  // (a slow build may spend the finder's seconds first)
  const std::string done = "Done. " + std::to_string(stats.Selected) + " products (heuristic: the prime implicants ";
  EXPECT_TRUE(host.LastStatus() == done + "are more than " + std::to_string(kNarrowMostPrimes) + ")." ||
              host.LastStatus() ==
                  done + "would take more than " + std::to_string(static_cast<int>(kNarrowPrimesBudget)) + " s).")
      << host.LastStatus();
  // Each data row and fill row is a prime of its own outputs, and all are needed.
  EXPECT_EQ(stats.Selected, (1 << kShift) * (kOutputs + 1) - (1 << kShift) * ((1 << kShift) + 1) / 2);
}

// On a small system the minimum cover search after the heuristic chooses
// among all the prime implicants: symmetric functions whose minterms lead
// the iteration past the minimum (16 for 15, 22 for 21), and random systems,
// all end at the exact run's number of products.
TEST(Heuristic, SmallSystemsEndAtTheMinimum) {
  std::mt19937 rng(23);
  for (int trial = 0; trial < 32; ++trial) {
    TFunctionSystem system;
    int inputs = 6;
    if (trial < 2) {
      inputs = 6 + trial;
      for (int32_t t = 0; t < (1 << inputs); ++t)
        if (const int ones = std::popcount(static_cast<uint32_t>(t)); ones >= 2 && ones <= 4 + trial)
          system.Functions[0].Append(t, false);
    } else {
      system.Functions.resize(2);
      for (int f = 0; f < 2; ++f)
        for (int32_t t = 0; t < (1 << inputs); ++t)
          if (const unsigned r = rng() % 8; r < 3) system.Functions[f].Append(t, r == 0);
    }
    system.MinInputBits = inputs;
    system.UpdateInputBits();
    TRunParams fast, exact;
    fast.Cost = TCostCriterion::Fast;
    exact.Cost = TCostCriterion::Pla;
    fast.ConstantEmptyFunctions = exact.ConstantEmptyFunctions = true;
    testing::RecordingHost a, b;
    TRunStats heuristic, minimum;
    ASSERT_EQ(RunCommand(system, modeSOP, {}, a, &heuristic, fast), TRunOutcome::Completed);
    ASSERT_EQ(RunCommand(system, modeSOP, {}, b, &minimum, exact), TRunOutcome::Completed);
    ASSERT_TRUE(minimum.Proven);
    EXPECT_TRUE(heuristic.Heuristic);
    EXPECT_EQ(heuristic.Selected, minimum.Selected) << "trial " << trial;
    EXPECT_TRUE(heuristic.Proven) << "trial " << trial;
  }
}

// A PLA file's system in POS starts the heuristic from its cubes'
// complement: the sums are right on every row, and so they are once an edit
// has made the file's cubes stale.
TEST(Heuristic, ProductsOfSumsOfAFileAreRight) {
  std::mt19937 rng(19);
  for (int trial = 0; trial < 60; ++trial) {
    const int inputs = 3 + static_cast<int>(rng() % 6), outputs = 1 + static_cast<int>(rng() % 3);
    std::string text = ".i " + std::to_string(inputs) + "\n.o " + std::to_string(outputs) + "\n";
    std::vector<std::vector<int>> value(static_cast<size_t>(outputs), std::vector<int>(1u << inputs, 0));
    for (int row = 0; row < 3 + static_cast<int>(rng() % 8); ++row) {
      std::string in, out;
      uint32_t fixed = 0, ones = 0;
      for (int k = inputs - 1; k >= 0; --k) {
        const int c = static_cast<int>(rng() % 3);
        in += "01-"[c];
        if (c < 2) fixed |= 1u << k;
        if (c == 1) ones |= 1u << k;
      }
      for (int f = 0; f < outputs; ++f) {
        const bool on = rng() % 2;
        out += on ? '1' : '0';
        for (uint32_t t = 0; t < (1u << inputs) && on; ++t)
          if ((t & fixed) == ones) value[static_cast<size_t>(f)][t] = 1;
      }
      text += in + " " + out + "\n";
    }
    text += ".e\n";
    TFunctionSystem system;
    LoadPlaText(system, text);
    system.UpdateInputBits();
    for (const bool edited : {false, true}) {
      if (edited) {
        // The first function gets row 0 as well.
        TTermVector& f = system.Functions[0];
        if (!f.Contains(0)) f.Add(0, false);
        value[0][0] = 1;
        system.UpdateInputBits();
      }
      TRunParams params;
      params.Cost = TCostCriterion::Fast;
      params.ConstantEmptyFunctions = true;
      testing::RecordingHost host;
      ASSERT_EQ(RunCommand(system, modePOS, {}, host, nullptr, params), TRunOutcome::Completed) << text;
      const TCover& sums = *system.ResultCubes;
      for (int f = 0; f < outputs; ++f)
        for (uint32_t t = 0; t < (1u << inputs); ++t) {
          bool zero = false;
          for (size_t i = 0; i < sums.Count() && !zero; ++i)
            zero = sums.Tag(i, f) && (t & ~sums.Mask(i)) == sums.Value(i);
          ASSERT_EQ(zero, value[static_cast<size_t>(f)][t] == 0) << text << "f" << f << " row " << t;
        }
    }
  }
}

}  // namespace
}  // namespace tavro
