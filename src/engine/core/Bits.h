#pragma once
// The input bits of a cube at any width. A run holds the values and masks of
// its cubes in one unsigned type chosen from the width once (WithCubeBits):
// uint32_t up to kMaxTermInputs (the term-number world, where a term is its
// row number and tables of rows are made), uint64_t up to 64, and TBits<N> (N words, the first the least
// significant) up to kMaxCubeInputs. The cube algorithms are written once
// over that type; the helpers below give every type the same operations.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

namespace tavro {

// Widest system whose terms are listed as row numbers.
constexpr int kMaxTermInputs = 24;
// Widest cube the engine holds: the most inputs a PLA file may declare.
constexpr int kMaxCubeInputs = 1024;

template <size_t N>
struct TBits {
  uint64_t W[N] = {};

  friend constexpr TBits operator&(const TBits& a, const TBits& b) {
    TBits r;
    for (size_t k = 0; k < N; ++k) r.W[k] = a.W[k] & b.W[k];
    return r;
  }
  friend constexpr TBits operator|(const TBits& a, const TBits& b) {
    TBits r;
    for (size_t k = 0; k < N; ++k) r.W[k] = a.W[k] | b.W[k];
    return r;
  }
  friend constexpr TBits operator^(const TBits& a, const TBits& b) {
    TBits r;
    for (size_t k = 0; k < N; ++k) r.W[k] = a.W[k] ^ b.W[k];
    return r;
  }
  constexpr TBits operator~() const {
    TBits r;
    for (size_t k = 0; k < N; ++k) r.W[k] = ~W[k];
    return r;
  }
  constexpr TBits& operator&=(const TBits& b) { return *this = *this & b; }
  constexpr TBits& operator|=(const TBits& b) { return *this = *this | b; }
  constexpr TBits& operator^=(const TBits& b) { return *this = *this ^ b; }
  friend constexpr bool operator==(const TBits& a, const TBits& b) {
    for (size_t k = 0; k < N; ++k)
      if (a.W[k] != b.W[k]) return false;
    return true;
  }
  // As unsigned numbers: the highest word decides first.
  friend constexpr bool operator<(const TBits& a, const TBits& b) {
    for (size_t k = N; k-- > 0;)
      if (a.W[k] != b.W[k]) return a.W[k] < b.W[k];
    return false;
  }
};

// The same operations on every cube type.
namespace bits {

template <class B>
constexpr bool Any(const B& x) {
  if constexpr (std::is_integral_v<B>) return x != 0;
  else {
    uint64_t any = 0;
    for (uint64_t w : x.W) any |= w;
    return any != 0;
  }
}

template <class B>
constexpr int Count(const B& x) {
  if constexpr (std::is_integral_v<B>) return std::popcount(x);
  else {
    int n = 0;
    for (uint64_t w : x.W) n += std::popcount(w);
    return n;
  }
}

// Bit k alone.
template <class B>
constexpr B One(int k) {
  if constexpr (std::is_integral_v<B>) return static_cast<B>(B{1} << k);
  else {
    B r;
    r.W[static_cast<size_t>(k) >> 6] = uint64_t{1} << (k & 63);
    return r;
  }
}

template <class B>
constexpr bool Test(const B& x, int k) {
  if constexpr (std::is_integral_v<B>) return (x >> k) & 1u;
  else return (x.W[static_cast<size_t>(k) >> 6] >> (k & 63)) & 1u;
}

// Bits 0 to width - 1.
template <class B>
constexpr B Low(int width) {
  if constexpr (std::is_integral_v<B>) {
    constexpr int kBits = static_cast<int>(sizeof(B) * 8);
    return width >= kBits ? static_cast<B>(~B{0}) : static_cast<B>((B{1} << width) - 1);
  } else {
    B r;
    for (size_t k = 0; k < sizeof(r.W) / 8; ++k) {
      const int from = static_cast<int>(k) * 64;
      r.W[k] = width >= from + 64 ? ~uint64_t{0} : width <= from ? 0 : (uint64_t{1} << (width - from)) - 1;
    }
    return r;
  }
}

// Calls fn(k) for every set bit k, lowest first.
template <class B, class Fn>
constexpr void ForEach(const B& x, Fn&& fn) {
  if constexpr (std::is_integral_v<B>) {
    for (B b = x; b; b &= b - 1) fn(std::countr_zero(b));
  } else {
    for (size_t k = 0; k < sizeof(x.W) / 8; ++k)
      for (uint64_t b = x.W[k]; b; b &= b - 1) fn(static_cast<int>(k) * 64 + std::countr_zero(b));
  }
}

// The highest set bit, or -1.
template <class B>
constexpr int Highest(const B& x) {
  if constexpr (std::is_integral_v<B>) return x ? static_cast<int>(sizeof(B) * 8) - 1 - std::countl_zero(x) : -1;
  else {
    for (size_t k = sizeof(x.W) / 8; k-- > 0;)
      if (x.W[k]) return static_cast<int>(k) * 64 + 63 - std::countl_zero(x.W[k]);
    return -1;
  }
}

// Word k (64 bits) of x.
template <class B>
constexpr uint64_t Word(const B& x, size_t k) {
  if constexpr (std::is_integral_v<B>) return k == 0 ? static_cast<uint64_t>(x) : 0;
  else return k < sizeof(x.W) / 8 ? x.W[k] : 0;
}

// The number w as a B.
template <class B>
constexpr B FromWord(uint64_t w) {
  if constexpr (std::is_integral_v<B>) return static_cast<B>(w);
  else {
    B r;
    r.W[0] = w;
    return r;
  }
}

// A hash of x.
template <class B>
constexpr uint64_t HashWords(const B& x) {
  if constexpr (std::is_integral_v<B>) return static_cast<uint64_t>(x);
  else {
    uint64_t h = 0;
    for (uint64_t w : x.W) h = (h ^ w) * 0x9e3779b97f4a7c15ULL + (h >> 29);
    return h;
  }
}

}  // namespace bits

// Calls fn(B{}) with the cube type of a width (up to kMaxCubeInputs), the
// narrowest that holds it. wide: a wide type even on a narrow system (the
// tests compare the two).
template <class Fn>
decltype(auto) WithCubeBits(int width, Fn&& fn, bool wide = false) {
  if (width <= kMaxTermInputs && !wide) return fn(uint32_t{});
  if (width <= 64) return fn(uint64_t{});
  if (width <= 256) return fn(TBits<4>{});
  return fn(TBits<16>{});
}

}  // namespace tavro
