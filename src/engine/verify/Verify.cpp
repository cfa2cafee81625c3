#include "engine/verify/Verify.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>

#include "engine/core/FunctionSystem.h"
#include "engine/primes/PrimeFinders.h"
#include "model/Errors.h"

namespace tavro {

namespace {

// Which rows each function lists: one bit per row where that fits in a
// modest amount of memory, otherwise a search in the sorted term list.
class ListedRows {
 public:
  ListedRows(const std::vector<const TTermVector*>& functions, int width) : FFunctions(functions) {
    const uint64_t words = (uint64_t{1} << width) / 64 + 1;
    if (words * functions.size() * 8 > (uint64_t{256} << 20)) return;
    FBits.assign(functions.size(), std::vector<uint64_t>(words));
    for (size_t f = 0; f < functions.size(); ++f)
      for (int32_t t : functions[f]->Terms()) FBits[f][static_cast<uint32_t>(t) >> 6] |= uint64_t{1} << (t & 63);
  }

  bool Lists(size_t f, uint32_t row) const {
    if (!FBits.empty()) return (FBits[f][row >> 6] >> (row & 63)) & 1u;
    const auto& terms = FFunctions[f]->Terms();
    return std::binary_search(terms.begin(), terms.end(), static_cast<int32_t>(row));
  }

  // True when function f lists every row of the cube (value, mask).
  bool Implicant(size_t f, uint32_t value, uint32_t mask) const {
    uint32_t sub = 0;
    do {
      if (!Lists(f, value | sub)) return false;
      sub = (sub - mask) & mask;
    } while (sub != 0);
    return true;
  }

 private:
  const std::vector<const TTermVector*>& FFunctions;
  std::vector<std::vector<uint64_t>> FBits;
};

[[noreturn]] void Fail(const TCover& primes, size_t i, const std::string& what) {
  throw InternalError("prime implicant " + std::to_string(i) + " (" + primes.Pattern(i) + ") " + what);
}

// Every prime of the functions by brute force: the tags of every cube, mask
// by mask (a cube's tags are those of its two halves across its lowest free
// input), and the cubes that no one-input growth keeps the tags of. Sorted
// by (mask, value).
TCover AllPrimes(const std::vector<const TTermVector*>& functions, int width) {
  const uint32_t rows = uint32_t{1} << width;
  const uint32_t full = rows - 1;
  const int fcount = static_cast<int>(functions.size());
  const auto tw = static_cast<size_t>((fcount + 63) / 64);
  std::vector<uint64_t> tags(static_cast<size_t>(rows) * rows * tw);
  auto at = [&](uint32_t m, uint32_t v) { return tags.data() + (static_cast<size_t>(m) * rows + v) * tw; };
  for (int f = 0; f < fcount; ++f)
    for (int32_t t : functions[static_cast<size_t>(f)]->Terms())
      at(0, static_cast<uint32_t>(t))[f >> 6] |= uint64_t{1} << (f & 63);
  for (uint32_t m = 1; m < rows; ++m) {
    const uint32_t low = m & (~m + 1);
    for (uint32_t v = 0; v < rows; ++v) {
      if (v & m) continue;
      const uint64_t* x = at(m ^ low, v);
      const uint64_t* y = at(m ^ low, v | low);
      for (size_t k = 0; k < tw; ++k) at(m, v)[k] = x[k] & y[k];
    }
  }
  TCover result(width, fcount);
  for (uint32_t m = 0; m < rows; ++m)
    for (uint32_t v = 0; v < rows; ++v) {
      if (v & m) continue;
      const uint64_t* t = at(m, v);
      if (std::all_of(t, t + tw, [](uint64_t w) { return w == 0; })) continue;
      bool prime = true;
      for (uint32_t fixed = full & ~m; fixed && prime; fixed &= fixed - 1) {
        const uint32_t b = fixed & (~fixed + 1);
        prime = !std::equal(t, t + tw, at(m | b, v & ~b));
      }
      if (prime) result.Add(v, m, t);
    }
  return result;
}

bool SameCube(const TCover& a, size_t i, const TCover& b, size_t j) {
  return a.Value(i) == b.Value(j) && a.Mask(i) == b.Mask(j) && std::equal(a.Tags(i), a.Tags(i) + a.TagWords, b.Tags(j));
}

// primes sorted by (mask, value), as AllPrimes makes them.
TCover ByMask(const TCover& primes) {
  std::vector<size_t> order(primes.Count());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return primes.Mask(a) != primes.Mask(b) ? primes.Mask(a) < primes.Mask(b) : primes.Value(a) < primes.Value(b);
  });
  TCover sorted(primes.Width, primes.FunctionCount);
  for (size_t i : order) sorted.Add(primes.Value(i), primes.Mask(i), primes.Tags(i));
  return sorted;
}

void CompareWithFullLists(const std::vector<const TTermVector*>& functions, const TCover& primes) {
  const int width = primes.Width;
  const TCover all = AllPrimes(functions, width);
  const TCover sorted = ByMask(primes);
  for (size_t i = 0; i < std::min(all.Count(), sorted.Count()); ++i)
    if (!SameCube(all, i, sorted, i))
      throw InternalError("the prime implicant list lacks " + all.Pattern(i) + " or holds a cube that is none");
  if (all.Count() != sorted.Count())
    throw InternalError("the prime implicant list holds " + std::to_string(primes.Count()) + " cubes, not " +
                        std::to_string(all.Count()));

  detail::MemoryMeter meter(0);
  const TCover paired = detail::TabulateListed(functions, width, nullptr, nullptr, meter);
  if (paired.Count() != primes.Count())
    throw InternalError("pairing lists " + std::to_string(paired.Count()) + " prime implicants, not " +
                        std::to_string(primes.Count()));
  for (size_t i = 0; i < primes.Count(); ++i)
    if (!SameCube(paired, i, primes, i)) Fail(primes, i, "stands where pairing lists " + paired.Pattern(i));
}

}  // namespace

void VerifyPrimes(const std::vector<const TTermVector*>& functions, const TCover& primes) {
  const int width = primes.Width;
  const uint32_t full = width >= 32 ? ~uint32_t{0} : (uint32_t{1} << width) - 1;
  const ListedRows listed(functions, width);
  for (size_t i = 0; i < primes.Count(); ++i) {
    const uint32_t v = primes.Value(i), m = primes.Mask(i);
    if ((v & m) != 0 || ((v | m) & ~full) != 0) Fail(primes, i, "is not a cube of the system's inputs");
    bool any = false;
    for (size_t f = 0; f < functions.size(); ++f) {
      const bool tagged = primes.Tag(i, static_cast<int>(f));
      any = any || tagged;
      if (listed.Implicant(f, v, m) != tagged)
        Fail(primes, i,
             std::string(tagged ? "is tagged for" : "is not tagged for, but an implicant of") + " f" +
                 std::to_string(f));
    }
    if (!any) Fail(primes, i, "has no tags");
    for (uint32_t fixed = full & ~m; fixed; fixed &= fixed - 1) {
      // The cube with this literal dropped is the cube and its mirror image.
      const uint32_t b = fixed & (~fixed + 1);
      bool grows = true;
      for (size_t f = 0; f < functions.size() && grows; ++f)
        if (primes.Tag(i, static_cast<int>(f))) grows = listed.Implicant(f, v ^ b, m);
      if (grows) Fail(primes, i, "is no prime: input " + std::to_string(std::countr_zero(b)) + " can be dropped");
    }
  }
  std::vector<uint64_t> keys(primes.Count());
  for (size_t i = 0; i < keys.size(); ++i) keys[i] = uint64_t{primes.Mask(i)} << 32 | primes.Value(i);
  std::sort(keys.begin(), keys.end());
  if (std::adjacent_find(keys.begin(), keys.end()) != keys.end())
    throw InternalError("the prime implicant list holds a cube twice");

  const uint64_t tableBytes = (uint64_t{8} << (2 * width)) * static_cast<uint64_t>(primes.TagWords);
  if (width <= VerifyFullInputs && tableBytes <= (uint64_t{256} << 20)) CompareWithFullLists(functions, primes);
}

namespace {

template <class B>
void VerifyPrimesAs(const TCubeSystem& system, const TCover& primes) {
  const int fcount = primes.FunctionCount;
  std::vector<std::vector<TCubeOf<B>>> listed;
  for (int f = 0; f < fcount; ++f) listed.push_back(TaggedCubes<B>(system.Cubes, f));
  const auto implicant = [&](int f, const B& v, const B& m) {
    return !FirstUncovered<B>(v & ~m, m, listed[static_cast<size_t>(f)]).has_value();
  };
  const B full = bits::Low<B>(primes.Width);
  std::vector<std::pair<B, B>> seen;
  for (size_t i = 0; i < primes.Count(); ++i) {
    const B v = primes.ValueAs<B>(i), m = primes.MaskAs<B>(i);
    if (bits::Any(v & m) || bits::Any((v | m) & ~full)) Fail(primes, i, "is not a cube of the system's inputs");
    bool any = false;
    for (int f = 0; f < fcount; ++f) {
      const bool tagged = primes.Tag(i, f);
      any = any || tagged;
      if (implicant(f, v, m) != tagged)
        Fail(primes, i,
             std::string(tagged ? "is tagged for" : "is not tagged for, but an implicant of") + " f" +
                 std::to_string(f));
    }
    if (!any) Fail(primes, i, "has no tags");
    bits::ForEach(full & ~m, [&](int k) {
      const B b = bits::One<B>(k);
      bool grows = true;
      for (int f = 0; f < fcount && grows; ++f)
        if (primes.Tag(i, f)) grows = implicant(f, v & ~b, m | b);
      if (grows) Fail(primes, i, "is no prime: input " + std::to_string(k) + " can be dropped");
    });
    seen.emplace_back(m, v);
  }
  std::sort(seen.begin(), seen.end());
  if (std::adjacent_find(seen.begin(), seen.end()) != seen.end())
    throw InternalError("the prime implicant list holds a cube twice");
}

}  // namespace

void VerifyPrimesCubes(const TCubeSystem& system, const TCover& primes) {
  WithCubeBits(
      primes.Width, [&](auto b) { VerifyPrimesAs<decltype(b)>(system, primes); }, true);
}

void VerifyCover(const std::vector<TTermVector>& functions, const TCover& cover) {
  std::vector<const TTermVector*> pointers;
  for (const auto& f : functions) pointers.push_back(&f);
  VerifyCover(pointers, cover);
}

void VerifyCover(const std::vector<const TTermVector*>& functions, const TCover& cover) {
  if (functions.empty()) return;
  int width = cover.Width;
  for (const auto* f : functions) width = std::max(width, TFunctionSystem::FunctionInputBits(*f));
  const size_t words = ((size_t{1} << width) + 63) / 64;
  // One bit per row: the rows a function lists, and the rows its cubes cover.
  std::vector<uint64_t> listed(words), covered(words);
  for (size_t f = 0; f < functions.size(); ++f) {
    std::fill(listed.begin(), listed.end(), 0);
    std::fill(covered.begin(), covered.end(), 0);
    const auto& terms = functions[f]->Terms();
    const auto& flags = functions[f]->DontCares();
    for (const int32_t t : terms) listed[static_cast<size_t>(t) >> 6] |= uint64_t{1} << (t & 63);
    for (size_t k = 0; k < cover.Count(); ++k) {
      if (!cover.Tag(k, static_cast<int>(f))) continue;
      const uint32_t mask = cover.Mask(k), value = cover.Value(k) & ~mask;
      const uint64_t rows = uint64_t{1} << width;
      if (((static_cast<uint64_t>(value) | mask) >> width) != 0) {
        const uint32_t high = mask & ~static_cast<uint32_t>(rows - 1);
        const uint64_t row = value >= rows ? value : (value | (high & (~high + 1)));
        throw InternalError("the cover of f" + std::to_string(f) + " includes row " + std::to_string(row) +
                            ", which the function does not list");
      }
      SetCubeBits(covered, value, mask);
    }
    for (size_t w = 0; w < words; ++w)
      if (const uint64_t extra = covered[w] & ~listed[w])
        throw InternalError("the cover of f" + std::to_string(f) + " includes row " +
                            std::to_string(w * 64 + static_cast<size_t>(std::countr_zero(extra))) +
                            ", which the function does not list");
    for (size_t i = 0; i < terms.size(); ++i)
      if (!flags[i] && !((covered[static_cast<size_t>(terms[i]) >> 6] >> (terms[i] & 63)) & 1u))
        throw InternalError("term " + std::to_string(terms[i]) + " of f" + std::to_string(f) + " is not covered");
  }
}

}  // namespace tavro
