#pragma once
// The prime implicant chart of a run, shared by both selections.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/core/Cover.h"
#include "engine/core/CubeSets.h"
#include "engine/core/Hashing.h"
#include "engine/core/MemoryMeter.h"
#include "model/TermVector.h"

namespace tavro::detail {

// An allocator whose elements are left uninitialized where none is given, so
// that a large array can be sized first and filled by several threads (its
// pages are then touched by the threads that fill them, not zeroed first).
template <class T>
struct TUninitAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = TUninitAllocator<U>;
  };
  TUninitAllocator() = default;
  template <class U>
  TUninitAllocator(const TUninitAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// The chart's cell lists.
using TCells = std::vector<uint32_t, TUninitAllocator<uint32_t>>;

// The memory of a chart of one column per pair, once it is made: a cell
// costs 12 bytes (in its row's list, in its column's, and the column's
// count), a row 40, a column 24.
constexpr uint64_t PairChartBytes(uint64_t rows, uint64_t cells, uint64_t columns) {
  return cells * 12 + rows * 40 + columns * 24;
}

// The prime implicant chart in sparse form: rows are the primes in list
// order, columns the (function, care term) pairs. Columns that the same rows
// cover are one column here, with a weight (how many pairs it stands for):
// the selection only ever asks which rows cover a column, how many columns a
// row covers, and whether a set of columns is left, so a column class acts
// like its members together. Classes are numbered in the order of their
// first pair (function 0's care terms ascending first). Rows and columns are
// never renumbered: deleting one clears its alive flag, which keeps every
// "lowest/highest index" rule of the selection intact.
//
// Row counts and the alive column count are weighted: they count pairs.
//
// Besides the counts of alive cells per row and column, the chart keeps for
// each row a hash of its alive columns (a sum of per-column random words, so
// it follows column deletions), marks rows that lost a column as dirty, and
// collects columns whose row count fell to one (essential candidates).
class Chart {
 public:
  // classes: merge the columns that the same rows cover, found without
  // tables of every row; otherwise one column per pair, found through a table
  // from row to column where it fits (quicker on narrow systems).
  // cubes: the functions as cubes (then always merged; functions is not
  // read).
  // wide: the cubes are held in a wide type (core/Bits.h) even on a narrow
  // system; a system past kMaxTermInputs always is. Then the classes' weights
  // are scaled down where their sum passes 2^62 (Pairs and Cells still
  // count every pair, up to INT64_MAX).
  // hazardPairs (one column per pair, from the terms): a column besides for
  // every two care terms of a function at distance 1, after the terms'
  // columns, covered by the rows of the function that hold both.
  Chart(const std::vector<const TTermVector*>& functions, const TCover& primes, MemoryMeter& meter, bool classes,
        const TCubeSystem* cubes = nullptr, bool wide = false, bool hazardPairs = false);

  void KillColumn(uint32_t c) {
    ColAlive[c] = 0;
    const int64_t weight = ColWeight[c];
    AliveColumns -= weight;
    for (size_t k = ColStart[c]; k < ColEnd[c]; ++k) {
      const uint32_t r = ColRows[k];
      if ((Row[r].Count -= weight) == 0 && Row[r].Alive) {
        --NonEmpty;
        --NonEmptyOfSize[Row[r].Size];
      }
      Row[r].Hash -= ColWord[c];
      if (!Row[r].Dirty) {
        Row[r].Dirty = 1;
        DirtyRows.push_back(r);
      }
    }
  }

  void KillRow(uint32_t r) {
    Row[r].Alive = 0;
    RowAlive[r] = 0;
    if (Row[r].Count > 0) {
      --NonEmpty;
      --NonEmptyOfSize[Row[r].Size];
    }
    for (size_t k = RowStart[r]; k < RowEnd[r]; ++k) {
      const uint32_t c = RowCols[k];
      if (ColAlive[c] && --ColCount[c] == 1) Single.push_back(c);
    }
  }

  // Kills every alive column of row r.
  void KillColumnsOf(uint32_t r) {
    for (size_t k = RowStart[r]; k < RowEnd[r]; ++k)
      if (ColAlive[RowCols[k]]) KillColumn(RowCols[k]);
  }

  // Drops the deleted columns from row r's list (keeping it ascending).
  void CompactRow(uint32_t r) {
    uint32_t* const begin = RowCols.data() + RowStart[r];
    uint32_t* out = begin;
    for (uint32_t* in = begin; in != RowCols.data() + RowEnd[r]; ++in)
      if (ColAlive[*in]) *out++ = *in;
    RowEnd[r] = static_cast<size_t>(out - RowCols.data());
  }

  // One bit per column; a row's signature of its first columns holds the
  // signature of any subset of them.
  uint64_t Signature(uint32_t c) const { return uint64_t{1} << (ColWord[c] >> 58); }

  // True when every alive column of p is a column of r.
  bool Contains(uint32_t r, uint32_t p) const {
    const uint32_t* rb = RowCols.data() + RowStart[r];
    const uint32_t* re = RowCols.data() + RowEnd[r];
    for (size_t k = RowStart[p]; k < RowEnd[p]; ++k) {
      const uint32_t c = RowCols[k];
      if (!ColAlive[c]) continue;
      rb = std::lower_bound(rb, re, c);
      if (rb == re || *rb != c) return false;
    }
    return true;
  }

  // Drops the deleted rows from column c's list (keeping it ascending) and
  // returns its alive rows.
  std::pair<const uint32_t*, const uint32_t*> AliveRowsOf(uint32_t c) {
    uint32_t* const begin = ColRows.data() + ColStart[c];
    uint32_t* out = begin;
    for (uint32_t* in = begin; in != ColRows.data() + ColEnd[c]; ++in)
      if (RowAlive[*in]) *out++ = *in;
    ColEnd[c] = static_cast<size_t>(out - ColRows.data());
    return {begin, out};
  }

  // True when rows a and b have the same alive columns.
  bool SameAlive(uint32_t a, uint32_t b) const {
    if (Row[a].Count != Row[b].Count) return false;
    size_t ka = RowStart[a], kb = RowStart[b];
    const size_t ea = RowEnd[a], eb = RowEnd[b];
    while (true) {
      while (ka < ea && !ColAlive[RowCols[ka]]) ++ka;
      while (kb < eb && !ColAlive[RowCols[kb]]) ++kb;
      if (ka == ea || kb == eb) return ka == ea && kb == eb;
      if (RowCols[ka] != RowCols[kb]) return false;
      ++ka;
      ++kb;
    }
  }

  // Columns: the number of column classes. AliveColumns: the pairs left.
  int32_t Rows = 0, Columns = 0;
  int64_t AliveColumns = 0;
  int64_t Pairs = 0, Cells = 0;  // (function, care term) columns and their cells, unmerged
  std::vector<size_t> RowStart, RowEnd, ColStart, ColEnd;
  TCells RowCols, ColRows;
  // What the selection reads of a row, kept together.
  struct RowState {
    uint64_t Hash = 0;       // sum of the alive columns' words
    uint64_t Signature = 0;  // of all the row's columns, alive or not
    int64_t Count = 0;       // alive columns, weighted
    uint16_t Size = 0;       // free positions of the row's cube
    uint8_t Alive = 1;
    uint8_t Dirty = 1;  // lost a column since the last reduction
  };
  std::vector<RowState> Row;
  std::vector<uint8_t> RowAlive;  // Row[r].Alive again, densely, for scans of columns
  std::vector<uint8_t> ColAlive;
  std::vector<int32_t> ColCount;   // alive rows
  std::vector<int64_t> ColWeight;  // pairs the column stands for
  std::vector<uint64_t> ColWord;
  int32_t NonEmpty = 0;                 // alive rows with an alive column
  std::vector<int32_t> NonEmptyOfSize;  // by free positions
  std::vector<uint32_t> DirtyRows;      // rows that lost a column since the last reduction
  std::vector<uint32_t> Single;         // columns whose row count fell to one

 private:
  void BuildPairs(const std::vector<const TTermVector*>& functions, const TCover& primes, MemoryMeter& meter,
                  bool hazardPairs);
  void BuildClasses(const std::vector<const TTermVector*>& functions, const TCover& primes, MemoryMeter& meter,
                    const TCubeSystem* cubes);
  // The classes of a system given by cubes, held in any cube type
  // (WideChart.cpp).
  void BuildWide(const TCover& primes, MemoryMeter& meter, const TCubeSystem& cubes, bool wide);
  // The column lists from the row lists.
  void ListColumnsOfRows();
  // The row lists from the column lists (on up to `threads` threads).
  void ListRowsOfColumns(unsigned threads);
};

}  // namespace tavro::detail
