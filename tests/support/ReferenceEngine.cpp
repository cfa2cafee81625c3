#include "support/ReferenceEngine.h"

#include <algorithm>
#include <map>
#include <memory>

#include "support/Cube.h"

namespace tavro::testing {

namespace {

void AddToCover(TCover& cover, const TCube& cube) {
  uint32_t value = 0, mask = 0;
  for (int j = 0; j < cube.Width; ++j) {
    const uint32_t bit = uint32_t{1} << (cube.Width - 1 - j);
    if (cube.Pattern[static_cast<size_t>(j)] == '-') mask |= bit;
    if (cube.Pattern[static_cast<size_t>(j)] == '1') value |= bit;
  }
  std::vector<uint64_t> tags(static_cast<size_t>(cover.TagWords), 0);
  for (size_t f = 0; f < cube.Tags.size(); ++f)
    if (cube.Tags[f]) tags[f >> 6] |= uint64_t{1} << (f & 63);
  cover.Add(value, mask, tags.data());
}

TCover ToCover(const TCubeList& list, int width, int functions) {
  TCover cover(width, functions);
  for (int32_t i = 0; i < list.Count(); ++i) AddToCover(cover, *list.Item(i));
  return cover;
}

void CombineCubes(TCube* A, TCube* B, TCubeList* T, std::vector<std::unique_ptr<TCube>>& arena) {
  int differ = 0;
  for (int32_t p = 0; p < A->Width; ++p)
    if (A->Pattern[static_cast<size_t>(p)] != B->Pattern[static_cast<size_t>(p)]) ++differ;
  if (differ > 1) return;
  auto M = std::make_unique<TCube>(A->Width);
  for (int32_t i = 0; i < A->Terms.Count(); ++i) M->Terms.Add(A->Terms.GetItem(i));
  for (int32_t i = 0; i < B->Terms.Count(); ++i) M->Terms.Add(B->Terms.GetItem(i));
  int32_t v = M->Terms.GetItem(0);
  for (int32_t k = 0; k < M->Width; ++k)
    if ((v >> k) & 1) ++M->Ones;
  M->Tags.resize(A->Tags.size());
  bool any = false;
  for (size_t f = 0; f < A->Tags.size(); ++f) {
    M->Tags[f] = A->Tags[f] && B->Tags[f];
    any = any || M->Tags[f];
  }
  if (!any) return;
  if (M->Tags == A->Tags) A->Combined = true;
  if (M->Tags == B->Tags) B->Combined = true;
  for (int32_t p = 0; p < A->Width; ++p)
    M->Pattern[static_cast<size_t>(p)] = A->Pattern[static_cast<size_t>(p)] == B->Pattern[static_cast<size_t>(p)]
                                             ? A->Pattern[static_cast<size_t>(p)]
                                             : '-';
  for (int32_t i = 0; i < T->Count(); ++i) {
    TCube* other = T->Item(i);
    bool same = other->Terms.Count() == M->Terms.Count();
    for (int32_t t = 0; same && t < M->Terms.Count(); ++t) same = other->Terms.GetItem(t) == M->Terms.GetItem(t);
    if (same) return;
  }
  T->Add(M.get());
  arena.push_back(std::move(M));
}

}  // namespace

ReferenceResult ReferenceMinimize(const std::vector<TTermVector>& functions, int inputBits) {
  ReferenceResult out;
  const int fcount = static_cast<int>(functions.size());
  std::vector<std::unique_ptr<TCube>> arena;
  std::vector<std::unique_ptr<TCubeList>> levels;
  std::map<const TCube*, std::pair<int32_t, int32_t>> from;  // each made cube's sources

  // Zero cubes.
  levels.push_back(std::make_unique<TCubeList>(inputBits));
  int32_t largest = -1;
  for (const auto& f : functions)
    if (f.GetTerm(f.Count() - 1) > largest) largest = f.GetTerm(f.Count() - 1);
  out.Statuses.push_back("Generating zero cubes...");
  std::vector<bool> buffer(static_cast<size_t>(fcount));
  for (int32_t t = 0; t <= largest; ++t) {
    bool any = false;
    for (int f = 0; f < fcount; ++f) {
      buffer[static_cast<size_t>(f)] = functions[static_cast<size_t>(f)].Contains(t);
      any = any || buffer[static_cast<size_t>(f)];
    }
    if (!any) continue;
    auto cube = std::make_unique<TCube>(inputBits);
    cube->InitFromTerm(t, buffer);
    levels[0]->Add(cube.get());
    arena.push_back(std::move(cube));
  }

  // Combining passes.
  for (int k = 1;; ++k) {
    out.Statuses.push_back("Generating " + std::to_string(k) + " Cubes...");
    levels.push_back(std::make_unique<TCubeList>(inputBits));
    TCubeList* L = levels[static_cast<size_t>(k - 1)].get();
    TCubeList* T = levels[static_cast<size_t>(k)].get();
    const int32_t n = L->Count();
    for (int32_t i = 0; i <= n - 2; ++i)
      for (int32_t j = i; j < n && L->Item(j)->Ones - L->Item(i)->Ones < 2; ++j)
        if (j != i && L->Item(j)->Ones - L->Item(i)->Ones > 0) {
          const size_t made = arena.size();
          CombineCubes(L->Item(j), L->Item(i), T, arena);
          if (arena.size() > made) from[arena.back().get()] = {i, j};
        }
    if (T->Count() == 0) break;
  }
  for (const auto& level : levels) {
    auto& told = out.Steps.Levels.emplace_back();
    for (int32_t i = 0; i < level->Count(); ++i) {
      const TCube* c = level->Item(i);
      const auto it = from.find(c);
      told.push_back({c->Pattern, c->Tags, c->Combined, it == from.end() ? -1 : it->second.first,
                      it == from.end() ? -1 : it->second.second});
    }
  }

  // Prime implicants.
  TCubeList primes(inputBits);
  for (const auto& level : levels)
    for (int32_t i = 0; i < level->Count(); ++i)
      if (!level->Item(i)->Combined) primes.Add(level->Item(i));
  out.Primes = ToCover(primes, inputBits, fcount);

  // Table.
  std::vector<TTermVector> care(static_cast<size_t>(fcount));
  int32_t columns = 0;
  for (int f = 0; f < fcount; ++f) {
    const auto& fn = functions[static_cast<size_t>(f)];
    for (int32_t i = 0; i < fn.Count(); ++i)
      if (!fn.GetDontCare(i)) care[static_cast<size_t>(f)].Add(fn.GetTerm(i), false);
    columns += care[static_cast<size_t>(f)].Count();
  }
  TTable table(primes.Count(), columns);
  out.Statuses.push_back("Creating prime implicant matrix...");
  for (int32_t r = 0; r < primes.Count(); ++r) {
    TCube* p = primes.Item(r);
    int32_t base = 0;
    for (int f = 0; f < fcount; ++f) {
      const auto& c = care[static_cast<size_t>(f)];
      for (int32_t i = 0; i < c.Count(); ++i)
        if (p->Tags[static_cast<size_t>(f)] && p->Terms.Contains(c.GetTerm(i))) table.SetCell(r, base + i);
      base += c.Count();
    }
  }

  out.Steps.Chart.assign(static_cast<size_t>(table.Rows), std::vector<bool>(static_cast<size_t>(table.Columns)));
  for (int32_t r = 0; r < table.Rows; ++r)
    for (int32_t c = 0; c < table.Columns; ++c)
      out.Steps.Chart[static_cast<size_t>(r)][static_cast<size_t>(c)] = table.GetCell(r, c);

  // Selection; ids follow the rows as they move up.
  std::vector<int32_t> ids(static_cast<size_t>(primes.Count()));
  for (int32_t r = 0; r < primes.Count(); ++r) ids[static_cast<size_t>(r)] = r;
  out.Statuses.push_back("Finding (secondary) essential prime implicants...");
  TCubeList result(inputBits);
  auto size = [&](int32_t r) { return primes.Item(r)->Terms.Count(); };
  auto deleteRows = [&](const TIntVector& rows) {
    for (int32_t i = 0; i < rows.Count(); ++i) {
      primes.Delete(rows.GetItem(i) - i);
      table.DeleteRow(rows.GetItem(i) - i);
      ids.erase(ids.begin() + (rows.GetItem(i) - i));
    }
  };
  auto deleteColumns = [&](const TIntVector& cols) {
    for (int32_t i = 0; i < cols.Count(); ++i) table.DeleteColumn(cols.GetItem(i) - i);
  };
  auto rowCount = [&](int32_t r) {
    int32_t n = 0;
    for (int32_t c = 0; c < table.Columns; ++c) n += table.GetCell(r, c);
    return n;
  };
  int32_t previous = -1;
  while (true) {
    if (table.AllCovered() || table.Columns == previous) {
      if (table.Columns > 0) {
        int32_t full = -1;
        for (int32_t r = 0; r < table.Rows; ++r)
          if (rowCount(r) == table.Columns) full = r;
        if (full >= 0) {
          out.Steps.Steps.push_back({{ids[static_cast<size_t>(full)]}, {}});
          result.Add(primes.Item(full));
          while (table.Columns > 0) table.DeleteColumn(0);
        }
      }
      if (table.Columns == 0) break;
      int32_t best = 0, bestCount = -1;
      for (int32_t r = 0; r < table.Rows; ++r)
        if (rowCount(r) > bestCount) best = r, bestCount = rowCount(r);
      TIntVector cols;
      for (int32_t c = 0; c < table.Columns; ++c)
        if (table.GetCell(best, c)) cols.Add(c);
      result.Add(primes.Item(best));
      out.Steps.Steps.push_back({{ids[static_cast<size_t>(best)]}, {}});
      primes.Delete(best);
      table.DeleteRow(best);
      ids.erase(ids.begin() + best);
      deleteColumns(cols);
      continue;
    }
    previous = table.Columns;
    TIntVector drop = table.FindEssentialRows();
    auto& step = out.Steps.Steps.emplace_back();
    for (int32_t i = 0; i < drop.Count(); ++i) {
      result.Add(primes.Item(drop.GetItem(i)));
      step.Chosen.push_back(ids[static_cast<size_t>(drop.GetItem(i))]);
    }
    TIntVector covered;
    for (int32_t c = 0; c < table.Columns; ++c)
      if (table.IsCovered(c)) covered.Add(c);
    deleteColumns(covered);
    auto equalRows = [&](int32_t a, int32_t b) {
      for (int32_t c = 0; c < table.Columns; ++c)
        if (table.GetCell(a, c) != table.GetCell(b, c)) return false;
      return true;
    };
    for (int32_t r = 0; r + 1 < table.Rows; ++r)
      for (int32_t p = r + 1; p < table.Rows; ++p)
        if (equalRows(r, p)) drop.Add(size(r) > size(p) ? p : r);
    for (int32_t r = 0; r < table.Rows; ++r)
      for (int32_t p = 0; p < table.Rows; ++p) {
        if (r == p || equalRows(r, p)) continue;
        bool inside = true;
        for (int32_t c = 0; inside && c < table.Columns; ++c)
          if (table.GetCell(p, c) && !table.GetCell(r, c)) inside = false;
        if (!inside) continue;
        if (fcount == 1 || size(r) == size(p)) drop.Add(p);
      }
    for (int32_t i = 0; i < drop.Count(); ++i)
      if (std::find(step.Chosen.begin(), step.Chosen.end(), ids[static_cast<size_t>(drop.GetItem(i))]) ==
          step.Chosen.end())
        step.Dropped.push_back(ids[static_cast<size_t>(drop.GetItem(i))]);
    std::sort(step.Dropped.begin(), step.Dropped.end());
    deleteRows(drop);
  }
  out.Result = ToCover(result, inputBits, fcount);
  return out;
}

}  // namespace tavro::testing
