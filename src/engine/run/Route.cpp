#include "engine/run/Route.h"

#include <algorithm>

#include "engine/core/CubeSets.h"

namespace tavro {

namespace {
double gCubesBudgetForTesting = 0;
}

double CubesBudget(int inputBits) {
  if (gCubesBudgetForTesting > 0) return gCubesBudgetForTesting;
  return 1.5 * static_cast<double>(1 << std::max(0, inputBits - 19));
}

void SetCubesBudgetForTesting(double seconds) { gCubesBudgetForTesting = seconds; }

namespace {

// Below kCubesFromInputs the row methods are quick anyway, so the cubes are
// read there only when the cube finder is asked for.
bool ReadsCubes(const TRunSource& source, const TRunParams& params) {
  return source.Cubes && (params.PrimeMethod == TPrimeMethod::Cubes ||
                          (params.PrimeMethod == TPrimeMethod::Automatic && source.Inputs >= kCubesFromInputs));
}

TPrimeFinder ChooseFinder(const TRunSource& source, const TRunParams& params, bool fromCubes) {
  switch (params.PrimeMethod) {
    case TPrimeMethod::Pairing: return TPrimeFinder::Pairing;
    case TPrimeMethod::Dense: return TPrimeFinder::Dense;
    case TPrimeMethod::Split: return TPrimeFinder::Split;
    case TPrimeMethod::Cubes: return TPrimeFinder::Cubes;
    case TPrimeMethod::Automatic: break;
  }
  // Covers whose primes overlap in great numbers (shifters) are quicker on
  // tables; the cubes get a budget of work before that.
  return fromCubes && source.Cubes->Count() <= kCubesMaxSource ? TPrimeFinder::CubesThenTables : TPrimeFinder::Tables;
}

}  // namespace

TRunRoute ChooseRoute(const TRunSource& source, const TRunParams& params) {
  TRunRoute route;
  if (source.Inputs > kMaxTermInputs) {
    route.FromCubes = true;
    route.Finder = TPrimeFinder::Cubes;
    route.Wide = true;
    return route;
  }
  route.FromCubes = ReadsCubes(source, params);
  route.Finder = ChooseFinder(source, params, route.FromCubes);
  // The run starts without the terms only where its finder starts from the
  // cubes and nothing reads the terms up front: the check of the primes
  // does, and so does a chart asked to keep one column per pair.
  const bool startsFromCubes =
      route.FromCubes && (route.Finder == TPrimeFinder::Cubes || route.Finder == TPrimeFinder::CubesThenTables);
  route.ListTermsFirst =
      source.TermsInCubes && !(startsFromCubes && !params.Verify && params.ChartForm != TChartForm::Pairs);
  route.Wide = route.FromCubes && params.WideCubes;
  if (route.Wide) {
    route.Finder = TPrimeFinder::Cubes;
    route.ListTermsFirst = false;
  }
  return route;
}

uint64_t MostPrimes(const TRunRoute& route, const TRunParams& params) {
  if (params.PrimeMethod != TPrimeMethod::Automatic || params.HazardFree) return 0;
  if (route.Wide) return kWideMostPrimes;
  return route.Finder == TPrimeFinder::CubesThenTables ? kNarrowMostPrimes : 0;
}

TRunSource RunSourceOf(const TFunctionSystem& system, int mode) {
  TRunSource source;
  source.Inputs = system.InputBits;
  source.TermsInCubes = system.TermsInSource;
  const bool wantMaxterms = mode == modePOS;
  const bool converted = std::any_of(system.Functions.begin(), system.Functions.end(),
                                     [&](const TTermVector& f) { return f.Maxterms != wantMaxterms; });
  // Terms kept in the cubes are the ones they were loaded from (listing
  // them later makes the identity anew); listed terms are compared.
  const auto* cubes = system.SourceCubes.get();
  if (cubes && !converted && cubes->Width == system.InputBits && cubes->FunctionCount == system.FunctionCount() &&
      (system.TermsInSource || TermsIdentity(system.Functions) == system.SourceIdentity))
    source.Cubes = cubes;
  return source;
}

bool SplitSuits(const std::vector<const TTermVector*>& functions, int inputBits, uint64_t limit) {
  const uint64_t rows = uint64_t{1} << inputBits;
  const uint64_t tagWords = (functions.size() + 63) / 64;
  uint64_t listed = 0;
  for (const auto* f : functions) listed += static_cast<uint64_t>(f->Count());
  const bool table = listed * 8 >= rows;  // splitting then works on a table of every row
  return !table || rows * tagWords * 16 <= limit / 4;
}

}  // namespace tavro
