#pragma once
// The record of one run's steps, kept by an observer of the run: what the
// window's analysis view shows and tavro-cli --steps prints.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/Cover.h"
#include "engine/core/RunObserver.h"
#include "engine/core/RunParams.h"

namespace tavro {

// Past these the record keeps the counts per level, not the tables.
constexpr int kStepsMaxInputs = 8;
// Up to so many inputs the record asks for the levels, where the run's own
// prime finder might make none (pairing takes milliseconds there).
constexpr int kStepsMaxLevelInputs = 12;
constexpr int kStepsMaxFunctions = 8;
constexpr size_t kStepsMaxLevelCubes = 2000;

struct TStepRecord {
  bool Begun = false;     // a run started (it had terms to work on)
  bool Finished = false;  // and ended with a result
  TStepStart Start;
  // The tables below are held; otherwise NoTables says why and only the
  // counts are.
  bool Tables = false;
  std::string NoTables;
  std::vector<TStepLevel> Levels;  // with Tables
  std::vector<int64_t> LevelCounts;
  TCover Primes;  // with Tables: tagged for the run's functions
  TStepChart Chart;
  bool ChartMade = false;
  std::vector<uint8_t> EssentialRow, EssentialColumn;  // of the chart as made
  std::vector<TStepEvent> Events;
  TRunStats Stats;
  TCover Result;  // tagged for the system's functions
  std::string HeuristicReason;
};

class TStepRecorder : public IRunObserver {
 public:
  bool WantsLevels(const TStepStart& start) const override;
  void Begin(const TStepStart& start) override;
  bool WantsTables() const override { return FRecord.Tables; }
  void Level(TStepLevel level) override;
  void Chart(const TCover& primes, TStepChart chart) override;
  void Selection(const TStepEvent& event) override;
  void Finish(const TRunStats& stats, const TCover& result, const std::string& heuristicReason) override;

  const TStepRecord& Record() const { return FRecord; }
  TStepRecord Take() { return std::move(FRecord); }

 private:
  void DropTables(const std::string& why);
  TStepRecord FRecord;
};

}  // namespace tavro
