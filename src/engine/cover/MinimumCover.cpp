// The minimum cover: the fewest chart rows that cover every column, and among
// those the fewest literals. This file drives the stages, each in a file of
// its own:
//
// 1. The chart's cells are copied and reduced in ways that keep some minimum
//    cover (CoverCore, by the rules of Reductions.h): equal columns merged,
//    essential rows taken, dominated columns and dominated rows dropped.
// 2. What is left falls apart into independent parts (rows and columns
//    linked by cells). The better of two greedy covers of a part
//    (GreedyPartCover) starts its search. A part small enough for bit sets
//    goes first to the own branch and bound (BranchAndBound), which settles
//    rows and literals at once; a part it leaves unfinished, or too large
//    for it, is a 0-1 covering program, solved by branch and bound over its
//    linear relaxation (CbcSearch) twice: first for the fewest rows, then,
//    with that many rows, for the fewest literals.
// 3. A search cut short by the time limit is compared with the described
//    selection's cover, and the better one is kept. The limit holds in every
//    stage: the reductions and the greedy covers look at the clock every so
//    much work, and a part goes to the linear program only with time left
//    for its first relaxation; what is cut short leaves the rows chosen so
//    far and each part's greedy cover.
//
// Every choice is taken in a fixed order, so the same chart gives the same
// cover; only a search cut short by the time limit depends on the machine's
// speed.

#include <algorithm>
#include <chrono>
#include <optional>

#include "engine/cover/BranchAndBound.h"
#include "engine/cover/CbcSearch.h"
#include "engine/cover/CoverCore.h"
#include "engine/cover/Selection.h"
#include "model/Errors.h"

namespace tavro::detail {

namespace {

int64_t CountOf(const std::vector<uint8_t>& x) {
  return static_cast<int64_t>(std::count(x.begin(), x.end(), uint8_t{1}));
}

int64_t LiteralsOf(const CoverPart& part, const std::vector<uint8_t>& x) {
  int64_t sum = 0;
  for (size_t r = 0; r < part.Row.size(); ++r)
    if (x[r]) sum += part.Literals[r];
  return sum;
}

// The better of the two greedy covers of the part.
std::vector<uint8_t> StartCover(const CoverPart& part, Watch& watch) {
  std::vector<uint8_t> start = GreedyPartCover(part, false, watch);
  std::vector<uint8_t> other = GreedyPartCover(part, true, watch);
  if (!other.empty() && (CountOf(other) < CountOf(start) ||
                         (CountOf(other) == CountOf(start) && LiteralsOf(part, other) < LiteralsOf(part, start))))
    start = std::move(other);
  return start;
}

// A single column needs a single row: the one with fewest literals.
PartResult SingleColumn(const CoverPart& part) {
  PartResult result;
  size_t best = 0;
  for (size_t r = 1; r < part.Row.size(); ++r)
    if (part.Literals[r] < part.Literals[best]) best = r;
  result.Chosen.assign(part.Row.size(), 0);
  result.Chosen[best] = 1;
  result.LowerBound = 1;
  result.Proven = result.LiteralsProven = true;
  return result;
}

// Parts whose two bit-set tables fit in this many words go to the
// combinatorial search first, with this much work (about 64 cells a unit).
constexpr size_t kBranchWords = size_t{1} << 22;
constexpr int64_t kBranchWork = int64_t{1} << 28;

bool FitsBitSets(const CoverPart& part) {
  const size_t n = part.Row.size(), m = part.ColRows.size();
  return n * ((m + 63) / 64) + m * ((n + 63) / 64) <= kBranchWords;
}

// The combinatorial search of the part from start. True when it settled the
// part (result then holds it); else start becomes its best cover and
// searched its lower bound, for the linear program's search to go on from.
bool BranchFirst(const CoverPart& part, SearchControl& control, std::vector<uint8_t>& start, int64_t& searched,
                 PartResult& result) {
  BranchParams branch;
  branch.WorkBudget = control.Params->SearchWork > 0 ? control.Params->SearchWork : kBranchWork;
  branch.Deadline = control.Deadline;
  branch.StopRequested = [&] { return control.Params->StopRequested(); };
  branch.Progress = [&](int64_t found, int64_t needed) { ShowProgress(control, found, needed); };
  BranchStats figures;
  std::vector<uint8_t> best = BranchAndBound(part, start, branch, figures);
  result.Nodes += figures.Nodes;
  result.Chosen = best;
  control.Cut = control.Cut || figures.TimedOut;
  if (figures.Stopped) {
    control.Stopped = true;
    return true;
  }
  if (figures.Finished) {
    result.LowerBound = CountOf(best);
    result.Proven = result.LiteralsProven = true;
    return true;
  }
  // With the fewest rows proven, the literals it could not settle within
  // its budget stay as it left them: the linear program's search rarely
  // does better there, and takes far longer.
  if (figures.ProductsFinished) {
    result.LowerBound = CountOf(best);
    result.Proven = true;
    return true;
  }
  if (figures.TimedOut) {
    control.TimedOut = true;
    result.LowerBound = std::max(DisjointColumns(part), figures.LowerBound);
    return true;
  }
  searched = figures.LowerBound;
  start = std::move(best);
  return false;
}

// A part small enough for bit sets goes to the combinatorial search first;
// one it leaves unfinished goes on from its best cover in the linear
// program's search (not where the search is bounded by work). (Past the deadline the combinatorial search, which ends
// there by itself, still settles a small part in its first few nodes.)
PartResult SolvePart(const CoverPart& part, SearchControl& control) {
  std::vector<uint8_t> start = StartCover(part, *control.Time);
  if (part.ColRows.size() == 1) return SingleColumn(part);
  PartResult result;
  int64_t searched = 0;  // the combinatorial search's bound, when it ran
  if (control.Params->CombinatorialSearch && FitsBitSets(part) && BranchFirst(part, control, start, searched, result))
    return result;
  if (control.Params->SearchWork > 0) {
    // Bounded by work alone: the best cover found stands, unproven.
    result.Chosen = std::move(start);
    result.LowerBound = std::max(DisjointColumns(part), searched);
    return result;
  }
  ProgramSearch(part, start, searched, control, result);
  return result;
}

// Charts with at least this many rows have the described selection made
// first (a 2.4-million-row chart: 8 s).
constexpr int32_t kDescribedFirstRows = int32_t{1} << 18;

// The search's cover and figures, over all parts.
struct SearchResult {
  std::vector<uint32_t> Found;  // chart rows, ascending
  int64_t LowerBound = 0;
  bool Proven = false, LiteralsProven = false;
  bool Cut = false;  // the clock ended or skipped a search
  int64_t Nodes = 0;
};

// The rows the reductions chose, and each part's search.
SearchResult SolveParts(CoverCore& core, bool reduced, Watch& watch, const TRunParams& params, IEngineHost* host) {
  SearchControl control;
  control.Params = &params;
  control.Host = host;
  control.Time = &watch;
  control.Deadline = watch.Deadline();
  control.SettledProducts = control.SettledBound = static_cast<int64_t>(core.Chosen.size());

  SearchResult search;
  search.Found = core.Chosen;
  search.LowerBound = static_cast<int64_t>(core.Chosen.size());
  search.Proven = search.LiteralsProven = reduced;
  for (const CoverPart& part : SplitParts(core, watch)) {
    const PartResult r = SolvePart(part, control);
    if (control.Stopped) throw StoppedError();
    for (size_t k = 0; k < part.Row.size(); ++k)
      if (r.Chosen[k]) search.Found.push_back(part.Row[k]);
    search.LowerBound += r.LowerBound;
    search.Proven = search.Proven && r.Proven;
    search.LiteralsProven = search.LiteralsProven && r.LiteralsProven;
    search.Nodes += r.Nodes;
    control.SettledProducts += CountOf(r.Chosen);
    control.SettledBound += r.LowerBound;
  }
  std::sort(search.Found.begin(), search.Found.end());
  search.Cut = control.Cut || watch.Passed();
  return search;
}

}  // namespace

std::vector<uint32_t> SelectMinimum(Chart& chart, const TCover& primes, int functionCount, const TRunParams& params,
                                    IEngineHost* host, TRunStats* stats) {
  const auto start = Clock::now();
  Watch watch(params, params.TimeLimitSeconds > 0 ? start + std::chrono::duration_cast<Clock::duration>(
                                                                std::chrono::duration<double>(params.TimeLimitSeconds))
                                                  : Clock::time_point::max());
  CoverCore core(chart, primes);
  // On a chart this large the described selection takes seconds, which a
  // run cut short by the limit would spend past it: it is made first, within
  // the limit. (On smaller charts it is made only when the search does not
  // settle everything.)
  std::optional<std::vector<uint32_t>> described;
  if (chart.Rows >= kDescribedFirstRows) described = SelectGreedy(chart, functionCount, params);
  // Reductions cut short by the deadline leave a chart that the parts'
  // start covers still cover, with the rows chosen so far; the run then
  // reports the limit reached, whatever the parts' searches still settle.
  const bool reduced = core.Reduce(watch);
  if (stats) {
    stats->CoreRows = core.AliveRows;
    stats->CoreColumns = core.AliveCols;
    stats->SearchNodes = 0;
  }
  SearchResult search = SolveParts(core, reduced, watch, params, host);

  // Never worse than the described selection: a search cut short (in
  // products, or in literals by its node budget) is checked against it.
  auto literals = [&](const std::vector<uint32_t>& rows) {
    int64_t sum = 0;
    for (uint32_t r : rows) sum += core.Literals[r];
    return sum;
  };
  std::vector<uint32_t> result = search.Found;
  if (!search.Proven || !search.LiteralsProven) {
    std::vector<uint32_t> greedy = described ? std::move(*described) : SelectGreedy(chart, functionCount, params);
    if (greedy.size() < result.size() || (greedy.size() == result.size() && literals(greedy) < literals(result))) {
      result = std::move(greedy);
      std::sort(result.begin(), result.end());
    }
  }
  if (search.Proven) search.LowerBound = static_cast<int64_t>(result.size());
  if (stats) {
    stats->LowerBound = std::min<int64_t>(search.LowerBound, static_cast<int64_t>(result.size()));
    stats->Proven = search.Proven;
    stats->LiteralsProven = search.Proven && search.LiteralsProven;
    stats->SearchNodes = search.Nodes;
    stats->SearchCut = search.Cut;
  }
  return result;
}

}  // namespace tavro::detail
