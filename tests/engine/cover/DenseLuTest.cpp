// Our dense LU routines against the numerical library's own, bit for bit:
// the solver's search must not change with the routines it is linked to.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <string>
#include <random>
#include <vector>

#include "engine/cover/DenseLu.h"

namespace tavro::detail {
namespace {

using Factor = void (*)(const int*, const int*, double*, const int*, int*, int*);
using Solve = void (*)(const char*, const int*, const int*, const double*, const int*, const int*, double*,
                       const int*, int*, std::size_t);

// Solver bases: mostly zeros and small integers, some coefficients, some
// columns repeated so that some bases are singular.
std::vector<double> RandomMatrix(std::mt19937& rng, int rows, int cols, int lda) {
  std::vector<double> a(static_cast<size_t>(lda) * cols, 0.0);
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_real_distribution<double> real(-3.0, 3.0);
  const bool singular = rng() % 4 == 0;
  for (int j = 0; j < cols; ++j)
    for (int i = 0; i < rows; ++i) {
      const int k = kind(rng);
      double& x = a[static_cast<size_t>(j) * lda + i];
      x = k < 5 ? 0.0 : k < 7 ? (k == 5 ? 1.0 : -1.0) : k < 8 ? static_cast<double>(rng() % 7) : real(rng);
      if (singular && j > 0 && j % 5 == 0) x = a[static_cast<size_t>(j - 1) * lda + i];
    }
  return a;
}

TEST(DenseLu, FactorsAndSolvesBitForBitAsTheNumericalLibrary) {
  // The reference library, whatever the system's choice of optimized ones;
  // its own products and solves come from the shared BLAS, which must be
  // the reference one too for the bits to agree.
  const std::string dir = TAVRO_LIBRARY_DIR;
  std::error_code error;
  const auto blas = std::filesystem::canonical(dir + "/libblas.so.3", error);
  if (error || blas.parent_path().filename() != "blas") GTEST_SKIP() << "no reference BLAS here";
  void* library = dlopen((dir + "/lapack/liblapack.so.3").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  const auto factor = reinterpret_cast<Factor>(dlsym(library, "dgetrf_"));
  const auto solve = reinterpret_cast<Solve>(dlsym(library, "dgetrs_"));
  ASSERT_TRUE(factor && solve);

  std::mt19937 rng(2026);
  // Sizes on both sides of the library's 64-column panels.
  const int sizes[][2] = {{1, 1}, {2, 2}, {3, 5}, {7, 4}, {17, 17}, {40, 40}, {64, 64},
                          {65, 65}, {90, 70}, {70, 140}, {150, 150}, {200, 130}};
  int singular = 0;
  for (int round = 0; round < 3; ++round)
    for (const auto& size : sizes) {
      const int m = size[0], n = size[1], lda = m + round;
      const std::vector<double> original = RandomMatrix(rng, m, n, lda);
      std::vector<double> ours = original, theirs = original;
      std::vector<int> ourPivots(std::min(m, n)), theirPivots(std::min(m, n));
      int theirInfo = 0;
      const int ourInfo = LuFactor(m, n, ours.data(), lda, ourPivots.data());
      factor(&m, &n, theirs.data(), &lda, theirPivots.data(), &theirInfo);
      SCOPED_TRACE(testing::Message() << m << " x " << n << ", round " << round);
      ASSERT_EQ(ourInfo, theirInfo);
      ASSERT_EQ(ourPivots, theirPivots);
      ASSERT_EQ(std::memcmp(ours.data(), theirs.data(), ours.size() * sizeof(double)), 0);
      if (ourInfo > 0) ++singular;
      if (m != n || ourInfo != 0) continue;
      for (const char trans : {'N', 'T'}) {
        const int nrhs = 1 + round, ldb = n;
        std::vector<double> b = RandomMatrix(rng, n, nrhs, ldb), theirB = b;
        ASSERT_EQ(LuSolve(trans == 'T', n, nrhs, ours.data(), lda, ourPivots.data(), b.data(), ldb), 0);
        solve(&trans, &n, &nrhs, theirs.data(), &lda, theirPivots.data(), theirB.data(), &ldb, &theirInfo, 1);
        ASSERT_EQ(theirInfo, 0);
        EXPECT_EQ(std::memcmp(b.data(), theirB.data(), b.size() * sizeof(double)), 0) << trans;
      }
    }
  EXPECT_GT(singular, 0);
  int m = 2, n = 2, lda = 1;
  EXPECT_EQ(LuFactor(m, n, nullptr, lda, nullptr), -4);
  dlclose(library);
}

}  // namespace
}  // namespace tavro::detail
