// Proof of the generated HDL by simulation: for a set of systems (the worked
// examples, the example files, constants, all-don't-care functions, a single
// minterm at 0, random systems with 1-8 inputs and 1-4 functions of both
// kinds with don't cares), minimized by SOP and by POS runs, the VHDL runs in
// GHDL and the Verilog in Icarus Verilog under a generated testbench that
// applies every input row and checks every output on every care row against
// the function as the user entered it. All designs go through one simulator
// invocation per language; each design's entity or module is renamed SOP_<k>
// for that (one further test runs the files exactly as written).
//
// Without the simulators the tests skip, except in CI (CI=true), where they
// fail.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "engine/io/FileIO.h"
#include "engine/io/TermFile.h"
#include "engine/io/Verilog.h"
#include "engine/io/Vhdl.h"
#include "engine/run/Minimize.h"
#include "support/InteropSupport.h"

namespace tavro {
namespace {

namespace fs = std::filesystem;

const char* const kDate = "12/08/26";

struct Design {
  std::string Name;  // what the system is, for messages
  std::vector<TTermVector> Functions;
  int Mode = modeSOP;
  int Width = 0;
  std::shared_ptr<const TCover> Cover;
  // Per function, per row: '1', '0' or '-', from the functions as entered.
  std::vector<std::string> Expected;
  int64_t CareCells = 0;
};

class NullHost : public IEngineHost {
 public:
  void AppendOutput(const std::string&) override {}
  void SetStatus(const std::string&) override {}
  void Beep() override {}
};

// Runs the system; false when the run refuses it.
bool Minimize(Design& d) {
  TFunctionSystem system;
  system.Functions = d.Functions;
  system.UpdateInputBits();
  NullHost host;
  if (RunCommand(system, d.Mode, TOutputOptions{}, host) != TRunOutcome::Completed) return false;
  d.Width = system.InputBits;
  d.Cover = system.ResultCubes;
  const uint32_t rows = 1u << d.Width;
  d.Expected.clear();
  d.CareCells = 0;
  for (const auto& f : d.Functions) {
    std::string column(rows, '-');
    for (uint32_t r = 0; r < rows; ++r) {
      column[r] = test::FunctionValue(f, r);
      if (column[r] != '-') ++d.CareCells;
    }
    d.Expected.push_back(column);
  }
  return true;
}

TTermVector Fn(bool maxterms, const std::vector<std::pair<int32_t, bool>>& items) {
  TTermVector f;
  f.Maxterms = maxterms;
  f.AddAll(items);
  return f;
}

TTermVector Terms(bool maxterms, std::initializer_list<int32_t> terms) {
  std::vector<std::pair<int32_t, bool>> items;
  for (const int32_t t : terms) items.emplace_back(t, false);
  return Fn(maxterms, items);
}

std::vector<Design> BuildDesigns() {
  std::vector<std::pair<std::string, std::vector<TTermVector>>> systems;
  systems.push_back({"two functions over 2 bits", {Terms(false, {0, 1}), Terms(false, {1, 3})}});
  systems.push_back({"shared cube 0-0", {Terms(false, {0, 2, 5, 7}), Terms(false, {0, 2, 3, 7})}});
  for (const char* name : {"full-adder", "bcd-7segment", "majority-maxterms"})
    systems.push_back({name, ParseTermFileText(ReadFileBytes(
                                 (test::SourceDir() / "examples" / (std::string(name) + ".trm")).string()))});
  // Constant 1 (SOP: the constant cube), constant 0 given as maxterms (POS:
  // the constant cube), each beside an ordinary function.
  systems.push_back({"constant 1 beside XOR", {Terms(false, {0, 1, 2, 3}), Terms(false, {1, 2})}});
  systems.push_back({"constant 0 beside AND", {Terms(true, {0, 1, 2, 3}), Terms(false, {3})}});
  systems.push_back({"constant 1 alone", {Terms(false, {0, 1})}});
  systems.push_back({"constant 0 alone", {Terms(true, {0, 1, 2, 3, 4, 5, 6, 7})}});
  systems.push_back(
      {"all don't care beside XOR", {Fn(false, {{0, true}, {1, true}, {2, true}, {3, true}}), Terms(false, {1, 2})}});
  systems.push_back({"all don't care alone", {Fn(false, {{0, true}, {1, true}, {2, true}, {3, true}})}});
  systems.push_back({"all don't care maxterms beside OR",
                     {Fn(true, {{0, true}, {1, true}, {2, true}, {3, true}}), Terms(true, {0})}});
  systems.push_back({"single minterm 0", {Terms(false, {0})}});
  systems.push_back({"single minterm 0 beside term 5", {Terms(false, {0}), Terms(false, {5})}});

  // Random systems: 1-8 inputs, 1-4 functions, either kind, with don't cares.
  std::mt19937 rng(20261208);
  for (int n = 0; n < 16; ++n) {
    const int width = 1 + n % 8;
    const int count = 1 + static_cast<int>(rng() % 4);
    std::vector<TTermVector> fns;
    for (int f = 0; f < count; ++f) {
      std::vector<std::pair<int32_t, bool>> items;
      const bool maxterms = rng() % 2;
      for (int32_t t = 0; t < (1 << width); ++t) {
        const uint32_t roll = rng() % 100;
        if (roll < 35) items.emplace_back(t, false);
        else if (roll < 50) items.emplace_back(t, true);
      }
      // The top row fixes the width, as a term of either flag.
      items.emplace_back((1 << width) - 1, rng() % 2);
      fns.push_back(Fn(maxterms, items));
    }
    systems.push_back({"random " + std::to_string(n) + " (" + std::to_string(width) + " inputs, " +
                           std::to_string(count) + " functions)",
                       fns});
  }

  std::vector<Design> designs;
  for (const auto& [name, fns] : systems)
    for (const int mode : {modeSOP, modePOS}) {
      Design d;
      d.Name = name + (mode == modeSOP ? ", SOP" : ", POS");
      d.Functions = fns;
      d.Mode = mode;
      // A constant in the run's kind is refused by design (constant 0 in an
      // SOP run, constant 1 in a POS run): those pairs are left out.
      if (Minimize(d)) designs.push_back(std::move(d));
    }
  return designs;
}

const std::vector<Design>& Designs() {
  static const std::vector<Design> designs = BuildDesigns();
  return designs;
}

// Replaces the one occurrence of from by to.
void ReplaceOnce(std::string& text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  ASSERT_EQ(text.find(from, at + 1), std::string::npos) << from;
  text.replace(at, from.size(), to);
}

// Every other design is written with signal names as a PLA file may give
// them, some spelled like the language's own syntax: they are comments only,
// so the design still compiles and behaves the same.
TSignalNames NamesFor(size_t k, const Design& d) {
  if (k % 2 == 0) return {};
  TSignalNames names;
  const char* awkward[] = {"a[0]", "*/", "--x", "end;",
                           "\x01"
                           "bell"};
  for (int p = 0; p < d.Width; ++p) names.Inputs.push_back(awkward[p % 5] + std::to_string(p));
  names.Outputs.push_back("out*/");
  return names;
}

std::string Suffix(size_t k, size_t count) { return count == 1 ? "" : "_" + std::to_string(k); }

std::string VhdlDesigns(const std::vector<Design>& designs) {
  std::string all;
  for (size_t k = 0; k < designs.size(); ++k) {
    const Design& d = designs[k];
    std::string text = VhdlText(*d.Cover, d.Width, static_cast<int>(d.Functions.size()), d.Mode, kDate, NamesFor(k, d));
    const std::string name = "SOP" + Suffix(k, designs.size());
    if (name != "SOP") {
      ReplaceOnce(text, "entity SOP is", "entity " + name + " is");
      ReplaceOnce(text, "end SOP;", "end " + name + ";");
      ReplaceOnce(text, "architecture struct of SOP is", "architecture struct of " + name + " is");
    }
    all += text + "\r\n";
  }
  return all;
}

std::string VhdlTestbench(const std::vector<Design>& designs) {
  std::ostringstream decl, body;
  for (size_t k = 0; k < designs.size(); ++k) {
    const Design& d = designs[k];
    const std::string s = std::to_string(k);
    const size_t rows = size_t{1} << d.Width;
    const size_t fns = d.Functions.size();
    decl << "  type table_" << s << " is array (0 to " << fns - 1 << ") of string(1 to " << rows << ");\n";
    decl << "  constant expect_" << s << " : table_" << s << " := (";
    for (size_t i = 0; i < fns; ++i) decl << (i ? ", " : "") << i << " => \"" << d.Expected[i] << "\"";
    decl << ");\n";
    decl << "  signal in_" << s << " : std_logic_vector(" << d.Width - 1 << " downto 0);\n";
    decl << "  signal out_" << s << " : std_logic_vector(" << fns - 1 << " downto 0);\n";
    body << "  dut_" << s << ": entity work.SOP" << Suffix(k, designs.size()) << " port map (input => in_" << s
         << ", output => out_" << s << ");\n";
    body << "  check_" << s << ": process\n"
         << "    variable checked : natural := 0;\n"
         << "    variable e : character;\n"
         << "  begin\n"
         << "    for r in 0 to " << rows - 1 << " loop\n"
         << "      for p in 0 to " << d.Width - 1 << " loop\n"
         << "        if (r / 2**(" << d.Width - 1 << " - p)) mod 2 = 1 then in_" << s << "(p) <= '1'; else in_" << s
         << "(p) <= '0'; end if;\n"
         << "      end loop;\n"
         << "      wait for 1 ns;\n"
         << "      for i in 0 to " << fns - 1 << " loop\n"
         << "        e := expect_" << s << "(i)(r + 1);\n"
         << "        if e /= '-' then\n"
         << "          checked := checked + 1;\n"
         << "          if (e = '1' and out_" << s << "(i) /= '1') or (e = '0' and out_" << s << "(i) /= '0') then\n"
         << "            report \"MISMATCH design " << s
         << " row \" & integer'image(r) & \" output \" & integer'image(i) severity note;\n"
         << "          end if;\n"
         << "        end if;\n"
         << "      end loop;\n"
         << "    end loop;\n"
         << "    report \"DONE design " << s << " checked \" & integer'image(checked) severity note;\n"
         << "    wait;\n"
         << "  end process;\n";
  }
  return "library IEEE;\nuse IEEE.std_logic_1164.all;\nentity tb is\nend tb;\n"
         "architecture sim of tb is\n" +
         decl.str() + "begin\n" + body.str() + "end sim;\n";
}

std::string VerilogDesigns(const std::vector<Design>& designs) {
  std::string all;
  for (size_t k = 0; k < designs.size(); ++k) {
    const Design& d = designs[k];
    std::string text =
        VerilogText(*d.Cover, d.Width, static_cast<int>(d.Functions.size()), d.Mode, kDate, NamesFor(k, d));
    if (designs.size() > 1) ReplaceOnce(text, "module SOP (", "module SOP" + Suffix(k, designs.size()) + " (");
    all += text;
  }
  return all;
}

std::string VerilogTestbench(const std::vector<Design>& designs) {
  std::ostringstream t;
  t << "module tb;\n";
  for (size_t k = 0; k < designs.size(); ++k) {
    const Design& d = designs[k];
    const std::string s = std::to_string(k);
    const size_t rows = size_t{1} << d.Width;
    const size_t fns = d.Functions.size();
    t << "  reg [" << d.Width - 1 << ":0] in_" << s << ";\n"
      << "  wire [" << fns - 1 << ":0] out_" << s << ";\n"
      << "  reg [" << rows - 1 << ":0] care_" << s << " [0:" << fns - 1 << "];\n"
      << "  reg [" << rows - 1 << ":0] value_" << s << " [0:" << fns - 1 << "];\n"
      << "  integer r_" << s << ", p_" << s << ", i_" << s << ", checked_" << s << ";\n"
      << "  SOP" << Suffix(k, designs.size()) << " dut_" << s << " (.in(in_" << s << "), .out(out_" << s << "));\n"
      << "  initial begin\n";
    for (size_t i = 0; i < fns; ++i) {
      std::string care, value;  // most significant (last) row first
      for (size_t r = rows; r-- > 0;) {
        care += d.Expected[i][r] == '-' ? '0' : '1';
        value += d.Expected[i][r] == '1' ? '1' : '0';
      }
      t << "    care_" << s << "[" << i << "] = " << rows << "'b" << care << ";\n"
        << "    value_" << s << "[" << i << "] = " << rows << "'b" << value << ";\n";
    }
    t << "    checked_" << s << " = 0;\n"
      << "    for (r_" << s << " = 0; r_" << s << " < " << rows << "; r_" << s << " = r_" << s << " + 1) begin\n"
      << "      for (p_" << s << " = 0; p_" << s << " < " << d.Width << "; p_" << s << " = p_" << s << " + 1)\n"
      << "        in_" << s << "[p_" << s << "] = (r_" << s << " >> (" << d.Width - 1 << " - p_" << s << ")) & 1;\n"
      << "      #1;\n"
      << "      for (i_" << s << " = 0; i_" << s << " < " << fns << "; i_" << s << " = i_" << s << " + 1)\n"
      << "        if (care_" << s << "[i_" << s << "][r_" << s << "]) begin\n"
      << "          checked_" << s << " = checked_" << s << " + 1;\n"
      << "          if (out_" << s << "[i_" << s << "] !== value_" << s << "[i_" << s << "][r_" << s << "])\n"
      << "            $display(\"MISMATCH design " << s << " row %0d output %0d\", r_" << s << ", i_" << s << ");\n"
      << "        end\n"
      << "    end\n"
      << "    $display(\"DONE design " << s << " checked %0d\", checked_" << s << ");\n"
      << "  end\n";
  }
  t << "endmodule\n";
  return t.str();
}

bool HaveTool(const char* tool) {
  return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0;
}

#define REQUIRE_TOOLS(...)                                     \
  for (const char* tool : {__VA_ARGS__})                       \
    if (!HaveTool(tool)) {                                     \
      if (test::InCI()) FAIL() << tool << " is not installed"; \
      GTEST_SKIP() << tool << " is not installed";             \
    }

class SimDir {
 public:
  SimDir() {
    std::random_device rd;
    Path = fs::temp_directory_path() / ("tavro-hdl-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(Path);
  }
  ~SimDir() { fs::remove_all(Path); }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(Path / name, std::ios::binary) << text;
  }
  // Runs the shell command in the folder; returns its exit status and puts
  // its output (stdout and stderr) into output.
  int Run(const std::string& command, std::string& output) const {
    const fs::path log = Path / "run.log";
    const int status =
        std::system(("cd '" + Path.string() + "' && (" + command + ") >'" + log.string() + "' 2>&1").c_str());
    std::ifstream in(log);
    output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return status;
  }
  fs::path Path;
};

// Checks the simulator's report: every design finished, checked every care
// cell, and no output differed.
void CheckReport(const std::vector<Design>& designs, const std::string& output) {
  std::vector<long long> checked(designs.size(), -1);
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    unsigned long k = 0, row = 0, fn = 0;
    long long count = 0;
    if (const size_t at = line.find("DONE design "); at != std::string::npos) {
      ASSERT_EQ(std::sscanf(line.c_str() + at, "DONE design %lu checked %lld", &k, &count), 2) << line;
      checked.at(k) = count;
    } else if (const size_t at = line.find("MISMATCH design "); at != std::string::npos) {
      ASSERT_EQ(std::sscanf(line.c_str() + at, "MISMATCH design %lu row %lu output %lu", &k, &row, &fn), 3) << line;
      ADD_FAILURE() << designs.at(k).Name << ": output " << fn << " wrong on row " << row;
    }
  }
  for (size_t k = 0; k < designs.size(); ++k)
    EXPECT_EQ(checked[k], designs[k].CareCells) << designs[k].Name << " (design " << k << ")";
}

void SimulateVhdl(const std::vector<Design>& designs) {
  SimDir dir;
  dir.Write("designs.vhd", VhdlDesigns(designs));
  dir.Write("tb.vhd", VhdlTestbench(designs));
  std::string output;
  const int status = dir.Run("ghdl -a designs.vhd tb.vhd && ghdl -e tb && ghdl -r tb", output);
  ASSERT_EQ(status, 0) << output;
  CheckReport(designs, output);
}

void SimulateVerilog(const std::vector<Design>& designs) {
  SimDir dir;
  dir.Write("designs.v", VerilogDesigns(designs));
  dir.Write("tb.v", VerilogTestbench(designs));
  std::string output;
  const int status = dir.Run("iverilog -g2001 -Wall -o sim.vvp designs.v tb.v && vvp -n sim.vvp", output);
  ASSERT_EQ(status, 0) << output;
  // Icarus warns, among others, about ports and wires it cannot connect.
  EXPECT_EQ(output.find("warning"), std::string::npos) << output;
  CheckReport(designs, output);
}

TEST(HdlSimulation, DesignSetCoversTheCases) {
  // The set holds, after SOP and after POS runs, constant cubes, outputs
  // without any cube and results without any cube.
  const auto& designs = Designs();
  EXPECT_GE(designs.size(), 45u);
  bool constantCube[2] = {false, false}, bareOutput[2] = {false, false}, noCube[2] = {false, false};
  for (const auto& d : designs) {
    noCube[d.Mode] |= d.Cover->Empty();
    for (size_t k = 0; k < d.Cover->Count(); ++k)
      if (d.Cover->Mask(k) == (uint32_t{1} << d.Width) - 1) constantCube[d.Mode] = true;
    for (int f = 0; f < d.Cover->FunctionCount; ++f) {
      bool any = false;
      for (size_t k = 0; k < d.Cover->Count(); ++k) any |= d.Cover->Tag(k, f);
      if (!any) bareOutput[d.Mode] = true;
    }
  }
  EXPECT_TRUE(constantCube[modeSOP] && constantCube[modePOS]);
  EXPECT_TRUE(bareOutput[modeSOP] && bareOutput[modePOS]);
  EXPECT_TRUE(noCube[modeSOP] && noCube[modePOS]);
}

TEST(HdlSimulation, VhdlInGhdl) {
  REQUIRE_TOOLS("ghdl");
  SimulateVhdl(Designs());
}

TEST(HdlSimulation, VerilogInIcarus) {
  REQUIRE_TOOLS("iverilog", "vvp");
  SimulateVerilog(Designs());
}

TEST(HdlSimulation, FilesAsWrittenWithoutRenaming) {
  REQUIRE_TOOLS("ghdl", "iverilog", "vvp");
  // One design per run: the entity and module keep their name SOP.
  for (const size_t k : {size_t{1}, size_t{2}}) {
    const std::vector<Design> one{Designs().at(k)};
    SCOPED_TRACE(one[0].Name);
    SimulateVhdl(one);
    SimulateVerilog(one);
  }
}

}  // namespace
}  // namespace tavro
