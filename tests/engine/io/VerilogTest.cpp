// The Verilog text has the VHDL text's structure: the same header fields,
// and line for line the same assignments with the same input numbering,
// polarity and constants, for random covers after SOP and POS runs.

#include "engine/io/Verilog.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "engine/core/FunctionSystem.h"
#include "engine/io/Vhdl.h"

namespace tavro {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
}

// A VHDL assignment line in Verilog words: "  x1 <= not input(0) and
// input(2) after 0 ps;" becomes "  assign x1 = ~in[0] & in[2];".
std::string Transliterate(std::string line) {
  ReplaceAll(line, " after 0 ps;", ";");
  ReplaceAll(line, " ;", ";");
  ReplaceAll(line, " <= ", " = ");
  ReplaceAll(line, "not ", "~");
  ReplaceAll(line, "output(", "out[");
  ReplaceAll(line, "input(", "in[");
  ReplaceAll(line, ")", "]");
  ReplaceAll(line, " and ", " & ");
  ReplaceAll(line, " or ", " | ");
  ReplaceAll(line, "'1'", "1'b1");
  ReplaceAll(line, "'0'", "1'b0");
  return "  assign " + line.substr(2);
}

TCover RandomCover(std::mt19937& rng, int width, int functions, size_t cubes) {
  TCover cover(width, functions);
  const uint32_t all = (uint32_t{1} << width) - 1;
  for (size_t k = 0; k < cubes; ++k) {
    // Every fourth cube is the constant cube; the last function gets no cube.
    const uint32_t mask = k % 4 == 3 ? all : static_cast<uint32_t>(rng()) & all;
    const uint32_t value = static_cast<uint32_t>(rng()) & all & ~mask;
    uint64_t tags = (rng() & ((uint64_t{1} << (functions - 1)) - 1)) | 1;
    cover.Add(value, mask, &tags);
  }
  return cover;
}

TEST(VerilogText, SameStructureAsTheVhdl) {
  std::mt19937 rng(7);
  int compared = 0;
  for (int n = 0; n < 12; ++n) {
    const int width = 1 + n % 6, functions = 2 + n % 3;
    const TCover cover = RandomCover(rng, width, functions, static_cast<size_t>(n));
    for (const int mode : {modeSOP, modePOS}) {
      SCOPED_TRACE("cover " + std::to_string(n) + (mode == modeSOP ? " SOP" : " POS"));
      const auto vhdl = Lines(VhdlText(cover, width, functions, mode, "1/2/26"));
      const auto verilog = Lines(VerilogText(cover, width, functions, mode, "1/2/26"));
      // Header: a rule, four fields, a rule; "//" in place of "--".
      ASSERT_GE(verilog.size(), 6u);
      EXPECT_EQ(verilog[0], "//" + std::string(68, '-'));
      EXPECT_EQ(verilog[5], verilog[0]);
      for (size_t i = 1; i < 5; ++i) EXPECT_EQ(verilog[i], "//" + vhdl[i].substr(2));
      EXPECT_EQ(verilog[6], "module SOP (");
      EXPECT_EQ(verilog[7], "  input  wire [" + std::to_string(width - 1) + ":0] in,");
      EXPECT_EQ(verilog[8], "  output wire [" + std::to_string(functions - 1) + ":0] out");
      // The assignments, cube lines then output lines, in the same order.
      std::vector<std::string> expected, actual;
      for (const auto& line : vhdl)
        if (line.find(" <= ") != std::string::npos) expected.push_back(Transliterate(line));
      for (const auto& line : verilog)
        if (line.rfind("  assign ", 0) == 0) actual.push_back(line);
      EXPECT_EQ(actual, expected);
      compared += static_cast<int>(actual.size());
      // One wire per cube, none without cubes.
      const bool declares = verilog[10].rfind("  wire x0", 0) == 0;
      EXPECT_EQ(declares, !cover.Empty()) << verilog[10];
      EXPECT_EQ(verilog.back(), "endmodule");
    }
  }
  EXPECT_GT(compared, 100);
}

}  // namespace
}  // namespace tavro
