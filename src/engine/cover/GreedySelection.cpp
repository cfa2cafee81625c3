#include <algorithm>
#include <climits>

#include "engine/cover/Selection.h"
#include "model/Errors.h"

namespace tavro::detail {

// A reduction step leaves no pair of equal rows and no dominated row behind,
// so the next one only has to look at pairs with a row that lost columns in
// between (a row that kept its columns cannot become contained in a row that
// only shrank). Rows are found by the hash of their alive columns.
std::vector<uint32_t> SelectGreedy(Chart& chart, int functionCount, const TRunParams& params) {
  std::vector<uint32_t> chosen;
  const bool single = functionCount == 1;
  const auto rows = static_cast<size_t>(chart.Rows);
  int64_t previous = -1;
  std::vector<uint8_t> drop(rows, 0);
  std::vector<uint32_t> dropList, essential, dirty, cls;
  std::vector<uint32_t> stamp(rows, 0);
  uint32_t step = 0;
  // After a reduction step at most one empty row is left in the chart.
  int64_t emptyRow = -1;

  // Rows by (cells desc, index asc); entries go stale as rows lose cells and
  // are refreshed when they come to the top.
  using Entry = std::pair<int64_t, uint32_t>;
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
    if (params.StopRequested()) throw StoppedError();
    const int64_t columns = chart.AliveColumns;
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
      const int64_t count = chart.Row[p].Count;
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
        const int64_t rc = chart.Row[r].Count;
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

}  // namespace tavro::detail
