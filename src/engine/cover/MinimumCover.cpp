// The minimum cover: the fewest chart rows that cover every column, and among
// those the fewest literals.
//
// 1. The chart's cells are copied and reduced in ways that keep some minimum
//    cover: equal columns merged, essential rows taken, dominated columns
//    (a column whose rows include all rows of another column is covered
//    whenever that one is) and dominated rows (a row whose columns lie in
//    another row with no more literals can be swapped for it) dropped.
// 2. What is left falls apart into independent parts (rows and columns
//    linked by cells); each part is a 0-1 covering program, solved by
//    branch and bound over its linear relaxation (COIN-OR CBC) twice: first
//    for the fewest rows, then, with that many rows, for the fewest
//    literals. The better of two greedy covers of the part starts the search.
// 3. A search cut short by the time limit is compared with the described
//    selection's cover, and the better one is kept. The limit holds in every
//    stage: the reductions and the greedy covers look at the clock every so
//    much work, and a part goes to the linear program only with time left
//    for its first relaxation; what is cut short leaves the rows chosen so
//    far and each part's greedy cover.
//
// Every choice is taken in a fixed order, so the same chart gives the same
// cover; only a search cut short by the time limit depends on the machine's
// speed.

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <numeric>
#include <optional>
#include <span>
#include <string>

#include <coin/CbcEventHandler.hpp>
#include <coin/CbcModel.hpp>
#include <coin/CbcSolver.hpp>
#include <coin/ClpEventHandler.hpp>
#include <coin/CoinPackedMatrix.hpp>
#include <coin/OsiClpSolverInterface.hpp>

#include "engine/cover/CoverPart.h"
#include "engine/cover/Selection.h"
#include "model/Errors.h"

namespace tavro::detail {

namespace {

using Clock = std::chrono::steady_clock;

// The chart as sets that shrink: sorted row and column lists, each a slice
// of one flat array, whose dead entries are dropped when a list is next read.
class CoverCore {
 public:
  using List = std::span<const uint32_t>;

  CoverCore(const Chart& chart, const TCover& primes) {
    const auto rows = static_cast<size_t>(chart.Rows), cols = static_cast<size_t>(chart.Columns);
    // The chart's lists hold every cell until its selection runs.
    RowCells.assign(chart.RowCols.begin(), chart.RowCols.end());
    ColCells.assign(chart.ColRows.begin(), chart.ColRows.end());
    RowStart.assign(chart.RowStart.begin(), chart.RowStart.end() - 1);
    ColStart.assign(chart.ColStart.begin(), chart.ColStart.end() - 1);
    RowEnd.assign(chart.RowStart.begin() + 1, chart.RowStart.end());
    ColEnd.assign(chart.ColStart.begin() + 1, chart.ColStart.end());
    Literals.resize(rows);
    for (size_t r = 0; r < rows; ++r) Literals[r] = primes.Width - std::popcount(primes.Mask(r));
    RowAlive.assign(rows, 1);
    ColAlive.assign(cols, 1);
    RowCount.resize(rows);
    ColCount.resize(cols);
    for (size_t r = 0; r < rows; ++r) RowCount[r] = static_cast<int32_t>(RowEnd[r] - RowStart[r]);
    for (size_t c = 0; c < cols; ++c) ColCount[c] = static_cast<int32_t>(ColEnd[c] - ColStart[c]);
    AliveRows = static_cast<int64_t>(rows);
    AliveCols = static_cast<int64_t>(cols);
  }

  void KillRow(uint32_t r) {
    RowAlive[r] = 0;
    --AliveRows;
    for (uint32_t c : Slice(RowCells, RowStart[r], RowEnd[r]))
      if (ColAlive[c]) --ColCount[c];
  }
  void KillCol(uint32_t c) {
    ColAlive[c] = 0;
    --AliveCols;
    for (uint32_t r : Slice(ColCells, ColStart[c], ColEnd[c]))
      if (RowAlive[r]) --RowCount[r];
  }
  void Choose(uint32_t r) {
    Chosen.push_back(r);
    for (uint32_t c : Slice(RowCells, RowStart[r], RowEnd[r]))
      if (ColAlive[c]) KillCol(c);
    KillRow(r);
  }
  List Cols(uint32_t r) { return Compact(RowCells, RowStart[r], RowEnd[r], RowCount[r], ColAlive); }
  List Rows(uint32_t c) { return Compact(ColCells, ColStart[c], ColEnd[c], ColCount[c], RowAlive); }

  // Applies the reductions until none applies; false when the deadline
  // came first (what is left is still a chart whose covers, with the rows
  // chosen, cover the whole).
  bool Reduce(Watch& watch) {
    if (!MergeEqualColumns(watch)) return false;
    bool changed = true;
    while (changed) {
      if (watch.Check()) return false;
      changed = false;
      for (uint32_t c = 0; c < ColAlive.size(); ++c) {
        if (watch.Spend(1)) return false;
        if (!ColAlive[c]) continue;
        if (ColCount[c] == 0) throw InternalError("a column of the chart has no row");
        if (ColCount[c] == 1) {
          Choose(Rows(c).front());
          changed = true;
        }
      }
      if (!Sign(watch)) return false;
      changed |= DropDominatedRows(watch);
      changed |= DropDominatedColumns(watch);
      if (watch.Passed()) return false;
    }
    return true;
  }

  std::vector<int> Literals;
  std::vector<uint8_t> RowAlive, ColAlive;
  std::vector<int32_t> RowCount, ColCount;
  // One bit per row (per column) set in the signature of every column
  // (row) holding it: a set whose signature has a bit the other's lacks is
  // not its subset. Made afresh for each round; a set that has lost members
  // since has a stale signature, which is not used to rule it out.
  std::vector<uint64_t> RowSignature, ColSignature;
  std::vector<int32_t> RowSigned, ColSigned;  // counts when signed
  int64_t AliveRows = 0, AliveCols = 0;
  std::vector<uint32_t> Chosen;  // rows taken by the reductions

 private:
  static List Slice(const std::vector<uint32_t>& cells, size_t begin, size_t end) {
    return {cells.data() + begin, end - begin};
  }
  static List Compact(std::vector<uint32_t>& cells, size_t begin, size_t& end, int32_t count,
                      const std::vector<uint8_t>& alive) {
    if (end - begin != static_cast<size_t>(count)) {
      uint32_t* out = cells.data() + begin;
      for (size_t k = begin; k < end; ++k)
        if (alive[cells[k]]) *out++ = cells[k];
      end = static_cast<size_t>(out - cells.data());
    }
    return Slice(cells, begin, end);
  }

  std::vector<uint32_t> RowCells, ColCells;
  std::vector<size_t> RowStart, RowEnd, ColStart, ColEnd;

  // Columns covered by the same rows are one column for the search: of each
  // such class only the first stays. (A cheaper first pass of the column
  // dominance below, which would drop the same columns.)
  bool MergeEqualColumns(Watch& watch) {
    std::vector<uint64_t> word(RowAlive.size());
    for (size_t r = 0; r < word.size(); ++r) word[r] = Mix64(r + 1);
    std::vector<std::pair<uint64_t, uint32_t>> keyed;
    keyed.reserve(ColAlive.size());
    for (uint32_t c = 0; c < ColAlive.size(); ++c) {
      if (!ColAlive[c]) continue;
      uint64_t h = static_cast<uint64_t>(ColCount[c]) * 0x9E3779B97F4A7C15ULL;
      for (uint32_t r : Rows(c)) h += word[r];
      keyed.emplace_back(h, c);
      if (watch.Spend(ColCount[c] + 1)) return false;
    }
    std::sort(keyed.begin(), keyed.end());
    for (size_t i = 0; i < keyed.size();) {
      size_t j = i + 1;
      while (j < keyed.size() && keyed[j].first == keyed[i].first) ++j;
      for (size_t a = i; a < j; ++a) {
        const uint32_t keep = keyed[a].second;
        if (!ColAlive[keep]) continue;
        for (size_t b = a + 1; b < j; ++b) {
          const uint32_t other = keyed[b].second;
          if (!ColAlive[other]) continue;
          const List first = Rows(keep), second = Rows(other);
          if (std::equal(first.begin(), first.end(), second.begin(), second.end())) KillCol(other);
          if (watch.Spend(static_cast<int64_t>(first.size()))) return false;
        }
      }
      if (watch.Spend(1)) return false;
      i = j;
    }
    return true;
  }

  static uint64_t Bit(uint32_t k) { return uint64_t{1} << ((k * 0x9E3779B1u) >> 26); }

  bool Sign(Watch& watch) {
    RowSignature.assign(RowAlive.size(), 0);
    ColSignature.assign(ColAlive.size(), 0);
    RowSigned = RowCount;
    ColSigned = ColCount;
    for (uint32_t r = 0; r < RowAlive.size(); ++r) {
      if (!RowAlive[r]) continue;
      for (uint32_t c : Cols(r)) {
        RowSignature[r] |= Bit(c);
        ColSignature[c] |= Bit(r);
      }
      if (watch.Spend(RowCount[r] + 1)) return false;
    }
    return true;
  }

  static bool Subset(List small, List large) {
    return std::includes(large.begin(), large.end(), small.begin(), small.end());
  }

  // Row p goes when another row r covers all its columns with no more
  // literals; of rows alike in both, the first stays. (This and the next
  // stop where they are when the deadline passes.)
  bool DropDominatedRows(Watch& watch) {
    bool changed = false;
    for (uint32_t p = 0; p < RowAlive.size(); ++p) {
      if (!RowAlive[p]) continue;
      if (RowCount[p] == 0) {
        KillRow(p);
        changed = true;
        continue;
      }
      const List cols = Cols(p);
      uint32_t rarest = cols.front();
      for (uint32_t c : cols)
        if (ColCount[c] < ColCount[rarest]) rarest = c;
      if (watch.Spend(RowCount[p] + ColCount[rarest])) break;
      for (uint32_t r : Rows(rarest)) {
        if (r == p || RowCount[r] < RowCount[p] || Literals[r] > Literals[p]) continue;
        if (RowCount[r] == RowCount[p] && Literals[r] == Literals[p] && r > p) continue;
        if (RowSigned[p] == RowCount[p] && (RowSignature[p] & ~RowSignature[r]) != 0) continue;
        if (watch.Spend(RowCount[r])) break;
        if (Subset(cols, Cols(r))) {
          KillRow(p);
          changed = true;
          break;
        }
      }
    }
    return changed;
  }

  // Column d goes when another column c has all its rows among d's: any
  // cover of c covers d. Of columns alike, the first stays.
  bool DropDominatedColumns(Watch& watch) {
    bool changed = false;
    for (uint32_t d = 0; d < ColAlive.size(); ++d) {
      if (!ColAlive[d]) continue;
      const List rows = Rows(d);
      // A column inside d's rows is a column of each of its rows; the row
      // of d with fewest columns has the fewest to try.
      uint32_t thinnest = rows.front();
      for (uint32_t r : rows)
        if (RowCount[r] < RowCount[thinnest]) thinnest = r;
      if (watch.Spend(ColCount[d] + RowCount[thinnest])) break;
      for (uint32_t c : Cols(thinnest)) {
        if (c == d || ColCount[c] > ColCount[d]) continue;
        if (ColCount[c] == ColCount[d] && c > d) continue;
        if (ColSigned[c] == ColCount[c] && (ColSignature[c] & ~ColSignature[d]) != 0) continue;
        if (watch.Spend(ColCount[c])) break;
        if (Subset(Rows(c), rows)) {
          KillCol(d);
          changed = true;
          break;
        }
      }
    }
    return changed;
  }
};

std::vector<CoverPart> SplitParts(CoverCore& core, Watch& watch) {
  const size_t rows = core.RowAlive.size();
  std::vector<uint32_t> parent(rows);
  std::iota(parent.begin(), parent.end(), 0u);
  auto find = [&](uint32_t x) {
    while (parent[x] != x) x = parent[x] = parent[parent[x]];
    return x;
  };
  for (uint32_t c = 0; c < core.ColAlive.size(); ++c) {
    if (!core.ColAlive[c]) continue;
    const auto& rs = core.Rows(c);
    for (size_t k = 1; k < rs.size(); ++k) {
      const uint32_t a = find(rs[0]), b = find(rs[k]);
      if (a != b) parent[std::max(a, b)] = std::min(a, b);
    }
    watch.Spend(static_cast<int64_t>(rs.size()));
  }
  // Parts in the order of their first row; rows and columns ascending.
  std::vector<int> partOf(rows, -1);
  std::vector<int> localIndex(rows, -1);
  std::vector<CoverPart> parts;
  for (uint32_t r = 0; r < rows; ++r) {
    if (!core.RowAlive[r]) continue;
    const uint32_t root = find(r);
    if (partOf[root] < 0) {
      partOf[root] = static_cast<int>(parts.size());
      parts.emplace_back();
    }
    CoverPart& part = parts[static_cast<size_t>(partOf[root])];
    localIndex[r] = static_cast<int>(part.Row.size());
    part.Row.push_back(r);
    part.Literals.push_back(core.Literals[r]);
  }
  for (uint32_t c = 0; c < core.ColAlive.size(); ++c) {
    if (!core.ColAlive[c]) continue;
    const auto& rs = core.Rows(c);
    CoverPart& part = parts[static_cast<size_t>(partOf[find(rs[0])])];
    std::vector<int> local;
    local.reserve(rs.size());
    for (uint32_t r : rs) local.push_back(localIndex[r]);
    part.ColRows.push_back(std::move(local));
  }
  return parts;
}

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
  if (weighted && watch.Passed()) return {};
  const size_t n = part.Row.size();
  // Each row's columns, ascending, as slices of one array.
  std::vector<size_t> rowStart(n + 1, 0);
  for (const auto& rows : part.ColRows)
    for (int r : rows) ++rowStart[static_cast<size_t>(r) + 1];
  std::partial_sum(rowStart.begin(), rowStart.end(), rowStart.begin());
  std::vector<int> cells(rowStart[n]);
  {
    std::vector<size_t> fill(rowStart.begin(), rowStart.end() - 1);
    for (size_t c = 0; c < part.ColRows.size(); ++c) {
      for (int r : part.ColRows[c]) cells[fill[static_cast<size_t>(r)]++] = static_cast<int>(c);
      if (watch.Spend(static_cast<int64_t>(part.ColRows[c].size())) && weighted) return {};
    }
  }
  auto rowCols = [&](size_t r) { return std::span<const int>(cells.data() + rowStart[r], rowStart[r + 1] - rowStart[r]); };
  std::vector<uint8_t> covered(part.ColRows.size(), 0), chosen(n, 0);
  std::vector<double> weight(part.ColRows.size());
  for (size_t c = 0; c < weight.size(); ++c)
    weight[c] = weighted ? 1.0 / static_cast<double>(part.ColRows[c].size()) : 1.0;
  std::vector<double> gain(n, 0.0);
  for (size_t r = 0; r < n; ++r)
    for (int c : rowCols(r)) gain[r] += weight[static_cast<size_t>(c)];
  auto better = [&](size_t r, size_t best) {
    return gain[r] > gain[best] + 1e-12 ||
           (gain[r] >= gain[best] - 1e-12 && part.Literals[r] < part.Literals[best]);
  };
  std::vector<size_t> everyRow;
  // The rule above over the given rows, ascending.
  auto scan = [&](const std::vector<size_t>& rows) {
    size_t best = n;
    for (size_t r : rows) {
      if (chosen[r] || gain[r] <= 1e-12) continue;
      if (best == n || better(r, best)) best = r;
    }
    return best;
  };

  // Plain scores are whole numbers: rows wait in buckets by (score,
  // literals), each a heap of rows, lowest first. A row's entry goes stale
  // as its score falls, and moves down when it is met; so the first fresh
  // row of the highest bucket, fewest literals first, is the rule's choice.
  const int maxLiterals = n ? *std::max_element(part.Literals.begin(), part.Literals.end()) : 0;
  const auto width = static_cast<size_t>(maxLiterals) + 1;
  size_t level = 0;
  std::vector<std::vector<uint32_t>> buckets;
  if (!weighted) {
    for (size_t r = 0; r < n; ++r) level = std::max(level, rowStart[r + 1] - rowStart[r]);
    buckets.resize((level + 1) * width);
    for (size_t r = 0; r < n; ++r)  // ascending, so each bucket is a heap already
      if (gain[r] > 0.5) buckets[static_cast<size_t>(gain[r]) * width + static_cast<size_t>(part.Literals[r])].push_back(static_cast<uint32_t>(r));
  }
  auto nextPlain = [&]() -> size_t {
    for (; level > 0; --level)
      for (size_t lit = 0; lit < width; ++lit) {
        auto& bucket = buckets[level * width + lit];
        while (!bucket.empty()) {
          const uint32_t r = bucket.front();
          if (!chosen[r] && gain[r] == static_cast<double>(level)) return r;
          std::pop_heap(bucket.begin(), bucket.end(), std::greater<>());
          bucket.pop_back();
          if (chosen[r] || gain[r] < 0.5) continue;
          auto& lower = buckets[static_cast<size_t>(gain[r]) * width + lit];
          lower.push_back(r);
          std::push_heap(lower.begin(), lower.end(), std::greater<>());
        }
      }
    return n;
  };

  // Weighted scores: rows by (score desc, literals asc, row asc) in a heap
  // whose entries go stale as scores fall; an entry is refreshed when it
  // comes to the top. Rows whose scores differ from the top's by a rounding
  // error can be taken instead of it, so all rows near it are looked at.
  struct Entry {
    double Gain;
    int Literals;
    uint32_t Row;
  };
  auto below = [](const Entry& a, const Entry& b) {
    if (a.Gain != b.Gain) return a.Gain < b.Gain;
    if (a.Literals != b.Literals) return a.Literals > b.Literals;
    return a.Row > b.Row;
  };
  std::vector<Entry> heap;
  if (weighted) {
    for (size_t r = 0; r < n; ++r)
      if (gain[r] > 1e-12) heap.push_back({gain[r], part.Literals[r], static_cast<uint32_t>(r)});
    std::make_heap(heap.begin(), heap.end(), below);
  }
  // An entry whose score fell, moved down to its place.
  auto sink = [&](size_t i) {
    const Entry e = heap[i];
    for (size_t c = 2 * i + 1; c < heap.size(); c = 2 * i + 1) {
      if (c + 1 < heap.size() && below(heap[c], heap[c + 1])) ++c;
      if (!below(e, heap[c])) break;
      heap[i] = heap[c];
      i = c;
    }
    heap[i] = e;
  };
  std::vector<size_t> near, visit, stale;
  constexpr double kNear = 1e-9, kApart = 2e-9;
  auto nextWeighted = [&]() -> size_t {
    while (!heap.empty()) {
      const Entry top = heap.front();
      if (!chosen[top.Row] && gain[top.Row] == top.Gain) break;
      std::pop_heap(heap.begin(), heap.end(), below);
      heap.pop_back();
      if (!chosen[top.Row] && gain[top.Row] > 1e-12) {
        heap.push_back({gain[top.Row], top.Literals, top.Row});
        std::push_heap(heap.begin(), heap.end(), below);
      }
    }
    if (heap.empty()) return n;
    // The rows scoring within kNear of the top (an entry's score is never
    // below its row's, so a subtree whose root scores less holds none).
    // When they all tie with each other, the rule takes the one with fewest
    // literals, the lowest of those (the top, if all score the same); else
    // the rule runs over them in order, which is the rule over all rows as
    // long as no row scores just below them (one could be taken in a chain
    // of near ties): then over all rows.
    const double top = heap.front().Gain;
    size_t best = heap.front().Row;
    double least = top;
    near.clear();
    stale.clear();
    visit.assign(1, 0);
    bool apart = true;
    while (!visit.empty()) {
      const size_t i = visit.back();
      visit.pop_back();
      const uint32_t r = heap[i].Row;
      if (!chosen[r] && gain[r] > 1e-12) {
        if (gain[r] >= top - kNear) {
          near.push_back(r);
          least = std::min(least, gain[r]);
        } else if (gain[r] >= top - kApart) {
          apart = false;
        }
      }
      if (chosen[r] || gain[r] != heap[i].Gain) stale.push_back(i);
      for (size_t c = 2 * i + 1; c <= 2 * i + 2; ++c)
        if (c < heap.size() && heap[c].Gain >= top - kApart) visit.push_back(c);
    }
    // Stale entries seen are refreshed (the deepest first, so that each
    // moves only within its own subtree), lest the next look see them
    // again; rows out of the running sink to the bottom.
    std::sort(stale.begin(), stale.end(), std::greater<>());
    for (size_t i : stale) {
      const uint32_t r = heap[i].Row;
      heap[i].Gain = chosen[r] || gain[r] <= 1e-12 ? -1.0 : gain[r];
      sink(i);
    }
    watch.Spend(static_cast<int64_t>(near.size() + stale.size()));
    if (!apart) {
      watch.Spend(static_cast<int64_t>(n));
      everyRow.resize(n);
      std::iota(everyRow.begin(), everyRow.end(), size_t{0});
      return scan(everyRow);
    }
    if (least >= top - 1e-12 && !(top > least + 1e-12)) {
      for (size_t r : near)
        if (part.Literals[r] < part.Literals[best] || (part.Literals[r] == part.Literals[best] && r < best))
          best = r;
      return best;
    }
    std::sort(near.begin(), near.end());
    return scan(near);
  };

  size_t left = part.ColRows.size();
  while (left > 0) {
    const size_t best = weighted ? nextWeighted() : nextPlain();
    if (best == n) throw InternalError("a part of the chart cannot be covered");
    if (weighted && watch.Passed()) return {};
    chosen[best] = 1;
    for (int c : rowCols(best)) {
      if (covered[static_cast<size_t>(c)]) continue;
      covered[static_cast<size_t>(c)] = 1;
      --left;
      for (int r : part.ColRows[static_cast<size_t>(c)]) gain[static_cast<size_t>(r)] -= weight[static_cast<size_t>(c)];
      watch.Spend(static_cast<int64_t>(part.ColRows[static_cast<size_t>(c)].size()));
    }
  }
  std::vector<int> times(part.ColRows.size(), 0);
  for (size_t r = 0; r < n; ++r)
    if (chosen[r])
      for (int c : rowCols(r)) ++times[static_cast<size_t>(c)];
  std::vector<size_t> order;
  for (size_t r = 0; r < n; ++r)
    if (chosen[r]) order.push_back(r);
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return part.Literals[a] > part.Literals[b]; });
  for (size_t r : order) {
    bool redundant = true;
    for (int c : rowCols(r))
      if (times[static_cast<size_t>(c)] < 2) {
        redundant = false;
        break;
      }
    if (!redundant) continue;
    chosen[r] = 0;
    for (int c : rowCols(r)) --times[static_cast<size_t>(c)];
  }
  return chosen;
}

namespace {

// A lower bound on the rows any cover of the part needs: columns no two of
// which share a row each need a row of their own. Columns with fewer rows
// are tried first.
int64_t DisjointColumns(const CoverPart& part) {
  std::vector<size_t> order(part.ColRows.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return part.ColRows[a].size() < part.ColRows[b].size(); });
  std::vector<uint8_t> used(part.Row.size(), 0);
  int64_t count = 0;
  for (size_t c : order) {
    bool free = true;
    for (int r : part.ColRows[c]) free = free && !used[static_cast<size_t>(r)];
    if (!free) continue;
    ++count;
    for (int r : part.ColRows[c]) used[static_cast<size_t>(r)] = 1;
  }
  return count;
}

// Shared by the search and its event handler: when to give up, and what to
// show meanwhile.
struct SearchControl {
  const TRunParams* Params = nullptr;
  IEngineHost* Host = nullptr;
  Watch* Time = nullptr;  // for the stages before the searches
  Clock::time_point Deadline = Clock::time_point::max();
  Clock::time_point NextStatus{};
  bool Stopped = false;
  bool TimedOut = false;
  // The products settled outside the part being searched, for the status.
  int64_t SettledProducts = 0, SettledBound = 0;
  bool CountingProducts = true;
  double RelaxationSeconds = 0;  // the part's first relaxation's time before it can stop
};

void ShowProgress(const SearchControl& control, int64_t found, int64_t needed) {
  if (!control.Host) return;
  control.Host->SetStatus("Searching for the fewest products... " +
                          std::to_string(control.SettledProducts + found) + " found, at least " +
                          std::to_string(control.SettledBound + needed) + " needed");
}

// The best cover the solver has reported, each one checked against the part
// before it counts: a solution array read while the solver is being stopped
// need not be one it found.
struct CoverKeeper {
  const CoverPart* Part = nullptr;
  const std::vector<double>* Cost = nullptr;
  int MaxRows = 0;  // when positive, covers with more rows do not count
  std::vector<uint8_t> Best;
  double BestCost = 0;

  void Offer(const double* x, int columns) {
    const size_t n = Part->Row.size();
    if (!x || static_cast<size_t>(columns) != n) return;
    double cost = 0;
    int rows = 0;
    for (size_t r = 0; r < n; ++r)
      if (x[r] > 0.5) {
        cost += (*Cost)[r];
        ++rows;
      }
    if (cost >= BestCost - 0.5 || (MaxRows > 0 && rows > MaxRows)) return;
    for (const auto& col : Part->ColRows)
      if (std::none_of(col.begin(), col.end(), [&](int r) { return x[r] > 0.5; })) return;
    for (size_t r = 0; r < n; ++r) Best[r] = x[r] > 0.5 ? 1 : 0;
    BestCost = cost;
  }
};

class SearchEvents : public CbcEventHandler {
 public:
  SearchEvents(SearchControl* control, CoverKeeper* keeper) : FControl(control), FKeeper(keeper) {}
  CbcEventHandler* clone() const override { return new SearchEvents(*this); }

  CbcAction event(CbcEvent which) override {
    if (model_ && (which == solution || which == heuristicSolution))
      FKeeper->Offer(model_->bestSolution(), model_->getNumCols());
    if (FControl->Params->StopRequested()) {
      FControl->Stopped = true;
      return stop;
    }
    if (which != node && which != solution && which != heuristicSolution) return noAction;
    const auto now = Clock::now();
    if (now >= FControl->Deadline) {
      FControl->TimedOut = true;
      return stop;
    }
    if (FControl->Host && FControl->CountingProducts && now >= FControl->NextStatus && model_) {
      FControl->NextStatus = now + std::chrono::milliseconds(250);
      const double best = model_->getObjValue();
      const double bound = model_->getBestPossibleObjValue();
      if (best < 1e20 && bound > -1e20)
        ShowProgress(*FControl, std::llround(best), static_cast<int64_t>(std::ceil(bound - 1e-6)));
      else
        FControl->Host->SetStatus("Searching for the fewest products...");
    }
    return noAction;
  }

 private:
  SearchControl* FControl;
  CoverKeeper* FKeeper;
};

// The same checks between the linear program's iterations, where the
// solver's heuristics and root can run for seconds without an event of their
// own. A program ended here is no proof: the search's bound is not used.
class ProgramEvents : public ClpEventHandler {
 public:
  ProgramEvents(SearchControl* control, bool* interrupted) : FControl(control), FInterrupted(interrupted) {}
  ClpEventHandler* clone() const override { return new ProgramEvents(*this); }

  int event(Event which) override {
    if (which != endOfIteration) return -1;
    if (FControl->Params->StopRequested()) {
      FControl->Stopped = *FInterrupted = true;
      return 0;
    }
    if ((++FIterations & 63) == 0 && Clock::now() >= FControl->Deadline) {
      FControl->TimedOut = *FInterrupted = true;
      return 0;
    }
    return -1;
  }

 private:
  SearchControl* FControl;
  bool* FInterrupted;
  unsigned FIterations = 0;
};

struct PartResult {
  std::vector<uint8_t> Chosen;
  int64_t LowerBound = 0;  // rows any cover of the part needs
  bool Proven = false;
  bool LiteralsProven = false;  // and the fewest literals with that many rows
  int64_t Nodes = 0;
};

// Parts whose two bit-set tables fit in this many words go to the
// combinatorial search first, with this much work (about 64 cells a unit).
constexpr size_t kBranchWords = size_t{1} << 22;
constexpr int64_t kBranchWork = int64_t{1} << 28;

// The solver's heuristics in the search for the fewest rows. Measured: they
// take up to twice as long to prove what it proves, but where the time runs
// out they leave far smaller covers (ex1010: 241 rows against 264).
constexpr const char* kHeuristics = "on";

double Remaining(const SearchControl& control) {
  if (control.Deadline == Clock::time_point::max()) return 1e9;
  return std::max(0.0, std::chrono::duration<double>(control.Deadline - Clock::now()).count());
}

// The linear program's first relaxation of a large part begins with a crash
// and factorizations that neither its time limit nor its events reach. What
// that costs before a stop is answered grows with the cells and, more, with
// the rows and columns; measured (stopped 0.3 s in, on a machine as busy as
// a user's): 12400 rows by 1471 columns with 67248 cells 0.53 s, 7642 by
// 6966 with 382141 cells 1.3 s, 75757 by 7122 with 523639 cells 3.9 s,
// 112694 by 71893 with 371745 cells 6.3 s. A part goes to it only with at
// least that much time left.
double FirstRelaxationSeconds(const CoverPart& part) {
  size_t cells = 0;
  for (const auto& rows : part.ColRows) cells += rows.size();
  return 2e-6 * static_cast<double>(cells + 16 * (part.Row.size() + part.ColRows.size()));
}

// False when the linear program's search is not to start: past the
// deadline, or too close to it.
bool RelaxationFits(const SearchControl& control) {
  return !control.Time->Check() && Remaining(control) >= control.RelaxationSeconds;
}

// Solves min cost·x over the part's covering rows, with an optional bound on
// the number of rows, starting from the cover start. Returns true when the
// search finished (the answer is proven), and leaves the best cover in best.
bool SolveProgram(const CoverPart& part, const std::vector<double>& cost, int maxRows,
                  const std::vector<uint8_t>& start, SearchControl& control, std::vector<uint8_t>& best,
                  double& bound, int64_t& nodes) {
  const int n = static_cast<int>(part.Row.size());
  const int m = static_cast<int>(part.ColRows.size());
  // Column-ordered matrix: one column per part row.
  std::vector<std::vector<int>> rowCols(static_cast<size_t>(n));
  for (int c = 0; c < m; ++c)
    for (int r : part.ColRows[static_cast<size_t>(c)]) rowCols[static_cast<size_t>(r)].push_back(c);
  const int extra = maxRows > 0 ? 1 : 0;
  std::vector<int> starts(static_cast<size_t>(n) + 1, 0), indices;
  std::vector<double> elements;
  for (int r = 0; r < n; ++r) {
    for (int c : rowCols[static_cast<size_t>(r)]) {
      indices.push_back(c);
      elements.push_back(1.0);
    }
    if (extra) {
      indices.push_back(m);
      elements.push_back(1.0);
    }
    starts[static_cast<size_t>(r) + 1] = static_cast<int>(indices.size());
  }
  CoinPackedMatrix matrix(true, m + extra, n, static_cast<CoinBigIndex>(elements.size()), elements.data(),
                          indices.data(), starts.data(), nullptr);
  std::vector<double> colLower(static_cast<size_t>(n), 0.0), colUpper(static_cast<size_t>(n), 1.0);
  std::vector<double> rowLower(static_cast<size_t>(m + extra), 1.0),
      rowUpper(static_cast<size_t>(m + extra), COIN_DBL_MAX);
  if (extra) {
    rowLower[static_cast<size_t>(m)] = -COIN_DBL_MAX;
    rowUpper[static_cast<size_t>(m)] = maxRows;
  }
  OsiClpSolverInterface solver;
  solver.messageHandler()->setLogLevel(0);
  bool interrupted = false;
  ProgramEvents programEvents(&control, &interrupted);
  solver.getModelPtr()->passInEventHandler(&programEvents);
  solver.loadProblem(matrix, colLower.data(), colUpper.data(), cost.data(), rowLower.data(), rowUpper.data());
  for (int r = 0; r < n; ++r) solver.setInteger(r);
  // The first relaxation of a large part alone can take long: it is solved
  // here, where the time limit can end it (inside the search it could not).
  solver.getModelPtr()->setMaximumWallSeconds(Remaining(control));
  solver.initialSolve();
  if (!solver.isProvenOptimal()) {
    best = start;
    bound = -COIN_DBL_MAX;
    return false;
  }
  const double relaxed = solver.getObjValue();

  CbcModel model(solver);
  model.setLogLevel(0);
  model.messageHandler()->setLogLevel(0);
  model.solver()->messageHandler()->setLogLevel(0);
  model.setNumberThreads(0);
  model.setRandomSeed(1);
  model.setAllowableGap(1e-6);
  model.setAllowableFractionGap(0.0);
  model.setAllowablePercentageGap(0.0);
  // Costs are integers, so a better cover is better by at least one.
  model.setCutoffIncrement(0.999);
  model.setUseElapsedTime(true);
  model.setMaximumSeconds(Remaining(control));
  // The literal search gets a node budget by the part's size, not time, so
  // its answer does not depend on the machine's speed.
  if (maxRows > 0) model.setMaximumNodes(std::clamp(static_cast<int>(300000 / (elements.size() + 1)), 10, 1000));
  std::vector<double> startValues(static_cast<size_t>(n));
  double startCost = 0;
  for (int r = 0; r < n; ++r) {
    startValues[static_cast<size_t>(r)] = start[static_cast<size_t>(r)] ? 1.0 : 0.0;
    if (start[static_cast<size_t>(r)]) startCost += cost[static_cast<size_t>(r)];
  }
  CoverKeeper keeper{&part, &cost, maxRows, start, startCost};
  SearchEvents events(&control, &keeper);
  model.passInEventHandler(&events);
  model.setBestSolution(startValues.data(), n, startCost, true);
  if (maxRows > 0) {
    // The literals, a short search: strong branching and cut generators
    // cost more per node than they save here.
    model.setNumberStrong(0);
    model.branchAndBound();
  } else {
    // The fewest rows, through the solver's own driver as its command line
    // runs it, with strong branching and pseudo-costs. Measured on the hard
    // benchmark charts, this proves ten times faster than a plain search
    // (ex5 40 s to 6 s, max1024 48 s to 5 s). Preprocessing and cut
    // generators are left off: the chart's reductions did that work, and
    // the columns must stay the part's rows.
    CbcSolverUsefulData data;
    CbcMain0(model, data);
    const std::string seconds = std::to_string(std::max(0.01, Remaining(control)));
    const char* argv[] = {"tavro",  "-log", "0",   "-sec", seconds.c_str(), "-preprocess",
                          "off",    "-cuts", "off", "-heuristics", kHeuristics, "-solve", "-quit"};
    CbcMain1(static_cast<int>(std::size(argv)), argv, model, [](CbcModel*, int) { return 0; }, data);
  }
  nodes += model.getNodeCount();
  keeper.Offer(model.bestSolution(), model.getNumCols());
  best = keeper.Best;
  const bool finished = !control.Stopped && !control.TimedOut &&
                        (model.isProvenOptimal() || model.isProvenInfeasible()) && !model.isSecondsLimitReached() &&
                        !model.isNodeLimitReached() && keeper.BestCost <= model.getObjValue() + 0.5;
  // The search's own bound where it is one (below the best cover), else
  // the first relaxation's: a search stopped early can report anything.
  const double searched = model.getBestPossibleObjValue();
  bound = finished                                                                   ? 0
          : !interrupted && searched > relaxed && searched < keeper.BestCost - 0.5 ? searched
                                                                                   : relaxed;
  return finished;
}

// With the fewest rows proven (fewest is such a cover), the fewest literals
// among covers of that many rows: the linear program's search, within its
// node budget.
void LiteralSearch(const CoverPart& part, const std::vector<uint8_t>& fewest, SearchControl& control,
                   PartResult& result) {
  const size_t n = part.Row.size();
  const auto rows = static_cast<int64_t>(std::count(fewest.begin(), fewest.end(), uint8_t{1}));
  auto literals = [&](const std::vector<uint8_t>& x) {
    int64_t sum = 0;
    for (size_t r = 0; r < n; ++r)
      if (x[r]) sum += part.Literals[r];
    return sum;
  };
  result.Chosen = fewest;
  result.Proven = true;
  result.LowerBound = rows;
  // Rows of one literal count leave nothing to choose between covers.
  result.LiteralsProven =
      std::all_of(part.Literals.begin(), part.Literals.end(), [&](int l) { return l == part.Literals[0]; });
  if (result.LiteralsProven) return;
  std::vector<double> lits(n);
  for (size_t r = 0; r < n; ++r) lits[r] = part.Literals[r];
  if (!RelaxationFits(control)) return;
  std::vector<uint8_t> cheapest;
  double bound = 0;
  control.CountingProducts = false;
  result.LiteralsProven =
      SolveProgram(part, lits, static_cast<int>(rows), fewest, control, cheapest, bound, result.Nodes);
  if (std::count(cheapest.begin(), cheapest.end(), uint8_t{1}) == rows && literals(cheapest) < literals(fewest))
    result.Chosen = cheapest;
}

PartResult SolvePart(const CoverPart& part, SearchControl& control) {
  PartResult result;
  const size_t n = part.Row.size();
  auto count = [](const std::vector<uint8_t>& x) {
    return static_cast<int64_t>(std::count(x.begin(), x.end(), uint8_t{1}));
  };
  auto literals = [&](const std::vector<uint8_t>& x) {
    int64_t sum = 0;
    for (size_t r = 0; r < n; ++r)
      if (x[r]) sum += part.Literals[r];
    return sum;
  };
  // The better of the two greedy covers starts the search.
  std::vector<uint8_t> start = GreedyPartCover(part, false, *control.Time);
  {
    std::vector<uint8_t> other = GreedyPartCover(part, true, *control.Time);
    if (!other.empty() &&
        (count(other) < count(start) || (count(other) == count(start) && literals(other) < literals(start))))
      start = std::move(other);
  }
  // A single column needs a single row: the one with fewest literals.
  if (part.ColRows.size() == 1) {
    size_t best = 0;
    for (size_t r = 1; r < n; ++r)
      if (part.Literals[r] < part.Literals[best]) best = r;
    result.Chosen.assign(n, 0);
    result.Chosen[best] = 1;
    result.LowerBound = 1;
    result.Proven = result.LiteralsProven = true;
    return result;
  }

  // A part small enough for bit sets goes to the combinatorial search
  // first, which settles rows and literals at once; one it leaves
  // unfinished goes on from its best cover in the linear program's search.
  const size_t m = part.ColRows.size();
  int64_t searched = 0;  // the combinatorial search's bound, when it ran
  if (control.Params->CombinatorialSearch && n * ((m + 63) / 64) + m * ((n + 63) / 64) <= kBranchWords) {
    BranchParams branch;
    branch.WorkBudget = kBranchWork;
    branch.Deadline = control.Deadline;
    branch.StopRequested = [&] { return control.Params->StopRequested(); };
    branch.Progress = [&](int64_t found, int64_t needed) { ShowProgress(control, found, needed); };
    BranchStats figures;
    std::vector<uint8_t> best = BranchAndBound(part, start, branch, figures);
    result.Nodes += figures.Nodes;
    result.Chosen = best;
    if (figures.Stopped) {
      control.Stopped = true;
      return result;
    }
    if (figures.Finished) {
      result.LowerBound = count(best);
      result.Proven = result.LiteralsProven = true;
      return result;
    }
    // With the fewest rows proven, the literals it could not settle within
    // its budget stay as it left them: the linear program's search rarely
    // does better there, and takes far longer.
    if (figures.ProductsFinished) {
      result.LowerBound = count(best);
      result.Proven = true;
      return result;
    }
    if (figures.TimedOut) {
      control.TimedOut = true;
      result.LowerBound = std::max(DisjointColumns(part), figures.LowerBound);
      return result;
    }
    searched = figures.LowerBound;
    start = std::move(best);
  }

  // Past the deadline (the combinatorial search above, which ends there by
  // itself, still settles a small part in its first few nodes), or too
  // close to it, the start cover stands.
  control.RelaxationSeconds = FirstRelaxationSeconds(part);
  if (!RelaxationFits(control)) {
    result.Chosen = start;
    result.LowerBound = std::max(DisjointColumns(part), searched);
    return result;
  }

  // First the fewest rows.
  std::vector<double> unit(n, 1.0);
  std::vector<uint8_t> fewest;
  double bound = 0;
  control.CountingProducts = true;
  const bool proven = SolveProgram(part, unit, 0, start, control, fewest, bound, result.Nodes);
  result.Chosen = fewest;
  result.Proven = proven;
  // (A relaxation that did not finish leaves no bound: -COIN_DBL_MAX.)
  result.LowerBound = proven          ? count(fewest)
                      : bound < -1e18 ? DisjointColumns(part)
                                      : std::max(DisjointColumns(part), static_cast<int64_t>(std::ceil(bound - 1e-6)));
  if (control.Stopped || !proven) return result;
  LiteralSearch(part, fewest, control, result);
  return result;
}

// Charts with at least this many rows have the described selection made
// first (a 2.4-million-row chart: 8 s).
constexpr int32_t kDescribedFirstRows = int32_t{1} << 18;

}  // namespace

std::vector<uint32_t> SelectMinimum(Chart& chart, const TCover& primes, int functionCount,
                                    const TRunParams& params, IEngineHost* host, TRunStats* stats) {
  const auto start = Clock::now();
  Watch watch(params, params.TimeLimitSeconds > 0
                          ? start + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(params.TimeLimitSeconds))
                          : Clock::time_point::max());
  CoverCore core(chart, primes);
  // On a chart this large the described selection takes seconds, which a
  // run cut short by the limit would spend past it: it is made first, within
  // the limit. (On smaller charts it is made only when the search does not
  // settle everything.)
  std::optional<std::vector<uint32_t>> described;
  if (chart.Rows >= kDescribedFirstRows) described = SelectGreedy(chart, functionCount, params);
  // Reductions cut short by the deadline leave a chart that the parts'
  // start covers still cover, with the rows chosen so far; the run then
  // reports the limit reached, whatever the parts' searches still settle.
  const bool reduced = core.Reduce(watch);
  if (stats) {
    stats->CoreRows = core.AliveRows;
    stats->CoreColumns = core.AliveCols;
    stats->SearchNodes = 0;
  }

  SearchControl control;
  control.Params = &params;
  control.Host = host;
  control.Time = &watch;
  control.Deadline = watch.Deadline();
  control.SettledProducts = control.SettledBound = static_cast<int64_t>(core.Chosen.size());

  std::vector<uint32_t> found = core.Chosen;
  int64_t lowerBound = static_cast<int64_t>(core.Chosen.size());
  bool proven = reduced, literalsProven = reduced;
  int64_t nodes = 0;
  for (const CoverPart& part : SplitParts(core, watch)) {
    const PartResult r = SolvePart(part, control);
    if (control.Stopped) throw StoppedError();
    for (size_t k = 0; k < part.Row.size(); ++k)
      if (r.Chosen[k]) found.push_back(part.Row[k]);
    const int64_t taken = static_cast<int64_t>(std::count(r.Chosen.begin(), r.Chosen.end(), uint8_t{1}));
    lowerBound += r.LowerBound;
    proven = proven && r.Proven;
    literalsProven = literalsProven && r.LiteralsProven;
    nodes += r.Nodes;
    control.SettledProducts += taken;
    control.SettledBound += r.LowerBound;
  }
  std::sort(found.begin(), found.end());

  // Never worse than the described selection: a search cut short (in
  // products, or in literals by its node budget) is checked against it.
  auto literals = [&](const std::vector<uint32_t>& rows) {
    int64_t sum = 0;
    for (uint32_t r : rows) sum += core.Literals[r];
    return sum;
  };
  std::vector<uint32_t> result = found;
  if (!proven || !literalsProven) {
    std::vector<uint32_t> greedy = described ? std::move(*described) : SelectGreedy(chart, functionCount, params);
    if (greedy.size() < found.size() || (greedy.size() == found.size() && literals(greedy) < literals(found))) {
      result = std::move(greedy);
      std::sort(result.begin(), result.end());
    }
  }
  if (proven) lowerBound = static_cast<int64_t>(result.size());
  if (stats) {
    stats->LowerBound = std::min<int64_t>(lowerBound, static_cast<int64_t>(result.size()));
    stats->Proven = proven;
    stats->LiteralsProven = proven && literalsProven;
    stats->SearchNodes = nodes;
  }
  return result;
}

}  // namespace tavro::detail
