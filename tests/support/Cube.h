#pragma once
// Cubes of the tabulation, ordered cube lists, and the prime implicant chart.
//
// These are the plain model classes: a cube spells its pattern as text and
// keeps its covered terms, a list keeps cubes ascending by number of ones
// (the most recently added first among equals), and the chart is a dense
// matrix. The minimization engine works on compact forms of the same data
// (see engine/Minimize.h) and is checked against these classes in the tests.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/IntVector.h"

namespace tavro {

class TCube {
 public:
  explicit TCube(int32_t Width);

  // Makes the cube the zero cube of Term with a copy of the given tags.
  void InitFromTerm(int32_t Term, const std::vector<bool>& Tags);

  int32_t Ones = 0;
  int32_t Width = 0;
  TIntVector Terms;
  std::string Pattern;  // "0", "1" or "-" per input bit, most significant first
  bool Combined = false;
  std::vector<bool> Tags;  // one per output function
};

// An ordered list of cube references; it owns no cube (except the blank cube
// that stands at position 0 of a list that was never added to).
class TCubeList {
 public:
  explicit TCubeList(int32_t Width);

  int32_t Count() const { return FCount; }
  void Add(TCube* Cube);
  void Delete(int32_t Index);
  // The cube at Index; position 0 of a new, empty list holds the blank cube.
  TCube* Item(int32_t Index) const;

  std::vector<TCube*> Items;

 private:
  std::unique_ptr<TCube> FBlank;
  int32_t FCount = 0;
};

// The prime implicant chart: rows x columns of Booleans with a covered flag
// per column.
class TTable {
 public:
  TTable(int32_t Rows, int32_t Columns);

  void SetCell(int32_t Row, int32_t Column);
  bool GetCell(int32_t Row, int32_t Column) const;
  void DeleteRow(int32_t Row);
  void DeleteColumn(int32_t Column);
  // Rows that alone cover a column not yet covered, ascending; marks every
  // column they cover as covered.
  TIntVector FindEssentialRows();
  bool IsCovered(int32_t Column) const;
  bool AllCovered() const;

  int32_t Rows = 0;
  int32_t Columns = 0;

 private:
  std::vector<uint8_t> Covered;
  std::vector<std::vector<uint8_t>> Cells;
};

}  // namespace tavro
