// The PLA reader: never crashes, and what it accepts round-trips. The
// functions are written back as a PLA of one row per listed term (on-set
// rows "1", don't-care rows "-", other outputs "~"); systems of more than a
// few thousand terms are only parsed.
#include <algorithm>
#include <cctype>

#include "FuzzRoundTrip.h"
#include "engine/core/CubeSets.h"
#include "engine/io/Pla.h"

namespace {

struct Parsed {
  int Inputs = 0;
  std::vector<tavro::TTermVector> Functions;
  bool operator==(const Parsed& o) const { return Inputs == o.Inputs && Functions == o.Functions; }
};

constexpr size_t kMaxWrittenTerms = 4096;

size_t Terms(const Parsed& p) {
  size_t n = 0;
  for (const auto& f : p.Functions) n += static_cast<size_t>(f.Count());
  return n;
}

std::string Write(const Parsed& p) {
  std::string t = ".i " + std::to_string(p.Inputs) + "\n.o " + std::to_string(p.Functions.size()) + "\n.type fd\n";
  if (Terms(p) > kMaxWrittenTerms) return t + ".e\n";
  for (size_t f = 0; f < p.Functions.size(); ++f)
    for (int32_t i = 0; i < p.Functions[f].Count(); ++i) {
      const int32_t term = p.Functions[f].GetTerm(i);
      for (int b = p.Inputs - 1; b >= 0; --b) t += ((term >> b) & 1) ? '1' : '0';
      t += ' ';
      for (size_t g = 0; g < p.Functions.size(); ++g) t += g != f ? '~' : (p.Functions[f].GetDontCare(i) ? '-' : '1');
      t += '\n';
    }
  return t + ".e\n";
}

// A few bytes can declare 2^24 rows per output; exploring those only costs
// time, so inputs declaring wide systems are passed over.
bool DeclaresWideSystem(std::string_view text) {
  for (size_t at = text.find(".i"); at != std::string_view::npos; at = text.find(".i", at + 2)) {
    size_t k = at + 2;
    // (the reader splits its words at any white space: a form feed too)
    while (k < text.size() && text[k] != '\n' && std::isspace(static_cast<unsigned char>(text[k]))) ++k;
    int value = 0;
    while (k < text.size() && text[k] >= '0' && text[k] <= '9' && value < 1000) value = value * 10 + (text[k++] - '0');
    if (value > 14) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (DeclaresWideSystem(std::string_view(reinterpret_cast<const char*>(data), size))) return 0;
  return tavro::fuzz::RoundTrip(
      data, size,
      [](std::string_view text) {
        auto pla = tavro::ParsePlaText(text);
        // The rows kept for a run from cubes describe the same functions
        // (where the terms are listed: past 24 inputs there are none).
        if (pla.Cubes.Width > 0 && pla.TermsListed &&
            tavro::ListCubeTerms({&pla.Cubes, &pla.DontCareCubes}, pla.Cubes.FunctionCount, pla.Inputs) !=
                pla.Functions)
          __builtin_trap();
        Parsed p{pla.Inputs, std::move(pla.Functions)};
        // Too large to write back: only its shape takes part.
        if (Terms(p) > kMaxWrittenTerms) p.Functions.assign(p.Functions.size(), tavro::TTermVector());
        return p;
      },
      [](const Parsed& p) { return Write(p); });
}
