#include "engine/chart/Chart.h"

#include "engine/core/CubeSets.h"
#include "engine/core/Split.h"
#include "engine/core/Threads.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <unordered_map>

namespace tavro::detail {

namespace {

// Systems of this many care terms or more reserve their chart's row stores.
constexpr int64_t kReservedPairs = int64_t{1} << 20;
// The chart's classes are found on several threads from this many care
// terms on, by at most this many threads.
constexpr double kThreadedPairs = 1 << 17;
constexpr unsigned kMaxThreads = 4;
// Sets are merged, classes sorted and row lists made on several threads from
// this many sets, columns and cells on.
constexpr double kThreadedSets = 1 << 16;
constexpr double kThreadedColumns = 1 << 16;
constexpr double kThreadedCells = 1 << 22;

// Sorts n first pairs of one function (with their classes) by their terms,
// which are below 2^width: large runs digit by digit.
void SortByTerm(std::pair<uint64_t, uint32_t>* a, size_t n, int width,
                std::vector<std::pair<uint64_t, uint32_t>>& scratch) {
  constexpr int kDigit = 11;
  if (n < 1024) {
    std::sort(a, a + n);
    return;
  }
  scratch.resize(n);
  std::pair<uint64_t, uint32_t>*from = a, *to = scratch.data();
  for (int shift = 0; shift < width; shift += kDigit) {
    size_t count[(1u << kDigit) + 1] = {};
    const auto digit = [&](const std::pair<uint64_t, uint32_t>& x) {
      return static_cast<size_t>((x.first >> shift) & ((1u << kDigit) - 1));
    };
    for (size_t i = 0; i < n; ++i) ++count[digit(from[i]) + 1];
    for (size_t d = 0; d < (1u << kDigit); ++d) count[d + 1] += count[d];
    for (size_t i = 0; i < n; ++i) to[count[digit(from[i])]++] = from[i];
    std::swap(from, to);
  }
  if (from != a) std::copy(from, from + n, a);
}

// A set of rows, told apart from other sets by two independent sums of
// per-row random words.
struct SetKey {
  uint64_t A, B;
  bool operator==(const SetKey& o) const { return A == o.A && B == o.B; }
};

// The classes' working memory for `sets` sets of `rows` rows in all: their
// rows are stored twice (by column and by row), and their keys looked up
// once. Once a twentieth of `pairs` is `done`, what is left is taken to bring
// classes at the same rate, so a chart far too large is refused early.
uint64_t ClassBytes(uint64_t rows, uint64_t sets, int64_t done, int64_t pairs) {
  const uint64_t table = std::max<uint64_t>(64, std::bit_ceil(uint64_t{2} * sets)) * 24;
  const uint64_t bytes = rows * 8 + sets * 72 + table;
  if (done <= 0 || done * 20 < pairs) return bytes;
  return static_cast<uint64_t>(static_cast<double>(bytes) * static_cast<double>(pairs) / static_cast<double>(done));
}

// Finds the column classes of one function at a time: splits the function's
// care terms on one input at a time, top input first (so every part is a
// range of terms), carrying the primes that cover part of the range. A prime
// that covers the whole range joins the set of the range's rows; a range that
// no prime covers only in part is one class. Sets are told apart by two
// independent sums of per-row random words.
class ColumnClasses {
 public:
  // wordA, wordB: each row's random words; totalPairs: the system's care
  // terms.
  ColumnClasses(const TCover& primes, const std::vector<uint64_t>& wordA, const std::vector<uint64_t>& wordB,
                MemoryMeter& meter, uint64_t baseBytes, int64_t totalPairs)
      : FPrimes(primes), FMeter(meter), FBaseBytes(baseBytes), FTotalPairs(totalPairs), FWordA(wordA), FWordB(wordB) {
    Start.push_back(0);
  }

  // The meter stops the run before the row store passes an eighth of its
  // limit, so that much is reserved: its pages are touched only as it fills,
  // and it is never copied to grow. Where the address space is short, it
  // grows as usual.
  void ReserveRows() {
    try {
      Rows.reserve(FMeter.Limit() / 8);
    } catch (const std::bad_alloc&) {
    }
  }

  // Stores the sets of the care terms of function f (reorders care).
  void AddFunction(std::vector<uint32_t>& care, int f) {
    if (care.empty()) return;
    FCare = care.data();
    Begin(f, static_cast<int64_t>(care.size()));
    FScratch.clear();
    for (size_t r = 0; r < FPrimes.Count(); ++r)
      if (FPrimes.Tag(r, f)) FScratch.push_back(static_cast<uint32_t>(r));
    const uint32_t all = FPrimes.Width >= 32 ? ~uint32_t{0} : (uint32_t{1} << FPrimes.Width) - 1;
    Split(0, care.size(), all, 0, FScratch.size());
  }

  // As AddFunction, for function f's `pairs` care terms given as cubes: the
  // terms of the cubes `listed` less those of the cubes `dontCares`.
  void AddFunctionCubes(const std::vector<TCubeRef>& listed, const std::vector<TCubeRef>& dontCares, int f,
                        int64_t pairs) {
    Begin(f, pairs);
    FScratch.clear();
    for (size_t r = 0; r < FPrimes.Count(); ++r)
      if (FPrimes.Tag(r, f)) FScratch.push_back(static_cast<uint32_t>(r));
    FOn.assign(listed.begin(), listed.end());
    FDc.assign(dontCares.begin(), dontCares.end());
    const uint32_t all = FPrimes.Width >= 32 ? ~uint32_t{0} : (uint32_t{1} << FPrimes.Width) - 1;
    SplitCubes(0, all, 0, FOn.size(), 0, FDc.size(), 0, FScratch.size());
  }

  // The sets found, in the order found: set i has the rows
  // Rows[Start[i] .. Start[i + 1]) ascending, stands for Weight[i] care
  // terms, the smallest of them First[i] (with the function above it), and
  // has the key Keys[i]. A set found again is stored again.
  TCells Rows;
  std::vector<size_t> Start;
  std::vector<int64_t> Weight;
  std::vector<uint64_t> First;
  std::vector<SetKey> Keys;
  int64_t Cells = 0;  // cells of the sets stored

 private:
  using Key = SetKey;

  void Begin(int f, int64_t pairs) {
    FFunction = f;
    FPairs = pairs;
    FDone = 0;
    FSets0 = Weight.size();
    FRows0 = Rows.size();
  }

  // Of the primes FScratch[p0, p1), which meet the cube with free inputs
  // `free`: those that cover it all join FFull (and the set's key), those
  // that cover it in part go on FScratch, counted per input they fix.
  // Returns how many joined FFull.
  size_t Sort(uint32_t free, size_t p0, size_t p1, int* fixedCount) {
    size_t pushed = 0;
    for (size_t i = p0; i < p1; ++i) {
      const uint32_t p = FScratch[i];
      const uint32_t fixed = free & ~FPrimes.Mask(p);
      if (fixed == 0) {
        FFull.push_back(p);
        FHash.A += FWordA[p];
        FHash.B += FWordB[p];
        ++pushed;
      } else {
        FScratch.push_back(p);
        CountInputs(fixed, fixedCount);
      }
    }
    return pushed;
  }
  // Prime p as a cube, for splitting lists of primes.
  auto PrimeCube() const {
    return [this](uint32_t p) { return TCubeRef{FPrimes.Value(p), FPrimes.Mask(p)}; };
  }

  // Takes the last `pushed` primes off FFull again.
  void Unsort(size_t pushed) {
    for (size_t k = 0; k < pushed; ++k) {
      const uint32_t p = FFull.back();
      FFull.pop_back();
      FHash.A -= FWordA[p];
      FHash.B -= FWordB[p];
    }
  }

  // Care terms FCare[c0, c1) lie in the cube whose free inputs are `free`;
  // FScratch[p0, p1) are the primes that meet the cube. Splits on the input
  // that the most of those primes fix.
  void Split(size_t c0, size_t c1, uint32_t free, size_t p0, size_t p1) {
    if (c0 == c1) return;
    // Every term of the cube is a care term: its classes follow from the
    // primes alone.
    const int freeCount = std::popcount(free);
    if (freeCount >= kFullCubeInputs && c1 - c0 == size_t{1} << freeCount) {
      SplitFull(FCare[c0] & ~free, free, p0, p1);
      return;
    }
    const size_t q0 = FScratch.size();
    int fixedCount[32] = {};
    const size_t pushed = Sort(free, p0, p1, fixedCount);
    const size_t q1 = FScratch.size();
    if (q0 == q1) Leaf(FHash, c0, c1);
    else if (q1 - q0 <= kFewPartial) SortByPrimes(c0, c1, q0, q1);
    else if (c1 - c0 <= 2) EachTerm(c0, c1, q0, q1);
    else if (c1 - c0 >= kWideSplitTerms) SplitWide(c0, c1, free, q0, q1, fixedCount);
    else SplitOnInput(c0, c1, free, q0, q1, fixedCount);
    FScratch.resize(q0);
    Unsort(pushed);
  }

  // Few primes, FScratch[q0, q1), cover the cube of the care terms
  // FCare[c0, c1) in part: sorts its terms by which of them they lie in.
  void SortByPrimes(size_t c0, size_t c1, size_t q0, size_t q1) {
    const size_t q = q1 - q0;
    // This level's own tables: the recursion does not come back here
    // before they are read.
    if (FCount.size() < (size_t{1} << q)) {
      FCount.resize(size_t{1} << q, 0);
      FFirst.resize(size_t{1} << q, 0);
    }
    int64_t* count = FCount.data();
    uint32_t* first = FFirst.data();
    uint32_t masks[kFewPartial], values[kFewPartial];
    for (size_t i = 0; i < q; ++i) {
      masks[i] = ~FPrimes.Mask(FScratch[q0 + i]);
      values[i] = FPrimes.Value(FScratch[q0 + i]);
    }
    FTouched.clear();
    for (size_t c = c0; c < c1; ++c) {
      const uint32_t t = FCare[c];
      unsigned in = 0;
      for (size_t i = 0; i < q; ++i) in |= static_cast<unsigned>((t & masks[i]) == values[i]) << i;
      if (count[in]++ == 0) {
        first[in] = t;
        FTouched.push_back(in);
      } else if (t < first[in]) {
        first[in] = t;
      }
    }
    std::sort(FTouched.begin(), FTouched.end());
    for (const unsigned in : FTouched) {
      Key h = FHash;
      const size_t before = FFull.size();
      for (size_t i = 0; i < q; ++i)
        if (in & (1u << i)) {
          const uint32_t p = FScratch[q0 + i];
          FFull.push_back(p);
          h.A += FWordA[p];
          h.B += FWordB[p];
        }
      AddToClass(h, count[in], first[in]);
      count[in] = 0;
      FFull.resize(before);
    }
  }

  // Few care terms, FCare[c0, c1): each one directly, with the primes of
  // FScratch[q0, q1) that hold it.
  void EachTerm(size_t c0, size_t c1, size_t q0, size_t q1) {
    for (size_t c = c0; c < c1; ++c) {
      const uint32_t t = FCare[c];
      Key h = FHash;
      const size_t before = FFull.size();
      for (size_t i = q0; i < q1; ++i) {
        const uint32_t p = FScratch[i];
        if ((t & ~FPrimes.Mask(p)) == FPrimes.Value(p)) {
          FFull.push_back(p);
          h.A += FWordA[p];
          h.B += FWordB[p];
        }
      }
      Leaf(h, c, c + 1);
      FFull.resize(before);
    }
  }

  // Splits the care terms FCare[c0, c1) and the primes FScratch[q0, q1) on
  // the input that the most of the primes fix.
  void SplitOnInput(size_t c0, size_t c1, uint32_t free, size_t q0, size_t q1, const int* fixedCount) {
    const uint32_t bit = uint32_t{1} << MostFixed(fixedCount);
    uint32_t* care = FCare;
    const size_t cm =
        static_cast<size_t>(std::partition(care + c0, care + c1, [&](uint32_t t) { return (t & bit) == 0; }) - care);
    const size_t l0 = PushHalf(FScratch, q0, q1, bit, 0, PrimeCube());
    Split(c0, cm, free & ~bit, l0, FScratch.size());
    FScratch.resize(l0);
    PushHalf(FScratch, q0, q1, bit, bit, PrimeCube());
    Split(cm, c1, free & ~bit, l0, FScratch.size());
  }

  // The cube (value, free) holds only care terms; FScratch[p0, p1) are the
  // primes that meet it. As Split, without the terms: a part that no prime
  // covers only in part is one class, its smallest term the cube's value.
  static constexpr int kFullCubeInputs = 4;
  void SplitFull(uint32_t value, uint32_t free, size_t p0, size_t p1) {
    const size_t q0 = FScratch.size();
    int fixedCount[32] = {};
    const size_t pushed = Sort(free, p0, p1, fixedCount);
    const size_t q1 = FScratch.size();
    if (q0 == q1) {
      AddToClass(FHash, int64_t{1} << std::popcount(free), value);
    } else if (q1 - q0 <= kDirectPartial) {
      SplitDirect(value, free, q0, q1);
    } else {
      const int best = MostFixed(fixedCount);
      const uint32_t bit = uint32_t{1} << best;
      // The hottest split of the chart: PushHalf (core/Split.h) measured slower here, so the halves are written out.
      const size_t l0 = FScratch.size();
      for (size_t i = q0; i < q1; ++i)
        if ((FPrimes.Value(FScratch[i]) & bit) == 0) FScratch.push_back(FScratch[i]);
      SplitFull(value, free & ~bit, l0, FScratch.size());
      FScratch.resize(l0);
      for (size_t i = q0; i < q1; ++i)
        if (((FPrimes.Value(FScratch[i]) | FPrimes.Mask(FScratch[i])) & bit) != 0) FScratch.push_back(FScratch[i]);
      SplitFull(value | bit, free & ~bit, l0, FScratch.size());
    }
    FScratch.resize(q0);
    Unsort(pushed);
  }

  // The cube (value, free) holds only care terms, and the few primes
  // FScratch[q0, q1) cover it in part: each set S of them cuts out one part,
  // the terms in just the primes of S. Its size comes from the sizes of the
  // primes' intersections with the cube (by inclusion and exclusion), its
  // smallest term from SmallestOutside.
  static constexpr size_t kDirectPartial = 4;
  void SplitDirect(uint32_t value, uint32_t free, size_t q0, size_t q1) {
    const unsigned q = static_cast<unsigned>(q1 - q0), subsets = 1u << q;
    uint32_t fixed[kDirectPartial], val[kDirectPartial];
    for (unsigned i = 0; i < q; ++i) {
      const uint32_t p = FScratch[q0 + i];
      fixed[i] = free & ~FPrimes.Mask(p);
      val[i] = FPrimes.Value(p) & fixed[i];
    }
    // The cube's intersection with the primes of each set T: the inputs they
    // fix, their values, its size (0 where they disagree).
    uint32_t tfixed[1u << kDirectPartial], tval[1u << kDirectPartial];
    int64_t part[1u << kDirectPartial];
    for (unsigned t = 0; t < subsets; ++t) {
      uint32_t fx = 0, vl = 0;
      bool meet = true;
      for (unsigned i = 0; i < q; ++i)
        if (t >> i & 1u) {
          meet = meet && ((vl ^ val[i]) & fx & fixed[i]) == 0;
          fx |= fixed[i];
          vl |= val[i];
        }
      tfixed[t] = fx;
      tval[t] = vl;
      part[t] = meet ? int64_t{1} << std::popcount(free & ~fx) : 0;
    }
    // In the primes of S and no other: over the sets holding S, by sign.
    for (unsigned i = 0; i < q; ++i)
      for (unsigned t = 0; t < subsets; ++t)
        if (!(t >> i & 1u)) part[t] -= part[t | 1u << i];
    for (unsigned t = 0; t < subsets; ++t) {
      if (part[t] == 0) continue;
      // The other primes, within the cube of T's intersection.
      uint32_t ofixed[kDirectPartial], oval[kDirectPartial];
      unsigned others = 0;
      for (unsigned j = 0; j < q; ++j) {
        if ((t >> j & 1u) || ((val[j] ^ tval[t]) & fixed[j] & tfixed[t]) != 0) continue;
        ofixed[others] = fixed[j] & ~tfixed[t];
        oval[others++] = val[j] & ~tfixed[t];
      }
      const int64_t first = SmallestOutside(value | tval[t], others, ofixed, oval);
      if (first < 0) throw InternalError("a part of a cube has terms but no smallest term");
      Key h = FHash;
      const size_t before = FFull.size();
      for (unsigned i = 0; i < q; ++i)
        if (t >> i & 1u) {
          const uint32_t p = FScratch[q0 + i];
          FFull.push_back(p);
          h.A += FWordA[p];
          h.B += FWordB[p];
        }
      AddToClass(h, part[t], static_cast<uint32_t>(first));
      FFull.resize(before);
    }
  }

  // The smallest term of a cube whose fixed inputs are `value` (its free
  // inputs those the cubes (fixed[i], val[i]) fix, and more) that lies in
  // none of those n cubes, or -1. Free inputs that no cube fixes are 0 in
  // it; the others are decided from the highest down, 0 first.
  static int64_t SmallestOutside(uint32_t value, unsigned n, const uint32_t* fixed, const uint32_t* val) {
    uint32_t bits = 0;
    for (unsigned i = 0; i < n; ++i) {
      if (fixed[i] == 0) return -1;  // the cube lies in it
      bits |= fixed[i];
    }
    if (n == 0) return value;
    const uint32_t bit = std::bit_floor(bits);
    for (const uint32_t half : {uint32_t{0}, bit}) {
      uint32_t sfixed[kDirectPartial], sval[kDirectPartial];
      unsigned m = 0;
      for (unsigned i = 0; i < n; ++i) {
        if (!MeetsHalf(val[i], ~fixed[i], bit, half)) continue;  // not in this half
        sfixed[m] = fixed[i] & ~bit;
        sval[m++] = val[i] & ~bit;
      }
      const int64_t t = SmallestOutside(value | half, m, sfixed, sval);
      if (t >= 0) return t;
    }
    return -1;
  }

  // As Split, for the cube (value, free) whose care terms are those of the
  // cubes FOn[o0, o1) less those of FDc[d0, d1) (the cubes that meet it).
  // Where no prime covers the part only in part, it is split on the inputs
  // the cubes fix until each piece is all care terms or none.
  void SplitCubes(uint32_t value, uint32_t free, size_t o0, size_t o1, size_t d0, size_t d1, size_t p0, size_t p1) {
    if (o0 == o1) return;
    for (size_t d = d0; d < d1; ++d)
      if ((free & ~FDc[d].Mask) == 0) return;
    bool allListed = false;
    for (size_t o = o0; o < o1 && !allListed; ++o) allListed = (free & ~FOn[o].Mask) == 0;
    if (allListed && d0 == d1) {
      SplitFull(value, free, p0, p1);
      return;
    }
    const size_t q0 = FScratch.size();
    int fixedCount[32] = {};
    const size_t pushed = Sort(free, p0, p1, fixedCount);
    const size_t q1 = FScratch.size();
    if (q0 == q1) {
      for (size_t o = allListed ? o1 : o0; o < o1; ++o) CountInputs(free & ~FOn[o].Mask, fixedCount);
      for (size_t d = d0; d < d1; ++d) CountInputs(free & ~FDc[d].Mask, fixedCount);
    }
    const int best = MostFixed(fixedCount);
    const uint32_t bit = uint32_t{1} << best;
    for (const uint32_t half : {uint32_t{0}, bit}) {
      const size_t on0 = PushHalf(FOn, o0, o1, bit, half);
      const size_t dc0 = PushHalf(FDc, d0, d1, bit, half);
      const size_t l0 = PushHalf(FScratch, q0, q1, bit, half, PrimeCube());
      SplitCubes(value | half, free & ~bit, on0, FOn.size(), dc0, FDc.size(), l0, FScratch.size());
      FOn.resize(on0);
      FDc.resize(dc0);
      FScratch.resize(l0);
    }
    FScratch.resize(q0);
    Unsort(pushed);
  }
  std::vector<TCubeRef> FOn, FDc;

  static constexpr size_t kFewPartial = 12;
  // Grown to 2^(primes covering in part) as needed; counts are left at 0.
  std::vector<int64_t> FCount;
  std::vector<uint32_t> FFirst;
  std::vector<unsigned> FTouched;
  std::vector<uint32_t> FMove;

  // Many terms: split on up to four inputs at once (the ones the most
  // primes fix), one counting pass and one move for all of them.
  static constexpr size_t kWideSplitTerms = 1024;
  void SplitWide(size_t c0, size_t c1, uint32_t free, size_t q0, size_t q1, const int* fixedCount) {
    int bits[4];
    int k = 0;
    uint32_t chosen = 0;
    for (; k < 4; ++k) {
      int best = -1;
      for (int b = 0; b < 32; ++b)
        if (!(chosen >> b & 1u) && fixedCount[b] > 0 && (best < 0 || fixedCount[b] > fixedCount[best])) best = b;
      if (best < 0) break;
      bits[k] = best;
      chosen |= uint32_t{1} << best;
    }
    const unsigned parts = 1u << k;
    auto part = [&](uint32_t t) {
      unsigned x = 0;
      for (int i = 0; i < k; ++i) x |= ((t >> bits[i]) & 1u) << i;
      return x;
    };
    size_t start[17] = {};
    for (size_t c = c0; c < c1; ++c) ++start[part(FCare[c]) + 1];
    for (unsigned x = 0; x < parts; ++x) start[x + 1] += start[x];
    FMove.resize(c1 - c0);
    {
      size_t fill[16];
      for (unsigned x = 0; x < parts; ++x) fill[x] = start[x];
      for (size_t c = c0; c < c1; ++c) FMove[fill[part(FCare[c])]++] = FCare[c];
    }
    std::copy(FMove.begin(), FMove.end(), FCare + c0);
    for (unsigned x = 0; x < parts; ++x) {
      if (start[x] == start[x + 1]) continue;
      // The sub-cube's values of the chosen inputs.
      uint32_t value = 0;
      for (int i = 0; i < k; ++i) value |= ((x >> i) & 1u) << bits[i];
      const size_t l0 = FScratch.size();
      for (size_t i = q0; i < q1; ++i) {
        const uint32_t p = FScratch[i];
        if (((FPrimes.Value(p) ^ value) & chosen & ~FPrimes.Mask(p)) == 0) FScratch.push_back(p);
      }
      Split(c0 + start[x], c0 + start[x + 1], free & ~chosen, l0, FScratch.size());
      FScratch.resize(l0);
    }
  }

  // Care terms FCare[c0, c1), whose rows are FFull.
  void Leaf(const Key& h, size_t c0, size_t c1) {
    AddToClass(h, static_cast<int64_t>(c1 - c0), *std::min_element(FCare + c0, FCare + c1));
  }

  // weight care terms, the smallest firstTerm, whose rows are FFull.
  void AddToClass(const Key& h, int64_t weight, uint32_t firstTerm) {
    FDone += weight;
    Cells += weight * static_cast<int64_t>(FFull.size());
    const size_t at = Rows.size();
    Rows.insert(Rows.end(), FFull.begin(), FFull.end());
    std::sort(Rows.begin() + static_cast<std::ptrdiff_t>(at), Rows.end());
    Start.push_back(Rows.size());
    Weight.push_back(weight);
    First.push_back((static_cast<uint64_t>(FFunction) << 32) | firstTerm);
    Keys.push_back(h);
    if ((Weight.size() & 4095) == 0) {
      CheckStop();
      // The function's own classes, at the rate of its own pairs, and once
      // it alone has done a twentieth of the system's pairs, at that rate
      // for all of them.
      const uint64_t rows = Rows.size() - FRows0, sets = Weight.size() - FSets0;
      FMeter.Set(FBaseBytes +
                 std::max(ClassBytes(rows, sets, FDone, FPairs), ClassBytes(rows, sets, FDone, FTotalPairs)));
    }
  }

  const TCover& FPrimes;
  MemoryMeter& FMeter;
  uint64_t FBaseBytes;
  int64_t FTotalPairs;
  const std::vector<uint64_t>& FWordA;
  const std::vector<uint64_t>& FWordB;
  uint32_t* FCare = nullptr;
  // The function being split: its care terms, those done, where its sets
  // start.
  int FFunction = 0;
  int64_t FPairs = 1, FDone = 0;
  size_t FSets0 = 0, FRows0 = 0;
  std::vector<uint32_t> FScratch, FFull;
  Key FHash{0, 0};
};

// The words that tell sets of rows apart: two random words per row.
struct RowWords {
  explicit RowWords(size_t rows) : A(rows), B(rows) {
    for (size_t r = 0; r < rows; ++r) {
      A[r] = Mix64((r + 1) * 0x9e3779b97f4a7c15ULL);
      B[r] = Mix64((r + 1) * 0xc2b2ae3d27d4eb4fULL + 0x165667b19e3779f9ULL);
    }
  }
  std::vector<uint64_t> A, B;
};

// The care terms of each function: listed and not don't care.
std::vector<int64_t> CareCounts(const std::vector<const TTermVector*>& functions, const TCover& primes,
                                const TCubeSystem* cubes, size_t fcount) {
  std::vector<int64_t> careCounts(fcount);
  for (size_t f = 0; f < fcount; ++f) {
    const auto* t = cubes ? nullptr : functions[f];
    careCounts[f] = cubes ? CountFigure(CareCount(*cubes, static_cast<int>(f), primes.Width))
                          : t->Count() - std::count(t->DontCares().begin(), t->DontCares().end(), true);
  }
  return careCounts;
}

// The sets of every function, each found by one of several stores (one a
// thread). Part f tells where function f's sets are.
struct FoundSets {
  struct Part {
    unsigned Store = 0;
    size_t Sets0 = 0, Sets1 = 0;  // its sets in that store
    int64_t Rows = 0, Done = 0;
    std::exception_ptr Error;
    bool Finished = false;
  };
  std::vector<ColumnClasses> Stores;
  std::vector<Part> Parts;

  size_t SetCount() const {
    size_t sets = 0;
    for (const Part& part : Parts) sets += part.Sets1 - part.Sets0;
    return sets;
  }
};

// Finds the sets of function f's care terms (care: a buffer for them).
void AddFunctionSets(ColumnClasses& classes, const std::vector<const TTermVector*>& functions, const TCubeSystem* cubes,
                     size_t f, int64_t careCount, std::vector<uint32_t>& care) {
  if (cubes) {
    classes.AddFunctionCubes(TaggedCubes(cubes->Cubes, static_cast<int>(f)),
                             TaggedCubes(cubes->DontCares, static_cast<int>(f)), static_cast<int>(f), careCount);
    return;
  }
  const auto& terms = functions[f]->Terms();
  const auto& flags = functions[f]->DontCares();
  care.clear();
  for (size_t i = 0; i < terms.size(); ++i)
    if (!flags[i]) care.push_back(static_cast<uint32_t>(terms[i]));
  classes.AddFunction(care, static_cast<int>(f));
}

// The functions are shared out among the threads as they come free. Each
// thread stores the sets it finds; the sets are then read function by
// function, so the classes do not depend on who found them. The memory is
// checked within a function on its own classes, and after each function on
// all functions up to it: a refusal is that of the first function, in
// order, that fails, whatever the threads' timing.
FoundSets FindSets(const std::vector<const TTermVector*>& functions, const TCover& primes, MemoryMeter& meter,
                   const TCubeSystem* cubes, const std::vector<int64_t>& careCounts, int64_t pairs, uint64_t baseBytes,
                   const RowWords& words, unsigned most) {
  const size_t fcount = careCounts.size();
  const unsigned threads =
      ShareOut(static_cast<double>(pairs), kThreadedPairs) ? std::min(most, static_cast<unsigned>(fcount)) : 1;
  FoundSets found;
  std::vector<ColumnClasses>& stores = found.Stores;
  stores.reserve(threads);
  for (unsigned k = 0; k < threads; ++k) {
    stores.emplace_back(primes, words.A, words.B, meter, baseBytes, pairs);
    if (pairs >= kReservedPairs) stores.back().ReserveRows();
  }
  std::vector<FoundSets::Part>& parts = found.Parts;
  parts.resize(fcount);
  std::atomic<size_t> next{0}, failed{fcount};
  std::mutex mutex;
  size_t prefix = 0;
  uint64_t prefixRows = 0, prefixSets = 0;
  int64_t prefixDone = 0;
  const auto fail = [&](size_t f, std::exception_ptr e) {
    parts[f].Error = std::move(e);
    size_t first = failed.load();
    while (f < first && !failed.compare_exchange_weak(first, f)) {
    }
  };
  RunOnThreads(threads, [&](unsigned k) {
    ColumnClasses& classes = stores[k];
    std::vector<uint32_t> care;
    for (size_t f = next++; f < fcount && f < failed.load(); f = next++) {
      FoundSets::Part& part = parts[f];
      part.Store = k;
      part.Sets0 = classes.Weight.size();
      const size_t rows0 = classes.Rows.size();
      try {
        AddFunctionSets(classes, functions, cubes, f, careCounts[f], care);
      } catch (...) {
        fail(f, std::current_exception());
        continue;
      }
      part.Sets1 = classes.Weight.size();
      part.Rows = static_cast<int64_t>(classes.Rows.size() - rows0);
      part.Done = careCounts[f];
      const std::lock_guard lock(mutex);
      part.Finished = true;
      for (; prefix < fcount && parts[prefix].Finished && prefix < failed.load(); ++prefix) {
        prefixRows += static_cast<uint64_t>(parts[prefix].Rows);
        prefixSets += parts[prefix].Sets1 - parts[prefix].Sets0;
        prefixDone += parts[prefix].Done;
        try {
          meter.Set(baseBytes + ClassBytes(prefixRows, prefixSets, prefixDone, pairs));
        } catch (...) {
          fail(prefix, std::current_exception());
        }
      }
    }
  });
  if (failed.load() < fcount) std::rethrow_exception(parts[failed.load()].Error);
  return found;
}

// The sets of all functions, numbered in function order: set g has the rows
// [Begin[g], End[g]), stands for Weight[g] care terms, the first of them
// First[g], and has the key Keys[g].
struct NumberedSets {
  explicit NumberedSets(size_t sets) : Begin(sets), End(sets), Weight(sets), First(sets), Keys(sets) {}
  std::vector<const uint32_t*, TUninitAllocator<const uint32_t*>> Begin, End;
  std::vector<int64_t, TUninitAllocator<int64_t>> Weight;
  std::vector<uint64_t, TUninitAllocator<uint64_t>> First;
  std::vector<SetKey, TUninitAllocator<SetKey>> Keys;
};

NumberedSets NumberSets(const FoundSets& found, unsigned threads) {
  const size_t fcount = found.Parts.size();
  std::vector<size_t> base(fcount + 1, 0);
  for (size_t f = 0; f < fcount; ++f) base[f + 1] = base[f] + (found.Parts[f].Sets1 - found.Parts[f].Sets0);
  NumberedSets sets(base[fcount]);
  std::atomic<size_t> nextPart{0};
  RunOnThreads(threads, [&](unsigned) {
    for (size_t f = nextPart++; f < fcount; f = nextPart++) {
      const FoundSets::Part& part = found.Parts[f];
      const ColumnClasses& store = found.Stores[part.Store];
      for (size_t i = part.Sets0, g = base[f]; i < part.Sets1; ++i, ++g) {
        sets.Begin[g] = store.Rows.data() + store.Start[i];
        sets.End[g] = store.Rows.data() + store.Start[i + 1];
        sets.Weight[g] = store.Weight[i];
        sets.First[g] = store.First[i];
        sets.Keys[g] = store.Keys[i];
      }
    }
  });
  return sets;
}

// A set found again is folded into its first class (its weight added
// there, the smaller first pair kept). The keys are shared out among the
// threads by their top bits, each with a table of its own, so a key's sets
// are met in order by one thread. Nearly every set is new: each slot is
// fetched well before it is read.
void FoldRepeatedSets(NumberedSets& s, unsigned merging) {
  const size_t sets = s.Keys.size();
  const auto& keys = s.Keys;
  RunOnThreads(merging, [&](unsigned t) {
    constexpr uint32_t kNone = ~uint32_t{0};
    const auto owner = [&](size_t g) { return static_cast<unsigned>((keys[g].A >> 40) % merging); };
    const size_t mask = std::max<size_t>(64, std::bit_ceil(2 * sets / merging + 1)) - 1;
    std::vector<uint32_t> table(mask + 1, kNone);
    constexpr size_t kAhead = 16;
    for (size_t g = 0; g < sets; ++g) {
      if (g + kAhead < sets && owner(g + kAhead) == t)
        __builtin_prefetch(&table[static_cast<size_t>(keys[g + kAhead].A) & mask]);
      if (owner(g) != t) continue;
      const SetKey& h = keys[g];
      size_t slot = static_cast<size_t>(h.A) & mask;
      while (table[slot] != kNone && !(keys[table[slot]] == h)) slot = (slot + 1) & mask;
      const uint32_t c = table[slot];
      if (c == kNone) {
        table[slot] = static_cast<uint32_t>(g);
        continue;
      }
      s.Weight[c] += s.Weight[g];
      s.First[c] = std::min(s.First[c], s.First[g]);
      s.Weight[g] = 0;
    }
  });
}

// The classes (the sets left with a weight) in the order of their first
// pair, each with that pair beside it.
std::vector<std::pair<uint64_t, uint32_t>> ClassesInOrder(const NumberedSets& sets, int width, unsigned most) {
  // First pairs are distinct.
  std::vector<std::pair<uint64_t, uint32_t>> byFirst;
  byFirst.reserve(sets.Weight.size());
  for (uint32_t c = 0; c < sets.Weight.size(); ++c)
    if (sets.Weight[c] > 0) byFirst.emplace_back(sets.First[c], c);
  // Survivors come function by function (a set found again keeps the
  // function it was first found in), so each function's classes are
  // sorted on their own, on all threads.
  std::vector<size_t> groups{0};
  for (size_t k = 1; k < byFirst.size(); ++k)
    if ((byFirst[k].first >> 32) != (byFirst[k - 1].first >> 32)) groups.push_back(k);
  groups.push_back(byFirst.size());
  std::atomic<size_t> nextGroup{0};
  RunOnThreads(ShareOut(static_cast<double>(byFirst.size()), kThreadedColumns) ? most : 1, [&](unsigned) {
    std::vector<std::pair<uint64_t, uint32_t>> scratch;
    for (size_t g = nextGroup++; g + 1 < groups.size(); g = nextGroup++)
      SortByTerm(byFirst.data() + groups[g], groups[g + 1] - groups[g], width, scratch);
  });
  return byFirst;
}

// Lays out the columns in the order of byFirst: each column's place first;
// then the rows are copied by runs of columns, one a thread.
void LayColumns(const NumberedSets& sets, const std::vector<std::pair<uint64_t, uint32_t>>& byFirst, unsigned most,
                std::vector<size_t>& colStart, std::vector<int64_t>& colWeight, TCells& colRows) {
  colStart.resize(byFirst.size() + 1);
  colWeight.resize(byFirst.size());
  colStart[0] = 0;
  for (size_t k = 0; k < byFirst.size(); ++k) {
    const uint32_t c = byFirst[k].second;
    colStart[k + 1] = colStart[k] + static_cast<size_t>(sets.End[c] - sets.Begin[c]);
    colWeight[k] = sets.Weight[c];
  }
  colRows.resize(colStart.back());
  const unsigned runs = ShareOut(static_cast<double>(colRows.size()), kThreadedCells) ? most : 1;
  RunOnThreads(runs, [&](unsigned t) {
    const size_t k0 = byFirst.size() * t / runs, k1 = byFirst.size() * (t + 1) / runs;
    for (size_t k = k0; k < k1; ++k) {
      // The classes are read out of order: their rows are fetched ahead.
      if (k + 16 < k1) __builtin_prefetch(sets.Begin[byFirst[k + 16].second]);
      const uint32_t c = byFirst[k].second;
      std::copy(sets.Begin[c], sets.End[c], colRows.begin() + static_cast<std::ptrdiff_t>(colStart[k]));
    }
  });
}

}  // namespace

// The hazard columns of a chart: per function, every two care terms t and
// t | 1 << b (bit b of t clear) are one column, numbered from first on by
// function, then t, then b.
class THazardPairs {
 public:
  THazardPairs() = default;
  THazardPairs(const std::vector<std::vector<uint32_t>>& care, int width, int64_t first) : FWidth(width) {
    FIndex.resize(care.size());
    int64_t next = first;
    for (size_t f = 0; f < care.size(); ++f) {
      const auto& terms = care[f];
      for (const uint32_t t : terms)
        for (int b = 0; b < width; ++b) {
          const uint32_t other = t | uint32_t{1} << b;
          if (other == t || !std::binary_search(terms.begin(), terms.end(), other)) continue;
          FIndex[f].emplace(Key(t, b), static_cast<uint32_t>(next++));
        }
    }
    Count = static_cast<uint64_t>(next - first);
  }
  // Appends the columns of function f that the cube (v, m) holds.
  void AddColumnsOf(size_t f, uint32_t v, uint32_t m, TCells& cols) const {
    const auto& index = FIndex[f];
    if (index.empty() || m == 0) return;
    uint32_t sub = 0;
    do {
      const uint32_t t = v | sub;
      for (int b = 0; b < FWidth; ++b) {
        if (!((m >> b) & 1u) || ((t >> b) & 1u)) continue;
        if (const auto it = index.find(Key(t, b)); it != index.end()) cols.push_back(it->second);
      }
      sub = (sub - m) & m;
    } while (sub != 0);
  }
  uint64_t Count = 0;

 private:
  static uint64_t Key(uint32_t t, int b) { return uint64_t{t} << 6 | static_cast<uint64_t>(b); }
  int FWidth = 0;
  std::vector<std::unordered_map<uint64_t, uint32_t>> FIndex;
};

void Chart::BuildPairs(const std::vector<const TTermVector*>& functions, const TCover& primes, MemoryMeter& meter,
                       bool hazardPairs) {
  const size_t fcount = functions.size();
  std::vector<std::vector<uint32_t>> care(fcount);
  std::vector<int64_t> offset(fcount + 1, 0);
  for (size_t f = 0; f < fcount; ++f) {
    const auto& terms = functions[f]->Terms();
    const auto& flags = functions[f]->DontCares();
    for (size_t i = 0; i < terms.size(); ++i)
      if (!flags[i]) care[f].push_back(static_cast<uint32_t>(terms[i]));
    offset[f + 1] = offset[f] + static_cast<int64_t>(care[f].size());
  }
  Rows = static_cast<int32_t>(primes.Count());
  Columns = static_cast<int32_t>(offset[fcount]);
  const THazardPairs hazards = hazardPairs ? THazardPairs(care, primes.Width, Columns) : THazardPairs();
  Columns += static_cast<int32_t>(hazards.Count);

  RowStart.assign(static_cast<size_t>(Rows) + 1, 0);
  TCells cols;
  // Where it fits, a table from row to column per function makes each
  // covered term one lookup.
  const int width = primes.Width;
  uint64_t lookupBytes = static_cast<uint64_t>(fcount) * (uint64_t{4} << width);
  std::vector<std::vector<int32_t>> columnOf;
  if (lookupBytes > std::min<uint64_t>(meter.Limit() / 4, uint64_t{1} << 30)) {
    lookupBytes = 0;
  } else {
    meter.Set(lookupBytes);
    columnOf.assign(fcount, std::vector<int32_t>(size_t{1} << width, -1));
    for (size_t f = 0; f < fcount; ++f)
      for (size_t i = 0; i < care[f].size(); ++i)
        columnOf[f][care[f][i]] = static_cast<int32_t>(offset[f] + static_cast<int64_t>(i));
  }
  for (size_t r = 0; r < primes.Count(); ++r) {
    if ((r & 0xFFF) == 0) CheckStop();
    const uint32_t v = primes.Value(r), m = primes.Mask(r);
    const uint64_t size = primes.Size(r);
    for (size_t f = 0; f < fcount; ++f) {
      if (!primes.Tag(r, static_cast<int>(f))) continue;
      const auto& c = care[f];
      auto lo = std::lower_bound(c.begin(), c.end(), v);
      auto hi = std::upper_bound(lo, c.end(), v | m);
      const auto span = static_cast<uint64_t>(hi - lo);
      if (span == 0) continue;
      const uint32_t off = static_cast<uint32_t>(offset[f]);
      if (size < span && !columnOf.empty()) {
        const int32_t* index = columnOf[f].data();
        primes.ForEachTerm(r, [&](uint32_t t) {
          if (index[t] >= 0) cols.push_back(static_cast<uint32_t>(index[t]));
        });
      } else if (size < span) {
        primes.ForEachTerm(r, [&](uint32_t t) {
          auto it = std::lower_bound(lo, hi, t);
          if (it != hi && *it == t) {
            cols.push_back(off + static_cast<uint32_t>(it - c.begin()));
            lo = it + 1;
          }
        });
      } else {
        for (auto it = lo; it != hi; ++it)
          if ((*it & ~m) == v) cols.push_back(off + static_cast<uint32_t>(it - c.begin()));
      }
    }
    if (hazardPairs) {
      const size_t start = cols.size();
      for (size_t f = 0; f < fcount; ++f)
        if (primes.Tag(r, static_cast<int>(f))) hazards.AddColumnsOf(f, v, m, cols);
      std::sort(cols.begin() + static_cast<std::ptrdiff_t>(start), cols.end());
    }
    RowStart[r + 1] = cols.size();
    if ((r & 1023) == 0) meter.Set(cols.size() * 12 + static_cast<uint64_t>(Rows) * 40 + lookupBytes);
  }
  RowCols = std::move(cols);
  RowEnd.assign(RowStart.begin() + 1, RowStart.end());
  meter.Set(PairChartBytes(static_cast<uint64_t>(Rows), RowCols.size(), static_cast<uint64_t>(Columns)));
  ListColumnsOfRows();
  ColWeight.assign(static_cast<size_t>(Columns), 1);
  Pairs = Columns;
  Cells = static_cast<int64_t>(RowCols.size());
}

// Column lists, rows ascending.
void Chart::ListColumnsOfRows() {
  ColStart.assign(static_cast<size_t>(Columns) + 1, 0);
  for (uint32_t c : RowCols) ++ColStart[c + 1];
  for (size_t c = 0; c < static_cast<size_t>(Columns); ++c) ColStart[c + 1] += ColStart[c];
  ColRows.resize(RowCols.size());
  std::vector<size_t> fill(ColStart.begin(), ColStart.end() - 1);
  for (int32_t r = 0; r < Rows; ++r)
    for (size_t k = RowStart[static_cast<size_t>(r)]; k < RowStart[static_cast<size_t>(r) + 1]; ++k)
      ColRows[fill[RowCols[k]]++] = static_cast<uint32_t>(r);
}

void Chart::BuildClasses(const std::vector<const TTermVector*>& functions, const TCover& primes, MemoryMeter& meter,
                         const TCubeSystem* cubes) {
  const size_t fcount = cubes ? static_cast<size_t>(primes.FunctionCount) : functions.size();
  Rows = static_cast<int32_t>(primes.Count());
  uint64_t termBytes = 0;
  if (!cubes)
    for (const auto* f : functions) termBytes = std::max<uint64_t>(termBytes, static_cast<uint64_t>(f->Count()) * 4);
  const uint64_t baseBytes = termBytes + static_cast<uint64_t>(Rows) * 64;
  const RowWords words(static_cast<size_t>(Rows));
  const std::vector<int64_t> careCounts = CareCounts(functions, primes, cubes, fcount);
  for (const int64_t count : careCounts) Pairs += count;

  const unsigned most = UsefulThreads(kMaxThreads);
  FoundSets found = FindSets(functions, primes, meter, cubes, careCounts, Pairs, baseBytes, words, most);
  for (const ColumnClasses& store : found.Stores) Cells += store.Cells;
  const unsigned merging = ShareOut(static_cast<double>(found.SetCount()), kThreadedSets) ? most : 1;
  NumberedSets sets = NumberSets(found, merging);
  FoldRepeatedSets(sets, merging);
  {
    const auto byFirst = ClassesInOrder(sets, primes.Width, most);
    Columns = static_cast<int32_t>(byFirst.size());
    LayColumns(sets, byFirst, most, ColStart, ColWeight, ColRows);
  }
  // The largest store's rows are reused for the row lists, which are as
  // long as the column lists.
  {
    size_t largest = 0;
    for (size_t k = 1; k < found.Stores.size(); ++k)
      if (found.Stores[k].Rows.size() > found.Stores[largest].Rows.size()) largest = k;
    RowCols = std::move(found.Stores[largest].Rows);
  }
  found.Stores.clear();
  meter.Set(ColRows.size() * 12 + static_cast<uint64_t>(Rows) * 40 + static_cast<uint64_t>(Columns) * 40);
  ListRowsOfColumns(most);
}

// Row lists, columns ascending. The columns are cut into runs of about
// equal cells, one a thread: each counts its cells per row, and then puts
// its columns after those of the runs before it.
void Chart::ListRowsOfColumns(unsigned most) {
  const unsigned runs = ShareOut(static_cast<double>(ColRows.size()), kThreadedCells) ? most : 1;
  std::vector<uint32_t> cut(runs + 1, static_cast<uint32_t>(Columns));
  for (unsigned k = 0; k < runs; ++k)
    cut[k] = static_cast<uint32_t>(std::lower_bound(ColStart.begin(), ColStart.end() - 1, ColRows.size() * k / runs) -
                                   ColStart.begin());
  std::vector<std::vector<size_t>> fill(runs, std::vector<size_t>(static_cast<size_t>(Rows), 0));
  RunOnThreads(runs, [&](unsigned k) {
    for (size_t i = ColStart[cut[k]]; i < ColStart[cut[k + 1]]; ++i) ++fill[k][ColRows[i]];
  });
  RowStart.assign(static_cast<size_t>(Rows) + 1, 0);
  for (size_t r = 0; r < static_cast<size_t>(Rows); ++r) {
    size_t at = RowStart[r];
    for (unsigned k = 0; k < runs; ++k) {
      const size_t n = fill[k][r];
      fill[k][r] = at;
      at += n;
    }
    RowStart[r + 1] = at;
  }
  RowCols.resize(ColRows.size());
  RunOnThreads(runs, [&](unsigned k) {
    std::vector<size_t>& at = fill[k];
    for (uint32_t c = cut[k]; c < cut[k + 1]; ++c)
      for (size_t i = ColStart[c]; i < ColStart[c + 1]; ++i) RowCols[at[ColRows[i]]++] = c;
  });
  RowEnd.assign(RowStart.begin() + 1, RowStart.end());
}

Chart::Chart(const std::vector<const TTermVector*>& functions, const TCover& primes, MemoryMeter& meter, bool classes,
             const TCubeSystem* cubes, bool wide, bool hazardPairs) {
  if (hazardPairs) BuildPairs(functions, primes, meter, true);
  else if (cubes && (wide || primes.Width > kMaxTermInputs)) BuildWide(primes, meter, *cubes, wide);
  else if (classes || cubes) BuildClasses(functions, primes, meter, cubes);
  else BuildPairs(functions, primes, meter, false);
  ColEnd.assign(ColStart.begin() + 1, ColStart.end());

  ColWord.resize(static_cast<size_t>(Columns));
  for (size_t c = 0; c < ColWord.size(); ++c) {
    uint64_t z = (c + 1) * 0x9e3779b97f4a7c15ULL;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    ColWord[c] = z ^ (z >> 31);
  }
  Row.assign(static_cast<size_t>(Rows), RowState{});
  NonEmptyOfSize.assign(static_cast<size_t>(primes.Width) + 1, 0);
  RowAlive.assign(static_cast<size_t>(Rows), 1);
  ColAlive.assign(static_cast<size_t>(Columns), 1);
  // Column by column: the few rows stay in cache, the many columns are read
  // once each. Large charts do this by runs of columns, one a thread, each
  // into rows of its own, added up after (sums and unions, in any order).
  const unsigned runs = ShareOut(static_cast<double>(ColRows.size()), kThreadedCells) ? UsefulThreads(kMaxThreads) : 1;
  std::vector<std::vector<RowState>> partial(runs - 1, std::vector<RowState>(static_cast<size_t>(Rows)));
  RunOnThreads(runs, [&](unsigned t) {
    std::vector<RowState>& rows = t == 0 ? Row : partial[t - 1];
    const auto c0 = static_cast<uint32_t>(static_cast<uint64_t>(Columns) * t / runs);
    const auto c1 = static_cast<uint32_t>(static_cast<uint64_t>(Columns) * (t + 1) / runs);
    for (uint32_t c = c0; c < c1; ++c) {
      const int64_t weight = ColWeight[c];
      const uint64_t word = ColWord[c], signature = Signature(c);
      for (size_t k = ColStart[c]; k < ColStart[c + 1]; ++k) {
        RowState& row = rows[ColRows[k]];
        row.Count += weight;
        row.Hash += word;
        row.Signature |= signature;
      }
    }
  });
  for (const auto& rows : partial)
    for (size_t r = 0; r < rows.size(); ++r) {
      Row[r].Count += rows[r].Count;
      Row[r].Hash += rows[r].Hash;
      Row[r].Signature |= rows[r].Signature;
    }
  for (uint32_t r = 0; r < static_cast<uint32_t>(Rows); ++r) {
    DirtyRows.push_back(r);
    Row[r].Size = static_cast<uint16_t>(primes.FreeCount(r));
    if (Row[r].Count > 0) {
      ++NonEmpty;
      ++NonEmptyOfSize[Row[r].Size];
    }
  }
  ColCount.resize(static_cast<size_t>(Columns));
  for (uint32_t c = 0; c < static_cast<uint32_t>(Columns); ++c) {
    ColCount[c] = static_cast<int32_t>(ColStart[c + 1] - ColStart[c]);
    if (ColCount[c] == 1) Single.push_back(c);
  }
  AliveColumns = 0;
  for (const int64_t w : ColWeight) AliveColumns += w;
}

}  // namespace tavro::detail
