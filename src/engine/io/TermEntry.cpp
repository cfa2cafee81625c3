#include "engine/io/TermEntry.h"

#include <string>

#include "engine/io/TermText.h"
#include "model/Errors.h"

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

TTermEntryReading ReadTermEntry(std::string_view text, bool maxterms) {
  TTermEntryReading reading;
  try {
    reading.Function = ParseTermEntry(text, maxterms);
  } catch (const ConvertError& e) {
    reading.Error = e.what();
  }
  // Every character but digits, d, commas and blanks is read as nothing.
  const auto means = [](char c) {
    return (c >= '0' && c <= '9') || c == 'd' || c == 'D' || c == ',' || c == ' ' || c == '\t' || c == '\r' ||
           c == '\n';
  };
  for (size_t i = 0; i < text.size();) {
    if (means(text[i])) {
      ++i;
      continue;
    }
    const size_t start = i;
    while (i < text.size() && !means(text[i])) ++i;
    reading.Ignored.emplace_back(text.substr(start, i - start));
  }
  return reading;
}

namespace {

// A run cut to a few characters (whole UTF-8 sequences) with an ellipsis.
std::string Shortened(const std::string& run) {
  constexpr size_t kLongest = 12;
  if (run.size() <= kLongest) return run;
  size_t end = kLongest;
  while (end > 0 && (static_cast<unsigned char>(run[end]) & 0xC0) == 0x80) --end;
  return run.substr(0, end) + "\u2026";
}

}  // namespace

std::string TermEntrySummary(const TTermEntryReading& reading, size_t shown) {
  std::string line;
  if (!reading.Error.empty()) {
    line = "cannot be read: " + reading.Error;
  } else {
    const TTermVector& f = reading.Function;
    const auto count = static_cast<size_t>(f.Count());
    if (count == 0) {
      line = "reads as no terms";
    } else {
      line = "reads as ";
      size_t dontCares = 0;
      for (int32_t i = 0; i < f.Count(); ++i) {
        dontCares += f.GetDontCare(i);
        if (static_cast<size_t>(i) >= shown) continue;
        if (i > 0) line += ", ";
        line += std::to_string(f.GetTerm(i));
        if (f.GetDontCare(i)) line += 'd';
      }
      if (count > shown) line += ", \u2026";
      line += " (" + std::to_string(count) + (count == 1 ? " term" : " terms");
      if (dontCares == 1) line += count == 1 ? ", a don't care" : ", 1 of them a don't care";
      else if (dontCares > 1) line += ", " + std::to_string(dontCares) + " of them don't cares";
      line += ')';
    }
  }
  if (!reading.Ignored.empty()) {
    constexpr size_t kRunsShown = 6;
    line += "; ignored: ";
    for (size_t i = 0; i < reading.Ignored.size() && i < kRunsShown; ++i)
      line += (i ? ", " : "") + Shortened(reading.Ignored[i]);
    if (reading.Ignored.size() > kRunsShown) line += ", \u2026";
  }
  return line;
}

}  // namespace tavro
