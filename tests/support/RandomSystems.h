#pragma once
// Random function systems for the property and exactness tests.

#include <cstdint>
#include <random>
#include <vector>

#include "model/TermVector.h"

namespace tavro::testing {

struct RandomSystemOptions {
  int MinBits = 1, MaxBits = 8;
  int MinFunctions = 1, MaxFunctions = 4;
  // Chances of a row being listed as a care term and as a don't care.
  double CareChance = -1;      // < 0: drawn per function
  double DontCareChance = -1;  // < 0: drawn per function
  bool MixKinds = true;
};

// A system whose widest function spans exactly `bits` inputs (the top row is
// listed by some function), returned with that width.
std::vector<TTermVector> RandomSystem(std::mt19937& rng, const RandomSystemOptions& options, int* bits);

// The truth value of a function at a row: 1, 0, or -1 for a don't care.
int RowValue(const TTermVector& f, uint32_t row);

// Functions converted to minterms (SOP) or maxterms (POS) over `bits` inputs.
std::vector<TTermVector> InKind(const std::vector<TTermVector>& functions, bool maxterms, int bits);

}  // namespace tavro::testing
