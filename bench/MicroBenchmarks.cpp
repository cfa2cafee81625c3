// Micro-benchmarks of the hot stages through the public engine API: the
// minimization run, reading term file text, writing a sum of products and
// converting a function to the other kind of terms.
//
//   cmake --preset bench && cmake --build --preset bench -j2
//   build/bench/bin/tavro_bench [--benchmark_filter=REGEX]

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/core/Cover.h"
#include "engine/core/FunctionSystem.h"
#include "engine/io/Format.h"
#include "engine/io/TermFile.h"
#include "engine/run/Minimize.h"
#include "model/TermVector.h"

namespace {

using tavro::TTermVector;

// `outputs` minterm functions over `bits` inputs: each row is a care term with
// chance `onSet` and a don't care with chance `dontCare`. The top row is a term
// of the first function, so the system is exactly `bits` wide. Fixed seed per
// shape, so every run measures the same systems.
std::vector<TTermVector> RandomSystem(int bits, int outputs, double onSet, double dontCare = 0) {
  std::mt19937 rng(static_cast<uint32_t>(1000 * bits + outputs));
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const uint32_t rows = uint32_t{1} << bits;
  std::vector<TTermVector> functions(static_cast<size_t>(outputs));
  for (auto& f : functions) {
    for (uint32_t t = 0; t < rows; ++t) {
      const double x = unit(rng);
      if (x < onSet) f.Append(static_cast<int32_t>(t), false);
      else if (x < onSet + dontCare) f.Append(static_cast<int32_t>(t), true);
    }
  }
  if (!functions[0].Contains(static_cast<int32_t>(rows - 1)))
    functions[0].Append(static_cast<int32_t>(rows - 1), false);
  return functions;
}

int64_t TotalTerms(const std::vector<TTermVector>& functions) {
  int64_t n = 0;
  for (const auto& f : functions) n += f.Count();
  return n;
}

// Args: inputs, outputs. 30 % of the rows on, no don't cares.
void BM_MinimizeFunctions(benchmark::State& state) {
  const int bits = static_cast<int>(state.range(0));
  const int outputs = static_cast<int>(state.range(1));
  const auto functions = RandomSystem(bits, outputs, 0.3);
  tavro::TRunStats stats;
  size_t primes = 0, selected = 0;
  for (auto _ : state) {
    auto result = tavro::MinimizeFunctions(functions, bits, nullptr, &stats);
    primes = result.Primes.Count();
    selected = result.Result.Count();
    benchmark::DoNotOptimize(result);
  }
  if (selected == 0 || primes < selected) {
    state.SkipWithError("the run produced no cover");
    return;
  }
  state.counters["primes"] = static_cast<double>(primes);
  state.counters["selected"] = static_cast<double>(selected);
  state.SetItemsProcessed(state.iterations() * TotalTerms(functions));
}
BENCHMARK(BM_MinimizeFunctions)
    ->ArgNames({"inputs", "outputs"})
    ->ArgsProduct({{10, 12, 14}, {1, 4}})
    ->Unit(benchmark::kMillisecond);

// Text of 4 functions over 20 inputs (30 % on, 5 % don't care): about 1.5
// million terms.
void BM_ParseTermFileText(benchmark::State& state) {
  const auto functions = RandomSystem(20, 4, 0.3, 0.05);
  const std::string text = tavro::TermFileText(functions);
  std::vector<TTermVector> parsed;
  for (auto _ : state) {
    parsed = tavro::ParseTermFileText(text);
    benchmark::DoNotOptimize(parsed);
  }
  if (parsed != functions) {
    state.SkipWithError("the parsed text differs from the written functions");
    return;
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.SetItemsProcessed(state.iterations() * TotalTerms(functions));
}
BENCHMARK(BM_ParseTermFileText)->Unit(benchmark::kMillisecond);

// The prime implicants of 4 functions over 16 inputs (30 % on): about 120000
// tagged cubes.
void BM_FormatSOP(benchmark::State& state) {
  const auto functions = RandomSystem(16, 4, 0.3);
  const tavro::TCover cover = tavro::MinimizeFunctions(functions, 16, nullptr).Primes;
  std::string text;
  for (auto _ : state) {
    text = tavro::FormatSOP(cover);
    benchmark::DoNotOptimize(text);
  }
  if (cover.Empty() || text.empty()) {
    state.SkipWithError("no text for the cover");
    return;
  }
  state.counters["cubes"] = static_cast<double>(cover.Count());
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(cover.Count()));
}
BENCHMARK(BM_FormatSOP)->Unit(benchmark::kMillisecond);

// One function over 20 inputs (30 % on, 5 % don't care) to maxterms.
void BM_ComplementTerms(benchmark::State& state) {
  constexpr int kBits = 20;
  const TTermVector f = RandomSystem(kBits, 1, 0.3, 0.05)[0];
  int64_t dontCares = 0;
  for (int32_t i = 0; i < f.Count(); ++i) dontCares += f.GetDontCare(i);
  TTermVector other;
  for (auto _ : state) {
    other = tavro::ComplementTerms(f, kBits);
    benchmark::DoNotOptimize(other);
  }
  // Every row is in exactly one of the two lists, except don't cares (in both).
  if (!other.IsMaxterms() || other.Count() + f.Count() != (int64_t{1} << kBits) + dontCares) {
    state.SkipWithError("the complement has the wrong rows");
    return;
  }
  state.SetItemsProcessed(state.iterations() * (int64_t{1} << kBits));
}
BENCHMARK(BM_ComplementTerms)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
