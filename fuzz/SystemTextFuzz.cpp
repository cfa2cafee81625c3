// Every reader behind "tavro-cli -": the format is told from the text (term
// file, PLA, CSV or BLIF), and whatever is accepted is a system whose truth
// table, written as CSV and read back, gives the same table again.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "engine/io/Csv.h"
#include "engine/io/SystemFile.h"

namespace {

[[noreturn]] void Fail(const char* what, std::string_view input, const std::string& written) {
  std::fprintf(stderr, "%s\ninput: %.*s\nwritten: %s\n", what, static_cast<int>(std::min<size_t>(input.size(), 2000)),
               input.data(), written.substr(0, 2000).c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  tavro::TLoadParams params;
  params.MaxMemoryBytes = uint64_t{256} << 20;
  tavro::TFunctionSystem system;
  try {
    tavro::LoadSystemText(system, input, "input", params);
  } catch (const tavro::TavroError&) {
    return 0;  // refused with a message: fine
  }
  system.UpdateInputBits();
  // Small systems only: a table of 2^n rows per function.
  if (system.TermsInSource || system.InputBits > 10 || system.FunctionCount() > 64) return 0;
  const std::string table = tavro::CsvText(system, system.Names);
  tavro::TFunctionSystem back;
  try {
    tavro::LoadSystemText(back, table, "table", params);
  } catch (const tavro::TavroError& e) {
    Fail(e.what(), input, table);
  }
  back.UpdateInputBits();
  if (tavro::CsvText(back, back.Names) != table) Fail("the table read back is another table", input, table);
  return 0;
}
