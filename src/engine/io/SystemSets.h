#pragma once
// The sets of a system beside a result, as cubes tagged with their
// functions, for the writers that carry more than the result: the don't
// cares the functions had, and what neither the result nor the don't cares
// hold.

#include "engine/core/Cover.h"
#include "engine/core/FunctionSystem.h"

namespace tavro {

// The don't cares of every function, tagged with the functions that have
// them: the loaded file's don't-care cubes while the functions are still
// those it gave, otherwise one cube per listed don't-care term.
TCover DontCareCubes(const TFunctionSystem& system);

// Per function f, cubes tagged f that hold exactly the terms of the width
// inputs in no cube tagged f of cover or of dontCares.
TCover RestCubes(const TCover& cover, const TCover& dontCares, int width);

}  // namespace tavro
