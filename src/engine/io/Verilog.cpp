#include "engine/io/Verilog.h"

#include "engine/io/FileIO.h"
#include "engine/io/HdlBody.h"

namespace tavro {

namespace {

const THdlSyntax kVerilog = {
    .CubeStart = "  assign x",
    .CubeAssign = " = ",
    .OutputStart = "  assign out[",
    .OutputAssign = "] = ",
    .And = " & ",
    .Or = " | ",
    .Not = "~",
    .InputStart = "in[",
    .InputEnd = "]",
    .SignalStart = "x",
    .SignalEnd = "",
    .One = "1'b1",
    .Zero = "1'b0",
    .StatementEnd = ";\r\n",
};

}  // namespace

std::string VerilogText(const TCover& cubes, int inputBits, int functionCount, int mode, const std::string& date,
                        const TSignalNames& names) {
  const std::string crlf = "\r\n";

  std::string t;
  AppendHdlHeader(t, "//" + std::string(68, '-'), "//", date);
  AppendHdlNames(t, "//", names, inputBits, functionCount, kVerilog, "out[");
  t += "module SOP (" + crlf;
  t += "  input  wire [" + std::to_string(inputBits - 1) + ":0] in," + crlf;
  t += "  output wire [" + std::to_string(functionCount - 1) + ":0] out" + crlf;
  t += ");" + crlf;
  if (!cubes.Empty()) {
    t += "  wire " + HdlSignalList(cubes.Count()) + ";" + crlf;
  }

  AppendHdlStatements(t, cubes, functionCount, mode, kVerilog);
  t += "endmodule" + crlf;
  return t;
}

void WriteVerilog(const TCover& cubes, const std::string& path, int mode, int inputBits, int functionCount,
                  const std::string& date, const TSignalNames& names) {
  WriteFileAtomic(path, VerilogText(cubes, inputBits, functionCount, mode, date, names));
}

}  // namespace tavro
