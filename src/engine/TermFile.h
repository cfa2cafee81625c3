#pragma once
// Term files: the function system as one line of text, e.g.
// "-1, 3, 5, 7d | |+0, 4" ("-" minterms, "+" maxterms, "d" don't care,
// " |" between functions).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/FunctionSystem.h"
#include "model/TermVector.h"

namespace tavro {

// The text of a term file for these functions.
std::string TermFileText(const std::vector<TTermVector>& functions);

// Most functions a term file may hold: each costs memory even when empty, so
// a file of nothing but " |" must not fill the memory.
constexpr size_t MaxFunctions = size_t{1} << 16;

// Parses term file text. Throws ConvertError for a number too large for a
// term, anywhere in the text, and TavroError("Too many functions (at most
// 65536).") past MaxFunctions.
std::vector<TTermVector> ParseTermFileText(std::string_view text);

// Writes the system to Path (".trm" appended unless Path ends in ".trm");
// clears Modified on success. Throws FileError("Cannot create file ...").
void SaveTermFile(TFunctionSystem& system, const std::string& path);
// As SaveTermFile, for the functions alone (no flag to clear).
void WriteTermFile(const std::vector<TTermVector>& functions, const std::string& path);

// Replaces the system by the content of the file at Path: functions, file
// name, Modified and ResultReady cleared. On any error nothing changes and
// the error is thrown. The caller refreshes its view (InputBits). A file
// holding a NUL byte is refused as binary data.
void LoadTermFile(TFunctionSystem& system, const std::string& path);

// Loads any system file the program reads: a PLA file when the extension is
// ".pla" in any case (LoadPlaFile: the system then counts as new and
// unsaved), otherwise a term file (LoadTermFile). On any error nothing changes
// and the error is thrown. listPlaTerms: as LoadPlaFile's listTerms.
void LoadSystemFile(TFunctionSystem& system, const std::string& path, bool listPlaTerms = true);

// The path SaveTermFile writes for a given name.
std::string TermFilePath(const std::string& path);

}  // namespace tavro
