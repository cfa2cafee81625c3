#pragma once
// Deep checks of a run's prime implicant list, made when a run is asked to
// verify (tavro-cli --verify, or every run of a build configured with
// TAVRO_VERIFY). The cheap check of the chosen cover, VerifyCover, runs after
// every run.

#include <vector>

#include "engine/core/Cover.h"
#include "engine/core/CubeSets.h"
#include "model/TermVector.h"

namespace tavro {

// Widest system whose prime list is also rebuilt by brute force and by the
// pairing, and compared with them cube by cube.
constexpr int VerifyFullInputs = 10;

// Checks the prime implicant list of functions (all in the run's kind):
//   - every cube is an implicant of exactly the functions in its tags, and of
//     at least one;
//   - every cube is prime: dropping any one of its literals leaves a cube
//     that is not an implicant of all the functions in its tags;
//   - no cube is listed twice;
//   - up to VerifyFullInputs inputs: the list holds every prime, in the order
//     in which pairing the cubes level by level lists them.
// Throws InternalError naming the first fault.
void VerifyPrimes(const std::vector<const TTermVector*>& functions, const TCover& primes);

// The same checks but the last, for a system given by cubes (any width):
// the implicants are told by walking the cubes, never the rows.
void VerifyPrimesCubes(const TCubeSystem& system, const TCover& primes);

// Checks that the cover realises every function: each care term covered by a
// cube tagged for its function, and no tagged cube covering a row the function
// does not list. Throws InternalError otherwise.
void VerifyCover(const std::vector<TTermVector>& functions, const TCover& cover);
void VerifyCover(const std::vector<const TTermVector*>& functions, const TCover& cover);

}  // namespace tavro
