#pragma once
// Term sets given as unions of cubes: a system loaded from a cube table is
// read, charted and checked from its cubes, without listing its terms.

#include <cstdint>
#include <optional>
#include <string>
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

// A number of terms. Past 2^63 (systems of more than 63 inputs) it is held
// approximately, exactly below 2^64.
using TTermCount = long double;
// A count as a figure: itself, or INT64_MAX where it is larger.
int64_t CountFigure(TTermCount n);

// The cubes of cover tagged f (none when cover is null; every cube for
// f = -1), with each value 0 where the cube is free.
template <class B>
std::vector<TCubeOf<B>> TaggedCubes(const TCover* cover, int f) {
  std::vector<TCubeOf<B>> cubes;
  if (!cover) return cubes;
  for (size_t k = 0; k < cover->Count(); ++k)
    if (f < 0 || cover->Tag(k, f)) {
      const B m = cover->MaskAs<B>(k);
      cubes.push_back({cover->ValueAs<B>(k) & ~m, m});
    }
  return cubes;
}
inline std::vector<TCubeRef> TaggedCubes(const TCover* cover, int f) { return TaggedCubes<uint32_t>(cover, f); }

// The smallest term of the cube (value, free) that none of the cubes covers,
// or none when they cover all of it.
template <class B>
std::optional<B> FirstUncovered(const B& value, const B& free, const std::vector<TCubeOf<B>>& cubes);
// As a number (narrow cubes), -1 for none.
int64_t FirstUncovered(uint32_t value, uint32_t free, const std::vector<TCubeRef>& cubes);

// How many terms of the cube (value, free) the cubes cover.
template <class B>
TTermCount CoveredTerms(const B& value, const B& free, const std::vector<TCubeOf<B>>& cubes);
uint64_t CoveredCount(uint32_t value, uint32_t free, const std::vector<TCubeRef>& cubes);
// The terms of the cover's cubes tagged f (any function for f = -1), over
// width inputs.
TTermCount CoveredCount(const TCover& cover, int f, int width);

// The care terms of function f: listed and not don't care.
TTermCount CareCount(const TCubeSystem& system, int f, int width);
// Every term of function f, care and don't care.
TTermCount ListedCount(const TCubeSystem& system, int f, int width);

// Appends to out, each with the tags `tags`, cubes whose terms are exactly
// those of the width inputs that no cube tagged f of the covers `from`
// holds (any width; the covers may be null). Splits on the input the most
// cubes fix until a part meets no cube (a cube of the result) or lies in one
// (none); cubes that both halves of a split give are joined.
void AppendComplement(const std::vector<const TCover*>& from, int f, int width, const uint64_t* tags, TCover& out);
// The same on a list of cubes (values 0 where free), within the cube whose
// free inputs are `space`.
template <class B>
std::vector<TCubeOf<B>> ComplementCubes(std::vector<TCubeOf<B>> cubes, const B& space);

// The term lists of the functions: ascending, each don't care flagged
// (narrow systems).
std::vector<TTermVector> ListCubeTerms(const TCubeSystem& system, int functionCount, int width);

// As VerifyCover, for functions given by cubes: every care term of every
// function is covered by a cube tagged for it, and no tagged cube covers a
// row the function does not list. Throws InternalError otherwise (a row is
// named by its number, or past 63 inputs by its pattern). wide: holds the
// cubes in a wide type even on a narrow system.
void VerifyCoverCubes(const TCubeSystem& system, int functionCount, const TCover& cover, bool wide = false);

}  // namespace tavro
