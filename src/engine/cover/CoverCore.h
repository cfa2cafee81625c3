#pragma once
// The core of the chart for the minimum cover: the chart's cells copied into
// sets that shrink as the reductions (Reductions.h) take essential rows and
// drop dominated rows and columns, and what is left split into independent
// parts.

#include <cstdint>
#include <span>
#include <vector>

#include "engine/chart/Chart.h"
#include "engine/core/Cover.h"
#include "engine/cover/CoverPart.h"

namespace tavro::detail {

// The chart as sets that shrink: sorted row and column lists, each a slice
// of one flat array, whose dead entries are dropped when a list is next read.
class CoverCore {
 public:
  using List = std::span<const uint32_t>;

  CoverCore(const Chart& chart, const TCover& primes);

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
  bool Reduce(Watch& watch);

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

  bool MergeEqualColumns(Watch& watch);
  bool TakeEssentialRows(Watch& watch, bool& changed);
  bool Sign(Watch& watch);
  bool DropDominatedRows(Watch& watch);
  bool DropDominatedColumns(Watch& watch);
};

// The parts of the core that share no row and no column, in the order of
// their first row, each with its rows and columns ascending.
std::vector<CoverPart> SplitParts(CoverCore& core, Watch& watch);

}  // namespace tavro::detail
