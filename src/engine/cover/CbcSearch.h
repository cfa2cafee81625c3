#pragma once
// The minimum cover's search of a part as a 0-1 covering program, solved by
// branch and bound over its linear relaxation (COIN-OR CBC): first for the
// fewest rows, then, with that many rows, for the fewest literals.

#include <chrono>
#include <cstdint>
#include <vector>

#include "engine/core/Host.h"
#include "engine/core/RunParams.h"
#include "engine/cover/CoverPart.h"

namespace tavro::detail {

// Shared by the searches of the parts and the solver's event handlers: when
// to give up, and what to show meanwhile.
struct SearchControl {
  const TRunParams* Params = nullptr;
  IEngineHost* Host = nullptr;
  Watch* Time = nullptr;  // for the stages before the searches
  Clock::time_point Deadline = Clock::time_point::max();
  Clock::time_point NextStatus{};
  bool Stopped = false;
  bool TimedOut = false;
  // Set wherever the clock ended or skipped a search: what was chosen then
  // depends on the machine's speed.
  bool Cut = false;
  // The products settled outside the part being searched, for the status.
  int64_t SettledProducts = 0, SettledBound = 0;
  bool CountingProducts = true;
  double RelaxationSeconds = 0;  // the part's first relaxation's time before it can stop
};

// The status while the fewest products are searched: the best cover's rows
// and the rows proven needed, in the part and outside it.
void ShowProgress(const SearchControl& control, int64_t found, int64_t needed);

// The linear program's search of the part from the cover start (which
// covers it); searched is a lower bound already proven (0 if none). Fills
// result; past the deadline, or too close to it for the part's first
// relaxation, the start cover stands.
void ProgramSearch(const CoverPart& part, const std::vector<uint8_t>& start, int64_t searched, SearchControl& control,
                   PartResult& result);

}  // namespace tavro::detail
