#include "engine/core/RunParams.h"

#include <algorithm>
#include <cstdio>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#endif

namespace tavro {

uint64_t DefaultMemoryLimit() {
  // A run past a few GiB is one whose chart no machine holds comfortably
  // (hours of work and swapping); it is refused unless asked for.
  constexpr uint64_t kMost = uint64_t{4} << 30;
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0)
    return std::min(kMost, static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 2);
#endif
  return kMost;
}

void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
  // A run grows and drops many lists of a few hundred KiB to some MiB. Kept
  // on the heap, and the heap kept once grown, their pages are reused
  // instead of mapped afresh each time (a tenth of a short run went to page
  // faults); blocks of 32 MiB and more are still mapped and given back.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  mallopt(M_TOP_PAD, 16 << 20);
#endif
}

std::string TRunStats::Text() const {
  std::string out;
  for (const auto& [name, value] : Figures()) out += name + ": " + value + '\n';
  return out;
}

std::vector<std::pair<std::string, std::string>> TRunStats::Figures() const {
  std::vector<std::pair<std::string, std::string>> out;
  auto line = [&](const char* name, const std::string& value) { out.emplace_back(name, value); };
  // A negative count was not made (past 24 inputs the terms are not
  // counted: that can take as long as listing them).
  auto number = [](int64_t v) { return v < 0 ? std::string("-") : std::to_string(v); };
  auto seconds = [](double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3f", v);
    return std::string(buffer);
  };
  line("inputs", number(Inputs));
  line("outputs", number(Outputs));
  line("terms", number(Terms));
  line("zero cubes", number(ZeroCubes));
  // The splitting prime finder does not make every implicant, so it has no
  // count of them.
  if (LevelCubes.empty()) {
    line("implicants", "-");
    line("levels", "-");
  } else {
    std::string levels;
    for (size_t k = 0; k < LevelCubes.size(); ++k) levels += (k ? " " : "") + number(LevelCubes[k]);
    line("implicants", number(Implicants));
    line("levels", levels);
  }
  line("primes", number(Primes));
  line("chart", number(ChartRows) + " x " + number(ChartColumns));
  line("chart cells", number(ChartCells));
  line("selected", number(Selected));
  line("products", number(Selected));
  line("literals", number(Literals));
  line("connections", number(Connections));
  line("method", Heuristic ? "heuristic" : "exact");
  line("lower bound", number(LowerBound));
  line("proven", Proven ? "yes" : "no");
  line("literals proven", LiteralsProven ? "yes" : "no");
  line("core", number(CoreRows) + " x " + number(CoreColumns));
  line("search nodes", number(SearchNodes));
  line("hazards", number(Hazards));
  line("seconds convert", seconds(SecondsConvert));
  line("seconds combine", seconds(SecondsCombine));
  line("seconds chart", seconds(SecondsChart));
  line("seconds select", seconds(SecondsSelect));
  line("seconds output", seconds(SecondsOutput));
  line("seconds", seconds(SecondsTotal));
  return out;
}

}  // namespace tavro
