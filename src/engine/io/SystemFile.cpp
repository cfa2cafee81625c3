#include "engine/io/SystemFile.h"

#include <cctype>

#include "engine/io/Blif.h"
#include "engine/io/Csv.h"
#include "engine/io/FileIO.h"
#include "engine/io/Pla.h"
#include "engine/io/TermFile.h"

namespace tavro {

namespace {

bool EndsWith(const std::string& path, const std::string& extension) {
  if (path.size() < extension.size()) return false;
  for (size_t k = 0; k < extension.size(); ++k)
    if (std::tolower(static_cast<unsigned char>(path[path.size() - extension.size() + k])) != extension[k])
      return false;
  return true;
}

// The format whose first line (blanks before it taken off) line is.
TFileFormat LineFormat(std::string_view line) {
  for (const char* keyword : {".model", ".inputs", ".outputs", ".names"})
    if (line.substr(0, std::char_traits<char>::length(keyword)) == keyword) return TFileFormat::Blif;
  if (line[0] == '.') return TFileFormat::Pla;
  if (line[0] == '-' || line[0] == '+') {
    // "-1, 3 |+0", "-" or "-5" is a term file; "-01 1" a PLA row.
    const size_t digits = line.find_first_not_of("0123456789d \t\r", 1);
    if (line.find_first_of(",|") != std::string_view::npos || digits == std::string_view::npos)
      return TFileFormat::Term;
  }
  if (line.find_first_not_of("01-~24 \t|\r") == std::string_view::npos) return TFileFormat::Pla;
  if (line.find_first_of(",;") != std::string_view::npos) return TFileFormat::Csv;
  return TFileFormat::Term;
}

}  // namespace

std::optional<TFileFormat> FileFormatNamed(const std::string& word) {
  if (word == "trm" || word == "term") return TFileFormat::Term;
  if (word == "pla") return TFileFormat::Pla;
  if (word == "csv") return TFileFormat::Csv;
  if (word == "blif") return TFileFormat::Blif;
  return std::nullopt;
}

TFileFormat FileFormatOfPath(const std::string& path) {
  if (EndsWith(path, ".pla")) return TFileFormat::Pla;
  if (EndsWith(path, ".csv")) return TFileFormat::Csv;
  if (EndsWith(path, ".blif")) return TFileFormat::Blif;
  return TFileFormat::Term;
}

TFileFormat FileFormatOfText(std::string_view text) {
  TFileFormat format = TFileFormat::Term;
  ForEachLine(WithoutByteOrderMark(text), [&](int, std::string_view line) {
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos || line[first] == '#') return true;
    format = LineFormat(line.substr(first));
    return false;
  });
  return format;
}

std::string FileFormatText(TFileFormat format) {
  switch (format) {
    case TFileFormat::Pla: return "PLA file";
    case TFileFormat::Csv: return "CSV file";
    case TFileFormat::Blif: return "BLIF file";
    default: return "term file";
  }
}

void LoadSystemFile(TFunctionSystem& system, const std::string& path, const TLoadParams& params, TFileFormat format) {
  if (format == TFileFormat::Automatic) format = FileFormatOfPath(path);
  switch (format) {
    case TFileFormat::Pla: LoadPlaFile(system, path, params); return;
    case TFileFormat::Term:
    case TFileFormat::Automatic: LoadTermFile(system, path, params); return;
    case TFileFormat::Csv:
    case TFileFormat::Blif: break;
  }
  const std::string text = ReadFile(path, {FileFormatText(format), false, params.MemoryLimit()});
  if (format == TFileFormat::Csv) LoadCsvText(system, text, params);
  else LoadBlifText(system, text, params);
}

void LoadSystemText(TFunctionSystem& system, std::string_view text, const std::string& name, const TLoadParams& params,
                    TFileFormat format) {
  if (format == TFileFormat::Automatic) format = FileFormatOfText(text);
  if (format == TFileFormat::Term) {
    LoadTermText(system, text, name, params);
    return;
  }
  if (text.find('\0') != std::string_view::npos)
    throw FileError(name + " is not a " + FileFormatText(format) + " (it holds binary data)");
  switch (format) {
    case TFileFormat::Pla: LoadPlaText(system, text, params); return;
    case TFileFormat::Csv: LoadCsvText(system, text, params); return;
    default: LoadBlifText(system, text, params); return;
  }
}

}  // namespace tavro
