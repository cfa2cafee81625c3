#pragma once
// A run's result for scripts, as one JSON object. Its fields (new ones may
// be added; none is renamed or removed):
//   "format": "tavro-result", "version": 1
//   "inputs", "outputs": the system's size
//   "mode": "sop" or "pos" (after POS the cubes are those on which the
//           functions are 0)
//   "inputNames", "outputNames": the names (a PLA file's, or A, B, ... and
//           f0, f1, ...)
//   "primes": every prime implicant, or null where the run did not find them
//           all (the heuristic) or did not keep them
//   "cover": the result's cubes
//   "stats": every figure of the run by its name, a number where it is one,
//           null where it was not made ("-"), true or false for yes or no,
//           otherwise text
// A cube is {"pattern": "01-", "functions": [0, 2]}: one character per
// input, the first input first, and the functions it is tagged for.

#include <string>
#include <utility>
#include <vector>

#include "engine/core/FunctionSystem.h"
#include "engine/core/RunParams.h"

namespace tavro {

// The object for the system's last result (which must be there); figures
// are the stats' figures and any others (name and text, as --stats prints
// them). The text ends in a line feed.
std::string JsonText(const TFunctionSystem& system, const std::vector<std::pair<std::string, std::string>>& figures);

}  // namespace tavro
