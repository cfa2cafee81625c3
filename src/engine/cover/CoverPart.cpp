// The quick lower bound of a part of the chart.

#include "engine/cover/CoverPart.h"

#include <algorithm>
#include <numeric>

namespace tavro::detail {

int64_t DisjointColumns(const CoverPart& part) {
  std::vector<size_t> order(part.ColRows.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return part.ColRows[a].size() < part.ColRows[b].size(); });
  std::vector<uint8_t> used(part.Row.size(), 0);
  int64_t count = 0;
  for (size_t c : order) {
    bool free = true;
    for (int r : part.ColRows[c]) free = free && !used[static_cast<size_t>(r)];
    if (!free) continue;
    ++count;
    for (int r : part.ColRows[c]) used[static_cast<size_t>(r)] = 1;
  }
  return count;
}

}  // namespace tavro::detail
