#pragma once
// The LaTeX form of a system and its result: a document of its own, for
// pdflatex with TikZ, that holds the system's truth table, each function's
// Karnaugh maps with the loops of the result's cubes (laid out, coloured and
// nested as the window draws them), and the minimal expressions.

#include <string>

#include "engine/core/FunctionSystem.h"
#include "engine/core/SignalNames.h"
#include "engine/io/KarnaughLayout.h"

namespace tavro {

// The widest system whose truth table and maps the document holds; past it a
// sentence says why they are left out, and only the expressions are written.
constexpr int kLatexMaxTableInputs = kKarnaughMaxInputs;

// The document's text (lines end in "\n"). The system must hold the result
// of a run on its functions as they are (ResultCubes, ResultReady); otherwise
// throws TavroError. names give the inputs' and functions' names (a PLA
// file's); the defaults A, B, ... and f0, f1, ... stand for the others.
//
// Each map's cells and loops are written so that a reader can find them
// again: a cell as "\kcell{x}{y}{term}{value}{style}" (its centre in cell
// units), a loop as a line "% loop <value> <mask>" followed by one line per
// piece, "\kpiece{clip x0}{y0}{x1}{y1}{shape x0}{y0}{x1}{y1}{style}".
std::string LatexText(const TFunctionSystem& system, const TSignalNames& names = {});

// Writes the text to path (WriteFileAtomic); throws what LatexText throws,
// and FileError("Cannot create file <path>: <reason>").
void WriteLatex(const TFunctionSystem& system, const std::string& path, const TSignalNames& names = {});

// Text that LaTeX sets as it reads: every character that LaTeX takes as
// markup is escaped, and a byte outside printable ASCII shows as ^^hh.
std::string LatexEscape(const std::string& text);

}  // namespace tavro
