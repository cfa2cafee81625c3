// Resource limits at the engine level: a run past its memory limit stops
// with ResourceError (MinimizeFunctions) or TooLarge (RunCommand) wherever
// in the run the limit is reached.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "engine/FunctionSystem.h"
#include "engine/Minimize.h"
#include "engine/TermFile.h"
#include "model/Errors.h"
#include "support/RecordingHost.h"

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
uint64_t ExpectResourceError(const std::vector<TTermVector>& functions, int width,
                             uint64_t limitBytes, check::RecordingHost& host) {
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
  EXPECT_NE(std::find(host.Statuses.begin(), host.Statuses.end(), "Generating 1 Cubes..."),
            host.Statuses.end())
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

// The pairing counts a level's two indexes before it makes them, so that a
// run it refuses never held more than the limit: all 2^20 minterms, whose
// zero cubes fit in 48 MiB and whose 1-cube level does not.
TEST(ResourceLimitTest, ThePairingStaysWithinTheLimitUpToItsRefusal) {
  const auto functions = FullFunction(20);
  std::ofstream("/proc/self/clear_refs") << "5";  // the peak becomes the present size
  const long start = StatusKiB("VmRSS:");
  if (start < 0 || StatusKiB("VmHWM:") - start > 1024) GTEST_SKIP() << "no peak memory figures here";
  check::RecordingHost host;
  constexpr uint64_t kLimit = uint64_t{48} << 20;
  EXPECT_GT(ExpectResourceError(functions, 20, kLimit, host), 48u);
  EXPECT_EQ(host.LastStatus(), "Generating 1 Cubes...");
  EXPECT_LT(StatusKiB("VmHWM:") - start, static_cast<long>(kLimit / 1024 * 11 / 10));
}

}  // namespace
}  // namespace tavro
