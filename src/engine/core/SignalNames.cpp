#include "engine/core/SignalNames.h"

namespace tavro {

std::string VariableName(int position) {
  const char letter = static_cast<char>('A' + (position - 1) % 26);
  const int repeat = (position + 25) / 26;
  return std::string(static_cast<size_t>(repeat), letter);
}

std::string TSignalNames::Input(int position) const {
  const auto k = static_cast<size_t>(position - 1);
  if (position >= 1 && k < Inputs.size() && !Inputs[k].empty()) return Inputs[k];
  return VariableName(position);
}

std::string TSignalNames::Output(int index) const {
  const auto k = static_cast<size_t>(index);
  if (index >= 0 && k < Outputs.size() && !Outputs[k].empty()) return Outputs[k];
  return "f" + std::to_string(index);
}

}  // namespace tavro
