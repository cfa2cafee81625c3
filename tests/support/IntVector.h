#pragma once
// An ordered set of non-negative integers: values ascending, never repeated.

#include <cstdint>
#include <vector>

namespace tavro {

class TIntVector {
 public:
  TIntVector() = default;

  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  // Inserts Value in ascending position; negative values and values already
  // present leave the vector unchanged.
  void Add(int32_t Value);
  // The value at Index (0 = smallest); throws RangeError outside the vector.
  int32_t GetItem(int32_t Index) const;
  void Clear() {
    FItems.clear();
    FItems.shrink_to_fit();
  }
  bool Contains(int32_t Value) const;

  const std::vector<int32_t>& Items() const { return FItems; }

 private:
  std::vector<int32_t> FItems;
};

}  // namespace tavro
