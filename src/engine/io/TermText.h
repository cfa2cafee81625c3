#pragma once
// The term reader shared by the term file and the term entry dialog: digits
// collect a number, "d"/"D" marks it a don't care, "," ends it.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "model/Errors.h"

namespace tavro {

class TermCollector {
 public:
  void Digit(char c) {
    if (FDigits.size() < kShownDigits) FDigits += c;
    else FTruncated = true;
    if (FValue == 0 && c == '0') {
      FAny = true;
      return;
    }
    FAny = true;
    FValue = FValue * 10 + static_cast<uint64_t>(c - '0');
    if (FValue > INT32_MAX) FOverflow = true, FValue = uint64_t{INT32_MAX} + 1;
  }
  void MarkDontCare() { FDontCare = true; }

  // Ends the current item: adds its number (if any) to items and clears the
  // mark. Throws ConvertError for a number above 2147483647.
  void End(std::vector<std::pair<int32_t, bool>>& items) {
    if (FAny) {
      if (FOverflow) throw ConvertError(FDigits + (FTruncated ? "\u2026" : ""));
      items.emplace_back(static_cast<int32_t>(FValue), FDontCare);
    }
    FDigits.clear();
    FTruncated = FOverflow = FAny = false;
    FValue = 0;
    FDontCare = false;
  }

 private:
  // The error quotes a number's digits in full up to this many, so that the
  // user can find it; a longer one is cut there and marked with an ellipsis.
  static constexpr size_t kShownDigits = 300;
  std::string FDigits;
  uint64_t FValue = 0;
  bool FAny = false, FOverflow = false, FTruncated = false, FDontCare = false;
};

}  // namespace tavro
