// What the prime finders share: the listed rows they start from, and the
// order and figures of the prime implicant list they end with.

#include <algorithm>
#include <array>
#include <bit>
#include <string>

#include "engine/primes/PrimeFinders.h"

namespace tavro::detail {

namespace {

// A fixed-size big-endian bit string for sort keys.
struct Key192 {
  uint64_t W[3] = {0, 0, 0};
  int Used = 0;
  void Put(uint64_t value, int bits) {
    for (int b = bits - 1; b >= 0; --b, ++Used)
      if ((value >> b) & 1) W[Used / 64] |= uint64_t{1} << (63 - Used % 64);
  }
  bool operator<(const Key192& o) const {
    return W[0] != o.W[0] ? W[0] < o.W[0] : W[1] != o.W[1] ? W[1] < o.W[1] : W[2] < o.W[2];
  }
};

}  // namespace

void ListedRows(const std::vector<const TTermVector*>& functions, int width, int tagWords, std::vector<uint32_t>& rows,
                std::vector<uint64_t>& tags) {
  const auto words = static_cast<size_t>(tagWords);
  size_t total = 0;
  for (const auto* f : functions) total += f->Terms().size();
  rows.clear();
  tags.clear();
  // Dense enough: a table of every row's tags, read in order.
  if (width < 32 && (size_t{1} << width) * words <= total) {
    std::vector<uint64_t> table((size_t{1} << width) * words, 0);
    for (size_t f = 0; f < functions.size(); ++f)
      for (int32_t t : functions[f]->Terms())
        table[static_cast<size_t>(t) * words + (f >> 6)] |= uint64_t{1} << (f & 63);
    for (size_t t = 0; t < (size_t{1} << width); ++t) {
      const uint64_t* row = table.data() + t * words;
      if (std::all_of(row, row + words, [](uint64_t w) { return w == 0; })) continue;
      rows.push_back(static_cast<uint32_t>(t));
      tags.insert(tags.end(), row, row + words);
    }
    return;
  }
  std::vector<std::pair<uint32_t, uint32_t>> listed;  // (term, function)
  listed.reserve(total);
  for (size_t f = 0; f < functions.size(); ++f)
    for (int32_t t : functions[f]->Terms()) listed.emplace_back(static_cast<uint32_t>(t), static_cast<uint32_t>(f));
  std::sort(listed.begin(), listed.end());
  for (size_t i = 0; i < listed.size();) {
    const uint32_t term = listed[i].first;
    rows.push_back(term);
    tags.resize(tags.size() + words, 0);
    uint64_t* t = tags.data() + tags.size() - words;
    for (; i < listed.size() && listed[i].first == term; ++i)
      t[listed[i].second >> 6] |= uint64_t{1} << (listed[i].second & 63);
  }
}

namespace {

// The pairing makes level k's cubes in the order of (value, free positions
// taken in a fixed pattern), ascending for even k and descending for odd
// k; the pattern lists the positions (1 = lowest) as
//   k = 1: 1;  even k: the pattern of k-1, then k;
//   odd k: the pattern of k-1 with every entry one higher, then 1.
// The prime list holds them ascending by ones, larger cubes first.
std::vector<std::vector<int>> PairingPatterns(int width) {
  std::vector<std::vector<int>> pattern(static_cast<size_t>(width) + 1);
  for (int k = 1; k <= width; ++k) {
    auto& p = pattern[static_cast<size_t>(k)];
    const auto& q = pattern[static_cast<size_t>(k - 1)];
    if (k == 1) {
      p = {1};
    } else if (k % 2 == 0) {
      p = q;
      p.push_back(k);
    } else {
      for (int x : q) p.push_back(x + 1);
      p.push_back(1);
    }
  }
  return pattern;
}

// Narrow primes: one 192-bit key each.
void SortNarrow(TCover& primes, const std::vector<std::vector<int>>& pattern) {
  std::vector<std::pair<Key192, uint32_t>> keyed(primes.Count());
  std::array<int, 32> bits{};
  for (size_t i = 0; i < primes.Count(); ++i) {
    const uint32_t v = primes.Value(i), m = primes.Mask(i);
    const int k = std::popcount(m);
    const bool descending = k % 2 == 1;
    int n = 0;
    for (uint32_t b = m; b; b &= b - 1) bits[static_cast<size_t>(n++)] = std::countr_zero(b);
    Key192 key;
    key.Put(static_cast<uint64_t>(std::popcount(v)), 5);
    key.Put(static_cast<uint64_t>(31 - k), 5);
    key.Put(descending ? (~v & 0xFFFFFFu) : v, 24);
    for (int x : pattern[static_cast<size_t>(k)]) {
      const auto b = static_cast<uint64_t>(bits[static_cast<size_t>(x - 1)]);
      key.Put(descending ? 31 - b : b, 5);
    }
    keyed[i] = {key, static_cast<uint32_t>(i)};
  }
  std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  TCover sorted(primes.Width, primes.FunctionCount);
  sorted.Reserve(primes.Count());
  for (const auto& [key, i] : keyed) sorted.Add(primes.Value(i), primes.Mask(i), primes.Tags(i));
  primes = std::move(sorted);
}

// Any width: the same order, with keys of one number per part (the value
// as its bits from the highest, each free position as one number).
void SortWide(TCover& primes, const std::vector<std::vector<int>>& pattern) {
  const int width = primes.Width;
  std::vector<std::vector<uint32_t>> keys(primes.Count());
  std::vector<int> free;
  for (size_t i = 0; i < primes.Count(); ++i) {
    free.clear();
    for (int b = 0; b < width; ++b)
      if (primes.FreeAt(i, b)) free.push_back(b);
    const int k = static_cast<int>(free.size());
    const bool descending = k % 2 == 1;
    auto& key = keys[i];
    key.push_back(static_cast<uint32_t>(primes.Ones(i)));
    key.push_back(static_cast<uint32_t>(width - k));
    for (int b = width; b-- > 0;) key.push_back(primes.OneAt(i, b) != descending ? 1u : 0u);
    for (int x : pattern[static_cast<size_t>(k)]) {
      const auto b = static_cast<uint32_t>(free[static_cast<size_t>(x - 1)]);
      key.push_back(descending ? static_cast<uint32_t>(width) - b : b);
    }
  }
  std::vector<uint32_t> order(primes.Count());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<uint32_t>(i);
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
  TCover sorted(primes.Width, primes.FunctionCount);
  sorted.Reserve(primes.Count());
  for (const uint32_t i : order) sorted.AddFrom(primes, i, primes.Tags(i));
  primes = std::move(sorted);
}

}  // namespace

void SortPrimeList(TCover& primes) {
  const auto pattern = PairingPatterns(primes.Width);
  if (primes.Width <= kMaxTermInputs && primes.Narrow()) SortNarrow(primes, pattern);
  else SortWide(primes, pattern);
}

void FinishPrimeList(TCover& primes, int deepest, int64_t zeroCubes, IEngineHost* host, TRunStats* stats) {
  for (int k = 1; k <= deepest + 1; ++k)
    if (host) host->SetStatus("Generating " + std::to_string(k) + " Cubes...");
  SortPrimeList(primes);
  if (stats) {
    stats->ZeroCubes = zeroCubes;
    stats->Primes = static_cast<int64_t>(primes.Count());
  }
}

}  // namespace tavro::detail
