#pragma once
// Short texts of cube lists and systems for test messages, and the checks
// and draws of systems that several engine tests share.

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "engine/core/Cover.h"
#include "model/TermVector.h"
#include "support/RandomSystems.h"

namespace tavro::testing {

// Every cube of the list as its pattern and tags, in list order.
inline std::string Describe(const TCover& c) {
  std::string s;
  for (size_t i = 0; i < c.Count(); ++i) {
    s += c.Pattern(i) + ":";
    for (int f = 0; f < c.FunctionCount; ++f) s += c.Tag(i, f) ? '1' : '0';
    s += ' ';
  }
  return s;
}

// The functions' kinds and terms, don't cares marked.
inline std::string Dump(const std::vector<TTermVector>& fs) {
  std::string s;
  for (const auto& f : fs) {
    s += f.Maxterms ? "+" : "-";
    for (int i = 0; i < f.Count(); ++i) s += std::to_string(f.GetTerm(i)) + (f.GetDontCare(i) ? "d," : ",");
    s += " | ";
  }
  return s;
}

inline bool AnyEmpty(const std::vector<TTermVector>& functions) {
  return std::any_of(functions.begin(), functions.end(), [](const TTermVector& f) { return f.Count() == 0; });
}

// A random system of 8 to maxBits inputs in minterms, no function empty.
inline std::vector<TTermVector> MintermSystem(std::mt19937& rng, int maxBits, int* bits) {
  RandomSystemOptions options{8, maxBits, 1, 5};
  while (true) {
    const auto functions = RandomSystem(rng, options, bits);
    auto work = InKind(functions, false, *bits);
    if (!AnyEmpty(work)) return work;
  }
}

}  // namespace tavro::testing
