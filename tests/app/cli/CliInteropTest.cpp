// tavro-cli with PLA files: a .pla FILE (any case) gives the same output as
// the same functions in a term file, --pla and --verilog write the result,
// and a malformed PLA file is refused with its line.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "engine/io/FileIO.h"
#include "engine/io/Pla.h"
#include "engine/io/TermFile.h"
#include "support/InteropSupport.h"

namespace tavro {
namespace {

namespace fs = std::filesystem;

class CliDir {
 public:
  CliDir() {
    std::random_device rd;
    Path = fs::temp_directory_path() / ("tavro-cli-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(Path);
  }
  ~CliDir() { fs::remove_all(Path); }
  std::string File(const std::string& name) const { return (Path / name).string(); }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(Path / name, std::ios::binary) << text;
    return File(name);
  }
  // Runs tavro-cli with the arguments; returns its exit status.
  int Cli(const std::string& args) {
    const std::string command =
        std::string("'") + TAVRO_CLI + "' " + args + " >'" + File("stdout") + "' 2>'" + File("stderr") + "'";
    const int status = std::system(command.c_str());
    Stdout = ReadFileBytes(File("stdout"));
    Stderr = ReadFileBytes(File("stderr"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  fs::path Path;
  std::string Stdout, Stderr;
};

// Three outputs over four inputs, with an fr don't-care fill.
const char* const kPla =
    ".i 4\n.o 3\n.type fr\n"
    "0--1 101\n"
    "1-1- 110\n"
    "0000 000\n"
    "1100 011\n"
    "1001 001\n";

TEST(CliPla, ReadsPlaLikeTheSameTermFileAndWritesTheResult) {
  CliDir dir;
  const std::string pla = dir.Write("sys.PLA", kPla);
  const TPlaSystem system = ParsePlaText(kPla);
  const std::string trm = dir.Write("sys.trm", TermFileText(system.Functions));

  for (const char* mode : {"--sop", "--pos"}) {
    SCOPED_TRACE(mode);
    ASSERT_EQ(dir.Cli(std::string(mode) + " '" + trm + "'"), 0) << dir.Stderr;
    const std::string fromTerms = dir.Stdout;
    ASSERT_EQ(dir.Cli(std::string(mode) + " --pla '" + dir.File("out.pla") + "' --verilog '" + dir.File("out.v") +
                      "' --date 1/2/26 '" + pla + "'"),
              0)
        << dir.Stderr;
    EXPECT_EQ(dir.Stdout, fromTerms);
    EXPECT_NE(dir.Stdout.find("f2 = "), std::string::npos);

    const std::string written = ReadFileBytes(dir.File("out.pla"));
    EXPECT_NE(written.find(std::string(mode) == "--sop" ? ".type f\n" : ".type r\n"), std::string::npos);
    const TPlaSystem back = ParsePlaText(written);
    ASSERT_EQ(back.Functions.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
      for (uint32_t row = 0; row < 16; ++row) {
        const char want = test::FunctionValue(system.Functions[i], row);
        if (want != '-') {
          EXPECT_EQ(test::FunctionValue(back.Functions[i], row), want) << i << "/" << row;
        }
      }
    const std::string verilog = ReadFileBytes(dir.File("out.v"));
    EXPECT_NE(verilog.find("// Date: 1/2/26\r\n"), std::string::npos);
    EXPECT_NE(verilog.find("module SOP (\r\n  input  wire [3:0] in,\r\n  output wire [2:0] out\r\n"),
              std::string::npos);
  }
}

TEST(CliPla, MalformedFileIsRefusedWithItsLine) {
  CliDir dir;
  const std::string bad = dir.Write("bad.pla", ".i 2\n.o 1\n0x 1\n");
  EXPECT_EQ(dir.Cli("--pla '" + dir.File("out.pla") + "' '" + bad + "'"), 2);
  EXPECT_EQ(dir.Stderr, "tavro-cli: " + bad + ": Line 3: 'x' in input column 2 (expected 0, 1 or -)\n");
  EXPECT_FALSE(fs::exists(dir.File("out.pla")));

  EXPECT_EQ(dir.Cli("'" + bad + "' --verilog"), 2);
  EXPECT_NE(dir.Stderr.find("'--verilog' needs a value"), std::string::npos) << dir.Stderr;
}

}  // namespace
}  // namespace tavro
