// The LaTeX document of a system and its result, for random systems of 1-6
// inputs after SOP and POS runs, constants, a function without cubes, 18
// functions, systems past 6 inputs with long expressions, and names full of
// LaTeX's special characters. Each document is read back: the truth table
// gives the functions' values; in each map, cells one apart differ in one
// input, each cell's labels spell its term, and each loop encloses exactly
// its cube's cells; the expressions, their markup undone, are the text
// output's lines. Then pdflatex compiles each document with no overfull line,
// no character missing from a font and no bitmap font (without pdflatex that
// test skips, except in CI, where it fails).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "engine/io/FileIO.h"
#include "engine/io/Format.h"
#include "engine/io/Latex.h"
#include "engine/io/Steps.h"
#include "engine/io/TermEntry.h"
#include "engine/run/Minimize.h"
#include "model/Errors.h"
#include "support/InteropSupport.h"
#include "support/RandomSystems.h"
#include "support/RecordingHost.h"
#include "support/RunProcess.h"

namespace tavro {
namespace {

using TCubes = std::vector<std::pair<uint32_t, uint32_t>>;  // (value, mask)

struct Case {
  std::string Name;
  TFunctionSystem System;
  TSignalNames Names;
  std::string Text;
  TCubes Cubes(int f) const {
    TCubes cubes;
    const TCover& cover = *System.ResultCubes;
    for (size_t i = 0; i < cover.Count(); ++i)
      if (cover.Tag(i, f)) cubes.emplace_back(cover.Value(i), cover.Mask(i));
    return cubes;
  }
};

std::vector<Case> BuildCases() {
  std::vector<std::tuple<std::string, std::vector<TTermVector>, int, TSignalNames>> systems;
  std::mt19937 rng(424242);
  auto random = [&](int width, int functions) {
    testing::RandomSystemOptions options;
    options.MinBits = options.MaxBits = width;
    if (functions) options.MinFunctions = options.MaxFunctions = functions;
    int bits = 0;
    return testing::RandomSystem(rng, options, &bits);
  };
  for (int width = 1; width <= 6; ++width)
    for (const int mode : {modeSOP, modePOS}) systems.push_back({"random", random(width, 0), mode, {}});
  const std::string all = "0, 1, 2, 3, 4, 5, 6, 7";
  systems.push_back({"constant 1", {ParseTermEntry(all, false), ParseTermEntry("1, 2, 4, 7", false)}, modeSOP, {}});
  systems.push_back({"constant 0", {ParseTermEntry(all, true), ParseTermEntry("3", false)}, modePOS, {}});
  systems.push_back({"no cube", {ParseTermEntry("0d, 1d, 2d, 3d", false), ParseTermEntry("1", false)}, modeSOP, {}});
  systems.push_back({"18 functions", random(3, 18), modeSOP, {}});
  systems.push_back({"9 inputs", random(9, 2), modePOS, {}});
  std::string parity;  // 512 cubes of 10 literals each
  for (int t = 0; t < 1024; ++t)
    if (__builtin_popcount(static_cast<unsigned>(t)) % 2) parity += std::to_string(t) + ",";
  systems.push_back({"parity of 10", {ParseTermEntry(parity, false)}, modeSOP, {}});
  TSignalNames wide;  // one product of 20 long names
  for (int p = 0; p < 20; ++p) wide.Inputs.push_back("signal_number_" + std::to_string(p));
  systems.push_back({"long names", {ParseTermEntry("1048575", false)}, modeSOP, wide});
  TSignalNames awkward;
  awkward.Inputs = {"a_1",
                    "x&y",
                    "#",
                    "%",
                    "{b}\\c_and_a_name_that_makes_the_corner_of_a_map_wider_than_the_line",
                    "~^<>|\"-- `!`'' [z] $5 \x01\xc3\xa9"};
  awkward.Outputs = {"out$1", "f_{2}", "a_very_long_output_name_that_goes_on_and_on_and_on_for_a_while"};
  for (const int mode : {modeSOP, modePOS}) systems.push_back({"special names", random(6, 3), mode, awkward});

  std::vector<Case> cases;
  for (auto& [name, functions, mode, names] : systems) {
    Case c{name + (mode == modeSOP ? ", SOP" : ", POS"), {}, names, ""};
    c.System.Functions = functions;
    c.System.UpdateInputBits();
    testing::RecordingHost host;
    if (RunCommand(c.System, mode, {}, host) != TRunOutcome::Completed) continue;
    c.Name += ", " + std::to_string(c.System.InputBits) + " inputs";
    c.Text = LatexText(c.System, c.Names);
    cases.push_back(std::move(c));
  }
  return cases;
}

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = BuildCases();
  return cases;
}

// The text after the first from, up to the following to (or the end).
std::string Between(const std::string& text, const std::string& from, const std::string& to) {
  const size_t start = text.find(from);
  if (start == std::string::npos) return "";
  return text.substr(start + from.size(), text.find(to, start + from.size()) - start - from.size());
}

// A cell, a label, or a loop's piece as the document places it.
struct Item {
  double X = 0, Y = 0;
  std::string Kind, Text;  // a cell: its style and term; a label: its style and text
  char Value = 0;          // a cell's value
};

void CheckMap(const Case& c, int f, const std::string& block) {
  SCOPED_TRACE(c.Name + ", function " + std::to_string(f));
  const int width = c.System.InputBits;
  const TTermVector& function = c.System.Functions[static_cast<size_t>(f)];
  const std::regex cellLine(R"(\\kcell\{([-.0-9]+)\}\{([-.0-9]+)\}\{(\d+)\}\{(.)\}\{(\w+)\})");
  const std::regex labelLine(R"(\\node\[(\w+)\] at \(([-.0-9]+),([-.0-9]+)\) \{(.*)\};)");
  std::vector<Item> cells, labels;
  TCubes loops;
  std::vector<std::vector<std::array<double, 8>>> pieces;  // per loop: clip, then shape
  std::istringstream lines(block);
  std::smatch m;
  unsigned value = 0, mask = 0;
  for (std::string line; std::getline(lines, line);) {
    std::array<double, 8> p{};
    if (std::regex_match(line, m, cellLine)) {
      cells.push_back({std::stod(m[1]), std::stod(m[2]), m[5], m[3], m[4].str()[0]});
    } else if (std::regex_match(line, m, labelLine)) {
      labels.push_back({std::stod(m[2]), std::stod(m[3]), m[1], m[4]});
    } else if (std::sscanf(line.c_str(), "%% loop %u %u", &value, &mask) == 2) {
      loops.emplace_back(value, mask);
      pieces.emplace_back();
    } else if (std::sscanf(line.c_str(), "\\kpiece{%lf}{%lf}{%lf}{%lf}{%lf}{%lf}{%lf}{%lf}", &p[0], &p[1], &p[2], &p[3],
                           &p[4], &p[5], &p[6], &p[7]) == 8) {
      pieces.back().push_back(p);
    }
  }
  ASSERT_EQ(cells.size(), size_t{1} << width);
  auto term = [](const Item& cell) { return static_cast<uint32_t>(std::stoul(cell.Text)); };
  auto near = [](double a, double b) { return std::abs(a - b) < 1e-3; };

  // Every term once, with the function's value; the listed kind stands out.
  std::set<uint32_t> terms;
  for (const Item& cell : cells) {
    terms.insert(term(cell));
    const char v = test::FunctionValue(function, term(cell));
    EXPECT_EQ(cell.Value, v == '-' ? 'd' : v) << cell.Text;
    EXPECT_EQ(cell.Kind, v == '-' ? "kdontcare" : (v == '1') != function.IsMaxterms() ? "klisted" : "kother");
  }
  EXPECT_EQ(terms.size(), cells.size());

  // Cells one apart differ in one input. The nearest labels (the map's
  // title, the row's and the column's) spell a cell's term: the maps' inputs
  // come first, then the rows', then the columns', as the titles and the
  // corner name them.
  auto label = [&](const Item& cell, const std::string& kind) -> std::string {
    const Item* best = nullptr;
    for (const Item& l : labels)
      if (l.Kind == kind &&
          (kind == "krow" ? near(l.Y, cell.Y) && l.X < cell.X
                          : l.Y < cell.Y && (kind == "ktitle" || near(l.X, cell.X))) &&
          (!best || std::hypot(l.X - cell.X, l.Y - cell.Y) < std::hypot(best->X - cell.X, best->Y - cell.Y)))
        best = &l;
    return !best ? "" : kind == "ktitle" ? best->Text.substr(best->Text.find(" = ") + 3) : best->Text;
  };
  std::string names;
  for (const std::string kind : {"ktitle", "kcorner"})
    for (const Item& l : labels)
      if (l.Kind == kind) {
        names += l.Text.substr(0, kind == "ktitle" ? l.Text.find(" = ") : std::string::npos);
        break;
      }
  EXPECT_EQ(std::regex_replace(names, std::regex(R"(\\textbackslash\{\})"), ""), std::string("ABCDEF", width));
  for (const Item& cell : cells) {
    for (const Item& other : cells)
      if (near(std::hypot(cell.X - other.X, cell.Y - other.Y), 1)) {
        EXPECT_EQ(__builtin_popcount(term(cell) ^ term(other)), 1) << cell.Text << " " << other.Text;
      }
    std::string bits;
    for (int b = width - 1; b >= 0; --b) bits += term(cell) >> b & 1u ? '1' : '0';
    EXPECT_EQ(label(cell, "ktitle") + label(cell, "krow") + label(cell, "kcolumn"), bits) << cell.Text;
  }

  // The loops are the function's cubes in the result's order, each around
  // exactly its cube's cells: a centre in a piece's shape and in its map.
  ASSERT_EQ(loops, c.Cubes(f));
  auto cellAt = [&](double x, double y) {
    return std::any_of(cells.begin(), cells.end(),
                       [&](const Item& cell) { return near(cell.X, x) && near(cell.Y, y); });
  };
  for (const auto& loop : pieces)
    for (const auto& p : loop)  // a piece is cut to its map, enlarged by a 44th of a cell
      EXPECT_TRUE(cellAt(p[0] + 0.5 + 1 / 44.0, p[1] + 0.5 + 1 / 44.0) &&
                  cellAt(p[2] - 0.5 - 1 / 44.0, p[3] - 0.5 - 1 / 44.0));
  for (size_t k = 0; k < loops.size(); ++k)
    for (const Item& cell : cells) {
      bool in = false;
      for (const auto& p : pieces[k])
        in |= cell.X > p[0] && cell.X < p[2] && cell.Y > p[1] && cell.Y < p[3] && cell.X > p[4] && cell.X < p[6] &&
              cell.Y > p[5] && cell.Y < p[7];
      EXPECT_EQ(in, (term(cell) & ~loops[k].second) == loops[k].first) << "loop " << k << ", " << cell.Text;
    }
}

// The truth table: each row's values, group after group of functions, are
// the functions' values there.
void CheckTruthTable(const Case& c, const std::string& table) {
  SCOPED_TRACE(c.Name);
  const auto width = static_cast<size_t>(c.System.InputBits);
  std::map<uint32_t, std::string> rows;
  const std::regex row("([01](?: & [01]){" + std::to_string(width - 1) + R"(})((?: & [-01])+) \\\\)");
  std::istringstream lines(table);
  std::smatch m;
  for (std::string line; std::getline(lines, line);) {
    if (!std::regex_match(line, m, row)) continue;
    std::string inputs = m[1], values = m[2];
    std::erase(inputs, ' '), std::erase(inputs, '&'), std::erase(values, ' '), std::erase(values, '&');
    rows[static_cast<uint32_t>(std::stoul(inputs, nullptr, 2))] += values;
  }
  ASSERT_EQ(rows.size(), size_t{1} << width);
  for (const auto& [r, values] : rows) {
    std::string expected;
    for (const TTermVector& f : c.System.Functions) expected += test::FunctionValue(f, r);
    EXPECT_EQ(values, expected) << r;
  }
}

// The expressions, their markup put back into the text output's (whose
// lines they must then be): "(A)(~B) + C" after SOP, "(A + ~B)(C)" after POS.
void CheckExpressions(const Case& c, std::string text) {
  SCOPED_TRACE(c.Name);
  const bool pos = c.System.ResultMode == modePOS;
  auto replace = [&](const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
      text.replace(at, from.size(), to);
  };
  replace("$\\par\n$\\qquad{} + ", " + ");  // an expression goes on in the next paragraph
  replace("$\\par\n$\\qquad ", "");
  replace("\\allowbreak ", "");
  replace(" \\cdot ", "");
  for (int p = 1; p <= c.System.InputBits; ++p) {
    const std::string name = c.Names.Input(p), math = "\\textit{" + LatexEscape(name) + "}";
    replace("\\overline{" + math + "}", pos ? "~" + name : "(~" + name + ")");
    replace(math, pos ? name : "(" + name + ")");
  }
  for (int f = 0; f < c.System.FunctionCount(); ++f)
    replace("$\\textit{" + LatexEscape(c.Names.Output(f)) + "}", c.Names.Output(f));
  // A function without cubes is written as its constant, in the text as nothing.
  replace(pos ? " = 1$\\par" : " = 0$\\par", " = $\\par");
  replace("$\\par\n", "\r\n");
  const TCover& cover = *c.System.ResultCubes;
  EXPECT_EQ(text, "\n{\\raggedright\n" + (pos ? FormatPOS : FormatSOP)(cover, true, c.Names) + "}\n");
}

TEST(Latex, DocumentsReadBackAsTheSystemAndItsResult) {
  ASSERT_GE(Cases().size(), 20u);
  bool constant[2] = {false, false}, bare = false;  // the set holds these
  int maps = 0;
  for (const Case& c : Cases()) {
    for (int f = 0; f < c.System.FunctionCount(); ++f) {
      bare |= c.Cubes(f).empty();
      for (const auto& [value, mask] : c.Cubes(f))
        constant[c.System.ResultMode] |= mask == (1u << c.System.InputBits) - 1;
    }
    CheckExpressions(c, Between(c.Text, "\\section*{Minimal expressions}", "\\end{document}"));
    const std::string table = Between(c.Text, "\\section*{Truth table}", "\\section*{Karnaugh maps}");
    const std::string mapText = Between(c.Text, "\\section*{Karnaugh maps}", "\\section*{Minimal expressions}");
    if (c.System.InputBits > kLatexMaxTableInputs) {
      EXPECT_NE(table.find("left out"), std::string::npos);
      EXPECT_NE(mapText.find("left out"), std::string::npos);
      EXPECT_EQ(mapText.find("\\kcell"), std::string::npos);
      continue;
    }
    CheckTruthTable(c, table);
    if (!c.Names.Empty()) continue;  // the maps' check reads one-letter names
    for (int f = 0; f < c.System.FunctionCount(); ++f, ++maps)
      CheckMap(c, f, Between(mapText, "\\subsection*{" + c.Names.Output(f) + " (", "\\subsection*{"));
  }
  EXPECT_TRUE(constant[modeSOP] && constant[modePOS] && bare);
  EXPECT_GT(maps, 40);
}

TEST(Latex, RefusesASystemWithoutACurrentResult) {
  TFunctionSystem system;
  system.Functions = {ParseTermEntry("1, 2", false)};
  system.UpdateInputBits();
  EXPECT_THROW(LatexText(system), TavroError);
  testing::RecordingHost host;
  ASSERT_EQ(RunCommand(system, modeSOP, {}, host), TRunOutcome::Completed);
  EXPECT_NO_THROW(LatexText(system));
  system.Functions.push_back(ParseTermEntry("3", false));
  EXPECT_THROW(LatexText(system), TavroError);
}

TEST(Latex, CompilesWithPdflatex) {
  if (std::system("command -v pdflatex >/dev/null 2>&1") != 0) {
    if (test::InCI()) FAIL() << "pdflatex is not installed";
    GTEST_SKIP() << "pdflatex is not installed";
  }
  check::TempDir dir;
  for (size_t k = 0; k < Cases().size(); ++k) {
    const Case& c = Cases()[k];
    const std::string name = "doc" + std::to_string(k);
    WriteLatex(c.System, dir / (name + ".tex"), c.Names);
    const auto run = check::RunProcess(
        {"/bin/sh", "-c", "cd '" + dir.Path() + "' && pdflatex -interaction=nonstopmode -halt-on-error " + name}, 120);
    EXPECT_EQ(run.ExitCode, 0) << c.Name << "\n" << run.Out.substr(run.Out.size() > 3000 ? run.Out.size() - 3000 : 0);
    std::string log = ReadFileBytes(dir / (name + ".log"));
    EXPECT_EQ(log.find("Overfull \\hbox"), std::string::npos) << c.Name;
    EXPECT_EQ(log.find("Missing character"), std::string::npos) << c.Name;
    // The log ends with the fonts' files, its lines cut at 79 characters: no
    // font was made as a bitmap (.pk).
    std::erase(log, '\n');
    EXPECT_EQ(log.find("pk>"), std::string::npos) << c.Name;
  }
}

// The steps of a run as a LaTeX document: the tables of a textbook function,
// those of three functions with don't cares (POS, with hazard columns), and
// the counts of a system too wide for tables.
TEST(Latex, StepsCompileWithPdflatex) {
  if (std::system("command -v pdflatex >/dev/null 2>&1") != 0) {
    if (test::InCI()) FAIL() << "pdflatex is not installed";
    GTEST_SKIP() << "pdflatex is not installed";
  }
  std::mt19937 rng(77);
  testing::RandomSystemOptions options;
  options.MinBits = options.MaxBits = 4;
  options.MinFunctions = options.MaxFunctions = 3;
  int bits = 0;
  const auto three = testing::RandomSystem(rng, options, &bits);
  TTermVector wide;
  for (int32_t t = 0; t < 4096; t += 5) wide.Add(t, false);
  struct Run {
    std::vector<TTermVector> Functions;
    int Mode;
    bool HazardFree;
  };
  const std::vector<Run> runs = {{{ParseTermEntry("0, 1, 2, 5, 6, 7, 8, 9, 10, 14", false)}, modeSOP, false},
                                 {three, modePOS, true},
                                 {{wide}, modeSOP, false}};
  check::TempDir dir;
  for (size_t k = 0; k < runs.size(); ++k) {
    TFunctionSystem system;
    system.Functions = runs[k].Functions;
    system.UpdateInputBits();
    TStepRecorder steps;
    TRunParams params;
    params.Observer = &steps;
    params.HazardFree = runs[k].HazardFree;
    params.ConstantEmptyFunctions = true;
    testing::RecordingHost host;
    ASSERT_EQ(RunCommand(system, runs[k].Mode, {}, host, nullptr, params), TRunOutcome::Completed);
    const std::string name = "steps" + std::to_string(k);
    WriteFileAtomic(dir / (name + ".tex"), StepsLatex(steps.Record()));
    const auto run = check::RunProcess(
        {"/bin/sh", "-c", "cd '" + dir.Path() + "' && pdflatex -interaction=nonstopmode -halt-on-error " + name}, 120);
    const std::string log = ReadFileBytes(dir / (name + ".log"));
    EXPECT_EQ(run.ExitCode, 0) << log.substr(log.size() > 3000 ? log.size() - 3000 : 0);
    EXPECT_EQ(log.find("Overfull \\hbox"), std::string::npos) << name;
    EXPECT_EQ(log.find("Missing character"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace tavro
