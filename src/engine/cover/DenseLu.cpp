#include "engine/cover/DenseLu.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <utility>

// Every product and sum here must round as the reference's do: no fused
// multiply-adds.
#pragma GCC optimize("fp-contract=off")

namespace tavro::detail {

namespace {

// The reference factors panels of this many columns.
constexpr int kBlock = 64;

struct Matrix {
  double* Data;
  int Lead;
  double& operator()(int i, int j) const { return Data[i + static_cast<std::ptrdiff_t>(j) * Lead]; }
  Matrix Sub(int i, int j) const { return {&(*this)(i, j), Lead}; }
};

// Interchanges rows k1..k2 (0-based, inclusive) of n columns with the rows
// their 1-based pivots name: in order, or in reverse order to undo them.
void SwapRows(int n, Matrix a, int k1, int k2, const int* ipiv, bool reverse) {
  if (n <= 0) return;
  auto swap = [&](int i) {
    const int p = ipiv[i] - 1;
    if (p != i)
      for (int j = 0; j < n; ++j) std::swap(a(i, j), a(p, j));
  };
  if (!reverse)
    for (int i = k1; i <= k2; ++i) swap(i);
  else
    for (int i = k2; i >= k1; --i) swap(i);
}

// B := L^-1 B, L the m x m unit lower triangle of a.
void SolveLowerUnit(int m, int n, Matrix a, Matrix b) {
  for (int j = 0; j < n; ++j)
    for (int k = 0; k < m; ++k)
      if (b(k, j) != 0.0) {
        const double t = b(k, j);
        for (int i = k + 1; i < m; ++i) b(i, j) = b(i, j) - t * a(i, k);
      }
}

// B := U^-1 B, U the m x m upper triangle of a.
void SolveUpper(int m, int n, Matrix a, Matrix b) {
  for (int j = 0; j < n; ++j)
    for (int k = m - 1; k >= 0; --k)
      if (b(k, j) != 0.0) {
        b(k, j) = b(k, j) / a(k, k);
        const double t = b(k, j);
        for (int i = 0; i < k; ++i) b(i, j) = b(i, j) - t * a(i, k);
      }
}

// B := U^-T B.
void SolveUpperTransposed(int m, int n, Matrix a, Matrix b) {
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < m; ++i) {
      double t = b(i, j);
      for (int k = 0; k < i; ++k) t = t - a(k, i) * b(k, j);
      b(i, j) = t / a(i, i);
    }
}

// B := L^-T B, L unit lower.
void SolveLowerUnitTransposed(int m, int n, Matrix a, Matrix b) {
  for (int j = 0; j < n; ++j)
    for (int i = m - 1; i >= 0; --i) {
      double t = b(i, j);
      for (int k = i + 1; k < m; ++k) t = t - a(k, i) * b(k, j);
      b(i, j) = t;
    }
}

// C := C - A B, A m x k, B k x n.
void SubtractProduct(int m, int n, int k, Matrix a, Matrix b, Matrix c) {
  for (int j = 0; j < n; ++j)
    for (int l = 0; l < k; ++l) {
      const double t = -b(l, j);
      double* col = &c(0, j);
      const double* from = &a(0, l);
      for (int i = 0; i < m; ++i) col[i] = col[i] + t * from[i];
    }
}

// The recursive factorization of an m x n panel: the left half, then the
// right half updated by it.
int FactorRecursive(int m, int n, Matrix a, int* ipiv) {
  if (m == 0 || n == 0) return 0;
  if (m == 1) {
    ipiv[0] = 1;
    return a(0, 0) == 0.0 ? 1 : 0;
  }
  if (n == 1) {
    int p = 0;
    double largest = std::fabs(a(0, 0));
    for (int i = 1; i < m; ++i)
      if (std::fabs(a(i, 0)) > largest) {
        p = i;
        largest = std::fabs(a(i, 0));
      }
    ipiv[0] = p + 1;
    if (a(p, 0) == 0.0) return 1;
    if (p != 0) std::swap(a(0, 0), a(p, 0));
    if (std::fabs(a(0, 0)) >= DBL_MIN) {
      const double scale = 1.0 / a(0, 0);
      for (int i = 1; i < m; ++i) a(i, 0) = scale * a(i, 0);
    } else {
      for (int i = 1; i < m; ++i) a(i, 0) = a(i, 0) / a(0, 0);
    }
    return 0;
  }
  const int n1 = std::min(m, n) / 2;
  const int n2 = n - n1;
  int info = FactorRecursive(m, n1, a, ipiv);
  SwapRows(n2, a.Sub(0, n1), 0, n1 - 1, ipiv, false);
  SolveLowerUnit(n1, n2, a, a.Sub(0, n1));
  SubtractProduct(m - n1, n2, n1, a.Sub(n1, 0), a.Sub(0, n1), a.Sub(n1, n1));
  const int right = FactorRecursive(m - n1, n2, a.Sub(n1, n1), ipiv + n1);
  if (info == 0 && right > 0) info = right + n1;
  for (int i = n1; i < std::min(m, n); ++i) ipiv[i] += n1;
  SwapRows(n1, a, n1, std::min(m, n) - 1, ipiv, false);
  return info;
}

}  // namespace

int LuFactor(int m, int n, double* data, int lda, int* ipiv) {
  if (m < 0) return -1;
  if (n < 0) return -2;
  if (lda < std::max(1, m)) return -4;
  const Matrix a{data, lda};
  const int k = std::min(m, n);
  if (k == 0) return 0;
  if (kBlock >= k) return FactorRecursive(m, n, a, ipiv);
  int info = 0;
  for (int j = 0; j < k; j += kBlock) {
    const int jb = std::min(k - j, kBlock);
    const int panel = FactorRecursive(m - j, jb, a.Sub(j, j), ipiv + j);
    if (info == 0 && panel > 0) info = panel + j;
    for (int i = j; i < std::min(m, j + jb); ++i) ipiv[i] += j;
    SwapRows(j, a, j, j + jb - 1, ipiv, false);
    if (j + jb < n) {
      SwapRows(n - j - jb, a.Sub(0, j + jb), j, j + jb - 1, ipiv, false);
      SolveLowerUnit(jb, n - j - jb, a.Sub(j, j), a.Sub(j, j + jb));
      if (j + jb < m)
        SubtractProduct(m - j - jb, n - j - jb, jb, a.Sub(j + jb, j), a.Sub(j, j + jb), a.Sub(j + jb, j + jb));
    }
  }
  return info;
}

int LuSolve(bool transposed, int n, int nrhs, const double* data, int lda, const int* ipiv, double* rhs, int ldb) {
  if (n < 0) return -2;
  if (nrhs < 0) return -3;
  if (lda < std::max(1, n)) return -5;
  if (ldb < std::max(1, n)) return -8;
  if (n == 0 || nrhs == 0) return 0;
  const Matrix a{const_cast<double*>(data), lda};
  const Matrix b{rhs, ldb};
  if (!transposed) {
    SwapRows(nrhs, b, 0, n - 1, ipiv, false);
    SolveLowerUnit(n, nrhs, a, b);
    SolveUpper(n, nrhs, a, b);
  } else {
    SolveUpperTransposed(n, nrhs, a, b);
    SolveLowerUnitTransposed(n, nrhs, a, b);
    SwapRows(nrhs, b, 0, n - 1, ipiv, true);
  }
  return 0;
}

}  // namespace tavro::detail
