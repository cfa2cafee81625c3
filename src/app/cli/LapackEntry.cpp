// The two dense LU routines the linear program solver's factorization
// calls, under the names and calling convention it calls them by (every
// argument by address; a character argument's length passed after the
// rest). Linked into the static command-line tool in place of the
// numerical library, whose runtime's initialisers would cost about a tenth
// of a millisecond at every start.

#include <cstddef>

#include "engine/cover/DenseLu.h"

extern "C" {

void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info) {
  *info = tavro::detail::LuFactor(*m, *n, a, *lda, ipiv);
}

void dgetrs_(const char* trans, const int* n, const int* nrhs, const double* a, const int* lda, const int* ipiv,
             double* b, const int* ldb, int* info, std::size_t /*transLength*/) {
  const char t = *trans;
  if (t != 'N' && t != 'n' && t != 'T' && t != 't' && t != 'C' && t != 'c') {
    *info = -1;
    return;
  }
  *info = tavro::detail::LuSolve(t != 'N' && t != 'n', *n, *nrhs, a, *lda, ipiv, b, *ldb);
}

}  // extern "C"
