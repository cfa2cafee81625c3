#pragma once
// A direct, slow minimization built only on the model classes, step by step
// as the run is documented: linear scans, the dense chart, physical deletion
// of rows and columns. The tests compare the fast engine with it.

#include <string>
#include <vector>

#include "engine/core/Cover.h"
#include "model/TermVector.h"

namespace tavro::testing {

struct ReferenceResult {
  TCover Primes;
  TCover Result;
  std::vector<std::string> Statuses;
};

// functions all hold the run's kind of terms and none is empty.
ReferenceResult ReferenceMinimize(const std::vector<TTermVector>& functions, int inputBits);

}  // namespace tavro::testing
