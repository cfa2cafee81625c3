#include "engine/heuristic/Unate.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numeric>

#include "engine/core/RunParams.h"

namespace tavro::heuristic {

namespace {

// How many cubes fix each input bit's way: Count[2k] cubes fix input k to 1
// (its bit 2k is clear), Count[2k+1] to 0. Full: some cube fixes nothing.
struct TColumns {
  bool Full = false;
  // The counts, in place up to 64 inputs (this runs at every node of the
  // recursions).
  uint32_t Small[128];
  std::vector<uint32_t> Large;
  uint32_t* Count = Small;

  TColumns() = default;
  TColumns(const TColumns&) = delete;
  TColumns& operator=(const TColumns&) = delete;
};

void Columns(const TCubeList& f, const TSpace& s, TColumns& col) {
  const size_t n = static_cast<size_t>(s.Inputs) * 2;
  if (n > std::size(col.Small)) {
    col.Large.assign(n, 0);
    col.Count = col.Large.data();
  } else {
    std::fill(col.Small, col.Small + n, 0u);
  }
  for (size_t i = 0; i < f.Count(); ++i) {
    bool any = false;
    for (size_t w = 0; w < s.IW; ++w)
      for (uint64_t lo = ~f[i][w] & s.Used[w]; lo; lo &= lo - 1) {
        ++col.Count[w * 64 + static_cast<size_t>(std::countr_zero(lo))];
        any = true;
      }
    if (!any) col.Full = true;
  }
}

// The input to split on: among those fixed both ways, the one the most cubes
// fix (ties: the more even split, then the lower input); where every fixed
// input is fixed one way only, the one the most cubes fix; -1 where no cube
// fixes any. binate tells which case it was.
int SplitInput(const TColumns& col, int inputs, bool& binate) {
  int best = -1;
  uint32_t bestTotal = 0, bestSkew = 0;
  binate = false;
  for (int k = 0; k < inputs; ++k) {
    const uint32_t a = col.Count[2 * static_cast<size_t>(k)], b = col.Count[2 * static_cast<size_t>(k) + 1];
    const bool both = a && b;
    if (a + b == 0 || (binate && !both)) continue;
    const uint32_t total = a + b, skew = a > b ? a - b : b - a;
    if ((both && !binate) || total > bestTotal || (total == bestTotal && skew < bestSkew)) {
      best = k;
      bestTotal = total;
      bestSkew = skew;
      binate = binate || both;
    }
  }
  return best;
}

// The cubes where input k is `value`, with k freed.
TCubeList CofactorInput(const TCubeList& f, int k, int value) {
  TCubeList out(f.Stride());
  out.Reserve(f.Count());
  const size_t keep = 2 * static_cast<size_t>(k) + static_cast<size_t>(value);
  const size_t other = 2 * static_cast<size_t>(k) + 1 - static_cast<size_t>(value);
  for (size_t i = 0; i < f.Count(); ++i)
    if ((f[i][keep >> 6] >> (keep & 63)) & 1u) {
      uint64_t* c = out.Grow();
      std::copy(f[i], f[i] + f.Stride(), c);
      c[other >> 6] |= uint64_t{1} << (other & 63);
    }
  return out;
}

void ClearBit(uint64_t* c, size_t bit) { c[bit >> 6] &= ~(uint64_t{1} << (bit & 63)); }

bool LexLess(const uint64_t* a, const uint64_t* b, size_t n) {
  return std::lexicographical_compare(a, a + n, b, b + n);
}

// Whether some cube fixes no input (a quick look before the counts).
bool AnyFull(const TCubeList& f, const TSpace& s) {
  for (size_t i = 0; i < f.Count(); ++i) {
    bool full = true;
    for (size_t w = 0; w < s.IW && full; ++w) full = (~f[i][w] & s.Used[w]) == 0;
    if (full) return true;
  }
  return false;
}

// Up to 32 inputs a cube's input part is one word. Both recursions then
// work on the words themselves, the cofactors kept on one stack that each
// level grows past its own cubes and gives back on return; at every level
// the cubes below `at` belong to the levels above.
class TOneWord {
 public:
  explicit TOneWord(const TSpace& s) : FUsed(s.Used[0]), FWhole(uint64_t{1} << s.Inputs) {}
  static constexpr uint64_t kNone = 0;  // no hull: the cubes cover all (a hull is never 0)

  bool Tautology(std::vector<uint64_t>& f) {
    FStack.swap(f);
    const bool whole = Tautology(0, FStack.size());
    FStack.swap(f);
    return whole;
  }
  uint64_t Hull(std::vector<uint64_t>& f) {
    FStack.swap(f);
    const uint64_t hull = Hull(0, FStack.size());
    FStack.swap(f);
    return hull;
  }

 private:
  uint64_t FUsed, FWhole;
  std::vector<uint64_t> FStack;

  // The bits some cube of [at, at + n) clears; false where one clears none.
  bool Fixed(size_t at, size_t n, uint64_t& fixed) const {
    fixed = 0;
    for (size_t i = at; i < at + n; ++i) {
      const uint64_t lo = ~FStack[i] & FUsed;
      if (!lo) return false;
      fixed |= lo;
    }
    return true;
  }

  // The input to split on, as SplitInput chooses among inputs fixed both ways.
  int Split(size_t at, size_t n, uint64_t fixed) const {
    uint32_t count[64] = {};
    for (size_t i = at; i < at + n; ++i)
      for (uint64_t lo = ~FStack[i] & fixed; lo; lo &= lo - 1) ++count[std::countr_zero(lo)];
    int best = -1;
    uint32_t bestTotal = 0, bestSkew = 0;
    for (uint64_t both = fixed & (fixed >> 1) & kEvenBits; both; both &= both - 1) {
      const int bit = std::countr_zero(both);
      const uint32_t a = count[bit], b = count[bit + 1], total = a + b, skew = a > b ? a - b : b - a;
      if (best < 0 || total > bestTotal || (total == bestTotal && skew < bestSkew)) {
        best = bit / 2;
        bestTotal = total;
        bestSkew = skew;
      }
    }
    return best;
  }

  // Pushes the cubes of [at, at + n) whose bit `keep` is set, with bit
  // `other` set too; returns where they start.
  size_t Push(size_t at, size_t n, int keep, int other) {
    const size_t top = FStack.size();
    for (size_t i = at; i < at + n; ++i) {
      const uint64_t c = FStack[i];
      if ((c >> keep) & 1u) FStack.push_back(c | uint64_t{1} << other);
    }
    return top;
  }
  // The same in place.
  size_t Keep(size_t at, size_t n, int keep, int other) {
    size_t out = at;
    for (size_t i = at; i < at + n; ++i) {
      const uint64_t c = FStack[i];
      if ((c >> keep) & 1u) FStack[out++] = c | uint64_t{1} << other;
    }
    return out - at;
  }

  bool Tautology(size_t at, size_t n) {
    for (;;) {
      uint64_t fixed = 0;
      if (n == 0) return false;
      if (!Fixed(at, n, fixed)) return true;
      if (n == 1) return false;
      // Inputs fixed one way only: the cubes that fix them go.
      const uint64_t unate = (fixed ^ (fixed >> 1)) & kEvenBits;
      if (unate) {
        const uint64_t both = unate | unate << 1;
        size_t out = at;
        for (size_t i = at; i < at + n; ++i)
          if (!(~FStack[i] & FUsed & both)) FStack[out++] = FStack[i];
        n = out - at;
        continue;
      }
      // Too few combinations to cover them all.
      uint64_t covered = 0;
      for (size_t i = at; i < at + n && covered < FWhole; ++i) covered += FWhole >> std::popcount(~FStack[i] & FUsed);
      if (covered < FWhole) return false;
      const int k = Split(at, n, fixed);
      const size_t top = Push(at, n, 2 * k + 1, 2 * k);
      const bool one = Tautology(top, FStack.size() - top);
      FStack.resize(top);
      if (!one) return false;
      n = Keep(at, n, 2 * k, 2 * k + 1);
    }
  }

  uint64_t Hull(size_t at, size_t n) {
    if (n == 0) return FUsed;
    uint64_t fixed = 0;
    if (!Fixed(at, n, fixed)) return kNone;
    // One literal: the other way of it; more: their other ways span all.
    if (n == 1) return std::popcount(fixed) == 1 ? FUsed & ~(uint64_t{1} << (std::countr_zero(fixed) ^ 1)) : FUsed;
    int k = Split(at, n, fixed);
    if (k < 0) k = std::countr_zero(fixed) / 2;
    const size_t top = Push(at, n, 2 * k + 1, 2 * k);
    uint64_t one = Hull(top, FStack.size() - top);
    FStack.resize(top);
    uint64_t zero = Hull(at, Keep(at, n, 2 * k, 2 * k + 1));
    if (one != kNone) one &= ~(uint64_t{1} << (2 * k));
    if (zero != kNone) zero &= ~(uint64_t{1} << (2 * k + 1));
    return one | zero;
  }
};

}  // namespace

bool Tautology(TCubeList f, const TSpace& s) {
  if (s.IW == 1) return TOneWord(s).Tautology(f.Data());
  for (;;) {
    if (f.Empty()) return false;
    if (AnyFull(f, s)) return true;
    if (f.Count() == 1) return false;
    TColumns col;
    Columns(f, s, col);
    if (col.Full) return true;
    // An input fixed one way only: the cubes that fix it cannot help to
    // cover its other half, so the cover is whole only if the rest is.
    std::vector<uint64_t> unate(s.IW, 0);
    bool anyUnate = false;
    for (size_t k = 0; k < static_cast<size_t>(s.Inputs); ++k)
      if ((col.Count[2 * k] == 0) != (col.Count[2 * k + 1] == 0)) {
        unate[(2 * k) >> 6] |= uint64_t{3} << ((2 * k) & 63);
        anyUnate = true;
      }
    if (anyUnate) {
      TCubeList rest(f.Stride());
      for (size_t i = 0; i < f.Count(); ++i) {
        bool fixes = false;
        for (size_t w = 0; w < s.IW && !fixes; ++w) fixes = (~f[i][w] & s.Used[w] & unate[w]) != 0;
        if (!fixes) rest.Push(f[i]);
      }
      f = std::move(rest);
      continue;
    }
    // Too few combinations to cover them all.
    long double covered = 0;
    for (size_t i = 0; i < f.Count() && covered < 1; ++i) {
      int literals = 0;
      for (size_t w = 0; w < s.IW; ++w) literals += std::popcount(~f[i][w] & s.Used[w]);
      covered += std::ldexp(1.0L, -literals);
    }
    if (covered < 1) return false;
    bool binate = false;
    const int k = SplitInput(col, s.Inputs, binate);
    if (!Tautology(CofactorInput(f, k, 1), s)) return false;
    f = CofactorInput(f, k, 0);
  }
}

TCubeList Complement(TCubeList f, const TSpace& s, uint64_t* splits) {
  TCubeList out(s.IW);
  if (f.Empty()) {
    out.Push(s.Used.data());
    return out;
  }
  TColumns col;
  Columns(f, s, col);
  if (col.Full) return out;
  if (f.Count() == 1) {
    // De Morgan: one cube per literal, with the literal's other way.
    for (size_t w = 0; w < s.IW; ++w)
      for (uint64_t lo = ~f[0][w] & s.Used[w]; lo; lo &= lo - 1) {
        uint64_t* c = out.Grow();
        std::copy(s.Used.begin(), s.Used.begin() + static_cast<std::ptrdiff_t>(s.IW), c);
        ClearBit(c, (w * 64 + static_cast<size_t>(std::countr_zero(lo))) ^ 1u);
      }
    return out;
  }
  CheckStop();
  if (splits && (*splits)-- == 0) throw ComplementTooLarge();
  bool binate = false;
  const int k = SplitInput(col, s.Inputs, binate);
  TCubeList one = Complement(CofactorInput(f, k, 1), s, splits), zero = Complement(CofactorInput(f, k, 0), s, splits);
  // Each half's cubes take the split input's way; a cube both halves give
  // stays free in it.
  const size_t n = s.IW;
  auto sorted = [&](const TCubeList& list) {
    std::vector<size_t> order(list.Count());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return LexLess(list[a], list[b], n); });
    return order;
  };
  const auto a = sorted(one), b = sorted(zero);
  out.Reserve(a.size() + b.size());
  const size_t oneBit = 2 * static_cast<size_t>(k), zeroBit = oneBit + 1;
  size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    if (j == b.size() || (i < a.size() && LexLess(one[a[i]], zero[b[j]], n))) {
      uint64_t* c = out.Grow();
      std::copy(one[a[i]], one[a[i]] + n, c);
      ClearBit(c, oneBit);
      ++i;
    } else if (i == a.size() || LexLess(zero[b[j]], one[a[i]], n)) {
      uint64_t* c = out.Grow();
      std::copy(zero[b[j]], zero[b[j]] + n, c);
      ClearBit(c, zeroBit);
      ++j;
    } else {
      out.Push(one[a[i]]);
      ++i;
      ++j;
    }
  }
  return out;
}

std::optional<std::vector<uint64_t>> ComplementHull(TCubeList f, const TSpace& s) {
  if (s.IW == 1) {
    const uint64_t hull = TOneWord(s).Hull(f.Data());
    if (hull == TOneWord::kNone) return std::nullopt;
    return std::vector<uint64_t>{hull};
  }
  std::vector<uint64_t> full(s.Used.begin(), s.Used.begin() + static_cast<std::ptrdiff_t>(s.IW));
  if (f.Empty()) return full;
  TColumns col;
  Columns(f, s, col);
  if (col.Full) return std::nullopt;
  if (f.Count() == 1) {
    // One literal: the other way of it; more: their other ways span all.
    int literals = 0;
    size_t bit = 0;
    for (size_t w = 0; w < s.IW; ++w)
      for (uint64_t lo = ~f[0][w] & s.Used[w]; lo; lo &= lo - 1) {
        ++literals;
        bit = w * 64 + static_cast<size_t>(std::countr_zero(lo));
      }
    if (literals == 1) ClearBit(full.data(), bit ^ 1u);
    return full;
  }
  bool binate = false;
  const int k = SplitInput(col, s.Inputs, binate);
  auto one = ComplementHull(CofactorInput(f, k, 1), s);
  auto zero = ComplementHull(CofactorInput(f, k, 0), s);
  if (one) ClearBit(one->data(), 2 * static_cast<size_t>(k));
  if (zero) ClearBit(zero->data(), 2 * static_cast<size_t>(k) + 1);
  if (!one) return zero;
  if (zero)
    for (size_t w = 0; w < s.IW; ++w) (*one)[w] |= (*zero)[w];
  return one;
}

}  // namespace tavro::heuristic
