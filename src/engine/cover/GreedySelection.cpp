// The described selection ("Smallest Cost"): reduction steps (essential
// rows, equal rows, dominated rows) alternating with completion steps.
//
// Its rules differ from the minimum cover's search (Reductions.h): a row
// goes only inside a row with strictly more columns (with several functions
// only when both cubes have one size), literals aside; of equal rows the last
// row of the largest cube stays, not the lowest; and no column goes.

#include <algorithm>
#include <climits>

#include "engine/core/RunObserver.h"
#include "engine/cover/Selection.h"
#include "model/Errors.h"

namespace tavro::detail {

namespace {

// A reduction step leaves no pair of equal rows and no dominated row behind,
// so the next one only has to look at pairs with a row that lost columns in
// between (a row that kept its columns cannot become contained in a row that
// only shrank). Rows are found by the hash of their alive columns.
class GreedySelector {
 public:
  GreedySelector(Chart& chart, int functionCount, IRunObserver* observer)
      : FChart(chart), Single(functionCount == 1), Rows(static_cast<size_t>(chart.Rows)), FObserver(observer) {
    Drop.assign(Rows, 0);
    if (FObserver) Told.assign(Rows, -1);
    Stamp.assign(Rows, 0);
    Heap.reserve(Rows);
    for (uint32_t r = 0; r < Rows; ++r) Heap.emplace_back(chart.Row[r].Count, r);
    std::make_heap(Heap.begin(), Heap.end(), Lower);
  }

  std::vector<uint32_t> Run(const TRunParams& params) {
    int64_t previous = -1;
    while (true) {
      if (params.StopRequested()) throw StoppedError();
      const int64_t columns = FChart.AliveColumns;
      if (columns == 0) break;
      if (columns == previous) {
        CompletionStep(columns);
        continue;
      }
      previous = columns;
      ReductionStep();
    }
    return Chosen;
  }

 private:
  struct Probe {
    uint32_t Rarest;
    uint64_t Signature;
  };
  // Rows by (cells desc, index asc); entries go stale as rows lose cells and
  // are refreshed when they come to the top.
  using Entry = std::pair<int64_t, uint32_t>;
  static bool Lower(const Entry& a, const Entry& b) {
    return a.first != b.first ? a.first < b.first : a.second > b.second;
  }

  Chart& FChart;
  const bool Single;  // one function
  const size_t Rows;
  // Where the steps are followed: each step's drops, told once the step is
  // done (equal rows before dominated ones, as the step takes them), and
  // per row its place among them (-1: none).
  IRunObserver* FObserver;
  int StepNumber = 0;
  std::vector<TStepEvent> Pending;
  std::vector<int32_t> Told;
  std::vector<uint32_t> Chosen;
  std::vector<uint8_t> Drop;
  std::vector<uint32_t> DropList, Essential, Dirty, Class;
  std::vector<uint32_t> Stamp;  // the step that put a row in its class
  uint32_t Step = 0;
  // After a reduction step at most one empty row is left in the chart.
  int64_t EmptyRow = -1;
  std::vector<Entry> Heap;
  std::vector<Probe> Probes;

  int64_t BestRow() {
    while (!Heap.empty()) {
      const Entry top = Heap.front();
      std::pop_heap(Heap.begin(), Heap.end(), Lower);
      Heap.pop_back();
      if (!FChart.Row[top.second].Alive) continue;
      if (FChart.Row[top.second].Count != top.first) {
        Heap.emplace_back(FChart.Row[top.second].Count, top.second);
        std::push_heap(Heap.begin(), Heap.end(), Lower);
        continue;
      }
      Heap.push_back(top);
      std::push_heap(Heap.begin(), Heap.end(), Lower);
      return top.second;
    }
    return -1;
  }

  // The row with most cells, or of rows covering every remaining column the
  // last, which ends it.
  void CompletionStep(int64_t columns) {
    ++StepNumber;
    const int64_t best = BestRow();
    if (best < 0) throw InternalError("columns are left that no row covers");
    const auto r = static_cast<uint32_t>(best);
    if (FChart.Row[r].Count == columns) {
      uint32_t full = r;
      for (uint32_t k = static_cast<uint32_t>(Rows); k-- > r;)
        if (FChart.Row[k].Alive && FChart.Row[k].Count == columns) {
          full = k;
          break;
        }
      Chosen.push_back(full);
      Tell(TStepEvent::Kind::Covering, full, -1, columns);
      for (uint32_t c = 0; c < static_cast<uint32_t>(FChart.Columns); ++c)
        if (FChart.ColAlive[c]) FChart.KillColumn(c);
      return;
    }
    Chosen.push_back(r);
    Tell(TStepEvent::Kind::Completion, r, -1, FChart.Row[r].Count);
    FChart.KillRow(r);
    FChart.KillColumnsOf(r);
  }

  void Tell(TStepEvent::Kind what, uint32_t row, int64_t other, int64_t columns) {
    if (!FObserver) return;
    TStepEvent event;
    event.What = what;
    event.Step = StepNumber;
    event.Row = row;
    event.Other = other;
    event.Columns = columns;
    FObserver->Selection(event);
  }

  // A row to drop and why; an essential row is no drop, and of two reasons
  // for one row the equal row comes first.
  void Note(TStepEvent::Kind what, uint32_t row, int64_t other) {
    if (!FObserver || std::binary_search(Essential.begin(), Essential.end(), row)) return;
    if (Told[row] >= 0) {
      TStepEvent& known = Pending[static_cast<size_t>(Told[row])];
      if (what == TStepEvent::Kind::Equal && known.What == TStepEvent::Kind::Dominated) {
        known.What = what;
        known.Other = other;
      }
      return;
    }
    Told[row] = static_cast<int32_t>(Pending.size());
    TStepEvent event;
    event.What = what;
    event.Step = StepNumber;
    event.Row = row;
    event.Other = other;
    Pending.push_back(event);
  }

  void TellStep() {
    if (!FObserver) return;
    for (uint32_t r : Essential) Tell(TStepEvent::Kind::Essential, r, -1, FChart.AliveColumns);
    std::sort(Pending.begin(), Pending.end(), [](const TStepEvent& a, const TStepEvent& b) {
      return a.What != b.What ? a.What < b.What : a.Row < b.Row;
    });
    for (TStepEvent& event : Pending) {
      Told[event.Row] = -1;
      event.Columns = FChart.AliveColumns;
      FObserver->Selection(event);
    }
    Pending.clear();
  }

  void ReductionStep() {
    ++Step;
    ++StepNumber;
    DropList.clear();
    TakeEssentialRows();
    CollectDirtyRows();
    ProbeDirtyRows();
    DropEqualAndDominatedRows();
    for (uint32_t r : DropList) {
      FChart.KillRow(r);
      Drop[r] = 0;
    }
    TellStep();
    KeepTheEmptyRow();
  }

  void MarkDrop(uint32_t r) {
    if (!Drop[r]) {
      Drop[r] = 1;
      DropList.push_back(r);
    }
  }

  // Of a class of equal rows only the last row of the largest cube stays.
  void SettleClass() {
    if (Class.size() < 2) return;
    uint32_t keep = Class[0];
    for (uint32_t r : Class)
      if (FChart.Row[r].Size > FChart.Row[keep].Size || (FChart.Row[r].Size == FChart.Row[keep].Size && r > keep))
        keep = r;
    for (uint32_t r : Class)
      if (r != keep) {
        MarkDrop(r);
        if (FChart.Row[r].Count == 0) Note(TStepEvent::Kind::Empty, r, -1);
        else Note(TStepEvent::Kind::Equal, r, keep);
      }
  }

  // The rows of columns with a single row are chosen, and their columns go.
  void TakeEssentialRows() {
    Essential.clear();
    for (uint32_t c : FChart.Single) {
      if (!FChart.ColAlive[c] || FChart.ColCount[c] != 1) continue;
      for (size_t k = FChart.ColStart[c]; k < FChart.ColStart[c + 1]; ++k)
        if (FChart.Row[FChart.ColRows[k]].Alive) {
          Essential.push_back(FChart.ColRows[k]);
          break;
        }
    }
    FChart.Single.clear();
    std::sort(Essential.begin(), Essential.end());
    Essential.erase(std::unique(Essential.begin(), Essential.end()), Essential.end());
    for (uint32_t r : Essential) {
      Chosen.push_back(r);
      MarkDrop(r);
    }
    for (uint32_t r : Essential) FChart.KillColumnsOf(r);
  }

  // The rows that lost columns since the last reduction.
  void CollectDirtyRows() {
    Dirty.clear();
    for (uint32_t r : FChart.DirtyRows) {
      FChart.Row[r].Dirty = 0;
      if (FChart.Row[r].Alive) Dirty.push_back(r);
    }
    FChart.DirtyRows.clear();
    std::sort(Dirty.begin(), Dirty.end());
  }

  // Each dirty row's rarest alive column (every row equal to it or
  // containing it is among that column's rows) and its signature.
  void ProbeDirtyRows() {
    Probes.resize(Dirty.size());
    for (size_t i = 0; i < Dirty.size(); ++i) {
      const uint32_t p = Dirty[i];
      Probe& probe = Probes[i];
      probe.Rarest = 0;
      probe.Signature = 0;
      int32_t rarestCount = INT32_MAX;
      FChart.CompactRow(p);
      for (size_t k = FChart.RowStart[p]; k < FChart.RowEnd[p]; ++k) {
        const uint32_t c = FChart.RowCols[k];
        probe.Signature |= FChart.Signature(c);
        if (FChart.ColCount[c] < rarestCount) {
          probe.Rarest = c;
          rarestCount = FChart.ColCount[c];
        }
      }
    }
  }

  // Equal rows: rows without columns form one class, the dirty ones and the
  // one left by the last reduction; any other row equal to a dirty row is
  // in that row's rarest column. Dominated rows: a row whose alive columns
  // all lie in another, larger row goes; with several functions only when
  // both cubes have one size.
  void DropEqualAndDominatedRows() {
    Class.clear();
    for (uint32_t d : Dirty)
      if (FChart.Row[d].Count == 0) Class.push_back(d);
    if (!Class.empty() && EmptyRow >= 0) Class.push_back(static_cast<uint32_t>(EmptyRow));
    SettleClass();
    for (size_t i = 0; i < Dirty.size(); ++i) {
      const uint32_t p = Dirty[i];
      if (FChart.Row[p].Count == 0) {
        if (Single ? FChart.NonEmpty > 0 : FChart.NonEmptyOfSize[FChart.Row[p].Size] > 0) {
          MarkDrop(p);
          Note(TStepEvent::Kind::Empty, p, -1);
        }
        continue;
      }
      const bool findClass = Stamp[p] != Step;
      if (!findClass && Drop[p]) continue;
      int64_t by = -1;
      if (DominatedOrInClass(p, Probes[i], findClass, by)) {
        MarkDrop(p);
        if (by >= 0) Note(TStepEvent::Kind::Dominated, p, by);
      }
      if (findClass) {
        for (uint32_t r : Class) Stamp[r] = Step;
        SettleClass();
      }
    }
  }

  // Whether the dirty row p, not empty, is dominated (by: the row found to
  // hold it) or already to go; with findClass, its class of equal rows into
  // Class.
  bool DominatedOrInClass(uint32_t p, const Probe& probe, bool findClass, int64_t& by) {
    const uint16_t sp = FChart.Row[p].Size;
    const int64_t count = FChart.Row[p].Count;
    bool dominated = Drop[p] != 0;
    Class.clear();
    Class.push_back(p);
    const uint64_t hash = FChart.Row[p].Hash;
    const auto [begin, end] = FChart.AliveRowsOf(probe.Rarest);
    for (const uint32_t* it = begin; it != end; ++it) {
      const uint32_t r = *it;
      if (r == p) continue;
      const int64_t rc = FChart.Row[r].Count;
      if (rc == count) {
        if (findClass && FChart.Row[r].Hash == hash && FChart.SameAlive(p, r)) Class.push_back(r);
      } else if (!dominated && rc > count && (probe.Signature & ~FChart.Row[r].Signature) == 0 &&
                 (Single || FChart.Row[r].Size == sp) && FChart.Contains(r, p)) {
        dominated = true;
        by = r;
        if (!findClass) break;
      }
    }
    return dominated;
  }

  void KeepTheEmptyRow() {
    if (EmptyRow >= 0 && !FChart.Row[static_cast<size_t>(EmptyRow)].Alive) EmptyRow = -1;
    for (uint32_t d : Dirty)
      if (FChart.Row[d].Alive && FChart.Row[d].Count == 0) {
        if (EmptyRow >= 0 && EmptyRow != d) throw InternalError("two rows without columns were kept");
        EmptyRow = d;
      }
  }
};

}  // namespace

std::vector<uint32_t> SelectGreedy(Chart& chart, int functionCount, const TRunParams& params) {
  IRunObserver* observer = params.Observer && params.Observer->WantsTables() ? params.Observer : nullptr;
  return GreedySelector(chart, functionCount, observer).Run(params);
}

}  // namespace tavro::detail
