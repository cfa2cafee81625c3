// The PLA reader and writer on the classic benchmark files beside the
// project (../shared/bench): every PLA file describes the same functions as
// its term file, and a minimized result written as PLA and read back agrees
// with the original on its care set, after SOP and after POS runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "engine/io/FileIO.h"
#include "engine/io/Pla.h"
#include "engine/io/TermFile.h"
#include "engine/run/Minimize.h"
#include "support/InteropSupport.h"

namespace tavro {
namespace {

namespace fs = std::filesystem;

// Round trips cover the files of at most this many inputs.
constexpr int kRoundTripMaxInputs = 12;

std::vector<std::string> BenchNames() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(test::BenchPlaDir(), ec))
    if (entry.path().extension() == ".pla") names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The names of the files with at most kRoundTripMaxInputs inputs (by their
// .i line).
std::vector<std::string> RoundTripNames() {
  std::vector<std::string> names;
  for (const auto& name : BenchNames()) {
    std::ifstream in(test::BenchPlaDir() / (name + ".pla"));
    std::string word;
    int inputs = 0;
    while (in >> word)
      if (word == ".i" && in >> inputs) break;
    if (inputs > 0 && inputs <= kRoundTripMaxInputs) names.push_back(name);
  }
  return names;
}

// benchmarks.tsv: name -> number of constant-0 outputs left out of the term file.
std::map<std::string, int> DroppedOutputs() {
  std::map<std::string, int> dropped;
  std::ifstream in(test::BenchPlaDir().parent_path() / "benchmarks.tsv");
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::vector<std::string> f;
    std::string field;
    while (std::getline(fields, field, '\t')) f.push_back(field);
    if (f.size() >= 7) dropped[f[0]] = std::stoi(f[6]);
  }
  return dropped;
}

std::string TestName(const testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

TEST(PlaBench, FolderIsThere) {
  if (!fs::is_directory(test::BenchPlaDir())) {
    if (test::InCI()) FAIL() << "no benchmark folder " << test::BenchPlaDir();
    GTEST_SKIP() << "no benchmark folder " << test::BenchPlaDir();
  }
  EXPECT_GE(BenchNames().size(), 50u);
  EXPECT_GE(RoundTripNames().size(), 40u);
}

class PlaBenchFile : public testing::TestWithParam<std::string> {
 protected:
  TPlaSystem Read() const {
    return ParsePlaText(ReadFileBytes((test::BenchPlaDir() / (GetParam() + ".pla")).string()));
  }
};

TEST_P(PlaBenchFile, SameFunctionsAsTheTermFile) {
  const TPlaSystem pla = Read();
  const auto trm =
      ParseTermFileText(ReadFileBytes((test::BenchPlaDir().parent_path() / "trm" / (GetParam() + ".trm")).string()));
  std::vector<TTermVector> kept;
  for (const auto& f : pla.Functions)
    if (f.Count() > 0) kept.push_back(f);
  EXPECT_EQ(static_cast<int>(pla.Functions.size() - kept.size()), DroppedOutputs().at(GetParam()));
  ASSERT_EQ(kept.size(), trm.size());
  for (size_t i = 0; i < kept.size(); ++i) EXPECT_TRUE(kept[i] == trm[i]) << "function " << i;
}

class NullHost : public IEngineHost {
 public:
  void AppendOutput(const std::string&) override {}
  void SetStatus(const std::string&) override {}
  void Beep() override {}
};

// Minimizes the file's functions in the given mode, writes the result as PLA,
// reads it back and compares it with the functions on their care sets.
void RoundTrip(const TPlaSystem& pla, int mode) {
  // The width the engine derives; functions the run would refuse (constant
  // in the run's kind) are left out, as the term files leave out constants.
  TFunctionSystem probe;
  probe.Functions = pla.Functions;
  probe.UpdateInputBits();
  TFunctionSystem system;
  system.Functions.clear();
  for (const auto& f : pla.Functions) {
    if (test::EmptyInRunKind(f, probe.InputBits, mode)) continue;
    system.Functions.push_back(f);
  }
  if (system.Functions.empty()) GTEST_SKIP() << "every function is constant";
  system.UpdateInputBits();
  NullHost host;
  ASSERT_EQ(RunCommand(system, mode, TOutputOptions{}, host), TRunOutcome::Completed);
  const std::string text = PlaText(*system.ResultCubes, system.InputBits, system.FunctionCount(), mode);
  const TPlaSystem back = ParsePlaText(text);
  ASSERT_EQ(back.Functions.size(), system.Functions.size());
  const uint32_t rows = 1u << pla.Inputs;
  for (size_t i = 0; i < system.Functions.size(); ++i) {
    int wrong = 0, care = 0;
    for (uint32_t row = 0; row < rows; ++row) {
      const char want = test::FunctionValue(system.Functions[i], row);
      if (want == '-') continue;
      ++care;
      if (test::FunctionValue(back.Functions[i], row) != want) ++wrong;
    }
    EXPECT_EQ(wrong, 0) << "function " << i << ": " << wrong << " of " << care << " care rows";
  }
}

class PlaRoundTrip : public PlaBenchFile {};

TEST_P(PlaRoundTrip, SopResultAsPlaAgreesOnTheCareSet) {
  const TPlaSystem pla = Read();
  ASSERT_LE(pla.Inputs, kRoundTripMaxInputs);
  RoundTrip(pla, modeSOP);
}

TEST_P(PlaRoundTrip, PosResultAsPlaAgreesOnTheCareSet) {
  const TPlaSystem pla = Read();
  ASSERT_LE(pla.Inputs, kRoundTripMaxInputs);
  RoundTrip(pla, modePOS);
}

INSTANTIATE_TEST_SUITE_P(Files, PlaBenchFile, testing::ValuesIn(BenchNames()), TestName);
INSTANTIATE_TEST_SUITE_P(Files, PlaRoundTrip, testing::ValuesIn(RoundTripNames()), TestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(PlaBenchFile);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(PlaRoundTrip);

}  // namespace
}  // namespace tavro
