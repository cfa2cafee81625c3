// The greedy cover of a part of the chart against its rule read plainly.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "engine/cover/CoverPart.h"

using namespace tavro;

namespace {

// The greedy cover as its rule reads, one full scan of the rows a step: the
// best score (within 1e-12), fewer literals on a tie, the lower row first;
// then rows whose columns all have another chosen row go, most literals first.
std::vector<uint8_t> GreedyByScan(const detail::CoverPart& part, bool weighted) {
  const size_t n = part.Row.size(), m = part.ColRows.size();
  auto weight = [&](size_t c) { return weighted ? 1.0 / static_cast<double>(part.ColRows[c].size()) : 1.0; };
  auto has = [&](size_t c, size_t r) {
    return std::binary_search(part.ColRows[c].begin(), part.ColRows[c].end(), static_cast<int>(r));
  };
  std::vector<double> gain(n, 0.0);
  for (size_t c = 0; c < m; ++c)
    for (int r : part.ColRows[c]) gain[static_cast<size_t>(r)] += weight(c);
  std::vector<uint8_t> chosen(n, 0), covered(m, 0);
  for (size_t left = m; left > 0;) {
    size_t best = n;
    for (size_t r = 0; r < n; ++r)
      if (!chosen[r] && gain[r] > 1e-12 &&
          (best == n || gain[r] > gain[best] + 1e-12 ||
           (gain[r] >= gain[best] - 1e-12 && part.Literals[r] < part.Literals[best])))
        best = r;
    chosen[best] = 1;
    for (size_t c = 0; c < m; ++c)
      if (!covered[c] && has(c, best)) {
        covered[c] = 1;
        --left;
        for (int r : part.ColRows[c]) gain[static_cast<size_t>(r)] -= weight(c);
      }
  }
  std::vector<size_t> order;
  for (size_t r = 0; r < n; ++r)
    if (chosen[r]) order.push_back(r);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return part.Literals[a] > part.Literals[b]; });
  for (size_t r : order) {
    bool redundant = true;
    for (size_t c = 0; c < m; ++c)
      if (has(c, r))
        redundant = redundant && std::count_if(part.ColRows[c].begin(), part.ColRows[c].end(),
                                               [&](int q) { return chosen[static_cast<size_t>(q)]; }) > 1;
    if (redundant) chosen[r] = 0;
  }
  return chosen;
}

// The greedy cover keeps its rows in a heap; it must take the rows the scan
// takes. Columns of 1 to 7 rows make weighted scores that tie exactly, tie
// but for rounding (1/3 + 1/6 against 1/2), or differ.
TEST(GreedyPartCover, TakesTheRowsItsRuleTakes) {
  std::mt19937 rng(12122026);
  const TRunParams params;
  detail::Watch watch(params, detail::Clock::time_point::max());
  for (int n = 0; n < 300; ++n) {
    detail::CoverPart part;
    const int rows = 2 + static_cast<int>(rng() % 60), columns = 1 + static_cast<int>(rng() % 80);
    for (int r = 0; r < rows; ++r) {
      part.Row.push_back(static_cast<uint32_t>(r));
      part.Literals.push_back(1 + static_cast<int>(rng() % 3));
    }
    for (int c = 0; c < columns; ++c) {
      std::set<int> col;
      for (int k = 1 + static_cast<int>(rng() % 7); k > 0; --k)
        col.insert(static_cast<int>(rng() % static_cast<unsigned>(rows)));
      part.ColRows.emplace_back(col.begin(), col.end());
    }
    for (bool weighted : {false, true})
      ASSERT_EQ(detail::GreedyPartCover(part, weighted, watch), GreedyByScan(part, weighted))
          << "part " << n << (weighted ? " weighted" : "");
  }
}

}  // namespace
