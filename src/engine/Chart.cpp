#include "engine/Chart.h"

namespace tavro::detail {

Chart::Chart(const std::vector<const TTermVector*>& functions, const TCover& primes, MemoryMeter& meter) {
  const size_t fcount = functions.size();
  std::vector<std::vector<uint32_t>> care(fcount);
  std::vector<int64_t> offset(fcount + 1, 0);
  for (size_t f = 0; f < fcount; ++f) {
    const auto& terms = functions[f]->Terms();
    const auto& flags = functions[f]->DontCares();
    for (size_t i = 0; i < terms.size(); ++i)
      if (!flags[i]) care[f].push_back(static_cast<uint32_t>(terms[i]));
    offset[f + 1] = offset[f] + static_cast<int64_t>(care[f].size());
  }
  Rows = static_cast<int32_t>(primes.Count());
  Columns = static_cast<int32_t>(offset[fcount]);

  RowStart.assign(static_cast<size_t>(Rows) + 1, 0);
  std::vector<uint32_t> cols;
  // Where it fits, a table from row to column per function makes each
  // covered term one lookup.
  const int width = primes.Width;
  uint64_t lookupBytes = static_cast<uint64_t>(fcount) * (uint64_t{4} << width);
  std::vector<std::vector<int32_t>> columnOf;
  if (lookupBytes > std::min<uint64_t>(meter.Limit() / 4, uint64_t{1} << 30)) {
    lookupBytes = 0;
  } else {
    meter.Set(lookupBytes);
    columnOf.assign(fcount, std::vector<int32_t>(size_t{1} << width, -1));
    for (size_t f = 0; f < fcount; ++f)
      for (size_t i = 0; i < care[f].size(); ++i)
        columnOf[f][care[f][i]] = static_cast<int32_t>(offset[f] + static_cast<int64_t>(i));
  }
  for (size_t r = 0; r < primes.Count(); ++r) {
    if ((r & 0xFFF) == 0) CheckStop();
    const uint32_t v = primes.Value(r), m = primes.Mask(r);
    const uint64_t size = primes.Size(r);
    for (size_t f = 0; f < fcount; ++f) {
      if (!primes.Tag(r, static_cast<int>(f))) continue;
      const auto& c = care[f];
      auto lo = std::lower_bound(c.begin(), c.end(), v);
      auto hi = std::upper_bound(lo, c.end(), v | m);
      const auto span = static_cast<uint64_t>(hi - lo);
      if (span == 0) continue;
      const uint32_t off = static_cast<uint32_t>(offset[f]);
      if (size < span && !columnOf.empty()) {
        const int32_t* index = columnOf[f].data();
        primes.ForEachTerm(r, [&](uint32_t t) {
          if (index[t] >= 0) cols.push_back(static_cast<uint32_t>(index[t]));
        });
      } else if (size < span) {
        primes.ForEachTerm(r, [&](uint32_t t) {
          auto it = std::lower_bound(lo, hi, t);
          if (it != hi && *it == t) {
            cols.push_back(off + static_cast<uint32_t>(it - c.begin()));
            lo = it + 1;
          }
        });
      } else {
        for (auto it = lo; it != hi; ++it)
          if ((*it & ~m) == v) cols.push_back(off + static_cast<uint32_t>(it - c.begin()));
      }
    }
    RowStart[r + 1] = cols.size();
    if ((r & 1023) == 0) meter.Set(cols.size() * 12 + static_cast<uint64_t>(Rows) * 40 + lookupBytes);
  }
  RowCols = std::move(cols);
  RowEnd.assign(RowStart.begin() + 1, RowStart.end());
  meter.Set(RowCols.size() * 12 + static_cast<uint64_t>(Rows) * 40 +
            static_cast<uint64_t>(Columns) * 24);

  // Column lists, rows ascending.
  ColStart.assign(static_cast<size_t>(Columns) + 1, 0);
  for (uint32_t c : RowCols) ++ColStart[c + 1];
  for (size_t c = 0; c < static_cast<size_t>(Columns); ++c) ColStart[c + 1] += ColStart[c];
  ColRows.resize(RowCols.size());
  std::vector<size_t> fill(ColStart.begin(), ColStart.end() - 1);
  for (int32_t r = 0; r < Rows; ++r)
    for (size_t k = RowStart[static_cast<size_t>(r)]; k < RowStart[static_cast<size_t>(r) + 1]; ++k)
      ColRows[fill[RowCols[k]]++] = static_cast<uint32_t>(r);

  ColEnd.assign(ColStart.begin() + 1, ColStart.end());
  ColWord.resize(static_cast<size_t>(Columns));
  for (size_t c = 0; c < ColWord.size(); ++c) {
    uint64_t z = (c + 1) * 0x9e3779b97f4a7c15ULL;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    ColWord[c] = z ^ (z >> 31);
  }
  Row.assign(static_cast<size_t>(Rows), RowState{});
  RowAlive.assign(static_cast<size_t>(Rows), 1);
  ColAlive.assign(static_cast<size_t>(Columns), 1);
  for (uint32_t r = 0; r < static_cast<uint32_t>(Rows); ++r) {
    Row[r].Count = static_cast<int32_t>(RowStart[r + 1] - RowStart[r]);
    for (size_t k = RowStart[r]; k < RowStart[r + 1]; ++k) Row[r].Hash += ColWord[RowCols[k]];
    DirtyRows.push_back(r);
  }
  for (uint32_t r = 0; r < static_cast<uint32_t>(Rows); ++r) {
    for (size_t k = RowStart[r]; k < RowStart[r + 1]; ++k) Row[r].Signature |= Signature(RowCols[k]);
    Row[r].Size = static_cast<uint8_t>(std::popcount(primes.Mask(r)));
    if (Row[r].Count > 0) {
      ++NonEmpty;
      ++NonEmptyOfSize[Row[r].Size];
    }
  }
  ColCount.resize(static_cast<size_t>(Columns));
  for (uint32_t c = 0; c < static_cast<uint32_t>(Columns); ++c) {
    ColCount[c] = static_cast<int32_t>(ColStart[c + 1] - ColStart[c]);
    if (ColCount[c] == 1) Single.push_back(c);
  }
  AliveColumns = Columns;
}

}  // namespace tavro::detail
