#pragma once
// The minimization run: zero cubes, combining level by level, prime
// implicants, the prime implicant chart and the selection of a cover, for all
// functions of a system at once.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/Cover.h"
#include "engine/core/FunctionSystem.h"
#include "engine/core/Host.h"
#include "engine/core/RunParams.h"

namespace tavro {

// The Output menu's toggles.
struct TOutputOptions {
  bool PrimeImplicants = false;    // "Prime Implcants"
  bool OptimizedFunctions = true;  // "Optimized Functions"
  bool Terms = false;              // "Terms"
  bool SignalNames = false;        // "Signal Names": a PLA's names for A, B, ... and f0, f1, ...
  bool KeepPrimes = false;         // keep the prime implicants with the result (ResultPrimes)
};

enum class TRunOutcome {
  NothingToDo,  // InputBits is 0
  Completed,
  EmptyFunction,  // a function has no terms in the run's kind
  TooWide,        // more than MaxInputBits inputs
  TooLarge,       // the memory limit was reached
  Stopped,        // TRunParams::Stop was set; nothing changed
};

// The result of the tabulation and the selection, without any text.
struct TMinimizeResult {
  TCover Primes;  // in prime implicant list order
  TCover Result;  // the chosen cover in result list order
};

// Runs the tabulation and the selection on functions that all hold the run's
// kind of terms (minterms for SOP, maxterms for POS). Status texts go to host
// (may be null). Throws ResourceError past the memory limit and StoppedError
// when asked to stop.
// source: cubes whose tags give exactly each function's terms, for the cube
// prime finder and the chart where the run's route reads them (run/Route.h);
// sourceDontCares: cubes whose tags give exactly each function's don't cares
// (optional, none when null).
TMinimizeResult MinimizeFunctions(const std::vector<TTermVector>& functions, int inputBits, IEngineHost* host,
                                  TRunStats* stats = nullptr, const TRunParams& params = {},
                                  const TCover* source = nullptr, const TCover* sourceDontCares = nullptr);

// The SOP (mode modeSOP) or POS (modePOS) command on the store: converts the
// functions to the run's kind, runs, appends the requested sections to the
// output pane, records the result and converts the functions back. The caller
// refreshes its view afterwards.
TRunOutcome RunCommand(TFunctionSystem& system, int mode, const TOutputOptions& options, IEngineHost& host,
                       TRunStats* stats = nullptr, const TRunParams& params = {});

}  // namespace tavro
