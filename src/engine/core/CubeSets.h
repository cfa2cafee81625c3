#pragma once
// Term sets given as unions of cubes: a system loaded from a cube table is
// read, charted and checked from its cubes, without listing its terms.

#include <cstdint>
#include <vector>

#include "engine/core/Cover.h"
#include "engine/core/Split.h"
#include "model/TermVector.h"

namespace tavro {

// A system given by cubes: function f's terms (care and don't care) are the
// terms of the cubes of Cubes tagged f; its don't cares the terms of the cubes
// of DontCares tagged f (each of which lies inside the former). DontCares may
// be null when there are none.
struct TCubeSystem {
  const TCover* Cubes = nullptr;
  const TCover* DontCares = nullptr;
  // How many terms each function lists, where already counted (else null).
  const std::vector<int64_t>* Listed = nullptr;
};

// Where a system is given as cubes, a run from this width on works from
// them instead of tables of rows; below it the row methods are quick anyway.
constexpr int kCubesFromInputs = 17;

// The cubes of cover tagged f (none when cover is null).
std::vector<TCubeRef> TaggedCubes(const TCover* cover, int f);

// The smallest term of the cube (value, free) that none of the cubes covers,
// or -1 when they cover all of it.
int64_t FirstUncovered(uint32_t value, uint32_t free, const std::vector<TCubeRef>& cubes);

// How many terms of the cube (value, free) the cubes cover.
uint64_t CoveredCount(uint32_t value, uint32_t free, const std::vector<TCubeRef>& cubes);

// The care terms of function f: listed and not don't care.
uint64_t CareCount(const TCubeSystem& system, int f, int width);
// Every term of function f, care and don't care.
uint64_t ListedCount(const TCubeSystem& system, int f, int width);

// The term lists of the functions: ascending, each don't care flagged.
std::vector<TTermVector> ListCubeTerms(const TCubeSystem& system, int functionCount, int width);

// As VerifyCover, for functions given by cubes: every care term of every
// function is covered by a cube tagged for it, and no tagged cube covers a
// row the function does not list. Throws InternalError otherwise.
void VerifyCoverCubes(const TCubeSystem& system, int functionCount, const TCover& cover);

}  // namespace tavro
