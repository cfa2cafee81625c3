#pragma once
// Splitting a set of cubes on one input, the step that the prime finders, the
// chart's column classes and the cube counts all recurse on. A cube is
// (value, mask): the inputs set in mask are free, the others fixed to their
// bit of value. Split on input x, the set falls into the cubes that meet the
// half x = 0 and those that meet x = 1; a cube that leaves x free meets both.
// Each half is solved on its own, one input fewer to go; the cofactors of a
// cube (with x taken out) are the cube itself with x cleared from value and
// mask.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "engine/core/Bits.h"

namespace tavro {

// A cube as (value, free inputs), in a cube type of core/Bits.h.
template <class B>
struct TCubeOf {
  B Value;
  B Mask;
};
using TCubeRef = TCubeOf<uint32_t>;

// True when the cube (value, mask) meets the half where input `bit` is `half`
// (0 or bit): it fixes the input to that value or leaves it free. The value
// is tested first: with the value 0 where free, as cubes are held here, the
// half x = 0 is then decided without reading the mask.
template <class B>
constexpr bool MeetsHalf(const B& value, const B& mask, const B& bit, const std::type_identity_t<B>& half) {
  return (value & bit) == half || bits::Any(mask & bit);
}

// Appends to `stack` those of its own items [c0, c1) whose cube, cubeOf(item)
// as a TCubeRef, meets the half where input `bit` is `half`; returns where
// they start. A recursive split keeps the items of every open part at the end
// of one stack, and drops a part by cutting the stack back to its start.
template <class Stack, class B, class CubeOf>
size_t PushHalf(Stack& stack, size_t c0, size_t c1, const B& bit, const std::type_identity_t<B>& half,
                const CubeOf& cubeOf) {
  // Room made first: the loop then stores without growing the stack.
  const size_t start = stack.size();
  stack.resize(start + (c1 - c0));
  auto* out = stack.data() + start;
  for (size_t k = c0; k < c1; ++k) {
    const auto item = stack[k];
    const TCubeOf<B> c = cubeOf(item);
    if (MeetsHalf(c.Value, c.Mask, bit, half)) *out++ = item;
  }
  stack.resize(static_cast<size_t>(out - stack.data()));
  return start;
}

// The same for a stack of the cubes themselves.
template <class Stack, class B>
size_t PushHalf(Stack& stack, size_t c0, size_t c1, const B& bit, const std::type_identity_t<B>& half) {
  return PushHalf(stack, c0, c1, bit, half, [](const TCubeOf<B>& c) { return c; });
}

// Counts the inputs set in `fixed`, one per input, into counts[32].
inline void CountInputs(uint32_t fixed, int* counts) {
  for (uint32_t b = fixed; b; b &= b - 1) ++counts[std::countr_zero(b)];
}

// The input with the highest count (the lowest of equals): the one to split
// on, where counts are the cubes that fix each input (n of them).
inline int MostFixed(const int* counts, int n = 32) {
  int best = 0;
  for (int b = 1; b < n; ++b)
    if (counts[b] > counts[best]) best = b;
  return best;
}

// The same for any cube type: counts holds one count per bit of B.
template <class B>
void CountInputs(const B& fixed, std::vector<int>& counts) {
  bits::ForEach(fixed, [&](int k) { ++counts[static_cast<size_t>(k)]; });
}

// The same counts of many 64-bit cubes at once, the input to split on taken
// from them as MostFixed takes it. Input 8i + j is counted in byte i of word
// j, so a cube adds to all its inputs in eight word operations; the bytes
// pass into whole counts before they could overflow.
class TWordInputCounter {
 public:
  void Add(uint64_t fixed) {
    for (int j = 0; j < 8; ++j) FLanes[j] += (fixed >> j) & 0x0101010101010101ULL;
    if (++FPending == 255) Flush();
  }
  int Most() {
    Flush();
    return MostFixed(FCounts, 64);
  }

 private:
  void Flush() {
    for (int j = 0; j < 8; ++j) {
      for (int i = 0; i < 8; ++i) FCounts[8 * i + j] += static_cast<int>((FLanes[j] >> (8 * i)) & 0xff);
      FLanes[j] = 0;
    }
    FPending = 0;
  }

  uint64_t FLanes[8] = {};
  int FCounts[64] = {};
  int FPending = 0;
};

}  // namespace tavro
