#pragma once
// The unate recursive paradigm on the input parts of cubes (lists of
// TSpace::IW words per cube): split on the input most cubes fix in both
// ways until each part is unate, where the answer is direct.

#include <optional>
#include <vector>

#include "engine/heuristic/CubeSpace.h"

namespace tavro::heuristic {

// Whether the cubes cover every input combination.
bool Tautology(TCubeList cubes, const TSpace& space);

// Cubes that cover exactly the input combinations the given ones do not.
TCubeList Complement(TCubeList cubes, const TSpace& space);

// The smallest cube that holds every input combination the cubes do not
// cover; none where they cover all.
std::optional<std::vector<uint64_t>> ComplementHull(TCubeList cubes, const TSpace& space);

// The cubes as seen inside cube c: those that meet c, each with the inputs
// c fixes freed (the cofactor). Both given as input parts.
TCubeList Cofactor(const TCubeList& cubes, const uint64_t* c, const TSpace& space);

}  // namespace tavro::heuristic
