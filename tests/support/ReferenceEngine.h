#pragma once
// A direct, slow minimization built only on the model classes, step by step
// as the run is documented: linear scans, the dense chart, physical deletion
// of rows and columns. The tests compare the fast engine with it.

#include <string>
#include <vector>

#include "engine/core/Cover.h"
#include "model/TermVector.h"

namespace tavro::testing {

// What the run did, step by step, as the tests compare it with a run's
// recorded steps.
struct ReferenceSteps {
  struct LevelCube {
    std::string Pattern;
    std::vector<bool> Tags;
    bool Combined = false;
    int32_t From1 = -1, From2 = -1;  // list positions in the level before
  };
  std::vector<std::vector<LevelCube>> Levels;  // the last one empty
  std::vector<std::vector<bool>> Chart;        // as filled, rows x columns
  struct Step {
    std::vector<int32_t> Chosen;   // prime list positions, in the order chosen
    std::vector<int32_t> Dropped;  // ascending
  };
  std::vector<Step> Steps;
};

struct ReferenceResult {
  TCover Primes;
  TCover Result;
  std::vector<std::string> Statuses;
  ReferenceSteps Steps;
};

// functions all hold the run's kind of terms and none is empty.
ReferenceResult ReferenceMinimize(const std::vector<TTermVector>& functions, int inputBits);

}  // namespace tavro::testing
