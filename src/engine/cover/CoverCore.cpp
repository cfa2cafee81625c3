// The minimum cover's core: the chart's reductions on sorted lists (the
// rules in Reductions.h), and the split of what is left into parts.

#include "engine/cover/CoverCore.h"

#include <algorithm>
#include <bit>
#include <numeric>

#include "engine/cover/Reductions.h"
#include "model/Errors.h"

namespace tavro::detail {

CoverCore::CoverCore(const Chart& chart, const TCover& primes) {
  const auto rows = static_cast<size_t>(chart.Rows), cols = static_cast<size_t>(chart.Columns);
  // The chart's lists hold every cell until its selection runs.
  RowCells.assign(chart.RowCols.begin(), chart.RowCols.end());
  ColCells.assign(chart.ColRows.begin(), chart.ColRows.end());
  RowStart.assign(chart.RowStart.begin(), chart.RowStart.end() - 1);
  ColStart.assign(chart.ColStart.begin(), chart.ColStart.end() - 1);
  RowEnd.assign(chart.RowStart.begin() + 1, chart.RowStart.end());
  ColEnd.assign(chart.ColStart.begin() + 1, chart.ColStart.end());
  Literals.resize(rows);
  for (size_t r = 0; r < rows; ++r) Literals[r] = primes.Width - primes.FreeCount(r);
  RowAlive.assign(rows, 1);
  ColAlive.assign(cols, 1);
  RowCount.resize(rows);
  ColCount.resize(cols);
  for (size_t r = 0; r < rows; ++r) RowCount[r] = static_cast<int32_t>(RowEnd[r] - RowStart[r]);
  for (size_t c = 0; c < cols; ++c) ColCount[c] = static_cast<int32_t>(ColEnd[c] - ColStart[c]);
  AliveRows = static_cast<int64_t>(rows);
  AliveCols = static_cast<int64_t>(cols);
}

bool CoverCore::Reduce(Watch& watch) {
  if (!MergeEqualColumns(watch)) return false;
  bool changed = true;
  while (changed) {
    if (watch.Check()) return false;
    changed = false;
    if (!TakeEssentialRows(watch, changed)) return false;
    if (!Sign(watch)) return false;
    changed |= DropDominatedRows(watch);
    changed |= DropDominatedColumns(watch);
    if (watch.Passed()) return false;
  }
  return true;
}

// Columns covered by the same rows are one column for the search: of each
// such class only the first stays. (A cheaper first pass of the column
// dominance, which would drop the same columns.)
bool CoverCore::MergeEqualColumns(Watch& watch) {
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

// Essential rows; sets changed when one was taken. False when the deadline
// came first.
bool CoverCore::TakeEssentialRows(Watch& watch, bool& changed) {
  for (uint32_t c = 0; c < ColAlive.size(); ++c) {
    if (watch.Spend(1)) return false;
    if (!ColAlive[c]) continue;
    if (ColCount[c] == 0) throw InternalError("a column of the chart has no row");
    if (ColCount[c] == 1) {
      Choose(Rows(c).front());
      changed = true;
    }
  }
  return true;
}

namespace {

uint64_t SignatureBit(uint32_t k) { return uint64_t{1} << ((k * 0x9E3779B1u) >> 26); }

bool Subset(CoverCore::List small, CoverCore::List large) {
  return std::includes(large.begin(), large.end(), small.begin(), small.end());
}

}  // namespace

bool CoverCore::Sign(Watch& watch) {
  RowSignature.assign(RowAlive.size(), 0);
  ColSignature.assign(ColAlive.size(), 0);
  RowSigned = RowCount;
  ColSigned = ColCount;
  for (uint32_t r = 0; r < RowAlive.size(); ++r) {
    if (!RowAlive[r]) continue;
    for (uint32_t c : Cols(r)) {
      RowSignature[r] |= SignatureBit(c);
      ColSignature[c] |= SignatureBit(r);
    }
    if (watch.Spend(RowCount[r] + 1)) return false;
  }
  return true;
}

// Dominated rows (a row without columns left is one). This and the next
// stop where they are when the deadline passes.
bool CoverCore::DropDominatedRows(Watch& watch) {
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
      if (!RowMayDominate(r, RowCount[r], Literals[r], p, RowCount[p], Literals[p])) continue;
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

// Dominated columns.
bool CoverCore::DropDominatedColumns(Watch& watch) {
  bool changed = false;
  for (uint32_t d = 0; d < ColAlive.size(); ++d) {
    if (!ColAlive[d]) continue;
    const List rows = Rows(d);
    // Rivals are looked for among the columns of d's row with fewest
    // columns (see Reductions.h: not every rival is).
    uint32_t thinnest = rows.front();
    for (uint32_t r : rows)
      if (RowCount[r] < RowCount[thinnest]) thinnest = r;
    if (watch.Spend(ColCount[d] + RowCount[thinnest])) break;
    for (uint32_t c : Cols(thinnest)) {
      if (!ColumnMayDominate(c, ColCount[c], d, ColCount[d])) continue;
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

std::vector<CoverPart> SplitParts(CoverCore& core, Watch& watch) {
  const size_t rows = core.RowAlive.size();
  // Rows linked through a column share a root.
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

}  // namespace tavro::detail
