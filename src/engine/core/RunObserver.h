#pragma once
// What a run tells whoever follows its steps (the window's analysis view,
// tavro-cli --steps): the levels of the pairing, the prime implicant chart,
// each reduction and choice of the selection, and how the run ended.
//
// A run given an observer that asks for the levels pairs the listed terms
// level by level, and where it asks for tables too keeps one chart column per
// (function, care term), whatever its parameters would choose otherwise, so
// that what is told is what the run did. Function numbers are those of the functions that take part in
// the run (TStepStart::Functions maps them to the system's).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/Cover.h"
#include "engine/core/RunParams.h"

namespace tavro {

struct TStepStart {
  int Inputs = 0;
  int Mode = 0;  // modeSOP, modePOS
  TCostCriterion Cost = TCostCriterion::Smallest;
  bool HazardFree = false;
  std::vector<int> Functions;  // the system's number of each function of the run
  int SystemFunctions = 0;
};

// One level of the pairing: level 0 the zero cubes, level k the cubes of 2^k
// terms, in list order (ascending by ones; among equal ones the cube made
// last first).
struct TStepLevel {
  int Number = 0;
  TCover Cubes;
  // Per cube, the list positions in the level before of the two cubes it was
  // first made from (the one with fewer ones first); (-1, -1) on level 0.
  std::vector<std::pair<int32_t, int32_t>> From;
  // Per cube: merged into a cube of the next level that serves all of its
  // functions (so it is no prime implicant).
  std::vector<uint8_t> Combined;
};

// The chart as made: rows are the prime implicants in list order.
struct TStepChart {
  struct Column {
    int Function = 0;
    uint32_t Term = 0;
    // A column of two adjacent care terms (Remove Hazards): Term and Other.
    bool Pair = false;
    uint32_t Other = 0;
  };
  std::vector<Column> Columns;
  std::vector<std::vector<uint32_t>> Cells;  // per row, its columns ascending
};

// One thing the selection did. Step counts the selection's steps from 1 (a
// reduction step or a completion step each).
struct TStepEvent {
  enum class Kind {
    Essential,   // Row alone covers a column: chosen
    Equal,       // Row covers the same columns as Other: dropped
    Dominated,   // Row's columns all lie in Other's: dropped
    Empty,       // Row covers no column left: dropped
    Completion,  // no essential row: Row, with the most cells, chosen
    Covering,    // Row covers every column left: chosen, the last one
  };
  Kind What = Kind::Essential;
  int Step = 0;
  uint32_t Row = 0;
  int64_t Other = -1;
  int64_t Columns = 0;  // columns left after the step, or the chosen row's cells
};

class IRunObserver {
 public:
  virtual ~IRunObserver() = default;
  // Whether the run should pair level by level and tell each level; asked
  // once, before the run.
  virtual bool WantsLevels(const TStepStart& start) const = 0;
  virtual void Begin(const TStepStart& start) = 0;
  // Whether the run should tell the chart and the selection's steps; asked
  // after Begin and before each of them.
  virtual bool WantsTables() const = 0;
  // Only where the levels were asked for:
  virtual void Level(TStepLevel level) = 0;
  // Only where the tables were:
  virtual void Chart(const TCover& primes, TStepChart chart) = 0;
  virtual void Selection(const TStepEvent& event) = 0;
  // How the run ended (always, after Begin): its figures, the result in
  // result list order, and where the heuristic made it, why (empty when it
  // was asked for).
  virtual void Finish(const TRunStats& stats, const TCover& result, const std::string& heuristicReason) = 0;
};

}  // namespace tavro
