#pragma once
// Berkeley Logic Interchange Format: a result written as one model of
// single-output covers, and a combinational model read as a system.
//
// Writing. ".model SOP", ".inputs" and ".outputs" with the system's names
// where every one is a BLIF name and none repeats (otherwise A, B, ... and
// f0, f1, ...), then one ".names" cover per output over the inputs its cubes
// fix: after SOP its cubes with output 1 (the on-set), after POS its cubes
// with output 0 (a cover of the off-set, which a BLIF reader complements). A
// constant output is a ".names" without inputs: no row for 0, the row "1"
// for 1.
//
// Reading. "#" starts a comment, a "\" at a line's end continues it on the
// next; the first model is read up to .end (or .exdc). Each output becomes
// one function: a ".names" cover over primary inputs is taken as its cubes
// (complemented where its rows give the off-set); covers over other covers'
// outputs are evaluated over every input row (up to kMaxBlifNetworkInputs
// inputs). Latches and subcircuits are refused.

#include <string>
#include <string_view>

#include "engine/core/Cover.h"
#include "engine/core/FunctionSystem.h"
#include "engine/core/RunParams.h"
#include "engine/core/SignalNames.h"
#include "model/Errors.h"

namespace tavro {

class BlifError : public TavroError {
 public:
  explicit BlifError(const std::string& message) : TavroError(message) {}
};

// Most inputs of a model whose outputs are covers of other covers.
constexpr int kMaxBlifNetworkInputs = 20;

// A BLIF name: not empty, no blank or control character, no "#", "\" or
// "=", and not starting with ".".
bool IsBlifName(const std::string& name);

// The BLIF text of a result cover (lines end in "\n").
std::string BlifText(const TCover& cubes, int inputBits, int functionCount, int mode, const TSignalNames& names = {});

// Parses BLIF text into cubes over the model's inputs tagged with its
// outputs (on-set), with the model's names. Throws BlifError naming the line.
struct TBlifModel {
  int Inputs = 0;
  TCover Cubes;
  TSignalNames Names;
};
TBlifModel ParseBlifText(std::string_view text, const TLoadParams& params = {});

// Replaces the system by the model in text, as a loaded PLA file does (a new,
// unsaved system whose empty outputs are constants, with the model's names).
void LoadBlifText(TFunctionSystem& system, std::string_view text, const TLoadParams& params = {});

}  // namespace tavro
