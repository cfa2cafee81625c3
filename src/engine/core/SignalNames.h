#pragma once
// The names of a system's inputs and outputs. A system read from a PLA file
// keeps the file's .ilb and .ob names; every other system, and every
// position a file leaves unnamed, has the default names: A, B, ... for the
// inputs (A the most significant) and f0, f1, ... for the outputs.

#include <string>
#include <vector>

namespace tavro {

// The default name of input position j (1 = most significant bit): A..Z,
// then AA..ZZ, AAA..ZZZ and so on.
std::string VariableName(int position);

struct TSignalNames {
  std::vector<std::string> Inputs;   // position 1 first; empty when not named
  std::vector<std::string> Outputs;  // output 0 first

  bool Empty() const { return Inputs.empty() && Outputs.empty(); }
  // The name of input position j (1-based) and of output i.
  std::string Input(int position) const;
  std::string Output(int index) const;
};

// The names of inputs inputs and outputs outputs as a format that accepts
// only some spellings can carry them: the given names where every one is
// valid there and no two are the same, otherwise (so that no signal is
// joined to another) the default names of all.
TSignalNames UsableNames(const TSignalNames& names, int inputs, int outputs, bool (*valid)(const std::string&));

}  // namespace tavro
