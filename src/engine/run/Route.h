#pragma once
// The run's route: whether it works from the cubes that give its functions
// (a loaded PLA's rows), without listing their terms, or from the listed
// terms; and which prime finder it takes. Chosen once, before the run, from
// the system and the parameters; every stage of the run reads it. The
// thresholds of the choice are the constants below and kCubesFromInputs
// (core/CubeSets.h, which the PLA reader reads too).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/core/Cover.h"
#include "engine/core/FunctionSystem.h"
#include "engine/core/RunParams.h"
#include "model/TermVector.h"

namespace tavro {

// Covers with more cubes than this are left to the row methods.
constexpr size_t kCubesMaxSource = 1u << 16;

// Seconds of cube work before the tables take over: 1.5 up to 19 inputs,
// doubling with each input past that, as the tables do.
double CubesBudget(int inputBits);
// Of those budgets, the cube finder's where it is asked for by name.
constexpr double kNamedCubesBudgets = 2;
// Test hook: while not 0, CubesBudget gives these seconds at every width.
void SetCubesBudgetForTesting(double seconds);

// Seconds the cube finder may take past kMaxTermInputs inputs, where no
// table can take over, before the heuristic gives the result instead.
constexpr double kWideCubesBudget = 4;
// Seconds the primes and their chart may take together there.
constexpr double kWideExactBudget = 6;
// The most primes the exact run takes there: the heuristic takes over as
// soon as the cube finder knows of more. A chart of that many and its search
// do not end within the budget (mainpla's 87,692 primes take 4 s alone, and
// 15,039 with their chart 1.5 s), and a system with millions of primes is
// known to have more within a second or two of its 4 s.
constexpr uint64_t kWideMostPrimes = 50000;
// Below that width, where the cube finder reads a file's cubes, the most
// primes it may find before the heuristic takes over. The largest list of a
// run that ends among the benchmarks is 109,099 primes (test2, 0.4 s); a
// shifter's 165,133 need a chart of some 6 GiB, and one of 22 inputs lists
// 1.2 million primes in 9 s before its chart is refused.
constexpr uint64_t kNarrowMostPrimes = 250000;
// Seconds the cube finder and then the tables may take together there
// before the heuristic takes over. The benchmarks' prime lists of 17 to 24
// inputs take at most 0.2 s; random systems of 20 to 24 inputs can take the
// tables minutes and more than the memory allowed.
constexpr double kNarrowPrimesBudget = 5;
// The cube finder there also hands over once the share of its split parts
// solved projects a run of this many times its budget. The projection can
// run far over (xparc's rises to 1,100 s before its primes end at 0.6 s),
// but where the finder never ends it is far higher still (misg's stays
// above 4,000 s, soar's above 48,000).
constexpr double kWideProjectedBudgets = 500;

// The prime finder a run takes (every one gives the same list).
enum class TPrimeFinder {
  Pairing,          // pair the listed terms level by level
  Dense,            // dense arrays of all cubes where they fit, else pairing
  Split,            // split the table of rows on one input at a time
  Cubes,            // split the cover on one input at a time (the given
                    // cubes, or a cover made from the terms)
  CubesThenTables,  // the given cubes within CubesBudget, then the tables
  Tables,           // splitting where its table suits (SplitSuits), else pairing
};

// What the route is chosen from.
struct TRunSource {
  int Inputs = 0;
  // Cubes whose tags give exactly each function's terms as the run takes
  // them, or null: a loaded file's rows while the functions are still those
  // it gave and need no conversion to the run's kind.
  const TCover* Cubes = nullptr;
  // The functions' terms are not listed: only Cubes give them.
  bool TermsInCubes = false;
};

struct TRunRoute {
  // The run reads the cubes: the cube prime finder splits them and a chart
  // of classes is made from them, without the terms.
  bool FromCubes = false;
  // The terms that only the cubes give are listed before the run starts.
  // Otherwise they are listed in mid-run only if a stage needs them (the
  // tables once the cubes' budget is spent, a chart of pairs).
  bool ListTermsFirst = false;
  TPrimeFinder Finder = TPrimeFinder::Tables;
  // The cubes are held in a wide type (core/Bits.h): past kMaxTermInputs
  // inputs, where there are no term numbers (the run is then from cubes with
  // the cube finder, and nothing lists the terms), or where asked.
  bool Wide = false;
};

TRunRoute ChooseRoute(const TRunSource& source, const TRunParams& params);

// The most primes the cube finder may find on the route before the
// heuristic takes over (0: no bound): in an automatic run that the
// heuristic can take over (not a hazard-free one).
uint64_t MostPrimes(const TRunRoute& route, const TRunParams& params);

// The cubes-or-terms facts of the system as a run in mode (modeSOP, modePOS)
// takes it.
TRunSource RunSourceOf(const TFunctionSystem& system, int mode);

// The route of the SOP or POS command on the system.
inline TRunRoute ChooseRoute(const TFunctionSystem& system, int mode, const TRunParams& params) {
  return ChooseRoute(RunSourceOf(system, mode), params);
}

// Among the tables, splitting a full system works on a table of every row;
// where that table would take much of the memory allowed (limit), pairing
// the listed terms costs less.
bool SplitSuits(const std::vector<const TTermVector*>& functions, int inputBits, uint64_t limit);

}  // namespace tavro
