#include "engine/core/CubeSets.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <string>

#include "engine/core/RunParams.h"
#include "model/Errors.h"

namespace tavro {

namespace {

// Splits the cube (value, free) on the input that the most of the cubes
// meeting it fix, until a part lies inside one cube or meets none. The cubes
// meeting the current part are kept at the end of one stack.
template <class B>
class CubeWalk {
 public:
  // Narrow counts are exact in 64 bits; wider ones need the range.
  using Count = std::conditional_t<std::is_same_v<B, uint32_t>, uint64_t, TTermCount>;

  // The stack's memory is kept for the thread's next walk: the chart walks
  // thousands of times, and fresh pages each time cost more than the walk.
  CubeWalk(const B& value, const B& free, const std::vector<TCubeOf<B>>& cubes)
      : FValue(value), FFree(free), FStack(Scratch()) {
    FStack.clear();
    for (const auto& c : cubes)
      if (!bits::Any((c.Value ^ value) & ~(c.Mask | free))) FStack.push_back(c);
  }

  std::optional<B> First() { return First(FValue, FFree, 0, FStack.size()); }
  Count Covered() { return Covered(FValue, FFree, 0, FStack.size()); }

 private:
  static constexpr int kBits = static_cast<int>(sizeof(B) * 8);

  // The input to split on, or -1 when a cube holds the whole part.
  int SplitInput(const B& free, size_t c0, size_t c1) {
    if constexpr (std::is_same_v<B, uint32_t>) {
      int fixed[32] = {};
      for (size_t k = c0; k < c1; ++k) {
        const uint32_t bits = free & ~FStack[k].Mask;
        if (bits == 0) return -1;
        CountInputs(bits, fixed);
      }
      return MostFixed(fixed);
    } else if constexpr (std::is_same_v<B, uint64_t>) {
      TWordInputCounter fixed;
      for (size_t k = c0; k < c1; ++k) {
        const uint64_t bits = free & ~FStack[k].Mask;
        if (bits == 0) return -1;
        fixed.Add(bits);
      }
      return fixed.Most();
    } else {
      std::vector<int> fixed(kBits, 0);
      for (size_t k = c0; k < c1; ++k) {
        const B b = free & ~FStack[k].Mask;
        if (!bits::Any(b)) return -1;
        CountInputs(b, fixed);
      }
      return MostFixed(fixed.data(), kBits);
    }
  }

  std::optional<B> First(const B& value, const B& free, size_t c0, size_t c1) {
    if (c0 == c1) return value;
    // Inputs that cubes fix to 1 only: a term left over stays left over
    // with them at 0, and is then smaller; so the walk goes on with them at
    // 0, without the cubes that fix any of them to 1.
    B toOne{}, toZero{};
    for (size_t k = c0; k < c1; ++k) {
      const B fixed = free & ~FStack[k].Mask;
      if (!bits::Any(fixed)) return std::nullopt;
      toOne |= fixed & FStack[k].Value;
      toZero |= fixed & ~FStack[k].Value;
    }
    if (const B up = toOne & ~toZero; bits::Any(up)) {
      const size_t start = FStack.size();
      FStack.resize(start + (c1 - c0));
      auto* out = FStack.data() + start;
      for (size_t k = c0; k < c1; ++k)
        if (!bits::Any(FStack[k].Value & ~FStack[k].Mask & up)) *out++ = FStack[k];
      FStack.resize(static_cast<size_t>(out - FStack.data()));
      const std::optional<B> t = First(value, free & ~up, start, FStack.size());
      FStack.resize(start);
      return t;
    }
    // Likewise, a term left over stays left over with the inputs fixed to
    // 0 only set to 1: where none is left there, none is left at all (most
    // walks of the chart end so). Else the walk looks for the smallest.
    if (const B down = toZero & ~toOne; bits::Any(down)) {
      const size_t start = FStack.size();
      FStack.resize(start + (c1 - c0));
      auto* out = FStack.data() + start;
      for (size_t k = c0; k < c1; ++k)
        if (!bits::Any(~FStack[k].Value & ~FStack[k].Mask & down)) *out++ = FStack[k];
      FStack.resize(static_cast<size_t>(out - FStack.data()));
      const bool none = !First(value | down, free & ~down, start, FStack.size());
      FStack.resize(start);
      if (none) return std::nullopt;
    }
    const int input = SplitInput(free, c0, c1);
    if (input < 0) return std::nullopt;
    const B bit = bits::One<B>(input);
    // Where no cube fixes the input to 0, the cubes of the half at 1 include
    // those of the half at 0: each term left there is one left at 0 with
    // the input raised, so the half at 0 decides alone.
    bool zeros = false;
    for (size_t k = c0; k < c1 && !zeros; ++k) zeros = !bits::Any((FStack[k].Value | FStack[k].Mask) & bit);
    std::optional<B> best;
    for (const B& half : {B{}, bit}) {
      const size_t start = PushHalf(FStack, c0, c1, bit, half);
      const std::optional<B> t = First(value | half, free & ~bit, start, FStack.size());
      FStack.resize(start);
      if (t && (!best || *t < *best)) best = t;
      if ((best && *best == value) || !zeros) break;
    }
    return best;
  }

  Count Covered(const B& value, const B& free, size_t c0, size_t c1) {
    if (c0 == c1) return 0;
    const int input = SplitInput(free, c0, c1);
    if (input < 0) {
      if constexpr (std::is_same_v<B, uint32_t>) return uint64_t{1} << std::popcount(free);
      else return std::ldexp(TTermCount{1}, bits::Count(free));
    }
    const B bit = bits::One<B>(input);
    Count total = 0;
    for (const B& half : {B{}, bit}) {
      const size_t start = PushHalf(FStack, c0, c1, bit, half);
      total += Covered(value | half, free & ~bit, start, FStack.size());
      FStack.resize(start);
    }
    return total;
  }

  static std::vector<TCubeOf<B>>& Scratch() {
    thread_local std::vector<TCubeOf<B>> stack;
    return stack;
  }

  B FValue, FFree;
  std::vector<TCubeOf<B>>& FStack;
};

// A row for a message: its number, or past 63 inputs its pattern.
template <class B>
std::string RowText(const B& row, int width) {
  if (width <= 63) return std::to_string(bits::Word(row, 0));
  std::string p;
  for (int k = width; k-- > 0;) p += bits::Test(row, k) ? '1' : '0';
  return p;
}

template <class B>
void VerifyCoverAs(const TCubeSystem& system, int functionCount, const TCover& cover) {
  for (int f = 0; f < functionCount; ++f) {
    const auto listed = TaggedCubes<B>(system.Cubes, f);
    auto allowed = TaggedCubes<B>(system.DontCares, f);
    std::optional<B> extra;
    for (size_t k = 0; k < cover.Count(); ++k) {
      if (!cover.Tag(k, f)) continue;
      const B m = cover.MaskAs<B>(k), v = cover.ValueAs<B>(k) & ~m;
      const std::optional<B> t = FirstUncovered<B>(v, m, listed);
      if (t && (!extra || *t < *extra)) extra = t;
      allowed.push_back({v, m});
    }
    if (extra)
      throw InternalError("the cover of f" + std::to_string(f) + " includes row " + RowText(*extra, cover.Width) +
                          ", which the function does not list");
    std::optional<B> missing;
    for (const auto& c : listed) {
      const std::optional<B> t = FirstUncovered<B>(c.Value, c.Mask, allowed);
      if (t && (!missing || *t < *missing)) missing = t;
    }
    if (missing)
      throw InternalError("term " + RowText(*missing, cover.Width) + " of f" + std::to_string(f) + " is not covered");
  }
}

// The complement of a list of cubes within a cube, as cubes.
template <class B>
class Complementer {
 public:
  explicit Complementer(std::vector<TCubeOf<B>> cubes) : FStack(std::move(cubes)) {}

  std::vector<TCubeOf<B>> Within(const B& free) { return Part(B{}, free, 0, FStack.size()); }

 private:
  static constexpr int kBits = static_cast<int>(sizeof(B) * 8);

  std::vector<TCubeOf<B>> Part(const B& value, const B& free, size_t c0, size_t c1) {
    if (c0 == c1) return {{value, free}};
    std::vector<int> fixed(kBits, 0);
    for (size_t k = c0; k < c1; ++k) {
      const B b = free & ~FStack[k].Mask;
      if (!bits::Any(b)) return {};
      CountInputs(b, fixed);
    }
    const int input = MostFixed(fixed.data(), kBits);
    const B bit = bits::One<B>(input);
    std::vector<TCubeOf<B>> halves[2];
    for (int h = 0; h < 2; ++h) {
      const B half = h ? bit : B{};
      const size_t start = PushHalf(FStack, c0, c1, bit, half);
      halves[h] = Part(value | half, free & ~bit, start, FStack.size());
      FStack.resize(start);
    }
    // A cube both halves give (apart from the split input) is one cube with
    // the input free. Each half's cubes are distinct, so sorting finds them.
    const auto less = [&](const TCubeOf<B>& a, const TCubeOf<B>& b) {
      const B av = a.Value & ~bit, bv = b.Value & ~bit;
      return a.Mask < b.Mask || (a.Mask == b.Mask && av < bv);
    };
    std::sort(halves[0].begin(), halves[0].end(), less);
    std::sort(halves[1].begin(), halves[1].end(), less);
    std::vector<TCubeOf<B>> out;
    size_t i = 0, j = 0;
    while (i < halves[0].size() || j < halves[1].size()) {
      if (j == halves[1].size() || (i < halves[0].size() && less(halves[0][i], halves[1][j]))) {
        out.push_back(halves[0][i++]);
      } else if (i == halves[0].size() || less(halves[1][j], halves[0][i])) {
        out.push_back(halves[1][j++]);
      } else {
        out.push_back({halves[0][i].Value & ~bit, halves[0][i].Mask | bit});
        ++i;
        ++j;
      }
    }
    return out;
  }

  std::vector<TCubeOf<B>> FStack;
};

}  // namespace

void AppendComplement(const std::vector<const TCover*>& from, int f, int width, const uint64_t* tags, TCover& out) {
  WithCubeBits(width, [&](auto b) {
    using B = decltype(b);
    std::vector<TCubeOf<B>> cubes;
    for (const TCover* cover : from) {
      const auto some = TaggedCubes<B>(cover, f);
      cubes.insert(cubes.end(), some.begin(), some.end());
    }
    CheckStop();
    for (const auto& c : Complementer<B>(std::move(cubes)).Within(bits::Low<B>(width)))
      out.AddAs(c.Value, c.Mask, tags);
  });
}

int64_t CountFigure(TTermCount n) {
  constexpr auto kMax = std::numeric_limits<int64_t>::max();
  return n >= static_cast<TTermCount>(kMax) ? kMax : static_cast<int64_t>(n);
}

template <class B>
std::optional<B> FirstUncovered(const B& value, const B& free, const std::vector<TCubeOf<B>>& cubes) {
  return CubeWalk<B>(value & ~free, free, cubes).First();
}

template <class B>
TTermCount CoveredTerms(const B& value, const B& free, const std::vector<TCubeOf<B>>& cubes) {
  return static_cast<TTermCount>(CubeWalk<B>(value & ~free, free, cubes).Covered());
}

template <class B>
std::vector<TCubeOf<B>> ComplementCubes(std::vector<TCubeOf<B>> cubes, const B& space) {
  return Complementer<B>(std::move(cubes)).Within(space);
}

#define TAVRO_CUBE_SETS(B)                                                                      \
  template std::optional<B> FirstUncovered(const B&, const B&, const std::vector<TCubeOf<B>>&); \
  template TTermCount CoveredTerms(const B&, const B&, const std::vector<TCubeOf<B>>&);         \
  template std::vector<TCubeOf<B>> ComplementCubes(std::vector<TCubeOf<B>>, const B&);
TAVRO_CUBE_SETS(uint32_t)
TAVRO_CUBE_SETS(uint64_t)
TAVRO_CUBE_SETS(TBits<4>)
TAVRO_CUBE_SETS(TBits<16>)
#undef TAVRO_CUBE_SETS

int64_t FirstUncovered(uint32_t value, uint32_t free, const std::vector<TCubeRef>& cubes) {
  const auto t = FirstUncovered<uint32_t>(value, free, cubes);
  return t ? static_cast<int64_t>(*t) : -1;
}

uint64_t CoveredCount(uint32_t value, uint32_t free, const std::vector<TCubeRef>& cubes) {
  return CubeWalk<uint32_t>(value & ~free, free, cubes).Covered();
}

TTermCount CoveredCount(const TCover& cover, int f, int width) {
  return WithCubeBits(width, [&](auto b) {
    using B = decltype(b);
    return CoveredTerms(B{}, bits::Low<B>(width), TaggedCubes<B>(&cover, f));
  });
}

TTermCount ListedCount(const TCubeSystem& system, int f, int width) {
  return system.Cubes ? CoveredCount(*system.Cubes, f, width) : 0;
}

TTermCount CareCount(const TCubeSystem& system, int f, int width) {
  const TTermCount listed =
      system.Listed ? static_cast<TTermCount>((*system.Listed)[static_cast<size_t>(f)]) : ListedCount(system, f, width);
  return listed - (system.DontCares ? CoveredCount(*system.DontCares, f, width) : 0);
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

void VerifyCoverCubes(const TCubeSystem& system, int functionCount, const TCover& cover, bool wide) {
  WithCubeBits(
      cover.Width, [&](auto b) { VerifyCoverAs<decltype(b)>(system, functionCount, cover); }, wide);
}

}  // namespace tavro
