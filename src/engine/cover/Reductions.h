#pragma once
// The reductions of the minimum cover's search, and the rules that decide
// them. They run twice over: on the whole chart before it splits into parts
// (CoverCore, on sorted lists of a large sparse chart) and at every node of
// the branch and bound (on the bit sets of one part). Each keeps some cover
// of the fewest rows with the fewest literals among those:
//
// - Essential rows: a column with one row left takes that row; a column with
//   none left has no cover.
// - Dominated rows: row p goes when another row r covers all its columns
//   with no more literals (RowMayDominate, then a subset test).
// - Dominated columns: column d goes when another column c has all its rows
//   among d's, so that any cover of c covers d (ColumnMayDominate, then a
//   subset test).
//
// Rows (columns) alike would each dominate the other: of those, the lowest
// stays. Both forms take a dominating row from among the rows of p's column
// with fewest rows, which holds every row that could dominate p. A dominated
// column's rival they take from among the columns of d's row with fewest
// columns only: a rival that misses that row is not found, and d stays (a
// column kept costs the search time, not its answer). Columns alike are
// always found.
//
// The two forms share these rules and keep loops of their own: the lists
// keep their counts as they shrink and rule pairs out by a signature before
// the subset test, the bit sets recount between passes and test a subset in
// a few words; one loop over both would slow the search down at every node.

#include <cstddef>
#include <cstdint>

namespace tavro::detail {

// Whether row r, with rCells columns left and rLiterals, may dominate row p:
// it has at least p's columns, no more literals, and of rows alike in both
// only a lower row dominates. The subset test decides.
constexpr bool RowMayDominate(size_t r, int64_t rCells, int rLiterals, size_t p, int64_t pCells, int pLiterals) {
  if (r == p || rCells < pCells || rLiterals > pLiterals) return false;
  return !(rCells == pCells && rLiterals == pLiterals && r > p);
}

// Whether column c, with cCells rows left, may make column d (dCells rows)
// redundant: it has no more rows, and of columns alike only a lower column
// does. The subset test decides.
constexpr bool ColumnMayDominate(size_t c, int64_t cCells, size_t d, int64_t dCells) {
  if (c == d || cCells > dCells) return false;
  return !(cCells == dCells && c > d);
}

}  // namespace tavro::detail
