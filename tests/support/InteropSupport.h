#pragma once
// Helpers shared by the PLA, HDL and command-line interoperability tests:
// where the sources and the benchmarks are, whether this is a CI run, and the
// value of a function or of a result cover on one row.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/Cover.h"
#include "engine/core/FunctionSystem.h"
#include "model/TermVector.h"

namespace tavro::test {

// CI sets CI=true: there a missing tool or benchmark folder is a failure.
inline bool InCI() {
  const char* ci = std::getenv("CI");
  return ci && std::string(ci) == "true";
}

inline std::filesystem::path SourceDir() { return TAVRO_SOURCE_DIR; }

// The benchmark PLA folder beside the project: ../shared/bench/pla.
inline std::filesystem::path BenchPlaDir() { return SourceDir().parent_path() / "shared" / "bench" / "pla"; }

// The value of a function on a row: '1', '0' or '-' (don't care), by its
// kind (a listed maxterm is 0, an absent row of a maxterm function is 1).
inline char FunctionValue(const TTermVector& f, uint32_t row) {
  const auto& terms = f.Terms();
  const auto it = std::lower_bound(terms.begin(), terms.end(), static_cast<int32_t>(row));
  if (it != terms.end() && *it == static_cast<int32_t>(row)) {
    if (f.DontCares()[static_cast<size_t>(it - terms.begin())]) return '-';
    return f.Maxterms ? '0' : '1';
  }
  return f.Maxterms ? '1' : '0';
}

// The value of function fn of a result cover on a row. After an SOP run the
// function is 1 on the union of its cubes; after a POS run it is 0 exactly on
// the union of its cubes.
inline bool CoverValue(const TCover& cover, int fn, uint32_t row, int mode) {
  bool inCube = false;
  for (size_t k = 0; k < cover.Count() && !inCube; ++k)
    inCube = cover.Tag(k, fn) && ((row & ~cover.Mask(k)) == cover.Value(k));
  return mode == modeSOP ? inCube : !inCube;
}

// True when the function has no term in the run's kind, so the run would
// refuse it (a constant 0 for SOP, a constant 1 for POS).
inline bool EmptyInRunKind(const TTermVector& f, int width, int mode) {
  const bool wantMaxterms = mode == modePOS;
  if (f.Maxterms == wantMaxterms) return f.Count() == 0;
  return ComplementTerms(f, width).Count() == 0;
}

}  // namespace tavro::test
