#include "engine/TermFile.h"

#include "engine/FileIO.h"
#include "engine/Pla.h"
#include "engine/TermText.h"

namespace tavro {

std::string TermFileText(const std::vector<TTermVector>& functions) {
  std::string text;
  for (size_t f = 0; f < functions.size(); ++f) {
    const auto& fn = functions[f];
    if (f > 0) text += " |";
    if (fn.Count() == 0) {
      // An empty maxterm function keeps its kind: a lone "+".
      if (fn.Maxterms) text += '+';
      continue;
    }
    text += fn.Maxterms ? '+' : '-';
    const auto& terms = fn.Terms();
    const auto& flags = fn.DontCares();
    for (size_t i = 0; i < terms.size(); ++i) {
      if (i > 0) text += ", ";
      text += std::to_string(terms[i]);
      if (flags[i]) text += 'd';
    }
  }
  return text;
}

std::vector<TTermVector> ParseTermFileText(std::string_view text) {
  std::vector<TTermVector> functions(1);
  std::vector<std::vector<std::pair<int32_t, bool>>> items(1);
  TermCollector number;
  for (const char c : text) {
    if (c == kEndOfText) break;
    if (c >= '0' && c <= '9') {
      number.Digit(c);
    } else if (c == 'd' || c == 'D') {
      number.MarkDontCare();
    } else if (c == ',') {
      number.End(items.back());
    } else if (c == '|') {
      number.End(items.back());
      if (functions.size() >= MaxFunctions)
        throw TavroError("Too many functions (at most " + std::to_string(MaxFunctions) + ").");
      functions.emplace_back();
      items.emplace_back();
    } else if (c == '+') {
      functions.back().Maxterms = true;
    } else if (c == '-') {
      functions.back().Maxterms = false;
    }
  }
  number.End(items.back());
  for (size_t f = 0; f < functions.size(); ++f) functions[f].AddAll(items[f]);
  return functions;
}

std::string TermFilePath(const std::string& path) {
  if (path.empty()) return path;  // no name: nothing to write
  if (path.size() >= 4 && path.compare(path.size() - 4, 4, ".trm") == 0) return path;
  return path + ".trm";
}

void SaveTermFile(TFunctionSystem& system, const std::string& path) {
  WriteFileAtomic(TermFilePath(path), TermFileText(system.Functions));
  system.Modified = false;
}

void LoadTermFile(TFunctionSystem& system, const std::string& path) {
  auto functions = ParseTermFileText(ReadTextFile(path, "term file"));
  system.Functions = std::move(functions);
  system.MinInputBits = 0;
  system.SourceCubes.reset();
  system.SourceDontCares.reset();
  system.TermsInSource = false;
  system.ResultReady = false;
  system.CurrentFileName = path;
  system.Modified = false;
}

void LoadSystemFile(TFunctionSystem& system, const std::string& path, bool listPlaTerms) {
  if (IsPlaPath(path)) {
    LoadPlaFile(system, path, listPlaTerms);
    return;
  }
  LoadTermFile(system, path);
}

}  // namespace tavro
