#include "support/Cube.h"

#include "model/Errors.h"

namespace tavro {

TCube::TCube(int32_t width) : Width(width), Pattern(static_cast<size_t>(width > 0 ? width : 0), '0') {}

void TCube::InitFromTerm(int32_t Term, const std::vector<bool>& tags) {
  Terms.Add(Term);
  Tags = tags;
  int64_t v = Terms.GetItem(0);
  for (int32_t pos = Width; pos >= 1; --pos) {
    int bit = 0;
    if (v > 0) {
      bit = static_cast<int>(v % 2);
      Ones += bit;
      v /= 2;
    }
    Pattern[static_cast<size_t>(pos - 1)] = bit ? '1' : '0';
  }
}

TCubeList::TCubeList(int32_t Width) : FBlank(std::make_unique<TCube>(Width)) { Items.push_back(FBlank.get()); }

void TCubeList::Add(TCube* Cube) {
  if (FCount == 0) Items.clear();
  size_t p = 0;
  while (p < Items.size() && Items[p]->Ones < Cube->Ones) ++p;
  Items.insert(Items.begin() + static_cast<std::ptrdiff_t>(p), Cube);
  ++FCount;
}

void TCubeList::Delete(int32_t Index) {
  if (Index < 0 || Index >= FCount) throw RangeError();
  Items.erase(Items.begin() + Index);
  --FCount;
}

TCube* TCubeList::Item(int32_t Index) const {
  if (Index < 0 || static_cast<size_t>(Index) >= Items.size()) throw RangeError();
  return Items[static_cast<size_t>(Index)];
}

TTable::TTable(int32_t rows, int32_t columns)
    : Rows(rows),
      Columns(columns),
      Covered(static_cast<size_t>(columns), 0),
      Cells(static_cast<size_t>(rows), std::vector<uint8_t>(static_cast<size_t>(columns), 0)) {}

void TTable::SetCell(int32_t Row, int32_t Column) {
  if (Row < 0 || Row >= Rows || Column < 0 || Column >= Columns) throw RangeError();
  Cells[static_cast<size_t>(Row)][static_cast<size_t>(Column)] = 1;
}

bool TTable::GetCell(int32_t Row, int32_t Column) const {
  if (Row < 0 || Row >= Rows || Column < 0 || Column >= Columns) throw RangeError();
  return Cells[static_cast<size_t>(Row)][static_cast<size_t>(Column)] != 0;
}

bool TTable::IsCovered(int32_t Column) const {
  if (Column < 0 || Column >= Columns) throw RangeError();
  return Covered[static_cast<size_t>(Column)] != 0;
}

void TTable::DeleteRow(int32_t Row) {
  if (Row < 0 || Row >= Rows) throw RangeError();
  Cells.erase(Cells.begin() + Row);
  --Rows;
}

void TTable::DeleteColumn(int32_t Column) {
  if (Column < 0 || Column >= Columns) throw RangeError();
  Covered.erase(Covered.begin() + Column);
  for (auto& row : Cells) row.erase(row.begin() + Column);
  --Columns;
}

TIntVector TTable::FindEssentialRows() {
  TIntVector result;
  for (int32_t c = 0; c < Columns; ++c) {
    if (Covered[static_cast<size_t>(c)]) continue;
    int32_t count = 0, found = -1;
    for (int32_t r = 0; r < Rows; ++r)
      if (Cells[static_cast<size_t>(r)][static_cast<size_t>(c)]) {
        ++count;
        found = r;
      }
    if (count != 1) continue;
    result.Add(found);
    const auto& row = Cells[static_cast<size_t>(found)];
    for (int32_t k = 0; k < Columns; ++k)
      if (row[static_cast<size_t>(k)]) Covered[static_cast<size_t>(k)] = 1;
  }
  return result;
}

bool TTable::AllCovered() const {
  for (auto flag : Covered)
    if (!flag) return false;
  return true;
}

}  // namespace tavro
