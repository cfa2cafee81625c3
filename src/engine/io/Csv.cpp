#include "engine/io/Csv.h"

#include <algorithm>
#include <bit>
#include <vector>

#include "engine/io/FileIO.h"

namespace tavro {

namespace {

// A name a table's header can hold: no separator, quote or control
// character, and no start that would make the table read as another format
// (a term file's "-" or "+", a keyword's ".", a comment's "#").
bool IsCsvCell(const std::string& name) {
  if (name.empty() || name.find_first_of(",;\"") != std::string::npos || name.find_first_of("-+.#") == 0 ||
      name.front() == ' ' || name.back() == ' ' || name.rfind("\xEF\xBB\xBF", 0) == 0)
    return false;
  for (const char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  return true;
}

// The value of function f in row: '1', '0' or '-'.
char Cell(const TTermVector& f, uint32_t row) {
  const auto term = static_cast<int32_t>(row);
  if (!f.Contains(term)) return f.IsMaxterms() ? '1' : '0';
  if (f.IsDontCare(term)) return '-';
  return f.IsMaxterms() ? '0' : '1';
}

std::vector<std::string> SplitCells(std::string_view line, char separator) {
  std::vector<std::string> cells;
  size_t at = 0;
  while (true) {
    const size_t end = std::min(line.find(separator, at), line.size());
    std::string cell(line.substr(at, end - at));
    const size_t first = cell.find_first_not_of(" \t"), last = cell.find_last_not_of(" \t");
    cell = first == std::string::npos ? std::string() : cell.substr(first, last - first + 1);
    if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') cell = cell.substr(1, cell.size() - 2);
    cells.push_back(cell);
    if (end == line.size()) break;
    at = end + 1;
  }
  return cells;
}

[[noreturn]] void Fail(size_t line, const std::string& what) {
  throw CsvError("Line " + std::to_string(line) + ": " + what);
}

}  // namespace

std::string CsvText(const TFunctionSystem& system, const TSignalNames& given) {
  const int inputs = std::max(1, system.InputBits);
  if (system.InputBits > kMaxCsvInputs)
    throw TavroError("A CSV truth table holds at most " + std::to_string(kMaxCsvInputs) + " inputs; the system has " +
                     std::to_string(system.InputBits) + ".");
  if (system.TermsInSource) throw TavroError("The system's terms are not listed.");
  const int count = system.FunctionCount();
  const TSignalNames names = UsableNames(given, inputs, count, IsCsvCell);
  std::string t;
  for (const auto& name : names.Inputs) t += name + ',';
  for (int f = 0; f < count; ++f) t += names.Outputs[static_cast<size_t>(f)] + (f + 1 < count ? "," : "\r\n");
  for (uint32_t row = 0; row < (uint32_t{1} << inputs); ++row) {
    for (int p = inputs - 1; p >= 0; --p) {
      t += (row >> p) & 1u ? '1' : '0';
      t += ',';
    }
    for (int f = 0; f < count; ++f) {
      t += Cell(system.Functions[static_cast<size_t>(f)], row);
      t += f + 1 < count ? ',' : '\r';
    }
    t += '\n';
  }
  return t;
}

void LoadCsvText(TFunctionSystem& system, std::string_view text, const TLoadParams& params) {
  params.CheckMemory(text.size());
  text = WithoutByteOrderMark(text);
  // The lines that hold anything.
  std::vector<std::pair<size_t, std::string_view>> lines;
  ForEachLine(text, [&](int number, std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    if (!line.empty()) lines.emplace_back(number, line);
    return true;
  });
  if (lines.size() < 2) throw CsvError("A truth table needs a header line and at least one row.");
  const char separator =
      lines[0].second.find(',') == std::string_view::npos && lines[0].second.find(';') != std::string_view::npos ? ';'
                                                                                                                 : ',';
  const std::vector<std::string> header = SplitCells(lines[0].second, separator);
  const size_t rows = lines.size() - 1, columns = header.size();
  // 2^n rows: the first n columns are the inputs.
  if (rows > (size_t{1} << kMaxCsvInputs) || (rows & (rows - 1)) != 0)
    throw CsvError("A truth table has one line for each row of its inputs (2, 4, 8, ... up to " +
                   std::to_string(size_t{1} << kMaxCsvInputs) + " lines); this one has " + std::to_string(rows) + ".");
  const int inputs = std::max(1, static_cast<int>(std::countr_zero(rows)));
  if (columns <= static_cast<size_t>(inputs))
    throw CsvError("Line " + std::to_string(lines[0].first) + ": " + std::to_string(rows) + " rows need " +
                   std::to_string(inputs) + " input columns and at least one function column.");
  const int count = static_cast<int>(columns) - inputs;
  params.CheckMemory(text.size() + static_cast<uint64_t>(count) * TTermVector::BytesFor(rows) + rows / 8);
  // Per function its rows and whether each is a don't care.
  std::vector<std::vector<std::pair<int32_t, bool>>> items(static_cast<size_t>(count));
  std::vector<bool> seen(size_t{1} << inputs);
  for (size_t r = 1; r < lines.size(); ++r) {
    const auto [line, textLine] = lines[r];
    const std::vector<std::string> cells = SplitCells(textLine, separator);
    if (cells.size() != columns)
      Fail(line, std::to_string(cells.size()) + " cells where the header has " + std::to_string(columns));
    uint32_t row = 0;
    for (int p = 0; p < inputs; ++p) {
      const std::string& c = cells[static_cast<size_t>(p)];
      if (c != "0" && c != "1") Fail(line, "an input cell must be 0 or 1, not '" + c + "'");
      row = row << 1 | (c == "1" ? 1u : 0u);
    }
    if (seen[row]) Fail(line, "the row of inputs " + std::to_string(row) + " is given twice");
    seen[row] = true;
    for (int f = 0; f < count; ++f) {
      const std::string& c = cells[static_cast<size_t>(inputs + f)];
      const bool dontCare = c == "-" || c == "x" || c == "X" || c == "d";
      if (c == "1" || dontCare) items[static_cast<size_t>(f)].emplace_back(static_cast<int32_t>(row), dontCare);
      else if (c != "0") Fail(line, "a function cell must be 0, 1 or - (x), not '" + c + "'");
    }
  }
  TFunctionSystem loaded;
  loaded.Functions.assign(static_cast<size_t>(count), TTermVector());
  for (int f = 0; f < count; ++f) loaded.Functions[static_cast<size_t>(f)].AddAll(items[static_cast<size_t>(f)]);
  loaded.MinInputBits = inputs;
  loaded.Names.Inputs.assign(header.begin(), header.begin() + inputs);
  loaded.Names.Outputs.assign(header.begin() + inputs, header.end());
  loaded.EmptyIsConstant = true;
  loaded.Modified = true;
  system = std::move(loaded);
}

}  // namespace tavro
