#include "engine/io/TermEntry.h"

#include <string>

#include "engine/io/TermText.h"

namespace tavro {

TTermVector ParseTermEntry(std::string_view text, bool maxterms) {
  std::vector<std::pair<int32_t, bool>> items;
  TermCollector number;
  for (const char c : text) {
    if (c >= '0' && c <= '9') number.Digit(c);
    else if (c == 'd' || c == 'D') number.MarkDontCare();
    else if (c == ',') number.End(items);
  }
  number.End(items);
  TTermVector result;
  result.Maxterms = maxterms;
  result.AddAll(items);
  return result;
}

std::string TermEntryText(const TTermVector& function) {
  std::string text;
  for (int32_t i = 0; i < function.Count(); ++i) {
    if (i > 0) text += ", ";
    text += std::to_string(function.GetTerm(i));
    if (function.GetDontCare(i)) text += 'd';
  }
  return text;
}

}  // namespace tavro
