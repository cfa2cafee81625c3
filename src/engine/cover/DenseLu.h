#pragma once

// Dense LU factorization with partial pivoting, and the solves that use it.
//
// The linear program solver's basis factorization calls the two classic
// routines for its dense remainder. These are they, operation for
// operation as the reference implementation performs them (the same
// blocking, recursion and loop order), so the solver's pivots, and with
// them the search, come out bit for bit as with that library. The
// command-line tool links these instead of the library, whose Fortran
// runtime's initialisers cost about a tenth of a millisecond at every start.
//
// Matrices are column-major with leading dimension lda; pivot indices are
// 1-based, as the callers expect.

namespace tavro::detail {

// Factors the m x n matrix a as P L U. Returns 0, -k when argument k is
// invalid, or k > 0 when U(k,k) is exactly zero (the factors are complete).
int LuFactor(int m, int n, double* a, int lda, int* ipiv);

// Solves A X = B (or A^T X = B when transposed) for the n x nrhs matrix b
// in place, from LuFactor's factors of the n x n matrix A. Returns 0 or -k
// when argument k is invalid.
int LuSolve(bool transposed, int n, int nrhs, const double* a, int lda, const int* ipiv, double* b, int ldb);

}  // namespace tavro::detail
