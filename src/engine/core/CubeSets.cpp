#include "engine/core/CubeSets.h"

#include <bit>
#include <string>

#include "engine/core/RunParams.h"
#include "model/Errors.h"

namespace tavro {

namespace {

// Splits the cube (value, free) on the input that the most of the cubes
// meeting it fix, until a part lies inside one cube or meets none. The cubes
// meeting the current part are kept at the end of one stack.
class CubeWalk {
 public:
  CubeWalk(uint32_t value, uint32_t free, const std::vector<TCubeRef>& cubes) : FValue(value), FFree(free) {
    for (const auto& c : cubes)
      if (((c.Value ^ value) & ~(c.Mask | free)) == 0) FStack.push_back(c);
  }

  int64_t First() { return First(FValue, FFree, 0, FStack.size()); }
  uint64_t Count() { return Count(FValue, FFree, 0, FStack.size()); }

 private:
  // The input to split on, or -1 when a cube holds the whole part.
  int SplitInput(uint32_t free, size_t c0, size_t c1) const {
    int fixed[32] = {};
    for (size_t k = c0; k < c1; ++k) {
      const uint32_t bits = free & ~FStack[k].Mask;
      if (bits == 0) return -1;
      CountInputs(bits, fixed);
    }
    return MostFixed(fixed);
  }

  int64_t First(uint32_t value, uint32_t free, size_t c0, size_t c1) {
    if (c0 == c1) return value;
    const int input = SplitInput(free, c0, c1);
    if (input < 0) return -1;
    const uint32_t bit = uint32_t{1} << input;
    int64_t best = -1;
    for (const uint32_t half : {uint32_t{0}, bit}) {
      const size_t start = PushHalf(FStack, c0, c1, bit, half);
      const int64_t t = First(value | half, free & ~bit, start, FStack.size());
      FStack.resize(start);
      if (t >= 0 && (best < 0 || t < best)) best = t;
      if (best == static_cast<int64_t>(value)) break;
    }
    return best;
  }

  uint64_t Count(uint32_t value, uint32_t free, size_t c0, size_t c1) {
    if (c0 == c1) return 0;
    const int input = SplitInput(free, c0, c1);
    if (input < 0) return uint64_t{1} << std::popcount(free);
    const uint32_t bit = uint32_t{1} << input;
    uint64_t total = 0;
    for (const uint32_t half : {uint32_t{0}, bit}) {
      const size_t start = PushHalf(FStack, c0, c1, bit, half);
      total += Count(value | half, free & ~bit, start, FStack.size());
      FStack.resize(start);
    }
    return total;
  }

  uint32_t FValue, FFree;
  std::vector<TCubeRef> FStack;
};

uint32_t AllInputs(int width) { return width >= 32 ? ~uint32_t{0} : (uint32_t{1} << width) - 1; }

}  // namespace

std::vector<TCubeRef> TaggedCubes(const TCover* cover, int f) {
  std::vector<TCubeRef> cubes;
  if (!cover) return cubes;
  for (size_t k = 0; k < cover->Count(); ++k)
    if (cover->Tag(k, f)) cubes.push_back({cover->Value(k) & ~cover->Mask(k), cover->Mask(k)});
  return cubes;
}

int64_t FirstUncovered(uint32_t value, uint32_t free, const std::vector<TCubeRef>& cubes) {
  return CubeWalk(value & ~free, free, cubes).First();
}

uint64_t CoveredCount(uint32_t value, uint32_t free, const std::vector<TCubeRef>& cubes) {
  return CubeWalk(value & ~free, free, cubes).Count();
}

uint64_t ListedCount(const TCubeSystem& system, int f, int width) {
  return CoveredCount(0, AllInputs(width), TaggedCubes(system.Cubes, f));
}

uint64_t CareCount(const TCubeSystem& system, int f, int width) {
  const uint64_t listed =
      system.Listed ? static_cast<uint64_t>((*system.Listed)[static_cast<size_t>(f)]) : ListedCount(system, f, width);
  return listed - CoveredCount(0, AllInputs(width), TaggedCubes(system.DontCares, f));
}

std::vector<TTermVector> ListCubeTerms(const TCubeSystem& system, int functionCount, int width) {
  const size_t words = ((size_t{1} << width) + 63) / 64;
  std::vector<uint64_t> listed(words), dc(words);
  std::vector<TTermVector> functions(static_cast<size_t>(functionCount));
  for (int f = 0; f < functionCount; ++f) {
    CheckStop();
    std::fill(listed.begin(), listed.end(), 0);
    std::fill(dc.begin(), dc.end(), 0);
    for (const auto& c : TaggedCubes(system.Cubes, f)) SetCubeBits(listed, c.Value, c.Mask);
    for (const auto& c : TaggedCubes(system.DontCares, f)) SetCubeBits(dc, c.Value, c.Mask);
    size_t count = 0;
    for (const uint64_t w : listed) count += static_cast<size_t>(std::popcount(w));
    std::vector<int32_t> terms;
    terms.reserve(count);
    std::vector<bool> flags(count, false);
    for (size_t w = 0; w < words; ++w)
      for (uint64_t all = listed[w]; all; all &= all - 1) {
        const int b = std::countr_zero(all);
        if ((dc[w] >> b) & 1u) flags[terms.size()] = true;
        terms.push_back(static_cast<int32_t>(w * 64 + static_cast<size_t>(b)));
      }
    functions[static_cast<size_t>(f)].AssignAscending(std::move(terms), std::move(flags));
  }
  return functions;
}

void VerifyCoverCubes(const TCubeSystem& system, int functionCount, const TCover& cover) {
  for (int f = 0; f < functionCount; ++f) {
    const auto listed = TaggedCubes(system.Cubes, f);
    auto allowed = TaggedCubes(system.DontCares, f);
    int64_t extra = -1;
    for (size_t k = 0; k < cover.Count(); ++k) {
      if (!cover.Tag(k, f)) continue;
      const int64_t t = FirstUncovered(cover.Value(k), cover.Mask(k), listed);
      if (t >= 0 && (extra < 0 || t < extra)) extra = t;
      allowed.push_back({cover.Value(k) & ~cover.Mask(k), cover.Mask(k)});
    }
    if (extra >= 0)
      throw InternalError("the cover of f" + std::to_string(f) + " includes row " + std::to_string(extra) +
                          ", which the function does not list");
    int64_t missing = -1;
    for (const auto& c : listed) {
      const int64_t t = FirstUncovered(c.Value, c.Mask, allowed);
      if (t >= 0 && (missing < 0 || t < missing)) missing = t;
    }
    if (missing >= 0)
      throw InternalError("term " + std::to_string(missing) + " of f" + std::to_string(f) + " is not covered");
  }
}

}  // namespace tavro
