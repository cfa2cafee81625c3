// The linear program's search of a part (COIN-OR CBC): the covering program
// built from the part, the solver's event handlers that hold the time limit
// and Stop and keep the best cover, and the two searches, for the fewest
// rows and then for the fewest literals.

#include "engine/cover/CbcSearch.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <coin/CbcEventHandler.hpp>
#include <coin/CbcModel.hpp>
#include <coin/CbcSolver.hpp>
#include <coin/ClpEventHandler.hpp>
#include <coin/CoinPackedMatrix.hpp>
#include <coin/OsiClpSolverInterface.hpp>

namespace tavro::detail {

void ShowProgress(const SearchControl& control, int64_t found, int64_t needed) {
  if (!control.Host) return;
  control.Host->SetStatus("Searching for the fewest products... " + std::to_string(control.SettledProducts + found) +
                          " found, at least " + std::to_string(control.SettledBound + needed) + " needed");
}

namespace {

// The best cover the solver has reported, each one checked against the part
// before it counts: a solution array read while the solver is being stopped
// need not be one it found.
struct CoverKeeper {
  const CoverPart* Part = nullptr;
  const std::vector<double>* Cost = nullptr;
  int MaxRows = 0;  // when positive, covers with more rows do not count
  std::vector<uint8_t> Best;
  double BestCost = 0;

  void Offer(const double* x, int columns) {
    const size_t n = Part->Row.size();
    if (!x || static_cast<size_t>(columns) != n) return;
    double cost = 0;
    int rows = 0;
    for (size_t r = 0; r < n; ++r)
      if (x[r] > 0.5) {
        cost += (*Cost)[r];
        ++rows;
      }
    if (cost >= BestCost - 0.5 || (MaxRows > 0 && rows > MaxRows)) return;
    for (const auto& col : Part->ColRows)
      if (std::none_of(col.begin(), col.end(), [&](int r) { return x[r] > 0.5; })) return;
    for (size_t r = 0; r < n; ++r) Best[r] = x[r] > 0.5 ? 1 : 0;
    BestCost = cost;
  }
};

class SearchEvents : public CbcEventHandler {
 public:
  SearchEvents(SearchControl* control, CoverKeeper* keeper) : FControl(control), FKeeper(keeper) {}
  CbcEventHandler* clone() const override { return new SearchEvents(*this); }

  CbcAction event(CbcEvent which) override {
    if (model_ && (which == solution || which == heuristicSolution))
      FKeeper->Offer(model_->bestSolution(), model_->getNumCols());
    if (FControl->Params->StopRequested()) {
      FControl->Stopped = true;
      return stop;
    }
    if (which != node && which != solution && which != heuristicSolution) return noAction;
    const auto now = Clock::now();
    if (now >= FControl->Deadline) {
      FControl->TimedOut = FControl->Cut = true;
      return stop;
    }
    if (FControl->Host && FControl->CountingProducts && now >= FControl->NextStatus && model_) {
      FControl->NextStatus = now + std::chrono::milliseconds(250);
      const double best = model_->getObjValue();
      const double bound = model_->getBestPossibleObjValue();
      if (best < 1e20 && bound > -1e20)
        ShowProgress(*FControl, std::llround(best), static_cast<int64_t>(std::ceil(bound - 1e-6)));
      else FControl->Host->SetStatus("Searching for the fewest products...");
    }
    return noAction;
  }

 private:
  SearchControl* FControl;
  CoverKeeper* FKeeper;
};

// The same checks between the linear program's iterations, where the
// solver's heuristics and root can run for seconds without an event of their
// own. A program ended here is no proof: the search's bound is not used.
class ProgramEvents : public ClpEventHandler {
 public:
  ProgramEvents(SearchControl* control, bool* interrupted) : FControl(control), FInterrupted(interrupted) {}
  ClpEventHandler* clone() const override { return new ProgramEvents(*this); }

  int event(Event which) override {
    if (which != endOfIteration) return -1;
    if (FControl->Params->StopRequested()) {
      FControl->Stopped = *FInterrupted = true;
      return 0;
    }
    if ((++FIterations & 63) == 0 && Clock::now() >= FControl->Deadline) {
      FControl->TimedOut = FControl->Cut = *FInterrupted = true;
      return 0;
    }
    return -1;
  }

 private:
  SearchControl* FControl;
  bool* FInterrupted;
  unsigned FIterations = 0;
};

// The solver's heuristics in the search for the fewest rows. Measured: they
// take up to twice as long to prove what it proves, but where the time runs
// out they leave far smaller covers (ex1010: 241 rows against 264).
constexpr const char* kHeuristics = "on";

double Remaining(const SearchControl& control) {
  if (control.Deadline == Clock::time_point::max()) return 1e9;
  return std::max(0.0, std::chrono::duration<double>(control.Deadline - Clock::now()).count());
}

// The linear program's first relaxation of a large part begins with a crash
// and factorizations that neither its time limit nor its events reach. What
// that costs before a stop is answered grows with the cells and, more, with
// the rows and columns; measured (stopped 0.3 s in, on a machine as busy as
// a user's): 12400 rows by 1471 columns with 67248 cells 0.53 s, 7642 by
// 6966 with 382141 cells 1.3 s, 75757 by 7122 with 523639 cells 3.9 s,
// 112694 by 71893 with 371745 cells 6.3 s. A part goes to it only with at
// least that much time left.
double FirstRelaxationSeconds(const CoverPart& part) {
  size_t cells = 0;
  for (const auto& rows : part.ColRows) cells += rows.size();
  return 2e-6 * static_cast<double>(cells + 16 * (part.Row.size() + part.ColRows.size()));
}

// False when the linear program's search is not to start: past the
// deadline, or too close to it.
bool RelaxationFits(SearchControl& control) {
  const bool fits = !control.Time->Check() && Remaining(control) >= control.RelaxationSeconds;
  control.Cut = control.Cut || !fits;
  return fits;
}

// The part as a covering program's matrix, column-ordered: one column per
// part row, one row per part column, and with maxRows a last row that
// counts the part rows taken.
CoinPackedMatrix CoveringMatrix(const CoverPart& part, int maxRows) {
  const int n = static_cast<int>(part.Row.size());
  const int m = static_cast<int>(part.ColRows.size());
  std::vector<std::vector<int>> rowCols(static_cast<size_t>(n));
  for (int c = 0; c < m; ++c)
    for (int r : part.ColRows[static_cast<size_t>(c)]) rowCols[static_cast<size_t>(r)].push_back(c);
  const int extra = maxRows > 0 ? 1 : 0;
  std::vector<int> starts(static_cast<size_t>(n) + 1, 0), indices;
  std::vector<double> elements;
  for (int r = 0; r < n; ++r) {
    for (int c : rowCols[static_cast<size_t>(r)]) {
      indices.push_back(c);
      elements.push_back(1.0);
    }
    if (extra) {
      indices.push_back(m);
      elements.push_back(1.0);
    }
    starts[static_cast<size_t>(r) + 1] = static_cast<int>(indices.size());
  }
  return CoinPackedMatrix(true, m + extra, n, static_cast<CoinBigIndex>(elements.size()), elements.data(),
                          indices.data(), starts.data(), nullptr);
}

// Loads the program of min cost·x, every column covered, at most maxRows
// rows when positive, into solver, and solves its first relaxation; false
// when that did not finish.
bool SolveRelaxation(OsiClpSolverInterface& solver, const CoinPackedMatrix& matrix, const std::vector<double>& cost,
                     int maxRows, SearchControl& control) {
  const int n = matrix.getNumCols(), rows = matrix.getNumRows();
  std::vector<double> colLower(static_cast<size_t>(n), 0.0), colUpper(static_cast<size_t>(n), 1.0);
  std::vector<double> rowLower(static_cast<size_t>(rows), 1.0), rowUpper(static_cast<size_t>(rows), COIN_DBL_MAX);
  if (maxRows > 0) {
    rowLower[static_cast<size_t>(rows - 1)] = -COIN_DBL_MAX;
    rowUpper[static_cast<size_t>(rows - 1)] = maxRows;
  }
  solver.loadProblem(matrix, colLower.data(), colUpper.data(), cost.data(), rowLower.data(), rowUpper.data());
  for (int r = 0; r < n; ++r) solver.setInteger(r);
  // The first relaxation of a large part alone can take long: it is solved
  // here, where the time limit can end it (inside the search it could not).
  solver.getModelPtr()->setMaximumWallSeconds(Remaining(control));
  solver.initialSolve();
  // (A relaxation of a cover always has a solution: only the clock ends it
  // unsolved.)
  control.Cut = control.Cut || !solver.isProvenOptimal();
  return solver.isProvenOptimal();
}

// The search's settings: quiet, one thread, a fixed seed, no gap, within the
// time left; the literal search within a node budget by the part's size.
void ConfigureSearch(CbcModel& model, int maxRows, CoinBigIndex cells, const SearchControl& control) {
  model.setLogLevel(0);
  model.messageHandler()->setLogLevel(0);
  model.solver()->messageHandler()->setLogLevel(0);
  model.setNumberThreads(0);
  model.setRandomSeed(1);
  model.setAllowableGap(1e-6);
  model.setAllowableFractionGap(0.0);
  model.setAllowablePercentageGap(0.0);
  // Costs are integers, so a better cover is better by at least one.
  model.setCutoffIncrement(0.999);
  model.setUseElapsedTime(true);
  model.setMaximumSeconds(Remaining(control));
  // The literal search gets a node budget by the part's size, not time, so
  // its answer does not depend on the machine's speed.
  if (maxRows > 0) model.setMaximumNodes(std::clamp(static_cast<int>(300000 / (cells + 1)), 10, 1000));
}

void RunSearch(CbcModel& model, int maxRows, const SearchControl& control) {
  if (maxRows > 0) {
    // The literals, a short search: strong branching and cut generators
    // cost more per node than they save here.
    model.setNumberStrong(0);
    model.branchAndBound();
    return;
  }
  // The fewest rows, through the solver's own driver as its command line
  // runs it, with strong branching and pseudo-costs. Measured on the hard
  // benchmark charts, this proves ten times faster than a plain search
  // (ex5 40 s to 6 s, max1024 48 s to 5 s). Preprocessing and cut
  // generators are left off: the chart's reductions did that work, and
  // the columns must stay the part's rows.
  CbcSolverUsefulData data;
  CbcMain0(model, data);
  const std::string seconds = std::to_string(std::max(0.01, Remaining(control)));
  const char* argv[] = {"tavro", "-log", "0",           "-sec",      seconds.c_str(), "-preprocess", "off",
                        "-cuts", "off",  "-heuristics", kHeuristics, "-solve",        "-quit"};
  CbcMain1(
      static_cast<int>(std::size(argv)), argv, model, [](CbcModel*, int) { return 0; }, data);
}

struct ProgramResult {
  std::vector<uint8_t> Best;
  bool Finished = false;  // the search finished: Best is proven
  // Unless finished, a lower bound on the cost; -COIN_DBL_MAX when the
  // first relaxation did not finish.
  double Bound = 0;
  int64_t Nodes = 0;
};

// Solves min cost·x over the part's covering rows, with an optional bound on
// the number of rows, starting from the cover start.
ProgramResult SolveProgram(const CoverPart& part, const std::vector<double>& cost, int maxRows,
                           const std::vector<uint8_t>& start, SearchControl& control) {
  const int n = static_cast<int>(part.Row.size());
  const CoinPackedMatrix matrix = CoveringMatrix(part, maxRows);
  OsiClpSolverInterface solver;
  solver.messageHandler()->setLogLevel(0);
  bool interrupted = false;
  ProgramEvents programEvents(&control, &interrupted);
  solver.getModelPtr()->passInEventHandler(&programEvents);
  ProgramResult result;
  if (!SolveRelaxation(solver, matrix, cost, maxRows, control)) {
    result.Best = start;
    result.Bound = -COIN_DBL_MAX;
    return result;
  }
  const double relaxed = solver.getObjValue();

  CbcModel model(solver);
  ConfigureSearch(model, maxRows, matrix.getNumElements(), control);
  std::vector<double> startValues(static_cast<size_t>(n));
  double startCost = 0;
  for (int r = 0; r < n; ++r) {
    startValues[static_cast<size_t>(r)] = start[static_cast<size_t>(r)] ? 1.0 : 0.0;
    if (start[static_cast<size_t>(r)]) startCost += cost[static_cast<size_t>(r)];
  }
  CoverKeeper keeper{&part, &cost, maxRows, start, startCost};
  SearchEvents events(&control, &keeper);
  model.passInEventHandler(&events);
  model.setBestSolution(startValues.data(), n, startCost, true);
  RunSearch(model, maxRows, control);
  control.Cut = control.Cut || model.isSecondsLimitReached();
  result.Nodes = model.getNodeCount();
  keeper.Offer(model.bestSolution(), model.getNumCols());
  result.Best = keeper.Best;
  result.Finished = !control.Stopped && !control.TimedOut && (model.isProvenOptimal() || model.isProvenInfeasible()) &&
                    !model.isSecondsLimitReached() && !model.isNodeLimitReached() &&
                    keeper.BestCost <= model.getObjValue() + 0.5;
  // The search's own bound where it is one (below the best cover), else
  // the first relaxation's: a search stopped early can report anything.
  const double searched = model.getBestPossibleObjValue();
  result.Bound = result.Finished                                                          ? 0
                 : !interrupted && searched > relaxed && searched < keeper.BestCost - 0.5 ? searched
                                                                                          : relaxed;
  return result;
}

// With the fewest rows proven (fewest is such a cover), the fewest literals
// among covers of that many rows: the linear program's search, within its
// node budget.
void LiteralSearch(const CoverPart& part, const std::vector<uint8_t>& fewest, SearchControl& control,
                   PartResult& result) {
  const size_t n = part.Row.size();
  const auto rows = static_cast<int64_t>(std::count(fewest.begin(), fewest.end(), uint8_t{1}));
  auto literals = [&](const std::vector<uint8_t>& x) {
    int64_t sum = 0;
    for (size_t r = 0; r < n; ++r)
      if (x[r]) sum += part.Literals[r];
    return sum;
  };
  result.Chosen = fewest;
  result.Proven = true;
  result.LowerBound = rows;
  // Rows of one literal count leave nothing to choose between covers.
  result.LiteralsProven =
      std::all_of(part.Literals.begin(), part.Literals.end(), [&](int l) { return l == part.Literals[0]; });
  if (result.LiteralsProven) return;
  std::vector<double> lits(n);
  for (size_t r = 0; r < n; ++r) lits[r] = part.Literals[r];
  if (!RelaxationFits(control)) return;
  control.CountingProducts = false;
  const ProgramResult cheapest = SolveProgram(part, lits, static_cast<int>(rows), fewest, control);
  result.Nodes += cheapest.Nodes;
  result.LiteralsProven = cheapest.Finished;
  if (std::count(cheapest.Best.begin(), cheapest.Best.end(), uint8_t{1}) == rows &&
      literals(cheapest.Best) < literals(fewest))
    result.Chosen = cheapest.Best;
}

}  // namespace

void ProgramSearch(const CoverPart& part, const std::vector<uint8_t>& start, int64_t searched, SearchControl& control,
                   PartResult& result) {
  control.RelaxationSeconds = FirstRelaxationSeconds(part);
  if (!RelaxationFits(control)) {
    result.Chosen = start;
    result.LowerBound = std::max(DisjointColumns(part), searched);
    return;
  }
  // First the fewest rows.
  const std::vector<double> unit(part.Row.size(), 1.0);
  control.CountingProducts = true;
  const ProgramResult fewest = SolveProgram(part, unit, 0, start, control);
  result.Nodes += fewest.Nodes;
  result.Chosen = fewest.Best;
  result.Proven = fewest.Finished;
  // (A relaxation that did not finish leaves no bound: -COIN_DBL_MAX.)
  const double bound = fewest.Bound;
  result.LowerBound = fewest.Finished
                          ? static_cast<int64_t>(std::count(fewest.Best.begin(), fewest.Best.end(), uint8_t{1}))
                      : bound < -1e18 ? DisjointColumns(part)
                                      : std::max(DisjointColumns(part), static_cast<int64_t>(std::ceil(bound - 1e-6)));
  if (control.Stopped || !fewest.Finished) return;
  LiteralSearch(part, fewest.Best, control, result);
}

}  // namespace tavro::detail
