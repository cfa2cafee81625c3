#include "model/TermVector.h"

#include <algorithm>
#include <atomic>

#include "model/Errors.h"

namespace tavro {

void TTermVector::Add(int32_t Term, bool DontCare) {
  if (Term < 0) return;
  if (FTerms.empty() || Term > FTerms.back()) {
    FStamp = 0;
    FTerms.push_back(Term);
    FDontCares.push_back(DontCare);
    return;
  }
  auto pos = std::lower_bound(FTerms.begin(), FTerms.end(), Term);
  if (*pos == Term) return;
  const auto index = pos - FTerms.begin();
  FStamp = 0;
  FTerms.insert(pos, Term);
  FDontCares.insert(FDontCares.begin() + index, DontCare);
}

void TTermVector::Append(int32_t Term, bool DontCare) {
  if (Term < 0) return;
  if (!FTerms.empty() && Term <= FTerms.back()) {
    Add(Term, DontCare);
    return;
  }
  FStamp = 0;
  FTerms.push_back(Term);
  FDontCares.push_back(DontCare);
}

void TTermVector::AddAll(const std::vector<std::pair<int32_t, bool>>& items) {
  // Merge the new items (first occurrence wins) with the stored ones, which
  // always win over new ones.
  std::vector<std::pair<int32_t, bool>> sorted;
  sorted.reserve(items.size());
  for (const auto& item : items)
    if (item.first >= 0) sorted.push_back(item);
  // Lists read from files are usually ascending already.
  const auto byTerm = [](const auto& a, const auto& b) { return a.first < b.first; };
  if (!std::is_sorted(sorted.begin(), sorted.end(), byTerm)) std::stable_sort(sorted.begin(), sorted.end(), byTerm);
  std::vector<int32_t> terms;
  std::vector<bool> flags;
  terms.reserve(FTerms.size() + sorted.size());
  flags.reserve(FTerms.size() + sorted.size());
  size_t i = 0, j = 0;
  while (i < FTerms.size() || j < sorted.size()) {
    if (j >= sorted.size() || (i < FTerms.size() && FTerms[i] <= sorted[j].first)) {
      const int32_t t = FTerms[i];
      terms.push_back(t);
      flags.push_back(FDontCares[i]);
      ++i;
      while (j < sorted.size() && sorted[j].first == t) ++j;
    } else {
      const int32_t t = sorted[j].first;
      terms.push_back(t);
      flags.push_back(sorted[j].second);
      while (j < sorted.size() && sorted[j].first == t) ++j;
    }
  }
  FStamp = 0;
  FTerms = std::move(terms);
  FDontCares = std::move(flags);
}

void TTermVector::AssignAscending(std::vector<int32_t> terms, std::vector<bool> dontCares) {
  if (terms.size() != dontCares.size()) throw InternalError("terms and flags of different lengths");
  FStamp = 0;
  FTerms = std::move(terms);
  FDontCares = std::move(dontCares);
}

uint64_t TTermVector::Stamp() const {
  static std::atomic<uint64_t> taken{0};
  if (FStamp == 0) FStamp = taken.fetch_add(1, std::memory_order_relaxed) + 1;
  return FStamp;
}

void TTermVector::Delete(int32_t Index) {
  if (Index < 0 || Index >= Count()) throw RangeError();
  FStamp = 0;
  FTerms.erase(FTerms.begin() + Index);
  FDontCares.erase(FDontCares.begin() + Index);
}

int32_t TTermVector::GetTerm(int32_t Index) const {
  if (Index < 0 || Index >= Count()) throw RangeError();
  return FTerms[static_cast<size_t>(Index)];
}

bool TTermVector::GetDontCare(int32_t Index) const {
  if (Index < 0 || Index >= Count()) throw RangeError();
  return FDontCares[static_cast<size_t>(Index)];
}

void TTermVector::Clear() {
  FStamp = 0;
  FTerms.clear();
  FTerms.shrink_to_fit();
  FDontCares.clear();
  FDontCares.shrink_to_fit();
}

bool TTermVector::Contains(int32_t Term) const { return std::binary_search(FTerms.begin(), FTerms.end(), Term); }

bool TTermVector::IsDontCare(int32_t Term) const {
  auto pos = std::lower_bound(FTerms.begin(), FTerms.end(), Term);
  if (pos == FTerms.end() || *pos != Term) return false;
  return FDontCares[static_cast<size_t>(pos - FTerms.begin())];
}

}  // namespace tavro
