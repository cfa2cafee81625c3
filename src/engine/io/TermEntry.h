#pragma once
// The text typed into the term entry dialog: terms separated by commas, "d"
// anywhere in an item marks a don't care, every other character is ignored.

#include <string>
#include <string_view>
#include <vector>

#include "model/TermVector.h"

namespace tavro {

// Parses the text into a new function of the given kind. Throws ConvertError
// for a number too large for a term, anywhere in the text.
TTermVector ParseTermEntry(std::string_view text, bool maxterms);

// The dialog's initial text for a function: "1, 3, 6d".
std::string TermEntryText(const TTermVector& function);

// What a text reads as, for the line the dialog shows under it as the user
// types: the function OK would store, or why it cannot be read, and the
// runs of characters that mean nothing.
struct TTermEntryReading {
  TTermVector Function;
  std::string Error;                 // empty where the text reads
  std::vector<std::string> Ignored;  // in order, as typed
};
TTermEntryReading ReadTermEntry(std::string_view text, bool maxterms);

// The reading in one line: "reads as 1, 3, 4, 7d (4 terms, 1 of them a
// don't care); ignored: foo, -", the first `shown` items listed.
std::string TermEntrySummary(const TTermEntryReading& reading, size_t shown = 8);

}  // namespace tavro
