#pragma once
// Hashing for the engine's tables and memos.

#include <cstddef>
#include <cstdint>

namespace tavro::detail {

// A 64-bit mixing step for the engine's hash tables.
inline uint64_t Mix64(uint64_t k) {
  k ^= k >> 33;
  k *= 0xff51afd7ed558ccdULL;
  k ^= k >> 33;
  k *= 0xc4ceb9fe1a85ec53ULL;
  k ^= k >> 33;
  return k;
}

// A 128-bit key of the prime finders' memos, and its hasher.
struct Hash128 {
  uint64_t A, B;
  bool operator==(const Hash128& o) const { return A == o.A && B == o.B; }
};
struct Hash128Hasher {
  size_t operator()(const Hash128& h) const { return static_cast<size_t>(h.A ^ (h.B * 0x9e3779b97f4a7c15ULL)); }
};

}  // namespace tavro::detail
