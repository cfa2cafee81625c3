// The PLA reader and writer on hand-made texts: the character meanings, the
// types, the error messages, loading through LoadSystemFile, large cubes, and
// written results read back.

#include "engine/core/CubeSets.h"
#include "engine/io/FileIO.h"
#include "engine/io/Pla.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bitset>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <set>

#include "engine/io/TermFile.h"
#include "engine/run/Minimize.h"
#include "support/InteropSupport.h"
#include "support/RecordingHost.h"
#include "support/TempDir.h"

namespace tavro {
namespace {

TTermVector Minterms(const std::vector<std::pair<int32_t, bool>>& items) {
  TTermVector f;
  f.AddAll(items);
  return f;
}

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    Path = std::filesystem::temp_directory_path() / ("tavro-pla-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(Path);
  }
  ~TempDir() { std::filesystem::remove_all(Path); }
  std::string Write(const std::string& name, const std::string& text) const {
    const auto p = Path / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  std::filesystem::path Path;
};

TEST(PlaRead, CharactersCommentsAndSeparators) {
  // Column 1 is the most significant bit; "~" and "2" in the input are "-";
  // "4" is on, "2" don't care, "~" nothing; a term both on and don't care
  // is a don't care; nothing after .e is read.
  const auto pla = ParsePlaText(
      "# comment line\n"
      ".i 3\n"
      ".o 2\n"
      ".ilb a b c\n"
      ".ob x y\n"
      ".p 4\n"
      "1-0 1~   # terms 4, 6\r\n"
      "0~1 |-1\n"
      "\t011 \t4 2\n"
      "\n"
      "2-1 ~0\n"
      "000 00\n"
      ".e\n"
      "111 11\n");
  EXPECT_EQ(pla.Inputs, 3);
  ASSERT_EQ(pla.Functions.size(), 2u);
  EXPECT_EQ(pla.Functions[0], Minterms({{1, true}, {3, true}, {4, false}, {6, false}}));
  EXPECT_EQ(pla.Functions[1], Minterms({{1, false}, {3, true}}));
  EXPECT_EQ(pla.InputNames, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(pla.OutputNames, (std::vector<std::string>{"x", "y"}));
}

TEST(PlaRead, TypesDecideWhichCharactersCount) {
  const std::string rows =
      "00 1\n"
      "01 0\n"
      "1- -\n"
      "11 1\n";
  struct Case {
    const char* type;
    TTermVector expected;
  };
  const Case cases[] = {
      {"f", Minterms({{0, false}, {3, false}})},
      {"fd", Minterms({{0, false}, {2, true}, {3, true}})},
      {"fr", Minterms({{0, false}, {2, true}, {3, false}})},
      {"fdr", Minterms({{0, false}, {2, true}, {3, true}})},
      {"r", Minterms({{0, false}, {2, false}, {3, false}})},
      {"dr", Minterms({{0, false}, {2, true}, {3, true}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    const auto pla = ParsePlaText(std::string(".i 2\n.o 1\n.type ") + c.type + "\n" + rows);
    EXPECT_EQ(pla.Functions.at(0), c.expected);
  }
  // Without .type the type is fd.
  EXPECT_EQ(ParsePlaText(".i 2\n.o 1\n" + rows).Functions.at(0), cases[1].expected);
}

TEST(PlaRead, OnAndOffTogetherIsAFaultUnlessDontCare) {
  const std::string head = ".i 3\n.o 2\n.ob p q\n.type ";
  try {
    ParsePlaText(head + "fr\n1-- 11\n0-- 10\n-11 01\n");
    FAIL() << "no error";
  } catch (const PlaError& e) {
    EXPECT_STREQ(e.what(),
                 "Line 7: term 3 of output 1 (p) is in the off-set here and in the on-set on "
                 "another row");
  }
  // Under fdr a don't-care row settles the clashes.
  const auto pla = ParsePlaText(head + "fdr\n1-- 11\n0-- 10\n-11 01\n-11 --\n");
  EXPECT_EQ(pla.Functions[0],
            Minterms({{0, false}, {1, false}, {2, false}, {3, true}, {4, false}, {5, false}, {6, false}, {7, true}}));
  EXPECT_EQ(pla.Functions[1], Minterms({{3, true}, {4, false}, {5, false}, {6, false}, {7, true}}));
}

TEST(PlaRead, RowsMaySpanLines) {
  // Random rows, read once with each row on one line and once with each row
  // broken at random places (comments and blank lines between the pieces):
  // both readings give the same system.
  std::mt19937 rng(10);
  for (int round = 0; round < 50; ++round) {
    const int inputs = 1 + static_cast<int>(rng() % 6), outputs = 1 + static_cast<int>(rng() % 4);
    std::string head = ".i " + std::to_string(inputs) + "\n.o " + std::to_string(outputs) + "\n.type " +
                       (rng() % 2 ? "fd" : "fr") + "\n";
    std::string oneLine = head, broken = head;
    const int rowCount = 1 + static_cast<int>(rng() % 8);
    for (int r = 0; r < rowCount; ++r) {
      std::string row;
      for (int p = 0; p < inputs; ++p) row += "01-"[rng() % 3];
      for (int j = 0; j < outputs; ++j) row += "1-~"[rng() % 3];
      oneLine += row + "\n";
      for (size_t k = 0; k < row.size(); ++k) {
        broken += row[k];
        if (rng() % 3 == 0) broken += rng() % 2 ? "\n" : "  # note\n\n";
      }
      broken += "\n";
    }
    const auto a = ParsePlaText(oneLine + ".e\n"), b = ParsePlaText(broken + ".e\n");
    ASSERT_EQ(a.Functions.size(), b.Functions.size()) << broken;
    for (size_t f = 0; f < a.Functions.size(); ++f) EXPECT_EQ(a.Functions[f], b.Functions[f]) << broken;
  }
  // A row left short by a keyword or by the end of the file names its first line.
  for (const char* text : {".i 3\n.o 1\n\n01\n1\n.e\n", ".i 3\n.o 1\n\n01\n# end\n"}) {
    try {
      ParsePlaText(text);
      FAIL() << "no error for " << text;
    } catch (const PlaError& e) {
      EXPECT_STREQ(e.what(), "Line 4: fewer characters than 3 inputs and 1 outputs");
    }
  }
}

// Random rows of random types: the reader's cubes, expanded, list exactly
// each function's terms; where there are none, the type has an off-set.
TEST(PlaRead, CubesDescribeTheFunctionsExactly) {
  std::mt19937 rng(23);
  for (int round = 0; round < 60; ++round) {
    const int inputs = 1 + static_cast<int>(rng() % 7), outputs = 1 + static_cast<int>(rng() % 70);
    const char* type = std::array{"f", "fd", "fr", "fdr", "r", "dr"}[rng() % 6];
    std::string text = ".i " + std::to_string(inputs) + "\n.o " + std::to_string(outputs) + "\n.type " + type + "\n";
    for (int r = 0, rows = 1 + static_cast<int>(rng() % 10); r < rows; ++r) {
      for (int p = 0; p < inputs; ++p) text += "01--"[rng() % 4];
      text += ' ';
      for (int j = 0; j < outputs; ++j) text += "1-~0"[rng() % 4];
      text += '\n';
    }
    TPlaSystem pla;
    try {
      pla = ParsePlaText(text);
    } catch (const PlaError&) {
      continue;  // an on/off clash
    }
    const bool offSet = std::string(type).find('r') != std::string::npos;
    ASSERT_EQ(pla.Cubes.Width, offSet ? 0 : inputs) << text;
    if (offSet) continue;
    for (int j = 0; j < outputs; ++j) {
      std::set<int32_t> fromCubes;
      for (size_t k = 0; k < pla.Cubes.Count(); ++k)
        if (pla.Cubes.Tag(k, j))
          pla.Cubes.ForEachTerm(k, [&](uint32_t t) { fromCubes.insert(static_cast<int32_t>(t)); });
      const auto& terms = pla.Functions[static_cast<size_t>(j)].Terms();
      ASSERT_EQ(std::vector<int32_t>(fromCubes.begin(), fromCubes.end()), terms) << text << " output " << j;
    }
    // With the don't-care rows, the cubes give the flags too.
    ASSERT_EQ(ListCubeTerms({&pla.Cubes, &pla.DontCareCubes}, outputs, inputs), pla.Functions) << text;
  }
}

// A wide PLA runs through its own cubes; the text is the same as from the
// same functions without them, and an edit makes the run leave them alone.
TEST(PlaRead, WideFilesRunThroughTheirCubesWithTheSameText) {
  TempDir dir;
  std::mt19937 rng(41);
  std::string text = ".i 18\n.o 3\n";
  for (int r = 0; r < 40; ++r) {
    for (int p = 0; p < 18; ++p) text += "0011-----"[rng() % 9];
    text += ' ';
    for (int j = 0; j < 3; ++j) text += "1-0"[rng() % 3];
    text += '\n';
  }
  text += "000000000000000000 111\n";
  const auto path = dir.Write("wide.pla", text);
  // The cube finder without a budget: with one, a slow machine may hand the
  // primes to the tables, which list the terms.
  TRunParams fromCubes;
  fromCubes.PrimeMethod = TPrimeMethod::Cubes;
  auto run = [](TFunctionSystem& system, TRunStats& stats, const TRunParams& params = {}) {
    system.UpdateInputBits();
    testing::RecordingHost host;
    EXPECT_EQ(RunCommand(system, modeSOP, {true, true, false}, host, &stats, params), TRunOutcome::Completed);
    return host.Output;
  };
  TFunctionSystem loaded, plain;
  LoadPlaFile(loaded, path);
  ASSERT_TRUE(loaded.SourceCubes);
  plain.Functions = loaded.Functions;
  plain.MinInputBits = 18;
  TRunStats viaCubes, viaRows;
  EXPECT_EQ(run(loaded, viaCubes), run(plain, viaRows));
  // Loaded without its terms listed, the system runs from its rows alone
  // (chart and check included) to the same text and figures, and lists the
  // same terms when asked.
  for (int round = 0; round < 8; ++round) {
    std::string more = ".i 17\n.o 4\n";
    for (int r = 0; r < 4 + round * 6; ++r) {
      for (int p = 0; p < 17; ++p) more += "0011------"[rng() % 10];
      more += ' ';
      for (int j = 0; j < 4; ++j) more += "1-00"[rng() % 4];
      more += '\n';
    }
    const auto morePath = dir.Write("more.pla", more + std::string(17, '1') + " 1111\n");
    TFunctionSystem rows, terms;
    LoadPlaFile(rows, morePath, false);
    LoadPlaFile(terms, morePath);
    ASSERT_TRUE(rows.TermsInSource);
    TRunStats a, b;
    ASSERT_EQ(run(rows, a, fromCubes), run(terms, b)) << more;
    EXPECT_TRUE(rows.TermsInSource);
    EXPECT_EQ(a.Terms, b.Terms);
    EXPECT_EQ(a.ZeroCubes, b.ZeroCubes);
    EXPECT_EQ(a.ChartColumns, b.ChartColumns);
    EXPECT_EQ(a.ChartCells, b.ChartCells);
    rows.ListSourceTerms();
    EXPECT_FALSE(rows.TermsInSource);
    EXPECT_EQ(rows.Functions, terms.Functions);
  }
  // A POS run needs the terms: it lists them first.
  {
    const auto halfPath =
        dir.Write("half.pla", ".i 17\n.o 1\n0" + std::string(16, '-') + " 1\n-1" + std::string(15, '-') + " 1\n");
    TFunctionSystem rows, terms;
    LoadPlaFile(rows, halfPath, false);
    LoadPlaFile(terms, halfPath);
    rows.UpdateInputBits();
    terms.UpdateInputBits();
    testing::RecordingHost host, other;
    ASSERT_EQ(RunCommand(rows, modePOS, {}, host), TRunOutcome::Completed);
    ASSERT_EQ(RunCommand(terms, modePOS, {}, other), TRunOutcome::Completed);
    EXPECT_FALSE(rows.TermsInSource);
    EXPECT_EQ(host.Output, other.Output);
  }
  // After an edit the cubes no longer describe the functions.
  int32_t added = 1;
  while (loaded.Functions[0].Contains(added)) added += 7;
  loaded.Functions[0].Add(added, false);
  plain.Functions = loaded.Functions;
  EXPECT_EQ(run(loaded, viaCubes), run(plain, viaRows));
  EXPECT_NE(TermsIdentity(loaded.Functions), loaded.SourceIdentity);
  // A copy is the same functions; a changed kind or a deleted term is not.
  const auto identity = TermsIdentity(plain.Functions);
  auto copy = plain.Functions;
  EXPECT_EQ(TermsIdentity(copy), identity);
  copy[1].Maxterms = !copy[1].Maxterms;
  EXPECT_NE(TermsIdentity(copy), TermsIdentity(plain.Functions));
  copy = plain.Functions;
  copy[2].Delete(0);
  EXPECT_NE(TermsIdentity(copy), TermsIdentity(plain.Functions));
}

// The cube finder on a file's system of the other kind starts from the
// file's cubes complemented: the same primes, text and figures as the
// pairing, which lists the terms.
TEST(PlaRead, TheOtherKindFromTheComplementGivesThePairingsPrimes) {
  std::mt19937 rng(41);
  TempDir dir;
  for (int round = 0; round < 24; ++round) {
    const int inputs = 4 + round % 7, outputs = 1 + round % 3;
    std::string text = ".i " + std::to_string(inputs) + "\n.o " + std::to_string(outputs) + "\n.type " +
                       (round % 2 ? "fr" : "fd") + "\n";
    // (the on rows of an fr file have A = 1 and its off rows A = 0, so
    // that no term is in both)
    for (int r = 0; r < 3 + round; ++r) {
      const bool on = rng() % 2;
      text += round % 2 ? (on ? '1' : '0') : "01-"[rng() % 3];
      for (int p = 1; p < inputs; ++p) text += "01--"[rng() % 4];
      text += ' ';
      for (int q = 0; q < outputs; ++q) text += round % 2 ? (rng() % 2 ? (on ? '1' : '0') : '-') : "10-"[rng() % 3];
      text += '\n';
    }
    const auto path = dir.Write("other.pla", text);
    const auto run = [&](int mode, TPrimeMethod method) {
      TFunctionSystem system;
      LoadPlaFile(system, path);
      system.UpdateInputBits();
      TRunParams params;
      params.PrimeMethod = method;
      params.ConstantEmptyFunctions = true;
      testing::RecordingHost host;
      TRunStats stats;
      EXPECT_EQ(RunCommand(system, mode, {true, true, false}, host, &stats, params), TRunOutcome::Completed);
      return host.Output + host.LastStatus() + std::to_string(stats.Primes) + "/" + std::to_string(stats.ZeroCubes);
    };
    for (const int mode : {modeSOP, modePOS})
      EXPECT_EQ(run(mode, TPrimeMethod::Pairing), run(mode, TPrimeMethod::Cubes)) << text << mode;
  }
}

TEST(PlaRead, MalformedTextsNameTheLineAndTheFault) {
  const std::pair<const char*, const char*> cases[] = {
      {".i 3\n.o 1\n0x1 1\n", "Line 3: 'x' in input column 2 (expected 0, 1 or -)"},
      {".i 3\n.o 2\n011 1a\n", "Line 3: 'a' in output column 2 (expected 1, 0, -, ~, 2 or 4)"},
      {".i 3\n.o 1\n01 1\n", "Line 3: fewer characters than 3 inputs and 1 outputs"},
      {".i 3\n.o 1\n0101 1\n", "Line 3: more characters than 3 inputs and 1 outputs"},
      {"# wide\n.i 1025\n.o 1\n", "Line 2: .i 1025: too many inputs (at most 1024)"},
      {".i 99999999999999999999\n", "Line 1: .i 99999999999999999999: too many inputs (at most 1024)"},
      {".i 0\n", "Line 1: .i 0: a system needs at least one input"},
      {".i three\n", "Line 1: .i needs a number, not 'three'"},
      {".i 2 3\n", "Line 1: .i needs exactly one number"},
      {".i 2\n.o 1\n.i 2\n", "Line 3: .i appears twice"},
      {".i 2\n.o 0\n", "Line 2: .o 0: a system needs at least one output"},
      {".i 2\n.o 1\n.type fx\n", "Line 3: unknown .type 'fx' (known: f, fd, fr, fdr, r, dr)"},
      {".i 2\n.o 1\n00 1\n.type fr\n", "Line 4: .type must come before the first row"},
      {".i 2\n.o 1\n.phase 0\n", "Line 3: unsupported keyword .phase"},
      {".ilb a b\n.i 2\n", "Line 1: .ilb must come after .i"},
      {".i 2\n.o 1\n.ilb a b c\n", "Line 3: .ilb lists 3 names, .i declares 2"},
      {".i 2\n.o 2\n.ob x\n", "Line 3: .ob lists 1 of 2 names before the end of the file"},
      {".i 2\n.o 2\n.ob x\ny z\n", "Line 4: more names than .ob on line 3 needs"},
      {"01 1\n.i 2\n.o 1\n", "Line 1: a row before .i"},
      {".i 2\n01 1\n", "Line 2: a row before .o"},
      {".i 2\n", "No .o line: the number of outputs is missing"},
      {"", "No .i line: the number of inputs is missing"},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(text);
    try {
      ParsePlaText(text);
      ADD_FAILURE() << "no error";
    } catch (const PlaError& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
  }
}

TEST(PlaRead, TitleLineBeforeTheSizesIsPassedOver) {
  // Some classic files start with their name.
  const auto pla = ParsePlaText("test3\n.i 2\n.o 1\n11 1\n");
  EXPECT_EQ(pla.Functions.at(0), Minterms({{3, false}}));
}

TEST(PlaRead, ShortNameListRunsOnOverTheNextLines) {
  // As the reference reader does: here .p and its number become names.
  const auto pla = ParsePlaText(".i 2\n.o 3\n.ob x\n.p 2\n01 110\n11 001\n");
  EXPECT_EQ(pla.OutputNames, (std::vector<std::string>{"x", ".p", "2"}));
  EXPECT_EQ(pla.Functions.at(0), Minterms({{1, false}}));
  EXPECT_EQ(pla.Functions.at(2), Minterms({{3, false}}));
}

TEST(PlaRead, WidestCubesExpandToEveryTerm) {
  // 2^24 and 2^22 terms from one row each, and the don't-care fill of fr over
  // the whole 24-bit range.
  const std::string all(24, '-');
  const auto pla = ParsePlaText(".i 24\n.o 3\n.type fr\n" + all + " 1~~\n1" + std::string(22, '-') + "0 ~10\n" +
                                std::string(24, '0') + " ~~1\n");
  const auto& f0 = pla.Functions[0];
  ASSERT_EQ(f0.Count(), 1 << 24);
  EXPECT_EQ(f0.GetTerm(0), 0);
  EXPECT_EQ(f0.Largest(), (1 << 24) - 1);
  EXPECT_FALSE(f0.IsDontCare(12345));
  const auto& f1 = pla.Functions[1];  // on: 1...0; off: nowhere; the rest: don't care
  ASSERT_EQ(f1.Count(), 1 << 24);
  EXPECT_FALSE(f1.IsDontCare((1 << 23) | 2));
  EXPECT_TRUE(f1.IsDontCare((1 << 23) | 1));
  EXPECT_TRUE(f1.IsDontCare(2));
  const auto& f2 = pla.Functions[2];  // on: term 0; off: 1...0; the rest: don't care
  EXPECT_EQ(f2.Count(), (1 << 24) - (1 << 22));
  EXPECT_FALSE(f2.IsDontCare(0));
  EXPECT_TRUE(f2.IsDontCare(1));
  EXPECT_FALSE(f2.Contains((1 << 23) | 2));
}

TEST(PlaLoad, ThroughLoadSystemFileAsANewUnsavedSystem) {
  TempDir dir;
  const std::string plaPath = dir.Write("adder.PLA", ".i 2\n.o 2\n01 10\n10 10\n11 01\n");
  TFunctionSystem system;
  system.CurrentFileName = "old.trm";
  system.ResultReady = true;
  LoadSystemFile(system, plaPath);
  EXPECT_EQ(system.Functions, (std::vector<TTermVector>{Minterms({{1, false}, {2, false}}), Minterms({{3, false}})}));
  EXPECT_EQ(system.CurrentFileName, "");
  EXPECT_TRUE(system.Modified);
  EXPECT_FALSE(system.ResultReady);

  // A malformed file changes nothing.
  const auto before = system.Functions;
  system.Modified = false;
  const std::string bad = dir.Write("bad.pla", ".i 2\n.o 2\n01 10\n1 10\n");
  try {
    LoadSystemFile(system, bad);
    FAIL() << "no error";
  } catch (const PlaError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Line 4: ", 0), 0u) << e.what();
  }
  EXPECT_EQ(system.Functions, before);
  EXPECT_FALSE(system.Modified);

  // Other names are still term files, even with PLA text inside.
  const std::string trm = dir.Write("pla.trm", "-1, 2 |-3");
  LoadSystemFile(system, trm);
  EXPECT_EQ(system.CurrentFileName, trm);
  EXPECT_FALSE(system.Modified);
  EXPECT_EQ(system.Functions.size(), 2u);
}

TEST(PlaLoad, DeclaredInputsStayEvenWhenTheTopOnesAreNeverOn) {
  // Input A is never 1 in the on-set: the system still has three inputs, so
  // the result keeps A (a two-input reading would make the function 1 for
  // A = 1).
  TempDir dir;
  TFunctionSystem system;
  LoadSystemFile(system, dir.Write("narrow.pla", ".i 3\n.o 1\n0-1 1\n"));
  system.UpdateInputBits();
  EXPECT_EQ(system.InputBits, 3);
  struct Host : IEngineHost {
    std::string Text;
    void AppendOutput(const std::string& t) override { Text += t; }
    void SetStatus(const std::string&) override {}
    void Beep() override {}
  } host;
  ASSERT_EQ(RunCommand(system, modeSOP, {}, host), TRunOutcome::Completed);
  EXPECT_EQ(host.Text, "Optimized Function(s):\r\nf0 = (~A)(C)\r\n\r\n");
  // A term file or a new system derives the width from the terms again.
  LoadSystemFile(system, dir.Write("t.trm", "-1"));
  system.UpdateInputBits();
  EXPECT_EQ(system.InputBits, 1);
  LoadSystemFile(system, dir.Write("again.pla", ".i 4\n.o 1\n0001 1\n"));
  system.ResetSystem();
  EXPECT_EQ(system.ComputeInputBits(), 0);
}

TEST(PlaLoad, SignalNamesReplaceTheDefaultsOnlyWhereAsked) {
  // The full adder with its own names.
  TempDir dir;
  TFunctionSystem system;
  LoadSystemFile(system, dir.Write("adder.pla",
                                   ".i 3\n.o 2\n.ilb a b cin\n.ob sum cout\n"
                                   "001 10\n010 10\n100 10\n111 11\n011 01\n101 01\n110 01\n"));
  system.UpdateInputBits();
  EXPECT_EQ(system.Names.Inputs, (std::vector<std::string>{"a", "b", "cin"}));
  for (const int mode : {modeSOP, modePOS}) {
    testing::RecordingHost plain, named;
    TOutputOptions options;
    options.PrimeImplicants = true;
    ASSERT_EQ(RunCommand(system, mode, options, plain), TRunOutcome::Completed);
    options.SignalNames = true;
    ASSERT_EQ(RunCommand(system, mode, options, named), TRunOutcome::Completed);
    // The named text is the plain one with each name in place of its default.
    std::string expected = plain.Output;
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"A", "a"}, {"B", "b"}, {"C", "cin"}, {"f0", "sum"}, {"f1", "cout"}})
      expected = std::regex_replace(expected, std::regex("\\b" + from + "\\b"), to);
    EXPECT_EQ(named.Output, expected);
    EXPECT_NE(plain.Output, named.Output);

    // The PLA result carries them and reads back with them.
    const auto back = ParsePlaText(PlaText(*system.ResultCubes, 3, 2, mode, system.Names));
    EXPECT_EQ(back.InputNames, system.Names.Inputs);
    EXPECT_EQ(back.OutputNames, system.Names.Outputs);
  }
  // A term file has none.
  LoadSystemFile(system, dir.Write("t.trm", "1, 2"));
  EXPECT_TRUE(system.Names.Empty());
}

TEST(PlaLoad, ExampleEqualsItsTermFile) {
  TFunctionSystem pla, trm;
  LoadSystemFile(pla, (test::SourceDir() / "examples" / "bcd-7segment.pla").string());
  LoadSystemFile(trm, (test::SourceDir() / "examples" / "bcd-7segment.trm").string());
  EXPECT_EQ(pla.Functions, trm.Functions);
}

// The worked example's cubes: 0-0 (f0, f1), 1-1 (f0), -11 (f1).
TCover ExampleCover() {
  TCover c(3, 2);
  const uint64_t both = 3, f0 = 1, f1 = 2;
  c.Add(0b000, 0b010, &both);
  c.Add(0b101, 0b010, &f0);
  c.Add(0b011, 0b100, &f1);
  return c;
}

TEST(PlaWrite, RowsHeaderAndPolarity) {
  const std::string sop = PlaText(ExampleCover(), 3, 2, modeSOP);
  for (const char* line : {"\n.i 3\n", "\n.o 2\n", "\n.ilb A B C\n", "\n.ob f0 f1\n", "\n.type f\n", "\n.p 3\n",
                           "\n0-0 11\n1-1 10\n-11 01\n.e\n"})
    EXPECT_NE(sop.find(line), std::string::npos) << line;
  const std::string pos = PlaText(ExampleCover(), 3, 2, modePOS);
  for (const char* line : {"\n.type r\n", "\n0-0 00\n1-1 0~\n-11 ~0\n.e\n"})
    EXPECT_NE(pos.find(line), std::string::npos) << line;
  EXPECT_NE(pos.find("\n# Product of sums"), std::string::npos);
}

TEST(PlaWrite, ReadBackGivesTheCoverFunctions) {
  // Covers with shared cubes, a constant cube, a function without cubes and
  // no cubes at all, in both modes: the text read back is 1 exactly where
  // the cover's function is 1.
  std::vector<TCover> covers{ExampleCover(), TCover(3, 2)};
  TCover constant(2, 3);
  const uint64_t f0 = 1, f2 = 4;
  constant.Add(0, 0b11, &f0);
  constant.Add(0b01, 0b00, &f2);
  covers.push_back(constant);
  for (const auto& cover : covers)
    for (const int mode : {modeSOP, modePOS}) {
      SCOPED_TRACE(PlaText(cover, cover.Width, cover.FunctionCount, mode));
      const auto back = ParsePlaText(PlaText(cover, cover.Width, cover.FunctionCount, mode));
      ASSERT_EQ(back.Functions.size(), static_cast<size_t>(cover.FunctionCount));
      for (int f = 0; f < cover.FunctionCount; ++f)
        for (uint32_t row = 0; row < (1u << cover.Width); ++row)
          EXPECT_EQ(test::FunctionValue(back.Functions[f], row), test::CoverValue(cover, f, row, mode) ? '1' : '0')
              << "f" << f << " row " << row;
    }
}

TEST(PlaRead, AFewLinesCannotDeclareAnEndlessSystem) {
  // Under .type fr every row in neither set is a don't care: seventeen
  // outputs of 2^24 rows each would be 285 million terms.
  try {
    ParsePlaText(".i 24\n.o 17\n.type fr\n");
    FAIL() << "no error";
  } catch (const PlaError& e) {
    EXPECT_NE(std::string(e.what()).find("terms in all"), std::string::npos) << e.what();
  }
  EXPECT_EQ(ParsePlaText(".i 24\n.o 1\n.type fr\n").Functions[0].Count(), 1 << 24);
}

// A PLA or term text with its line feeds made into carriage returns and line
// feeds (crlf) or carriage returns alone (cr), and a byte-order mark before
// it (bom).
std::string Recoded(const std::string& text, bool bom, const char* lineEnd) {
  std::string out = bom ? "\xEF\xBB\xBF" : "";
  for (const char c : text) {
    if (c == '\n') out += lineEnd;
    else out += c;
  }
  return out;
}

// What a PLA text reads as: its functions and names, or its error.
std::string Reading(const std::string& text) {
  try {
    const auto pla = ParsePlaText(text);
    std::string r = std::to_string(pla.Inputs) + ":" + TermFileText(pla.Functions);
    for (const auto* names : {&pla.InputNames, &pla.OutputNames})
      for (const auto& n : *names) r += " " + n;
    return r;
  } catch (const PlaError& e) {
    return std::string("error: ") + e.what();
  }
}

// The example and benchmark files, and random texts (malformed ones among
// them, whose errors must name the same lines), read the same with any line
// ends and with a byte-order mark.
TEST(PlaRead, LineEndsAndAByteOrderMarkReadTheSame) {
  TempDir dir;
  std::vector<std::filesystem::path> files;
  for (const auto& folder : {test::SourceDir() / "examples", test::BenchPlaDir()}) {
    if (!std::filesystem::is_directory(folder)) continue;
    for (const auto& e : std::filesystem::directory_iterator(folder))
      if (e.file_size() < 8192) files.push_back(e.path());
  }
  ASSERT_GE(files.size(), 4u);
  for (const auto& file : files) {
    SCOPED_TRACE(file.string());
    const std::string text = check::ReadWholeFile(file.string()), name = file.filename().string();
    TFunctionSystem lf;
    LoadSystemFile(lf, dir.Write(name, text));
    for (const char* lineEnd : {"\r\n", "\r", "\n"})
      for (const bool bom : {false, true}) {
        TFunctionSystem other;
        LoadSystemFile(other, dir.Write(name, Recoded(text, bom, lineEnd)));
        EXPECT_EQ(other.Functions, lf.Functions) << "bom " << bom << " line end " << int(lineEnd[0]);
      }
  }
  std::mt19937 rng(5);
  const std::vector<std::string> pieces = {".i 3", ".o 2",    ".i 2",   ".type fr", ".ilb a b",
                                           "c",    ".ob x y", "01- 1~", "1-1 -1",   "0-0 11",
                                           "11 1", "# note",  "",       "title",    ".e"};
  for (int round = 0; round < 300; ++round) {
    std::string text;
    for (int n = static_cast<int>(rng() % 9); n > 0; --n) text += pieces[rng() % pieces.size()] + "\n";
    const std::string expected = Reading(text);
    for (const char* lineEnd : {"\r\n", "\r"})
      for (const bool bom : {false, true}) EXPECT_EQ(Reading(Recoded(text, bom, lineEnd)), expected) << text;
  }
}

TEST(PlaLoad, BinaryDataStopsTheReadAtItsBlock) {
  TempDir dir;
  const std::string bin = dir.Write("bin.pla", ".i 2\n.o 1\n01 1\n" + std::string(70000, '\0') + "11 1\n");
  const std::string zero = (dir.Path / "zero.pla").string();
  std::filesystem::create_symlink("/dev/zero", zero);
  TFunctionSystem system;
  LoadSystemFile(system, dir.Write("good.pla", ".i 2\n.o 1\n10 1\n"));
  const auto before = system.Functions;
  for (const auto& [path, name] : {std::pair{bin, "bin.pla"}, std::pair{zero, "zero.pla"}}) {
    try {
      LoadSystemFile(system, path);
      ADD_FAILURE() << path;
    } catch (const FileError& e) {
      EXPECT_EQ(std::string(e.what()), std::string(name) + " is not a PLA file (it holds binary data)");
    }
    EXPECT_EQ(system.Functions, before);
  }
}

// A PLA output without terms in the run's kind is a constant and prints its
// lines as it does beside other outputs: the lines of a one-output system
// are those of the same output in a system where another output comes first.
TEST(PlaLoad, AConstantOutputPrintsItsLinesAlone) {
  TempDir dir;
  struct Case {
    const char *alone, *beside;
    int mode;
  };
  const Case cases[] = {
      {"", "11 10\n", modeSOP},
      {"01 0\n", "01 10\n", modeSOP},
      {".type fr\n00 0\n01 0\n10 0\n11 0\n", ".type fr\n00 10\n01 00\n10 10\n11 00\n", modeSOP},
      {"01 -\n", "10 10\n01 0-\n", modeSOP},  // don't cares alone
      {"-- 1\n", "-- 01\n01 10\n", modePOS},
  };
  auto run = [&](const std::string& text, int mode, const TOutputOptions& options) {
    TFunctionSystem system;
    LoadSystemFile(system, dir.Write("c.pla", text));
    system.UpdateInputBits();
    testing::RecordingHost host;
    EXPECT_EQ(RunCommand(system, mode, options, host), TRunOutcome::Completed) << text;
    return host.Output;
  };
  // Every line of the function, without its name, in order.
  auto linesOf = [](const std::string& output, const std::string& name) {
    std::string lines;
    for (size_t at = output.find(name + " = "); at != std::string::npos; at = output.find(name + " = ", at + 1))
      lines += output.substr(at + name.size(), output.find('\n', at) - at - name.size()) + "|";
    return lines;
  };
  for (const auto& c : cases)
    for (const TOutputOptions options : {TOutputOptions{true, true, false}, TOutputOptions{true, true, true}}) {
      SCOPED_TRACE(c.alone);
      const std::string one = run(std::string(".i 2\n.o 1\n") + c.alone, c.mode, options);
      const std::string two = run(std::string(".i 2\n.o 2\n") + c.beside, c.mode, options);
      EXPECT_EQ(std::count(two.begin(), two.end(), '\n'), 8) << two;  // two sections of two lines and a gap
      EXPECT_EQ(linesOf(one, "f0"), linesOf(two, "f1")) << one << "\n" << two;
    }
  // A term file keeps the rule of empty lists: functions of don't cares
  // alone print no line.
  TFunctionSystem trm;
  LoadSystemFile(trm, dir.Write("dc.trm", "-1d, 2d"));
  trm.UpdateInputBits();
  testing::RecordingHost host;
  ASSERT_EQ(RunCommand(trm, modeSOP, {}, host), TRunOutcome::Completed);
  EXPECT_EQ(host.Output, "Optimized Function(s):\r\n\r\n");
}

// A wide PLA is loaded with its terms in its rows. Where the chart keeps a
// column per pair (few terms to each prime, here rows of single terms), the
// run lists them itself, to the text of the system loaded with them listed.
TEST(PlaRead, WideRowsOfSingleTermsRunFromTheirRows) {
  TempDir dir;
  std::mt19937 rng(3);
  for (int round = 0; round < 4; ++round) {
    std::string text = ".i 17\n.o 2\n";
    for (int r = 0; r < 40; ++r) {
      for (int p = 0; p < 17; ++p) text += "01"[rng() % 2];
      text += round % 2 ? " 11\n" : (rng() % 2 ? " 10\n" : " 01\n");
    }
    const auto path = dir.Write("single.pla", text);
    TFunctionSystem rows, terms;
    LoadPlaFile(rows, path, false);
    LoadPlaFile(terms, path);
    ASSERT_TRUE(rows.TermsInSource);
    rows.UpdateInputBits();
    terms.UpdateInputBits();
    testing::RecordingHost a, b;
    ASSERT_EQ(RunCommand(rows, modeSOP, {true, true, false}, a), TRunOutcome::Completed) << a.LastStatus();
    ASSERT_EQ(RunCommand(terms, modeSOP, {true, true, false}, b), TRunOutcome::Completed);
    EXPECT_EQ(a.Output, b.Output);
  }
}

// A load asked to stop (the window's Cancel) throws StoppedError wherever it
// is: reading, parsing or listing terms; the system is left as it was.
TEST(PlaLoad, AStoppedLoadThrowsAndChangesNothing) {
  TempDir dir;
  std::string pla = ".i 17\n.o 1\n";
  for (int r = 0; r < 5000; ++r) pla += std::bitset<17>(static_cast<unsigned long>(r) * 37).to_string() + " 1\n";
  const std::string plaPath = dir.Write("long.pla", pla), trmPath = dir.Write("long.trm", "-1, 2, 3 |+4");
  TFunctionSystem system;
  LoadPlaFile(system, plaPath, false);
  ASSERT_TRUE(system.TermsInSource);
  const auto before = system.Functions;
  std::atomic<bool> stop{true};
  {
    const TStopScope scope(&stop);
    for (const auto& path : {plaPath, trmPath}) EXPECT_THROW(LoadSystemFile(system, path), StoppedError) << path;
    EXPECT_THROW(ReadFileBytes(plaPath), StoppedError);
    EXPECT_THROW(ParsePlaText(pla, false), StoppedError);                                          // its rows alone
    EXPECT_THROW(ParsePlaText(".i 20\n.o 4\n" + std::string(20, '-') + " 1111\n"), StoppedError);  // a listing
    EXPECT_THROW(ParseTermFileText("-1, 2"), StoppedError);
    EXPECT_THROW(system.ListSourceTerms(), StoppedError);
    EXPECT_EQ(system.Functions, before);
    EXPECT_TRUE(system.TermsInSource);
  }
  // Not asked to stop, the same loads go through.
  LoadSystemFile(system, trmPath);
  EXPECT_EQ(TermFileText(system.Functions), "-1, 2, 3 |+4");
  EXPECT_NO_THROW(ParsePlaText(pla));
}

}  // namespace
}  // namespace tavro
