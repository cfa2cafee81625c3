#include "engine/Minimize.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <functional>
#include <numeric>
#include <unordered_map>

#include "engine/Format.h"
#include "engine/Tabulation.h"
#include "model/Errors.h"

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace tavro {

namespace {

using detail::MemoryMeter;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The prime implicant chart in sparse form: rows are the primes in list
// order, columns the (function, care term) pairs, function 0's care terms
// ascending first. Rows and columns are never renumbered: deleting one clears
// its alive flag, which keeps every "lowest/highest index" rule of the
// selection intact.
//
// Besides the counts of alive cells per row and column, the chart keeps for
// each row a hash of its alive columns (a sum of per-column random words, so
// it follows column deletions), marks rows that lost a column as dirty, and
// collects columns whose row count fell to one (essential candidates).
class Chart {
 public:
  Chart(const std::vector<const TTermVector*>& functions, const TCover& primes, MemoryMeter& meter) {
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

    RowStart.assign(static_cast<size_t>(Rows) + 1, 0);
    std::vector<uint32_t> cols;
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
      RowStart[r + 1] = cols.size();
      if ((r & 1023) == 0) meter.Set(cols.size() * 12 + static_cast<uint64_t>(Rows) * 40 + lookupBytes);
    }
    RowCols = std::move(cols);
    RowEnd.assign(RowStart.begin() + 1, RowStart.end());
    meter.Set(RowCols.size() * 12 + static_cast<uint64_t>(Rows) * 40 +
              static_cast<uint64_t>(Columns) * 24);

    // Column lists, rows ascending.
    ColStart.assign(static_cast<size_t>(Columns) + 1, 0);
    for (uint32_t c : RowCols) ++ColStart[c + 1];
    for (size_t c = 0; c < static_cast<size_t>(Columns); ++c) ColStart[c + 1] += ColStart[c];
    ColRows.resize(RowCols.size());
    std::vector<size_t> fill(ColStart.begin(), ColStart.end() - 1);
    for (int32_t r = 0; r < Rows; ++r)
      for (size_t k = RowStart[static_cast<size_t>(r)]; k < RowStart[static_cast<size_t>(r) + 1]; ++k)
        ColRows[fill[RowCols[k]]++] = static_cast<uint32_t>(r);

    ColEnd.assign(ColStart.begin() + 1, ColStart.end());
    ColWord.resize(static_cast<size_t>(Columns));
    for (size_t c = 0; c < ColWord.size(); ++c) {
      uint64_t z = (c + 1) * 0x9e3779b97f4a7c15ULL;
      z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
      z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
      ColWord[c] = z ^ (z >> 31);
    }
    Row.assign(static_cast<size_t>(Rows), RowState{});
    RowAlive.assign(static_cast<size_t>(Rows), 1);
    ColAlive.assign(static_cast<size_t>(Columns), 1);
    for (uint32_t r = 0; r < static_cast<uint32_t>(Rows); ++r) {
      Row[r].Count = static_cast<int32_t>(RowStart[r + 1] - RowStart[r]);
      for (size_t k = RowStart[r]; k < RowStart[r + 1]; ++k) Row[r].Hash += ColWord[RowCols[k]];
      DirtyRows.push_back(r);
    }
    for (uint32_t r = 0; r < static_cast<uint32_t>(Rows); ++r) {
      for (size_t k = RowStart[r]; k < RowStart[r + 1]; ++k) Row[r].Signature |= Signature(RowCols[k]);
      Row[r].Size = static_cast<uint8_t>(std::popcount(primes.Mask(r)));
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
    AliveColumns = Columns;
  }

  void KillColumn(uint32_t c) {
    ColAlive[c] = 0;
    --AliveColumns;
    for (size_t k = ColStart[c]; k < ColEnd[c]; ++k) {
      const uint32_t r = ColRows[k];
      if (--Row[r].Count == 0 && Row[r].Alive) {
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

  int32_t Rows = 0, Columns = 0, AliveColumns = 0;
  std::vector<size_t> RowStart, RowEnd, ColStart, ColEnd;
  std::vector<uint32_t> RowCols, ColRows;
  // What the selection reads of a row, kept together.
  struct RowState {
    uint64_t Hash = 0;       // sum of the alive columns' words
    uint64_t Signature = 0;  // of all the row's columns, alive or not
    int32_t Count = 0;       // alive columns
    uint8_t Size = 0;        // free positions of the row's cube
    uint8_t Alive = 1;
    uint8_t Dirty = 1;       // lost a column since the last reduction
  };
  std::vector<RowState> Row;
  std::vector<uint8_t> RowAlive;  // Row[r].Alive again, densely, for scans of columns
  std::vector<uint8_t> ColAlive;
  std::vector<int32_t> ColCount;
  std::vector<uint64_t> ColWord;
  int32_t NonEmpty = 0;          // alive rows with an alive column
  int32_t NonEmptyOfSize[33] = {};
  std::vector<uint32_t> DirtyRows;  // rows that lost a column since the last reduction
  std::vector<uint32_t> Single;     // columns whose row count fell to one
};

// Chooses the cover: reduction steps (essential rows, equal rows, dominated
// rows) alternating with completion steps (a row covering everything left, or
// the row with most cells). Returns the rows in the order they were chosen.
//
// A reduction step leaves no pair of equal rows and no dominated row behind,
// so the next one only has to look at pairs with a row that lost columns in
// between (a row that kept its columns cannot become contained in a row that
// only shrank). Rows are found by the hash of their alive columns.
std::vector<uint32_t> Select(Chart& chart, int functionCount) {
  std::vector<uint32_t> chosen;
  const bool single = functionCount == 1;
  const auto rows = static_cast<size_t>(chart.Rows);
  int32_t previous = -1;
  std::vector<uint8_t> drop(rows, 0);
  std::vector<uint32_t> dropList, essential, dirty, cls;
  std::vector<uint32_t> stamp(rows, 0);
  uint32_t step = 0;
  // After a reduction step at most one empty row is left in the chart.
  int64_t emptyRow = -1;

  // Rows by (cells desc, index asc); entries go stale as rows lose cells and
  // are refreshed when they come to the top.
  using Entry = std::pair<int32_t, uint32_t>;
  auto lower = [](const Entry& a, const Entry& b) {
    return a.first != b.first ? a.first < b.first : a.second > b.second;
  };
  std::vector<Entry> heap;
  heap.reserve(rows);
  for (uint32_t r = 0; r < rows; ++r) heap.emplace_back(chart.Row[r].Count, r);
  std::make_heap(heap.begin(), heap.end(), lower);
  auto bestRow = [&]() -> int64_t {
    while (!heap.empty()) {
      const Entry top = heap.front();
      std::pop_heap(heap.begin(), heap.end(), lower);
      heap.pop_back();
      if (!chart.Row[top.second].Alive) continue;
      if (chart.Row[top.second].Count != top.first) {
        heap.emplace_back(chart.Row[top.second].Count, top.second);
        std::push_heap(heap.begin(), heap.end(), lower);
        continue;
      }
      heap.push_back(top);
      std::push_heap(heap.begin(), heap.end(), lower);
      return top.second;
    }
    return -1;
  };

  auto markDrop = [&](uint32_t r) {
    if (!drop[r]) {
      drop[r] = 1;
      dropList.push_back(r);
    }
  };
  // Of a class of equal rows only the last row of the largest cube stays.
  auto settleClass = [&]() {
    if (cls.size() < 2) return;
    uint32_t keep = cls[0];
    for (uint32_t r : cls)
      if (chart.Row[r].Size > chart.Row[keep].Size || (chart.Row[r].Size == chart.Row[keep].Size && r > keep))
        keep = r;
    for (uint32_t r : cls)
      if (r != keep) markDrop(r);
  };

  struct Probe {
    uint32_t Rarest;
    uint64_t Signature;
  };
  std::vector<Probe> probes;

  while (true) {
    const int32_t columns = chart.AliveColumns;
    if (columns == 0 || columns == previous) {
      // Completion step.
      if (columns == 0) break;
      const int64_t best = bestRow();
      if (best < 0) throw InternalError("columns are left that no row covers");
      const auto r = static_cast<uint32_t>(best);
      if (chart.Row[r].Count == columns) {
        // Rows covering every remaining column: the last of them ends it.
        uint32_t full = r;
        for (uint32_t k = static_cast<uint32_t>(rows); k-- > r;)
          if (chart.Row[k].Alive && chart.Row[k].Count == columns) {
            full = k;
            break;
          }
        chosen.push_back(full);
        for (uint32_t c = 0; c < static_cast<uint32_t>(chart.Columns); ++c)
          if (chart.ColAlive[c]) chart.KillColumn(c);
        continue;
      }
      chosen.push_back(r);
      chart.KillRow(r);
      chart.KillColumnsOf(r);
      continue;
    }

    // Reduction step.
    previous = columns;
    ++step;
    essential.clear();
    for (uint32_t c : chart.Single) {
      if (!chart.ColAlive[c] || chart.ColCount[c] != 1) continue;
      for (size_t k = chart.ColStart[c]; k < chart.ColStart[c + 1]; ++k)
        if (chart.Row[chart.ColRows[k]].Alive) {
          essential.push_back(chart.ColRows[k]);
          break;
        }
    }
    chart.Single.clear();
    std::sort(essential.begin(), essential.end());
    essential.erase(std::unique(essential.begin(), essential.end()), essential.end());
    dropList.clear();
    for (uint32_t r : essential) {
      chosen.push_back(r);
      markDrop(r);
    }
    for (uint32_t r : essential) chart.KillColumnsOf(r);

    // The rows that lost columns since the last reduction.
    dirty.clear();
    for (uint32_t r : chart.DirtyRows) {
      chart.Row[r].Dirty = 0;
      if (chart.Row[r].Alive) dirty.push_back(r);
    }
    chart.DirtyRows.clear();
    std::sort(dirty.begin(), dirty.end());

    // Each dirty row's rarest alive column (every row equal to it or
    // containing it is among that column's rows) and its signature.
    probes.resize(dirty.size());
    for (size_t i = 0; i < dirty.size(); ++i) {
      const uint32_t p = dirty[i];
      Probe& probe = probes[i];
      probe.Rarest = 0;
      probe.Signature = 0;
      int32_t rarestCount = INT32_MAX;
      chart.CompactRow(p);
      for (size_t k = chart.RowStart[p]; k < chart.RowEnd[p]; ++k) {
        const uint32_t c = chart.RowCols[k];
        probe.Signature |= chart.Signature(c);
        if (chart.ColCount[c] < rarestCount) {
          probe.Rarest = c;
          rarestCount = chart.ColCount[c];
        }
      }
    }

    // Equal rows: rows without columns form one class, the dirty ones and the
    // one left by the last reduction; any other row equal to a dirty row is
    // in that row's rarest column. Dominated rows: a row whose alive columns
    // all lie in another, larger row goes; with several functions only when
    // both cubes have one size.
    cls.clear();
    for (uint32_t d : dirty)
      if (chart.Row[d].Count == 0) cls.push_back(d);
    if (!cls.empty() && emptyRow >= 0) cls.push_back(static_cast<uint32_t>(emptyRow));
    settleClass();
    for (size_t i = 0; i < dirty.size(); ++i) {
      const uint32_t p = dirty[i];
      const uint8_t sp = chart.Row[p].Size;
      const int32_t count = chart.Row[p].Count;
      if (count == 0) {
        if (single ? chart.NonEmpty > 0 : chart.NonEmptyOfSize[sp] > 0) markDrop(p);
        continue;
      }
      const bool findClass = stamp[p] != step;
      bool dominated = drop[p] != 0;
      if (!findClass && dominated) continue;
      cls.clear();
      cls.push_back(p);
      const uint64_t signature = probes[i].Signature;
      const uint64_t hash = chart.Row[p].Hash;
      const auto [begin, end] = chart.AliveRowsOf(probes[i].Rarest);
      for (const uint32_t* it = begin; it != end; ++it) {
        const uint32_t r = *it;
        if (r == p) continue;
        const int32_t rc = chart.Row[r].Count;
        if (rc == count) {
          if (findClass && chart.Row[r].Hash == hash && chart.SameAlive(p, r)) cls.push_back(r);
        } else if (!dominated && rc > count && (signature & ~chart.Row[r].Signature) == 0 &&
                   (single || chart.Row[r].Size == sp) && chart.Contains(r, p)) {
          dominated = true;
          if (!findClass) break;
        }
      }
      if (dominated) markDrop(p);
      if (findClass) {
        for (uint32_t r : cls) stamp[r] = step;
        settleClass();
      }
    }

    for (uint32_t r : dropList) {
      chart.KillRow(r);
      drop[r] = 0;
    }
    if (emptyRow >= 0 && !chart.Row[static_cast<size_t>(emptyRow)].Alive) emptyRow = -1;
    for (uint32_t d : dirty)
      if (chart.Row[d].Alive && chart.Row[d].Count == 0) {
        if (emptyRow >= 0 && emptyRow != d) throw InternalError("two rows without columns were kept");
        emptyRow = d;
      }
  }
  return chosen;
}

// The result list: ascending by ones, the cube chosen last first among equals.
TCover ResultList(const TCover& primes, const std::vector<uint32_t>& chosen) {
  TCover result(primes.Width, primes.FunctionCount);
  result.Reserve(chosen.size());
  for (int ones = 0; ones <= primes.Width; ++ones)
    for (size_t k = chosen.size(); k-- > 0;)
      if (primes.Ones(chosen[k]) == ones)
        result.Add(primes.Value(chosen[k]), primes.Mask(chosen[k]), primes.Tags(chosen[k]));
  return result;
}

struct RunParts {
  TCover Primes;
  TCover Result;
};

bool SplitSuits(const std::vector<const TTermVector*>& functions, int inputBits, uint64_t limit) {
  const uint64_t rows = uint64_t{1} << inputBits;
  const uint64_t tagWords = (functions.size() + 63) / 64;
  uint64_t listed = 0;
  for (const auto* f : functions) listed += static_cast<uint64_t>(f->Count());
  const bool table = listed * 8 >= rows;  // splitting then works on a table of every row
  return !table || rows * tagWords * 16 <= limit / 4;
}

RunParts Run(const std::vector<const TTermVector*>& functions, int inputBits, IEngineHost* host,
             TRunStats* stats, const TRunLimits& limits,
             const std::function<void(const TCover&)>& onPrimes) {
  for (const auto* f : functions)
    if (f->Count() == 0) throw InternalError("a function without terms reached the tabulation");
  if (inputBits < 1 || inputBits > MaxInputBits)
    throw InternalError("the run was given " + std::to_string(inputBits) + " input bits");
  MemoryMeter meter(limits.MaxMemoryBytes);
  RunParts parts;
  auto start = Clock::now();
  switch (limits.PrimeMethod) {
    case TPrimeMethod::Pairing:
      parts.Primes = detail::TabulateListed(functions, inputBits, host, stats, meter);
      break;
    case TPrimeMethod::Dense:
      if (!detail::TabulateDense(functions, inputBits, host, stats, meter, parts.Primes))
        parts.Primes = detail::TabulateListed(functions, inputBits, host, stats, meter);
      break;
    case TPrimeMethod::Automatic:
      // Splitting a full system works on a table of every row; where that
      // table would take much of the memory allowed, pairing the listed
      // terms costs less.
      if (SplitSuits(functions, inputBits, meter.Limit()))
        detail::TabulateSplit(functions, inputBits, host, stats, meter, parts.Primes);
      else
        parts.Primes = detail::TabulateListed(functions, inputBits, host, stats, meter);
      break;
    case TPrimeMethod::Split:
      detail::TabulateSplit(functions, inputBits, host, stats, meter, parts.Primes);
      break;
  }
  if (stats) stats->SecondsCombine = SecondsSince(start);

  start = Clock::now();
  Chart chart(functions, parts.Primes, meter);
  if (host) host->SetStatus("Creating prime implicant matrix...");
  if (stats) {
    stats->ChartRows = chart.Rows;
    stats->ChartColumns = chart.Columns;
    stats->ChartCells = static_cast<int64_t>(chart.RowCols.size());
    stats->SecondsChart = SecondsSince(start);
  }
  if (onPrimes) onPrimes(parts.Primes);

  if (host) host->SetStatus("Finding (secondary) essential prime implicants...");
  start = Clock::now();
  const auto chosen = Select(chart, static_cast<int>(functions.size()));
  parts.Result = ResultList(parts.Primes, chosen);
  if (stats) {
    stats->Selected = static_cast<int64_t>(parts.Result.Count());
    stats->SecondsSelect = SecondsSince(start);
  }
  return parts;
}

std::vector<const TTermVector*> Pointers(const std::vector<TTermVector>& functions) {
  std::vector<const TTermVector*> result;
  for (const auto& f : functions) result.push_back(&f);
  return result;
}

}  // namespace

uint64_t DefaultMemoryLimit() {
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0) return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 2;
#endif
  return uint64_t{4} << 30;
}

TMinimizeResult MinimizeFunctions(const std::vector<TTermVector>& functions, int inputBits,
                                  IEngineHost* host, TRunStats* stats, const TRunLimits& limits) {
  auto parts = Run(Pointers(functions), inputBits, host, stats, limits, nullptr);
  return {std::move(parts.Primes), std::move(parts.Result)};
}

void VerifyCover(const std::vector<TTermVector>& functions, const TCover& cover) {
  VerifyCover(Pointers(functions), cover);
}

void VerifyCover(const std::vector<const TTermVector*>& functions, const TCover& cover) {
  if (functions.empty()) return;
  int width = cover.Width;
  for (const auto* f : functions) width = std::max(width, TFunctionSystem::FunctionInputBits(*f));
  const size_t rows = size_t{1} << width;
  std::vector<uint8_t> state(rows);  // 0 unlisted, 1 care, 2 don't care; bit 2: covered
  for (size_t f = 0; f < functions.size(); ++f) {
    std::fill(state.begin(), state.end(), 0);
    const auto& terms = functions[f]->Terms();
    const auto& flags = functions[f]->DontCares();
    for (size_t i = 0; i < terms.size(); ++i) state[static_cast<size_t>(terms[i])] = flags[i] ? 2 : 1;
    for (size_t k = 0; k < cover.Count(); ++k) {
      if (!cover.Tag(k, static_cast<int>(f))) continue;
      cover.ForEachTerm(k, [&](uint32_t t) {
        if (t >= rows || (state[t] & 3) == 0)
          throw InternalError("the cover of f" + std::to_string(f) + " includes row " +
                              std::to_string(t) + ", which the function does not list");
        state[t] |= 4;
      });
    }
    for (size_t i = 0; i < terms.size(); ++i)
      if (!flags[i] && !(state[static_cast<size_t>(terms[i])] & 4))
        throw InternalError("term " + std::to_string(terms[i]) + " of f" + std::to_string(f) +
                            " is not covered");
  }
}

TRunOutcome RunCommand(TFunctionSystem& system, int mode, const TOutputOptions& options,
                       IEngineHost& host, TRunStats* stats, const TRunLimits& limits) {
  const auto start = Clock::now();
  const int width = system.InputBits;
  if (width == 0) return TRunOutcome::NothingToDo;
  if (width > MaxInputBits) {
    host.SetStatus("Too many input bits: " + std::to_string(width) + " (at most " +
                   std::to_string(MaxInputBits) + ").");
    host.Beep();
    return TRunOutcome::TooWide;
  }

  // Work on the functions in the run's kind; the stored functions are never
  // touched, so converting back restores them exactly. A converted function
  // lists nearly every row, so its size is known before it is made.
  const bool wantMaxterms = mode == modePOS;
  {
    uint64_t bytes = 0;
    for (const auto& f : system.Functions)
      if (f.Maxterms != wantMaxterms) bytes += ((uint64_t{1} << width) * 33 + 7) / 8;
    const uint64_t limit = limits.MaxMemoryBytes ? limits.MaxMemoryBytes : DefaultMemoryLimit();
    if (bytes > limit) {
      host.SetStatus("System too large to minimize (about " + std::to_string((bytes + (1u << 20) - 1) >> 20) +
                     " MiB needed).");
      host.Beep();
      return TRunOutcome::TooLarge;
    }
  }
  std::vector<TTermVector> converted;
  std::vector<const TTermVector*> work;
  converted.reserve(system.Functions.size());
  for (const auto& f : system.Functions)
    if (f.Maxterms != wantMaxterms) converted.push_back(ComplementTerms(f, width));
  size_t next = 0;
  for (const auto& f : system.Functions)
    work.push_back(f.Maxterms != wantMaxterms ? &converted[next++] : &f);
  if (stats) {
    stats->SecondsConvert = SecondsSince(start);
    stats->Inputs = width;
    stats->Outputs = system.FunctionCount();
    stats->Terms = 0;
    for (const auto* f : work) stats->Terms += f->Count();
  }

  for (size_t f = 0; f < work.size(); ++f)
    if (work[f]->Count() == 0) {
      host.SetStatus("Function " + std::to_string(f) + " contains no terms!");
      host.Beep();
      return TRunOutcome::EmptyFunction;
    }

  auto format = [&](const TCover& list) {
    if (options.Terms) return FormatCubeTerms(list);
    return mode == modeSOP ? FormatSOP(list) : FormatPOS(list);
  };

  RunParts parts;
  try {
    parts = Run(work, width, &host, stats, limits, [&](const TCover& primes) {
      if (!options.PrimeImplicants) return;
      host.AppendOutput("All Prime Implicants\r\n" + format(primes) + "\r\n");
    });
  } catch (const ResourceError& e) {
    host.SetStatus(e.what());
    host.Beep();
    return TRunOutcome::TooLarge;
  }

  VerifyCover(work, parts.Result);

  const auto outputStart = Clock::now();
  if (options.OptimizedFunctions)
    host.AppendOutput("Optimized Function(s):\r\n" + format(parts.Result) + "\r\n");
  host.SetStatus("Done.");
  system.ResultCubes = std::make_shared<const TCover>(std::move(parts.Result));
  system.ResultReady = true;
  system.ResultMode = mode;
  if (stats) {
    stats->SecondsOutput = SecondsSince(outputStart);
    stats->SecondsTotal = SecondsSince(start);
  }
  return TRunOutcome::Completed;
}

}  // namespace tavro
