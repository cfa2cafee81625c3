// The greedy covers of one part of the chart, which start the minimum
// cover's search and stand where the search is cut short.

#include <algorithm>
#include <functional>
#include <numeric>
#include <span>

#include "engine/cover/CoverPart.h"
#include "model/Errors.h"

namespace tavro::detail {

namespace {

// One greedy cover of a part: the rule and its two queues, plain scores in
// buckets and weighted scores in a heap.
class PartGreedy {
 public:
  PartGreedy(const CoverPart& part, bool weighted, Watch& watch)
      : FPart(part), FWeighted(weighted), FWatch(watch), N(part.Row.size()) {}

  // Empty when a weighted cover gives up at the deadline.
  std::vector<uint8_t> Run() {
    if (!IndexRows()) return {};
    Score();
    if (FWeighted) FillHeap();
    else FillBuckets();
    if (!Cover()) return {};
    DropRedundant();
    return Chosen;
  }

 private:
  struct Entry {
    double Gain;
    int Literals;
    uint32_t Row;
  };

  const CoverPart& FPart;
  const bool FWeighted;
  Watch& FWatch;
  const size_t N;
  std::vector<size_t> RowStart;  // each row's columns, ascending, as slices of Cells
  std::vector<int> Cells;
  std::vector<uint8_t> Covered, Chosen;
  std::vector<double> Weight, Gain;
  std::vector<size_t> EveryRow;
  // Plain scores: buckets by (score, literals) of Width literal counts each,
  // the highest score not yet emptied at Level.
  size_t Width = 0, Level = 0;
  std::vector<std::vector<uint32_t>> Buckets;
  // Weighted scores.
  std::vector<Entry> Heap;
  std::vector<size_t> Near, Visit, Stale;
  static constexpr double kNear = 1e-9, kApart = 2e-9;

  std::span<const int> RowCols(size_t r) const {
    return std::span<const int>(Cells.data() + RowStart[r], RowStart[r + 1] - RowStart[r]);
  }

  // Each row's columns. False when a weighted cover gives up.
  bool IndexRows() {
    if (FWeighted && FWatch.Passed()) return false;
    RowStart.assign(N + 1, 0);
    for (const auto& rows : FPart.ColRows)
      for (int r : rows) ++RowStart[static_cast<size_t>(r) + 1];
    std::partial_sum(RowStart.begin(), RowStart.end(), RowStart.begin());
    Cells.resize(RowStart[N]);
    std::vector<size_t> fill(RowStart.begin(), RowStart.end() - 1);
    for (size_t c = 0; c < FPart.ColRows.size(); ++c) {
      for (int r : FPart.ColRows[c]) Cells[fill[static_cast<size_t>(r)]++] = static_cast<int>(c);
      if (FWatch.Spend(static_cast<int64_t>(FPart.ColRows[c].size())) && FWeighted) return false;
    }
    return true;
  }

  void Score() {
    Covered.assign(FPart.ColRows.size(), 0);
    Chosen.assign(N, 0);
    Weight.resize(FPart.ColRows.size());
    for (size_t c = 0; c < Weight.size(); ++c)
      Weight[c] = FWeighted ? 1.0 / static_cast<double>(FPart.ColRows[c].size()) : 1.0;
    Gain.assign(N, 0.0);
    for (size_t r = 0; r < N; ++r)
      for (int c : RowCols(r)) Gain[r] += Weight[static_cast<size_t>(c)];
  }

  bool Better(size_t r, size_t best) const {
    return Gain[r] > Gain[best] + 1e-12 || (Gain[r] >= Gain[best] - 1e-12 && FPart.Literals[r] < FPart.Literals[best]);
  }

  // The rule over the given rows, ascending.
  size_t Scan(const std::vector<size_t>& rows) const {
    size_t best = N;
    for (size_t r : rows) {
      if (Chosen[r] || Gain[r] <= 1e-12) continue;
      if (best == N || Better(r, best)) best = r;
    }
    return best;
  }

  // Plain scores are whole numbers: rows wait in buckets by (score,
  // literals), each a heap of rows, lowest first. A row's entry goes stale
  // as its score falls, and moves down when it is met; so the first fresh
  // row of the highest bucket, fewest literals first, is the rule's choice.
  void FillBuckets() {
    const int maxLiterals = N ? *std::max_element(FPart.Literals.begin(), FPart.Literals.end()) : 0;
    Width = static_cast<size_t>(maxLiterals) + 1;
    for (size_t r = 0; r < N; ++r) Level = std::max(Level, RowStart[r + 1] - RowStart[r]);
    Buckets.resize((Level + 1) * Width);
    for (size_t r = 0; r < N; ++r)  // ascending, so each bucket is a heap already
      if (Gain[r] > 0.5)
        Buckets[static_cast<size_t>(Gain[r]) * Width + static_cast<size_t>(FPart.Literals[r])].push_back(
            static_cast<uint32_t>(r));
  }

  size_t NextPlain() {
    for (; Level > 0; --Level)
      for (size_t lit = 0; lit < Width; ++lit) {
        auto& bucket = Buckets[Level * Width + lit];
        while (!bucket.empty()) {
          const uint32_t r = bucket.front();
          if (!Chosen[r] && Gain[r] == static_cast<double>(Level)) return r;
          std::pop_heap(bucket.begin(), bucket.end(), std::greater<>());
          bucket.pop_back();
          if (Chosen[r] || Gain[r] < 0.5) continue;
          auto& lower = Buckets[static_cast<size_t>(Gain[r]) * Width + lit];
          lower.push_back(r);
          std::push_heap(lower.begin(), lower.end(), std::greater<>());
        }
      }
    return N;
  }

  // Weighted scores: rows by (score desc, literals asc, row asc) in a heap
  // whose entries go stale as scores fall; an entry is refreshed when it
  // comes to the top. Rows whose scores differ from the top's by a rounding
  // error can be taken instead of it, so all rows near it are looked at.
  static bool Below(const Entry& a, const Entry& b) {
    if (a.Gain != b.Gain) return a.Gain < b.Gain;
    if (a.Literals != b.Literals) return a.Literals > b.Literals;
    return a.Row > b.Row;
  }

  void FillHeap() {
    for (size_t r = 0; r < N; ++r)
      if (Gain[r] > 1e-12) Heap.push_back({Gain[r], FPart.Literals[r], static_cast<uint32_t>(r)});
    std::make_heap(Heap.begin(), Heap.end(), Below);
  }

  // An entry whose score fell, moved down to its place.
  void Sink(size_t i) {
    const Entry e = Heap[i];
    for (size_t c = 2 * i + 1; c < Heap.size(); c = 2 * i + 1) {
      if (c + 1 < Heap.size() && Below(Heap[c], Heap[c + 1])) ++c;
      if (!Below(e, Heap[c])) break;
      Heap[i] = Heap[c];
      i = c;
    }
    Heap[i] = e;
  }

  // Refreshes stale entries at the top until a fresh one is there; false
  // when no row is left.
  bool FreshTop() {
    while (!Heap.empty()) {
      const Entry top = Heap.front();
      if (!Chosen[top.Row] && Gain[top.Row] == top.Gain) break;
      std::pop_heap(Heap.begin(), Heap.end(), Below);
      Heap.pop_back();
      if (!Chosen[top.Row] && Gain[top.Row] > 1e-12) {
        Heap.push_back({Gain[top.Row], top.Literals, top.Row});
        std::push_heap(Heap.begin(), Heap.end(), Below);
      }
    }
    return !Heap.empty();
  }

  // The rows scoring within kNear of the top into Near (an entry's score is
  // never below its row's, so a subtree whose root scores less holds none),
  // the least of their scores into least, and the stale entries seen into
  // Stale. False when a row scores just below them.
  bool CollectNear(double top, double& least) {
    Near.clear();
    Stale.clear();
    Visit.assign(1, 0);
    bool apart = true;
    while (!Visit.empty()) {
      const size_t i = Visit.back();
      Visit.pop_back();
      const uint32_t r = Heap[i].Row;
      if (!Chosen[r] && Gain[r] > 1e-12) {
        if (Gain[r] >= top - kNear) {
          Near.push_back(r);
          least = std::min(least, Gain[r]);
        } else if (Gain[r] >= top - kApart) {
          apart = false;
        }
      }
      if (Chosen[r] || Gain[r] != Heap[i].Gain) Stale.push_back(i);
      for (size_t c = 2 * i + 1; c <= 2 * i + 2; ++c)
        if (c < Heap.size() && Heap[c].Gain >= top - kApart) Visit.push_back(c);
    }
    return apart;
  }

  // Stale entries seen are refreshed (the deepest first, so that each moves
  // only within its own subtree), lest the next look see them again; rows
  // out of the running sink to the bottom.
  void RefreshStale() {
    std::sort(Stale.begin(), Stale.end(), std::greater<>());
    for (size_t i : Stale) {
      const uint32_t r = Heap[i].Row;
      Heap[i].Gain = Chosen[r] || Gain[r] <= 1e-12 ? -1.0 : Gain[r];
      Sink(i);
    }
  }

  // When the rows near the top all tie with each other, the rule takes the
  // one with fewest literals, the lowest of those (the top, if all score
  // the same); else the rule runs over them in order, which is the rule
  // over all rows as long as no row scores just below them (one could be
  // taken in a chain of near ties): then over all rows.
  size_t NextWeighted() {
    if (!FreshTop()) return N;
    const double top = Heap.front().Gain;
    size_t best = Heap.front().Row;
    double least = top;
    const bool apart = CollectNear(top, least);
    RefreshStale();
    FWatch.Spend(static_cast<int64_t>(Near.size() + Stale.size()));
    if (!apart) {
      FWatch.Spend(static_cast<int64_t>(N));
      EveryRow.resize(N);
      std::iota(EveryRow.begin(), EveryRow.end(), size_t{0});
      return Scan(EveryRow);
    }
    if (least >= top - 1e-12 && !(top > least + 1e-12)) {
      for (size_t r : Near)
        if (FPart.Literals[r] < FPart.Literals[best] || (FPart.Literals[r] == FPart.Literals[best] && r < best))
          best = r;
      return best;
    }
    std::sort(Near.begin(), Near.end());
    return Scan(Near);
  }

  // The rule's rows until every column is covered. False when a weighted
  // cover gives up.
  bool Cover() {
    size_t left = FPart.ColRows.size();
    while (left > 0) {
      const size_t best = FWeighted ? NextWeighted() : NextPlain();
      if (best == N) throw InternalError("a part of the chart cannot be covered");
      if (FWeighted && FWatch.Passed()) return false;
      Chosen[best] = 1;
      for (int c : RowCols(best)) {
        if (Covered[static_cast<size_t>(c)]) continue;
        Covered[static_cast<size_t>(c)] = 1;
        --left;
        for (int r : FPart.ColRows[static_cast<size_t>(c)])
          Gain[static_cast<size_t>(r)] -= Weight[static_cast<size_t>(c)];
        FWatch.Spend(static_cast<int64_t>(FPart.ColRows[static_cast<size_t>(c)].size()));
      }
    }
    return true;
  }

  // Chosen rows whose columns all have another chosen row go, those with
  // most literals first.
  void DropRedundant() {
    std::vector<int> times(FPart.ColRows.size(), 0);
    for (size_t r = 0; r < N; ++r)
      if (Chosen[r])
        for (int c : RowCols(r)) ++times[static_cast<size_t>(c)];
    std::vector<size_t> order;
    for (size_t r = 0; r < N; ++r)
      if (Chosen[r]) order.push_back(r);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return FPart.Literals[a] > FPart.Literals[b]; });
    for (size_t r : order) {
      bool redundant = true;
      for (int c : RowCols(r))
        if (times[static_cast<size_t>(c)] < 2) {
          redundant = false;
          break;
        }
      if (!redundant) continue;
      Chosen[r] = 0;
      for (int c : RowCols(r)) --times[static_cast<size_t>(c)];
    }
  }
};

}  // namespace

// A cover of a part, greedily: the row with the best score until all
// columns are covered, then rows that others make redundant are dropped,
// those with most literals first. A row scores the number of columns it
// would newly cover, or with weighted, the sum over them of one over the
// number of rows that could cover each (rare columns count more). Scores
// within 1e-12 of each other count as equal, the rows being looked at in
// ascending order: of two such, the later replaces the earlier when it has
// fewer literals (so ties go to fewer literals, then to the lower row).
// Stop ends it; past the deadline a weighted one gives up and returns
// nothing, while the plain one always finishes (it is what a search cut
// short falls back on).
std::vector<uint8_t> GreedyPartCover(const CoverPart& part, bool weighted, Watch& watch) {
  return PartGreedy(part, weighted, watch).Run();
}

}  // namespace tavro::detail
