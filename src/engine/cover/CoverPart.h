#pragma once
// One independent part of the reduced prime implicant chart, what a search
// of it settles, and its quick cover and bound; and the watch on the time
// limit and Stop that the minimum cover's stages share.

#include <chrono>
#include <cstdint>
#include <vector>

#include "engine/core/RunParams.h"

namespace tavro::detail {

using Clock = std::chrono::steady_clock;

// When a stage gives up: the clock is read, and Stop looked at, once every
// so much work (about one unit a cell read), so that the checks cost nothing
// beside the loops they sit in. Stop throws StoppedError; the deadline only
// turns Passed() true, and the stage ends with what it has.
class Watch {
 public:
  Watch(const TRunParams& params, Clock::time_point deadline) : FParams(params), FDeadline(deadline) {}

  // Counts work done; true once the deadline has passed.
  bool Spend(int64_t work) {
    FWork += work;
    return FWork >= kCheckEvery ? Check() : FPassed;
  }
  bool Passed() const { return FPassed; }
  // Reads the clock now.
  bool Check() {
    FWork = 0;
    if (FParams.StopRequested()) throw StoppedError();
    if (!FPassed && FDeadline != Clock::time_point::max() && Clock::now() >= FDeadline) FPassed = true;
    return FPassed;
  }
  Clock::time_point Deadline() const { return FDeadline; }

 private:
  static constexpr int64_t kCheckEvery = int64_t{1} << 14;
  const TRunParams& FParams;
  Clock::time_point FDeadline;
  int64_t FWork = 0;
  bool FPassed = false;
};

// Rows 0..n-1 stand for the chart rows Row[i]; columns for the part's
// columns, each with its rows in ascending order.
struct CoverPart {
  std::vector<uint32_t> Row;              // chart row of each part row
  std::vector<std::vector<int>> ColRows;  // part rows of each part column
  std::vector<int> Literals;
};

// A cover of the part, greedily: the row that newly covers the most columns
// (with weighted, each counting one over its number of rows), until all are
// covered; then chosen rows that others make redundant are dropped. Stop
// (seen through watch) ends it; past the deadline a weighted one returns
// nothing, a plain one always finishes.
std::vector<uint8_t> GreedyPartCover(const CoverPart& part, bool weighted, Watch& watch);

// A lower bound on the rows any cover of the part needs: columns no two of
// which share a row each need a row of their own. Columns with fewer rows
// are tried first.
int64_t DisjointColumns(const CoverPart& part);

// What the search of a part settled.
struct PartResult {
  std::vector<uint8_t> Chosen;
  int64_t LowerBound = 0;  // rows any cover of the part needs
  bool Proven = false;
  bool LiteralsProven = false;  // and the fewest literals with that many rows
  int64_t Nodes = 0;
};

}  // namespace tavro::detail
