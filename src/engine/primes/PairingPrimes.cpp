#include "engine/primes/PrimeFinders.h"

#include <algorithm>
#include <bit>

namespace tavro::detail {

namespace {

// Open-addressing map from a cube key to its position, no deletion.
class KeyIndex {
 public:
  explicit KeyIndex(size_t expected = 16) { Rehash(Capacity(expected)); }

  int64_t Find(uint64_t key) const {
    size_t slot = Hash(key) & FMask;
    while (true) {
      const uint64_t k = FKeys[slot];
      if (k == key) return FValues[slot];
      if (k == kEmpty) return -1;
      slot = (slot + 1) & FMask;
    }
  }

  // Inserts key unless present; returns true when it was inserted.
  bool Insert(uint64_t key, uint32_t value) {
    if ((FCount + 1) * 2 > FKeys.size()) Rehash(FKeys.size() * 2);
    size_t slot = Hash(key) & FMask;
    while (true) {
      const uint64_t k = FKeys[slot];
      if (k == key) return false;
      if (k == kEmpty) {
        FKeys[slot] = key;
        FValues[slot] = value;
        ++FCount;
        return true;
      }
      slot = (slot + 1) & FMask;
    }
  }

  size_t Bytes() const { return FKeys.size() * (sizeof(uint64_t) + sizeof(uint32_t)); }
  // Whether the next insertion grows the index (to twice its size, beside
  // the old one while the keys move).
  bool Full() const { return (FCount + 1) * 2 > FKeys.size(); }
  // What a new index for `expected` keys takes before it grows.
  static size_t BytesFor(size_t expected) { return Capacity(expected) * (sizeof(uint64_t) + sizeof(uint32_t)); }

 private:
  static constexpr uint64_t kEmpty = ~uint64_t{0};

  static size_t Capacity(size_t expected) {
    size_t cap = 16;
    while (cap < expected * 2) cap <<= 1;
    return cap;
  }
  static uint64_t Hash(uint64_t k) { return Mix64(k); }
  void Rehash(size_t capacity) {
    std::vector<uint64_t> keys(capacity, kEmpty);
    std::vector<uint32_t> values(capacity);
    const size_t mask = capacity - 1;
    for (size_t i = 0; i < FKeys.size(); ++i) {
      if (FKeys[i] == kEmpty) continue;
      size_t slot = Hash(FKeys[i]) & mask;
      while (keys[slot] != kEmpty) slot = (slot + 1) & mask;
      keys[slot] = FKeys[i];
      values[slot] = FValues[i];
    }
    FKeys.swap(keys);
    FValues.swap(values);
    FMask = mask;
  }

  std::vector<uint64_t> FKeys;
  std::vector<uint32_t> FValues;
  size_t FMask = 0;
  size_t FCount = 0;
};

inline uint64_t Key(uint32_t value, uint32_t mask) { return (static_cast<uint64_t>(mask) << 32) | value; }

// One level of the tabulation in list order: ascending by number of ones and,
// among equal ones, the most recently made cube first.
struct Level {
  std::vector<uint32_t> Values, Masks;
  std::vector<uint64_t> Tags;  // TagWords per cube
  std::vector<uint8_t> Combined;
  std::vector<size_t> GroupStart;  // first list position of each number of ones, and the end
  // Where the steps are followed: the list positions of each cube's first
  // sources in the level before.
  std::vector<std::pair<int32_t, int32_t>> From;

  size_t Count() const { return Values.size(); }
  uint64_t Bytes(int tagWords) const {
    return Count() * (2 * sizeof(uint32_t) + 1 + sizeof(uint64_t) * static_cast<size_t>(tagWords)) +
           GroupStart.size() * sizeof(size_t);
  }
};

// Cubes of a level under construction, per number of ones in creation order.
struct LevelBuilder {
  LevelBuilder(int width, int tagWords) : TagWords(tagWords), Values(width + 1), Masks(width + 1), Tags(width + 1) {}
  int TagWords;
  std::vector<std::vector<uint32_t>> Values, Masks;
  std::vector<std::vector<uint64_t>> Tags;
  std::vector<std::vector<std::pair<int32_t, int32_t>>> From;  // only where the steps are followed
  size_t Count = 0;

  void Append(int ones, uint32_t value, uint32_t mask, const uint64_t* tags) {
    Values[ones].push_back(value);
    Masks[ones].push_back(mask);
    Tags[ones].insert(Tags[ones].end(), tags, tags + TagWords);
    ++Count;
  }
  void AppendFrom(int ones, size_t fewer, size_t more) {
    if (From.empty()) From.resize(Values.size());
    From[ones].emplace_back(static_cast<int32_t>(fewer), static_cast<int32_t>(more));
  }

  // The finished level in list order: each group of equal ones reversed.
  Level Finish() {
    Level level;
    level.Values.reserve(Count);
    level.Masks.reserve(Count);
    level.Tags.reserve(Count * static_cast<size_t>(TagWords));
    level.Combined.assign(Count, 0);
    level.GroupStart.reserve(Values.size() + 1);
    for (size_t ones = 0; ones < Values.size(); ++ones) {
      level.GroupStart.push_back(level.Values.size());
      auto& v = Values[ones];
      auto& m = Masks[ones];
      auto& t = Tags[ones];
      for (size_t k = v.size(); k-- > 0;) {
        level.Values.push_back(v[k]);
        level.Masks.push_back(m[k]);
        level.Tags.insert(level.Tags.end(), t.begin() + static_cast<std::ptrdiff_t>(k * TagWords),
                          t.begin() + static_cast<std::ptrdiff_t>((k + 1) * TagWords));
        if (!From.empty()) level.From.push_back(From[ones][k]);
      }
      std::vector<uint32_t>().swap(v);
      std::vector<uint32_t>().swap(m);
      std::vector<uint64_t>().swap(t);
    }
    level.GroupStart.push_back(level.Values.size());
    return level;
  }
};

struct PrimeStore {
  // Per level, per ones: (value, mask) and tags of the primes in creation order.
  struct Group {
    std::vector<uint32_t> Values, Masks;
    std::vector<uint64_t> Tags;
  };
  std::vector<std::vector<Group>> Levels;
};

// Collects the uncombined cubes of a finished level.
void GatherPrimes(const Level& level, int width, int tagWords, PrimeStore& store) {
  std::vector<PrimeStore::Group> groups(static_cast<size_t>(width + 1));
  for (size_t ones = 0; ones + 1 < level.GroupStart.size(); ++ones) {
    auto& g = groups[ones];
    // Creation order is the reverse of list order within a group.
    for (size_t i = level.GroupStart[ones + 1]; i-- > level.GroupStart[ones];) {
      if (level.Combined[i]) continue;
      g.Values.push_back(level.Values[i]);
      g.Masks.push_back(level.Masks[i]);
      const uint64_t* t = level.Tags.data() + i * static_cast<size_t>(tagWords);
      g.Tags.insert(g.Tags.end(), t, t + tagWords);
    }
  }
  store.Levels.push_back(std::move(groups));
}

bool AnyTag(const uint64_t* t, int words) {
  for (int w = 0; w < words; ++w)
    if (t[w]) return true;
  return false;
}

bool SameTags(const uint64_t* a, const uint64_t* b, int words) {
  for (int w = 0; w < words; ++w)
    if (a[w] != b[w]) return false;
  return true;
}

// Zero cubes: every listed term, ascending, tagged with the functions that
// list it. Made by merging the functions' sorted term lists.
Level ZeroCubes(const std::vector<const TTermVector*>& functions, int width, int tagWords, MemoryMeter& meter) {
  LevelBuilder builder(width, tagWords);
  size_t total = 0;
  for (const auto* f : functions) total += f->Terms().size();
  // At most `total` rows, held three times over at the peak: the rows and
  // their tags beside the level being built (or beside the pairs or the
  // row table they are read from), then the built level beside the
  // finished one.
  const uint64_t words = static_cast<uint64_t>(tagWords);
  const uint64_t rowBytes = total * (sizeof(uint32_t) + 8 * words);
  const uint64_t buildBytes = total * (2 * sizeof(uint32_t) + 8 * words);
  const uint64_t source =
      width < 32 && (uint64_t{1} << width) * words <= total ? (uint64_t{1} << width) * words * 8 : total * 8;
  meter.Set(std::max({source + rowBytes, rowBytes + buildBytes, buildBytes + buildBytes + total}));
  std::vector<uint32_t> rows;
  std::vector<uint64_t> tags;
  ListedRows(functions, width, tagWords, rows, tags);
  for (size_t i = 0; i < rows.size(); ++i)
    builder.Append(std::popcount(rows[i]), rows[i], 0, tags.data() + i * static_cast<size_t>(tagWords));
  return builder.Finish();
}

// One combining pass, pair by pair in list order: each cube of the level
// with every partner that differs in one more fixed 1, where the two share a
// function. Marks the cubes combined and returns the next level.
// With sources, notes where each new cube was first made from.
Level CombineLevel(Level& current, int width, int tagWords, MemoryMeter& meter, bool sources) {
  const uint32_t full = width >= 32 ? ~uint32_t{0} : ((uint32_t{1} << width) - 1);
  // The level and its two indexes, before they are made.
  meter.Set(current.Bytes(tagWords) + 2 * KeyIndex::BytesFor(current.Count()));
  KeyIndex index(current.Count());
  for (size_t i = 0; i < current.Count(); ++i)
    index.Insert(Key(current.Values[i], current.Masks[i]), static_cast<uint32_t>(i));

  LevelBuilder next(width, tagWords);
  KeyIndex made(current.Count());
  const uint64_t base = current.Bytes(tagWords) + index.Bytes();
  size_t checkpoint = 0;
  const uint64_t cubeBytes = 2 * sizeof(uint32_t) + 8 * static_cast<uint64_t>(tagWords);
  std::vector<uint64_t> merged(static_cast<size_t>(tagWords));
  std::vector<std::pair<uint32_t, uint32_t>> partners;  // (list position, bit)
  partners.reserve(32);

  for (size_t i = 0; i < current.Count(); ++i) {
    if ((i & 0xFFF) == 0) {
      CheckStop();
      CheckExactDeadline();
    }
    const uint32_t v = current.Values[i];
    const uint32_t m = current.Masks[i];
    partners.clear();
    for (uint32_t zeros = ~(v | m) & full; zeros; zeros &= zeros - 1) {
      const uint32_t bit = zeros & (~zeros + 1);
      const int64_t j = index.Find(Key(v | bit, m));
      if (j >= 0) partners.emplace_back(static_cast<uint32_t>(j), bit);
    }
    if (partners.empty()) continue;
    std::sort(partners.begin(), partners.end());
    uint64_t* tb = current.Tags.data() + i * static_cast<size_t>(tagWords);
    for (const auto& [j, bit] : partners) {
      uint64_t* ta = current.Tags.data() + static_cast<size_t>(j) * static_cast<size_t>(tagWords);
      for (int w = 0; w < tagWords; ++w) merged[static_cast<size_t>(w)] = ta[w] & tb[w];
      if (!AnyTag(merged.data(), tagWords)) continue;
      if (SameTags(merged.data(), ta, tagWords)) current.Combined[j] = 1;
      if (SameTags(merged.data(), tb, tagWords)) current.Combined[i] = 1;
      if (made.Full()) meter.Set(base + 3 * made.Bytes() + next.Count * cubeBytes * 2);
      if (!made.Insert(Key(v, m | bit), 0)) continue;
      next.Append(std::popcount(v), v, m | bit, merged.data());
      if (sources) next.AppendFrom(std::popcount(v), i, j);
    }
    if (next.Count - checkpoint >= 65536) {
      checkpoint = next.Count;
      meter.Set(base + made.Bytes() + next.Count * cubeBytes * 2);
    }
  }
  // The finished level beside the lists it is made from.
  meter.Set(base + made.Bytes() + next.Count * (cubeBytes * 3 + 1));
  return next.Finish();
}

// The prime implicant list: ascending by ones; among equal ones the cube
// added last first, and cubes were added level by level in list order.
TCover PrimeListOf(const PrimeStore& primes, int width, int functionCount, int tagWords) {
  TCover result(width, functionCount);
  size_t total = 0;
  for (const auto& level : primes.Levels)
    for (const auto& g : level) total += g.Values.size();
  result.Reserve(total);
  for (int ones = 0; ones <= width; ++ones)
    for (size_t lv = primes.Levels.size(); lv-- > 0;) {
      const auto& g = primes.Levels[lv][static_cast<size_t>(ones)];
      for (size_t i = 0; i < g.Values.size(); ++i)
        result.Add(g.Values[i], g.Masks[i], g.Tags.data() + i * static_cast<size_t>(tagWords));
    }
  return result;
}

// A finished level (its cubes' marks set by the pass after it), as the
// observer takes it.
void TellLevel(IRunObserver& observer, int number, const Level& level, int width, int functionCount, int tagWords) {
  TStepLevel told;
  told.Number = number;
  told.Cubes = TCover(width, functionCount);
  told.Cubes.Reserve(level.Count());
  for (size_t i = 0; i < level.Count(); ++i)
    told.Cubes.Add(level.Values[i], level.Masks[i], level.Tags.data() + i * static_cast<size_t>(tagWords));
  told.From = level.From;
  if (told.From.empty()) told.From.assign(level.Count(), {-1, -1});
  told.Combined = level.Combined;
  observer.Level(std::move(told));
}

}  // namespace

// Zero cubes, combining passes and the gathering of prime implicants, pair
// by pair in list order.
TCover TabulateListed(const std::vector<const TTermVector*>& functions, int width, IEngineHost* host, TRunStats* stats,
                      MemoryMeter& meter, IRunObserver* observer) {
  const int fcount = static_cast<int>(functions.size());
  const int tagWords = (fcount + 63) / 64;

  if (host) host->SetStatus("Generating zero cubes...");
  Level current = ZeroCubes(functions, width, tagWords, meter);
  if (stats) {
    stats->ZeroCubes = static_cast<int64_t>(current.Count());
    stats->LevelCubes.push_back(stats->ZeroCubes);
    stats->Implicants = stats->ZeroCubes;
  }

  PrimeStore primes;
  for (int k = 1;; ++k) {
    if (host) host->SetStatus("Generating " + std::to_string(k) + " Cubes...");
    Level following = CombineLevel(current, width, tagWords, meter, observer != nullptr);
    if (observer) TellLevel(*observer, k - 1, current, width, fcount, tagWords);
    GatherPrimes(current, width, tagWords, primes);
    if (stats) {
      stats->LevelCubes.push_back(static_cast<int64_t>(following.Count()));
      stats->Implicants += static_cast<int64_t>(following.Count());
    }
    current = std::move(following);
    if (current.Count() == 0) {
      if (observer) TellLevel(*observer, k, current, width, fcount, tagWords);
      break;
    }
  }

  TCover result = PrimeListOf(primes, width, fcount, tagWords);
  if (stats) stats->Primes = static_cast<int64_t>(result.Count());
  return result;
}

}  // namespace tavro::detail
