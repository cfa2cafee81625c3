#pragma once
// The two ways of choosing a cover from the prime implicant chart. Both
// return chart rows in the order they were chosen.

#include <cstdint>
#include <vector>

#include "engine/chart/Chart.h"
#include "engine/core/Cover.h"
#include "engine/core/Host.h"
#include "engine/core/RunParams.h"

namespace tavro::detail {

// "Smallest Cost": reduction steps (essential rows, equal rows, dominated
// rows) alternating with completion steps (a row covering everything left,
// or the row with most cells). Spends the chart.
std::vector<uint32_t> SelectGreedy(Chart& chart, int functionCount, const TRunParams& params);

// "PLA Cost": the fewest rows that cover every column, and among those the
// fewest literals, proven by search or the best found within the time
// limit. Never worse than SelectGreedy's cover, which it computes as its
// first bound; spends the chart. Fills the search figures of stats.
std::vector<uint32_t> SelectMinimum(Chart& chart, const TCover& primes, int functionCount, const TRunParams& params,
                                    IEngineHost* host, TRunStats* stats);

}  // namespace tavro::detail
