// The term entry text parser: never crashes, and what it accepts round-trips
// through the dialog's initial text. The first byte chooses the kind.
#include "FuzzRoundTrip.h"
#include "engine/io/TermEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool maxterms = data[0] & 1;
  return tavro::fuzz::RoundTrip(
      data + 1, size - 1, [maxterms](std::string_view text) { return tavro::ParseTermEntry(text, maxterms); },
      [](const auto& function) { return tavro::TermEntryText(function); });
}
