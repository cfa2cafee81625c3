#pragma once
// The rules of a drawn Karnaugh map, for every drawing of one (the window's
// view and its exports, the LaTeX document): how 1 to 6 inputs are spread
// over up to four Gray-coded maps of up to 4 x 4 cells, where the loop of a
// cube goes (around the edges too), how far inside its cells it is drawn,
// with which line and in which colour.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tavro {

// The widest function that is drawn as maps.
constexpr int kKarnaughMaxInputs = 6;

// How the inputs are spread over the maps. The first MapBits inputs (A, or
// A and B) choose the map, the next RowBits the row, the last ColumnBits
// the column; rows and columns follow the Gray code 00, 01, 11, 10. Maps
// are laid out MapsAcross() to a line, map k at line k / 2, place k % 2.
struct TKarnaughLayout {
  int Inputs = 0;
  int MapBits = 0, RowBits = 0, ColumnBits = 0;
  int Maps() const { return 1 << MapBits; }
  int MapsAcross() const { return MapBits == 0 ? 1 : 2; }
  int Rows() const { return 1 << RowBits; }
  int Columns() const { return 1 << ColumnBits; }
  // The pattern position (1 = A) of the first input that chooses the map,
  // the row and the column.
  int FirstMapInput() const { return 1; }
  int FirstRowInput() const { return 1 + MapBits; }
  int FirstColumnInput() const { return 1 + MapBits + RowBits; }
};

// For 1 to 6 inputs.
TKarnaughLayout KarnaughLayout(int inputs);

struct TKarnaughCell {
  int Map = 0, Row = 0, Column = 0;
  bool operator==(const TKarnaughCell&) const = default;
};

TKarnaughCell KarnaughCell(const TKarnaughLayout& layout, uint32_t term);
uint32_t KarnaughTerm(const TKarnaughLayout& layout, const TKarnaughCell& cell);

// The labels of a map, a row and a column: the values of the inputs that
// choose it, the first input first ("01"); empty where no input chooses.
std::string KarnaughMapBits(const TKarnaughLayout& layout, int map);
std::string KarnaughRowBits(const TKarnaughLayout& layout, int row);
std::string KarnaughColumnBits(const TKarnaughLayout& layout, int column);

// The cyclic run of positions 0..n-1 (n = 2^bits) whose Gray code matches
// the cube on the input bits shift .. shift + bits - 1: its start and
// length. A Gray-coded cube is always one run; it may pass the last
// position and go on at the first.
std::pair<int, int> KarnaughRun(int bits, int shift, uint32_t value, uint32_t mask);

// One part of a cube's loop, in cells of its map: a rectangle that may begin
// before the first row or column or end after the last. It is drawn cut to
// its map, so that a loop that wraps around an edge shows as open pieces at
// both edges.
struct TKarnaughPiece {
  int Map = 0;
  int Row = 0, Column = 0;    // the first cell; may be negative
  int Rows = 0, Columns = 0;  // the size in cells
};

// The pieces of the loop of a cube (value, mask) of layout.Inputs inputs:
// map by map, and in each map the piece at the run's start before the one
// shifted back by the map's size.
std::vector<TKarnaughPiece> KarnaughPieces(const TKarnaughLayout& layout, uint32_t value, uint32_t mask);

// Sizes of a drawing, in units of which a cell's side is kKarnaughCell (the
// window draws a unit as a pixel).
constexpr int kKarnaughCell = 44;
constexpr double kKarnaughLoopRadius = 10;  // a loop's rounded corners

// How far inside its cells a loop is drawn. The result's loops of a map go
// a little further in one after the other (index: the loop's place among
// them), five steps and then again, so that nested and neighbouring loops
// stay apart; a prime implicant's loop, drawn dotted, stays near the grid.
double KarnaughLoopInset(bool prime, int index);

enum class TKarnaughLine { Solid, Dashed, Dotted };
// A loop's line: a prime implicant's thin and dotted, a cube of the result
// solid, or dashed when it serves other functions too. Width in units; a
// dash is four widths long with a gap of two, a dot one width with a gap
// of two.
struct TKarnaughStroke {
  double Width = 0;
  TKarnaughLine Line = TKarnaughLine::Solid;
};
TKarnaughStroke KarnaughStroke(bool prime, bool shared);

// A colour as hue, saturation and value, each from 0 to 1.
struct THsv {
  double Hue = 0, Saturation = 0, Value = 0;
};
// A colour as red, green and blue, each from 0 to 1.
struct TRgb {
  double Red = 0, Green = 0, Blue = 0;
};
TRgb HsvToRgb(const THsv& hsv);

// A loop's colour, made from its cube alone: the same cube has the same
// colour in every function, run and drawing. The hue comes from a mix of
// the cube's bits, the value (0.72 or 0.88) from one more of them; the
// saturation is 0.9.
THsv KarnaughLoopColor(uint32_t value, uint32_t mask);

}  // namespace tavro
