#pragma once
// The shared body of the reader fuzz targets: a parse may refuse its input
// with a TavroError (any other exception, a crash or a sanitizer finding is
// a failure), and whatever it accepts must round-trip: writing it and
// reading that text back gives the same value, and writing that again the
// same text.
//
// A target is then a few lines:
//
//   extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
//     return tavro::fuzz::RoundTrip(data, size, [](std::string_view t) { return ParseX(t); },
//                                   [](const auto& value) { return XText(value); });
//   }

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "model/Errors.h"

namespace tavro::fuzz {

[[noreturn]] inline void Fail(const char* what, std::string_view input, const std::string& written) {
  std::fprintf(stderr, "%s\ninput (%zu bytes): %.*s\nwritten: %s\n", what, input.size(),
               static_cast<int>(input.size() < 2000 ? input.size() : 2000), input.data(),
               written.substr(0, 2000).c_str());
  std::abort();
}

template <class Parse, class Write>
int RoundTrip(const uint8_t* data, size_t size, Parse&& parse, Write&& write) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::optional<decltype(parse(input))> first;
  try {
    first.emplace(parse(input));
  } catch (const TavroError&) {
    return 0;  // refused with a message: fine
  }
  const std::string written = write(*first);
  std::optional<decltype(parse(input))> second;
  try {
    second.emplace(parse(written));
  } catch (const TavroError& e) {
    Fail(e.what(), input, written);
  }
  if (!(*second == *first)) Fail("reading the written text gives another value", input, written);
  if (write(*second) != written) Fail("writing the value again gives another text", input, written);
  return 0;
}

}  // namespace tavro::fuzz
