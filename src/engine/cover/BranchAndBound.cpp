// Exact cover of one part of the chart by branch and bound over bit sets.
//
// A node is the set of rows still allowed and the set of columns still to
// cover. Each node is first reduced by the search's reductions (essential
// rows, dominated rows and columns: Reductions.h). Then the columns that
// pairwise share no row each need a row of their own: that many rows, with
// at least their cheapest literals, bound the node, and Lagrangian
// multipliers on the columns bound it closer and rule out rows. The search
// branches two ways on one row of those columns: a child with the row taken,
// then the node again with the row barred.
//
// Costs compare by rows first, then literals, so the first cover found that
// nothing beats is the fewest products with the fewest literals among them.

#include <algorithm>
#include <bit>
#include <cmath>

#include "engine/cover/BranchAndBound.h"
#include "engine/cover/Reductions.h"

namespace tavro::detail {

namespace {

using Word = uint64_t;
using Clock = std::chrono::steady_clock;
constexpr int64_t kRowCost = int64_t{1} << 32;
constexpr int64_t kLiteralWork = int64_t{1} << 16;
// Work between two looks at the clock within a node (a node of a large part
// can take long).
constexpr int64_t kPollWork = int64_t{1} << 12;

class Brancher {
 public:
  Brancher(const CoverPart& part, const BranchParams& params, BranchStats& stats) : FParams(params), FStats(stats) {
    N = part.Row.size();
    M = part.ColRows.size();
    RW = (N + 63) / 64;
    CW = (M + 63) / 64;
    RowBits.assign(N * CW, 0);
    ColBits.assign(M * RW, 0);
    for (size_t c = 0; c < M; ++c)
      for (int r : part.ColRows[c]) {
        const auto row = static_cast<size_t>(r);
        ColBits[c * RW + row / 64] |= Word{1} << (row % 64);
        RowBits[row * CW + c / 64] |= Word{1} << (c % 64);
      }
    Lit.assign(part.Literals.begin(), part.Literals.end());
    ColCount.assign(M, 0);
    RowCount.assign(N, 0);
    MinLit.assign(M, 0);
    Reduced.assign(N, 0.0);
    NextPoll = Clock::now();
  }

  std::vector<uint8_t> Run(const std::vector<uint8_t>& start) {
    Budget = FParams.WorkBudget;
    for (size_t r = 0; r < N; ++r)
      if (start[r]) Best.push_back(static_cast<uint32_t>(r));
    // First the fewest rows, whatever their literals; then, with that many
    // rows, the fewest literals.
    for (bool literals : {false, true}) {
      Literals = literals;
      if (literals) ImproveBest();
      Floor = 0;
      BestCost = 0;
      for (uint32_t r : Best) BestCost += Cost(r);
      std::vector<Word> rows(RW, ~Word{0}), cols(CW, ~Word{0});
      if (N % 64) rows.back() = (Word{1} << (N % 64)) - 1;
      if (M % 64) cols.back() = (Word{1} << (M % 64)) - 1;
      Search(std::move(rows), std::move(cols), std::vector<double>(2 * M, 0.0), true);
      if (!Abort && !literals) {
        FStats.ProductsFinished = true;
        // The literals come second: their pass may spend a quarter of the
        // work the rows took, and a little more, within a sixteenth of the
        // budget. Measured on the benchmarks, it finds its best cover early
        // and spends the rest proving it; a proof costs as much again.
        Budget = FStats.Work + std::min(FParams.WorkBudget / 16, FStats.Work / 4 + kLiteralWork);
      }
      if (Abort) break;
      RootBound = BestCost / kRowCost;
    }
    FStats.Finished = !Abort;
    FStats.LowerBound = RootBound;
    std::vector<uint8_t> chosen(N, 0);
    for (uint32_t r : Best) chosen[r] = 1;
    return chosen;
  }

 private:
  const BranchParams& FParams;
  BranchStats& FStats;
  size_t N = 0, M = 0, RW = 0, CW = 0;
  std::vector<Word> RowBits, ColBits;  // columns of each row, rows of each column
  std::vector<int> Lit;
  std::vector<int> ColCount, RowCount, MinLit;  // scratch of the node being reduced
  std::vector<uint32_t> Chosen, Best;
  int64_t ChosenCost = 0, BestCost = 0, RootBound = 0;
  int64_t Floor = 0;  // the root's bound: a cover this cheap ends the search
  int64_t LastBound = 0;
  std::vector<double> Reduced;  // each row's reduced cost at the last bound
  bool Literals = false;        // the second pass, which counts literals
  bool Abort = false;
  int64_t Budget = 0;
  Clock::time_point NextPoll;
  int64_t NextPollWork = kPollWork;

  struct Bound {
    int64_t Rows = 0, Cost = 0;  // rows needed; with the cost of the cheapest
    std::vector<Word> Used;      // rows of the independent columns
    uint32_t Rarest = 0;         // a column with fewest rows
  };

  int64_t Cost(size_t r) const { return kRowCost + (Literals ? Lit[r] : 0); }
  const Word* RowSet(size_t r) const { return RowBits.data() + r * CW; }
  const Word* ColSet(size_t c) const { return ColBits.data() + c * RW; }
  static bool Has(const std::vector<Word>& s, size_t i) { return (s[i / 64] >> (i % 64)) & 1; }
  static void Drop(std::vector<Word>& s, size_t i) { s[i / 64] &= ~(Word{1} << (i % 64)); }
  static bool Empty(const std::vector<Word>& s) {
    return std::all_of(s.begin(), s.end(), [](Word w) { return w == 0; });
  }
  static int CountAnd(const Word* a, const std::vector<Word>& b) {
    int n = 0;
    for (size_t k = 0; k < b.size(); ++k) n += std::popcount(a[k] & b[k]);
    return n;
  }
  // a ∩ live ⊆ b
  static bool SubsetWithin(const Word* a, const Word* b, const std::vector<Word>& live) {
    for (size_t k = 0; k < live.size(); ++k)
      if (a[k] & live[k] & ~b[k]) return false;
    return true;
  }
  // Calls f(i) for each i in a ∩ live, ascending.
  template <typename F>
  static void ForEach(const Word* a, const std::vector<Word>& live, F&& f) {
    for (size_t k = 0; k < live.size(); ++k)
      for (Word w = a[k] & live[k]; w; w &= w - 1) f(k * 64 + static_cast<size_t>(std::countr_zero(w)));
  }
  template <typename F>
  static void ForEach(const std::vector<Word>& s, F&& f) {
    for (size_t k = 0; k < s.size(); ++k)
      for (Word w = s[k]; w; w &= w - 1) f(k * 64 + static_cast<size_t>(std::countr_zero(w)));
  }

  void Take(size_t r, std::vector<Word>& rows, std::vector<Word>& cols) {
    Chosen.push_back(static_cast<uint32_t>(r));
    ChosenCost += Cost(r);
    const Word* set = RowSet(r);
    for (size_t k = 0; k < CW; ++k) cols[k] &= ~set[k];
    Drop(rows, r);
    FStats.Work += static_cast<int64_t>(CW);
  }

  // Polls once every kPollWork of work; true when the search is to end.
  bool Late() {
    if (FStats.Work >= NextPollWork) {
      NextPollWork = FStats.Work + kPollWork;
      Poll();
    }
    return Abort;
  }

  void Poll() {
    if (FParams.StopRequested && FParams.StopRequested()) {
      FStats.Stopped = true;
      Abort = true;
      return;
    }
    const auto now = Clock::now();
    if (now >= FParams.Deadline) {
      FStats.TimedOut = true;
      Abort = true;
      return;
    }
    if (FParams.Progress && now >= NextPoll) {
      NextPoll = now + std::chrono::milliseconds(250);
      FParams.Progress(BestCost / kRowCost, RootBound);
    }
  }

  // Applies the reductions until none applies. False when the node holds no
  // cover, or none cheaper than the best.
  bool Reduce(std::vector<Word>& rows, std::vector<Word>& cols) {
    for (;;) {
      if (Late()) return false;
      bool changed = false;
      if (!TakeEssentialRows(rows, cols, changed)) return false;
      if (Empty(cols)) return true;
      ForEach(cols, [&](size_t c) { ColCount[c] = CountAnd(ColSet(c), rows); });
      ForEach(rows, [&](size_t r) {
        RowCount[r] = CountAnd(RowSet(r), cols);
        if (RowCount[r] == 0) Drop(rows, r);
      });
      FStats.Work += static_cast<int64_t>(M * RW + N * CW) / 8;
      changed |= DropDominatedRows(rows, cols);
      ForEach(cols, [&](size_t c) { ColCount[c] = CountAnd(ColSet(c), rows); });
      changed |= DropDominatedColumns(rows, cols);
      if (!changed) return true;
    }
  }

  // Essential rows; sets changed when one was taken. False when a column
  // has no row left, or the rows taken cost as much as the best cover.
  bool TakeEssentialRows(std::vector<Word>& rows, std::vector<Word>& cols, bool& changed) {
    for (size_t k = 0; k < CW; ++k)
      for (Word w = cols[k]; w; w &= w - 1) {
        const size_t c = k * 64 + static_cast<size_t>(std::countr_zero(w));
        if (!Has(cols, c)) continue;
        const int n = CountAnd(ColSet(c), rows);
        FStats.Work += static_cast<int64_t>(RW);
        if (n == 0) return false;
        if (n == 1) {
          size_t only = 0;
          ForEach(ColSet(c), rows, [&](size_t r) { only = r; });
          Take(only, rows, cols);
          if (ChosenCost >= BestCost) return false;
          changed = true;
        }
      }
    return true;
  }

  // Dominated rows, by the counts of the node's cells (the first pass
  // counts no literals); true when any went.
  bool DropDominatedRows(std::vector<Word>& rows, const std::vector<Word>& cols) {
    bool changed = false;
    ForEach(std::vector<Word>(rows), [&](size_t p) {
      size_t rarest = M;
      ForEach(RowSet(p), cols, [&](size_t c) {
        if (rarest == M || ColCount[c] < ColCount[rarest]) rarest = c;
      });
      bool dominated = false;
      ForEach(ColSet(rarest), rows, [&](size_t r) {
        const int lp = Literals ? Lit[p] : 0, lr = Literals ? Lit[r] : 0;
        if (dominated || !RowMayDominate(r, RowCount[r], lr, p, RowCount[p], lp)) return;
        FStats.Work += static_cast<int64_t>(CW);
        dominated = SubsetWithin(RowSet(p), RowSet(r), cols);
      });
      if (dominated) {
        Drop(rows, p);
        changed = true;
      }
    });
    return changed;
  }

  // Dominated columns; true when any went.
  bool DropDominatedColumns(const std::vector<Word>& rows, std::vector<Word>& cols) {
    bool changed = false;
    ForEach(std::vector<Word>(cols), [&](size_t d) {
      size_t thinnest = N;
      ForEach(ColSet(d), rows, [&](size_t r) {
        if (thinnest == N || RowCount[r] < RowCount[thinnest]) thinnest = r;
      });
      bool dominated = false;
      ForEach(RowSet(thinnest), cols, [&](size_t c) {
        if (dominated || !ColumnMayDominate(c, ColCount[c], d, ColCount[d])) return;
        FStats.Work += static_cast<int64_t>(RW);
        dominated = SubsetWithin(ColSet(c), ColSet(d), rows);
      });
      if (dominated) {
        Drop(cols, d);
        changed = true;
      }
    });
    return changed;
  }

  // Counts a node; false when the search is to end.
  bool EnterNode() {
    ++FStats.Nodes;
    if ((FStats.Nodes & 31) == 0) Poll();
    if (FStats.Work > Budget) Abort = true;
    return !Abort;
  }

  void Search(std::vector<Word> rows, std::vector<Word> cols, std::vector<double> u, bool root) {
    if (Abort || BestCost <= Floor) return;
    if (!EnterNode()) return;
    const size_t mark = Chosen.size();
    const int64_t markCost = ChosenCost;
    bool live = Reduce(rows, cols);
    bool first = true;
    while (live) {
      if (Empty(cols)) {
        KeepIfBetter();
        break;
      }
      const Bound bound = Independent(rows, cols);
      if (root) {
        Floor = std::max(Floor, bound.Cost);
        if (!Literals && first) RootBound = static_cast<int64_t>(Chosen.size()) + bound.Rows;
      }
      first = false;
      if (bound.Cost >= BestCost) break;
      const int verdict = LagrangeBounds(rows, cols, u, root);
      if (verdict < 0) break;
      if (verdict > 0) {
        live = Reduce(rows, cols);
        continue;
      }
      if (root) {
        Floor = std::max(Floor, LastBound);
        if (!Literals) RootBound = std::max(RootBound, LastBound / kRowCost);
      }
      if (KeepRowsOfIndependentColumns(rows, bound)) {
        live = Reduce(rows, cols);
        continue;
      }
      if (!Branch(rows, cols, u, bound)) break;
      // The node again with the branch row barred: a node of its own, taken
      // here rather than one call deeper, so the depth stays the rows taken.
      root = false;
      if (!EnterNode()) break;
      live = Reduce(rows, cols);
    }
    Chosen.resize(mark);
    ChosenCost = markCost;
  }

  // The rows chosen cover every column: they become the best cover when
  // they cost less.
  void KeepIfBetter() {
    if (ChosenCost >= BestCost) return;
    Best = Chosen;
    if (Literals) {
      ImproveBest();
      BestCost = 0;
      for (uint32_t r : Best) BestCost += Cost(r);
    } else {
      BestCost = ChosenCost;
    }
  }

  // The Lagrangian bound, and the rows it rules out: those whose reduced
  // cost alone lifts it to the best cover's cost. Counting literals, a
  // bound on the rows alone comes first: a node that needs more rows than
  // the best cover has holds nothing better. As Lagrange returns.
  int LagrangeBounds(std::vector<Word>& rows, const std::vector<Word>& cols, std::vector<double>& u, bool root) {
    if (Literals) {
      const int verdict = Lagrange(rows, cols, u.data() + M, root ? 100 : 20, false);
      if (verdict != 0) return verdict;
    }
    return Lagrange(rows, cols, u.data(), root ? 100 : 20, Literals);
  }

  // A better cover needs exactly one row for each independent column when
  // it has no rows to spare: rows that meet none of them cannot be in it,
  // and go. True when any went.
  bool KeepRowsOfIndependentColumns(std::vector<Word>& rows, const Bound& bound) {
    const int64_t allowed = BestCost / kRowCost - (Literals ? 0 : 1);
    if (static_cast<int64_t>(Chosen.size()) + bound.Rows != allowed) return false;
    bool dropped = false;
    for (size_t k = 0; k < RW; ++k) {
      dropped |= (rows[k] & ~bound.Used[k]) != 0;
      rows[k] &= bound.Used[k];
    }
    return dropped;
  }

  // Swaps rows of the best cover for rows with fewer literals that cover
  // all the columns only they cover, until no swap helps.
  void ImproveBest() {
    std::vector<int> times(M, 0);
    std::vector<uint8_t> in(N, 0);
    for (uint32_t r : Best) {
      in[r] = 1;
      for (size_t c = 0; c < M; ++c) times[c] += (RowSet(r)[c / 64] >> (c % 64)) & 1;
    }
    std::vector<Word> unique(CW);
    for (bool changed = true; changed && !Late();) {
      changed = false;
      for (uint32_t& r : Best) {
        std::fill(unique.begin(), unique.end(), 0);
        size_t some = M;
        for (size_t c = 0; c < M; ++c)
          if (times[c] == 1 && ((RowSet(r)[c / 64] >> (c % 64)) & 1)) {
            unique[c / 64] |= Word{1} << (c % 64);
            some = c;
          }
        if (some == M) continue;
        uint32_t swap = r;
        for (size_t k = 0; k < RW; ++k)
          for (Word w = ColSet(some)[k]; w; w &= w - 1) {
            const auto q = static_cast<uint32_t>(k * 64 + static_cast<size_t>(std::countr_zero(w)));
            if (in[q] || Lit[q] >= Lit[swap]) continue;
            bool covers = true;
            for (size_t j = 0; j < CW && covers; ++j) covers = (unique[j] & ~RowSet(q)[j]) == 0;
            if (covers) swap = q;
          }
        FStats.Work += static_cast<int64_t>(M / 8 + RW * 64 * CW / 8);
        if (swap == r) continue;
        for (size_t c = 0; c < M; ++c) {
          times[c] -= (RowSet(r)[c / 64] >> (c % 64)) & 1;
          times[c] += (RowSet(swap)[c / 64] >> (c % 64)) & 1;
        }
        in[r] = 0;
        in[swap] = 1;
        r = swap;
        changed = true;
      }
    }
    std::sort(Best.begin(), Best.end());
  }

  // A node's program for its Lagrangian bound.
  struct Relaxation {
    std::vector<uint32_t> Live, Alive;      // the node's rows and columns
    std::vector<uint32_t> Start{0}, Cells;  // the cells among them, by row
    bool Literals = false;                  // costs are literals, else rows
    int64_t RowsLeft = 0, Base = 0, Unit = 0;
    double Target = 0;                      // a cover better than this is sought
    std::vector<double> Reduced, Negative;  // of the last multipliers
    double Cut = 0;                         // the reduced cost of the last row taken, when fewer than all
    std::vector<int> Hits;
  };

  Relaxation Relax(const std::vector<Word>& rows, const std::vector<Word>& cols, bool literals) {
    Relaxation x;
    ForEach(rows, [&](size_t r) { x.Live.push_back(static_cast<uint32_t>(r)); });
    ForEach(cols, [&](size_t c) { x.Alive.push_back(static_cast<uint32_t>(c)); });
    for (uint32_t r : x.Live) {
      ForEach(RowSet(r), cols, [&](size_t c) { x.Cells.push_back(static_cast<uint32_t>(c)); });
      x.Start.push_back(static_cast<uint32_t>(x.Cells.size()));
    }
    FStats.Work += static_cast<int64_t>(x.Live.size() * CW);
    // Counting rows, the costs are kRowCost each. Counting literals, every
    // better cover has as many rows as the best (the fewest possible), so
    // the rows left to take are at most that many less those taken, and
    // the costs are the literals alone.
    x.Literals = literals;
    x.RowsLeft = BestCost / kRowCost - static_cast<int64_t>(Chosen.size());
    x.Base = literals ? ChosenCost + x.RowsLeft * kRowCost : ChosenCost;
    // The sums run in rows or in literals, whole numbers either way.
    x.Unit = literals ? 1 : kRowCost;
    x.Target =
        Literals && !literals ? static_cast<double>(x.RowsLeft + 1) : static_cast<double>((BestCost - x.Base) / x.Unit);
    x.Reduced.resize(x.Live.size());
    x.Hits.assign(M, 0);
    return x;
  }

  // The bound under multipliers u: the sum of u plus each row's reduced
  // cost c - u(its columns) where that is negative (counting literals, at
  // most RowsLeft of them, the most negative).
  double Evaluate(Relaxation& x, const double* u) const {
    double value = 0;
    for (uint32_t c : x.Alive) value += u[c];
    x.Negative.clear();
    for (size_t k = 0; k < x.Live.size(); ++k) {
      // Four sums side by side: one sum would wait on each addition.
      double a0 = 0, a1 = 0, a2 = 0, a3 = 0;
      uint32_t j = x.Start[k];
      const uint32_t end = x.Start[k + 1];
      for (; j + 4 <= end; j += 4) {
        a0 += u[x.Cells[j]];
        a1 += u[x.Cells[j + 1]];
        a2 += u[x.Cells[j + 2]];
        a3 += u[x.Cells[j + 3]];
      }
      for (; j < end; ++j) a0 += u[x.Cells[j]];
      const double cost = x.Literals ? static_cast<double>(Lit[x.Live[k]]) : 1.0;
      const double rc = cost - ((a0 + a1) + (a2 + a3));
      x.Reduced[k] = rc;
      if (rc < 0) x.Negative.push_back(rc);
    }
    x.Cut = 0;
    if (x.Literals && static_cast<int64_t>(x.Negative.size()) > x.RowsLeft) {
      const auto nth = x.Negative.begin() + std::max<int64_t>(x.RowsLeft, 0);
      std::nth_element(x.Negative.begin(), nth, x.Negative.end());
      x.Cut = x.RowsLeft > 0 ? *std::max_element(x.Negative.begin(), nth) : -1e300;
      x.Negative.resize(static_cast<size_t>(std::max<int64_t>(x.RowsLeft, 0)));
    }
    for (double rc : x.Negative) value += rc;
    return value;
  }

  // One subgradient step of size step toward Target from value: each
  // column's multiplier moves by how often the rows taken miss or repeat
  // it. False when the rows taken cover each column once.
  bool MoveMultipliers(Relaxation& x, double* u, double value, double step) const {
    for (uint32_t c : x.Alive) x.Hits[c] = 0;
    for (size_t k = 0; k < x.Live.size(); ++k)
      if (x.Reduced[k] < 0 && (x.Cut == 0 || x.Reduced[k] <= x.Cut))
        for (uint32_t j = x.Start[k]; j < x.Start[k + 1]; ++j) ++x.Hits[x.Cells[j]];
    double norm = 0;
    for (uint32_t c : x.Alive) norm += static_cast<double>((1 - x.Hits[c]) * (1 - x.Hits[c]));
    if (norm == 0) return false;
    const double t = step * (x.Target - value) / norm;
    for (uint32_t c : x.Alive) u[c] = std::max(0.0, u[c] + t * (1 - x.Hits[c]));
    return true;
  }

  // Subgradient steps on multipliers u[0, M) of the columns (started from
  // the parent's): see Evaluate. Costs are literals or rows (literals: with
  // the rows of the best cover; rows in the literal pass: no more rows than
  // the best cover). Returns -1 when the bound ends the node, else drops the
  // rows whose positive reduced cost would, and returns 1 when it dropped
  // any. Leaves the bound, rounded up, in LastBound, and the reduced costs
  // in Reduced, when it counts as the pass.
  int Lagrange(std::vector<Word>& rows, const std::vector<Word>& cols, double* u, int steps, bool literals) {
    Relaxation x = Relax(rows, cols, literals);
    std::vector<double> bestU(u, u + M), bestReduced;
    double best = -1e300, step = 2.0;
    int stale = 0;
    for (int it = 0; it < steps; ++it) {
      const double value = Evaluate(x, u);
      if (value > best + 1e-9) {
        best = value;
        bestU.assign(u, u + M);
        bestReduced = x.Reduced;
        stale = 0;
      } else if (++stale >= 5) {
        step /= 2;
        stale = 0;
      }
      // Enough to end the node, or too little progress to go on.
      if (std::ceil(best - 1e-6 * std::max(1.0, std::abs(best))) >= x.Target || step < 1e-2) break;
      if (!MoveMultipliers(x, u, value, step)) break;
      // The budget holds within a node too: a root's steps can cost more
      // than a small part's whole search.
      FStats.Work += static_cast<int64_t>(x.Cells.size() / 8 + 1);
      if (FStats.Work > Budget) Abort = true;
      if (Late()) return -1;
    }
    std::copy(bestU.begin(), bestU.end(), u);
    return Verdict(x, rows, best, bestReduced);
  }

  // What the best bound of Lagrange says of the node.
  int Verdict(const Relaxation& x, std::vector<Word>& rows, double best, const std::vector<double>& bestReduced) {
    // Costs are whole numbers, so a bound of 12.01 means 13. The margin
    // keeps rounding errors of the sums from passing for a real gap.
    const double slack = 1e-6 * std::max(1.0, std::abs(best));
    if (x.Literals == Literals) {
      LastBound = x.Base + static_cast<int64_t>(std::ceil(best - slack)) * x.Unit;
      for (size_t k = 0; k < x.Live.size(); ++k) Reduced[x.Live[k]] = bestReduced[k];
    }
    if (std::ceil(best - slack) >= x.Target) return -1;
    bool dropped = false;
    for (size_t k = 0; k < x.Live.size(); ++k)
      if (bestReduced[k] > 0 && best + bestReduced[k] > x.Target - 1 + slack) {
        Drop(rows, x.Live[k]);
        dropped = true;
      }
    return dropped ? 1 : 0;
  }

  // Columns sharing no row, rarest first: each needs a row of its own.
  Bound Independent(const std::vector<Word>& rows, const std::vector<Word>& cols) {
    std::vector<uint32_t> order;
    ForEach(cols, [&](size_t c) {
      order.push_back(static_cast<uint32_t>(c));
      int least = -1;
      ForEach(ColSet(c), rows, [&](size_t r) {
        if (least < 0 || Lit[r] < least) least = Lit[r];
      });
      MinLit[c] = least;
    });
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return ColCount[a] < ColCount[b]; });
    Bound bound;
    bound.Used.assign(RW, 0);
    bound.Rarest = order.front();
    int64_t lits = 0;
    for (uint32_t c : order) {
      const Word* set = ColSet(c);
      bool free = true;
      for (size_t k = 0; k < RW && free; ++k) free = (set[k] & rows[k] & bound.Used[k]) == 0;
      if (!free) continue;
      ++bound.Rows;
      lits += MinLit[c];
      for (size_t k = 0; k < RW; ++k) bound.Used[k] |= set[k] & rows[k];
    }
    FStats.Work += static_cast<int64_t>(order.size() * RW);
    bound.Cost = ChosenCost + bound.Rows * kRowCost + (Literals ? lits : 0);
    return bound;
  }

  // Two children on the row that best covers columns with few rows, among
  // the rows of the independent columns: with it, searched here, then
  // without it: true when that one is still worth a search (the row is then
  // barred from rows).
  bool Branch(std::vector<Word>& rows, std::vector<Word>& cols, const std::vector<double>& u, const Bound& bound) {
    size_t pick = N;
    double best = -1e300;
    ForEach(bound.Used, [&](size_t r) {
      double score = 0;
      if (Literals) score = -Reduced[r];  // counting literals: the row the bound likes best
      else ForEach(RowSet(r), cols, [&](size_t c) { score += 1.0 / std::max(1, ColCount[c] - 1); });
      if (score > best + 1e-12 || (score > best - 1e-12 && Lit[r] < Lit[pick])) {
        best = score;
        pick = r;
      }
    });
    FStats.Work += static_cast<int64_t>(bound.Rows * CW);
    {
      std::vector<Word> childRows = rows, childCols = cols;
      Take(pick, childRows, childCols);
      Search(std::move(childRows), std::move(childCols), u, false);
      Chosen.pop_back();
      ChosenCost -= Cost(pick);
    }
    if (Abort || bound.Cost >= BestCost || BestCost <= Floor) return false;
    Drop(rows, pick);
    return true;
  }
};

}  // namespace

std::vector<uint8_t> BranchAndBound(const CoverPart& part, const std::vector<uint8_t>& start,
                                    const BranchParams& params, BranchStats& stats) {
  Brancher brancher(part, params, stats);
  return brancher.Run(start);
}

}  // namespace tavro::detail
