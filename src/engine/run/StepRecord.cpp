#include "engine/run/StepRecord.h"

namespace tavro {

namespace {

std::string Grouped(int64_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace

bool TStepRecorder::WantsLevels(const TStepStart& start) const {
  return start.Inputs <= kStepsMaxLevelInputs && start.Cost != TCostCriterion::Fast;
}

void TStepRecorder::Begin(const TStepStart& start) {
  FRecord = TStepRecord();
  FRecord.Begun = true;
  FRecord.Start = start;
  FRecord.Tables = true;
  if (start.Cost == TCostCriterion::Fast)
    DropTables("The heuristic was asked for: it pairs no cubes and makes no chart.");
  else if (start.Inputs > kStepsMaxInputs)
    DropTables("Tables are shown for up to " + std::to_string(kStepsMaxInputs) + " inputs; this system has " +
               std::to_string(start.Inputs) + ".");
  else if (start.SystemFunctions > kStepsMaxFunctions)
    DropTables("Tables are shown for up to " + std::to_string(kStepsMaxFunctions) + " functions; this system has " +
               std::to_string(start.SystemFunctions) + ".");
}

void TStepRecorder::DropTables(const std::string& why) {
  if (!FRecord.Tables) return;
  FRecord.Tables = false;
  FRecord.NoTables = why;
  FRecord.Levels.clear();
  FRecord.Primes = TCover();
  FRecord.Chart = TStepChart();
  FRecord.ChartMade = false;
  FRecord.EssentialRow.clear();
  FRecord.EssentialColumn.clear();
  FRecord.Events.clear();
}

void TStepRecorder::Level(TStepLevel level) {
  FRecord.LevelCounts.push_back(static_cast<int64_t>(level.Cubes.Count()));
  if (!FRecord.Tables) return;
  if (level.Cubes.Count() > kStepsMaxLevelCubes) {
    DropTables("Tables are shown for up to " + Grouped(static_cast<int64_t>(kStepsMaxLevelCubes)) +
               " cubes per level; level " + std::to_string(level.Number) + " has " +
               Grouped(static_cast<int64_t>(level.Cubes.Count())) + ".");
    return;
  }
  FRecord.Levels.push_back(std::move(level));
}

void TStepRecorder::Chart(const TCover& primes, TStepChart chart) {
  if (!FRecord.Tables) return;
  FRecord.Primes = primes;
  // The essential rows: those alone on a column.
  const size_t columns = chart.Columns.size();
  std::vector<int64_t> only(columns, -1);
  std::vector<uint32_t> count(columns, 0);
  for (size_t r = 0; r < chart.Cells.size(); ++r)
    for (const uint32_t c : chart.Cells[r]) {
      ++count[c];
      only[c] = static_cast<int64_t>(r);
    }
  FRecord.EssentialRow.assign(chart.Cells.size(), 0);
  FRecord.EssentialColumn.assign(columns, 0);
  for (size_t c = 0; c < columns; ++c)
    if (count[c] == 1) FRecord.EssentialRow[static_cast<size_t>(only[c])] = 1;
  for (size_t r = 0; r < chart.Cells.size(); ++r)
    if (FRecord.EssentialRow[r])
      for (const uint32_t c : chart.Cells[r]) FRecord.EssentialColumn[c] = 1;
  FRecord.Chart = std::move(chart);
  FRecord.ChartMade = true;
}

void TStepRecorder::Selection(const TStepEvent& event) {
  if (FRecord.Tables) FRecord.Events.push_back(event);
}

void TStepRecorder::Finish(const TRunStats& stats, const TCover& result, const std::string& heuristicReason) {
  FRecord.Finished = true;
  FRecord.Stats = stats;
  FRecord.Result = result;
  FRecord.HeuristicReason = heuristicReason;
  if (stats.Heuristic && FRecord.Tables)
    DropTables("The exact run could not finish (" + heuristicReason + "); the heuristic made the result.");
  if (FRecord.LevelCounts.empty() || !FRecord.Tables) FRecord.LevelCounts = stats.LevelCubes;
}

}  // namespace tavro
