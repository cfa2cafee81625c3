// The chart's column classes for a system given by cubes, at any width: the
// cubes are held in the run's cube type (core/Bits.h). Each function's care
// terms are split on one input at a time, carrying the function's cubes, its
// don't-care cubes and the primes that cover part of the current cube; a
// part that no prime covers only in part, and that is all care terms, stands
// for 2^(free inputs) pairs whose rows are the primes holding it. Parts with
// the same rows are one class. The classes are the same as those the term
// chart finds (Chart.cpp), in the same order: by their first pair, function
// first, then term.

#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>

#include "engine/chart/Chart.h"
#include "engine/core/CubeSets.h"
#include "engine/core/Split.h"
#include "model/Errors.h"

namespace tavro::detail {

namespace {

struct WideKey {
  uint64_t A, B;
  bool operator==(const WideKey& o) const { return A == o.A && B == o.B; }
};
struct WideKeyHash {
  size_t operator()(const WideKey& k) const { return static_cast<size_t>(k.A ^ (k.B * 0x9e3779b97f4a7c15ULL)); }
};

// The classes found: class c has the rows Rows[Start[c], Start[c + 1])
// ascending, stands for Weight[c] pairs, and its first pair is term
// First[c] of function Function[c].
template <class B>
struct WideClassList {
  std::vector<uint32_t> Rows;
  std::vector<size_t> Start{0};
  std::vector<TTermCount> Weight;
  std::vector<int> Function;
  std::vector<B> First;
  size_t Size() const { return Weight.size(); }
};

template <class B>
class WideClasses {
 public:
  // prune: keep only classes that no smaller class found in the same cube
  // lies within (see SplitFull).
  WideClasses(const TCover& primes, MemoryMeter& meter, bool prune) : FPrimes(primes), FMeter(meter), FPrune(prune) {
    for (size_t r = 0; r < primes.Count(); ++r) {
      const B m = primes.MaskAs<B>(r);
      FCubes.push_back({primes.ValueAs<B>(r) & ~m, m});
      FWordA.push_back(Mix64((r + 1) * 0x9e3779b97f4a7c15ULL));
      FWordB.push_back(Mix64((r + 1) * 0xc2b2ae3d27d4eb4fULL + 0x165667b19e3779f9ULL));
    }
  }

  void AddFunction(const TCubeSystem& cubes, int f) {
    FFunction = f;
    FOn = TaggedCubes<B>(cubes.Cubes, f);
    FDc = TaggedCubes<B>(cubes.DontCares, f);
    FScratch.clear();
    for (size_t r = 0; r < FPrimes.Count(); ++r)
      if (FPrimes.Tag(r, f)) FScratch.push_back(static_cast<uint32_t>(r));
    if (!FPrune) {
      Split(B{}, bits::Low<B>(FPrimes.Width), 0, FOn.size(), 0, FDc.size(), 0, FScratch.size(), 0);
      return;
    }
    // Pruned, the function's cubes are taken one at a time (a term in
    // several of them is seen again, which changes no class kept): the
    // space between them is never split.
    const size_t on = FOn.size(), dc = FDc.size(), primes = FScratch.size();
    const auto meets = [](const TCubeOf<B>& a, const TCubeOf<B>& b) {
      return !bits::Any((a.Value ^ b.Value) & ~(a.Mask | b.Mask));
    };
    for (size_t k = 0; k < on; ++k) {
      CheckExactDeadline();
      const TCubeOf<B> c = FOn[k];
      // A part that lies in an earlier cube was seen with it.
      FEarlier.clear();
      for (size_t j = 0; j < k; ++j)
        if (meets(c, FOn[j])) FEarlier.push_back(FOn[j]);
      FOn.push_back(c);
      for (size_t d = 0; d < dc; ++d)
        if (meets(c, FDc[d])) FDc.push_back(FDc[d]);
      for (size_t i = 0; i < primes; ++i)
        if (meets(c, FCubes[FScratch[i]])) FScratch.push_back(FScratch[i]);
      Split(c.Value, c.Mask, on, FOn.size(), dc, FDc.size(), primes, FScratch.size(), 0);
      FOn.resize(on);
      FDc.resize(dc);
      FScratch.resize(primes);
    }
  }

  WideClassList<B> Classes;
  TTermCount Cells = 0;

 private:
  static constexpr int kBits = static_cast<int>(sizeof(B) * 8);
  static constexpr size_t kDirectPartial = 4;

  std::vector<int>& Counts(int depth) {
    if (FCounts.size() <= static_cast<size_t>(depth)) FCounts.resize(static_cast<size_t>(depth) + 1);
    auto& counts = FCounts[static_cast<size_t>(depth)];
    counts.assign(kBits, 0);
    return counts;
  }

  // Of the primes FScratch[p0, p1), which meet the cube with free inputs
  // `free` (or where a split input is given, those that meet its half
  // `half`): those that hold it all join FFull, those that hold part of it
  // go on FScratch, counted per input they fix where counts are given.
  void Sort(const B& free, size_t p0, size_t p1, std::vector<int>* counts, const B* split = nullptr,
            const B& half = B{}) {
    // Room made first, so that the hottest loop of the chart stores
    // without growing the lists.
    const size_t q0 = FScratch.size(), full0 = FFull.size();
    FScratch.resize(q0 + (p1 - p0));
    FFull.resize(full0 + (p1 - p0));
    uint32_t *partial = FScratch.data() + q0, *full = FFull.data() + full0;
    for (size_t i = p0; i < p1; ++i) {
      const uint32_t p = FScratch[i];
      if (split && !MeetsHalf(FCubes[p].Value, FCubes[p].Mask, *split, half)) continue;
      const B fixed = free & ~FCubes[p].Mask;
      if (!bits::Any(fixed)) {
        *full++ = p;
      } else {
        *partial++ = p;
        if (counts) CountInputs(fixed, *counts);
      }
    }
    FScratch.resize(static_cast<size_t>(partial - FScratch.data()));
    FFull.resize(static_cast<size_t>(full - FFull.data()));
  }

  // The cube (value, free): FOn[o0, o1) and FDc[d0, d1) are the function's
  // cubes and don't-care cubes that meet it, FScratch[p0, p1) the primes.
  void Split(const B& value, const B& free, size_t o0, size_t o1, size_t d0, size_t d1, size_t p0, size_t p1,
             int depth) {
    if (o0 == o1) return;
    for (size_t d = d0; d < d1; ++d)
      if (!bits::Any(free & ~FDc[d].Mask)) return;
    bool allListed = false;
    for (size_t o = o0; o < o1 && !allListed; ++o) allListed = !bits::Any(free & ~FOn[o].Mask);
    if (allListed && d0 == d1) {
      SplitFull(value, free, p0, p1, depth);
      return;
    }
    std::vector<int>& counts = Counts(depth);
    const size_t q0 = FScratch.size(), full0 = FFull.size();
    Sort(free, p0, p1, &counts);
    const size_t q1 = FScratch.size();
    if (Dominated()) {
      FScratch.resize(q0);
      FFull.resize(full0);
      return;
    }
    if (q0 == q1 && d0 == d1 && FPrune) {
      // Every care term of the cube has the rows FFull: one class, whose
      // smallest term is the smallest that a cube of the function holds.
      B first = FOn[o0].Value | value;
      for (size_t o = o0 + 1; o < o1; ++o) first = std::min(first, FOn[o].Value | value);
      AddClass(first, std::ldexp(TTermCount{1}, bits::Count(free)));
      FScratch.resize(q0);
      FFull.resize(full0);
      return;
    }
    if (q0 == q1) {
      for (size_t o = allListed ? o1 : o0; o < o1; ++o) CountInputs(free & ~FOn[o].Mask, counts);
      for (size_t d = d0; d < d1; ++d) CountInputs(free & ~FDc[d].Mask, counts);
    }
    const B bit = bits::One<B>(MostFixed(counts.data(), kBits));
    for (const B& half : {B{}, bit}) {
      const size_t on0 = PushHalf(FOn, o0, o1, bit, half);
      const size_t dc0 = PushHalf(FDc, d0, d1, bit, half);
      const size_t l0 = PushHalf(FScratch, q0, q1, bit, half, [&](uint32_t p) { return FCubes[p]; });
      Split(value | half, free & ~bit, on0, FOn.size(), dc0, FDc.size(), l0, FScratch.size(), depth + 1);
      FOn.resize(on0);
      FDc.resize(dc0);
      FScratch.resize(l0);
    }
    FScratch.resize(q0);
    FFull.resize(full0);
  }

  // The cube (value, free) holds only care terms; FScratch[p0, p1) are the
  // primes that meet it and do not hold the cube it was split from.
  void SplitFull(const B& value, const B& free, size_t p0, size_t p1, int depth) {
    if (SeenEarlier(value, free)) return;
    const size_t q0 = FScratch.size(), full0 = FFull.size();
    Sort(free, p0, p1, nullptr);
    SplitSorted(value, free, q0, FScratch.size(), full0, depth, false);
    FScratch.resize(q0);
    FFull.resize(full0);
  }

  // Pruned, whether the part lies in an earlier cube of the function, with
  // which it was seen.
  bool SeenEarlier(const B& value, const B& free) const {
    for (const auto& e : FEarlier)
      if (!bits::Any((free | (value ^ e.Value)) & ~e.Mask)) return true;
    return false;
  }

  // The same, sorted: FScratch[q0, q1) hold part of the cube, FFull all of
  // it (FFull[full0, end) not all of the cube it was split from). covered:
  // the primes that held part of that cube cover it all (so where none of
  // them holds all of it, no term of it lies outside those that hold part
  // of it).
  void SplitSorted(const B& value, const B& free, size_t q0, size_t q1, size_t full0, int depth, bool covered) {
    if (Dominated()) return;
    std::optional<B> outside;
    if (FPrune && q0 != q1) {
      // A term of the cube that none of the primes holding part of it
      // holds has the rows FFull alone; every other class of the cube has
      // them and more, so a cover of that class covers them all. Those are
      // left out (the weight of the one kept stands for the cube).
      if (!covered || FFull.size() != full0) {
        FPartial.clear();
        for (size_t i = q0; i < q1; ++i) FPartial.push_back(FCubes[FScratch[i]]);
        outside = FirstUncovered<B>(value, free, FPartial);
      }
    }
    if (q0 == q1 || outside) {
      AddClass(outside ? *outside : value, std::ldexp(TTermCount{1}, bits::Count(free)));
      return;
    }
    if (q1 - q0 <= kDirectPartial) {
      SplitDirect(value, free, q0, q1);
      return;
    }
    // Counted only here: most parts end before they split.
    B bit;
    if constexpr (std::is_same_v<B, uint64_t>) {
      TWordInputCounter counts;
      for (size_t i = q0; i < q1; ++i) counts.Add(free & ~FCubes[FScratch[i]].Mask);
      bit = bits::One<B>(counts.Most());
    } else {
      std::vector<int>& counts = Counts(depth);
      for (size_t i = q0; i < q1; ++i) CountInputs(free & ~FCubes[FScratch[i]].Mask, counts);
      bit = bits::One<B>(MostFixed(counts.data(), kBits));
    }
    const B rest = free & ~bit;
    for (const B& half : {B{}, bit}) {
      if (SeenEarlier(value | half, rest)) continue;
      // The primes meeting the half, sorted as they are picked.
      const size_t l0 = FScratch.size(), f0 = FFull.size();
      Sort(rest, q0, q1, nullptr, &bit, half);
      SplitSorted(value | half, rest, l0, FScratch.size(), f0, depth + 1, FPrune);
      FScratch.resize(l0);
      FFull.resize(f0);
    }
  }

  // The cube (value, free) holds only care terms, and the few primes
  // FScratch[q0, q1) hold part of it: each set S of them cuts out the terms
  // in just the primes of S, counted by inclusion and exclusion over the
  // primes' intersections with the cube, its smallest term found by
  // SmallestOutside (which also tells whether there is one: past 64 inputs
  // the counts are approximate).
  void SplitDirect(const B& value, const B& free, size_t q0, size_t q1) {
    const unsigned q = static_cast<unsigned>(q1 - q0), subsets = 1u << q;
    B fixed[kDirectPartial], val[kDirectPartial];
    for (unsigned i = 0; i < q; ++i) {
      const uint32_t p = FScratch[q0 + i];
      fixed[i] = free & ~FCubes[p].Mask;
      val[i] = FCubes[p].Value & fixed[i];
    }
    B tfixed[1u << kDirectPartial], tval[1u << kDirectPartial];
    bool meets[1u << kDirectPartial];
    TTermCount part[1u << kDirectPartial];
    for (unsigned t = 0; t < subsets; ++t) {
      B fx{}, vl{};
      bool meet = true;
      for (unsigned i = 0; i < q; ++i)
        if (t >> i & 1u) {
          meet = meet && !bits::Any((vl ^ val[i]) & fx & fixed[i]);
          fx |= fixed[i];
          vl |= val[i];
        }
      tfixed[t] = fx;
      tval[t] = vl;
      meets[t] = meet;
      part[t] = meet ? std::ldexp(TTermCount{1}, bits::Count(free & ~fx)) : 0;
    }
    for (unsigned i = 0; i < q; ++i)
      for (unsigned t = 0; t < subsets; ++t)
        if (!(t >> i & 1u)) part[t] -= part[t | 1u << i];
    for (unsigned t = 0; t < subsets; ++t) {
      if (!meets[t]) continue;
      B ofixed[kDirectPartial], oval[kDirectPartial];
      unsigned others = 0;
      for (unsigned j = 0; j < q; ++j) {
        if ((t >> j & 1u) || bits::Any((val[j] ^ tval[t]) & fixed[j] & tfixed[t])) continue;
        ofixed[others] = fixed[j] & ~tfixed[t];
        oval[others++] = val[j] & ~tfixed[t];
      }
      const std::optional<B> first = SmallestOutside(value | tval[t], others, ofixed, oval);
      if (!first) continue;
      const size_t before = FFull.size();
      for (unsigned i = 0; i < q; ++i)
        if (t >> i & 1u) FFull.push_back(FScratch[q0 + i]);
      AddClass(*first, std::max(part[t], TTermCount{1}));
      FFull.resize(before);
    }
  }

  // The smallest term of a cube whose fixed inputs are `value` (its free
  // inputs those the cubes (fixed[i], val[i]) fix, and more) that lies in
  // none of those n cubes, or none.
  static std::optional<B> SmallestOutside(const B& value, unsigned n, const B* fixed, const B* val) {
    B all{};
    for (unsigned i = 0; i < n; ++i) {
      if (!bits::Any(fixed[i])) return std::nullopt;  // the cube lies in it
      all |= fixed[i];
    }
    if (n == 0) return value;
    const B bit = bits::One<B>(bits::Highest(all));
    for (const B& half : {B{}, bit}) {
      B sfixed[kDirectPartial], sval[kDirectPartial];
      unsigned m = 0;
      for (unsigned i = 0; i < n; ++i) {
        if (!MeetsHalf(val[i], ~fixed[i], bit, half)) continue;
        sfixed[m] = fixed[i] & ~bit;
        sval[m++] = val[i] & ~bit;
      }
      if (const auto t = SmallestOutside(value | half, m, sfixed, sval)) return t;
    }
    return std::nullopt;
  }

  // Pruned, whether every class of the current part is one already found
  // and more: the rows holding all of the part include the rows of a small
  // class found before (filed under its first row).
  bool Dominated() {
    if (!FPrune || FFull.empty()) return false;
    bool found = false;
    for (const uint32_t p : FFull) FIn[p] = 1;
    for (size_t i = 0; i < FFull.size() && !found; ++i)
      for (const uint32_t c : FSmall[FFull[i]]) {
        bool all = true;
        for (size_t k = Classes.Start[c]; k < Classes.Start[c + 1] && all; ++k) all = FIn[Classes.Rows[k]];
        if ((found = all)) break;
      }
    for (const uint32_t p : FFull) FIn[p] = 0;
    return found;
  }

  // weight care terms, the smallest `first`, whose rows are FFull.
  void AddClass(const B& first, TTermCount weight) {
    WideKey key{0, 0};
    for (const uint32_t p : FFull) {
      key.A += FWordA[p];
      key.B += FWordB[p];
    }
    Cells += weight * static_cast<TTermCount>(FFull.size());
    auto& list = Classes;
    const auto [it, added] = FIndex.emplace(key, list.Size());
    if (!added) {
      const size_t c = it->second;
      list.Weight[c] += weight;
      if (list.Function[c] == FFunction && first < list.First[c]) list.First[c] = first;
      return;
    }
    const size_t at = list.Rows.size();
    list.Rows.insert(list.Rows.end(), FFull.begin(), FFull.end());
    std::sort(list.Rows.begin() + static_cast<std::ptrdiff_t>(at), list.Rows.end());
    list.Start.push_back(list.Rows.size());
    if (FPrune && !FFull.empty() && FFull.size() <= kSmallClass)
      FSmall[list.Rows[at]].push_back(static_cast<uint32_t>(list.Size()));
    list.Weight.push_back(weight);
    list.Function.push_back(FFunction);
    list.First.push_back(first);
    if ((list.Size() & 4095) == 0) {
      CheckStop();
      CheckExactDeadline();
      // The stores at their capacity (growing, the old one is held too),
      // and the index's nodes and buckets.
      FMeter.Set(list.Rows.capacity() * 4 * 3 / 2 +
                 list.Size() * (sizeof(B) + sizeof(TTermCount) + sizeof(int) + sizeof(size_t)) * 3 / 2 +
                 FIndex.size() * 48 + FIndex.bucket_count() * 8 + FCubes.size() * 2 * sizeof(B));
    }
  }

  const TCover& FPrimes;
  MemoryMeter& FMeter;
  const bool FPrune;
  std::vector<TCubeOf<B>> FPartial, FEarlier;
  // The classes of up to kSmallClass rows by their first row, and a mark
  // per row for Dominated.
  static constexpr size_t kSmallClass = 8;
  std::vector<std::vector<uint32_t>> FSmall = std::vector<std::vector<uint32_t>>(FPrimes.Count());
  std::vector<uint8_t> FIn = std::vector<uint8_t>(FPrimes.Count(), 0);
  std::vector<TCubeOf<B>> FCubes;  // the primes
  std::vector<uint64_t> FWordA, FWordB;
  int FFunction = 0;
  std::vector<TCubeOf<B>> FOn, FDc;
  std::vector<uint32_t> FScratch, FFull;
  std::vector<std::vector<int>> FCounts;
  std::unordered_map<WideKey, size_t, WideKeyHash> FIndex;
};

}  // namespace

void Chart::BuildWide(const TCover& primes, MemoryMeter& meter, const TCubeSystem& cubes, bool wide) {
  Rows = static_cast<int32_t>(primes.Count());
  WithCubeBits(
      primes.Width,
      [&](auto b) {
        using B = decltype(b);
        // Past the term-number world the chart keeps only the classes that
        // matter to a cover (its classes there can be too many to list).
        WideClasses<B> found(primes, meter, primes.Width > kMaxTermInputs);
        for (int f = 0; f < primes.FunctionCount; ++f) found.AddFunction(cubes, f);
        const auto& classes = found.Classes;
        // A class found again keeps the function it was first found in, so
        // the order is the function, then the first term.
        std::vector<uint32_t> order(classes.Size());
        for (size_t c = 0; c < order.size(); ++c) order[c] = static_cast<uint32_t>(c);
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
          if (classes.Function[a] != classes.Function[b]) return classes.Function[a] < classes.Function[b];
          return classes.First[a] < classes.First[b];
        });
        // Weights are whole pairs while their sum fits 62 bits; past that
        // they are scaled down alike (each at least 1), which keeps their
        // proportions for the selection.
        TTermCount total = 0;
        for (const TTermCount w : classes.Weight) total += w;
        const int shift = total < std::ldexp(TTermCount{1}, 62) ? 0 : std::ilogb(total) - 61;
        Columns = static_cast<int32_t>(classes.Size());
        ColStart.assign(classes.Size() + 1, 0);
        ColWeight.resize(classes.Size());
        size_t cells = 0;
        for (size_t k = 0; k < order.size(); ++k) {
          const uint32_t c = order[k];
          cells += classes.Start[c + 1] - classes.Start[c];
          ColStart[k + 1] = cells;
          ColWeight[k] = std::max<int64_t>(1, static_cast<int64_t>(std::ldexp(classes.Weight[c], -shift)));
        }
        meter.Set(cells * 12 + static_cast<uint64_t>(Rows) * 40 + static_cast<uint64_t>(Columns) * 40);
        ColRows.resize(cells);
        for (size_t k = 0; k < order.size(); ++k) {
          const uint32_t c = order[k];
          std::copy(classes.Rows.begin() + static_cast<std::ptrdiff_t>(classes.Start[c]),
                    classes.Rows.begin() + static_cast<std::ptrdiff_t>(classes.Start[c + 1]),
                    ColRows.begin() + static_cast<std::ptrdiff_t>(ColStart[k]));
        }
        Pairs = CountFigure(total);
        Cells = CountFigure(found.Cells);
      },
      wide);
  ListRowsOfColumns(1);
}

}  // namespace tavro::detail
