#pragma once
// The statements the VHDL and Verilog forms of a result share: one signal per
// cube (the product, or after a POS run the sum, of its literals) and one per
// output (the sum, or after a POS run the product, of its cubes' signals).
// Each language gives its own spelling of the same walk.

#include <string>

#include "engine/core/Cover.h"
#include "engine/core/SignalNames.h"

namespace tavro {

// How one language spells the statements; every field is appended as it is.
struct THdlSyntax {
  const char* CubeStart;     // before the cube's number: "  x"
  const char* CubeAssign;    // after it, up to the expression: " <= "
  const char* OutputStart;   // before the output's number: "  output("
  const char* OutputAssign;  // after it: ") <= "
  const char* And;           // between two operands of a product
  const char* Or;            // between two operands of a sum
  const char* Not;           // before a complemented input
  const char* InputStart;    // before an input's number: "input("
  const char* InputEnd;      // after it: ") "
  const char* SignalStart;   // before a cube's number, as an operand: "x"
  const char* SignalEnd;     // after it: " "
  const char* One;           // the constants
  const char* Zero;
  const char* StatementEnd;  // the end of a statement, line end included
};

// Appends the header comment both languages open with: a rule, the author,
// date, description and comment lines (each started by comment and a blank),
// and the rule again; every line ends in CR LF.
void AppendHdlHeader(std::string& text, const std::string& rule, const std::string& comment, const std::string& date);

// Appends, where the system's signals are named, one comment line per input
// and output that gives its name: "<comment>   in[0]  a" with port the
// language's spelling of the port and its index ("in[", "]").
void AppendHdlNames(std::string& text, const std::string& comment, const TSignalNames& names, int inputBits,
                    int functionCount, const THdlSyntax& syntax, const std::string& outputPort);

// "x0, x1, ..., xN" for the cover's cubes, N = count - 1 ("x0" when empty).
std::string HdlSignalList(size_t count);

// Appends the cube statements, then the output statements, to text. A cube
// without literals is One after an SOP run and Zero after a POS run; an output
// without cubes the other way round. functionCount outputs are written, also
// those past the cover's FunctionCount (which have no cubes).
void AppendHdlStatements(std::string& text, const TCover& cubes, int functionCount, int mode, const THdlSyntax& syntax);

}  // namespace tavro
