// Checks that would catch a wrong prime implicant list or cover: the deep
// verification of lists spoiled on purpose, and the cover check of systems
// given as cubes.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "engine/core/CubeSets.h"
#include "engine/io/Format.h"
#include "engine/run/Minimize.h"
#include "engine/verify/Verify.h"
#include "support/RandomSystems.h"
#include "support/ReferenceEngine.h"
#include "support/SystemText.h"

using namespace tavro;
using namespace tavro::testing;

namespace {

// The list with cube k changed by spoil(value, mask, tags) (Cube), listed
// twice, left out, or swapped with its neighbour.
enum class Change { Cube, Twice, Skip, Swap };
TCover Spoiled(const TCover& c, size_t k, Change change,
               const std::function<void(uint32_t&, uint32_t&, uint64_t&)>& spoil = nullptr) {
  TCover result(c.Width, c.FunctionCount);
  const size_t j = k + 1 < c.Count() ? k + 1 : k - 1;
  for (size_t i = 0; i < c.Count(); ++i) {
    const size_t from = change == Change::Swap && (i == k || i == j) ? k + j - i : i;
    uint32_t v = c.Value(from), m = c.Mask(from);
    std::vector<uint64_t> t(c.Tags(from), c.Tags(from) + c.TagWords);
    if (i == k && change == Change::Cube) spoil(v, m, t[0]);
    for (int n = i != k ? 1 : change == Change::Skip ? 0 : change == Change::Twice ? 2 : 1; n > 0; --n)
      result.Add(v, m, t.data());
  }
  return result;
}

TEST(VerifyPrimesTest, CatchesEveryKindOfWrongPrimeList) {
  std::mt19937 rng(26);
  for (int n = 0; n < 30; ++n) {
    int bits = 0;
    auto work = MintermSystem(rng, 10, &bits);
    if (n % 3 == 2) work.back().Add((1 << (bits = VerifyFullInputs + 2)) - 1, false);  // past the full compare
    TRunParams params;
    params.PrimeMethod = TPrimeMethod::Split;
    params.Verify = true;  // the run checks its own list
    const TCover primes = MinimizeFunctions(work, bits, nullptr, nullptr, params).Primes;
    if (primes.Count() < 2) continue;  // a constant function
    std::vector<const TTermVector*> fs;
    for (const auto& f : work) fs.push_back(&f);
    const size_t k = rng() % primes.Count();
    const uint32_t free = primes.Mask(k) & -primes.Mask(k), fixed = ~primes.Mask(k) & ((1u << bits) - 1);
    std::vector<std::pair<const char*, TCover>> wrong = {
        {"a tag", Spoiled(primes, k, Change::Cube, [](auto&, auto&, auto& t) { t ^= 1; })},
        {"a cube twice", Spoiled(primes, k, Change::Twice)}};
    if (free)
      wrong.emplace_back("a smaller cube", Spoiled(primes, k, Change::Cube, [&](auto& v, auto& m, auto&) {
                           m ^= free, v |= free * (rng() & 1);
                         }));
    if (fixed)
      wrong.emplace_back("a larger cube", Spoiled(primes, k, Change::Cube, [&](auto& v, auto& m, auto&) {
                           m |= fixed & -fixed, v &= ~(fixed & -fixed);
                         }));
    if (bits <= VerifyFullInputs) {  // found only against the full lists
      wrong.emplace_back("a prime left out", Spoiled(primes, k, Change::Skip));
      wrong.emplace_back("two primes swapped", Spoiled(primes, k, Change::Swap));
    }
    for (const auto& [what, list] : wrong)
      EXPECT_THROW(VerifyPrimes(fs, list), InternalError) << what << ", system " << n;
  }
}

}  // namespace

// The cover check of a system given as cubes fails exactly where the check of
// its listed terms does, with the same message, on random systems and random
// covers (most of them wrong).
TEST(VerifyCoverTest, FromCubesAgreesWithTheTermCheck) {
  std::mt19937 rng(5);
  auto randomCubes = [&](TCover& cover, int width, int count, int functions) {
    for (int k = 0; k < count; ++k) {
      const uint32_t all = (uint32_t{1} << width) - 1;
      const uint32_t mask = static_cast<uint32_t>(rng()) & static_cast<uint32_t>(rng()) & all;
      const uint64_t tags[1] = {1 + rng() % ((uint64_t{1} << functions) - 1)};
      cover.Add(static_cast<uint32_t>(rng()) & ~mask & all, mask, tags);
    }
  };
  int failures = 0;
  for (int round = 0; round < 400; ++round) {
    const int width = 3 + static_cast<int>(rng() % 6), functions = 1 + static_cast<int>(rng() % 3);
    TCover listed(width, functions), dontCares(width, functions), cover(width, functions);
    randomCubes(listed, width, 1 + static_cast<int>(rng() % 6), functions);
    // Don't cares are some of the listed cubes, with some of their tags.
    for (size_t k = 0; k < listed.Count(); ++k)
      if (rng() % 3 == 0) {
        const uint64_t tags[1] = {listed.Tags(k)[0] & rng()};
        if (tags[0]) dontCares.Add(listed.Value(k), listed.Mask(k), tags);
      }
    // Half the covers are the listed cubes themselves, less one now and then.
    if (round % 2) randomCubes(cover, width, 1 + static_cast<int>(rng() % 6), functions);
    else
      for (size_t k = 0; k < listed.Count(); ++k)
        if (rng() % 8) cover.Add(listed.Value(k), listed.Mask(k), listed.Tags(k));
    const TCubeSystem system{&listed, &dontCares};
    const auto terms = ListCubeTerms(system, functions, width);
    std::string expected, actual;
    try {
      VerifyCover(terms, cover);
    } catch (const InternalError& e) {
      expected = e.what();
    }
    try {
      VerifyCoverCubes(system, functions, cover);
    } catch (const InternalError& e) {
      actual = e.what();
    }
    ASSERT_EQ(actual, expected) << "round " << round;
    failures += !expected.empty();
    for (int f = 0; f < functions; ++f)
      EXPECT_EQ(ListedCount(system, f, width), static_cast<TTermCount>(terms[static_cast<size_t>(f)].Count()));
  }
  EXPECT_GT(failures, 100);
  EXPECT_LT(failures, 380);
}
