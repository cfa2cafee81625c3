#pragma once
// The text typed into the term entry dialog: terms separated by commas, "d"
// anywhere in an item marks a don't care, every other character is ignored.

#include <string_view>

#include "model/TermVector.h"

namespace tavro {

// Parses the text into a new function of the given kind. Throws ConvertError
// for a number too large for a term, anywhere in the text.
TTermVector ParseTermEntry(std::string_view text, bool maxterms);

// The dialog's initial text for a function: "1, 3, 6d".
std::string TermEntryText(const TTermVector& function);

}  // namespace tavro
