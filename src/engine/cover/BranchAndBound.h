#pragma once
// The minimum cover's own branch and bound over bit sets, which tries a part
// small enough for them before the linear program's search.

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/cover/CoverPart.h"

namespace tavro::detail {

struct BranchParams {
  // Work the search for the fewest rows may spend before it gives up
  // (about one unit per 64 cells it reads), so that whether it finishes
  // does not depend on the machine's speed. The literals then get a quarter
  // of what the rows took and a little more, at most a sixteenth of this.
  int64_t WorkBudget = 0;
  std::chrono::steady_clock::time_point Deadline = std::chrono::steady_clock::time_point::max();
  // Asked now and then; true ends the search.
  std::function<bool()> StopRequested;
  // Called now and then with the best cover's rows and the rows proven needed.
  std::function<void(int64_t found, int64_t needed)> Progress;
};

struct BranchStats {
  int64_t Nodes = 0;
  int64_t Work = 0;
  int64_t LowerBound = 0;         // rows any cover of the part needs
  bool ProductsFinished = false;  // the cover has the fewest rows
  bool Finished = false;          // and the fewest literals among those
  bool TimedOut = false;
  bool Stopped = false;
};

// The smallest cover of the part by (rows, literals), searched from the
// cover start (which must cover the part). Reduces every node by essential
// rows and dominated rows and columns (Reductions.h); bounds it by columns
// that share no row and by Lagrangian multipliers; branches two ways on one
// row of those columns, with it and without it. Returns the best cover
// found: start itself when nothing better turned up.
std::vector<uint8_t> BranchAndBound(const CoverPart& part, const std::vector<uint8_t>& start,
                                    const BranchParams& params, BranchStats& stats);

}  // namespace tavro::detail
