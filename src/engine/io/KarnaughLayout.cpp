#include "engine/io/KarnaughLayout.h"

#include <cmath>

namespace tavro {

namespace {

uint32_t Gray(uint32_t i) { return i ^ (i >> 1); }
uint32_t InverseGray(uint32_t g) {
  uint32_t i = 0;
  for (; g; g >>= 1) i ^= g;
  return i;
}

std::string Bits(uint32_t value, int count) {
  std::string s;
  for (int b = count - 1; b >= 0; --b) s += (value >> b) & 1u ? '1' : '0';
  return s;
}

}  // namespace

TKarnaughLayout KarnaughLayout(int inputs) {
  TKarnaughLayout layout;
  layout.Inputs = inputs;
  layout.MapBits = inputs > 4 ? inputs - 4 : 0;
  const int inMap = inputs - layout.MapBits;
  layout.RowBits = inMap / 2;
  layout.ColumnBits = inMap - layout.RowBits;
  return layout;
}

TKarnaughCell KarnaughCell(const TKarnaughLayout& layout, uint32_t term) {
  TKarnaughCell cell;
  const uint32_t columnValue = term & ((1u << layout.ColumnBits) - 1);
  const uint32_t rowValue = (term >> layout.ColumnBits) & ((1u << layout.RowBits) - 1);
  cell.Map = static_cast<int>(term >> (layout.ColumnBits + layout.RowBits));
  cell.Row = static_cast<int>(InverseGray(rowValue));
  cell.Column = static_cast<int>(InverseGray(columnValue));
  return cell;
}

uint32_t KarnaughTerm(const TKarnaughLayout& layout, const TKarnaughCell& cell) {
  return static_cast<uint32_t>(cell.Map) << (layout.ColumnBits + layout.RowBits) |
         Gray(static_cast<uint32_t>(cell.Row)) << layout.ColumnBits | Gray(static_cast<uint32_t>(cell.Column));
}

std::string KarnaughMapBits(const TKarnaughLayout& layout, int map) {
  return Bits(static_cast<uint32_t>(map), layout.MapBits);
}

std::string KarnaughRowBits(const TKarnaughLayout& layout, int row) {
  return Bits(Gray(static_cast<uint32_t>(row)), layout.RowBits);
}

std::string KarnaughColumnBits(const TKarnaughLayout& layout, int column) {
  return Bits(Gray(static_cast<uint32_t>(column)), layout.ColumnBits);
}

std::pair<int, int> KarnaughRun(int bits, int shift, uint32_t value, uint32_t mask) {
  const int n = 1 << bits;
  const uint32_t fixed = ~mask & ((uint32_t{1} << bits) - 1) << shift;
  std::vector<bool> in(static_cast<size_t>(n));
  int length = 0;
  for (int i = 0; i < n; ++i) {
    in[static_cast<size_t>(i)] = ((Gray(static_cast<uint32_t>(i)) << shift ^ value) & fixed) == 0;
    length += in[static_cast<size_t>(i)];
  }
  if (length == n) return {0, n};
  for (int i = 0; i < n; ++i)
    if (in[static_cast<size_t>(i)] && !in[static_cast<size_t>((i + n - 1) % n)]) return {i, length};
  return {0, 0};
}

std::vector<TKarnaughPiece> KarnaughPieces(const TKarnaughLayout& layout, uint32_t value, uint32_t mask) {
  std::vector<TKarnaughPiece> pieces;
  const int inMapBits = layout.RowBits + layout.ColumnBits;
  const uint32_t mapFixed = ~mask >> inMapBits & ((1u << layout.MapBits) - 1);
  const auto [rowStart, rowLength] = KarnaughRun(layout.RowBits, layout.ColumnBits, value, mask);
  const auto [columnStart, columnLength] = KarnaughRun(layout.ColumnBits, 0, value, mask);
  for (int map = 0; map < layout.Maps(); ++map) {
    if (((static_cast<uint32_t>(map) ^ (value >> inMapBits)) & mapFixed) != 0) continue;
    // A run that passes the last row or column goes on at the first: the
    // same rectangle shifted back by the map's size draws that part.
    for (const int dr : {0, -layout.Rows()}) {
      if (dr && rowStart + rowLength <= layout.Rows()) continue;
      for (const int dc : {0, -layout.Columns()}) {
        if (dc && columnStart + columnLength <= layout.Columns()) continue;
        pieces.push_back({map, rowStart + dr, columnStart + dc, rowLength, columnLength});
      }
    }
  }
  return pieces;
}

double KarnaughLoopInset(bool prime, int index) { return prime ? 2.0 : 4.0 + (index % 5) * 2.5; }

TKarnaughStroke KarnaughStroke(bool prime, bool shared) {
  if (prime) return {1.5, TKarnaughLine::Dotted};
  return {2.5, shared ? TKarnaughLine::Dashed : TKarnaughLine::Solid};
}

TRgb HsvToRgb(const THsv& hsv) {
  const double h = (hsv.Hue >= 1.0 ? 0.0 : hsv.Hue) * 6.0;
  const int sector = static_cast<int>(std::floor(h));
  const double f = h - sector;
  const double v = hsv.Value, s = hsv.Saturation;
  const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  switch (sector) {
    case 0: return {v, t, p};
    case 1: return {q, v, p};
    case 2: return {p, v, t};
    case 3: return {p, q, v};
    case 4: return {t, p, v};
    default: return {v, p, q};
  }
}

THsv KarnaughLoopColor(uint32_t value, uint32_t mask) {
  uint64_t h = (uint64_t{value & ~mask} << 32 | mask) + 0x9e3779b97f4a7c15ULL;
  h = (h ^ (h >> 30)) * 0xbf58476d1ce4e5b9ULL;
  h = (h ^ (h >> 27)) * 0x94d049bb133111ebULL;
  h ^= h >> 31;
  return {static_cast<double>(h % 360) / 360.0, 0.9, (h >> 20) & 1 ? 0.72 : 0.88};
}

}  // namespace tavro
