#include "support/RandomSystems.h"

#include "engine/core/FunctionSystem.h"

namespace tavro::testing {

std::vector<TTermVector> RandomSystem(std::mt19937& rng, const RandomSystemOptions& o, int* bits) {
  std::uniform_int_distribution<int> bitsDist(o.MinBits, o.MaxBits);
  std::uniform_int_distribution<int> fnDist(o.MinFunctions, o.MaxFunctions);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const int width = bitsDist(rng);
  const int count = fnDist(rng);
  const uint32_t rows = uint32_t{1} << width;
  std::vector<TTermVector> functions(static_cast<size_t>(count));
  for (auto& f : functions) {
    const double care = o.CareChance >= 0 ? o.CareChance : unit(rng) * 0.8 + 0.05;
    const double dc = o.DontCareChance >= 0 ? o.DontCareChance : unit(rng) * 0.3;
    f.Maxterms = o.MixKinds && unit(rng) < 0.3;
    for (uint32_t t = 0; t < rows; ++t) {
      const double x = unit(rng);
      if (x < care) f.Append(static_cast<int32_t>(t), false);
      else if (x < care + dc) f.Append(static_cast<int32_t>(t), true);
    }
  }
  // Make the system exactly `width` wide.
  auto& top = functions[static_cast<size_t>(rng() % static_cast<unsigned>(count))];
  if (!top.Contains(static_cast<int32_t>(rows - 1))) top.Append(static_cast<int32_t>(rows - 1), (rng() & 3) == 0);
  *bits = width;
  return functions;
}

int RowValue(const TTermVector& f, uint32_t row) {
  const auto t = static_cast<int32_t>(row);
  if (!f.Contains(t)) return f.Maxterms ? 1 : 0;
  if (f.IsDontCare(t)) return -1;
  return f.Maxterms ? 0 : 1;
}

std::vector<TTermVector> InKind(const std::vector<TTermVector>& functions, bool maxterms, int bits) {
  std::vector<TTermVector> result;
  for (const auto& f : functions) result.push_back(f.Maxterms == maxterms ? f : ComplementTerms(f, bits));
  return result;
}

}  // namespace tavro::testing
