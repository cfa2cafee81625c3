#include "engine/core/SignalNames.h"

#include <unordered_set>

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

TSignalNames UsableNames(const TSignalNames& names, int inputs, int outputs, bool (*valid)(const std::string&)) {
  TSignalNames all, defaults;
  for (int p = 1; p <= inputs; ++p) {
    all.Inputs.push_back(names.Input(p));
    defaults.Inputs.push_back(VariableName(p));
  }
  for (int i = 0; i < outputs; ++i) {
    all.Outputs.push_back(names.Output(i));
    defaults.Outputs.push_back("f" + std::to_string(i));
  }
  std::unordered_set<std::string> seen;
  for (const auto* list : {&all.Inputs, &all.Outputs})
    for (const std::string& name : *list)
      if (!valid(name) || !seen.insert(name).second) return defaults;
  return all;
}

}  // namespace tavro
