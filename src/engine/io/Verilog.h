#pragma once
// The Verilog-2001 form of a result: module SOP with the ports "in" and "out",
// one wire per cube and one assignment per output; the same structure, bit
// numbering and header fields as the VHDL form (in[0] carries the most
// significant bit of a term, the variable A).

#include <string>

#include "engine/core/Cover.h"
#include "engine/core/SignalNames.h"

namespace tavro {

// The full file text (lines end in "\r\n", the last one too). inputBits and
// functionCount give the port widths; mode is the mode of the run that made
// the cover; date fills the header's date line. Where names are given, the
// header names each port bit after them in comments. A constant cube is 1'b1 after
// an SOP run and 1'b0 after a POS run; an output with no cube is 1'b0 after an
// SOP run and 1'b1 after a POS run.
std::string VerilogText(const TCover& cubes, int inputBits, int functionCount, int mode, const std::string& date,
                        const TSignalNames& names = {});

// Writes the text to path as given (WriteFileAtomic);
// throws FileError("Cannot create file <path>: <reason>").
void WriteVerilog(const TCover& cubes, const std::string& path, int mode, int inputBits, int functionCount,
                  const std::string& date, const TSignalNames& names = {});

}  // namespace tavro
