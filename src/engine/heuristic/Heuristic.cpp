#include "engine/heuristic/Heuristic.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <numeric>
#include <set>
#include <tuple>

#include "engine/core/RunParams.h"
#include "engine/core/Threads.h"
#include "engine/heuristic/Unate.h"
#include "model/Errors.h"

namespace tavro {

using heuristic::TCubeList;
using heuristic::TSpace;

namespace {

using Clock = std::chrono::steady_clock;

// The expansion's search for cubes to take in: how many it lists, and of
// how many it judges what each would leave.
constexpr size_t kFeasibleMost = 256, kJudgedMost = 32;
// The most cubes the first expansion takes one function at a time.
constexpr size_t kUnwrapMost = 4096;
// Rounds past the fixed point that may find no fewer products before the
// minimizer stops (more find little more: on the benchmark PLAs a third of a
// percent fewer products for a fifth more time). A round that saves only
// literals or connections is kept but does not go on: on prom1 four such
// rounds doubled the time.
constexpr int kIdleRoundsMost = 1;
// The most cubes (of F and D) the expansion within the cover takes on: each
// test of a raise looks at all of them, so its time grows with their square
// (4096 cubes of 40 inputs: about a second).
constexpr size_t kWithinCoverMost = 4096;
// The most memory the off-set may take for the two starts of the descent to
// run side by side (each holds its own).
constexpr size_t kSideBySideOffSetBytes = size_t{64} << 20;
// Cube indices a pass of cover checks keeps (TNear): 64 MiB.
constexpr size_t kNearKeptMost = size_t{1} << 24;

// Products, then literals, then output connections: the fewer the better.
struct TCost {
  int64_t Products = 0, Literals = 0, Connections = 0;
  bool operator<(const TCost& o) const {
    return std::tie(Products, Literals, Connections) < std::tie(o.Products, o.Literals, o.Connections);
  }
};

// Cube i of cover in positional form, tags as outputs.
void Encode(const TCover& cover, size_t i, const TSpace& s, uint64_t* c) {
  std::fill(c, c + s.W, 0);
  for (int k = 0; k < s.Inputs; ++k) {
    const size_t bit = 2 * static_cast<size_t>(k);
    const uint64_t part = cover.FreeAt(i, k) ? 3u : cover.OneAt(i, k) ? 2u : 1u;
    c[bit >> 6] |= part << (bit & 63);
  }
  std::copy(cover.Tags(i), cover.Tags(i) + s.OW, c + s.IW);
}

TCubeList EncodeAll(const TCover* cover, const TSpace& s) {
  TCubeList list(s.W);
  if (!cover) return list;
  list.Reserve(cover->Count());
  for (size_t i = 0; i < cover->Count(); ++i) {
    uint64_t* c = list.Grow();
    Encode(*cover, i, s, c);
    if (s.OutputCount(c) == 0) list.Data().resize(list.Data().size() - s.W);
  }
  return list;
}

TCover Decode(const TCubeList& list, const TSpace& s) {
  TCover out(s.Inputs, s.Outputs);
  out.Reserve(list.Count());
  const size_t words = static_cast<size_t>(s.Inputs + 63) / 64;
  std::vector<uint64_t> value(words), mask(words);
  for (size_t i = 0; i < list.Count(); ++i) {
    std::fill(value.begin(), value.end(), 0);
    std::fill(mask.begin(), mask.end(), 0);
    for (int k = 0; k < s.Inputs; ++k) {
      const size_t bit = 2 * static_cast<size_t>(k);
      const uint64_t part = (list[i][bit >> 6] >> (bit & 63)) & 3u;
      const uint64_t one = uint64_t{1} << (k & 63);
      if (part == 3) mask[static_cast<size_t>(k) >> 6] |= one;
      else if (part == 2) value[static_cast<size_t>(k) >> 6] |= one;
    }
    out.AddWords(value.data(), mask.data(), list[i] + s.IW);
  }
  return out;
}

// The minimizer's state: the cover F, the don't cares D and the off-set R,
// all over one space.
class TMinimizer {
 public:
  TMinimizer(const TSpace& space, TCubeList on, TCubeList dontCares)
      : S(space), F(std::move(on)), D(std::move(dontCares)), R(space.W) {}

  const TSpace& S;
  TCubeList F, D, R;
  // Past it every step stops where it is (each stops with a valid cover:
  // a cube not yet expanded or reduced is still an implicant, and a cube
  // goes only where the ones that stay cover it).
  Clock::time_point Deadline = Clock::time_point::max();
  // No off-set: where the complement is too large, cubes expand within the
  // cover and D instead of against R (ExpandWithinCover).
  bool WithinCover = false;
  bool Late() const { return Deadline != Clock::time_point::max() && Clock::now() > Deadline; }
  std::set<std::vector<uint64_t>> Found;  // the primes made so far
  unsigned ReduceTurn() const { return FReduceTurn; }
  void SetReduceTurn(unsigned turn) { FReduceTurn = turn; }

  void Remember() {
    for (size_t i = 0; i < F.Count(); ++i) Found.emplace(F[i], F[i] + S.W);
  }

  TCost Cost() const {
    TCost c;
    c.Products = static_cast<int64_t>(F.Count());
    for (size_t i = 0; i < F.Count(); ++i) {
      c.Literals += S.Literals(F[i]);
      c.Connections += S.OutputCount(F[i]);
    }
    return c;
  }

  // R: per function, the complement of its cubes in F and D; cubes with the
  // same inputs in several functions are one.
  void MakeOffSet(uint64_t limit, uint64_t splits) {
    std::vector<std::pair<std::vector<uint64_t>, int>> parts;
    for (int j = 0; j < S.Outputs; ++j) {
      TCubeList mine(S.IW);
      for (const TCubeList* list : {&F, &D})
        for (size_t i = 0; i < list->Count(); ++i)
          if (S.HasOutput((*list)[i], j)) mine.Push((*list)[i]);
      const TCubeList off = heuristic::Complement(std::move(mine), S, &splits);
      for (size_t i = 0; i < off.Count(); ++i) parts.emplace_back(std::vector<uint64_t>(off[i], off[i] + S.IW), j);
      if (const uint64_t bytes = parts.size() * (S.IW * 8 + 48); bytes > limit) throw TooLargeError(bytes);
    }
    std::sort(parts.begin(), parts.end());
    R.Clear();
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i == 0 || parts[i].first != parts[i - 1].first) {
        uint64_t* c = R.Grow();
        std::fill(c, c + S.W, 0);
        std::copy(parts[i].first.begin(), parts[i].first.end(), c);
      }
      const int j = parts[i].second;
      R[R.Count() - 1][S.IW + (static_cast<size_t>(j) >> 6)] |= uint64_t{1} << (j & 63);
    }
  }

  // The cubes of F and D that met a cube when it was first checked, kept for the
  // checks after it in the same pass (F unchanged, fewer alive): a pass
  // then scans F once per cube instead of once per check.
  struct TNear {
    explicit TNear(size_t n) : Lists(n), Has(n, 0) {}
    std::vector<std::vector<uint32_t>> Lists;
    std::vector<char> Has;
    size_t Total = 0;
    const std::vector<uint32_t>* Of(size_t i) const { return Has[i] ? &Lists[i] : nullptr; }
    std::vector<uint32_t>* Fill(size_t i) {
      if (Total > kNearKeptMost) return nullptr;
      Has[i] = 1;
      return &Lists[i];
    }
    void Filled(size_t i) { Total += Lists[i].size(); }
  };

  // Whether cube c lies, in each of its functions (or only in function
  // `only`), within the cubes of F that are alive (all where alive is null)
  // other than `skip`, and D. from: where given, the only cubes to look at
  // (of F, and of D with kOfD set); gathered: where given, gets those that
  // meet c, so.
  static constexpr uint32_t kOfD = uint32_t{1} << 31;
  bool Covered(const uint64_t* c, const std::vector<char>* alive, size_t skip, int only = -1,
               const std::vector<uint32_t>* from = nullptr, std::vector<uint32_t>* gathered = nullptr) const {
    std::vector<const uint64_t*> near;
    const auto take = [&](uint32_t k) {
      const bool ofD = k & kOfD;
      const size_t i = k & ~kOfD;
      if (!ofD && (i == skip || (alive && !(*alive)[i]))) return;
      const uint64_t* g = ofD ? D[i] : F[i];
      if (!(only < 0 ? S.OutputsMeet(g, c) : S.HasOutput(g, only)) || !S.InputsMeet(g, c)) return;
      near.push_back(g);
      if (gathered) gathered->push_back(k);
    };
    if (from) {
      for (const uint32_t k : *from) take(k);
    } else {
      const auto nF = static_cast<uint32_t>(F.Count()), nD = static_cast<uint32_t>(D.Count());
      for (uint32_t i = 0; i < nF; ++i) take(i);
      for (uint32_t i = 0; i < nD; ++i) take(i | kOfD);
    }
    for (int j = 0; j < S.Outputs; ++j) {
      if (only >= 0 ? j != only : !S.HasOutput(c, j)) continue;
      TCubeList inside = Inside(near, c, j);
      if (!heuristic::Tautology(std::move(inside), S)) return false;
    }
    return true;
  }

  // Covered, the first time for cube i in a pass (keeping what met it), or
  // again (looking only at those). among: where given, the cubes (as from)
  // that the first time looks at, in place of all.
  bool CoveredKept(size_t i, const std::vector<char>* alive, TNear& near, int only = -1,
                   const std::vector<uint32_t>* among = nullptr) const {
    if (const auto* from = near.Of(i)) return Covered(F[i], alive, i, only, from);
    const bool covered = Covered(F[i], alive, i, only, among, near.Fill(i));
    near.Filled(i);
    return covered;
  }

  bool Unwraps(const TCubeList& given) const {
    if (S.Outputs < 2) return false;
    size_t total = 0;
    for (size_t i = 0; i < given.Count(); ++i) total += static_cast<size_t>(S.OutputCount(given[i]));
    return total <= kUnwrapMost && total != given.Count();
  }

  // Each cube of F split into one per function, so that the first
  // expansion chooses which functions each shares (not done where that
  // would make too many cubes).
  bool Unwrap(const TCubeList& given) {
    if (!Unwraps(given)) return false;
    size_t total = 0;
    for (size_t i = 0; i < given.Count(); ++i) total += static_cast<size_t>(S.OutputCount(given[i]));
    TCubeList split(S.W);
    split.Reserve(total);
    for (size_t i = 0; i < given.Count(); ++i)
      for (int j = 0; j < S.Outputs; ++j)
        if (S.HasOutput(given[i], j)) {
          uint64_t* c = split.Grow();
          std::copy(given[i], given[i] + S.IW, c);
          std::fill(c + S.IW, c + S.W, 0);
          c[S.IW + (static_cast<size_t>(j) >> 6)] |= uint64_t{1} << (j & 63);
        }
    F = std::move(split);
    return true;
  }

  // Every cube of F expanded to a prime against R, the largest first; cubes
  // an expanded one holds are dropped. inputsOnly: the functions of a cube
  // stay as they are.
  void Expand(bool inputsOnly) {
    if (WithinCover) {
      ExpandWithinCover(inputsOnly);
      return;
    }
    const size_t n = F.Count();
    const std::vector<size_t> order = LightestFirst();
    std::vector<char> alive(n, 1), done(n, 0);
    // The cubes alive and not yet expanded, by index (those that went are
    // dropped from it once they are many).
    std::vector<uint32_t> open(n), expanded;
    std::iota(open.begin(), open.end(), 0u);
    size_t gone = 0;
    for (const size_t i : order) {
      if (!alive[i]) continue;
      CheckStop();
      if (Late()) break;
      if (2 * gone > open.size()) {
        std::erase_if(open, [&](uint32_t j) { return !alive[j] || done[j]; });
        gone = 0;
      }
      ExpandCube(i, open, alive, done, inputsOnly);
      done[i] = 1;
      ++gone;
      for (const auto* list : {&open, &expanded})
        for (const uint32_t j : *list)
          if (j != i && alive[j] && S.Contains(F[i], F[j])) {
            alive[j] = 0;
            gone += list == &open;
          }
      expanded.push_back(static_cast<uint32_t>(i));
    }
    Keep(alive);
  }

  // Expand without R: each cube of F, the largest first, raised input by
  // input and then function by function where it stays within the cubes
  // of F and D (each test a tautology); cubes an expanded one holds are
  // dropped. A raise refused stays refused for the larger cube, so each
  // cube ends prime. Slower per cube than the expansion against R, and it
  // does not steer towards other cubes.
  void ExpandWithinCover(bool inputsOnly) {
    const size_t n = F.Count();
    const std::vector<size_t> order = LightestFirst();
    std::vector<char> alive(n, 1);
    std::vector<uint64_t> raised(S.W);
    constexpr size_t kNone = ~size_t{0};
    for (const size_t i : order) {
      if (!alive[i]) continue;
      CheckStop();
      if (Late()) break;
      uint64_t* c = F[i];
      for (size_t w = 0; w < S.IW; ++w)
        for (uint64_t lowered = ~c[w] & S.Used[w]; lowered; lowered &= lowered - 1) {
          std::copy(c, c + S.W, raised.begin());
          raised[w] |= lowered & (~lowered + 1);
          if (Covered(raised.data(), &alive, kNone)) c[w] = raised[w];
        }
      for (int j = 0; j < S.Outputs && !inputsOnly; ++j) {
        if (S.HasOutput(c, j)) continue;
        std::copy(c, c + S.W, raised.begin());
        raised[S.IW + (static_cast<size_t>(j) >> 6)] |= uint64_t{1} << (j & 63);
        if (Covered(raised.data(), &alive, kNone, j))
          c[S.IW + (static_cast<size_t>(j) >> 6)] = raised[S.IW + (static_cast<size_t>(j) >> 6)];
      }
      for (size_t k = 0; k < n; ++k)
        if (k != i && alive[k] && S.Contains(c, F[k])) alive[k] = 0;
    }
    Keep(alive);
  }

  // An irredundant cover: the cubes no others cover stay; of the rest, those
  // the former cover go, then the smallest first while others still cover
  // them.
  void Irredundant() {
    const size_t n = F.Count();
    std::vector<char> alive(n, 1), essential(n, 0);
    TNear near(n);
    for (size_t i = 0; i < n && !Late(); ++i) essential[i] = !CoveredKept(i, nullptr, near);
    std::vector<char> essentialOnly(essential);
    std::vector<size_t> partly;
    for (size_t i = 0; i < n; ++i) {
      if (essential[i]) continue;
      if (!Late() && CoveredKept(i, &essentialOnly, near)) alive[i] = 0;
      else partly.push_back(i);
    }
    std::stable_sort(partly.begin(), partly.end(), [&](size_t a, size_t b) { return SmallerFirst(a, b); });
    for (const size_t i : partly)
      if (!Late() && CoveredKept(i, &alive, near)) alive[i] = 0;
    Keep(alive);
  }

  // Each cube in turn made as small as the others (as they are by then) and
  // D allow, the largest first; a cube they cover goes.
  void Reduce() {
    const size_t n = F.Count();
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t{0});
    // In turn the largest first, the cubes in the most crowded parts of the
    // space first, and the smallest first.
    switch (FReduceTurn++ % 3) {
      case 0: {
        // The largest first, then the others by how near they lie to it
        // (the fewer inputs and functions apart, the sooner), the larger
        // first among equals.
        size_t largest = 0;
        for (size_t i = 1; i < n; ++i)
          if (SmallerFirst(largest, i)) largest = i;
        std::vector<std::pair<int, int>> key(n);
        for (size_t i = 0; i < n && n; ++i) key[i] = {Distance(F[largest], F[i]), S.Literals(F[i])};
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return key[a] < key[b]; });
        break;
      }
      case 1: {
        const auto weight = Weights();
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return weight[a] > weight[b]; });
        break;
      }
      default: std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return SmallerFirst(a, b); });
    }
    std::vector<char> alive(n, 1);
    for (const size_t i : order) {
      CheckStop();
      if (Late()) break;
      if (!ReduceCube(F[i], alive, i)) alive[i] = 0;
    }
    Keep(alive);
  }

  // Each cube reduced as far as the others, unreduced, allow; the reduced
  // cubes expanded again. Gives the cover with the new primes added, made
  // irredundant, where that is cheaper.
  bool LastGasp() {
    // (its reduced cubes expand apart from the cover, against R)
    if (WithinCover) return false;
    const TCost before = Cost();
    TCubeList reduced(S.W);
    std::vector<char> alive(F.Count(), 1);
    std::vector<uint64_t> c(S.W);
    for (size_t i = 0; i < F.Count(); ++i) {
      std::copy(F[i], F[i] + S.W, c.begin());
      if (ReduceCube(c.data(), alive, i) && !std::equal(c.begin(), c.end(), F[i])) reduced.Push(c.data());
    }
    if (reduced.Empty()) return false;
    TCubeList saved = F;
    F = std::move(reduced);
    Expand(false);
    Remember();
    TCubeList primes = std::move(F);
    F = saved;
    for (size_t i = 0; i < primes.Count(); ++i) {
      bool known = false;
      for (size_t k = 0; k < saved.Count() && !known; ++k) known = std::equal(primes[i], primes[i] + S.W, saved[k]);
      if (!known) F.Push(primes[i]);
    }
    Irredundant();
    if (Cost() < before) return true;
    F = std::move(saved);
    return false;
  }

  // Each function keeps the cubes it needs, and the cubes so freed grow in
  // their inputs, while that lowers the cost.
  void MakeSparse() {
    for (;;) {
      const TCost before = Cost();
      LowerOutputs();
      Expand(true);
      if (!(Cost() < before)) break;
    }
    Remember();
  }

  // Each function keeps only the cubes it needs (those no others of it and
  // its don't cares cover; then the smallest first while covered).
  void LowerOutputs() {
    const size_t n = F.Count();
    for (int j = 0; j < S.Outputs; ++j) {
      std::vector<char> in(n, 0);
      std::vector<size_t> members;
      for (size_t i = 0; i < n; ++i)
        if (S.HasOutput(F[i], j)) {
          in[i] = 1;
          members.push_back(i);
        }
      // Only the function's cubes can cover its part of another.
      std::vector<uint32_t> among(members.begin(), members.end());
      for (size_t i = 0; i < D.Count(); ++i)
        if (S.HasOutput(D[i], j)) among.push_back(static_cast<uint32_t>(i) | kOfD);
      std::vector<size_t> partly;
      TNear near(n);
      for (const size_t i : members)
        if (!Late() && CoveredKept(i, &in, near, j, &among)) partly.push_back(i);
      std::stable_sort(partly.begin(), partly.end(), [&](size_t a, size_t b) { return SmallerFirst(a, b); });
      for (const size_t i : partly)
        if (!Late() && CoveredKept(i, &in, near, j, &among)) {
          in[i] = 0;
          F[i][S.IW + (static_cast<size_t>(j) >> 6)] &= ~(uint64_t{1} << (j & 63));
        }
    }
    std::vector<char> alive(n);
    for (size_t i = 0; i < n; ++i) alive[i] = S.OutputCount(F[i]) > 0;
    Keep(alive);
  }

 private:
  unsigned FReduceTurn = 0;  // which order the next reduction takes (Reduce)

  // The cubes of F by weight (Weights), the lightest first.
  std::vector<size_t> LightestFirst() const {
    std::vector<size_t> order(F.Count());
    std::iota(order.begin(), order.end(), size_t{0});
    const auto weight = Weights();
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return weight[a] < weight[b]; });
    return order;
  }

  // Each cube's weight: over its bits, how many cubes of F have that bit.
  // Light cubes lie where few others are: they are expanded first, as the
  // hardest to cover.
  std::vector<uint64_t> Weights() const {
    std::vector<uint32_t> column(S.W * 64, 0);
    for (size_t i = 0; i < F.Count(); ++i)
      for (size_t w = 0; w < S.W; ++w)
        for (uint64_t b = F[i][w] & S.Used[w]; b; b &= b - 1)
          ++column[w * 64 + static_cast<size_t>(std::countr_zero(b))];
    std::vector<uint64_t> weight(F.Count(), 0);
    for (size_t i = 0; i < F.Count(); ++i)
      for (size_t w = 0; w < S.W; ++w)
        for (uint64_t b = F[i][w] & S.Used[w]; b; b &= b - 1)
          weight[i] += column[w * 64 + static_cast<size_t>(std::countr_zero(b))];
    return weight;
  }

  // The input parts of the cubes of near in function j, as seen inside
  // cube c (the inputs c fixes freed): c lies in function j within them
  // where they are a tautology.
  TCubeList Inside(const std::vector<const uint64_t*>& near, const uint64_t* c, int j) const {
    TCubeList inside(S.IW);
    for (const uint64_t* g : near)
      if (S.HasOutput(g, j)) {
        uint64_t* h = inside.Grow();
        for (size_t w = 0; w < S.IW; ++w) h[w] = g[w] | (~c[w] & S.Used[w]);
      }
    return inside;
  }

  // Inputs where cubes a and b part, and 1 more where they share no function.
  int Distance(const uint64_t* a, const uint64_t* b) const {
    int d = S.OutputsMeet(a, b) ? 0 : 1;
    for (size_t w = 0; w < S.IW; ++w) {
      const uint64_t x = a[w] & b[w];
      d += std::popcount(~(x | x >> 1) & heuristic::kEvenBits & S.Used[w]);
    }
    return d;
  }

  // Whether cube a is smaller than b: more literals, then fewer functions.
  bool SmallerFirst(size_t a, size_t b) const {
    return std::make_pair(-S.Literals(F[a]), S.OutputCount(F[a])) <
           std::make_pair(-S.Literals(F[b]), S.OutputCount(F[b]));
  }

  void Keep(const std::vector<char>& alive) {
    TCubeList kept(S.W);
    kept.Reserve(F.Count());
    for (size_t i = 0; i < F.Count(); ++i)
      if (alive[i]) kept.Push(F[i]);
    F = std::move(kept);
  }

  // c made the smallest cube holding what of it the alive cubes of F other
  // than skip, and D, leave uncovered; false where they cover it all.
  bool ReduceCube(uint64_t* c, const std::vector<char>& alive, size_t skip) const {
    std::vector<const uint64_t*> near;
    for (const TCubeList* list : {&F, &D})
      for (size_t i = 0; i < list->Count(); ++i) {
        if (list == &F && (i == skip || !alive[i])) continue;
        if (S.OutputsMeet((*list)[i], c) && S.InputsMeet((*list)[i], c)) near.push_back((*list)[i]);
      }
    std::vector<uint64_t> hull(S.IW, 0), outputs(S.OW, 0);
    bool any = false;
    for (int j = 0; j < S.Outputs; ++j) {
      if (!S.HasOutput(c, j)) continue;
      TCubeList inside = Inside(near, c, j);
      const auto part = heuristic::ComplementHull(std::move(inside), S);
      if (!part) continue;
      any = true;
      for (size_t w = 0; w < S.IW; ++w) hull[w] |= (*part)[w];
      outputs[static_cast<size_t>(j) >> 6] |= uint64_t{1} << (j & 63);
    }
    if (!any) return false;
    for (size_t w = 0; w < S.IW; ++w) c[w] &= hull[w];
    std::copy(outputs.begin(), outputs.end(), c + S.IW);
    return true;
  }

  // The bits of c that, raised, would take it into off-set cube r: the
  // other way of each input where they part (input words), and whether they
  // share no function.
  void Conflicts(const uint64_t* c, const uint64_t* r, uint64_t* bits, bool& outputs) const {
    for (size_t w = 0; w < S.IW; ++w) {
      const uint64_t x = c[w] & r[w];
      const uint64_t parted = ~(x | x >> 1) & kEven(w);
      bits[w] = r[w] & (parted | parted << 1);
    }
    outputs = !S.OutputsMeet(c, r);
  }
  uint64_t kEven(size_t w) const { return heuristic::kEvenBits & S.Used[w]; }

  // Raises cube i of F as far as R allows: first the bits no choice is left
  // about, then towards other cubes of F it can take in, then greedily the
  // bits that keep it apart from the most off-set cubes stay lowered.
  void ExpandCube(size_t i, const std::vector<uint32_t>& open, const std::vector<char>& alive,
                  const std::vector<char>& done, bool inputsOnly) {
    uint64_t* c = F[i];
    const size_t W = S.W, IW = S.IW;
    std::vector<uint64_t> kept(W, 0), bits(IW);
    // Raisable: lowered bits; the functions too unless inputsOnly.
    auto raisable = [&](size_t w) { return (w >= IW && inputsOnly) ? 0 : S.Used[w] & ~c[w] & ~kept[w]; };
    std::vector<uint32_t> rows(R.Count());
    std::iota(rows.begin(), rows.end(), 0u);
    // Row r stays apart once one of its partings is kept: an input bit in
    // kept, or its functions none of which can be raised.
    auto settle = [&]() {
      bool changed = true;
      if (W == 2) {
        // The same for a cube of one input word and one function word, the
        // common case, on the words themselves.
        const uint64_t even = S.Even0, used = S.Used[1];
        const uint64_t* base = R[0];
        while (changed) {
          changed = false;
          size_t out = 0;
          const uint64_t c0 = c[0], c1 = c[1];
          uint64_t k0 = kept[0], k1 = kept[1];
          uint64_t raisableOut = inputsOnly ? 0 : used & ~c1 & ~k1;
          for (const uint32_t r : rows) {
            const uint64_t* q = base + 2 * static_cast<size_t>(r);
            const uint64_t x = c0 & q[0];
            const uint64_t parted = ~(x | x >> 1) & even;
            const uint64_t b = q[0] & (parted | parted << 1);
            if (b & k0) continue;
            int live = std::popcount(b);
            const bool outputs = (c1 & q[1]) == 0;
            if (outputs) {
              if (!(q[1] & raisableOut)) continue;
              ++live;
            }
            if (live == 0) throw InternalError("the expansion met the off-set");
            if (live == 1) {
              if (outputs) {
                k1 |= q[1] & used & ~c1;
                raisableOut = inputsOnly ? 0 : used & ~c1 & ~k1;
              } else {
                k0 |= b;
              }
              changed = true;
              continue;
            }
            rows[out++] = r;
          }
          kept[0] = k0;
          kept[1] = k1;
          rows.resize(out);
        }
        return;
      }
      while (changed) {
        changed = false;
        size_t out = 0;
        for (const uint32_t r : rows) {
          bool outputs = false;
          Conflicts(c, R[r], bits.data(), outputs);
          int live = 0;
          bool held = false;
          for (size_t w = 0; w < IW; ++w) {
            held = held || (bits[w] & kept[w]);
            live += std::popcount(bits[w]);
          }
          if (outputs) {
            bool raisableOut = false;
            for (size_t w = IW; w < W; ++w) raisableOut = raisableOut || (R[r][w] & raisable(w));
            if (!raisableOut) held = true;
            else ++live;
          }
          if (held) continue;
          if (live == 0) throw InternalError("the expansion met the off-set");
          if (live == 1) {
            if (outputs) {
              for (size_t w = IW; w < W; ++w) kept[w] |= R[r][w] & S.Used[w] & ~c[w];
            } else {
              for (size_t w = 0; w < IW; ++w) kept[w] |= bits[w];
            }
            changed = true;
            continue;
          }
          rows[out++] = r;
        }
        rows.resize(out);
      }
    };
    settle();
    // Towards other cubes of F: among those it can take in whole, the one
    // after which the most of the others still can (judged by the bits the
    // rows would then hold lowered).
    std::vector<uint64_t> joined(W), lower(W);
    auto needs = [&](size_t j, const uint64_t* from, bool& grows) {
      bool inFree = true;
      grows = false;
      for (size_t w = 0; w < W && inFree; ++w) {
        const uint64_t more = F[j][w] & ~from[w];
        grows = grows || more;
        inFree = (more & ~raisable(w)) == 0;
      }
      return inFree;
    };
    // The cubes within reach (each only raisable bits away, not yet inside
    // c), in index order. c and the bits kept lowered only grow, so a cube
    // out of reach, or one that would meet a row, stays so: both lists are
    // only thinned.
    std::vector<uint32_t> reach;
    for (const uint32_t j : open) {
      bool grows = false;
      if (j != i && alive[j] && !done[j] && needs(j, c, grows) && grows) reach.push_back(j);
    }
    auto thin = [&](std::vector<uint32_t>& list) {
      std::erase_if(list, [&](uint32_t j) {
        bool grows = false;
        return !needs(j, c, grows) || !grows;
      });
    };
    std::vector<uint32_t> takeable = reach;
    for (;;) {
      std::vector<size_t> feasible;
      size_t out = 0, k = 0;
      for (; k < takeable.size() && feasible.size() < kFeasibleMost; ++k) {
        const uint32_t j = takeable[k];
        bool grows = false;
        if (!needs(j, c, grows) || !grows) continue;
        for (size_t w = 0; w < W; ++w) joined[w] = c[w] | F[j][w];
        bool apart = true;
        for (size_t r = 0; r < rows.size() && apart; ++r) apart = !S.Meet(joined.data(), R[rows[r]]);
        if (!apart) continue;
        feasible.push_back(j);
        takeable[out++] = j;
      }
      takeable.erase(takeable.begin() + static_cast<std::ptrdiff_t>(out),
                     takeable.begin() + static_cast<std::ptrdiff_t>(k));
      if (feasible.empty()) break;
      size_t best = feasible[0];
      int bestLeft = -1;
      for (size_t p = 0; p < feasible.size() && feasible.size() > 1 && p < kJudgedMost; ++p) {
        for (size_t w = 0; w < W; ++w) joined[w] = c[w] | F[feasible[p]][w];
        std::fill(lower.begin(), lower.end(), 0);
        for (const uint32_t r : rows) {
          bool outputs = false;
          Conflicts(joined.data(), R[r], bits.data(), outputs);
          int live = 0;
          for (size_t w = 0; w < IW; ++w) live += std::popcount(bits[w]);
          if (live > 1) continue;
          if (outputs) {
            if (live == 0)
              for (size_t w = IW; w < W; ++w) lower[w] |= R[r][w] & S.Used[w] & ~joined[w];
          } else if (live == 1) {
            for (size_t w = 0; w < IW; ++w) lower[w] |= bits[w];
          }
        }
        int left = 0;
        for (const size_t q : feasible) {
          if (q == feasible[p]) continue;
          bool blocked = false;
          for (size_t w = 0; w < W && !blocked; ++w) blocked = (F[q][w] & ~joined[w] & lower[w]) != 0;
          left += !blocked;
        }
        if (left > bestLeft) {
          bestLeft = left;
          best = feasible[p];
        }
      }
      for (size_t w = 0; w < W; ++w) c[w] |= F[best][w];
      settle();
    }
    // Then, while some cube of F lies within reach, the bit most of them
    // need (every row keeps two partings, so any one bit may rise).
    std::vector<uint32_t> wanted(W * 64);
    for (;;) {
      std::fill(wanted.begin(), wanted.end(), 0);
      thin(reach);
      const bool any = !reach.empty();
      for (const uint32_t j : reach) {
        for (size_t w = 0; w < W; ++w)
          for (uint64_t b = F[j][w] & ~c[w]; b; b &= b - 1) ++wanted[w * 64 + static_cast<size_t>(std::countr_zero(b))];
      }
      if (!any) break;
      const size_t top = static_cast<size_t>(std::max_element(wanted.begin(), wanted.end()) - wanted.begin());
      c[top >> 6] |= uint64_t{1} << (top & 63);
      settle();
    }
    // Each row left keeps one parting lowered, greedily: the bit that most
    // rows keep apart, where a row apart in its functions counts once for
    // each function it could still meet c in (it needs all of them kept).
    std::vector<uint64_t> count(W * 64);
    std::vector<uint64_t> live(W);
    while (!rows.empty()) {
      std::fill(count.begin(), count.end(), 0);
      for (const uint32_t r : rows) {
        bool outputs = false;
        Conflicts(c, R[r], bits.data(), outputs);
        uint64_t weight = 1;
        if (outputs) {
          weight = 0;
          for (size_t w = IW; w < W; ++w) {
            live[w] = R[r][w] & raisable(w);
            weight += static_cast<uint64_t>(std::popcount(live[w]));
            for (uint64_t b = live[w]; b; b &= b - 1) ++count[w * 64 + static_cast<size_t>(std::countr_zero(b))];
          }
        }
        for (size_t w = 0; w < IW; ++w)
          for (uint64_t b = bits[w]; b; b &= b - 1) count[w * 64 + static_cast<size_t>(std::countr_zero(b))] += weight;
      }
      const size_t top = static_cast<size_t>(std::max_element(count.begin(), count.end()) - count.begin());
      kept[top >> 6] |= uint64_t{1} << (top & 63);
      settle();
    }
    for (size_t w = 0; w < W; ++w) c[w] |= raisable(w);
  }
};

}  // namespace

int64_t Connections(const TCover& cover) {
  int64_t n = 0;
  for (size_t i = 0; i < cover.Count(); ++i)
    for (int w = 0; w < cover.TagWords; ++w) n += std::popcount(cover.Tags(i)[w]);
  return n;
}

namespace {

// From the cover in m.F to a fixed point: expand and irredundant cover,
// reduce-expand-irredundant rounds while the cost falls, a last gasp where
// they stop, then the output connections lowered.
void Descend(TMinimizer& m, const std::function<bool()>& outOfTime, THeuristicStats& st, bool first) {
  m.Expand(false);
  m.Remember();
  m.Irredundant();
  if (first) st.FirstProducts = static_cast<int64_t>(m.F.Count());
  // (Within the cover each reduction costs many complements: one pass.)
  for (; !m.WithinCover;) {
    for (;;) {
      if (outOfTime()) break;
      const TCost before = m.Cost();
      TCubeList saved = m.F;
      m.Reduce();
      m.Expand(false);
      m.Remember();
      m.Irredundant();
      ++st.Rounds;
      if (!(m.Cost() < before)) {
        if (before < m.Cost()) m.F = std::move(saved);
        break;
      }
    }
    if (outOfTime() || !m.LastGasp()) break;
  }
  m.MakeSparse();
}

}  // namespace

THeuristicResult MinimizeHeuristic(const TCover& on, const TCover* dontCares, const THeuristicParams& params,
                                   THeuristicStats* stats) {
  const auto start = Clock::now();
  const TSpace space(on.Width, on.FunctionCount);
  const uint64_t inputBytes = (on.Count() + (dontCares ? dontCares->Count() : 0)) * space.W * 8;
  if (inputBytes > params.MaxMemoryBytes) throw TooLargeError(inputBytes);
  TMinimizer m(space, EncodeAll(&on, space), EncodeAll(dontCares, space));
  try {
    m.MakeOffSet(params.MaxMemoryBytes, params.ComplementSplits);
  } catch (const heuristic::ComplementTooLarge&) {
    if (!params.WithinCover || m.F.Count() + m.D.Count() > kWithinCoverMost) throw OffSetTooLarge();
    m.R.Clear();
    m.WithinCover = true;
  }
  THeuristicStats own;
  THeuristicStats& st = stats ? *stats : own;
  st.OffSetCubes = static_cast<int64_t>(m.R.Count());
  if (params.TimeLimitSeconds > 0)
    m.Deadline =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(params.TimeLimitSeconds));
  const std::function<bool()> outOfTime = [&]() {
    if (!m.Late()) return false;
    st.TimeLimitReached = true;
    return true;
  };
  // Twice where the functions share cubes and splitting them is cheap: as
  // given, and one function per cube (the first expansion then chooses
  // which functions each cube shares). The cheaper cover is kept.
  // The two are independent: where a second processor is free and R small
  // enough to hold twice, they descend side by side (each then starts its
  // reductions from the first order, and each keeps its own primes found).
  const TCubeList given = m.F;
  const bool twice = !m.WithinCover && m.Unwraps(given);
  if (twice && params.SideBySide && m.R.Data().size() * 8 <= kSideBySideOffSetBytes && detail::UsefulThreads(2) > 1) {
    TMinimizer other = m;
    other.Unwrap(given);
    THeuristicStats otherStats;
    const std::function<bool()> otherOutOfTime = [&]() {
      if (!other.Late()) return false;
      otherStats.TimeLimitReached = true;
      return true;
    };
    detail::RunOnThreads(2, [&](unsigned k) {
      if (k == 0) Descend(m, outOfTime, st, true);
      else Descend(other, otherOutOfTime, otherStats, false);
    });
    st.Rounds += otherStats.Rounds;
    st.TimeLimitReached = st.TimeLimitReached || otherStats.TimeLimitReached;
    m.Found.merge(other.Found);
    if (other.Cost() < m.Cost()) m.F = std::move(other.F);
  } else {
    Descend(m, outOfTime, st, true);
    const TCost firstCost = m.Cost();
    TCubeList first = std::move(m.F);
    if (twice && m.Unwrap(given) && !outOfTime()) {
      // From the first order of reductions, as side by side, so that the
      // cover does not hang on the processors free.
      const unsigned turn = m.ReduceTurn();
      m.SetReduceTurn(0);
      Descend(m, outOfTime, st, false);
      m.SetReduceTurn(turn);
      if (!(m.Cost() < firstCost)) m.F = std::move(first);
    } else {
      m.F = std::move(first);
    }
  }
  // Rounds to spare: from the cheapest cover so far, reduce (in the next
  // order), expand, irredundant cover and a last gasp again, until a few
  // rounds in a row find no fewer products.
  TCubeList best = m.F;
  TCost bestCost = m.Cost();
  for (int idle = 0; idle < kIdleRoundsMost && !m.WithinCover && !outOfTime();) {
    m.Reduce();
    m.Expand(false);
    m.Remember();
    m.Irredundant();
    m.LastGasp();
    m.MakeSparse();
    ++st.Rounds;
    const TCost cost = m.Cost();
    idle = cost.Products < bestCost.Products ? 0 : idle + 1;
    if (cost < bestCost) {
      best = m.F;
      bestCost = cost;
    }
  }
  m.F = std::move(best);
  THeuristicResult result;
  result.Cover = Decode(m.F, space);
  TCubeList found(space.W);
  for (const auto& c : m.Found) found.Push(c.data());
  result.Found = Decode(found, space);
  return result;
}

TCover LowerConnections(const TCover& cover, const TCover* dontCares) {
  const TSpace space(cover.Width, cover.FunctionCount);
  TMinimizer m(space, EncodeAll(&cover, space), EncodeAll(dontCares, space));
  m.LowerOutputs();
  return Decode(m.F, space);
}

}  // namespace tavro
