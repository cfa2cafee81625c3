// Prime implicants from a cover of the system: a list of cubes, each with the
// functions it belongs to, whose union gives every function's listed terms.
// The primes of the system F follow from those of its halves F0 and F1 on
// one input x and of their AND F2, as SplitPrimes.cpp explains. The halves
// of a cover are the cofactors of its cubes (core/Split.h); the primes of F2
// are the largest of the pairwise intersections of F0's and F1's primes (each
// prime of F2 is one of them, with the tags of both). An input that no cube
// fixes to 1 has F1 = F2, so no intersections are needed for it. Equal covers
// are solved once. This never looks at a single row, so the width of the system
// does not matter, only the size of its covers.
//
// The primes of a part bound those of the whole from below: each prime of F0
// is a prime of F with x = 0, or (with the same tags) one of F2 with x free;
// each prime of F1 likewise; each prime of F2 is one of F with x free. So
// the primes of any part solved map one to one onto primes of the system at
// least as large, with the same tags: the system has at least as many, and
// they cover at least as many terms.

#include <algorithm>
#include <bit>
#include <chrono>
#include <memory>
#include <numeric>
#include <unordered_map>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/core/CubeSets.h"
#include "engine/core/Split.h"
#include "engine/core/Threads.h"
#include "engine/primes/PrimeFinders.h"

namespace tavro::detail {

const char* CubeBudgetSpent::what() const noexcept { return "the cube finder's budget is spent"; }

namespace {

// Bit j set where cube j of (values, masks)[0, n), n <= 64, meets the cube
// (value, mask) and holds the inputs `within` free: where
// ((value ^ values[j]) | within) & ~(mask | masks[j]) is 0. With within = 0
// and mask the cube's mask, the cubes that meet it; with mask = 0 and within
// the cube's mask, the cubes that hold it.
uint64_t MeetMask(uint32_t value, uint32_t mask, uint32_t within, const uint32_t* values, const uint32_t* masks,
                  size_t n) {
  uint64_t bits = 0;
  size_t j = 0;
#ifdef __SSE2__
  const __m128i v = _mm_set1_epi32(static_cast<int>(value)), m = _mm_set1_epi32(static_cast<int>(mask)),
                w = _mm_set1_epi32(static_cast<int>(within)), zero = _mm_setzero_si128();
  for (; j + 4 <= n; j += 4) {
    const __m128i differ =
        _mm_or_si128(_mm_xor_si128(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + j))), w);
    const __m128i free = _mm_or_si128(m, _mm_loadu_si128(reinterpret_cast<const __m128i*>(masks + j)));
    const __m128i hit = _mm_cmpeq_epi32(_mm_andnot_si128(free, differ), zero);
    bits |= static_cast<uint64_t>(_mm_movemask_ps(_mm_castsi128_ps(hit))) << j;
  }
#endif
  for (; j < n; ++j) bits |= static_cast<uint64_t>((((value ^ values[j]) | within) & ~(mask | masks[j])) == 0) << j;
  return bits;
}

uint64_t MeetMask(uint64_t value, uint64_t mask, uint64_t within, const uint64_t* values, const uint64_t* masks,
                  size_t n) {
  uint64_t bits = 0;
  size_t j = 0;
#ifdef __SSE2__
  // Two cubes at a time: a 64-bit lane is 0 where both its halves are.
  const __m128i v = _mm_set1_epi64x(static_cast<long long>(value)), m = _mm_set1_epi64x(static_cast<long long>(mask)),
                w = _mm_set1_epi64x(static_cast<long long>(within)), zero = _mm_setzero_si128();
  for (; j + 2 <= n; j += 2) {
    const __m128i differ =
        _mm_or_si128(_mm_xor_si128(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + j))), w);
    const __m128i free = _mm_or_si128(m, _mm_loadu_si128(reinterpret_cast<const __m128i*>(masks + j)));
    const __m128i halves = _mm_cmpeq_epi32(_mm_andnot_si128(free, differ), zero);
    const __m128i hit = _mm_and_si128(halves, _mm_shuffle_epi32(halves, _MM_SHUFFLE(2, 3, 0, 1)));
    bits |= static_cast<uint64_t>(_mm_movemask_pd(_mm_castsi128_pd(hit))) << j;
  }
#endif
  for (; j < n; ++j) bits |= static_cast<uint64_t>((((value ^ values[j]) | within) & ~(mask | masks[j])) == 0) << j;
  return bits;
}

template <class B>
uint64_t MeetMask(const B& value, const B& mask, const B& within, const B* values, const B* masks, size_t n) {
  uint64_t bits = 0;
  for (size_t j = 0; j < n; ++j)
    bits |= static_cast<uint64_t>(!bits::Any(((value ^ values[j]) | within) & ~(mask | masks[j]))) << j;
  return bits;
}

// A cube as a key of the finder's tables: narrow cubes packed in one word.
template <class B>
struct CubeKey {
  B V, M;
  bool operator==(const CubeKey&) const = default;
};
template <class B>
auto KeyOf(const B& v, const B& m) {
  if constexpr (std::is_same_v<B, uint32_t>) return (static_cast<uint64_t>(m) << 32) | v;
  else return CubeKey<B>{v, m};
}
struct CubeKeyHash {
  size_t operator()(uint64_t k) const { return std::hash<uint64_t>{}(k); }
  template <class B>
  size_t operator()(const CubeKey<B>& k) const {
    return static_cast<size_t>(Mix64(bits::HashWords(k.M) * 0x9e3779b97f4a7c15ULL ^ bits::HashWords(k.V)));
  }
};

template <class B>
struct CubeSet {
  std::vector<B> V, M;      // value (0 where free), mask of free inputs
  std::vector<uint64_t> T;  // tag words per cube
  size_t Size() const { return V.size(); }
};

template <class B>
class CubeSolver {
  using CubeSet = tavro::detail::CubeSet<B>;
  using CubeSetPtr = std::shared_ptr<const CubeSet>;
  static constexpr int kBits = static_cast<int>(sizeof(B) * 8);

 public:
  CubeSolver(int tagWords, MemoryMeter& meter, const TCubeFinderParams& params)
      : FWords(static_cast<size_t>(tagWords)),
        FMeter(meter),
        FStop(params.Stop),
        FBudget(params.Budget),
        FQuarterSpends(params.QuarterSpends),
        FProjectedMost(params.ProjectedMost),
        FProjectFrom(params.ProjectFrom),
        FStart(std::chrono::steady_clock::now()),
        FFloor(params.Floor) {}

  // The primes of the cover F, whose cubes use only the inputs in R; share:
  // the part of the whole split this is.
  CubeSetPtr Solve(CubeSet F, const B& R, double share = 1) {
    if (FStop && FStop->load(std::memory_order_relaxed)) throw StoppedError();
    const size_t tw = FWords;
    Spend(16 * (F.Size() + 1));
    Canonical(F);
    const size_t n = F.Size();
    if (n <= 1) {
      FSolved += share;
      return n == 0 ? Empty() : std::make_shared<CubeSet>(std::move(F));
    }

    Hash128 h{Mix64(bits::HashWords(R) + 0x51ed27), Mix64(n * 0x9e3779b97f4a7c15ULL)};
    for (size_t i = 0; i < n; ++i) {
      if constexpr (std::is_same_v<B, uint32_t>) {
        h.A = Mix64(h.A ^ ((static_cast<uint64_t>(F.M[i]) << 32) | F.V[i]));
      } else {
        for (size_t k = 0; k < sizeof(B) / 8; ++k)
          h.A = Mix64(h.A ^ bits::Word(F.M[i], k) ^ (bits::Word(F.V[i], k) * 0x9e3779b97f4a7c15ULL));
      }
      for (size_t k = 0; k < tw; ++k) h.B = Mix64(h.B ^ F.T[i * tw + k]) + h.A;
    }
    if (auto found = FMemo.find(h); found != FMemo.end()) {
      FSolved += share;
      return found->second;
    }

    // The input that the most cubes fix, preferring inputs fixed both ways.
    int* const zeros = FZeros.data();
    int* const ones = FOnes.data();
    std::fill(FZeros.begin(), FZeros.end(), 0);
    std::fill(FOnes.begin(), FOnes.end(), 0);
    for (size_t i = 0; i < n; ++i) {
      const B fixed = R & ~F.M[i];
      bits::ForEach(fixed & F.V[i], [&](int k) { ++ones[k]; });
      bits::ForEach(fixed & ~F.V[i], [&](int k) { ++zeros[k]; });
    }
    int best = -1;
    bool bestBinate = false;
    for (int k = 0; k < kBits; ++k) {
      if (zeros[k] + ones[k] == 0) continue;
      const bool binate = zeros[k] > 0 && ones[k] > 0;
      if (best < 0 || (binate && !bestBinate) ||
          (binate == bestBinate && zeros[k] + ones[k] > zeros[best] + ones[best])) {
        best = k;
        bestBinate = binate;
      }
    }
    // Canonical covers of two or more cubes differ somewhere.
    if (best < 0) throw InternalError("a cover of several cubes fixes no input");
    // A unate cover of one function (every input fixed one way only, every
    // cube with the same tags) holds all its primes: they are its cubes that
    // no other cube holds. Splitting it would go on for every input.
    if (!bestBinate && SameTags(F)) {
      Canonical(F, true);
      auto result = std::make_shared<CubeSet>(std::move(F));
      Raise(*result);
      Weigh(FBytes += ResultBytes(*result));
      FMemo.emplace(h, result);
      FSolved += share;
      return result;
    }
    const B bit = bits::One<B>(best);
    const bool noOnes = ones[best] == 0, noZeros = zeros[best] == 0;

    // The cofactors of F on x.
    CubeSet f0, f1;
    for (size_t i = 0; i < n; ++i) {
      const B v = F.V[i] & ~bit, m = F.M[i] & ~bit;
      const bool free = bits::Test(F.M[i], best), one = bits::Test(F.V[i], best);
      if (free || !one) Push(f0, v, m, &F.T[i * tw]);
      if (free || one) Push(f1, v, m, &F.T[i * tw]);
    }
    F = CubeSet();
    const B rest = R & ~bit;
    CubeSetPtr p0, p1, p2;
    if (noOnes) {
      // F1 holds only the cubes free in x, so F1 <= F0 and F2 = F1.
      p0 = Solve(std::move(f0), rest, share / 2);
      p1 = p2 = Solve(std::move(f1), rest, share / 2);
    } else if (noZeros) {
      p1 = Solve(std::move(f1), rest, share / 2);
      p0 = p2 = Solve(std::move(f0), rest, share / 2);
    } else {
      p0 = Solve(std::move(f0), rest, share / 2);
      p1 = Solve(std::move(f1), rest, share / 2);
      p2 = Intersections(*p0, *p1);
    }
    auto result = Combine(*p0, *p1, *p2, bit);
    Raise(*result);
    Weigh(FBytes += ResultBytes(*result));
    FMemo.emplace(h, result);
    return result;
  }

 private:
  // Memory: past the meter's limit the run stops; with a budget, a quarter
  // of that limit spends it unless the finder was asked to keep on.
  void Weigh(uint64_t bytes) {
    if (FBudget > 0 && FQuarterSpends && bytes > FMeter.Limit() / 4) throw CubeBudgetSpent(bytes);
    FMeter.Set(bytes);
  }

  // Raises the floor of the system's primes to the primes of a part (see the
  // top of the file) and passes it on when it grew.
  void Raise(const CubeSet& primes) {
    if (!FFloor) return;
    uint64_t covered = 0;
    for (size_t i = 0; i < primes.Size(); ++i) {
      uint64_t tags = 0;
      for (size_t k = 0; k < FWords; ++k) tags += static_cast<uint64_t>(std::popcount(primes.T[i * FWords + k]));
      const int free = bits::Count(primes.M[i]);
      covered = free >= 40 ? ~uint64_t{0} : std::min(~uint64_t{0} >> free, covered + (tags << free));
    }
    if (primes.Size() <= FSeen.Primes && covered <= FSeen.Covered) return;
    FSeen.Primes = std::max<uint64_t>(FSeen.Primes, primes.Size());
    FSeen.Covered = std::max(FSeen.Covered, covered);
    FFloor(FSeen);
  }

  // The memory a solved part keeps in the memo. Wide cubes count the
  // slack of their growing lists and the memo's node as well.
  uint64_t ResultBytes(const CubeSet& s) const {
    if constexpr (std::is_same_v<B, uint32_t>) return s.Size() * CubeBytes() + 96;
    else return s.Size() * CubeBytes() * 3 / 2 + 256;
  }

  // The memory of one cube of a set: value, mask and tags.
  uint64_t CubeBytes() const { return 2 * sizeof(B) + 8 * FWords; }

  // Counts work done; now and then checks the stop flag (a large step of
  // intersections runs for minutes) and the budget.
  void Spend(uint64_t work) {
    const uint64_t spent = FSpent.fetch_add(work, std::memory_order_relaxed) + work;
    uint64_t next = FNextCheck.load(std::memory_order_relaxed);
    if (spent < next ||
        !FNextCheck.compare_exchange_strong(next, spent + (uint64_t{1} << 18), std::memory_order_relaxed))
      return;
    if (FStop && FStop->load(std::memory_order_relaxed)) throw StoppedError();
    if (FBudget <= 0) return;
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
    if (elapsed > FBudget) throw CubeBudgetSpent();
    if (FProjectedMost > 0 && FSolved > 0 && elapsed >= FProjectFrom && elapsed > FSolved * FProjectedMost)
      throw CubeBudgetSpent();
  }

  void Push(CubeSet& s, const B& v, const B& m, const uint64_t* t) const {
    s.V.push_back(v);
    s.M.push_back(m);
    s.T.insert(s.T.end(), t, t + FWords);
  }

  bool SameTags(const CubeSet& s) const {
    for (size_t i = 1; i < s.Size(); ++i)
      if (!std::equal(&s.T[0], &s.T[0] + FWords, &s.T[i * FWords])) return false;
    return true;
  }

  bool TagsWithin(const uint64_t* a, const uint64_t* b) const {
    for (size_t k = 0; k < FWords; ++k)
      if (a[k] & ~b[k]) return false;
    return true;
  }

  // Sorts the cubes, joins cubes of one pattern (their tags together),
  // drops cubes without tags and cubes that another cube holds with all of
  // their tags. A cover keeps its contained cubes when looking for them
  // would cost more than they do (prime sets always drop them).
  void Canonical(CubeSet& s, bool primeSet = false) {
    const size_t tw = FWords, n = s.Size();
    // At its peak the set is held three times (as given, sorted and kept)
    // beside its order.
    Weigh(FBytes + n * (3 * CubeBytes() + sizeof(uint32_t)));
    // Larger cubes first, then by pattern (mask, value).
    std::vector<uint32_t> order(n);
    bool keyed = false;
    if constexpr (std::is_integral_v<B>) {
      // Cubes of up to 29 inputs (as narrow ones always are): one key of
      // the number of fixed inputs, the mask and the value.
      uint64_t used = 0;
      if constexpr (!std::is_same_v<B, uint32_t>)
        for (size_t i = 0; i < n; ++i) used |= s.M[i] | s.V[i];
      if (used < (uint64_t{1} << 29)) {
        keyed = true;
        std::vector<std::pair<uint64_t, uint32_t>> keys(n);
        for (size_t i = 0; i < n; ++i)
          keys[i] = {(static_cast<uint64_t>(32 - std::popcount(s.M[i])) << 58) | (static_cast<uint64_t>(s.M[i]) << 29) |
                         static_cast<uint64_t>(s.V[i]),
                     static_cast<uint32_t>(i)};
        std::sort(keys.begin(), keys.end());
        for (size_t i = 0; i < n; ++i) order[i] = keys[i].second;
      }
    }
    if (!keyed) {
      std::vector<int> freeCount(n);
      for (size_t i = 0; i < n; ++i) {
        freeCount[i] = bits::Count(s.M[i]);
        order[i] = static_cast<uint32_t>(i);
      }
      std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        if (freeCount[a] != freeCount[b]) return freeCount[a] > freeCount[b];
        if (!(s.M[a] == s.M[b])) return s.M[a] < s.M[b];
        if (!(s.V[a] == s.V[b])) return s.V[a] < s.V[b];
        return a < b;
      });
    }
    CubeSet out;
    out.V.reserve(n);
    out.M.reserve(n);
    out.T.reserve(n * tw);
    for (size_t i = 0; i < n;) {
      const B v = s.V[order[i]], m = s.M[order[i]];
      const size_t at = out.T.size();
      out.T.resize(at + tw, 0);
      uint64_t any = 0;
      for (; i < n && s.V[order[i]] == v && s.M[order[i]] == m; ++i)
        for (size_t k = 0; k < tw; ++k) any |= out.T[at + k] |= s.T[order[i] * tw + k];
      if (!any) {
        out.T.resize(at);
        continue;
      }
      out.V.push_back(v);
      out.M.push_back(m);
    }
    if (!primeSet && out.Size() > kContainLimit) {
      s = std::move(out);
      return;
    }
    // A cube can only lie in a cube at least as large, which comes earlier.
    CubeSet kept;
    kept.V.reserve(out.Size());
    kept.M.reserve(out.Size());
    kept.T.reserve(out.T.size());
    for (size_t i = 0; i < out.Size(); ++i) {
      Spend(kept.Size());
      const B v = out.V[i], m = out.M[i];
      const uint64_t* t = &out.T[i * tw];
      bool inside = false;
      for (size_t k0 = 0; k0 < kept.Size() && !inside; k0 += 64)
        for (uint64_t holds = MeetMask(v, B{}, m, &kept.V[k0], &kept.M[k0], std::min<size_t>(64, kept.Size() - k0));
             holds && !inside; holds &= holds - 1)
          inside = TagsWithin(t, &kept.T[(k0 + static_cast<size_t>(std::countr_zero(holds))) * tw]);
      if (!inside) Push(kept, v, m, t);
    }
    s = std::move(kept);
  }

  // The largest of the pairwise intersections (with the tags of both).
  CubeSetPtr Intersections(const CubeSet& a, const CubeSet& b) {
    // With a budget, a step that alone would outrun it at the rate so far
    // spends it at once (covers whose primes overlap in great numbers).
    if (FBudget > 0) {
      const double elapsed =
          std::max(1e-3, std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count());
      // The rate of one thread: a large step's containment sort does not
      // share out.
      const double rate = std::max(1e7, static_cast<double>(FSpent.load()) / elapsed / FThreads);
      if (elapsed + static_cast<double>(a.Size()) * static_cast<double>(b.Size()) / rate > FBudget)
        throw CubeBudgetSpent();
    }
    // Large steps are shared out among threads by rows of a; what they find
    // is put in order as a whole, the same whoever found it.
    const unsigned threads =
        ShareOut(static_cast<double>(a.Size()) * static_cast<double>(b.Size()), kThreadedPairs) ? FThreads : 1;
    std::vector<CubeSet> parts(threads);
    FPending = 0;
    RunOnThreads(threads, [&](unsigned k) {
      IntersectRows(a, b, a.Size() * k / threads, a.Size() * (k + 1) / threads, parts[k]);
    });
    CubeSet s = std::move(parts[0]);
    for (size_t k = 1; k < parts.size(); ++k) {
      s.V.insert(s.V.end(), parts[k].V.begin(), parts[k].V.end());
      s.M.insert(s.M.end(), parts[k].M.begin(), parts[k].M.end());
      s.T.insert(s.T.end(), parts[k].T.begin(), parts[k].T.end());
    }
    std::vector<CubeSet>().swap(parts);
    Canonical(s, true);
    return std::make_shared<CubeSet>(std::move(s));
  }

  // The intersections of a's cubes [i0, i1) with b's, equal ones joined.
  void IntersectRows(const CubeSet& a, const CubeSet& b, size_t i0, size_t i1, CubeSet& s) {
    const size_t tw = FWords;
    std::vector<uint64_t> t(tw);
    // Equal intersections are joined at once (their tags together), which
    // keeps the set to sort small.
    // Slots hold the hash of their cube's key (never ~0) and its index.
    std::vector<uint64_t> keys(1024, ~uint64_t{0});
    std::vector<uint32_t> slots(1024);
    const auto hashOf = [](const B& v, const B& m) {
      const uint64_t h = Mix64(CubeKeyHash{}(KeyOf(v, m)));
      return h == ~uint64_t{0} ? 0 : h;
    };
    auto add = [&](const B& v, const B& m) {
      uint64_t key;
      if constexpr (std::is_same_v<B, uint32_t>) key = KeyOf(v, m);
      else key = hashOf(v, m);
      if ((s.Size() + 1) * 2 > keys.size()) {
        std::vector<uint64_t> k2(keys.size() * 2, ~uint64_t{0});
        std::vector<uint32_t> s2(keys.size() * 2);
        for (size_t i = 0; i < keys.size(); ++i) {
          if (keys[i] == ~uint64_t{0}) continue;
          size_t at = Mix64(keys[i]) & (k2.size() - 1);
          while (k2[at] != ~uint64_t{0}) at = (at + 1) & (k2.size() - 1);
          k2[at] = keys[i];
          s2[at] = slots[i];
        }
        keys.swap(k2);
        slots.swap(s2);
      }
      size_t at = Mix64(key) & (keys.size() - 1);
      while (keys[at] != ~uint64_t{0}) {
        bool same = keys[at] == key;
        if constexpr (!std::is_same_v<B, uint32_t>) same = same && s.V[slots[at]] == v && s.M[slots[at]] == m;
        if (same) {
          uint64_t* into = &s.T[static_cast<size_t>(slots[at]) * tw];
          for (size_t k = 0; k < tw; ++k) into[k] |= t[k];
          return;
        }
        at = (at + 1) & (keys.size() - 1);
      }
      keys[at] = key;
      slots[at] = static_cast<uint32_t>(s.Size());
      Push(s, v, m, t.data());
      FPending.fetch_add(1, std::memory_order_relaxed);
      Spend(8);
    };
    for (size_t i = i0; i < i1; ++i) {
      const B va = a.V[i], ma = a.M[i];
      const uint64_t* ta = &a.T[i * tw];
      Spend(b.Size());
      for (size_t j0 = 0; j0 < b.Size(); j0 += 64) {
        for (uint64_t meet = MeetMask(va, ma, B{}, &b.V[j0], &b.M[j0], std::min<size_t>(64, b.Size() - j0)); meet;
             meet &= meet - 1) {
          const size_t j = j0 + static_cast<size_t>(std::countr_zero(meet));
          uint64_t any = 0;
          for (size_t k = 0; k < tw; ++k) any |= t[k] = ta[k] & b.T[j * tw + k];
          if (any) add(va | b.V[j], ma & b.M[j]);
        }
      }
      // All threads' intersections together, which are then joined into
      // one set.
      Weigh(FBytes + FPending.load(std::memory_order_relaxed) * CubeBytes() * 2);
    }
  }

  // The primes of F from those of F0, F1 and F2 (see SplitPrimes.cpp).
  std::shared_ptr<CubeSet> Combine(const CubeSet& p0, const CubeSet& p1, const CubeSet& p2, const B& bit) {
    const size_t tw = FWords;
    Spend(16 * (p0.Size() + p1.Size() + p2.Size()));
    std::unordered_map<decltype(KeyOf(B{}, B{})), uint32_t, CubeKeyHash> index;
    index.reserve(p2.Size() * 2);
    for (size_t i = 0; i < p2.Size(); ++i) index.emplace(KeyOf(p2.V[i], p2.M[i]), static_cast<uint32_t>(i));
    auto absorbed = [&](const CubeSet& s, size_t i) {
      const auto it = index.find(KeyOf(s.V[i], s.M[i]));
      return it != index.end() &&
             std::equal(&s.T[i * tw], &s.T[i * tw] + tw, &p2.T[static_cast<size_t>(it->second) * tw]);
    };
    auto result = std::make_shared<CubeSet>();
    for (size_t i = 0; i < p0.Size(); ++i)
      if (!absorbed(p0, i)) Push(*result, p0.V[i], p0.M[i], &p0.T[i * tw]);
    for (size_t i = 0; i < p1.Size(); ++i)
      if (!absorbed(p1, i)) Push(*result, p1.V[i] | bit, p1.M[i], &p1.T[i * tw]);
    for (size_t i = 0; i < p2.Size(); ++i) Push(*result, p2.V[i], p2.M[i] | bit, &p2.T[i * tw]);
    return result;
  }

  CubeSetPtr Empty() {
    static const CubeSetPtr empty = std::make_shared<CubeSet>();
    return empty;
  }

  static constexpr size_t kContainLimit = 256;
  // Intersection steps of this many pairs are shared out among threads.
  // (Solving the two halves of a cover side by side does not pay: they share
  // many parts, which both would solve.)
  static constexpr double kThreadedPairs = 1 << 21;

  size_t FWords;
  MemoryMeter& FMeter;
  const std::atomic<bool>* FStop;
  double FBudget;
  bool FQuarterSpends;
  double FProjectedMost, FProjectFrom;
  std::chrono::steady_clock::time_point FStart;
  unsigned FThreads = UsefulThreads(4);
  std::atomic<uint64_t> FSpent{0}, FNextCheck{0};
  double FSolved = 0;  // the share of the split solved (Solve)
  std::atomic<uint64_t> FBytes{0};
  std::atomic<uint64_t> FPending{0};  // intersections found by the step at work
  std::unordered_map<Hash128, CubeSetPtr, Hash128Hasher> FMemo;
  const PrimeFloorCheck& FFloor;
  TPrimeFloor FSeen;
  std::vector<int> FZeros = std::vector<int>(kBits), FOnes = std::vector<int>(kBits);
};

// A cover from the term lists: the listed rows with their tags, joined into
// aligned blocks of rows with equal tags.
CubeSet<uint32_t> CoverFromTerms(const std::vector<const TTermVector*>& functions, int width, int tw,
                                 MemoryMeter& meter) {
  size_t total = 0;
  for (const auto* f : functions) total += f->Terms().size();
  meter.Set(total * 8);
  std::vector<uint32_t> rows;
  std::vector<uint64_t> tags;
  ListedRows(functions, width, tw, rows, tags);
  const auto words = static_cast<size_t>(tw);
  // Blocks grow one input at a time from the lowest: two neighbouring
  // blocks of one size with equal tags become one.
  CubeSet<uint32_t> cover;
  std::vector<uint32_t> masks(rows.size(), 0);
  for (int k = 0; k < width; ++k) {
    const uint32_t bit = uint32_t{1} << k;
    size_t out = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
      const bool pair = i + 1 < rows.size() && (rows[i] & bit) == 0 && rows[i + 1] == (rows[i] | bit) &&
                        masks[i] == bit - 1 && masks[i + 1] == bit - 1 &&
                        std::equal(&tags[i * words], &tags[i * words] + words, &tags[(i + 1) * words]);
      rows[out] = rows[i];
      masks[out] = pair ? (masks[i] | bit) : masks[i];
      std::copy(&tags[i * words], &tags[i * words] + words, &tags[out * words]);
      ++out;
      if (pair) ++i;
    }
    rows.resize(out);
    masks.resize(out);
    tags.resize(out * words);
  }
  cover.V = std::move(rows);
  cover.M = std::move(masks);
  cover.T = std::move(tags);
  return cover;
}

// The finder with cubes held in B.
template <class B>
void TabulateCubesAs(const std::vector<const TTermVector*>& functions, int width, const TCover* source,
                     IEngineHost* host, TRunStats* stats, MemoryMeter& meter, TCover& primes,
                     const TCubeFinderParams& params) {
  const int fcount = source ? source->FunctionCount : static_cast<int>(functions.size());
  const int tw = (fcount + 63) / 64;
  CubeSet<B> cover;
  if (source) {
    for (size_t i = 0; i < source->Count(); ++i) {
      const B m = source->MaskAs<B>(i);
      cover.V.push_back(source->ValueAs<B>(i) & ~m);
      cover.M.push_back(m);
      cover.T.insert(cover.T.end(), source->Tags(i), source->Tags(i) + tw);
    }
  } else {
    const CubeSet<uint32_t> narrow = CoverFromTerms(functions, width, tw, meter);
    for (size_t i = 0; i < narrow.Size(); ++i) {
      cover.V.push_back(bits::FromWord<B>(narrow.V[i]));
      cover.M.push_back(bits::FromWord<B>(narrow.M[i]));
    }
    cover.T = narrow.T;
  }
  // The number of listed rows, for the figures.
  int64_t zeroCubes = 0;
  if (stats && source && width > kMaxTermInputs) {
    zeroCubes = -1;
  } else if (stats && source) {
    zeroCubes = CountFigure(CoveredCount(*source, -1, width));
  } else if (stats) {
    std::vector<uint64_t> seen((size_t{1} << width) / 64 + 1, 0);
    for (const auto* f : functions)
      for (int32_t t : f->Terms()) seen[static_cast<size_t>(t) >> 6] |= uint64_t{1} << (t & 63);
    for (uint64_t w : seen) zeroCubes += std::popcount(w);
  }

  // The status the tables would show first.
  if (host && params.StatusFirst) host->SetStatus("Generating zero cubes...");
  std::shared_ptr<const CubeSet<B>> found;
  {
    CubeSolver<B> solver(tw, meter, params);
    found = solver.Solve(std::move(cover), bits::Low<B>(width));
  }

  if (host && !params.StatusFirst) host->SetStatus("Generating zero cubes...");
  primes = TCover(width, fcount);
  primes.Reserve(found->Size());
  int deepest = 0;
  for (size_t i = 0; i < found->Size(); ++i) {
    primes.AddAs(found->V[i], found->M[i], found->T.data() + i * static_cast<size_t>(tw));
    deepest = std::max(deepest, bits::Count(found->M[i]));
  }
  // The pairing would make levels up to the largest prime and then one
  // empty level; say so in the same words.
  FinishPrimeList(primes, deepest, zeroCubes, host, stats);
}

}  // namespace

void TabulateCubes(const std::vector<const TTermVector*>& functions, int width, const TCover* source, IEngineHost* host,
                   TRunStats* stats, MemoryMeter& meter, TCover& primes, const TCubeFinderParams& params) {
  WithCubeBits(
      width,
      [&](auto b) { TabulateCubesAs<decltype(b)>(functions, width, source, host, stats, meter, primes, params); },
      params.Wide);
}

}  // namespace tavro::detail
