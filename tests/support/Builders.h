#pragma once
// Small builders for test data: functions from term lists, cubes from
// patterns.

#include <initializer_list>
#include <string>
#include <vector>

#include "engine/core/Cover.h"
#include "model/TermVector.h"

namespace tavro::testing {

inline TTermVector Terms(std::initializer_list<int> terms, std::initializer_list<int> dontCares = {},
                         bool maxterms = false) {
  TTermVector v;
  v.Maxterms = maxterms;
  for (int t : terms) v.Add(t, false);
  for (int t : dontCares) v.Add(t, true);
  return v;
}

// Adds the cube spelled by a pattern such as "0-1" with the given tags.
inline void AddPattern(TCover& c, const std::string& pattern, std::initializer_list<int> tags) {
  uint32_t value = 0, mask = 0;
  for (size_t j = 0; j < pattern.size(); ++j) {
    const uint32_t bit = uint32_t{1} << (pattern.size() - 1 - j);
    if (pattern[j] == '1') value |= bit;
    if (pattern[j] == '-') mask |= bit;
  }
  std::vector<uint64_t> words(static_cast<size_t>(c.TagWords), 0);
  for (int f : tags) words[static_cast<size_t>(f >> 6)] |= uint64_t{1} << (f & 63);
  c.Add(value, mask, words.data());
}

}  // namespace tavro::testing
