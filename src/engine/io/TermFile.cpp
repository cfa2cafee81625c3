#include "engine/io/TermFile.h"

#include <algorithm>
#include <charconv>

#include "engine/core/RunParams.h"
#include "engine/io/FileIO.h"
#include "engine/io/Pla.h"
#include "engine/io/TermText.h"

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

std::vector<TTermVector> ParseTermFileText(std::string_view text, const TLoadParams& params) {
  std::vector<TTermVector> functions(1);
  std::vector<std::pair<int32_t, bool>> items;
  // Memory held besides the items of the function being read: the text (its
  // holder's) and the functions read so far.
  uint64_t held = text.size() + sizeof(TTermVector);
  // A long run of repeated terms is folded as it comes (the first of each
  // term kept), so that what is held stays near the distinct terms.
  constexpr size_t kFoldAt = size_t{1} << 25;
  size_t foldAt = kFoldAt, folded = 0;
  auto fold = [&] {
    const auto byTerm = [](const auto& a, const auto& b) { return a.first < b.first; };
    std::stable_sort(items.begin(), items.end(), byTerm);
    items.erase(
        std::unique(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
        items.end());
    folded = items.size();
    foldAt = items.size() + kFoldAt;
  };
  // Before an item is added: a full list grows, or is folded first where
  // growing would pass the memory limit.
  // At its peak (a sort, or the merge into its function) a slot of the list
  // costs kItemBytes: the slot, a sorted copy and the sort's buffer.
  constexpr uint64_t kItemBytes = 24;
  auto room = [&] {
    if (items.size() < items.capacity()) return;
    const size_t grown = std::max<size_t>(1024, items.capacity() * 2);
    if (items.size() > folded && held + grown * kItemBytes > params.MemoryLimit()) {
      fold();
      if (items.size() < items.capacity()) return;
    }
    params.CheckMemory(held + grown * kItemBytes);
    items.reserve(grown);
  };
  // The function read so far takes its terms; the list starts afresh.
  auto finish = [&] {
    auto& f = functions.back();
    f.AddAll(items);
    held += f.Terms().capacity() * sizeof(int32_t) + f.DontCares().capacity() / 8;
    std::vector<std::pair<int32_t, bool>>().swap(items);
    folded = 0;
    foldAt = kFoldAt;
  };
  TermCollector number;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((i & 0xffff) == 0) CheckStop();
    const char c = text[i];
    if (c == kEndOfText) break;
    if (c >= '0' && c <= '9') {
      number.Digit(c);
    } else if (c == 'd' || c == 'D') {
      number.MarkDontCare();
    } else if (c == ',') {
      room();
      number.End(items);
      if (items.size() >= foldAt) fold();
    } else if (c == '|') {
      room();
      number.End(items);
      if (functions.size() >= MaxFunctions)
        throw TavroError("Too many functions (at most " + std::to_string(MaxFunctions) + ").");
      finish();
      functions.emplace_back();
      held += sizeof(TTermVector);
    } else if (c == '+') {
      functions.back().Maxterms = true;
    } else if (c == '-') {
      functions.back().Maxterms = false;
    }
  }
  room();
  number.End(items);
  finish();
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

void LoadTermFile(TFunctionSystem& system, const std::string& path, const TLoadParams& params) {
  auto functions = ParseTermFileText(ReadFile(path, {"term file", true, params.MemoryLimit()}), params);
  system.Functions = std::move(functions);
  system.MinInputBits = 0;
  system.Names = {};
  system.SourceCubes.reset();
  system.SourceDontCares.reset();
  system.TermsInSource = false;
  system.EmptyIsConstant = false;
  system.ResultReady = false;
  system.CurrentFileName = path;
  system.Modified = false;
}

void LoadTermText(TFunctionSystem& system, std::string_view text, const std::string& name, const TLoadParams& params) {
  // As a term file is read: up to a Ctrl-Z, and no binary data.
  text = text.substr(0, std::min(text.size(), text.find(kEndOfText)));
  if (text.find('\0') != std::string_view::npos) throw FileError(name + " is not a term file (it holds binary data)");
  auto functions = ParseTermFileText(text, params);
  TFunctionSystem loaded;
  loaded.Functions = std::move(functions);
  loaded.Modified = true;
  system = std::move(loaded);
}

}  // namespace tavro
