#include "engine/run/Minimize.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numeric>
#include <unordered_map>

#include "engine/chart/Chart.h"
#include "engine/core/CubeSets.h"
#include "engine/io/Format.h"
#include "engine/cover/Selection.h"
#include "engine/primes/PrimeFinders.h"
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

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The result list: ascending by ones, the cube chosen last first among equals.
TCover ResultList(const TCover& primes, const std::vector<uint32_t>& chosen) {
  TCover result(primes.Width, primes.FunctionCount);
  result.Reserve(chosen.size());
  for (int ones = 0; ones <= primes.Width; ++ones)
    for (size_t k = chosen.size(); k-- > 0;)
      if (primes.Ones(chosen[k]) == ones)
        result.Add(primes.Value(chosen[k]), primes.Mask(chosen[k]), primes.Tags(chosen[k]));
  return result;
}

struct RunParts {
  TCover Primes;
  TCover Result;
};

bool SplitSuits(const std::vector<const TTermVector*>& functions, int inputBits, uint64_t limit) {
  const uint64_t rows = uint64_t{1} << inputBits;
  const uint64_t tagWords = (functions.size() + 63) / 64;
  uint64_t listed = 0;
  for (const auto* f : functions) listed += static_cast<uint64_t>(f->Count());
  const bool table = listed * 8 >= rows;  // splitting then works on a table of every row
  return !table || rows * tagWords * 16 <= limit / 4;
}

// Covers larger than this are left to the row methods.
constexpr size_t kCubesMaxSource = 1u << 16;
// Seconds of cube work before the tables take over: 1.5 up to 19 inputs,
// doubling with each input past that, as the tables do.
double CubesBudget(int inputBits) { return 1.5 * static_cast<double>(1 << std::max(0, inputBits - 19)); }

// listTerms, where given: the functions' terms are not listed (cubes gives
// them, and counts how many each function lists); it lists them and returns
// the functions then, if a stage needs them.
using ListTerms = std::function<const std::vector<const TTermVector*>&()>;

RunParts Run(const std::vector<const TTermVector*>& givenFunctions, int inputBits, IEngineHost* host,
             TRunStats* stats, const TRunParams& params,
             const std::function<void(const TCover&)>& onPrimes, const TCubeSystem* cubes = nullptr,
             const ListTerms& listTerms = {}, const std::vector<int64_t>& counts = {}) {
  bool termsListed = !listTerms;
  std::vector<const TTermVector*> functions = givenFunctions;
  // Listed terms per function.
  std::vector<int64_t> listed = counts;
  if (termsListed) {
    listed.clear();
    for (const auto* f : functions) listed.push_back(f->Count());
  }
  for (const int64_t n : listed)
    if (n == 0) throw InternalError("a function without terms reached the tabulation");
  if (inputBits < 1 || inputBits > MaxInputBits)
    throw InternalError("the run was given " + std::to_string(inputBits) + " input bits");
  MemoryMeter meter(params.MaxMemoryBytes);
  const TStopScope stopScope(params.Stop);
  RunParts parts;
  auto start = Clock::now();
  const TCover* source = cubes ? cubes->Cubes : nullptr;

  // A table from row to column makes each pair one lookup; classes pay off
  // where that table is large, or where there are many pairs to each prime
  // (so that many share their rows). The minimum cover search merges equal
  // columns first thing, so it takes them merged. pairChart(primes): whether
  // the chart keeps one column per pair for that many primes (or more).
  int64_t pairs = 0;
  for (const int64_t n : listed) pairs += n;
  const auto pairChart = [&](uint64_t primes) {
    const bool pairsSuit =
        inputBits <= 16 || ((static_cast<uint64_t>(functions.size()) * 4 << inputBits) <= (uint64_t{64} << 20) &&
                            static_cast<uint64_t>(pairs) <= 16 * primes);
    return params.ChartForm == TChartForm::Pairs ||
           (params.ChartForm == TChartForm::Automatic && pairsSuit && params.Cost != TCostCriterion::Pla);
  };
  // The cube finder tells how many primes there are at least, and how many
  // terms they cover; where the chart of one column per pair could not hold
  // that much, the run is refused then rather than when the chart is made
  // (without don't cares every term that a prime covers is one of its cells).
  int dontCares = -1;  // whether there are any: not known yet
  const detail::PrimeFloorCheck chartFloor = [&](const detail::TPrimeFloor& floor) {
    if (!pairChart(floor.Primes)) return;
    if (dontCares < 0) {
      dontCares = cubes ? cubes->DontCares && !cubes->DontCares->Empty()
                        : std::any_of(functions.begin(), functions.end(), [](const TTermVector* f) {
                            return std::find(f->DontCares().begin(), f->DontCares().end(), true) !=
                                   f->DontCares().end();
                          });
    }
    meter.Set(detail::PairChartBytes(floor.Primes, dontCares ? 0 : floor.Covered,
                                     dontCares ? 0 : static_cast<uint64_t>(pairs)));
  };
  switch (params.PrimeMethod) {
    case TPrimeMethod::Pairing:
      parts.Primes = detail::TabulateListed(functions, inputBits, host, stats, meter);
      break;
    case TPrimeMethod::Dense:
      if (!detail::TabulateDense(functions, inputBits, host, stats, meter, parts.Primes))
        parts.Primes = detail::TabulateListed(functions, inputBits, host, stats, meter);
      break;
    case TPrimeMethod::Cubes:
      detail::TabulateCubes(functions, inputBits, source, host, stats, meter, parts.Primes, params.Stop, 0,
                            chartFloor);
      break;
    case TPrimeMethod::Automatic:
      if (source && inputBits >= kCubesFromInputs && source->Count() <= kCubesMaxSource) {
        // Covers whose primes overlap in great numbers (shifters) are
        // quicker on tables; the cubes get a budget of work before that.
        try {
          detail::TabulateCubes(functions, inputBits, source, host, stats, meter, parts.Primes, params.Stop,
                                CubesBudget(inputBits), chartFloor);
          break;
        } catch (const detail::CubeBudgetSpent&) {
          // The tables need the terms listed.
          if (!termsListed) {
            functions = listTerms();
            termsListed = true;
          }
        }
      }
      // Splitting a full system works on a table of every row; where that
      // table would take much of the memory allowed, pairing the listed
      // terms costs less.
      if (SplitSuits(functions, inputBits, meter.Limit()))
        detail::TabulateSplit(functions, inputBits, host, stats, meter, parts.Primes);
      else
        parts.Primes = detail::TabulateListed(functions, inputBits, host, stats, meter);
      break;
    case TPrimeMethod::Split:
      detail::TabulateSplit(functions, inputBits, host, stats, meter, parts.Primes);
      break;
  }
  if (stats) stats->SecondsCombine = SecondsSince(start);
  if (params.Verify) VerifyPrimes(functions, parts.Primes);

  start = Clock::now();
  const bool classes = !pairChart(parts.Primes.Count());
  // A system given as cubes is charted from them where it is wide (or the
  // cube prime finder was asked for), without reading its terms; otherwise
  // the chart needs them listed.
  const bool fromCubes =
      classes && cubes && (inputBits >= kCubesFromInputs || params.PrimeMethod == TPrimeMethod::Cubes);
  if (!termsListed && !fromCubes) {
    functions = listTerms();
    termsListed = true;
  }
  TCubeSystem counted;
  if (fromCubes) {
    counted = *cubes;
    counted.Listed = &listed;
  }
  Chart chart(functions, parts.Primes, meter, classes, fromCubes ? &counted : nullptr);
  if (host) host->SetStatus("Creating prime implicant matrix...");
  if (stats) {
    stats->ChartRows = chart.Rows;
    stats->ChartColumns = chart.Pairs;
    stats->ChartCells = chart.Cells;
    stats->SecondsChart = SecondsSince(start);
  }
  if (onPrimes) onPrimes(parts.Primes);

  if (host) host->SetStatus("Finding (secondary) essential prime implicants...");
  start = Clock::now();
  const int functionCount = static_cast<int>(functions.size());
  const auto chosen = params.Cost == TCostCriterion::Pla
                          ? detail::SelectMinimum(chart, parts.Primes, functionCount, params, host, stats)
                          : detail::SelectGreedy(chart, functionCount, params);
  parts.Result = ResultList(parts.Primes, chosen);
  if (stats) {
    stats->Selected = static_cast<int64_t>(parts.Result.Count());
    stats->Literals = 0;
    for (size_t k = 0; k < parts.Result.Count(); ++k)
      stats->Literals += parts.Result.Width - std::popcount(parts.Result.Mask(k));
    if (params.Cost != TCostCriterion::Pla) {
      stats->LowerBound = 0;
      stats->Proven = false;
      stats->LiteralsProven = false;
    }
    stats->SecondsSelect = SecondsSince(start);
  }
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
    out.Add(list.Value(i), list.Mask(i), tags.data());
  }
  return out;
}

// The final status of a "PLA Cost" run: how many products, and whether the
// search proved them the fewest.
std::string MinimumStatus(const TRunStats& s) {
  const std::string products = std::to_string(s.Selected) + (s.Selected == 1 ? " product" : " products");
  if (s.Proven) return "Done. " + products + ", minimum.";
  return "Done. " + products + " (at least " + std::to_string(s.LowerBound) +
         " needed; time limit reached).";
}

std::vector<const TTermVector*> Pointers(const std::vector<TTermVector>& functions) {
  std::vector<const TTermVector*> result;
  for (const auto& f : functions) result.push_back(&f);
  return result;
}

}  // namespace

TMinimizeResult MinimizeFunctions(const std::vector<TTermVector>& functions, int inputBits,
                                  IEngineHost* host, TRunStats* stats, const TRunParams& params,
                                  const TCover* source, const TCover* sourceDontCares) {
  const TCubeSystem cubes{source, sourceDontCares};
  auto parts = Run(Pointers(functions), inputBits, host, stats, params, nullptr, source ? &cubes : nullptr);
  return {std::move(parts.Primes), std::move(parts.Result)};
}

TRunOutcome RunCommand(TFunctionSystem& system, int mode, const TOutputOptions& options,
                       IEngineHost& host, TRunStats* statsOut, const TRunParams& params) {
  const auto start = Clock::now();
  // The final status reads the search's figures, so there always are some.
  TRunStats ownStats;
  TRunStats* const stats = statsOut ? statsOut : &ownStats;
  const int width = system.InputBits;
  if (width == 0) return TRunOutcome::NothingToDo;
  if (width > MaxInputBits) {
    host.SetStatus("Too many input bits: " + std::to_string(width) + " (at most " +
                   std::to_string(MaxInputBits) + ").");
    host.Beep();
    return TRunOutcome::TooWide;
  }

  // A system that keeps its terms in its cubes runs from them where this run
  // can; otherwise its terms are listed first.
  const bool listSource =
      system.TermsInSource &&
      !(mode == modeSOP && !params.Verify && params.ChartForm != TChartForm::Pairs && system.SourceCubes &&
        (params.PrimeMethod == TPrimeMethod::Cubes ||
         (params.PrimeMethod == TPrimeMethod::Automatic && width >= kCubesFromInputs &&
          system.SourceCubes->Count() <= kCubesMaxSource)));

  // Work on the functions in the run's kind; the stored functions are never
  // touched, so converting back restores them exactly. The listed terms and
  // the converted functions (nearly every row each) are sized before they
  // are made.
  const bool wantMaxterms = mode == modePOS;
  const uint64_t limit = params.MaxMemoryBytes ? params.MaxMemoryBytes : DefaultMemoryLimit();
  {
    uint64_t bytes = listSource ? system.SourceTermsBytes() : 0;
    for (const auto& f : system.Functions)
      if (f.Maxterms != wantMaxterms) bytes += TTermVector::BytesFor(uint64_t{1} << width);
    const uint64_t limit = params.MaxMemoryBytes ? params.MaxMemoryBytes : DefaultMemoryLimit();
    if (bytes > limit) {
      host.SetStatus(TooLargeError(bytes).what());
      host.Beep();
      return TRunOutcome::TooLarge;
    }
  }
  try {
    const TStopScope stopScope(params.Stop ? params.Stop : RunStopFlag);
    if (listSource) system.ListSourceTerms();
  } catch (const StoppedError& e) {
    host.SetStatus(e.what());
    return TRunOutcome::Stopped;
  }
  const bool termsListed = !system.TermsInSource;
  std::vector<TTermVector> converted;
  std::vector<const TTermVector*> work;
  converted.reserve(system.Functions.size());
  for (const auto& f : system.Functions)
    if (f.Maxterms != wantMaxterms) converted.push_back(ComplementTerms(f, width));
  size_t next = 0;
  for (const auto& f : system.Functions)
    work.push_back(f.Maxterms != wantMaxterms ? &converted[next++] : &f);
  if (stats) {
    stats->SecondsConvert = SecondsSince(start);
    stats->Inputs = width;
    stats->Outputs = system.FunctionCount();
  }
  std::vector<int64_t> listed;
  for (size_t f = 0; f < work.size(); ++f)
    listed.push_back(termsListed ? work[f]->Count()
                                 : static_cast<int64_t>(ListedCount({system.SourceCubes.get(), nullptr},
                                                                    static_cast<int>(f), width)));
  if (stats) {
    stats->Terms = 0;
    for (const int64_t n : listed) stats->Terms += n;
  }

  // The functions that take part in the run; the others are constants.
  std::vector<size_t> kept;
  for (size_t f = 0; f < work.size(); ++f) {
    if (listed[f] > 0) {
      kept.push_back(f);
    } else if (!params.ConstantEmptyFunctions && !system.EmptyIsConstant) {
      host.SetStatus("Function " + std::to_string(f) + " contains no terms!");
      host.Beep();
      return TRunOutcome::EmptyFunction;
    }
  }
  const int functionCount = static_cast<int>(work.size());
  const bool narrowed = kept.size() < work.size();
  std::vector<const TTermVector*> keptWork;
  for (size_t f : kept) keptWork.push_back(work[f]);

  // Where an empty function is a constant, every function has its line,
  // even when no cube is left to print (a PLA's one output that is 0).
  const bool everyFunction = params.ConstantEmptyFunctions || system.EmptyIsConstant;
  auto format = [&](const TCover& list) {
    if (options.Terms) return FormatCubeTerms(list, everyFunction);
    return mode == modeSOP ? FormatSOP(list, everyFunction) : FormatPOS(list, everyFunction);
  };

  // The loaded file's cubes, while they still describe the functions.
  const TCubeSystem* cubes = nullptr;
  TCubeSystem fileCubes{system.SourceCubes.get(), system.SourceDontCares.get()};
  if (system.SourceCubes && converted.empty() && system.SourceCubes->Width == width &&
      system.SourceCubes->FunctionCount == system.FunctionCount() &&
      (params.PrimeMethod == TPrimeMethod::Cubes ||
       (params.PrimeMethod == TPrimeMethod::Automatic && width >= kCubesFromInputs)) &&
      TermsIdentity(system.Functions) == system.SourceIdentity)
    cubes = &fileCubes;
  TCover narrowSource, narrowDontCares;
  TCubeSystem narrowCubes;
  if (cubes && narrowed) {
    narrowSource = RemapTags(*cubes->Cubes, kept, static_cast<int>(kept.size()), false);
    narrowCubes.Cubes = &narrowSource;
    if (cubes->DontCares) {
      narrowDontCares = RemapTags(*cubes->DontCares, kept, static_cast<int>(kept.size()), false);
      narrowCubes.DontCares = &narrowDontCares;
    }
  }

  RunParts parts;
  try {
    auto showPrimes = [&](const TCover& primes) {
      if (!options.PrimeImplicants) return;
      host.AppendOutput("All Prime Implicants\r\n" +
                        format(narrowed ? RemapTags(primes, kept, functionCount, true) : primes) + "\r\n");
    };
    if (kept.empty()) {
      parts.Primes = parts.Result = TCover(width, functionCount);
      showPrimes(parts.Primes);
    } else {
      // Where the cubes alone do not take the run through, the terms are
      // listed then and the pointers to them made again.
      ListTerms listTerms;
      if (!termsListed)
        listTerms = [&]() -> const std::vector<const TTermVector*>& {
          if (const uint64_t bytes = system.SourceTermsBytes(); bytes > limit) throw TooLargeError(bytes);
          system.ListSourceTerms();
          work.clear();
          for (const auto& f : system.Functions) work.push_back(&f);
          keptWork.clear();
          for (size_t f : kept) keptWork.push_back(work[f]);
          return keptWork;
        };
      std::vector<int64_t> keptListed;
      for (size_t f : kept) keptListed.push_back(listed[f]);
      parts = Run(keptWork, width, &host, stats, params, showPrimes, narrowed && cubes ? &narrowCubes : cubes,
                  listTerms, keptListed);
      if (narrowed) {
        parts.Primes = RemapTags(parts.Primes, kept, functionCount, true);
        parts.Result = RemapTags(parts.Result, kept, functionCount, true);
      }
    }
  } catch (const ResourceError& e) {
    host.SetStatus(e.what());
    host.Beep();
    return TRunOutcome::TooLarge;
  } catch (const StoppedError& e) {
    host.SetStatus(e.what());
    return TRunOutcome::Stopped;
  }

  if (cubes) VerifyCoverCubes(*cubes, functionCount, parts.Result);
  else VerifyCover(work, parts.Result);

  const auto outputStart = Clock::now();
  if (options.OptimizedFunctions)
    host.AppendOutput("Optimized Function(s):\r\n" + format(parts.Result) + "\r\n");
  host.SetStatus(params.Cost == TCostCriterion::Pla ? MinimumStatus(*stats) : std::string("Done."));
  system.ResultCubes = std::make_shared<const TCover>(std::move(parts.Result));
  system.ResultReady = true;
  system.ResultMode = mode;
  if (stats) {
    stats->SecondsOutput = SecondsSince(outputStart);
    stats->SecondsTotal = SecondsSince(start);
  }
  return TRunOutcome::Completed;
}

}  // namespace tavro
