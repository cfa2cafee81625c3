#pragma once
// Term files: the function system as one line of text, e.g.
// "-1, 3, 5, 7d | |+0, 4" ("-" minterms, "+" maxterms, "d" don't care,
// " |" between functions).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/FunctionSystem.h"
#include "engine/core/RunParams.h"
#include "model/TermVector.h"

namespace tavro {

// The text of a term file for these functions.
std::string TermFileText(const std::vector<TTermVector>& functions);

// Most functions a term file may hold: each costs memory even when empty, so
// a file of nothing but " |" must not fill the memory.
constexpr size_t MaxFunctions = size_t{1} << 16;

// Parses term file text. Throws ConvertError for a number too large for a
// term, anywhere in the text, TavroError("Too many functions (at most
// 65536).") past MaxFunctions, TooLargeError before the text and what is
// read from it would pass the memory limit of params, and StoppedError when
// the thread's run is asked to stop. A UTF-8 byte-order mark, like every
// character the format does not know, is passed over.
std::vector<TTermVector> ParseTermFileText(std::string_view text, const TLoadParams& params = {});

// Writes the system to Path (".trm" appended unless Path ends in ".trm");
// clears Modified on success. Throws FileError("Cannot create file ...").
void SaveTermFile(TFunctionSystem& system, const std::string& path);
// As SaveTermFile, for the functions alone (no flag to clear).
void WriteTermFile(const std::vector<TTermVector>& functions, const std::string& path);

// Replaces the system by the content of the file at Path: functions, file
// name, Modified and ResultReady cleared. On any error nothing changes and
// the error is thrown. The caller refreshes its view (InputBits). A file
// holding a NUL byte is refused as binary data. The memory limit of params
// holds from the first byte read (TooLargeError), and a stop request ends
// the load (StoppedError).
void LoadTermFile(TFunctionSystem& system, const std::string& path, const TLoadParams& params = {});

// As LoadTermFile, for text already read; name is what messages call it.
// The system gets no file name and counts as unsaved.
void LoadTermText(TFunctionSystem& system, std::string_view text, const std::string& name,
                  const TLoadParams& params = {});

// The path SaveTermFile writes for a given name.
std::string TermFilePath(const std::string& path);

}  // namespace tavro

// Every file the program reads, by its extension or content.
#include "engine/io/SystemFile.h"
