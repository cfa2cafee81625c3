// Checks that would catch a wrong prime implicant list: the splitting memo
// under forced hash collisions, and the deep verification against lists
// spoiled on purpose.

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "engine/Minimize.h"
#include "engine/Tabulation.h"
#include "engine/Verify.h"
#include "support/RandomSystems.h"
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

std::vector<const TTermVector*> Pointers(const std::vector<TTermVector>& fs) {
  std::vector<const TTermVector*> p;
  for (const auto& f : fs) p.push_back(&f);
  return p;
}

// Systems of 8 to maxBits inputs, some dense, all in minterms and without an
// empty function.
std::vector<TTermVector> System(std::mt19937& rng, int maxBits, int* bits) {
  RandomSystemOptions options;
  options.MinBits = 8;
  options.MaxBits = maxBits;
  options.MaxFunctions = 5;
  while (true) {
    const auto functions = RandomSystem(rng, options, bits);
    auto work = InKind(functions, false, *bits);
    bool empty = false;
    for (const auto& f : work) empty = empty || f.Count() == 0;
    if (!empty) return work;
  }
}

TEST(SplitMemoTest, ForcedHashCollisionsStillGiveTheReferenceResult) {
  // With one or three bits of hash left, nearly every lookup meets another
  // table's entry. The reference run is slow, so it gets the narrow systems
  // and pairing the wider, structured ones.
  std::mt19937 rng(1313);
  for (const int hashBits : {1, 3}) {
    detail::SetSplitMemoHashBits(hashBits);
    TRunParams split;
    split.PrimeMethod = TPrimeMethod::Split;
    for (int n = 0; n < 3; ++n) {
      int bits = 0;
      const auto work = System(rng, 8, &bits);
      const auto fast = MinimizeFunctions(work, bits, nullptr, nullptr, split);
      const auto reference = ReferenceMinimize(work, bits);
      ASSERT_EQ(Describe(fast.Primes), Describe(reference.Primes)) << "hash bits " << hashBits;
      ASSERT_EQ(Describe(fast.Result), Describe(reference.Result)) << "hash bits " << hashBits;
    }
    for (int n = 0; n < 20; ++n) {
      // A few large cubes per function: many equal sub-tables.
      const int bits = 9 + n % 4;
      std::vector<TTermVector> work(1 + static_cast<size_t>(n % 3));
      for (auto& f : work)
        for (int c = 0; c < 4; ++c) {
          const uint32_t mask = rng() & rng() & ((1u << bits) - 1), value = rng() & ~mask & ((1u << bits) - 1);
          for (uint32_t sub = 0;; sub = (sub - mask) & mask) {
            f.Add(static_cast<int32_t>(value | sub), c == 3);
            if (((sub - mask) & mask) == 0) break;
          }
        }
      work[0].Add((1 << bits) - 1, false);
      TRunParams pairing;
      pairing.PrimeMethod = TPrimeMethod::Pairing;
      const auto fast = MinimizeFunctions(work, bits, nullptr, nullptr, split);
      const auto paired = MinimizeFunctions(work, bits, nullptr, nullptr, pairing);
      ASSERT_EQ(Describe(fast.Primes), Describe(paired.Primes)) << "hash bits " << hashBits;
      ASSERT_EQ(Describe(fast.Result), Describe(paired.Result)) << "hash bits " << hashBits;
    }
    // The hook did narrow the hash: different tables met in one slot.
    EXPECT_GT(detail::SplitMemoCollisions(), 0u) << "hash bits " << hashBits;
  }
  detail::SetSplitMemoHashBits(128);
}

// The list with one change made by spoil(values, masks, tags).
using Spoiler = std::function<void(std::vector<uint32_t>&, std::vector<uint32_t>&, std::vector<uint64_t>&)>;
TCover Spoiled(const TCover& c, const Spoiler& spoil) {
  std::vector<uint32_t> values, masks;
  std::vector<uint64_t> tags;
  for (size_t i = 0; i < c.Count(); ++i) {
    values.push_back(c.Value(i));
    masks.push_back(c.Mask(i));
    tags.insert(tags.end(), c.Tags(i), c.Tags(i) + c.TagWords);
  }
  spoil(values, masks, tags);
  TCover result(c.Width, c.FunctionCount);
  for (size_t i = 0; i < values.size(); ++i) result.Add(values[i], masks[i], tags.data() + i * static_cast<size_t>(c.TagWords));
  return result;
}

TEST(VerifyPrimesTest, CatchesEveryKindOfWrongPrimeList) {
  std::mt19937 rng(26);
  for (int n = 0; n < 30; ++n) {
    int bits = 0;
    auto work = System(rng, 10, &bits);
    // Every third system wider than the full comparison reaches.
    if (n % 3 == 2) {
      bits = VerifyFullInputs + 2;
      work.back().Add((1 << bits) - 1, false);
    }
    SCOPED_TRACE("system " + std::to_string(n) + ", " + std::to_string(bits) + " inputs");
    TRunParams params;
    params.PrimeMethod = TPrimeMethod::Split;
    params.Verify = true;  // the run itself checks its list
    const TCover primes = MinimizeFunctions(work, bits, nullptr, nullptr, params).Primes;
    const auto fs = Pointers(work);
    ASSERT_NO_THROW(VerifyPrimes(fs, primes));
    if (primes.Count() < 2) continue;  // a constant function
    const size_t k = rng() % primes.Count();
    const uint32_t fixed = ~primes.Mask(k) & ((1u << bits) - 1);
    const Spoiler spoilers[] = {
        // A tag too many or too few.
        [&](auto&, auto&, auto& t) { t[k * static_cast<size_t>(primes.TagWords)] ^= 1; },
        // A cube one literal smaller than the prime: an implicant, no prime.
        [&](auto& v, auto& m, auto&) {
          const uint32_t b = m[k] & (~m[k] + 1);
          m[k] ^= b, v[k] |= b * (rng() & 1);
        },
        // A cube one literal larger: no implicant of its functions.
        [&](auto& v, auto& m, auto&) {
          const uint32_t b = fixed & (~fixed + 1);
          m[k] |= b, v[k] &= ~b;
        },
        // A prime listed twice.
        [&](auto& v, auto& m, auto& t) {
          v.push_back(v[k]), m.push_back(m[k]);
          const std::vector<uint64_t> copy(primes.Tags(k), primes.Tags(k) + primes.TagWords);
          t.insert(t.end(), copy.begin(), copy.end());
        },
    };
    for (size_t s = 0; s < std::size(spoilers); ++s) {
      if (s == 1 && primes.Mask(k) == 0) continue;  // a zero cube has no smaller cube
      if (s == 2 && fixed == 0) continue;
      EXPECT_THROW(VerifyPrimes(fs, Spoiled(primes, spoilers[s])), InternalError) << "spoiler " << s;
    }
    // A prime left out, and two primes out of order, show only against the
    // full lists.
    if (bits > VerifyFullInputs) continue;
    EXPECT_THROW(VerifyPrimes(fs, Spoiled(primes, [&](auto& v, auto& m, auto& t) {
                   v.erase(v.begin() + static_cast<long>(k)), m.erase(m.begin() + static_cast<long>(k));
                   t.erase(t.begin() + static_cast<long>(k * primes.TagWords),
                           t.begin() + static_cast<long>((k + 1) * primes.TagWords));
                 })),
                 InternalError);
    EXPECT_THROW(VerifyPrimes(fs, Spoiled(primes, [&](auto& v, auto& m, auto& t) {
                   const size_t j = k + 1 < v.size() ? k + 1 : k - 1;
                   std::swap(v[k], v[j]), std::swap(m[k], m[j]);
                   for (int w = 0; w < primes.TagWords; ++w)
                     std::swap(t[k * static_cast<size_t>(primes.TagWords) + static_cast<size_t>(w)],
                               t[j * static_cast<size_t>(primes.TagWords) + static_cast<size_t>(w)]);
                 })),
                 InternalError);
  }
}

}  // namespace
