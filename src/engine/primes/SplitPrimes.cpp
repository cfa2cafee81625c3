// Prime implicants by splitting on one input at a time. With F the table of
// tags over the remaining inputs, x an input, F0 and F1 its halves (x = 0,
// x = 1) and F2 their AND, the primes of F are
//   - the primes of F2, with x free;
//   - the primes of F0 with x = 0, and of F1 with x = 1, unless the same
//     cube is a prime of F2 with the same tags (it then grows into the cube
//     with x free).
// CubePrimes.cpp splits covers the same way. Here x is the table's top input,
// so that each half is one run of its rows. Equal tables are solved once. Structured systems share most of their
// tables, and sparse ones run out of cubes after a few splits, so this finds
// the primes without touching every implicant.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "engine/primes/PrimeFinders.h"

namespace tavro::detail {

namespace {

// Primes of one table, sorted by (mask, value).
struct PrimeSet {
  std::vector<uint64_t> Keys;  // mask << 32 | value
  std::vector<uint64_t> Tags;  // TagWords per prime
};
using PrimeSetPtr = std::shared_ptr<const PrimeSet>;

// A solved table: its full content, compared on every hit, and its primes.
// Two tables whose hashes agree are rare but possible; without the compare
// one would silently get the other's primes.
struct MemoEntry {
  std::vector<uint64_t> Table;
  PrimeSetPtr Primes;
};

// Bits of the memo hash kept (the test hook narrows it to force collisions),
// and the collisions seen.
std::atomic<int> gMemoHashBits{128};
std::atomic<uint64_t> gMemoCollisions{0};

class Splitter {
 public:
  static constexpr int kMemoInputs = 7;
  static constexpr int kDirectInputs = 5;
  // Tables listing fewer than one row in this many are kept as lists.
  static constexpr uint64_t kSparseShare = 8;

  Splitter(int tagWords, MemoryMeter& meter) : FWords(tagWords), FMeter(meter) {
    const int bits = gMemoHashBits.load(std::memory_order_relaxed);
    if (bits < 64) FKeepA = (uint64_t{1} << std::max(bits, 0)) - 1, FKeepB = 0;
    else if (bits < 128) FKeepB = (uint64_t{1} << (bits - 64)) - 1;
  }

  // Primes of the table of 2^w rows that lists only the given rows (ascending,
  // read modulo 2^w) with their tags; every other row is empty.
  PrimeSetPtr SolveSparse(const uint32_t* rows, const uint64_t* tags, size_t n, int w) {
    const auto tw = static_cast<size_t>(FWords);
    if (n == 0) return Empty();
    const uint64_t size = uint64_t{1} << w;
    const uint32_t low = static_cast<uint32_t>(size - 1);
    if (n * kSparseShare >= size || w <= kDirectInputs) return SolveAsDense(rows, tags, n, w);
    if (n == 1) {
      auto one = std::make_shared<PrimeSet>();
      one->Keys.push_back(rows[0] & low);
      one->Tags.assign(tags, tags + tw);
      return one;
    }

    if (FLookups >= 4096 && FHits * 64 < FLookups) FMemoOn = false;
    const bool memo = FMemoOn && w >= kMemoInputs;
    bool store = false;
    Hash128 h{0xfeed + static_cast<uint64_t>(w), 0xbeef ^ static_cast<uint64_t>(w)};
    if (memo) {
      HashSparse(rows, tags, n, low, h);
      // The key: each listed row followed by its tags.
      const auto sameRows = [&](const std::vector<uint64_t>& key) {
        if (key.size() != n * (tw + 1)) return false;
        for (size_t i = 0; i < n; ++i) {
          const uint64_t* k = key.data() + i * (tw + 1);
          if (k[0] != (rows[i] & low) || !std::equal(tags + i * tw, tags + (i + 1) * tw, k + 1)) return false;
        }
        return true;
      };
      if (const PrimeSetPtr* known = Lookup(h, sameRows, store)) return *known;
    }

    // The rows are sorted and split on the top input, so each half is one run
    // of them, found by a search; the cube split of core/Split.h would copy.
    const uint32_t top = static_cast<uint32_t>(size >> 1);
    const size_t mid =
        static_cast<size_t>(std::partition_point(rows, rows + n, [&](uint32_t r) { return (r & top) == 0; }) - rows);
    const PrimeSetPtr p0 = SolveSparse(rows, tags, mid, w - 1);
    const PrimeSetPtr p1 = SolveSparse(rows + mid, tags + mid * tw, n - mid, w - 1);
    AndOfSparseHalves(rows, tags, mid, n, w);
    const auto& r2 = FSparseRows[static_cast<size_t>(w)];
    const PrimeSetPtr p2 = SolveSparse(r2.data(), FSparseTags[static_cast<size_t>(w)].data(), r2.size(), w - 1);

    auto result = Combine(*p0, *p1, *p2, w);
    // rows and tags still hold this table: the halves work in buffers of
    // smaller widths.
    if (memo && store) Remember(h, SparseKey(rows, tags, n, low), result);
    return result;
  }

  // Primes of the table of 2^w rows.
  PrimeSetPtr Solve(const uint64_t* table, int w) {
    CheckStop();
    CheckExactDeadline();
    const uint64_t rows = uint64_t{1} << w;
    const size_t words = rows * static_cast<size_t>(FWords);

    // Empty and constant tables, and tables of one row, end the recursion.
    if (PrimeSetPtr few = SolveTrivial(table, w)) return few;
    if (w <= kDirectInputs) return SolveDirect(table, w);

    // Small tables are cheaper to solve again than to look up.
    // A memo that keeps missing (unstructured systems) is switched off.
    if (FLookups >= 4096 && FHits * 64 < FLookups) FMemoOn = false;
    const bool memo = FMemoOn && w >= kMemoInputs;
    bool store = false;
    Hash128 h{0x1234567 + static_cast<uint64_t>(w), 0x89abcdef ^ static_cast<uint64_t>(w)};
    if (memo) {
      HashTable(table, words, h);
      const auto sameTable = [&](const std::vector<uint64_t>& key) {
        return key.size() == words && std::equal(table, table + words, key.begin());
      };
      if (const PrimeSetPtr* known = Lookup(h, sameTable, store)) return *known;
    }

    const uint64_t half = rows / 2;
    const uint64_t* f0 = table;
    const uint64_t* f1 = table + half * static_cast<uint64_t>(FWords);
    const PrimeSetPtr p0 = Solve(f0, w - 1);
    const PrimeSetPtr p1 = Solve(f1, w - 1);
    // The recursion holds one frame per width, so each width needs one
    // buffer for its halves' AND.
    auto& f2 = FBuffers[static_cast<size_t>(w)];
    f2.resize(half * static_cast<uint64_t>(FWords));
    for (size_t i = 0; i < f2.size(); ++i) f2[i] = f0[i] & f1[i];
    const PrimeSetPtr p2 = Solve(f2.data(), w - 1);

    auto result = Combine(*p0, *p1, *p2, w);
    // The table is the caller's buffer (or part of it), unchanged by the
    // halves, which work in buffers of smaller widths.
    if (memo && store) Remember(h, std::vector<uint64_t>(table, table + words), result);
    return result;
  }

 private:
  // The primes of an empty or constant table, or of a table of one row;
  // null for any other table.
  PrimeSetPtr SolveTrivial(const uint64_t* table, int w) {
    const uint64_t rows = uint64_t{1} << w;
    const size_t words = rows * static_cast<size_t>(FWords);
    uint64_t any = 0, differ = 0;
    const auto tw = static_cast<size_t>(FWords);
    if (tw == 1) {
      for (size_t i = 0; i < words; ++i) {
        any |= table[i];
        differ |= table[i] ^ table[0];
      }
    } else {
      for (size_t i = 0; i < words; i += tw)
        for (size_t k = 0; k < tw; ++k) {
          any |= table[i + k];
          differ |= table[i + k] ^ table[k];
        }
    }
    if (any == 0) return Empty();
    const bool constant = differ == 0;
    uint64_t listed = 0, last = 0;
    for (uint64_t r = 0; r < rows && listed < 2 && !constant; ++r) {
      const uint64_t* t = table + r * static_cast<uint64_t>(FWords);
      uint64_t row = 0;
      for (int k = 0; k < FWords; ++k) row |= t[k];
      if (row) ++listed, last = r;
    }
    if (constant || listed == 1) {
      auto one = std::make_shared<PrimeSet>();
      one->Keys.push_back(constant ? static_cast<uint64_t>(rows - 1) << 32 : last);
      const uint64_t* t = table + (constant ? 0 : last) * static_cast<uint64_t>(FWords);
      one->Tags.assign(t, t + FWords);
      return one;
    }
    return nullptr;
  }

  // Hashes the table's words into h.
  static void HashTable(const uint64_t* table, size_t words, Hash128& h) {
    // Four independent lanes (tables here have at least 128 words).
    uint64_t lane[4] = {h.A, h.B, h.A ^ 0x5555555555555555ULL, h.B + 0x3333333333333333ULL};
    for (size_t i = 0; i + 4 <= words; i += 4)
      for (int j = 0; j < 4; ++j) {
        lane[j] = (lane[j] ^ table[i + static_cast<size_t>(j)]) * 0x9e3779b97f4a7c15ULL;
        lane[j] ^= lane[j] >> 29;
      }
    for (size_t i = words & ~size_t{3}; i < words; ++i) lane[i & 3] = Mix64(lane[i & 3] ^ table[i]);
    h.A = Mix64(lane[0] ^ Mix64(lane[1] + 0x9e3779b97f4a7c15ULL));
    h.B = Mix64(lane[2] ^ Mix64(lane[3] + h.A));
  }

  // A sparse table full enough for the dense form.
  PrimeSetPtr SolveAsDense(const uint32_t* rows, const uint64_t* tags, size_t n, int w) {
    const auto tw = static_cast<size_t>(FWords);
    const uint64_t size = uint64_t{1} << w;
    const uint32_t low = static_cast<uint32_t>(size - 1);
    auto& table = FDense[static_cast<size_t>(w)];
    table.assign(size * tw, 0);
    for (size_t i = 0; i < n; ++i) std::copy(tags + i * tw, tags + (i + 1) * tw, table.data() + (rows[i] & low) * tw);
    return Solve(table.data(), w);
  }

  // Hashes the listed rows (read modulo low + 1) and their tags into h.
  void HashSparse(const uint32_t* rows, const uint64_t* tags, size_t n, uint32_t low, Hash128& h) const {
    const auto tw = static_cast<size_t>(FWords);
    for (size_t i = 0; i < n; ++i) {
      h.A = (h.A ^ (rows[i] & low)) * 0x9e3779b97f4a7c15ULL;
      h.A ^= h.A >> 29;
      for (size_t k = 0; k < tw; ++k) {
        h.B = (h.B ^ tags[i * tw + k]) * 0xc2b2ae3d27d4eb4fULL;
        h.B ^= h.B >> 31;
      }
    }
    h.A = Mix64(h.A ^ n);
    h.B = Mix64(h.B + h.A);
  }

  // The memo key of a sparse table: each listed row followed by its tags.
  std::vector<uint64_t> SparseKey(const uint32_t* rows, const uint64_t* tags, size_t n, uint32_t low) const {
    const auto tw = static_cast<size_t>(FWords);
    std::vector<uint64_t> key(n * (tw + 1));
    for (size_t i = 0; i < n; ++i) {
      key[i * (tw + 1)] = rows[i] & low;
      std::copy(tags + i * tw, tags + (i + 1) * tw, key.begin() + static_cast<std::ptrdiff_t>(i * (tw + 1) + 1));
    }
    return key;
  }

  // The AND of the halves [0, mid) and [mid, n) of a sparse table of 2^w
  // rows: the rows listed in both, into this width's buffers (the recursion
  // holds one frame per width).
  void AndOfSparseHalves(const uint32_t* rows, const uint64_t* tags, size_t mid, size_t n, int w) {
    const auto tw = static_cast<size_t>(FWords);
    auto& r2 = FSparseRows[static_cast<size_t>(w)];
    auto& t2 = FSparseTags[static_cast<size_t>(w)];
    r2.clear();
    t2.clear();
    const uint32_t half = (uint32_t{1} << (w - 1)) - 1;
    for (size_t i = 0, j = mid; i < mid && j < n;) {
      const uint32_t a = rows[i] & half, b = rows[j] & half;
      if (a < b) {
        ++i;
      } else if (b < a) {
        ++j;
      } else {
        uint64_t any = 0;
        const size_t at = t2.size();
        t2.resize(at + tw);
        for (size_t k = 0; k < tw; ++k) any |= t2[at + k] = tags[i * tw + k] & tags[j * tw + k];
        if (any) r2.push_back(a);
        else t2.resize(at);
        ++i;
        ++j;
      }
    }
  }

  // The primes of the table with hash h whose content same() confirms, or
  // null. A hash shared with another table is no hit, and that table is not
  // stored (the first one keeps the slot).
  template <class Same>
  const PrimeSetPtr* Lookup(Hash128& h, const Same& same, bool& store) {
    h.A &= FKeepA;
    h.B &= FKeepB;
    ++FLookups;
    const auto found = FMemo.find(h);
    store = found == FMemo.end();
    if (store) return nullptr;
    if (!same(found->second.Table)) {
      gMemoCollisions.fetch_add(1, std::memory_order_relaxed);
      return nullptr;
    }
    ++FHits;
    return &found->second.Primes;
  }

  void Remember(const Hash128& h, std::vector<uint64_t> table, const PrimeSetPtr& primes) {
    FBytes += (primes->Keys.size() * (1 + static_cast<uint64_t>(FWords)) + table.size()) * 8 + 96;
    FMeter.Set(FBytes);
    FMemo.emplace(h, MemoEntry{std::move(table), primes});
  }

  // The primes of a table from those of its halves and of their AND.
  std::shared_ptr<PrimeSet> Combine(const PrimeSet& h0, const PrimeSet& h1, const PrimeSet& h2, int w) {
    const PrimeSet* p0 = &h0;
    const PrimeSet* p1 = &h1;
    const PrimeSet* p2 = &h2;
    auto result = std::make_shared<PrimeSet>();
    const uint64_t top = uint64_t{1} << (w - 1);
    result->Keys.reserve(p0->Keys.size() + p1->Keys.size() + p2->Keys.size());
    result->Tags.reserve(result->Keys.capacity() * static_cast<size_t>(FWords));
    // The halves' primes that stay prime, merged by key (all their masks lack
    // the top input, so they all come before the primes of F2).
    size_t a = 0, b = 0, c0 = 0, c1 = 0;
    auto absorbed = [&](const PrimeSet& half, size_t i, size_t& cursor) {
      const uint64_t key = half.Keys[i];
      while (cursor < p2->Keys.size() && p2->Keys[cursor] < key) ++cursor;
      return cursor < p2->Keys.size() && p2->Keys[cursor] == key &&
             std::equal(half.Tags.begin() + static_cast<std::ptrdiff_t>(i * FWords),
                        half.Tags.begin() + static_cast<std::ptrdiff_t>((i + 1) * FWords),
                        p2->Tags.begin() + static_cast<std::ptrdiff_t>(cursor * FWords));
    };
    auto put = [&](uint64_t key, const uint64_t* tags) {
      result->Keys.push_back(key);
      result->Tags.insert(result->Tags.end(), tags, tags + FWords);
    };
    while (a < p0->Keys.size() || b < p1->Keys.size()) {
      const bool takeA = b >= p1->Keys.size() || (a < p0->Keys.size() && p0->Keys[a] <= (p1->Keys[b] | top));
      if (takeA) {
        if (!absorbed(*p0, a, c0)) put(p0->Keys[a], p0->Tags.data() + a * FWords);
        ++a;
      } else {
        if (!absorbed(*p1, b, c1)) put(p1->Keys[b] | top, p1->Tags.data() + b * FWords);
        ++b;
      }
    }
    for (size_t i = 0; i < p2->Keys.size(); ++i) put(p2->Keys[i] | (top << 32), p2->Tags.data() + i * FWords);

    return result;
  }

  // A small table directly: the tags of every cube, mask by mask (a cube's
  // tags are those of its two halves across its lowest free input), and the
  // cubes no one-input growth keeps the tags of.
  PrimeSetPtr SolveDirect(const uint64_t* table, int w) {
    const uint32_t rows = uint32_t{1} << w;
    const uint32_t full = rows - 1;
    const auto tw = static_cast<size_t>(FWords);
    // Every (mask, value) slot is written before it is read: masks ascend,
    // and a cube's halves have a smaller mask.
    if (FScratch.size() < static_cast<size_t>(rows) * rows * tw) FScratch.resize(static_cast<size_t>(rows) * rows * tw);
    auto at = [&](uint32_t m, uint32_t v) { return FScratch.data() + (static_cast<size_t>(m) * rows + v) * tw; };
    std::copy(table, table + static_cast<size_t>(rows) * tw, at(0, 0));
    for (uint32_t m = 1; m < rows; ++m) {
      if ((m & 0xFF) == 0) {
        CheckStop();
        CheckExactDeadline();
      }
      const uint32_t b = m & (~m + 1);
      const uint32_t free = full & ~m;
      uint32_t v = 0;
      do {
        const uint64_t* x = at(m ^ b, v);
        const uint64_t* y = at(m ^ b, v | b);
        uint64_t* out = at(m, v);
        for (size_t k = 0; k < tw; ++k) out[k] = x[k] & y[k];
        v = (v - free) & free;
      } while (v != 0);
    }
    auto result = std::make_shared<PrimeSet>();
    for (uint32_t m = 0; m < rows; ++m) {
      const uint32_t free = full & ~m;
      uint32_t v = 0;
      do {
        const uint64_t* t = at(m, v);
        bool any = false;
        for (size_t k = 0; k < tw; ++k) any = any || t[k];
        if (any) {
          bool prime = true;
          for (uint32_t bits = free; bits && prime; bits &= bits - 1) {
            const uint32_t b = bits & (~bits + 1);
            prime = !std::equal(t, t + tw, at(m | b, v & ~b));
          }
          if (prime) {
            result->Keys.push_back((static_cast<uint64_t>(m) << 32) | v);
            result->Tags.insert(result->Tags.end(), t, t + tw);
          }
        }
        v = (v - free) & free;
      } while (v != 0);
    }
    return result;
  }

  PrimeSetPtr Empty() {
    static const PrimeSetPtr empty = std::make_shared<PrimeSet>();
    return empty;
  }

  int FWords;
  MemoryMeter& FMeter;
  uint64_t FBytes = 0;
  uint64_t FLookups = 0, FHits = 0;
  std::vector<uint64_t> FScratch;
  std::vector<uint64_t> FBuffers[33];
  std::vector<uint64_t> FDense[33];
  std::vector<uint32_t> FSparseRows[33];
  std::vector<uint64_t> FSparseTags[33];
  bool FMemoOn = true;
  uint64_t FKeepA = ~uint64_t{0}, FKeepB = ~uint64_t{0};
  std::unordered_map<Hash128, MemoEntry, Hash128Hasher> FMemo;
};

}  // namespace

void SetSplitMemoHashBits(int bits) {
  gMemoHashBits.store(bits, std::memory_order_relaxed);
  gMemoCollisions.store(0, std::memory_order_relaxed);
}

uint64_t SplitMemoCollisions() { return gMemoCollisions.load(std::memory_order_relaxed); }

void TabulateSplit(const std::vector<const TTermVector*>& functions, int width, IEngineHost* host, TRunStats* stats,
                   MemoryMeter& meter, TCover& primes) {
  const int fcount = static_cast<int>(functions.size());
  const int tw = (fcount + 63) / 64;
  if (host) host->SetStatus("Generating zero cubes...");
  // The listed rows with their tags, ascending.
  size_t total = 0;
  for (const auto* f : functions) total += f->Terms().size();
  meter.Set(total * 8);
  std::vector<uint32_t> rows;
  std::vector<uint64_t> tags;
  ListedRows(functions, width, tw, rows, tags);
  const auto zeroCubes = static_cast<int64_t>(rows.size());
  // A full enough system is turned into a table of every row.
  const uint64_t tableBytes = (uint64_t{8} << width) * static_cast<uint64_t>(tw);
  meter.Set(rows.size() * (4 + 8 * static_cast<uint64_t>(tw)) +
            (rows.size() * 8 >= (uint64_t{1} << width) ? 2 * tableBytes : 0));

  PrimeSetPtr found;
  {
    Splitter splitter(tw, meter);
    found = splitter.SolveSparse(rows.data(), tags.data(), rows.size(), width);
  }

  primes = TCover(width, fcount);
  primes.Reserve(found->Keys.size());
  int deepest = 0;
  for (size_t i = 0; i < found->Keys.size(); ++i) {
    const auto mask = static_cast<uint32_t>(found->Keys[i] >> 32);
    primes.Add(static_cast<uint32_t>(found->Keys[i]), mask, found->Tags.data() + i * static_cast<size_t>(tw));
    deepest = std::max(deepest, std::popcount(mask));
  }
  // The pairing would make levels up to the largest prime and then one
  // empty level; say so in the same words.
  FinishPrimeList(primes, deepest, zeroCubes, host, stats);
}

}  // namespace tavro::detail
