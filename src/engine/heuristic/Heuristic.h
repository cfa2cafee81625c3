#pragma once
// The heuristic minimizer: expand, irredundant cover and reduce, repeated
// until the cover stops shrinking, then a last gasp and the output
// connections lowered. It works on the functions' cubes, at any width, and
// needs neither the prime implicants nor a table of rows. Same input, same
// cover.

#include <cstdint>
#include <exception>

#include "engine/core/Cover.h"

namespace tavro {

struct THeuristicParams {
  // Seconds after which no further step starts (0: no limit); the cover as
  // it stands then is the result (each step stops with a valid cover).
  double TimeLimitSeconds = 0;
  // Memory the off-set may take before the run is refused (TooLargeError).
  uint64_t MaxMemoryBytes = uint64_t{1} << 32;
  // Splits the off-set may take (a few seconds' work); past them the
  // functions' complement is taken as too large.
  uint64_t ComplementSplits = uint64_t{1} << 21;
  // Where the complement is too large: false, the run throws OffSetTooLarge;
  // true, the cubes expand within the cover and the don't cares instead
  // (slower, and with no last gasp), up to some thousands of cubes.
  bool WithinCover = false;
  // Whether the descents from the cubes as given and from one function per
  // cube may run side by side where a second processor is free (either way
  // the cover is the same).
  bool SideBySide = true;
};

struct THeuristicStats {
  int64_t OffSetCubes = 0;    // cubes of the complement the expansion works against
  int64_t FirstProducts = 0;  // products at the first expand-irredundant
  int Rounds = 0;             // reduce-expand-irredundant rounds
  bool TimeLimitReached = false;
};

// Thrown where the functions' complement, which the expansion works
// against, takes too much work to make.
struct OffSetTooLarge : std::exception {
  const char* what() const noexcept override { return "the functions' complement is too large"; }
};

// A cover of the functions: on gives, by its tags, each function's terms (its
// don't cares may be among them), dontCares (may be null) each function's
// don't cares. Every cube of the result is tagged only for functions it is
// needed in. Throws StoppedError when the run's stop flag is set.
struct THeuristicResult {
  TCover Cover;
  // Every prime the expansions made, each tagged for the functions it was
  // expanded into, the cover's cubes among them: a chart of these may give
  // a smaller cover.
  TCover Found;
};
THeuristicResult MinimizeHeuristic(const TCover& on, const TCover* dontCares, const THeuristicParams& params = {},
                                   THeuristicStats* stats = nullptr);

// The output-connection step on a cover already chosen: each function keeps
// only the cubes it needs; inputs and the order of the cubes stay. Cubes
// left in no function are dropped.
TCover LowerConnections(const TCover& cover, const TCover* dontCares);

// Output connections of a cover: its tags, counted.
int64_t Connections(const TCover& cover);

}  // namespace tavro
