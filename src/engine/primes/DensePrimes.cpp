// Prime implicants by dense sweeps: level k holds, for every mask of k free
// positions, an array with the tags of every cube of that mask (zero where no
// function lists all its terms). A cube's tags are the AND of its two halves,
// and a cube is combined when a cube one level up has the same tags. This
// touches memory in order and needs no hashing, so it pays off when most
// cubes exist, which is when the pairing gets slow.

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "engine/primes/PrimeFinders.h"

namespace tavro::detail {

namespace {

struct Binomials {
  uint64_t C[33][33] = {};
  constexpr Binomials() {
    for (int n = 0; n <= 32; ++n) {
      C[n][0] = 1;
      for (int k = 1; k <= n; ++k) C[n][k] = C[n - 1][k - 1] + (k <= n - 1 ? C[n - 1][k] : 0);
    }
  }
};
constexpr Binomials kBinomials;

// Position of a mask among the masks with as many bits, in ascending order.
uint64_t MaskRank(uint32_t mask) {
  uint64_t rank = 0;
  int i = 1;
  for (uint32_t m = mask; m; m &= m - 1, ++i) rank += kBinomials.C[std::countr_zero(m)][i];
  return rank;
}

uint32_t NextMask(uint32_t m) {  // the next larger mask with as many bits
  const uint32_t low = m & (~m + 1);
  const uint32_t ripple = m + low;
  return ripple | (((m ^ ripple) >> 2) / low);
}

// The cubes of one level: for each mask (by rank) its 2^(width-k) cubes'
// tags, and a combined flag per cube.
struct DenseLevel {
  int K = 0;
  uint64_t Masks = 0;    // C(width, k)
  uint64_t PerMask = 0;  // 2^(width-k)
  std::vector<uint64_t> Tags;
  std::vector<uint8_t> Combined;
  std::vector<uint8_t> Any;  // per mask: some cube exists

  DenseLevel(int width, int k, int tagWords)
      : K(k),
        Masks(k <= width ? kBinomials.C[width][k] : 0),
        PerMask(k <= width ? uint64_t{1} << (width - k) : 0),
        Tags(Masks * PerMask * static_cast<uint64_t>(tagWords), 0),
        Combined(Masks * PerMask, 0),
        Any(Masks, 0) {}
};

// Index of a cube of mask m in a level with one more free position below
// bit p (counted among the mask's fixed positions): insert a 0 at p.
inline uint64_t Spread(uint64_t index, int p) {
  const uint64_t low = index & ((uint64_t{1} << p) - 1);
  return ((index >> p) << (p + 1)) | low;
}

template <int Words>
struct Tag {
  static bool Zero(const uint64_t* t, int) {
    for (int w = 0; w < Words; ++w)
      if (t[w]) return false;
    return true;
  }
  static bool Same(const uint64_t* a, const uint64_t* b, int) {
    for (int w = 0; w < Words; ++w)
      if (a[w] != b[w]) return false;
    return true;
  }
  static void And(uint64_t* out, const uint64_t* a, const uint64_t* b, int) {
    for (int w = 0; w < Words; ++w) out[w] = a[w] & b[w];
  }
};

template <>
struct Tag<0> {  // any number of words
  static bool Zero(const uint64_t* t, int words) {
    for (int w = 0; w < words; ++w)
      if (t[w]) return false;
    return true;
  }
  static bool Same(const uint64_t* a, const uint64_t* b, int words) {
    for (int w = 0; w < words; ++w)
      if (a[w] != b[w]) return false;
    return true;
  }
  static void And(uint64_t* out, const uint64_t* a, const uint64_t* b, int words) {
    for (int w = 0; w < words; ++w) out[w] = a[w] & b[w];
  }
};

// Builds level k+1 from level k and marks the combined cubes of level k.
template <int Words>
void NextLevel(int width, int tw, DenseLevel& from, DenseLevel& to) {
  using T = Tag<Words>;
  const int k1 = from.K + 1;
  if (k1 > width) return;
  const uint32_t full = width >= 32 ? ~uint32_t{0} : (uint32_t{1} << width) - 1;
  const uint64_t n1 = to.PerMask;
  uint64_t rank = 0;
  for (uint32_t mask = (uint32_t{1} << k1) - 1; rank < to.Masks; mask = NextMask(mask), ++rank) {
    CheckStop();
    CheckExactDeadline();
    bool parents = true;
    for (uint32_t bits = mask; bits && parents; bits &= bits - 1)
      parents = from.Any[MaskRank(mask & ~(bits & (~bits + 1)))] != 0;
    if (!parents) continue;
    uint64_t* out = to.Tags.data() + rank * n1 * static_cast<uint64_t>(tw);

    // Tags: the AND of the two halves across the lowest free position, which
    // is the parent's fixed position number p = that bit's index.
    const uint32_t low = mask & (~mask + 1);
    const int p = std::countr_zero(low);
    const uint64_t* in = from.Tags.data() + MaskRank(mask & ~low) * from.PerMask * static_cast<uint64_t>(tw);
    bool any = false;
    for (uint64_t i = 0; i < n1; ++i) {
      const uint64_t j = Spread(i, p);
      uint64_t* t = out + i * static_cast<uint64_t>(tw);
      T::And(t, in + j * static_cast<uint64_t>(tw), in + (j | (uint64_t{1} << p)) * static_cast<uint64_t>(tw), tw);
      any = any || !T::Zero(t, tw);
    }
    if (!any) continue;
    to.Any[rank] = 1;

    // Marks: each parent half whose tags equal the merged cube's.
    for (uint32_t bits = mask; bits; bits &= bits - 1) {
      const uint32_t bit = bits & (~bits + 1);
      const uint32_t parent = mask & ~bit;
      const int q = std::popcount(~parent & full & (bit - 1));
      const uint64_t base = MaskRank(parent) * from.PerMask;
      const uint64_t* pt = from.Tags.data() + base * static_cast<uint64_t>(tw);
      uint8_t* pc = from.Combined.data() + base;
      for (uint64_t i = 0; i < n1; ++i) {
        const uint64_t* t = out + i * static_cast<uint64_t>(tw);
        if (T::Zero(t, tw)) continue;
        const uint64_t j = Spread(i, q);
        const uint64_t j1 = j | (uint64_t{1} << q);
        if (T::Same(t, pt + j * static_cast<uint64_t>(tw), tw)) pc[j] = 1;
        if (T::Same(t, pt + j1 * static_cast<uint64_t>(tw), tw)) pc[j1] = 1;
      }
    }
  }
}

// Appends the uncombined cubes of a finished level; returns how many cubes
// the level has.
int64_t GatherDense(int width, int tw, const DenseLevel& level, TCover& primes) {
  const uint32_t full = width >= 32 ? ~uint32_t{0} : (uint32_t{1} << width) - 1;
  int64_t cubes = 0;
  uint64_t rank = 0;
  for (uint32_t mask = level.K ? (uint32_t{1} << level.K) - 1 : 0; rank < level.Masks;
       mask = level.K ? NextMask(mask) : 0, ++rank) {
    if (!level.Any[rank]) continue;
    const uint64_t base = rank * level.PerMask;
    uint32_t v = 0;
    for (uint64_t i = 0; i < level.PerMask; ++i, v = ((v | mask) + 1) & ~mask & full) {
      const uint64_t* t = level.Tags.data() + (base + i) * static_cast<uint64_t>(tw);
      if (Tag<0>::Zero(t, tw)) continue;
      ++cubes;
      if (!level.Combined[base + i]) primes.Add(v, mask, t);
    }
  }
  return cubes;
}

template <int Words>
void Sweep(const std::vector<const TTermVector*>& functions, int width, int tw, IEngineHost* host, TRunStats* stats,
           TCover& primes) {
  if (host) host->SetStatus("Generating zero cubes...");
  DenseLevel current(width, 0, tw);
  for (size_t f = 0; f < functions.size(); ++f)
    for (int32_t t : functions[f]->Terms())
      current.Tags[static_cast<uint64_t>(t) * static_cast<uint64_t>(tw) + (f >> 6)] |= uint64_t{1} << (f & 63);
  current.Any[0] = 1;
  for (int k = 1;; ++k) {
    if (host) host->SetStatus("Generating " + std::to_string(k) + " Cubes...");
    DenseLevel next(width, k, tw);
    NextLevel<Words>(width, tw, current, next);
    const int64_t cubes = GatherDense(width, tw, current, primes);
    if (stats) {
      stats->LevelCubes.push_back(cubes);
      stats->Implicants += cubes;
      if (k == 1) stats->ZeroCubes = cubes;
    }
    bool any = false;
    for (uint8_t a : next.Any) any = any || a;
    if (!any) break;
    current = std::move(next);
  }
  if (stats) stats->LevelCubes.push_back(0);
}

}  // namespace

uint64_t DenseBytes(int width, int tagWords) {
  if (width < 0 || width > 30) return ~uint64_t{0};
  uint64_t worst = 0;
  const uint64_t perCube = 8 * static_cast<uint64_t>(tagWords) + 1;
  for (int k = 0; k <= width; ++k) {
    const uint64_t a = kBinomials.C[width][k] << (width - k);
    const uint64_t b = k + 1 <= width ? kBinomials.C[width][k + 1] << (width - k - 1) : 0;
    worst = std::max(worst, (a + b) * perCube);
  }
  return worst;
}

bool TabulateDense(const std::vector<const TTermVector*>& functions, int width, IEngineHost* host, TRunStats* stats,
                   MemoryMeter& meter, TCover& primes) {
  const int fcount = static_cast<int>(functions.size());
  const int tw = (fcount + 63) / 64;
  const uint64_t bytes = DenseBytes(width, tw);
  if (bytes > meter.Limit()) return false;
  meter.Set(bytes);
  primes = TCover(width, fcount);
  switch (tw) {
    case 1: Sweep<1>(functions, width, tw, host, stats, primes); break;
    case 2: Sweep<2>(functions, width, tw, host, stats, primes); break;
    default: Sweep<0>(functions, width, tw, host, stats, primes); break;
  }
  SortPrimeList(primes);
  if (stats) stats->Primes = static_cast<int64_t>(primes.Count());
  return true;
}

}  // namespace tavro::detail
