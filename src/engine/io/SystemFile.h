#pragma once
// Every file a system is read from: term files, PLA files, CSV truth tables
// and BLIF models, chosen by the file's extension (".pla", ".csv", ".blif",
// in any case; any other name is a term file) or, for text without a name
// (standard input), by what the text holds.

#include <optional>
#include <string>
#include <string_view>

#include "engine/core/FunctionSystem.h"
#include "engine/core/RunParams.h"

namespace tavro {

enum class TFileFormat { Automatic, Term, Pla, Csv, Blif };

// "trm" (or "term"), "pla", "csv", "blif"; nothing for any other word.
std::optional<TFileFormat> FileFormatNamed(const std::string& word);

// The format a file name stands for: by its extension, else a term file.
TFileFormat FileFormatOfPath(const std::string& path);

// The format text holds: a BLIF model where its first line (past comments
// and blank lines) is .model, .inputs, .outputs or .names, a PLA where it is
// another keyword or a row of 0, 1, - and blanks, a term file where it
// begins with "-" or "+" and holds "," or "|" or only a number, a CSV table
// where it holds "," or ";", otherwise a term file.
TFileFormat FileFormatOfText(std::string_view text);

// What messages call a format: "term file", "PLA file", ...
std::string FileFormatText(TFileFormat format);

// Replaces the system by the file at path, read as format says (Automatic:
// by its extension). A PLA, CSV or BLIF file gives a new, unsaved system
// with the file's names; a term file one named after it. On any error
// nothing changes and the error is thrown; a NUL byte stops the read.
void LoadSystemFile(TFunctionSystem& system, const std::string& path, const TLoadParams& params = {},
                    TFileFormat format = TFileFormat::Automatic);
inline void LoadSystemFile(TFunctionSystem& system, const std::string& path, bool listPlaTerms) {
  LoadSystemFile(system, path, TLoadParams{listPlaTerms, 0});
}

// As LoadSystemFile for text already read (Automatic: by its content); name
// is what messages call it ("standard input"). The system is new and
// unsaved.
void LoadSystemText(TFunctionSystem& system, std::string_view text, const std::string& name,
                    const TLoadParams& params = {}, TFileFormat format = TFileFormat::Automatic);

}  // namespace tavro
