#pragma once
// Cubes in positional form for the heuristic minimizer, at any width: input
// k takes bits 2k (the input may be 0) and 2k+1 (it may be 1), so a free
// input is 11 and a literal 01 or 10; after the input words come the output
// words, bit j set where the cube is in function j. The union of two cubes is
// then their smallest common cube, and their bitwise AND their intersection.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavro::heuristic {

constexpr uint64_t kEvenBits = 0x5555555555555555ull;

struct TSpace {
  TSpace(int inputs, int outputs)
      : Inputs(inputs),
        Outputs(outputs),
        IW((static_cast<size_t>(inputs) * 2 + 63) / 64),
        OW((static_cast<size_t>(outputs) + 63) / 64),
        W(IW + OW),
        Used(W, 0) {
    for (size_t b = 0; b < static_cast<size_t>(inputs) * 2; ++b) Used[b >> 6] |= uint64_t{1} << (b & 63);
    for (size_t j = 0; j < static_cast<size_t>(outputs); ++j) Used[IW + (j >> 6)] |= uint64_t{1} << (j & 63);
    Even0 = IW ? kEvenBits & Used[0] : 0;
  }

  int Inputs, Outputs;
  size_t IW, OW, W;            // words of the input part, the output part, a cube
  std::vector<uint64_t> Used;  // every bit in use: the full cube
  uint64_t Even0 = 0;          // the low bit of each input of the first word

  // Whether the input parts meet: every input keeps a value. (Up to 32
  // inputs and 64 functions a cube is two words: the loops the checks
  // below run most often have their one-word case first.)
  bool InputsMeet(const uint64_t* a, const uint64_t* b) const {
    if (IW == 1) {
      const uint64_t x = a[0] & b[0];
      return ((x | x >> 1) & Even0) == Even0;
    }
    for (size_t w = 0; w < IW; ++w) {
      const uint64_t x = a[w] & b[w];
      if (((x | x >> 1) & kEvenBits & Used[w]) != (kEvenBits & Used[w])) return false;
    }
    return true;
  }
  bool OutputsMeet(const uint64_t* a, const uint64_t* b) const {
    if (OW == 1) return (a[IW] & b[IW]) != 0;
    for (size_t w = IW; w < W; ++w)
      if (a[w] & b[w]) return true;
    return false;
  }
  bool Meet(const uint64_t* a, const uint64_t* b) const { return OutputsMeet(a, b) && InputsMeet(a, b); }
  // Whether b lies in a.
  bool Contains(const uint64_t* a, const uint64_t* b) const {
    if (W == 2) return ((b[0] & ~a[0]) | (b[1] & ~a[1])) == 0;
    for (size_t w = 0; w < W; ++w)
      if (b[w] & ~a[w]) return false;
    return true;
  }
  // Literals of the input part (each fixed input clears one bit).
  int Literals(const uint64_t* c) const {
    int n = 0;
    for (size_t w = 0; w < IW; ++w) n += std::popcount(~c[w] & Used[w]);
    return n;
  }
  int OutputCount(const uint64_t* c) const {
    int n = 0;
    for (size_t w = IW; w < W; ++w) n += std::popcount(c[w]);
    return n;
  }
  bool HasOutput(const uint64_t* c, int j) const { return (c[IW + (static_cast<size_t>(j) >> 6)] >> (j & 63)) & 1u; }
};

// A list of cubes of `Stride` words each, stored end to end.
class TCubeList {
 public:
  explicit TCubeList(size_t stride = 1) : FStride(stride) {}
  size_t Stride() const { return FStride; }
  size_t Count() const { return FData.size() / FStride; }
  bool Empty() const { return FData.empty(); }
  uint64_t* operator[](size_t i) { return FData.data() + i * FStride; }
  const uint64_t* operator[](size_t i) const { return FData.data() + i * FStride; }
  void Push(const uint64_t* c) { FData.insert(FData.end(), c, c + FStride); }
  // A new cube at the end, its words left to the caller.
  uint64_t* Grow() {
    FData.resize(FData.size() + FStride);
    return FData.data() + FData.size() - FStride;
  }
  void Clear() { FData.clear(); }
  void Reserve(size_t n) { FData.reserve(n * FStride); }
  std::vector<uint64_t>& Data() { return FData; }
  const std::vector<uint64_t>& Data() const { return FData; }

 private:
  size_t FStride;
  std::vector<uint64_t> FData;
};

}  // namespace tavro::heuristic
