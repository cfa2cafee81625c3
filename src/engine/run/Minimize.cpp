#include "engine/run/Minimize.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numeric>
#include <optional>
#include <set>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "engine/chart/Chart.h"
#include "engine/core/CubeSets.h"
#include "engine/core/RunObserver.h"
#include "engine/cover/Selection.h"
#include "engine/heuristic/Heuristic.h"
#include "engine/io/Format.h"
#include "engine/primes/PrimeFinders.h"
#include "engine/run/Route.h"
#include "engine/verify/Verify.h"
#include "model/Errors.h"

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace tavro {

namespace {

using detail::Chart;
using detail::MemoryMeter;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The result list: ascending by ones, the cube chosen last first among equals.
TCover ResultList(const TCover& primes, const std::vector<uint32_t>& chosen) {
  TCover result(primes.Width, primes.FunctionCount);
  result.Reserve(chosen.size());
  for (int ones = 0; ones <= primes.Width; ++ones)
    for (size_t k = chosen.size(); k-- > 0;)
      if (primes.Ones(chosen[k]) == ones) result.AddFrom(primes, chosen[k], primes.Tags(chosen[k]));
  return result;
}

struct RunParts {
  TCover Primes;
  TCover Result;
};

// The functions a run works on, as its stages read them.
struct TRunInput {
  std::vector<const TTermVector*> Functions;
  // How many terms each function lists (counted from the cubes while only
  // they give the terms).
  std::vector<int64_t> Listed;
  // The cubes that give the functions, where the route reads them (else null).
  const TCubeSystem* Cubes = nullptr;
  // Where the route reads none but the cube finder is asked for: cubes that
  // give the functions (don't cares among them), for that finder only. Far
  // fewer than the blocks of listed terms where a file's cubes give the
  // functions' complement.
  const TCover* PrimeCubes = nullptr;
  // Where only the system's cubes give the terms yet: the system, and which
  // of its functions are Functions.
  TFunctionSystem* Unlisted = nullptr;
  std::vector<size_t> Kept;
};

// The step where a stage reads the terms (the tables, a chart of pairs) that
// only the cubes gave so far: the system lists them, sized first, and the
// functions then point at them. Nothing where they are listed.
void ListTerms(TRunInput& in, uint64_t limit) {
  if (!in.Unlisted) return;
  if (const uint64_t bytes = in.Unlisted->SourceTermsBytes(); bytes > limit) throw TooLargeError(bytes);
  in.Unlisted->ListSourceTerms();
  in.Functions.clear();
  for (size_t f : in.Kept) in.Functions.push_back(&in.Unlisted->Functions[f]);
  in.Unlisted = nullptr;
}

void CheckInput(const TRunInput& in, int inputBits) {
  for (const int64_t n : in.Listed)
    if (n == 0) throw InternalError("a function without terms reached the tabulation");
  if (inputBits < 1 || inputBits > (in.Cubes ? kMaxCubeInputs : MaxInputBits))
    throw InternalError("the run was given " + std::to_string(inputBits) + " input bits");
}

// The chart's form. A table from row to column makes each pair one lookup;
// classes pay off where that table is large, or where there are many pairs
// to each prime (so that many share their rows). The minimum cover search
// merges equal columns first thing, so it takes them merged.
class TChartPlan {
 public:
  TChartPlan(const TRunInput& in, int inputBits, const TRunParams& params)
      : FIn(in), FInputBits(inputBits), FParams(params) {
    for (const int64_t n : in.Listed) FPairs += n;
  }

  // Whether the chart keeps one column per pair for that many primes (or
  // more).
  bool PairColumns(uint64_t primes) const {
    if (FInputBits > MaxInputBits) return false;
    const bool pairsSuit =
        FInputBits <= 16 || ((static_cast<uint64_t>(FIn.Functions.size()) * 4 << FInputBits) <= (uint64_t{64} << 20) &&
                             static_cast<uint64_t>(FPairs) <= 16 * primes);
    return FParams.ChartForm == TChartForm::Pairs || FParams.HazardFree ||
           (FParams.ChartForm == TChartForm::Automatic && pairsSuit && FParams.Cost != TCostCriterion::Pla);
  }
  // The chart has a column for every adjacent pair of care terms too.
  bool HazardPairs() const { return FParams.HazardFree; }

  // The cube finder tells how many primes there are at least, and how many
  // terms they cover; where the chart of one column per pair could not hold
  // that much, the run is refused then rather than when the chart is made
  // (without don't cares every term that a prime covers is one of its cells).
  void CheckFloor(const detail::TPrimeFloor& floor, MemoryMeter& meter) {
    if (!PairColumns(floor.Primes)) return;
    if (FDontCares < 0) FDontCares = AnyDontCares();
    meter.Set(detail::PairChartBytes(floor.Primes, FDontCares ? 0 : floor.Covered,
                                     FDontCares ? 0 : static_cast<uint64_t>(FPairs)));
  }

 private:
  bool AnyDontCares() const {
    if (FIn.Cubes) return FIn.Cubes->DontCares && !FIn.Cubes->DontCares->Empty();
    return std::any_of(FIn.Functions.begin(), FIn.Functions.end(), [](const TTermVector* f) {
      return std::find(f->DontCares().begin(), f->DontCares().end(), true) != f->DontCares().end();
    });
  }

  const TRunInput& FIn;
  int FInputBits;
  const TRunParams& FParams;
  int64_t FPairs = 0;
  int FDontCares = -1;  // whether there are any: not known yet
};

// The primes from the tables of rows, which read the listed terms (those
// that suit the system where the cube finder handed over).
void TablePrimes(const std::vector<const TTermVector*>& functions, int inputBits, TPrimeFinder finder,
                 IEngineHost* host, TRunStats* stats, MemoryMeter& meter, TCover& primes, IRunObserver* observer) {
  if (finder == TPrimeFinder::Tables || finder == TPrimeFinder::CubesThenTables || finder == TPrimeFinder::Cubes)
    finder = SplitSuits(functions, inputBits, meter.Limit()) ? TPrimeFinder::Split : TPrimeFinder::Pairing;
  switch (finder) {
    case TPrimeFinder::Dense:
      if (detail::TabulateDense(functions, inputBits, host, stats, meter, primes)) break;
      [[fallthrough]];
    case TPrimeFinder::Pairing:
      primes = detail::TabulateListed(functions, inputBits, host, stats, meter, observer);
      break;
    default: detail::TabulateSplit(functions, inputBits, host, stats, meter, primes); break;
  }
}

// The primes stage: the route's finder. Where the cubes' budget is spent,
// the tables take over with the terms listed.
void FindPrimes(TRunInput& in, int inputBits, const TRunRoute& route, TChartPlan& plan, MemoryMeter& meter,
                IEngineHost* host, TRunStats* stats, const TRunParams& params, TCover& primes) {
  const TPrimeFinder finder = route.Finder;
  // Below the wide world, where the heuristic can take over from the cube
  // finder, the finder and the tables after it have a time budget.
  const uint64_t most = MostPrimes(route, params);
  const TDeadlineScope deadline(most && !route.Wide ? kNarrowPrimesBudget : 0);
  if (finder == TPrimeFinder::Cubes || finder == TPrimeFinder::CubesThenTables) {
    const TCover* source = in.Cubes ? in.Cubes->Cubes : in.PrimeCubes;
    // Past the term-number world no table can take over: once the budget
    // is spent there, the heuristic does. Asked for by name on a system the
    // tables can take, the cube finder hands over to them only where it
    // would take several times their budget: one step of its intersections
    // can run for many minutes where the tables need seconds.
    const bool wideBudget = route.Wide && params.PrimeMethod == TPrimeMethod::Automatic;
    const bool named = finder == TPrimeFinder::Cubes && !route.Wide;
    detail::TCubeFinderParams cubes;
    cubes.Stop = params.Stop;
    cubes.Budget = named                           ? kNamedCubesBudgets * CubesBudget(inputBits)
                   : finder == TPrimeFinder::Cubes ? (wideBudget ? kWideCubesBudget : 0)
                   : most                          ? std::min(CubesBudget(inputBits), kNarrowPrimesBudget)
                                                   : CubesBudget(inputBits);
    cubes.Floor = [&](const detail::TPrimeFloor& floor) {
      if (most && floor.Primes > most) throw detail::CubeBudgetSpent(0, floor.Primes);
      plan.CheckFloor(floor, meter);
    };
    cubes.ProjectedMost = wideBudget ? kWideProjectedBudgets * kWideCubesBudget : 0;
    cubes.Wide = route.Wide;
    // (by name, it keeps the memory it needs where that fits the limit)
    cubes.QuarterSpends = !named;
    // Asked for by name, it is the finder that works (the tables rarely
    // follow), so its status shows at once.
    cubes.StatusFirst = cubes.Budget <= 0 || named;
    try {
      detail::TabulateCubes(in.Functions, inputBits, source, host, stats, meter, primes, cubes);
      return;
    } catch (const detail::CubeBudgetSpent& e) {
      // (past the most primes, the heuristic takes over, not the tables)
      if (route.Wide || e.Primes) throw;
    }
  }
  ListTerms(in, meter.Limit());
  TablePrimes(in.Functions, inputBits, finder, host, stats, meter, primes, params.Observer);
}

// The chart stage: classes or pairs as planned; made from the cubes where
// the route reads them and the chart takes classes, else from the terms
// (listed now where only the cubes gave them).
Chart MakeChart(TRunInput& in, const TCover& primes, const TChartPlan& plan, const TRunRoute& route, MemoryMeter& meter,
                TCubeSystem& counted) {
  const bool classes = !plan.PairColumns(primes.Count());
  const bool fromCubes = classes && route.FromCubes;
  if (!fromCubes) ListTerms(in, meter.Limit());
  if (fromCubes) {
    counted = *in.Cubes;
    counted.Listed = &in.Listed;
  }
  return Chart(in.Functions, primes, meter, classes, fromCubes ? &counted : nullptr, route.Wide, plan.HazardPairs());
}

// The cover stage: the selection the cost criterion asks for, in result list
// order.
TCover SelectCover(Chart& chart, const TCover& primes, int functionCount, IEngineHost* host, TRunStats* stats,
                   const TRunParams& params) {
  const auto chosen = params.Cost == TCostCriterion::Pla
                          ? detail::SelectMinimum(chart, primes, functionCount, params, host, stats)
                          : detail::SelectGreedy(chart, functionCount, params);
  TCover result = ResultList(primes, chosen);
  if (stats) {
    stats->Selected = static_cast<int64_t>(result.Count());
    stats->Literals = 0;
    for (size_t k = 0; k < result.Count(); ++k) stats->Literals += result.Width - result.FreeCount(k);
    if (params.Cost != TCostCriterion::Pla) {
      stats->LowerBound = 0;
      stats->Proven = false;
      stats->LiteralsProven = false;
    }
  }
  return result;
}

// The chart of one column per pair as the observer takes it: the columns'
// (function, term) and, for Remove Hazards, the pairs' after them.
TStepChart StepChart(const TRunInput& in, const Chart& chart, int width, bool hazardPairs) {
  TStepChart told;
  std::vector<std::vector<uint32_t>> care(in.Functions.size());
  for (size_t f = 0; f < in.Functions.size(); ++f) {
    const auto& terms = in.Functions[f]->Terms();
    const auto& flags = in.Functions[f]->DontCares();
    for (size_t i = 0; i < terms.size(); ++i)
      if (!flags[i]) {
        care[f].push_back(static_cast<uint32_t>(terms[i]));
        told.Columns.push_back({static_cast<int>(f), static_cast<uint32_t>(terms[i])});
      }
  }
  // (numbered as the chart numbers them: by function, then term, then bit)
  if (hazardPairs)
    for (size_t f = 0; f < care.size(); ++f)
      for (const uint32_t t : care[f])
        for (int b = 0; b < width; ++b) {
          const uint32_t other = t | uint32_t{1} << b;
          if (other != t && std::binary_search(care[f].begin(), care[f].end(), other))
            told.Columns.push_back({static_cast<int>(f), t, true, other});
        }
  if (told.Columns.size() != static_cast<size_t>(chart.Columns))
    throw InternalError("the chart's columns are not one per pair");
  told.Cells.resize(static_cast<size_t>(chart.Rows));
  for (size_t r = 0; r < told.Cells.size(); ++r) {
    told.Cells[r].assign(chart.RowCols.begin() + static_cast<std::ptrdiff_t>(chart.RowStart[r]),
                         chart.RowCols.begin() + static_cast<std::ptrdiff_t>(chart.RowEnd[r]));
    std::sort(told.Cells[r].begin(), told.Cells[r].end());
  }
  return told;
}

// The run on the functions that take part, by the route: primes, chart,
// cover. onPrimes gets the primes once the chart is made.
RunParts Run(TRunInput& in, int inputBits, const TRunRoute& route, IEngineHost* host, TRunStats* stats,
             const TRunParams& params, const std::function<void(const TCover&)>& onPrimes) {
  CheckInput(in, inputBits);
  MemoryMeter meter(params.MaxMemoryBytes);
  const TStopScope stopScope(params.Stop);
  // Past the term-number world, where the heuristic can take over, the
  // primes and the chart have a time budget.
  const TDeadlineScope deadline(route.Wide && params.PrimeMethod == TPrimeMethod::Automatic ? kWideExactBudget : 0);
  TChartPlan plan(in, inputBits, params);
  RunParts parts;

  auto start = Clock::now();
  FindPrimes(in, inputBits, route, plan, meter, host, stats, params, parts.Primes);
  if (stats) stats->SecondsCombine = SecondsSince(start);
  if (params.Verify && route.Wide) VerifyPrimesCubes(*in.Cubes, parts.Primes);
  else if (params.Verify) VerifyPrimes(in.Functions, parts.Primes);

  start = Clock::now();
  TCubeSystem counted;
  Chart chart = MakeChart(in, parts.Primes, plan, route, meter, counted);
  if (host) host->SetStatus("Creating prime implicant matrix...");
  if (stats) {
    stats->ChartRows = chart.Rows;
    stats->ChartColumns = chart.Pairs;
    stats->ChartCells = chart.Cells;
    stats->SecondsChart = SecondsSince(start);
  }
  if (onPrimes) onPrimes(parts.Primes);
  if (params.Observer && params.Observer->WantsTables())
    params.Observer->Chart(parts.Primes, StepChart(in, chart, inputBits, params.HazardFree));

  if (host) host->SetStatus("Finding (secondary) essential prime implicants...");
  start = Clock::now();
  parts.Result = SelectCover(chart, parts.Primes, static_cast<int>(in.Functions.size()), host, stats, params);
  if (stats) stats->SecondsSelect = SecondsSince(start);
  return parts;
}

// The cover with its tags moved between the full system and the functions
// kept of it: widening, tag k becomes tag kept[k] of count tags; narrowing,
// tag kept[k] becomes tag k.
TCover RemapTags(const TCover& list, const std::vector<size_t>& kept, int count, bool widen) {
  TCover out(list.Width, count);
  out.Reserve(list.Count());
  std::vector<uint64_t> tags(static_cast<size_t>(out.TagWords));
  for (size_t i = 0; i < list.Count(); ++i) {
    std::fill(tags.begin(), tags.end(), 0);
    for (size_t k = 0; k < kept.size(); ++k) {
      const size_t from = widen ? k : kept[k], to = widen ? kept[k] : k;
      if (list.Tag(i, static_cast<int>(from))) tags[to >> 6] |= uint64_t{1} << (to & 63);
    }
    out.AddFrom(list, i, tags.data());
  }
  return out;
}

// The final status of a "PLA Cost" run: how many products, and whether the
// search proved them the fewest.
std::string MinimumStatus(const TRunStats& s, bool hazardFree) {
  const std::string products =
      std::to_string(s.Selected) + (s.Selected == 1 ? " product" : " products") + (hazardFree ? ", hazard-free" : "");
  if (s.Proven) return "Done. " + products + ", minimum.";
  return "Done. " + products + " (at least " + std::to_string(s.LowerBound) + " needed; time limit reached).";
}

// The adjacent pairs of care terms of the functions (in the run's kind) that
// no cube of the cover tagged with their function holds; -1 past the
// term-number world or where the cover's cells are too many to walk.
int64_t CountHazards(const std::vector<const TTermVector*>& functions, const TCover& cover, int width) {
  if (width > MaxInputBits || !cover.Narrow()) return -1;
  uint64_t cells = 0;
  for (size_t k = 0; k < cover.Count(); ++k) cells += cover.Size(k);
  if (cells > (uint64_t{1} << 26)) return -1;
  // Per care term: the inputs some cube of f that holds it leaves free. Up to
  // 2^20 terms a table indexed by the term (reset after each function) is
  // far quicker than hashing; past that, only the care terms are kept.
  constexpr uint32_t NotCare = ~uint32_t{0};
  const bool dense = width <= 20;
  std::vector<uint32_t> table(dense ? size_t{1} << width : 0, NotCare);
  std::unordered_map<uint32_t, uint32_t> map;
  const auto find = [&](uint32_t t) -> uint32_t* {
    if (dense) return table[t] == NotCare ? nullptr : &table[t];
    const auto it = map.find(t);
    return it == map.end() ? nullptr : &it->second;
  };
  int64_t hazards = 0;
  for (size_t f = 0; f < functions.size(); ++f) {
    const TTermVector& function = *functions[f];
    std::vector<uint32_t> care;  // each care term once
    map.clear();
    for (int32_t i = 0; i < function.Count(); ++i) {
      if (function.GetDontCare(i)) continue;
      const auto t = static_cast<uint32_t>(function.GetTerm(i));
      if (dense ? std::exchange(table[t], 0u) == NotCare : map.emplace(t, 0u).second) care.push_back(t);
    }
    for (size_t k = 0; k < cover.Count(); ++k) {
      if (static_cast<int>(f) >= cover.FunctionCount || !cover.Tag(k, static_cast<int>(f))) continue;
      cover.ForEachTerm(k, [&](uint32_t t) {
        if (uint32_t* free = find(t)) *free |= cover.Mask(k);
      });
    }
    // Each pair once, from its lower term: the inputs that term has at 0
    // and no cube holding it leaves free.
    const uint32_t inputs = (uint32_t{1} << width) - 1;
    for (const uint32_t t : care)
      for (uint32_t open = inputs & ~(t | *find(t)); open; open &= open - 1)
        if (find(t | uint32_t{1} << std::countr_zero(open))) ++hazards;
    if (dense)
      for (const uint32_t t : care) table[t] = NotCare;
  }
  return hazards;
}

// The final status of a heuristic run: how many products, and why the
// heuristic made them where it was not asked for.
std::string HeuristicStatus(const TRunStats& s, const std::string& reason) {
  std::string text = "Done. " + std::to_string(s.Selected) + (s.Selected == 1 ? " product" : " products");
  return text + (reason.empty() ? " (heuristic)." : " (heuristic: " + reason + ").");
}

std::vector<const TTermVector*> Pointers(const std::vector<TTermVector>& functions) {
  std::vector<const TTermVector*> result;
  for (const auto& f : functions) result.push_back(&f);
  return result;
}

// One SOP or POS command on the system, step by step.
class TCommand {
 public:
  TCommand(TFunctionSystem& system, int mode, const TOutputOptions& options, IEngineHost& host, TRunStats& stats,
           const TRunParams& params)
      : FSystem(system),
        FMode(mode),
        FOptions(options),
        FHost(host),
        FStats(stats),
        FParams(params),
        FWidth(system.InputBits) {
    // A hazard-free cover is always the minimum cover search's.
    if (FParams.HazardFree) FParams.Cost = TCostCriterion::Pla;
    FollowSteps();
  }

  TRunOutcome Execute() {
    if (const auto refused = CheckWidth()) return *refused;
    if (const auto refused = ChooseCubes()) return *refused;
    FRoute = ChooseRoute(FSource, FParams);
    if (const auto refused = ListTermsFirst()) return *refused;
    Convert();
    CountTerms();
    if (const auto refused = KeepFunctions()) return *refused;
    if (FObserver) FObserver->Begin(StepStart());
    if (FParams.Observer && FObserver->WantsTables()) FParams.ChartForm = TChartForm::Pairs;
    RunParts parts;
    if (const auto refused = Minimize(parts)) return *refused;
    VerifyResult(parts.Result);
    // Counted where the run's functions held their terms from the start (a
    // run that lists them on the way replaces the functions FWork named).
    if (FWorkListed) FStats.Hazards = CountHazards(FWork, parts.Result, FWidth);
    // The heuristic does not find every prime: it keeps none.
    FSystem.ResultPrimes.reset();
    if (FOptions.KeepPrimes && !FStats.Heuristic)
      FSystem.ResultPrimes = std::make_shared<const TCover>(std::move(parts.Primes));
    Output(std::move(parts.Result));
    if (FObserver) FObserver->Finish(FStats, *FSystem.ResultCubes, FHeuristicReason);
    return TRunOutcome::Completed;
  }

 private:
  using TRefusal = std::optional<TRunOutcome>;

  // Where the levels are followed, the run pairs the listed terms level by
  // level (and where the tables are, keeps a column per pair), as the record
  // shows them; only then do the stages tell the observer (FParams.Observer).
  void FollowSteps() {
    FObserver = FParams.Observer;
    FParams.Observer = nullptr;
    if (!FObserver || FWidth > MaxInputBits || FParams.Cost == TCostCriterion::Fast ||
        !FObserver->WantsLevels(StepStart()))
      return;
    FParams.Observer = FObserver;
    FParams.PrimeMethod = TPrimeMethod::Pairing;
  }

  TStepStart StepStart() const {
    TStepStart start;
    start.Inputs = FWidth;
    start.Mode = FMode;
    start.Cost = FParams.Cost;
    start.HazardFree = FParams.HazardFree;
    start.SystemFunctions = FSystem.FunctionCount();
    for (const size_t f : FKept) start.Functions.push_back(static_cast<int>(f));
    return start;
  }

  TRefusal Refuse(TRunOutcome outcome, const std::string& status) {
    FHost.SetStatus(status);
    if (outcome != TRunOutcome::Stopped) FHost.Beep();
    return outcome;
  }

  // Past the term-number world a run reads the system's cubes, which must
  // then give its functions as the run takes them.
  TRefusal CheckWidth() {
    if (FWidth == 0) return TRunOutcome::NothingToDo;
    if (FWidth > MaxInputBits && !(FSystem.SourceCubes && FSystem.TermsInSource))
      return Refuse(TRunOutcome::TooWide, "Too many input bits: " + std::to_string(FWidth) + " (at most " +
                                              std::to_string(MaxInputBits) + ").");
    if (FWidth > MaxInputBits && FParams.HazardFree)
      return Refuse(TRunOutcome::TooWide, "Remove Hazards works on systems of at most " + std::to_string(MaxInputBits) +
                                              " inputs; this one has " + std::to_string(FWidth) + ".");
    return std::nullopt;
  }

  // The cubes the run may read: the file's while they give the functions as
  // the run takes them; past the term-number world, where the run is of the
  // other kind, their complement (with the don't cares kept) instead.
  TRefusal ChooseCubes() {
    FSource = RunSourceOf(FSystem, FMode);
    FCubes = {FSource.Cubes, FSource.Cubes ? FSystem.SourceDontCares.get() : nullptr};
    if (FSource.Cubes || FWidth <= MaxInputBits) return std::nullopt;
    try {
      const TStopScope stopScope(FParams.Stop ? FParams.Stop : RunStopFlag);
      MakeOtherKind();
    } catch (const ResourceError& e) {
      return Refuse(TRunOutcome::TooLarge, e.what());
    } catch (const StoppedError& e) {
      return Refuse(TRunOutcome::Stopped, e.what());
    }
    FSource.Cubes = &FOtherKind;
    FCubes = {&FOtherKind, FSystem.SourceDontCares.get()};
    return std::nullopt;
  }

  // The file's cubes complemented into FOtherKind, each function's with its
  // don't cares, so that they give the functions in the run's kind.
  void MakeOtherKind() {
    FOtherKind = TCover(FWidth, FSystem.FunctionCount());
    std::vector<uint64_t> tags(static_cast<size_t>(FOtherKind.TagWords));
    const TCover* dontCares = FSystem.SourceDontCares.get();
    for (int f = 0; f < FSystem.FunctionCount(); ++f) {
      std::fill(tags.begin(), tags.end(), 0);
      tags[static_cast<size_t>(f) >> 6] |= uint64_t{1} << (f & 63);
      AppendComplement({FSystem.SourceCubes.get()}, f, FWidth, tags.data(), FOtherKind);
      if (dontCares)
        for (size_t k = 0; k < dontCares->Count(); ++k)
          if (dontCares->Tag(k, f)) FOtherKind.AddFrom(*dontCares, k, tags.data());
      if (FOtherKind.Count() * (16 + 16 * FOtherKind.TagWords) > Limit())
        throw TooLargeError(FOtherKind.Count() * (16 + 16 * FOtherKind.TagWords));
    }
  }

  // Whether the file's cubes give every function in the other kind than the
  // run's, so that their complement gives the run's functions.
  bool FileCubesOfTheOtherKind() const {
    const TFunctionSystem& s = FSystem;
    if (!s.SourceCubes || s.SourceCubes->Width != FWidth || s.SourceCubes->FunctionCount != s.FunctionCount())
      return false;
    for (const auto& f : s.Functions)
      if (f.Maxterms == WantMaxterms()) return false;
    return s.TermsInSource || TermsIdentity(s.Functions) == s.SourceIdentity;
  }

  // The listed terms and the converted functions (nearly every row each) are
  // sized before they are made.
  TRefusal ListTermsFirst() {
    const bool listFirst = FRoute.ListTermsFirst;
    uint64_t bytes = listFirst ? FSystem.SourceTermsBytes() : 0;
    for (const auto& f : FSystem.Functions)
      if (f.Maxterms != WantMaxterms() && FWidth <= MaxInputBits) bytes += TTermVector::BytesFor(uint64_t{1} << FWidth);
    if (bytes > Limit()) return Refuse(TRunOutcome::TooLarge, TooLargeError(bytes).what());
    try {
      const TStopScope stopScope(FParams.Stop ? FParams.Stop : RunStopFlag);
      if (listFirst) FSystem.ListSourceTerms();
    } catch (const StoppedError& e) {
      return Refuse(TRunOutcome::Stopped, e.what());
    }
    return std::nullopt;
  }

  // Works on the functions in the run's kind; the stored functions are never
  // touched, so converting back restores them exactly.
  void Convert() {
    FConverted.reserve(FSystem.Functions.size());
    // Past the term-number world the functions hold no terms: their cubes
    // (ChooseCubes) are already of the run's kind.
    const auto converts = [&](const TTermVector& f) { return f.Maxterms != WantMaxterms() && FWidth <= MaxInputBits; };
    for (const auto& f : FSystem.Functions)
      if (converts(f)) FConverted.push_back(ComplementTerms(f, FWidth));
    size_t next = 0;
    for (const auto& f : FSystem.Functions) FWork.push_back(converts(f) ? &FConverted[next++] : &f);
    FWorkListed = FWidth <= MaxInputBits && !FSystem.TermsInSource;
    FStats.SecondsConvert = SecondsSince(FStart);
    FStats.Inputs = FWidth;
    FStats.Outputs = FSystem.FunctionCount();
  }

  // Past the term-number world a function's terms are not counted (a union
  // of cubes can take as long to count as to list): it takes part where it
  // has a cube.
  void CountTerms() {
    if (FWidth > MaxInputBits) {
      for (size_t f = 0; f < FWork.size(); ++f) {
        bool any = false;
        for (size_t k = 0; k < FCubes.Cubes->Count() && !any; ++k) any = FCubes.Cubes->Tag(k, static_cast<int>(f));
        FListed.push_back(any ? 1 : 0);
      }
      FStats.Terms = -1;
      return;
    }
    const bool termsListed = !FSystem.TermsInSource;
    for (size_t f = 0; f < FWork.size(); ++f)
      FListed.push_back(termsListed ? FWork[f]->Count()
                                    : CountFigure(ListedCount({FCubes.Cubes, nullptr}, static_cast<int>(f), FWidth)));
    FStats.Terms = 0;
    for (const int64_t n : FListed) FStats.Terms += n;
  }

  // The functions that take part in the run; the others are constants.
  TRefusal KeepFunctions() {
    for (size_t f = 0; f < FWork.size(); ++f) {
      if (FListed[f] > 0) FKept.push_back(f);
      else if (!EveryFunction())
        return Refuse(TRunOutcome::EmptyFunction, "Function " + std::to_string(f) + " contains no terms!");
    }
    return std::nullopt;
  }

  // The input of the run: the kept functions, and the file's cubes (their
  // tags narrowed to the kept functions) where the route reads them.
  TRunInput RunInput() {
    TRunInput in;
    for (size_t f : FKept) {
      in.Functions.push_back(FWork[f]);
      in.Listed.push_back(FListed[f]);
    }
    if (FSystem.TermsInSource) {
      in.Unlisted = &FSystem;
      in.Kept = FKept;
    }
    if (!FRoute.FromCubes) {
      in.PrimeCubes = PrimeCubes();
      return in;
    }
    FFileCubes = FCubes;
    in.Cubes = &FFileCubes;
    if (!Narrowed()) return in;
    const int kept = static_cast<int>(FKept.size());
    FNarrowSource = RemapTags(*FFileCubes.Cubes, FKept, kept, false);
    FNarrowCubes = {&FNarrowSource, nullptr};
    if (FFileCubes.DontCares) {
      FNarrowDontCares = RemapTags(*FFileCubes.DontCares, FKept, kept, false);
      FNarrowCubes.DontCares = &FNarrowDontCares;
    }
    in.Cubes = &FNarrowCubes;
    return in;
  }

  // For the cube finder on the listed terms of a file's system in the other
  // kind: the file's cubes complemented, where they suit (else null: the
  // finder starts from the terms).
  const TCover* PrimeCubes() {
    if (FRoute.Finder != TPrimeFinder::Cubes) return nullptr;
    const TCover* other = OtherKindCubes();
    if (!other || !Narrowed()) return other;
    FNarrowSource = RemapTags(*other, FKept, static_cast<int>(FKept.size()), false);
    return &FNarrowSource;
  }

  // A file's system in the other kind, up to the term-number world's width:
  // its cubes complemented, made once, where they fit and are fewer than
  // the terms (else null).
  const TCover* OtherKindCubes() {
    if (FWidth > MaxInputBits || !FileCubesOfTheOtherKind()) return nullptr;
    if (!FOtherKindTried) {
      FOtherKindTried = true;
      try {
        MakeOtherKind();
        if (FOtherKind.Count() >= static_cast<uint64_t>(std::max<int64_t>(FStats.Terms, 0))) FOtherKind = TCover();
      } catch (const ResourceError&) {
        FOtherKind = TCover();
      }
    }
    return FOtherKind.Width ? &FOtherKind : nullptr;
  }

  // The run, with the primes shown once the chart is made; its lists are
  // tagged for every function of the system again.
  TRefusal Minimize(RunParts& parts) {
    if (FParams.Cost == TCostCriterion::Fast) {
      auto refusal = Heuristic(parts, "");
      if (!FOffSetTooLarge) return refusal;
      // The functions' complement is too large for the heuristic: the
      // exact run, which does not need it, gives the result.
      FParams.Cost = TCostCriterion::Smallest;
    }
    const int functionCount = static_cast<int>(FWork.size());
    auto showPrimes = [&](const TCover& primes) {
      if (!FOptions.PrimeImplicants) return;
      FHost.AppendOutput("All Prime Implicants\r\n" +
                         Format(Narrowed() ? RemapTags(primes, FKept, functionCount, true) : primes) + "\r\n");
    };
    try {
      if (FKept.empty()) {
        parts.Primes = parts.Result = TCover(FWidth, functionCount);
        // Nothing to cover: the empty cover is the minimum.
        FStats.Proven = FStats.LiteralsProven = true;
        showPrimes(parts.Primes);
        return std::nullopt;
      }
      TRunInput in = RunInput();
      parts = Run(in, FWidth, FRoute, &FHost, &FStats, FParams, showPrimes);
      if (Narrowed()) {
        parts.Primes = RemapTags(parts.Primes, FKept, functionCount, true);
        parts.Result = RemapTags(parts.Result, FKept, functionCount, true);
      }
      // Dropping a product from a function could open a hazard there.
      if (FParams.Cost == TCostCriterion::Pla && !FParams.HazardFree)
        parts.Result = LowerConnectionsWhereTheyFit(std::move(parts.Result));
    } catch (const ResourceError& e) {
      // Where the prime implicants or their chart do not fit, the heuristic
      // gives the result instead, unless a prime finder was asked for.
      if (e.Bytes == 0 || FParams.PrimeMethod != TPrimeMethod::Automatic)
        return Refuse(TRunOutcome::TooLarge, e.what());
      const uint64_t mib = (e.Bytes + (uint64_t{1} << 20) - 1) >> 20;
      return Heuristic(parts, "the exact run needs about " + std::to_string(mib) + " MiB");
    } catch (const detail::CubeBudgetSpent& e) {
      if (e.Bytes) {
        const uint64_t mib = (e.Bytes + (uint64_t{1} << 20) - 1) >> 20;
        return Heuristic(parts, "the prime implicants pass " + std::to_string(mib) + " MiB");
      }
      if (e.Primes)
        return Heuristic(parts, "the prime implicants are more than " + std::to_string(MostPrimes(FRoute, FParams)));
      return Heuristic(parts, "the prime implicants would take more than " +
                                  std::to_string(static_cast<int>(kWideCubesBudget)) + " s");
    } catch (const ExactBudgetSpent&) {
      if (!FRoute.Wide)
        return Heuristic(parts, "the prime implicants would take more than " +
                                    std::to_string(static_cast<int>(kNarrowPrimesBudget)) + " s");
      return Heuristic(parts, "the primes and their chart would take more than " +
                                  std::to_string(static_cast<int>(kWideExactBudget)) + " s");
    } catch (const StoppedError& e) {
      return Refuse(TRunOutcome::Stopped, e.what());
    }
    return std::nullopt;
  }

  // The functions as covers of the run's kind: the file's cubes where the
  // run reads them, else one cube per listed term.
  struct TRunCovers {
    const TCover* Cubes = nullptr;
    const TCover* DontCares = nullptr;
  };
  TRunCovers RunCovers() {
    if (FCubes.Cubes) return {FCubes.Cubes, FCubes.DontCares};
    // A file's system in the other kind: its cubes complemented, which are
    // usually far fewer than the terms (where they are not, the terms).
    if (const TCover* other = OtherKindCubes()) return {other, FSystem.SourceDontCares.get()};
    if (FTermCubes.Width == 0) TermCovers(false);
    return {&FTermCubes, &FTermDontCares};
  }
  // The output-connection step on an exact result; where the don't cares
  // as cubes would pass the memory limit, the result stays as chosen.
  TCover LowerConnectionsWhereTheyFit(TCover result) {
    try {
      return LowerConnections(result, RunDontCares());
    } catch (const ResourceError&) {
      return result;
    }
  }

  // Only the don't cares, as the output-connection step needs.
  const TCover* RunDontCares() {
    if (FCubes.Cubes) return FCubes.DontCares;
    if (FTermDontCares.Width == 0) TermCovers(true);
    return &FTermDontCares;
  }

  // One cube per listed term, tagged for the functions that list it (into
  // FTermCubes) and for those where it is a don't care (FTermDontCares);
  // dontCaresOnly: only the latter. Sized against the limit first.
  void TermCovers(bool dontCaresOnly) {
    const int count = static_cast<int>(FWork.size());
    uint64_t terms = 0;
    for (const TTermVector* f : FWork)
      terms += dontCaresOnly ? static_cast<uint64_t>(std::count(f->DontCares().begin(), f->DontCares().end(), true))
                             : static_cast<uint64_t>(f->Count());
    if (const uint64_t bytes = terms * 32; bytes > Limit()) throw TooLargeError(bytes);
    FTermCubes = TCover(FWidth, count);
    FTermDontCares = TCover(FWidth, count);
    std::vector<std::tuple<int32_t, int, bool>> items;
    for (int f = 0; f < count; ++f)
      for (int32_t k = 0; k < FWork[static_cast<size_t>(f)]->Count(); ++k)
        if (!dontCaresOnly || FWork[static_cast<size_t>(f)]->GetDontCare(k))
          items.emplace_back(FWork[static_cast<size_t>(f)]->GetTerm(k), f,
                             FWork[static_cast<size_t>(f)]->GetDontCare(k));
    std::sort(items.begin(), items.end());
    std::vector<uint64_t> all(static_cast<size_t>(FTermCubes.TagWords)), dc(all.size());
    for (size_t i = 0; i < items.size();) {
      const int32_t term = std::get<0>(items[i]);
      std::fill(all.begin(), all.end(), 0);
      std::fill(dc.begin(), dc.end(), 0);
      bool anyDontCare = false;
      for (; i < items.size() && std::get<0>(items[i]) == term; ++i) {
        const int f = std::get<1>(items[i]);
        all[static_cast<size_t>(f) >> 6] |= uint64_t{1} << (f & 63);
        if (std::get<2>(items[i])) {
          dc[static_cast<size_t>(f) >> 6] |= uint64_t{1} << (f & 63);
          anyDontCare = true;
        }
      }
      if (!dontCaresOnly) FTermCubes.Add(static_cast<uint32_t>(term), 0, all.data());
      if (anyDontCare) FTermDontCares.Add(static_cast<uint32_t>(term), 0, dc.data());
    }
    if (dontCaresOnly) FTermCubes = TCover();
  }

  // Work the search among all primes of a small system may spend on each
  // part of its chart (some 80 ms here), so that whether it proves its
  // cover, and so the result, does not depend on the machine's speed.
  static constexpr int64_t kAllPrimesSearchWork = int64_t{1} << 24;

  // The fewest of the found primes that cover the functions, where the
  // minimum cover search finds fewer products (or literals) than the
  // heuristic's cover within seconds (a search the clock cuts is not used);
  // with work, bounded by that too. The search's figures go to the run's.
  std::optional<TCover> CoverFound(TCover found, double seconds, const TCover& heuristic, int64_t work = 0) {
    FStats.LowerBound = 0;
    FStats.Proven = FStats.LiteralsProven = false;
    if (FKept.empty()) return std::nullopt;
    try {
      detail::SortPrimeList(found);
      TRunInput in = RunInput();
      const int kept = static_cast<int>(FKept.size());
      const TCover rows = Narrowed() ? RemapTags(found, FKept, kept, false) : found;
      TRunParams params = FParams;
      params.Cost = TCostCriterion::Pla;
      params.TimeLimitSeconds = seconds;
      params.CombinatorialSearch = true;
      params.SearchWork = work;
      TChartPlan plan(in, FWidth, params);
      MemoryMeter meter(params.MaxMemoryBytes);
      TCubeSystem counted;
      Chart chart = MakeChart(in, rows, plan, FRoute, meter, counted);
      TRunStats search;
      const auto chosen = detail::SelectMinimum(chart, rows, kept, params, nullptr, &search);
      TCover result = ResultList(rows, chosen);
      if (Narrowed()) result = RemapTags(result, FKept, static_cast<int>(FWork.size()), true);
      FStats.LowerBound = search.LowerBound;
      FStats.SearchNodes += search.SearchNodes;
      // The heuristic's cover is the best of the cubes searched where the
      // search proves it so.
      FStats.Proven = search.Proven && heuristic.Count() == result.Count();
      // Only a search that proved the fewest products is taken, and its
      // literals only where the clock did not cut their search short, so
      // that the result does not hang on the machine's speed.
      if (!search.Proven || (!search.LiteralsProven && search.SearchCut) ||
          std::make_pair(result.Count(), LiteralsOf(result)) >=
              std::make_pair(heuristic.Count(), LiteralsOf(heuristic)))
        return std::nullopt;
      FStats.Proven = true;
      return LowerConnections(result, RunDontCares());
    } catch (const ResourceError&) {
      return std::nullopt;
    }
  }

  // A small system's prime implicants (up to so many inputs and listed terms,
  // and within so much memory) are few and quickly found: the minimum cover
  // search after the heuristic chooses among all of them. Where the run
  // reads a file's cubes, the cube finder gives them at any width, while
  // they stay so few and within the time given.
  static constexpr int kAllPrimesInputs = 16;
  static constexpr int64_t kAllPrimesTerms = 1 << 12;
  static constexpr uint64_t kAllPrimesBytes = uint64_t{64} << 20;
  static constexpr uint64_t kAllPrimesMost = uint64_t{1} << 13;

  bool SmallForTables() const {
    return FWidth <= kAllPrimesInputs && FStats.Terms >= 0 && FStats.Terms <= kAllPrimesTerms;
  }

  // Adds to found (tagged for every function of the system) the prime
  // implicants of a small system that it lacks; false where the system is
  // not small, or the cube finder's primes take longer than seconds.
  bool WithAllPrimesOfASmallSystem(TCover& found, double seconds) {
    const bool tables = SmallForTables();
    if ((!tables && (!FRoute.FromCubes || seconds <= 0)) || FKept.empty()) return false;
    TCover primes;
    try {
      TRunInput in = RunInput();
      MemoryMeter meter(std::min(Limit(), kAllPrimesBytes));
      if (tables) {
        ListTerms(in, Limit());
        TablePrimes(in.Functions, FWidth, TPrimeFinder::Tables, nullptr, nullptr, meter, primes, nullptr);
      } else {
        // At most four times the primes found already: more make a chart
        // whose search takes far longer than the heuristic did.
        const uint64_t most = std::min<uint64_t>(kAllPrimesMost, 4 * found.Count());
        const auto few = [most](const detail::TPrimeFloor& floor) {
          if (floor.Primes > most) throw detail::CubeBudgetSpent();
        };
        detail::TCubeFinderParams cubes;
        cubes.Stop = FParams.Stop;
        cubes.Budget = seconds;
        cubes.Floor = few;
        cubes.Wide = FRoute.Wide;
        detail::TabulateCubes(in.Functions, FWidth, in.Cubes->Cubes, nullptr, nullptr, meter, primes, cubes);
        if (primes.Count() > most) return false;
      }
    } catch (const ResourceError&) {
      return false;
    } catch (const detail::CubeBudgetSpent&) {
      return false;
    } catch (const ExactBudgetSpent&) {
      return false;
    }
    if (Narrowed()) primes = RemapTags(primes, FKept, static_cast<int>(FWork.size()), true);
    const auto key = [](const TCover& c, size_t k) {
      std::vector<uint64_t> v(c.TagWords + (2 * static_cast<size_t>(c.Width) + 63) / 64, 0);
      std::copy(c.Tags(k), c.Tags(k) + c.TagWords, v.begin());
      for (int b = 0; b < c.Width; ++b) {
        const size_t bit = 2 * static_cast<size_t>(b);
        const uint64_t part = c.FreeAt(k, b) ? 3u : c.OneAt(k, b) ? 2u : 1u;
        v[c.TagWords + (bit >> 6)] |= part << (bit & 63);
      }
      return v;
    };
    std::set<std::vector<uint64_t>> seen;
    for (size_t k = 0; k < found.Count(); ++k) seen.insert(key(found, k));
    for (size_t k = 0; k < primes.Count(); ++k)
      if (seen.insert(key(primes, k)).second) found.AddFrom(primes, k, primes.Tags(k));
    return true;
  }

  // Up to so many listed terms the heuristic on a file's system in the other
  // kind is tried from the terms as well as from the complemented cubes.
  static constexpr int64_t kBothStartsTerms = 1 << 16;

  static int64_t LiteralsOf(const TCover& c) {
    int64_t n = 0;
    for (size_t k = 0; k < c.Count(); ++k) n += c.Width - c.FreeCount(k);
    return n;
  }

  // The heuristic's run, asked for (reason empty) or in the exact run's
  // place (reason: why).
  TRefusal Heuristic(RunParts& parts, const std::string& reason) {
    // The heuristic knows nothing of hazards: such a run ends here.
    if (FParams.HazardFree)
      return Refuse(TRunOutcome::TooLarge,
                    "No hazard-free cover: " + (reason.empty() ? std::string("too large") : reason) + ".");
    FHeuristicReason = reason;
    try {
      const TStopScope stopScope(FParams.Stop ? FParams.Stop : RunStopFlag);
      FHost.SetStatus("Minimizing heuristically...");
      const auto start = Clock::now();
      const TRunCovers covers = RunCovers();
      THeuristicParams params;
      params.TimeLimitSeconds = FParams.TimeLimitSeconds;
      params.MaxMemoryBytes = Limit();
      // In the exact run's place, a complement too large is no refusal: the
      // cubes expand within the cover instead. (Asked for, the exact run
      // takes over first.)
      params.WithinCover = !reason.empty();
      THeuristicStats stats;
      THeuristicResult made = MinimizeHeuristic(*covers.Cubes, covers.DontCares, params, &stats);
      // From a file's complemented cubes the iteration can end elsewhere
      // than from the terms; where the terms are few, both are tried and the
      // smaller cover kept.
      if (covers.Cubes == &FOtherKind && FStats.Terms <= kBothStartsTerms && !stats.TimeLimitReached) {
        if (FTermCubes.Width == 0) TermCovers(false);
        THeuristicParams again = params;
        if (FParams.TimeLimitSeconds > 0) again.TimeLimitSeconds = FParams.TimeLimitSeconds - SecondsSince(start);
        THeuristicStats fromTerms;
        if (again.TimeLimitSeconds > 0 || FParams.TimeLimitSeconds <= 0) {
          THeuristicResult other = MinimizeHeuristic(FTermCubes, &FTermDontCares, again, &fromTerms);
          if (!fromTerms.TimeLimitReached && std::make_pair(other.Cover.Count(), LiteralsOf(other.Cover)) <
                                                 std::make_pair(made.Cover.Count(), LiteralsOf(made.Cover))) {
            made = std::move(other);
            stats = fromTerms;
          }
        }
      }
      TCover cover = std::move(made.Cover);
      // Then the fewest of the primes found, by the minimum cover search, for
      // up to twice as long as the heuristic took (or a tenth of a second),
      // within the time limit.
      const double left = FParams.TimeLimitSeconds > 0 ? FParams.TimeLimitSeconds - SecondsSince(start) : 1e9;
      const double spent = SecondsSince(start), guard = std::min(left, std::max(0.1, 2 * spent));
      if (stats.TimeLimitReached)
        FHeuristicReason += FHeuristicReason.empty() ? "time limit reached" : "; time limit reached";
      // (With no primes beyond the cover's there is nothing to choose.)
      const auto foundFrom = Clock::now();
      if (guard > 0 && !stats.TimeLimitReached && made.Found.Count() > cover.Count())
        if (auto fewer = CoverFound(made.Found, guard, cover)) cover = std::move(*fewer);
      // A small system's search then chooses among all its primes as well,
      // where the cube finder gives them in a quarter of the time the
      // heuristic took, and the search among the primes found took less than
      // the heuristic (else the chart of more primes takes far longer: cps).
      const double cubeSeconds = SecondsSince(foundFrom) < spent ? std::min(guard, spent / 4) : 0;
      if (guard > 0 && !stats.TimeLimitReached)
        if (WithAllPrimesOfASmallSystem(made.Found, cubeSeconds))
          if (auto fewer = CoverFound(std::move(made.Found), guard, cover, kAllPrimesSearchWork))
            cover = std::move(*fewer);
      // Ascending by ones, as the exact run lists its result.
      std::vector<size_t> order(cover.Count());
      std::iota(order.begin(), order.end(), size_t{0});
      std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return cover.Ones(a) < cover.Ones(b); });
      parts.Result = TCover(cover.Width, cover.FunctionCount);
      for (const size_t k : order) parts.Result.AddFrom(cover, k, cover.Tags(k));
      parts.Primes = TCover(cover.Width, cover.FunctionCount);
      FStats.Heuristic = true;
      FStats.HeuristicRounds = stats.Rounds;
      FStats.Primes = -1;
      FStats.ChartRows = FStats.ChartColumns = FStats.ChartCells = -1;
      FStats.Selected = static_cast<int64_t>(parts.Result.Count());
      FStats.Literals = 0;
      for (size_t k = 0; k < parts.Result.Count(); ++k)
        FStats.Literals += parts.Result.Width - parts.Result.FreeCount(k);
      FStats.SecondsSelect = SecondsSince(start);
      if (FOptions.PrimeImplicants)
        FHost.AppendOutput("All Prime Implicants\r\n(not listed: the heuristic does not find them all)\r\n\r\n");
    } catch (const ResourceError& e) {
      return Refuse(TRunOutcome::TooLarge, e.what());
    } catch (const OffSetTooLarge& e) {
      if (reason.empty() && FParams.PrimeMethod == TPrimeMethod::Automatic) {
        FOffSetTooLarge = true;
        FHeuristicReason.clear();
        return std::nullopt;
      }
      return Refuse(TRunOutcome::TooLarge, "System too large to minimize (" + reason + "; " + e.what() + ").");
    } catch (const StoppedError& e) {
      return Refuse(TRunOutcome::Stopped, e.what());
    }
    return std::nullopt;
  }

  // Terms kept in the cubes until mid-run are read only where the route
  // reads the cubes, so the cover is checked against those.
  void VerifyResult(const TCover& result) {
    if (FRoute.FromCubes) VerifyCoverCubes(FCubes, FSystem.FunctionCount(), result, FRoute.Wide);
    else VerifyCover(FWork, result);
  }

  void Output(TCover result) {
    const auto outputStart = Clock::now();
    if (FOptions.OptimizedFunctions) FHost.AppendOutput("Optimized Function(s):\r\n" + Format(result) + "\r\n");
    FStats.Connections = Connections(result);
    if (FOffSetTooLarge)
      FHost.SetStatus("Done. " + std::to_string(result.Count()) +
                      " products (exact: the functions' complement is too large for the heuristic).");
    else
      FHost.SetStatus(FStats.Heuristic                      ? HeuristicStatus(FStats, FHeuristicReason)
                      : FParams.Cost == TCostCriterion::Pla ? MinimumStatus(FStats, FParams.HazardFree)
                                                            : std::string("Done."));
    FSystem.ResultCubes = std::make_shared<const TCover>(std::move(result));
    FSystem.ResultReady = true;
    FSystem.ResultMode = FMode;
    FStats.SecondsOutput = SecondsSince(outputStart);
    FStats.SecondsTotal = SecondsSince(FStart);
  }

  // Where an empty function is a constant, every function has its line,
  // even when no cube is left to print (a PLA's one output that is 0).
  bool EveryFunction() const { return FParams.ConstantEmptyFunctions || FSystem.EmptyIsConstant; }
  std::string Format(const TCover& list) const {
    const TSignalNames names = FOptions.SignalNames ? FSystem.Names : TSignalNames{};
    if (FOptions.Terms) return FormatCubeTerms(list, EveryFunction(), names);
    return FMode == modeSOP ? FormatSOP(list, EveryFunction(), names) : FormatPOS(list, EveryFunction(), names);
  }
  bool WantMaxterms() const { return FMode == modePOS; }
  bool Narrowed() const { return FKept.size() < FWork.size(); }
  uint64_t Limit() const { return FParams.MaxMemoryBytes ? FParams.MaxMemoryBytes : DefaultMemoryLimit(); }

  TFunctionSystem& FSystem;
  const int FMode;
  const TOutputOptions& FOptions;
  IEngineHost& FHost;
  TRunStats& FStats;
  TRunParams FParams;  // a copy: the heuristic may hand over to the exact run
  const int FWidth;
  const Clock::time_point FStart = Clock::now();
  TRunSource FSource;
  TCubeSystem FCubes;  // the cubes the run reads (ChooseCubes)
  TCover FOtherKind;   // the file's cubes complemented, where needed
  bool FOtherKindTried = false;
  TRunRoute FRoute;
  std::vector<TTermVector> FConverted;
  std::vector<const TTermVector*> FWork;  // every function in the run's kind
  bool FWorkListed = false;               // and they hold their terms
  std::vector<int64_t> FListed;           // terms of each
  std::vector<size_t> FKept;              // the functions with terms
  TCubeSystem FFileCubes, FNarrowCubes;
  TCover FTermCubes, FTermDontCares;  // the listed terms as cubes (RunCovers)
  bool FOffSetTooLarge = false;       // the heuristic, asked for, handed over to the exact run
  std::string FHeuristicReason;       // why the heuristic made the result, if not asked
  IRunObserver* FObserver = nullptr;  // follows the steps (FParams.Observer: in tables)
  TCover FNarrowSource, FNarrowDontCares;
};

}  // namespace

TMinimizeResult MinimizeFunctions(const std::vector<TTermVector>& functions, int inputBits, IEngineHost* host,
                                  TRunStats* stats, const TRunParams& params, const TCover* source,
                                  const TCover* sourceDontCares) {
  const TCubeSystem cubes{source, sourceDontCares};
  TRunInput in;
  in.Functions = Pointers(functions);
  for (const auto* f : in.Functions) in.Listed.push_back(f->Count());
  const TRunRoute route = ChooseRoute(TRunSource{inputBits, source, false}, params);
  if (route.FromCubes) in.Cubes = &cubes;
  auto parts = Run(in, inputBits, route, host, stats, params, nullptr);
  return {std::move(parts.Primes), std::move(parts.Result)};
}

TRunOutcome RunCommand(TFunctionSystem& system, int mode, const TOutputOptions& options, IEngineHost& host,
                       TRunStats* statsOut, const TRunParams& params) {
  // The final status reads the search's figures, so there always are some.
  TRunStats ownStats;
  return TCommand(system, mode, options, host, statsOut ? *statsOut : ownStats, params).Execute();
}

}  // namespace tavro
