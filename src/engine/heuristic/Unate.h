#pragma once
// The unate recursive paradigm on the input parts of cubes (lists of
// TSpace::IW words per cube): split on the input most cubes fix in both
// ways until each part is unate, where the answer is direct.

#include <exception>
#include <optional>
#include <vector>

#include "engine/heuristic/CubeSpace.h"

namespace tavro::heuristic {

// Whether the cubes cover every input combination.
bool Tautology(TCubeList cubes, const TSpace& space);

// Cubes that cover exactly the input combinations the given ones do not.
// splits (may be null): how many more splits the complement may make; past
// them it throws ComplementTooLarge.
TCubeList Complement(TCubeList cubes, const TSpace& space, uint64_t* splits = nullptr);

struct ComplementTooLarge : std::exception {
  const char* what() const noexcept override { return "the complement takes too many splits"; }
};

// The smallest cube that holds every input combination the cubes do not
// cover; none where they cover all.
std::optional<std::vector<uint64_t>> ComplementHull(TCubeList cubes, const TSpace& space);

}  // namespace tavro::heuristic
