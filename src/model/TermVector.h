#pragma once
// One output function: its terms ascending and unique, a don't-care flag per
// term, and whether the terms are minterms or maxterms.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace tavro {

class TTermVector {
 public:
  TTermVector() = default;

  int32_t Count() const { return static_cast<int32_t>(FTerms.size()); }
  // Inserts Term with its flag in ascending position; a negative term or a
  // term already present (whatever its flag) leaves the vector unchanged.
  void Add(int32_t Term, bool DontCare);
  void Delete(int32_t Index);
  int32_t GetTerm(int32_t Index) const;
  bool GetDontCare(int32_t Index) const;
  void Clear();
  bool Contains(int32_t Term) const;
  bool IsDontCare(int32_t Term) const;
  bool IsMaxterms() const { return Maxterms; }
  bool IsMinterms() const { return !Maxterms; }

  // Appends a term larger than every stored term (the fast path of builders
  // that produce terms in ascending order). Anything else goes through Add.
  void Append(int32_t Term, bool DontCare);
  // The memory n terms take: four bytes and a don't-care bit each.
  static uint64_t BytesFor(uint64_t n) { return (n * 33 + 7) / 8; }
  // Makes room for n terms in all.
  void Reserve(size_t n) {
    FTerms.reserve(n);
    FDontCares.reserve(n);
  }
  // Adds the items in the given order with Add's rules (the first occurrence
  // of a term keeps its flag), in O(n log n) for any order.
  void AddAll(const std::vector<std::pair<int32_t, bool>>& items);
  // Replaces the contents with terms already strictly ascending and their
  // flags (of the same length), as a builder that made both lists has them.
  void AssignAscending(std::vector<int32_t> terms, std::vector<bool> dontCares);

  // A number that names the present terms and flags (not the kind): it is
  // taken on first use, any change of the terms drops it, and a copy made
  // after it was taken keeps it. Two vectors with the same stamp hold the
  // same terms (equal vectors may still have different stamps).
  uint64_t Stamp() const;

  const std::vector<int32_t>& Terms() const { return FTerms; }
  const std::vector<bool>& DontCares() const { return FDontCares; }
  int32_t Largest() const { return FTerms.empty() ? -1 : FTerms.back(); }

  bool operator==(const TTermVector& other) const {
    return Maxterms == other.Maxterms && FTerms == other.FTerms && FDontCares == other.FDontCares;
  }

  bool Maxterms = false;

 private:
  std::vector<bool> FDontCares;
  std::vector<int32_t> FTerms;
  mutable uint64_t FStamp = 0;  // 0: none taken since the last change
};

}  // namespace tavro
