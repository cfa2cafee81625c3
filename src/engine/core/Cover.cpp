#include "engine/core/Cover.h"

namespace tavro {

std::string TCover::Pattern(size_t i) const {
  std::string p(static_cast<size_t>(Width), '0');
  for (int j = 0; j < Width; ++j) {
    const int k = Width - 1 - j;
    p[static_cast<size_t>(j)] = FreeAt(i, k) ? '-' : (OneAt(i, k) ? '1' : '0');
  }
  return p;
}

std::vector<TLiteral> TCover::Literals(size_t i, bool productOfSums) const {
  std::vector<TLiteral> literals;
  for (int p = 0; p < Width; ++p) {
    const int k = Width - 1 - p;
    if (FreeAt(i, k)) continue;
    literals.push_back({p, OneAt(i, k) == productOfSums});
  }
  return literals;
}

int TCover::Ones(size_t i) const {
  if (Narrow()) return std::popcount(FValues[i]);
  int n = 0;
  for (size_t k = 0; k < FWords; ++k) n += std::popcount(FWide[i * 2 * FWords + k]);
  return n;
}

int TCover::FreeCount(size_t i) const {
  if (Narrow()) return std::popcount(FMasks[i]);
  int n = 0;
  for (size_t k = 0; k < FWords; ++k) n += std::popcount(FWide[i * 2 * FWords + FWords + k]);
  return n;
}

void TCover::Add(uint32_t value, uint32_t mask, const uint64_t* tags) {
  if (!Narrow()) return AddAs(uint64_t{value}, uint64_t{mask}, tags);
  FValues.push_back(value);
  FMasks.push_back(mask);
  AddTags(tags);
}

void TCover::AddFrom(const TCover& from, size_t i, const uint64_t* tags) {
  if (Narrow() && from.Narrow()) return Add(from.FValues[i], from.FMasks[i], tags);
  if (from.Narrow()) return Add(from.FValues[i], from.FMasks[i], tags);
  const size_t n = std::min(FWords, from.FWords);
  const size_t at = FWide.size();
  FWide.resize(at + 2 * FWords, 0);
  for (size_t k = 0; k < n; ++k) {
    FWide[at + k] = from.FWide[i * 2 * from.FWords + k];
    FWide[at + FWords + k] = from.FWide[i * 2 * from.FWords + from.FWords + k];
  }
  AddTags(tags);
}

void TCover::Reserve(size_t n) {
  if (Narrow()) {
    FValues.reserve(n);
    FMasks.reserve(n);
  } else {
    FWide.reserve(n * 2 * FWords);
  }
  FTags.reserve(n * static_cast<size_t>(TagWords));
}

}  // namespace tavro
