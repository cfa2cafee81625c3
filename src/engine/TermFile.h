#pragma once
// Term files: the function system as one line of text, e.g.
// "-1, 3, 5, 7d | |+0, 4" ("-" minterms, "+" maxterms, "d" don't care,
// " |" between functions).

#include <string>
#include <string_view>
#include <vector>

#include "engine/FunctionSystem.h"
#include "model/TermVector.h"

namespace tavro {

// The text of a term file for these functions.
std::string TermFileText(const std::vector<TTermVector>& functions);

// Parses term file text. Throws ConvertError for a number too large for a
// term, anywhere in the text.
std::vector<TTermVector> ParseTermFileText(std::string_view text);

// Writes the system to Path (".trm" appended unless Path ends in ".trm");
// clears Modified on success. Throws FileError("Cannot create file ...").
void SaveTermFile(TFunctionSystem& system, const std::string& path);

// Replaces the system by the content of the file at Path: functions, file
// name, Modified and ResultReady cleared. On any error nothing changes and
// the error is thrown. The caller refreshes its view (InputBits).
void LoadTermFile(TFunctionSystem& system, const std::string& path);

// Loads any system file the program reads: a PLA file when the extension is
// ".pla" in any case (LoadPlaFile: the system then counts as new and
// unsaved), otherwise a term file (LoadTermFile). On any error nothing changes
// and the error is thrown.
void LoadSystemFile(TFunctionSystem& system, const std::string& path);

// The path SaveTermFile writes for a given name.
std::string TermFilePath(const std::string& path);

}  // namespace tavro
