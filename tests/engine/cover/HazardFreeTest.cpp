// Hazard-free covers against brute force. On random systems every two care
// terms at distance 1 that a function sets (1s after SOP, 0s after POS) lie
// in one product of that function, the cover is the function, the run counts
// no hazard; and up to 4 inputs its products and literals are those of the
// minimum that an exhaustive search over the multi-output primes finds.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/run/Minimize.h"
#include "support/RandomSystems.h"
#include "support/RecordingHost.h"

namespace tavro {
namespace {

using testing::RowValue;

struct TCube {
  uint32_t Value, Mask;
  bool Holds(uint32_t t) const { return (t & ~Mask) == Value; }
};

// What a cover must hold: function f's term a, or its pair a, b.
struct TRequired {
  int F;
  uint32_t A, B;
};

std::vector<TRequired> Requirements(const std::vector<TTermVector>& functions, int bits, int target) {
  std::vector<TRequired> required;
  for (int f = 0; f < static_cast<int>(functions.size()); ++f)
    for (uint32_t t = 0; t < (1u << bits); ++t) {
      if (RowValue(functions[f], t) != target) continue;
      required.push_back({f, t, t});
      for (int b = 0; b < bits; ++b)
        if (!((t >> b) & 1u) && RowValue(functions[f], t | 1u << b) == target) required.push_back({f, t, t | 1u << b});
    }
  return required;
}

// The fewest products, then literals, of a cover whose every product is an
// implicant of the functions it serves and which holds every requirement.
class TBruteMinimum {
 public:
  TBruteMinimum(const std::vector<TTermVector>& functions, int bits, int target)
      : FBits(bits), FRequired(Requirements(functions, bits, target)) {
    // Per cube, the functions it is an implicant of; the multi-output primes
    // are the cubes that no cube one input larger serves as well.
    auto serves = [&](TCube c) {
      uint32_t tags = 0;
      for (size_t f = 0; f < functions.size(); ++f) {
        bool all = true;
        for (uint32_t t = 0; t < (1u << bits) && all; ++t) all = !c.Holds(t) || RowValue(functions[f], t) != 1 - target;
        if (all) tags |= 1u << f;
      }
      return tags;
    };
    for (uint32_t m = 0; m < (1u << bits); ++m)
      for (uint32_t v = 0; v < (1u << bits); ++v) {
        if (v & m) continue;
        const uint32_t tags = serves({v, m});
        bool prime = tags != 0;
        for (int b = 0; b < bits && prime; ++b)
          if (!((m >> b) & 1u)) prime = (serves({v & ~(1u << b), m | 1u << b}) & tags) != tags;
        if (prime) FCandidates.push_back({{v, m}, tags});
      }
    std::vector<size_t> chosen;
    Search(chosen, 0);
  }
  std::pair<size_t, int> Best{~size_t{0}, 0};

 private:
  bool Covers(const std::pair<TCube, uint32_t>& c, const TRequired& r) const {
    return ((c.second >> r.F) & 1u) && c.first.Holds(r.A) && c.first.Holds(r.B);
  }
  void Search(std::vector<size_t>& chosen, int literals) {
    if (std::make_pair(chosen.size(), literals) >= Best) return;
    const TRequired* open = nullptr;
    for (const TRequired& r : FRequired) {
      bool held = false;
      for (const size_t k : chosen) held = held || Covers(FCandidates[k], r);
      if (!held) {
        open = &r;
        break;
      }
    }
    if (!open) {
      Best = {chosen.size(), literals};
      return;
    }
    for (size_t k = 0; k < FCandidates.size(); ++k) {
      if (!Covers(FCandidates[k], *open)) continue;
      chosen.push_back(k);
      Search(chosen, literals + FBits - std::popcount(FCandidates[k].first.Mask));
      chosen.pop_back();
    }
  }
  int FBits;
  std::vector<TRequired> FRequired;
  std::vector<std::pair<TCube, uint32_t>> FCandidates;
};

// Runs SOP or POS on the functions (those with no terms are constants); the
// result, or null where the run did not complete (status says why).
std::shared_ptr<const TCover> RunOn(const std::vector<TTermVector>& functions, int mode, TRunParams params,
                                    TRunStats& stats, std::string& status) {
  TFunctionSystem system;
  system.Functions = functions;
  system.UpdateInputBits();
  params.ConstantEmptyFunctions = true;
  testing::RecordingHost host;
  const TRunOutcome outcome = RunCommand(system, mode, {}, host, &stats, params);
  status = host.LastStatus();
  return outcome == TRunOutcome::Completed ? system.ResultCubes : nullptr;
}

TEST(HazardFree, CoversHaveNoStaticHazardAndTheFewestProducts) {
  std::mt19937 rng(20261210);
  int compared = 0;
  for (int trial = 0; trial < 100; ++trial) {
    testing::RandomSystemOptions options;
    options.MaxBits = trial < 80 ? 4 : 7;
    options.MaxFunctions = trial < 80 ? 2 : 3;
    int bits = 0;
    const std::vector<TTermVector> functions = testing::RandomSystem(rng, options, &bits);
    for (const int mode : {modeSOP, modePOS}) {
      SCOPED_TRACE("trial " + std::to_string(trial) + (mode == modePOS ? " POS" : " SOP"));
      const int target = mode == modePOS ? 0 : 1;
      TRunParams params;
      params.HazardFree = true;
      params.TimeLimitSeconds = 0;
      TRunStats stats;
      std::string status;
      const auto result = RunOn(functions, mode, params, stats, status);
      ASSERT_TRUE(result) << status;
      EXPECT_EQ(stats.Hazards, 0);
      EXPECT_NE(status.find("hazard-free, minimum."), std::string::npos) << status;
      const TCover& cover = *result;
      std::vector<TCube> cubes;
      for (size_t k = 0; k < cover.Count(); ++k) cubes.push_back({cover.Value(k), cover.Mask(k)});
      auto held = [&](int f, uint32_t a, uint32_t b) {
        for (size_t k = 0; k < cubes.size(); ++k)
          if (cover.Tag(k, f) && cubes[k].Holds(a) && cubes[k].Holds(b)) return true;
        return false;
      };
      int literals = 0;
      for (const TCube& c : cubes) literals += bits - std::popcount(c.Mask);
      for (int f = 0; f < static_cast<int>(functions.size()); ++f)
        for (uint32_t t = 0; t < (1u << bits); ++t) {
          const int value = RowValue(functions[f], t);
          if (value < 0) continue;
          ASSERT_EQ(held(f, t, t), value == target) << "f" << f << " row " << t;
        }
      for (const TRequired& r : Requirements(functions, bits, target))
        EXPECT_TRUE(held(r.F, r.A, r.B)) << "f" << r.F << " pair " << r.A << ", " << r.B;
      if (bits <= 4) {
        const TBruteMinimum brute(functions, bits, target);
        EXPECT_EQ(std::make_pair(cubes.size(), literals), brute.Best);
        ++compared;
      }
    }
  }
  EXPECT_GE(compared, 150);
}

// The hazards a plain run reports: the pairs of care terms at distance 1
// that no product of their function holds, counted by brute force. Up to 12
// inputs over every row in SOP and POS; at 21 inputs (past the term-indexed
// table) over the listed terms of sparse clusters.
TEST(HazardFree, ThePlainRunCountsTheUnheldPairs) {
  std::mt19937 rng(20261211);
  auto check = [&](const std::vector<TTermVector>& functions, int bits, int mode, const std::vector<uint32_t>* rows) {
    const int target = mode == modePOS ? 0 : 1;
    TRunStats stats;
    std::string status;
    const auto result = RunOn(functions, mode, {}, stats, status);
    ASSERT_TRUE(result) << status;
    const TCover& cover = *result;
    int64_t hazards = 0;
    for (int f = 0; f < static_cast<int>(functions.size()); ++f) {
      std::vector<uint32_t> all;
      if (!rows)
        for (uint32_t t = 0; t < (1u << bits); ++t) all.push_back(t);
      for (const uint32_t a : rows ? *rows : all)
        for (int b = 0; b < bits; ++b) {
          const uint32_t c = a | 1u << b;
          if (c == a || RowValue(functions[f], a) != target || RowValue(functions[f], c) != target) continue;
          bool held = false;
          for (size_t k = 0; k < cover.Count() && !held; ++k) {
            const TCube cube{cover.Value(k), cover.Mask(k)};
            held = cover.Tag(k, f) && cube.Holds(a) && cube.Holds(c);
          }
          hazards += !held;
        }
    }
    EXPECT_EQ(stats.Hazards, hazards);
  };
  for (int trial = 0; trial < 40; ++trial) {
    testing::RandomSystemOptions options;
    options.MaxBits = 12;
    int bits = 0;
    const std::vector<TTermVector> functions = testing::RandomSystem(rng, options, &bits);
    for (const int mode : {modeSOP, modePOS}) {
      SCOPED_TRACE("trial " + std::to_string(trial));
      check(functions, bits, mode, nullptr);
    }
  }
  // Clusters of terms: random cubes of up to 5 free inputs among 21.
  for (int trial = 0; trial < 4; ++trial) {
    std::vector<uint32_t> rows;
    for (int cube = 0; cube < 30; ++cube) {
      uint32_t free = 0;
      for (int k = 0; k < 5; ++k) free |= 1u << (rng() % 21);
      const uint32_t value = rng() & ((1u << 21) - 1) & ~free;
      for (uint32_t sub = 0;; sub = (sub - free) & free) {
        if (rng() % 4) rows.push_back(value | sub);
        if (((sub - free) & free) == 0) break;
      }
    }
    rows.push_back((1u << 21) - 1);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    TTermVector f;
    for (const uint32_t t : rows) f.Append(static_cast<int32_t>(t), false);
    check({f}, 21, modeSOP, &rows);
  }
}

}  // namespace
}  // namespace tavro
