#pragma once
// A compact list of cubes with per-function tags: the form in which the
// engine hands prime implicants and results to the formatters and writers.
//
// A cube is (Value, Mask): bit k of Mask set means input bit k is free; bit k
// of Value is the fixed value of input bit k (0 where the bit is free). Input
// bit Width-1 is pattern position 1, the letter A.

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

namespace tavro {

// One literal of a cube: its pattern position (0 = the most significant
// input, the letter A) and whether it is complemented.
struct TLiteral {
  int Position;
  bool Complemented;
};

// Sets, in a bitmap of rows (bit t of word t / 64 for row t), the bit of
// every row of the cube (value, mask).
inline void SetCubeBits(std::vector<uint64_t>& bits, uint32_t value, uint32_t mask) {
  // The low six bits select bits within one word; the others select words.
  const uint32_t lowMask = mask & 63u, lowValue = value & 63u;
  uint64_t word = 0;
  uint32_t sub = 0;
  do {
    word |= uint64_t{1} << (lowValue | sub);
    sub = (sub - lowMask) & lowMask;
  } while (sub != 0);
  const uint32_t highMask = mask & ~63u, highValue = value & ~63u;
  sub = 0;
  do {
    bits[(highValue | sub) >> 6] |= word;
    sub = (sub - highMask) & highMask;
  } while (sub != 0);
}

class TCover {
 public:
  TCover() = default;
  TCover(int width, int functionCount)
      : Width(width), FunctionCount(functionCount), TagWords((functionCount + 63) / 64) {}

  int Width = 0;
  int FunctionCount = 0;
  int TagWords = 0;

  size_t Count() const { return FValues.size(); }
  bool Empty() const { return FValues.empty(); }
  uint32_t Value(size_t i) const { return FValues[i]; }
  uint32_t Mask(size_t i) const { return FMasks[i]; }
  const uint64_t* Tags(size_t i) const { return FTags.data() + i * static_cast<size_t>(TagWords); }
  bool Tag(size_t i, int f) const { return (Tags(i)[f >> 6] >> (f & 63)) & 1u; }
  int Ones(size_t i) const { return std::popcount(FValues[i]); }
  // Number of terms the cube covers.
  uint64_t Size(size_t i) const { return uint64_t{1} << std::popcount(FMasks[i]); }
  std::string Pattern(size_t i) const;
  // The literals of cube i in position order. After a sum-of-products run a
  // cube is a product that is 1 on its terms, so a fixed 0 is complemented;
  // after a product-of-sums run it is a sum that is 0 on its terms (they are
  // maxterms), so a fixed 1 is complemented.
  std::vector<TLiteral> Literals(size_t i, bool productOfSums) const;

  void Add(uint32_t value, uint32_t mask, const uint64_t* tags);
  void Reserve(size_t n);

  // Calls fn(term) for every term of cube i in ascending order.
  template <class Fn>
  void ForEachTerm(size_t i, Fn&& fn) const {
    const uint32_t mask = FMasks[i], value = FValues[i];
    uint32_t sub = 0;
    do {
      fn(value | sub);
      sub = (sub - mask) & mask;
    } while (sub != 0);
  }

 private:
  std::vector<uint32_t> FValues;
  std::vector<uint32_t> FMasks;
  std::vector<uint64_t> FTags;
};

}  // namespace tavro
