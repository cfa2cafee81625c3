#include "engine/core/Cover.h"

namespace tavro {

std::string TCover::Pattern(size_t i) const {
  std::string p(static_cast<size_t>(Width), '0');
  for (int j = 0; j < Width; ++j) {
    const uint32_t bit = uint32_t{1} << (Width - 1 - j);
    p[static_cast<size_t>(j)] = (FMasks[i] & bit) ? '-' : ((FValues[i] & bit) ? '1' : '0');
  }
  return p;
}

std::vector<TLiteral> TCover::Literals(size_t i, bool productOfSums) const {
  std::vector<TLiteral> literals;
  for (int p = 0; p < Width; ++p) {
    const uint32_t bit = uint32_t{1} << (Width - 1 - p);
    if (FMasks[i] & bit) continue;
    const bool one = (FValues[i] & bit) != 0;
    literals.push_back({p, one == productOfSums});
  }
  return literals;
}

void TCover::Add(uint32_t value, uint32_t mask, const uint64_t* tags) {
  FValues.push_back(value);
  FMasks.push_back(mask);
  FTags.insert(FTags.end(), tags, tags + TagWords);
}

void TCover::Reserve(size_t n) {
  FValues.reserve(n);
  FMasks.reserve(n);
  FTags.reserve(n * static_cast<size_t>(TagWords));
}

}  // namespace tavro
