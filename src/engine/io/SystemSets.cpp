#include "engine/io/SystemSets.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/core/CubeSets.h"

namespace tavro {

TCover DontCareCubes(const TFunctionSystem& system) {
  const int width = system.InputBits, count = system.FunctionCount();
  const bool sourceHolds = system.SourceCubes && system.SourceCubes->Width == width &&
                           system.SourceCubes->FunctionCount == count &&
                           (system.TermsInSource || TermsIdentity(system.Functions) == system.SourceIdentity);
  if (sourceHolds) return system.SourceDontCares ? *system.SourceDontCares : TCover(width, count);
  TCover cubes(width, count);
  if (width > MaxInputBits) return cubes;
  // Each term once, with every function that has it as a don't care.
  std::vector<std::pair<uint32_t, int>> terms;
  for (int f = 0; f < count; ++f) {
    const TTermVector& function = system.Functions[static_cast<size_t>(f)];
    for (int32_t k = 0; k < function.Count(); ++k)
      if (function.GetDontCare(k)) terms.emplace_back(static_cast<uint32_t>(function.GetTerm(k)), f);
  }
  std::sort(terms.begin(), terms.end());
  std::vector<uint64_t> tags(static_cast<size_t>(cubes.TagWords));
  for (size_t k = 0; k < terms.size();) {
    std::fill(tags.begin(), tags.end(), 0);
    const uint32_t term = terms[k].first;
    for (; k < terms.size() && terms[k].first == term; ++k)
      tags[static_cast<size_t>(terms[k].second) >> 6] |= uint64_t{1} << (terms[k].second & 63);
    cubes.Add(term, 0, tags.data());
  }
  return cubes;
}

TCover RestCubes(const TCover& cover, const TCover& dontCares, int width) {
  TCover rest(width, cover.FunctionCount);
  std::vector<uint64_t> tags(static_cast<size_t>(rest.TagWords));
  for (int f = 0; f < cover.FunctionCount; ++f) {
    std::fill(tags.begin(), tags.end(), 0);
    tags[static_cast<size_t>(f) >> 6] |= uint64_t{1} << (f & 63);
    AppendComplement({&cover, &dontCares}, f, width, tags.data(), rest);
  }
  return rest;
}

}  // namespace tavro
