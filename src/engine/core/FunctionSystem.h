#pragma once
// The function system that the user edits and a run reads: the functions,
// the current one, the derived width, the file name, the flags and the last
// result.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/Bits.h"
#include "engine/core/Cover.h"
#include "engine/core/SignalNames.h"
#include "model/TermVector.h"

namespace tavro {

constexpr int modeSOP = 0;
constexpr int modePOS = 1;

// Widest system a run accepts; a conversion enumerates 2^InputBits rows.
constexpr int MaxInputBits = kMaxTermInputs;

class TFunctionSystem {
 public:
  TFunctionSystem() { ResetSystem(); }

  std::vector<TTermVector> Functions;  // never empty
  int CurrentFunction = 0;
  int InputBits = 0;  // derived by UpdateInputBits
  // A width the system keeps even when its largest term needs fewer inputs
  // (a loaded PLA declares its inputs); 0 for term files and new systems.
  int MinInputBits = 0;
  std::string CurrentFileName;
  // The inputs' and outputs' names a loaded PLA file gave (.ilb, .ob); empty
  // for every other system. Shown only where the user asks for them.
  TSignalNames Names;
  bool Modified = false;
  bool ResultReady = false;
  int ResultMode = modeSOP;
  std::shared_ptr<const TCover> ResultCubes;  // null before the first run
  // The run's prime implicants, where it was asked to keep them and found
  // them all (not the heuristic); null otherwise.
  std::shared_ptr<const TCover> ResultPrimes;
  // Cubes that describe the functions as loaded (a PLA file's rows), with
  // the TermsIdentity of the functions they describe; a run uses them only
  // while the functions still have that identity. Null when there are none.
  std::shared_ptr<const TCover> SourceCubes;
  // The don't cares among them: cubes whose tags give exactly each
  // function's don't cares (null when there are none).
  std::shared_ptr<const TCover> SourceDontCares;
  std::vector<uint64_t> SourceIdentity;
  // The functions' terms are not listed (each function is empty): the
  // source cubes give them. Only a system loaded for one run is kept so;
  // ListSourceTerms lists them.
  bool TermsInSource = false;
  // A function without terms is the constant 0 (1 in a POS run) instead of
  // stopping the run, as a loaded PLA's output that no row sets is.
  bool EmptyIsConstant = false;

  int FunctionCount() const { return static_cast<int>(Functions.size()); }
  TTermVector& Current() { return Functions.at(static_cast<size_t>(CurrentFunction)); }

  // One empty minterm function, no file name, flags cleared, mode SOP.
  // InputBits and ResultCubes are left alone (the caller refreshes). The
  // window also clears its output pane.
  void ResetSystem();

  // The width of one function: 0 without terms, 1 when its largest term is 0,
  // otherwise the bit length of its largest term.
  static int FunctionInputBits(const TTermVector& f);
  // The largest width over all functions (0 when all are empty), at least
  // MinInputBits.
  int ComputeInputBits() const;
  void UpdateInputBits() { InputBits = ComputeInputBits(); }
  // Lists the functions' terms from the source cubes where they are kept
  // there. Checks the thread's stop flag (StoppedError) between functions.
  void ListSourceTerms();
  // The memory ListSourceTerms takes (0 when the terms are listed): the
  // terms, counted without listing them, and its work tables.
  uint64_t SourceTermsBytes() const;
  // Total number of terms of all functions.
  int64_t TotalTerms() const;

  // The same Boolean function in the other kind over 2^InputBits rows: absent
  // rows become care terms, don't cares stay, care terms go.
  TTermVector ComplementTerms(const TTermVector& f) const;
};

TTermVector ComplementTerms(const TTermVector& f, int inputBits);

// Names the functions' kinds, terms and don't-care flags as they are now
// (their stamps): equal identities mean equal functions.
std::vector<uint64_t> TermsIdentity(const std::vector<TTermVector>& functions);

}  // namespace tavro
