#pragma once
// Truth tables as comma-separated values: a header line with the inputs'
// names and then the functions' names, and one line per row of the inputs
// (the first input the most significant, rows in counting order), each
// function's cell 1, 0 or - (don't care). Lines end in "\r\n".
//
// Reading takes the same table back, and tables as spreadsheets write them:
// "," or ";" between cells, blanks around cells and quotes around a cell
// ignored, output cells x, X or d as don't cares, rows in any order. The
// leading columns whose values run through every row once are the inputs:
// with 2^n rows the first n columns. Each function becomes a minterm
// function; rows the table leaves out are 0.

#include <string>
#include <string_view>

#include "engine/core/FunctionSystem.h"
#include "engine/core/RunParams.h"
#include "engine/core/SignalNames.h"
#include "model/Errors.h"

namespace tavro {

class CsvError : public TavroError {
 public:
  explicit CsvError(const std::string& message) : TavroError(message) {}
};

// Widest table written or read.
constexpr int kMaxCsvInputs = 16;

// The system's functions as a table (at most kMaxCsvInputs inputs, else
// TavroError). names: the columns' names where each is a CSV cell without
// quotes (no ",", ";", quote or line break) and none repeats.
std::string CsvText(const TFunctionSystem& system, const TSignalNames& names = {});

// Replaces the system by the table in text, as a loaded PLA file does (a new,
// unsaved system whose empty outputs are constants, with the header's names).
// Throws CsvError naming the line.
void LoadCsvText(TFunctionSystem& system, std::string_view text, const TLoadParams& params = {});

}  // namespace tavro
