#pragma once
// What a minimization run is asked to do (its parameters) and what it reports
// back (its figures). Every caller — the window, the command-line tool, the
// benchmarks and the tests — fills one TRunParams and reads one TRunStats.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "model/Errors.h"

namespace tavro {

class IRunObserver;

// How the prime implicants are found; every way gives the same list.
enum class TPrimeMethod {
  Automatic,  // whichever is expected to be faster
  Pairing,    // pair cubes level by level (any width)
  Dense,      // sweep dense arrays of all cubes (narrow systems)
  Split,      // split on one input at a time, sharing equal sub-tables
  Cubes,      // split a cover of cubes (a loaded PLA's own, or one made
              // from the term lists) on one input at a time; no row tables
};

// How the cover is chosen from the prime implicant chart.
enum class TCostCriterion {
  Smallest,  // "Smallest Cost": essential rows, row reduction, greedy completion
  Pla,       // "PLA Cost": the fewest products, then the fewest literals
  Fast,      // "Fast (heuristic)": expand, irredundant cover and reduce on
             // the cubes, without the prime implicants
};

// How the prime implicant chart holds its columns; every form gives the same
// result.
enum class TChartForm {
  Automatic,  // classes for wide systems with many pairs
  Classes,    // columns that the same rows cover are one weighted column
  Pairs,      // one column per (function, care term)
};

struct TRunParams {
  // A function without terms in the run's kind stops the run ("Function N
  // contains no terms!"), unless this is set: then it is a constant (0 in a
  // sum of products, 1 in a product of sums) with no cube in the result, as
  // a PLA file's output that no row sets is.
  bool ConstantEmptyFunctions = false;
  // Largest working memory a run may use before it stops; 0: half of the
  // machine's physical memory.
  uint64_t MaxMemoryBytes = 0;
  TPrimeMethod PrimeMethod = TPrimeMethod::Automatic;
  TCostCriterion Cost = TCostCriterion::Smallest;
  TChartForm ChartForm = TChartForm::Automatic;
  // Time the minimum cover selection may take, all its stages; at the limit
  // it ends with the best cover found. 0: no limit.
  double TimeLimitSeconds = 60;
  // The minimum cover search first tries its own branch and bound on parts
  // of the chart small enough for it; off, every part goes to the linear
  // program's search (for tests and measurements).
  bool CombinatorialSearch = true;
  // Where positive, the minimum cover search is the branch and bound alone,
  // with this much work for each part of the chart (about one unit per 64
  // cells read, some 200,000 units a millisecond): a part it does not
  // settle stays unproven, and whether it settles does not depend on the
  // machine's speed. 0: the branch and bound's own budget, then the linear
  // program's search, within the time limit.
  int64_t SearchWork = 0;
  // A run from cubes holds them in a wide cube type (core/Bits.h) even where
  // the system is narrow, as past kMaxTermInputs inputs (for tests: the two
  // must give the same result).
  bool WideCubes = false;
  // "Remove Hazards": every two care terms of a function at distance 1 lie in
  // one product of that function (no static hazard for a change of one
  // input), with the fewest products, then literals (the minimum cover
  // search, whatever Cost says). Up to MaxInputBits inputs; never the
  // heuristic.
  bool HazardFree = false;
  // Check the prime implicant list in depth (VerifyPrimes) before the chart
  // is made; a build configured with TAVRO_VERIFY does so in every run.
#ifdef TAVRO_VERIFY
  bool Verify = true;
#else
  bool Verify = false;
#endif
  // Follows the run's steps (core/RunObserver.h); null: nobody does.
  IRunObserver* Observer = nullptr;
  // Set by another thread to end the run early; the run then throws
  // StoppedError and leaves the system as it was.
  const std::atomic<bool>* Stop = nullptr;

  bool StopRequested() const { return Stop && Stop->load(std::memory_order_relaxed); }
};

// Half of the physical memory, at most 4 GiB: the limit where none is given.
uint64_t DefaultMemoryLimit();

// For a program that runs the engine: lets the allocator keep the memory a
// run frees for the next lists it makes (see RunParams.cpp).
void KeepFreedMemoryForReuse();

// The refusal of work that would need about bytes of memory, more than it is
// allowed: "System too large to minimize (about N MiB needed).", N rounded up.
inline ResourceError TooLargeError(uint64_t bytes) {
  const uint64_t mib = bytes / (uint64_t{1} << 20) + (bytes % (uint64_t{1} << 20) != 0);
  std::string message = "System too large to minimize (about ";  // (piecewise: GCC 12 warns falsely
  message += std::to_string(mib);                                // of "..." + std::string here)
  message += " MiB needed).";
  return ResourceError(message, bytes);
}

// What loading a system file is asked to do (LoadSystemFile, LoadPlaFile,
// LoadTermFile, ParsePlaText, ParseTermFileText).
struct TLoadParams {
  // false: a wide PLA whose rows give its functions keeps its terms in them
  // (the system's TermsInSource) instead of listing them.
  bool ListPlaTerms = true;
  // The most memory the load may take, the file's bytes included; past it
  // the load throws TooLargeError before it allocates. 0: DefaultMemoryLimit().
  uint64_t MaxMemoryBytes = 0;

  uint64_t MemoryLimit() const { return MaxMemoryBytes ? MaxMemoryBytes : DefaultMemoryLimit(); }
  // Throws TooLargeError(bytes) when bytes pass the limit.
  void CheckMemory(uint64_t bytes) const {
    if (bytes > MemoryLimit()) throw TooLargeError(bytes);
  }
};

// Figures of one run, for the statistics output and the benchmarks.
struct TRunStats {
  int Inputs = 0;
  int Outputs = 0;
  int64_t Terms = 0;  // terms of all functions as minimized
  int64_t ZeroCubes = 0;
  std::vector<int64_t> LevelCubes;  // cubes kept per level (the last is 0); empty when unknown
  int64_t Implicants = 0;           // all levels together
  int64_t Primes = 0;
  int64_t ChartRows = 0, ChartColumns = 0, ChartCells = 0;
  int64_t Selected = 0;     // products of the result
  int64_t Literals = 0;     // literals of the result, each product counted once
  int64_t Connections = 0;  // output connections: each product once per function it is in
  // The heuristic made the result (asked for, or where the exact run could
  // not); HeuristicRounds counts its reduce-expand rounds.
  bool Heuristic = false;
  int64_t HeuristicRounds = 0;
  // The minimum cover search ("PLA Cost"); under "Smallest Cost" the lower
  // bound is 0 and Proven false.
  int64_t LowerBound = 0;                 // products any cover needs at least
  bool Proven = false;                    // the result is a proven minimum
  bool LiteralsProven = false;            // and has the fewest literals of such covers
  int64_t CoreRows = 0, CoreColumns = 0;  // what is left after the reductions
  int64_t SearchNodes = 0;
  bool SearchCut = false;  // the clock ended or skipped part of the search
  // Adjacent pairs of care terms that no product of their function holds
  // (static hazards for a change of one input); -1 where not counted.
  int64_t Hazards = -1;
  double SecondsConvert = 0, SecondsCombine = 0, SecondsChart = 0, SecondsSelect = 0, SecondsOutput = 0,
         SecondsTotal = 0;

  // The figures as "name: value" lines, one per figure.
  std::string Text() const;
  // The same figures as names and texts, in Text's order ("-" for a count
  // not made).
  std::vector<std::pair<std::string, std::string>> Figures() const;
};

// The stop flag of the run on this thread, set for the run's duration, so that
// long loops deep in the engine can look at it without a parameter.
inline thread_local const std::atomic<bool>* RunStopFlag = nullptr;

// The time by which the exact run on this thread must be past a stage that
// has a budget, where the heuristic can take over: the primes and their
// chart past 24 inputs, the primes from a file's cubes below that. Threads
// the run shares its work with keep the same deadline.
inline thread_local std::chrono::steady_clock::time_point ExactDeadline = std::chrono::steady_clock::time_point::max();

// Thrown by a stage that finds ExactDeadline passed.
struct ExactBudgetSpent : std::exception {
  const char* what() const noexcept override { return "the exact run's time is spent"; }
};

inline void CheckExactDeadline() {
  if (ExactDeadline != std::chrono::steady_clock::time_point::max() && std::chrono::steady_clock::now() > ExactDeadline)
    throw ExactBudgetSpent();
}

// Sets ExactDeadline seconds from now while it lives (none for seconds <= 0).
class TDeadlineScope {
 public:
  explicit TDeadlineScope(double seconds) : FSaved(ExactDeadline) {
    if (seconds > 0)
      ExactDeadline =
          std::chrono::steady_clock::now() +
          std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
  }
  ~TDeadlineScope() { ExactDeadline = FSaved; }
  TDeadlineScope(const TDeadlineScope&) = delete;
  TDeadlineScope& operator=(const TDeadlineScope&) = delete;

 private:
  std::chrono::steady_clock::time_point FSaved;
};

// Throws StoppedError when the run on this thread was asked to stop. Cheap,
// but meant for every few thousand iterations, not every one.
inline void CheckStop() {
  if (RunStopFlag && RunStopFlag->load(std::memory_order_relaxed)) throw StoppedError();
}

// Sets the run's stop flag for this thread while it lives.
class TStopScope {
 public:
  explicit TStopScope(const std::atomic<bool>* stop) : FSaved(RunStopFlag) { RunStopFlag = stop; }
  ~TStopScope() { RunStopFlag = FSaved; }
  TStopScope(const TStopScope&) = delete;
  TStopScope& operator=(const TStopScope&) = delete;

 private:
  const std::atomic<bool>* FSaved;
};

}  // namespace tavro
