// The term file reader: never crashes, and what it accepts round-trips.
#include "FuzzRoundTrip.h"
#include "engine/io/TermFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return tavro::fuzz::RoundTrip(
      data, size, [](std::string_view text) { return tavro::ParseTermFileText(text); },
      [](const auto& functions) { return tavro::TermFileText(functions); });
}
