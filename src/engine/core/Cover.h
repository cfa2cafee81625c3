#pragma once
// A compact list of cubes with per-function tags: the form in which the
// engine hands prime implicants and results to the formatters and writers.
//
// A cube is (Value, Mask): bit k of Mask set means input bit k is free; bit k
// of Value is the fixed value of input bit k (0 where the bit is free). Input
// bit Width-1 is pattern position 1, the letter A.

#include <bit>
#include <cassert>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/core/Bits.h"

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
      : Width(width),
        FunctionCount(functionCount),
        TagWords((functionCount + 63) / 64),
        FWords(width > 32 ? static_cast<size_t>((width + 63) / 64) : 0) {}

  int Width = 0;
  int FunctionCount = 0;
  int TagWords = 0;

  size_t Count() const { return FCount; }
  bool Empty() const { return Count() == 0; }
  // Up to 32 inputs a cube is held as two 32-bit words; wider ones as
  // (Width + 63) / 64 64-bit words each, read through ValueAs and MaskAs.
  bool Narrow() const { return FWords == 0; }
  // The 32-bit fields of a narrow cover.
  uint32_t Value(size_t i) const {
    assert(Narrow());
    return FValues[i];
  }
  uint32_t Mask(size_t i) const {
    assert(Narrow());
    return FMasks[i];
  }
  // The cube's value and mask in a cube type of core/Bits.h wide enough
  // for Width.
  template <class B>
  B ValueAs(size_t i) const {
    return Load<B>(i, false);
  }
  template <class B>
  B MaskAs(size_t i) const {
    return Load<B>(i, true);
  }
  // Whether input bit k is free, and its fixed value.
  bool FreeAt(size_t i, int k) const {
    return Narrow() ? (FMasks[i] >> k) & 1u
                    : (FWide[i * 2 * FWords + FWords + (static_cast<size_t>(k) >> 6)] >> (k & 63)) & 1u;
  }
  bool OneAt(size_t i, int k) const {
    return Narrow() ? (FValues[i] >> k) & 1u : (FWide[i * 2 * FWords + (static_cast<size_t>(k) >> 6)] >> (k & 63)) & 1u;
  }
  const uint64_t* Tags(size_t i) const { return FTags.data() + i * static_cast<size_t>(TagWords); }
  bool Tag(size_t i, int f) const { return (Tags(i)[f >> 6] >> (f & 63)) & 1u; }
  // Fixed inputs set to 1, and free inputs.
  int Ones(size_t i) const;
  int FreeCount(size_t i) const;
  // Number of terms the cube covers (narrow covers).
  uint64_t Size(size_t i) const { return uint64_t{1} << std::popcount(FMasks[i]); }
  std::string Pattern(size_t i) const;
  // The literals of cube i in position order. After a sum-of-products run a
  // cube is a product that is 1 on its terms, so a fixed 0 is complemented;
  // after a product-of-sums run it is a sum that is 0 on its terms (they are
  // maxterms), so a fixed 1 is complemented.
  std::vector<TLiteral> Literals(size_t i, bool productOfSums) const;

  void Add(uint32_t value, uint32_t mask, const uint64_t* tags);
  template <class B>
  void AddAs(const B& value, const B& mask, const uint64_t* tags) {
    if constexpr (std::is_same_v<B, uint32_t>) {
      if (Narrow()) return Add(value, mask, tags);
    }
    if (Narrow())
      return Add(static_cast<uint32_t>(bits::Word(value, 0)), static_cast<uint32_t>(bits::Word(mask, 0)), tags);
    for (size_t k = 0; k < FWords; ++k) FWide.push_back(bits::Word(value, k));
    for (size_t k = 0; k < FWords; ++k) FWide.push_back(bits::Word(mask, k));
    AddTags(tags);
  }
  // A wide cube from its words ((Width + 63) / 64 each, the lowest first).
  void AddWords(const uint64_t* value, const uint64_t* mask, const uint64_t* tags) {
    if (Narrow()) return Add(static_cast<uint32_t>(value[0]), static_cast<uint32_t>(mask[0]), tags);
    FWide.insert(FWide.end(), value, value + FWords);
    FWide.insert(FWide.end(), mask, mask + FWords);
    AddTags(tags);
  }
  // Cube i of another cover of the same width.
  void AddFrom(const TCover& from, size_t i, const uint64_t* tags);
  void Reserve(size_t n);

  // Calls fn(term) for every term of cube i in ascending order (narrow
  // covers).
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
  template <class B>
  B Load(size_t i, bool mask) const {
    const size_t at = mask ? FWords : 0;
    if constexpr (std::is_integral_v<B>) {
      if (Narrow()) return static_cast<B>(mask ? FMasks[i] : FValues[i]);
      return static_cast<B>(FWide[i * 2 * FWords + at]);
    } else {
      B r;
      if (Narrow()) r.W[0] = mask ? FMasks[i] : FValues[i];
      for (size_t k = 0; k < FWords && k < sizeof(r.W) / 8; ++k) r.W[k] = FWide[i * 2 * FWords + at + k];
      return r;
    }
  }
  void AddTags(const uint64_t* tags) {
    FTags.insert(FTags.end(), tags, tags + TagWords);
    ++FCount;
  }

  size_t FWords = 0;  // 64-bit words of a wide value or mask; 0 when narrow
  std::vector<uint32_t> FValues;
  std::vector<uint32_t> FMasks;
  std::vector<uint64_t> FWide;  // per cube: its value's words, then its mask's
  std::vector<uint64_t> FTags;
  size_t FCount = 0;
};

}  // namespace tavro
