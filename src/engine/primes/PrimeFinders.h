#pragma once
// The prime finders. Each takes the system's functions (or a cover of them)
// and gives the same prime implicant list, in the order that pairing cubes
// level by level makes it:
//   - PairingPrimes.cpp: pairs cubes level by level through hashed patterns
//     (any width);
//   - DensePrimes.cpp: sweeps dense per-mask arrays (narrow systems);
//   - SplitPrimes.cpp: splits the system's table on one input at a time;
//   - CubePrimes.cpp: splits a cover of the system on one input at a time.
// PrimeList.cpp holds what they share. Which finder a run takes is the
// run's choice (run/).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/Cover.h"
#include "engine/core/Hashing.h"
#include "engine/core/Host.h"
#include "engine/core/MemoryMeter.h"
#include "engine/core/RunObserver.h"
#include "engine/core/RunParams.h"
#include "model/Errors.h"
#include "model/TermVector.h"

namespace tavro::detail {

// Every term that some function lists, ascending, in rows, with the
// functions that list it in tags (tagWords words a row). Takes no more
// memory than a (term, function) pair per listed term.
void ListedRows(const std::vector<const TTermVector*>& functions, int width, int tagWords, std::vector<uint32_t>& rows,
                std::vector<uint64_t>& tags);

// Pairs cubes level by level; every width. Tells the observer (if any) each
// level once it is finished.
TCover TabulateListed(const std::vector<const TTermVector*>& functions, int width, IEngineHost* host, TRunStats* stats,
                      MemoryMeter& meter, IRunObserver* observer = nullptr);

// Sweeps dense arrays of all cubes of each mask; returns false (and does
// nothing) when the arrays would not fit the meter's limit.
bool TabulateDense(const std::vector<const TTermVector*>& functions, int width, IEngineHost* host, TRunStats* stats,
                   MemoryMeter& meter, TCover& primes);

// Splits the system on one input at a time, solving equal sub-tables once.
void TabulateSplit(const std::vector<const TTermVector*>& functions, int width, IEngineHost* host, TRunStats* stats,
                   MemoryMeter& meter, TCover& primes);

// Test hook: the splitting memo keeps only this many bits of its 128-bit
// hash (128, the default: all), so that a test can force different tables to
// share a hash. Also clears the count below.
void SetSplitMemoHashBits(int bits);
// Lookups whose hash matched a different table's (since the last call above).
uint64_t SplitMemoCollisions();

// The cube finder gives up (below) once its budget is spent, or once its
// memory passes a quarter of the meter's limit.
struct CubeBudgetSpent : std::exception {
  explicit CubeBudgetSpent(uint64_t bytes = 0, uint64_t primes = 0) : Bytes(bytes), Primes(primes) {}
  const char* what() const noexcept override;
  uint64_t Bytes;   // where its memory passed the quarter: how much; else 0
  uint64_t Primes;  // where its floor passed the most primes taken: the floor; else 0
};
// What the finder knows of the prime list before it is done: the list has
// at least Primes primes, and they cover at least Covered (function, term)
// pairs (each prime counted with every term it covers, once for each of its
// functions). Every part of the system solved raises the figures; the finder
// passes them on as they grow, so that a run whose later stages cannot fit
// them is refused then (by throwing).
struct TPrimeFloor {
  uint64_t Primes = 0, Covered = 0;
};
using PrimeFloorCheck = std::function<void(const TPrimeFloor&)>;

struct TCubeFinderParams {
  const std::atomic<bool>* Stop = nullptr;
  // Seconds it may take (0: no limit); past them, or (where QuarterSpends)
  // past a quarter of the meter's limit, it throws CubeBudgetSpent.
  double Budget = 0;
  bool QuarterSpends = true;
  // Where set: once ProjectFrom seconds have passed, a run projected to take
  // longer than these seconds spends the budget at once. The projection is
  // the time so far over the share of the split solved (each half of a part
  // holds half its share; a part solved before, or directly, adds its own),
  // once some part is solved.
  double ProjectedMost = 0;
  double ProjectFrom = 0.1;
  // Told the floor of the prime list as it grows (may be empty).
  PrimeFloorCheck Floor;
  // The cubes in a wide type even on a narrow system (the tests compare
  // the two).
  bool Wide = false;
  // Whether the status of the first level shows while the cubes are split,
  // or only once they are done (where another finder may take over first
  // and show its own).
  bool StatusFirst = true;
};

// Splits a cover of the system on one input at a time: the given cover (its
// cubes' tags giving, function by function, exactly the listed terms), or
// one made from the term lists when source is null. The cubes are held in
// the cube type of the width (core/Bits.h), or a wide one where asked.
void TabulateCubes(const std::vector<const TTermVector*>& functions, int width, const TCover* source, IEngineHost* host,
                   TRunStats* stats, MemoryMeter& meter, TCover& primes, const TCubeFinderParams& params = {});

// Working memory of the dense sweep at its widest two levels.
uint64_t DenseBytes(int width, int tagWords);

// Sorts primes (v, mask, tags) into prime implicant list order: ascending by
// ones, larger cubes first, and within one size in the order the pairing
// makes them.
void SortPrimeList(TCover& primes);

// The end of a prime finder that makes no levels: the statuses the pairing
// would show for levels 1 to deepest + 1 (deepest: the most free inputs of
// any prime), the list sorted, and the prime and zero-cube figures.
void FinishPrimeList(TCover& primes, int deepest, int64_t zeroCubes, IEngineHost* host, TRunStats* stats);

}  // namespace tavro::detail
