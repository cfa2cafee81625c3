#include "engine/io/Format.h"

namespace tavro {

namespace {

// The input names of a list's positions, position 1 first.
std::vector<std::string> InputNames(const TCover& list, const TSignalNames& names) {
  std::vector<std::string> all;
  for (int j = 1; j <= list.Width; ++j) all.push_back(names.Input(j));
  return all;
}

// Builds the F lines, calling cubeText(out, i) for each cube of a function
// and putting separator between two cubes.
template <class CubeText>
std::string FormatLines(const TCover& list, bool everyFunction, const TSignalNames& names, const char* separator,
                        CubeText&& cubeText) {
  std::string out;
  if (list.Empty() && !everyFunction) return out;
  for (int f = 0; f < list.FunctionCount; ++f) {
    out += names.Output(f);
    out += " = ";
    bool first = true;
    for (size_t i = 0; i < list.Count(); ++i) {
      if (!list.Tag(i, f)) continue;
      if (!first) out += separator;
      first = false;
      cubeText(out, i);
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace

std::string FormatSOP(const TCover& list, bool everyFunction, const TSignalNames& signalNames) {
  const std::vector<std::string> names = InputNames(list, signalNames);
  return FormatLines(list, everyFunction, signalNames, " + ", [&](std::string& out, size_t i) {
    const auto literals = list.Literals(i, false);
    for (const TLiteral& literal : literals) {
      out += literal.Complemented ? "(~" : "(";
      out += names[static_cast<size_t>(literal.Position)];
      out += ')';
    }
    if (literals.empty()) out += '1';  // the constant cube
  });
}

std::string FormatPOS(const TCover& list, bool everyFunction, const TSignalNames& signalNames) {
  const std::vector<std::string> names = InputNames(list, signalNames);
  return FormatLines(list, everyFunction, signalNames, "", [&](std::string& out, size_t i) {
    const auto literals = list.Literals(i, true);
    out += '(';
    for (size_t n = 0; n < literals.size(); ++n) {
      if (n > 0) out += " + ";
      if (literals[n].Complemented) out += '~';
      out += names[static_cast<size_t>(literals[n].Position)];
    }
    if (literals.empty()) out += '0';  // the constant cube
    out += ')';
  });
}

std::string FormatCubeTerms(const TCover& list, bool everyFunction, const TSignalNames& names) {
  return FormatLines(list, everyFunction, names, " + ", [&](std::string& out, size_t i) {
    out += '(';
    // Past the term-number world a cube's terms are too many to list: its
    // pattern stands for them.
    if (list.Width > kMaxTermInputs) {
      out += list.Pattern(i);
      out += ')';
      return;
    }
    bool first = true;
    list.ForEachTerm(i, [&](uint32_t t) {
      if (!first) out += ", ";
      first = false;
      out += std::to_string(t);
    });
    out += ')';
  });
}

}  // namespace tavro
