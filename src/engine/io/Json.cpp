#include "engine/io/Json.h"

#include <cstdio>
#include <cstdlib>

namespace tavro {

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
      out += buffer;
    } else {
      out += c;
    }
  }
  return out + '"';
}

// A figure's text as a JSON value.
std::string Value(const std::string& text) {
  if (text == "-") return "null";
  if (text == "yes") return "true";
  if (text == "no") return "false";
  char* end = nullptr;
  std::strtod(text.c_str(), &end);
  const bool number = !text.empty() && *end == '\0' && text.find_first_not_of("0123456789.-") == std::string::npos;
  return number ? text : Quoted(text);
}

void AppendCubes(std::string& t, const TCover& cubes, int inputBits) {
  t += '[';
  for (size_t k = 0; k < cubes.Count(); ++k) {
    t += k ? ",\n    " : "\n    ";
    std::string pattern;
    for (int p = 0; p < inputBits; ++p) {
      const int bit = cubes.Width - 1 - p;
      pattern += bit < 0 || cubes.FreeAt(k, bit) ? '-' : cubes.OneAt(k, bit) ? '1' : '0';
    }
    t += "{\"pattern\": \"" + pattern + "\", \"functions\": [";
    bool first = true;
    for (int f = 0; f < cubes.FunctionCount; ++f) {
      if (!cubes.Tag(k, f)) continue;
      if (!first) t += ", ";
      first = false;
      t += std::to_string(f);
    }
    t += "]}";
  }
  t += cubes.Count() ? "\n  ]" : "]";
}

}  // namespace

std::string JsonText(const TFunctionSystem& system, const std::vector<std::pair<std::string, std::string>>& figures) {
  const int inputs = system.InputBits, outputs = system.FunctionCount();
  std::string t = "{\n  \"format\": \"tavro-result\",\n  \"version\": 1,\n";
  t += "  \"inputs\": " + std::to_string(inputs) + ",\n";
  t += "  \"outputs\": " + std::to_string(outputs) + ",\n";
  t += std::string("  \"mode\": ") + (system.ResultMode == modePOS ? "\"pos\"" : "\"sop\"") + ",\n";
  t += "  \"inputNames\": [";
  for (int p = 1; p <= inputs; ++p) t += (p > 1 ? ", " : "") + Quoted(system.Names.Input(p));
  t += "],\n  \"outputNames\": [";
  for (int i = 0; i < outputs; ++i) t += (i ? ", " : "") + Quoted(system.Names.Output(i));
  t += "],\n  \"primes\": ";
  if (system.ResultPrimes) AppendCubes(t, *system.ResultPrimes, inputs);
  else t += "null";
  t += ",\n  \"cover\": ";
  if (system.ResultCubes) AppendCubes(t, *system.ResultCubes, inputs);
  else t += "[]";
  t += ",\n  \"stats\": {";
  for (size_t k = 0; k < figures.size(); ++k)
    t += (k ? ",\n    " : "\n    ") + Quoted(figures[k].first) + ": " + Value(figures[k].second);
  t += figures.empty() ? "}\n}\n" : "\n  }\n}\n";
  return t;
}

}  // namespace tavro
