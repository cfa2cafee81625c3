#include "support/IntVector.h"

#include <algorithm>

#include "model/Errors.h"

namespace tavro {

void TIntVector::Add(int32_t Value) {
  if (Value < 0) return;
  auto pos = std::lower_bound(FItems.begin(), FItems.end(), Value);
  if (pos != FItems.end() && *pos == Value) return;
  FItems.insert(pos, Value);
}

int32_t TIntVector::GetItem(int32_t Index) const {
  if (Index < 0 || Index >= Count()) throw RangeError();
  return FItems[static_cast<size_t>(Index)];
}

bool TIntVector::Contains(int32_t Value) const {
  if (FItems.empty() || Value > FItems.back()) return false;
  return std::binary_search(FItems.begin(), FItems.end(), Value);
}

}  // namespace tavro
