#include "engine/TermFile.h"

#include <algorithm>
#include <charconv>

#include "engine/FileIO.h"
#include "engine/Pla.h"
#include "engine/TermText.h"

namespace tavro {

std::string TermFileText(const std::vector<TTermVector>& functions) {
  std::string text;
  size_t count = 0;
  for (const auto& f : functions) count += static_cast<size_t>(f.Count());
  text.reserve(count * 11 + functions.size() * 3);
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
    char item[16];
    for (size_t i = 0; i < terms.size(); ++i) {
      char* end = item;
      if (i > 0) {
        *end++ = ',';
        *end++ = ' ';
      }
      end = std::to_chars(end, item + sizeof item, terms[i]).ptr;
      if (flags[i]) *end++ = 'd';
      text.append(item, static_cast<size_t>(end - item));
    }
  }
  return text;
}

std::vector<TTermVector> ParseTermFileText(std::string_view text) {
  std::vector<TTermVector> functions(1);
  std::vector<std::pair<int32_t, bool>> items;
  // A long run of repeated terms is folded as it comes (the first of each
  // term kept), so that what is held stays near the distinct terms.
  constexpr size_t kFoldAt = size_t{1} << 25;
  size_t foldAt = kFoldAt;
  auto fold = [&] {
    const auto byTerm = [](const auto& a, const auto& b) { return a.first < b.first; };
    std::stable_sort(items.begin(), items.end(), byTerm);
    items.erase(std::unique(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
                items.end());
    foldAt = items.size() + kFoldAt;
  };
  TermCollector number;
  for (const char c : text) {
    if (c == kEndOfText) break;
    if (c >= '0' && c <= '9') {
      number.Digit(c);
    } else if (c == 'd' || c == 'D') {
      number.MarkDontCare();
    } else if (c == ',') {
      number.End(items);
      if (items.size() >= foldAt) fold();
    } else if (c == '|') {
      number.End(items);
      if (functions.size() >= MaxFunctions)
        throw TavroError("Too many functions (at most " + std::to_string(MaxFunctions) + ").");
      functions.back().AddAll(items);
      items.clear();
      foldAt = kFoldAt;
      functions.emplace_back();
    } else if (c == '+') {
      functions.back().Maxterms = true;
    } else if (c == '-') {
      functions.back().Maxterms = false;
    }
  }
  number.End(items);
  functions.back().AddAll(items);
  return functions;
}

std::string TermFilePath(const std::string& path) {
  if (path.empty()) return path;  // no name: nothing to write
  if (path.size() >= 4 && path.compare(path.size() - 4, 4, ".trm") == 0) return path;
  return path + ".trm";
}

void WriteTermFile(const std::vector<TTermVector>& functions, const std::string& path) {
  WriteFileAtomic(TermFilePath(path), TermFileText(functions));
}

void SaveTermFile(TFunctionSystem& system, const std::string& path) {
  WriteTermFile(system.Functions, path);
  system.Modified = false;
}

void LoadTermFile(TFunctionSystem& system, const std::string& path) {
  auto functions = ParseTermFileText(ReadTextFile(path, "term file"));
  system.Functions = std::move(functions);
  system.MinInputBits = 0;
  system.SourceCubes.reset();
  system.SourceDontCares.reset();
  system.TermsInSource = false;
  system.EmptyIsConstant = false;
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
