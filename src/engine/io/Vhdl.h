#pragma once
// The VHDL form of a result: entity SOP, architecture struct, one signal per
// cube and one assignment per output.

#include <string>

#include "engine/core/Cover.h"
#include "engine/core/SignalNames.h"

namespace tavro {

// The full file text (lines end in "\r\n", the last line has no line end).
// inputBits and functionCount give the port widths; mode is the mode of the
// run that made the cover; date fills the header's date line. Where names
// are given, the header names each port bit after them in comments.
std::string VhdlText(const TCover& cubes, int inputBits, int functionCount, int mode, const std::string& date,
                     const TSignalNames& names = {});

// How a name's extension is compared: the window's VHDL command takes only
// ".vhd" itself ("design.VHD" is written as "design.VHD.vhd"); the
// command-line tool takes it in any case.
enum class TExtensionCase { Exact, Any };

// The name the VHDL command writes for a chosen name: ".vhd" appended unless
// it already ends in ".vhd" (compared as extensionCase says) or names a
// folder or a device (NamesFolderOrDevice), which the write refuses or
// writes to as they are.
std::string VhdlPath(const std::string& name, TExtensionCase extensionCase = TExtensionCase::Exact);

// Writes the text to path (WriteFileAtomic); throws FileError("Cannot create
// file <path>: <reason>").
void WriteVHDL(const TCover& cubes, const std::string& path, int mode, int inputBits, int functionCount,
               const std::string& date, const TSignalNames& names = {});

// Today's date in the locale's short format.
std::string TodayShortDate();

}  // namespace tavro
