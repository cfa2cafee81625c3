// Resource limits at the engine level: a run past its memory limit stops
// with ResourceError (MinimizeFunctions) or TooLarge (RunCommand) wherever
// in the run the limit is reached.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <bit>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <string>

#include "engine/chart/Chart.h"
#include "engine/core/FunctionSystem.h"
#include "engine/io/Pla.h"
#include "engine/io/TermFile.h"
#include "engine/primes/PrimeFinders.h"
#include "engine/run/Minimize.h"
#include "model/Errors.h"
#include "support/RecordingHost.h"
#include "support/Sanitizers.h"
#include "support/TempDir.h"

namespace tavro {
namespace {

// All 2^width minterms: the largest tabulation of that width.
std::vector<TTermVector> FullFunction(int width) {
  TTermVector f;
  for (int32_t t = 0; t < (int32_t{1} << width); ++t) f.Append(t, false);
  return {f};
}

// Runs MinimizeFunctions under the limit; expects ResourceError and returns
// the MiB it says are needed.
uint64_t ExpectResourceError(const std::vector<TTermVector>& functions, int width, uint64_t limitBytes,
                             check::RecordingHost& host) {
  TRunParams limits;
  limits.MaxMemoryBytes = limitBytes;
  limits.PrimeMethod = TPrimeMethod::Pairing;  // the method that makes every implicant
  try {
    MinimizeFunctions(functions, width, &host, nullptr, limits);
    ADD_FAILURE() << "the run finished under a limit of " << limitBytes << " bytes";
  } catch (const ResourceError& e) {
    const auto mib = check::TooLargeMiB(e.what());
    EXPECT_TRUE(mib.has_value()) << e.what();
    return mib.value_or(0);
  }
  return 0;
}

TEST(ResourceLimitTest, ATinyLimitStopsTheRunAtItsStart) {
  check::RecordingHost host;
  const uint64_t mib = ExpectResourceError(FullFunction(4), 4, 1, host);
  EXPECT_GE(mib, 1u);
  EXPECT_EQ(host.Beeps, 0);  // MinimizeFunctions only throws; RunCommand beeps
}

TEST(ResourceLimitTest, TheLimitIsCheckedWhileTheLevelsGrow) {
  // 16 bits, all minterms: the zero cubes fit in 8 MiB, the 1-cubes do not.
  check::RecordingHost host;
  const uint64_t mib = ExpectResourceError(FullFunction(16), 16, 8u << 20, host);
  EXPECT_GT(mib, 8u) << "the message must name more than the limit";
  EXPECT_NE(std::find(host.Statuses.begin(), host.Statuses.end(), "Generating 1 Cubes..."), host.Statuses.end())
      << "expected the stop during the combining, after the zero cubes";
}

TEST(ResourceLimitTest, RunCommandReportsTooLargeWithStatusAndBeep) {
  TFunctionSystem system;
  system.Functions = FullFunction(16);
  system.UpdateInputBits();
  TRunParams limits;
  limits.MaxMemoryBytes = 8u << 20;
  limits.PrimeMethod = TPrimeMethod::Pairing;
  for (int mode : {modeSOP, modePOS}) {
    check::RecordingHost host;
    TOutputOptions options;
    options.PrimeImplicants = true;
    system.Functions[0].Maxterms = mode == modePOS;  // the heavy kind for this mode
    EXPECT_EQ(RunCommand(system, mode, options, host, nullptr, limits), TRunOutcome::TooLarge);
    EXPECT_TRUE(check::TooLargeMiB(host.LastStatus())) << host.LastStatus();
    EXPECT_EQ(host.Beeps, 1);
    EXPECT_EQ(host.Output, "");
    EXPECT_FALSE(system.ResultReady);
  }
}

TEST(ResourceLimitTest, TheSameSystemRunsUnderAGenerousLimit) {
  // The counterpart: the limit, not the system, made the runs above stop.
  TFunctionSystem system;
  system.Functions = FullFunction(10);
  system.UpdateInputBits();
  TRunParams limits;
  limits.MaxMemoryBytes = 256u << 20;
  check::RecordingHost host;
  EXPECT_EQ(RunCommand(system, modeSOP, {}, host, nullptr, limits), TRunOutcome::Completed);
  EXPECT_EQ(host.Output, "Optimized Function(s):\r\nf0 = 1\r\n\r\n");
  check::RecordingHost small;
  limits.MaxMemoryBytes = 1;
  EXPECT_EQ(RunCommand(system, modeSOP, {}, small, nullptr, limits), TRunOutcome::TooLarge);
}

long PeakRssKiB() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Converting the functions to the run's kind is counted before it is done:
// "-16777215 |+ |+ ..." (a few bytes per function) makes each empty maxterm
// function 2^24 minterms, so a 3 KB file of a thousand of them would need
// about 70 GB.
TEST(ResourceLimitTest, TheConversionRespectsTheLimit) {
  TFunctionSystem system;
  system.Functions = ParseTermFileText("-16777215 |+ |+ |+ |+ |+ |+ |+ |+");
  system.UpdateInputBits();
  TRunParams limits;
  limits.MaxMemoryBytes = 64u << 20;
  check::RecordingHost host;
  const long before = PeakRssKiB();
  EXPECT_EQ(RunCommand(system, modeSOP, {}, host, nullptr, limits), TRunOutcome::TooLarge);
  EXPECT_LT(PeakRssKiB() - before, 4 * 64 * 1024) << "KiB beyond the peak before the run";
}

// A "VmRSS:" or "VmHWM:" (peak) figure of this process in KiB, -1 if none.
long StatusKiB(const std::string& name) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(name, 0) == 0) return std::stol(line.substr(name.size()));
  return -1;
}

// The pairing counts a level's two indexes before it makes them, and each
// growth of its index of made cubes before it grows, so that a run it
// refuses never held more than the limit: all 2^20 minterms, whose zero
// cubes fit in 48 MiB and whose 1-cube level (10 million cubes) fits in none
// of these limits.
TEST(ResourceLimitTest, ThePairingStaysWithinTheLimitUpToItsRefusal) {
  const auto functions = FullFunction(20);
  for (const uint64_t mib : {48, 160, 300}) {
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak becomes the present size
    const long start = StatusKiB("VmRSS:");
    if (start < 0 || StatusKiB("VmHWM:") - start > 1024) GTEST_SKIP() << "no peak memory figures here";
    check::RecordingHost host;
    const uint64_t limit = mib << 20;
    EXPECT_GT(ExpectResourceError(functions, 20, limit, host), mib);
    EXPECT_EQ(host.LastStatus(), "Generating 1 Cubes...");
    if (!::check::kAddressSanitizer) {
      EXPECT_LT(StatusKiB("VmHWM:") - start, static_cast<long>(limit / 1024 * 11 / 10)) << mib << " MiB";
    }
  }
}

// A PLA whose rows expand to far more terms than the limit allows is refused
// before they are made, with the memory that all of them would take (as the
// same text read without a limit holds them); and the system is unchanged.
TEST(ResourceLimitTest, APlaPastTheLimitIsRefusedBeforeItsTermsAreMade) {
  check::TempDir dir;
  const std::string texts[] = {
      ".i 16\n.o 96\n" + std::string(16, '-') + " " + std::string(96, '1') + "\n",
      ".i 20\n.o 6\n.type fr\n" + std::string(20, '-') + " 1~1~1~\n1" + std::string(19, '-') + " ~-~0~0\n",
      ".i 22\n.o 3\n.type r\n" + std::string(22, '0') + " 000\n",
  };
  TLoadParams params;
  params.MaxMemoryBytes = 4u << 20;
  // The reader's code, and its refusal's (the unwinder's tables), are paged
  // in first, so that the peak measures what it holds.
  ParsePlaText(".i 3\n.o 1\n1-0 1\n");
  {
    check::WriteFile(dir / "warm.pla", texts[0]);
    TFunctionSystem warm;
    TLoadParams tiny;
    tiny.MaxMemoryBytes = 1;
    EXPECT_THROW(LoadSystemFile(warm, dir / "warm.pla", tiny), ResourceError);
  }
  for (const auto& text : texts) {
    SCOPED_TRACE(text);
    check::WriteFile(dir / "big.pla", text);
    TFunctionSystem system;
    system.Functions = ParseTermFileText("-1, 2 |+3");
    const auto before = system.Functions;
    const long peak = PeakRssKiB();
    std::optional<uint64_t> mib;
    try {
      LoadSystemFile(system, dir / "big.pla", params);
      ADD_FAILURE() << "loaded under a limit of " << params.MaxMemoryBytes << " bytes";
    } catch (const ResourceError& e) {
      mib = check::TooLargeMiB(e.what());
      EXPECT_TRUE(mib) << e.what();
    }
    if (!::check::kAddressSanitizer) {
      EXPECT_LE(PeakRssKiB() - peak, static_cast<long>(params.MaxMemoryBytes / 1024 * 11 / 10));
    }
    EXPECT_EQ(system.Functions, before);
    // Read without a limit, the terms take what the refusal said.
    TLoadParams ample;
    ample.MaxMemoryBytes = uint64_t{1} << 30;
    LoadSystemFile(system, dir / "big.pla", ample);
    const uint64_t needed = TTermVector::BytesFor(static_cast<uint64_t>(system.TotalTerms()));
    EXPECT_GE(mib.value_or(0) << 20, needed);
    EXPECT_LE(mib.value_or(0) << 20, needed + (uint64_t{8} << 20)) << "more than the terms and the work tables";
  }
}

// A term file is held to the limit as it is read: a file larger than the
// limit is refused before it is read, distinct terms past it as they come;
// repeated terms fold, so a long file of few terms loads.
TEST(ResourceLimitTest, ATermFileIsHeldToTheLimitAsItIsRead) {
  check::TempDir dir;
  std::string distinct, repeated;
  for (int32_t t = 0; t < (1 << 20); ++t) distinct += std::to_string(t) + ",";
  for (int32_t t = 0; t < (1 << 20); ++t) repeated += std::to_string(t % 7) + "d,";
  check::WriteFile(dir / "distinct.trm", distinct);
  check::WriteFile(dir / "repeated.trm", repeated);
  TLoadParams small;
  small.MaxMemoryBytes = 12u << 20;
  TFunctionSystem system;
  LoadSystemFile(system, dir / "repeated.trm", small);
  EXPECT_EQ(TermFileText(system.Functions), "-0d, 1d, 2d, 3d, 4d, 5d, 6d");
  EXPECT_THROW(LoadSystemFile(system, dir / "distinct.trm", small), ResourceError);
  // (A sparse file: its size alone is known without reading it.)
  check::WriteFile(dir / "sparse.trm", "");
  std::filesystem::resize_file(dir / "sparse.trm", (uint64_t{256} << 20) + 1);
  try {
    LoadTermFile(system, dir / "sparse.trm", small);
    ADD_FAILURE() << "no error";
  } catch (const ResourceError& e) {
    EXPECT_EQ(check::TooLargeMiB(e.what()), 257u) << "the file's size";
  }
  EXPECT_EQ(TermFileText(system.Functions), "-0d, 1d, 2d, 3d, 4d, 5d, 6d");
  TLoadParams ample;
  ample.MaxMemoryBytes = 64u << 20;
  LoadSystemFile(system, dir / "distinct.trm", ample);
  EXPECT_EQ(system.TotalTerms(), 1 << 20);
}

// The listing of a loaded PLA's terms, which a run does for itself where it
// needs them (here for the pairing), is sized first: rows declaring too many
// terms are refused before the terms are made.
TEST(ResourceLimitTest, ListingALoadedPlaIsSizedFirst) {
  TFunctionSystem system;
  system.Functions.resize(8);
  TCover rows(22, 8);
  const uint64_t all = 0xff;
  rows.Add(0, (1u << 22) - 1, &all);
  system.SourceCubes = std::make_shared<const TCover>(rows);
  system.SourceIdentity = TermsIdentity(system.Functions);
  system.TermsInSource = true;
  system.EmptyIsConstant = true;
  system.MinInputBits = 22;
  system.UpdateInputBits();
  TRunParams limits;
  limits.MaxMemoryBytes = 32u << 20;
  limits.PrimeMethod = TPrimeMethod::Pairing;
  check::RecordingHost host;
  const long peak = PeakRssKiB();
  EXPECT_EQ(RunCommand(system, modeSOP, {}, host, nullptr, limits), TRunOutcome::TooLarge);
  EXPECT_GE(check::TooLargeMiB(host.LastStatus()).value_or(0), TTermVector::BytesFor(uint64_t{8} << 22) >> 20)
      << host.LastStatus();
  EXPECT_LE(PeakRssKiB() - peak, 40 * 1024);
  EXPECT_TRUE(system.TermsInSource);
}

// Random functions: each a random share of the rows, some of them don't
// cares.
std::vector<TTermVector> RandomFunctions(std::mt19937& rng, int width, int count) {
  std::vector<TTermVector> functions(static_cast<size_t>(count));
  for (auto& f : functions)
    for (int32_t t = 0; t < (1 << width); ++t)
      if (rng() % 5 < 2) f.Append(t, rng() % 7 == 0);
  return functions;
}

// Whatever part of the system the cube finder has solved, the primes it
// reports are no more than the system has and cover no more terms; once it
// is done, they are the system's.
TEST(ResourceLimitTest, TheCubeFindersFloorNeverPassesThePrimeList) {
  std::mt19937 rng(17);
  for (int round = 0; round < 40; ++round) {
    const int width = 3 + round % 8;
    const auto functions = RandomFunctions(rng, width, 1 + round % 3);
    std::vector<const TTermVector*> work;
    for (const auto& f : functions) work.push_back(&f);
    detail::MemoryMeter meter(uint64_t{1} << 30);
    TCover primes;
    detail::TPrimeFloor last;
    detail::TCubeFinderParams params;
    params.Floor = [&](const detail::TPrimeFloor& floor) {
      EXPECT_TRUE(floor.Primes >= last.Primes && floor.Covered >= last.Covered);
      last = floor;
    };
    detail::TabulateCubes(work, width, nullptr, nullptr, nullptr, meter, primes, params);
    uint64_t covered = 0;
    for (size_t k = 0; k < primes.Count(); ++k)
      for (int f = 0; f < primes.FunctionCount; ++f) covered += primes.Tag(k, f) ? primes.Size(k) : 0;
    if (primes.Count() <= 1) continue;  // a cover of one cube is its own prime
    EXPECT_EQ(last.Primes, primes.Count()) << "round " << round;
    EXPECT_EQ(last.Covered, covered) << "round " << round;
  }
}

// The cube finder projects its run from the share of the split solved: with
// no time to spare a run hands over at its first look at the clock, and one
// with time to spare gives the primes a run without the projection gives.
TEST(ResourceLimitTest, TheCubeFinderHandsOverOnItsProjection) {
  std::mt19937 rng(23);
  const auto functions = RandomFunctions(rng, 12, 3);
  std::vector<const TTermVector*> work;
  for (const auto& f : functions) work.push_back(&f);
  detail::MemoryMeter meter(uint64_t{1} << 30);
  detail::TCubeFinderParams none, hurried;
  hurried.Budget = 1e9;
  hurried.ProjectFrom = 0;
  hurried.ProjectedMost = 1e-12;
  TCover primes, roomy;
  EXPECT_THROW(detail::TabulateCubes(work, 12, nullptr, nullptr, nullptr, meter, primes, hurried),
               detail::CubeBudgetSpent);
  detail::TCubeFinderParams patient = hurried;
  patient.ProjectedMost = 1e9;
  detail::TabulateCubes(work, 12, nullptr, nullptr, nullptr, meter, roomy, patient);
  primes = TCover();
  detail::TabulateCubes(work, 12, nullptr, nullptr, nullptr, meter, primes, none);
  ASSERT_EQ(roomy.Count(), primes.Count());
  for (size_t k = 0; k < primes.Count(); ++k) {
    EXPECT_EQ(roomy.Pattern(k), primes.Pattern(k)) << k;
    for (int f = 0; f < primes.FunctionCount; ++f) EXPECT_EQ(roomy.Tag(k, f), primes.Tag(k, f)) << k;
  }
}

// Where the chart of one column per pair cannot hold what the primes found
// so far cover, a run of the cube finder is refused before the finder is
// done (before the statuses of its levels), not once the chart is being made.
TEST(ResourceLimitTest, TheCubeFinderRefusesAChartPastTheLimitEarly) {
  // One function of large random cubes: few primes, each covering thousands
  // of terms.
  std::mt19937 rng(29);
  std::set<int32_t> terms;
  for (int c = 0; c < 24; ++c) {
    uint32_t fixed = 0;
    while (std::popcount(fixed) < 3) fixed |= 1u << (rng() % 16);
    const uint32_t value = static_cast<uint32_t>(rng()) & fixed;
    for (uint32_t t = 0; t < (1u << 16); ++t)
      if ((t & fixed) == value) terms.insert(static_cast<int32_t>(t));
  }
  TFunctionSystem system;
  for (const int32_t t : terms) system.Functions[0].Append(t, false);
  system.UpdateInputBits();
  TRunParams params;
  params.PrimeMethod = TPrimeMethod::Cubes;
  params.MaxMemoryBytes = 256u << 20;
  check::RecordingHost done;
  TRunStats stats;
  ASSERT_EQ(RunCommand(system, modeSOP, {}, done, &stats, params), TRunOutcome::Completed);
  const uint64_t chart =
      detail::PairChartBytes(static_cast<uint64_t>(stats.ChartRows), static_cast<uint64_t>(stats.ChartCells),
                             static_cast<uint64_t>(stats.ChartColumns));
  ASSERT_GT(chart, uint64_t{8} << 20) << "the chart must dwarf the finder's own memory";
  params.MaxMemoryBytes = chart / 2;
  check::RecordingHost refused;
  EXPECT_EQ(RunCommand(system, modeSOP, {}, refused, nullptr, params), TRunOutcome::TooLarge);
  EXPECT_EQ(std::count(refused.Statuses.begin(), refused.Statuses.end(), "Generating 1 Cubes..."), 0)
      << refused.LastStatus();
}

}  // namespace
}  // namespace tavro
