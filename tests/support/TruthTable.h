#pragma once
// An evaluator of results that shares nothing with the engine: the truth
// table of each function is built from its term list, and a result is read
// back from the printed text (SOP, POS or term lists) and evaluated row by
// row. Used by the property tests and the minimizing fuzz target.

#include <bit>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "model/TermVector.h"

namespace tavro::check {

enum : uint8_t { kZero = 0, kOne = 1, kDontCare = 2 };

// Row values of one function over 2^width rows: a minterm function is 1 on
// its care terms and 0 on unlisted rows, a maxterm function the reverse.
inline std::vector<uint8_t> TruthTable(const TTermVector& f, int width) {
  std::vector<uint8_t> table(size_t{1} << width, f.IsMaxterms() ? kOne : kZero);
  const auto& terms = f.Terms();
  const auto& flags = f.DontCares();
  for (size_t i = 0; i < terms.size(); ++i)
    table.at(static_cast<size_t>(terms[i])) = flags[i] ? kDontCare : (f.IsMaxterms() ? kZero : kOne);
  return table;
}

// One product (SOP) or sum (POS) read from the text: the fixed input bits
// and their values; Fixed == 0 is the constant term ("1" or "(0)").
struct TextCube {
  uint32_t Fixed = 0, Value = 0;
  bool Contains(uint32_t row) const { return (row & Fixed) == Value; }
};

// A function read back from a result line: for SOP the products, for POS
// the sums, each as the rows where the product is 1 / the sum is 0.
struct TextFunction {
  std::vector<TextCube> Cubes;
};

// Maps a variable name (A..Z, AA..ZZ, ...) to its input bit; -1 if it is not
// a name of this width.
inline int BitOfName(const std::string& name, int width) {
  if (name.empty()) return -1;
  for (char c : name)
    if (c != name[0] || c < 'A' || c > 'Z') return -1;
  const int position = static_cast<int>(name.size() - 1) * 26 + (name[0] - 'A') + 1;
  if (position > width) return -1;
  return width - position;
}

// Parses "(A)(~B) + (C) + 1" (SOP) or "(A + ~B)(C)(0)" (POS) or
// "(1, 3) + (5)" (terms). Sets error and returns false on any unexpected
// character.
inline bool ParseExpression(const std::string& text, int width, bool pos, bool terms, TextFunction& out,
                            std::string& error) {
  size_t i = 0;
  auto fail = [&](const std::string& what) {
    error = what + " at column " + std::to_string(i) + " of '" + text + "'";
    return false;
  };
  auto literal = [&](TextCube& cube) {
    bool negated = false;
    if (i < text.size() && text[i] == '~') negated = true, ++i;
    size_t start = i;
    while (i < text.size() && text[i] >= 'A' && text[i] <= 'Z') ++i;
    const int bit = BitOfName(text.substr(start, i - start), width);
    if (bit < 0) return false;
    const uint32_t b = uint32_t{1} << bit;
    if (cube.Fixed & b) return false;  // a variable twice in one cube
    cube.Fixed |= b;
    // SOP: the product is 1 where each literal is 1. POS: the sum is 0
    // where each literal is 0, so a plain literal fixes its bit at 0.
    if (negated == pos) cube.Value |= b;
    return true;
  };
  while (i < text.size()) {
    TextCube cube;
    if (terms) {
      if (text[i] != '(') return fail("'(' expected");
      ++i;
      std::vector<uint32_t> rows;
      while (true) {
        size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        if (start == i) return fail("number expected");
        rows.push_back(static_cast<uint32_t>(std::stoul(text.substr(start, i - start))));
        if (text.compare(i, 2, ", ") == 0) i += 2;
        else break;
      }
      if (i >= text.size() || text[i] != ')') return fail("')' expected");
      ++i;
      // A cube's terms form a subcube: fixed bits are those equal in all.
      uint32_t all = ~uint32_t{0}, any = 0;
      for (uint32_t r : rows) all &= r, any |= r;
      const uint32_t full = (uint32_t{1} << width) - 1;
      cube.Fixed = ~(all ^ any) & full;
      cube.Value = all & cube.Fixed;
      if (rows.size() != (size_t{1} << (width - std::popcount(cube.Fixed))))
        return fail("term list that is not a cube");
      if (text.compare(i, 3, " + ") == 0) i += 3;
      else if (i < text.size()) return fail("' + ' expected");
    } else if (!pos) {
      if (text[i] == '1') {
        ++i;
      } else {
        while (i < text.size() && text[i] == '(') {
          ++i;
          if (!literal(cube)) return fail("literal expected");
          if (i >= text.size() || text[i] != ')') return fail("')' expected");
          ++i;
        }
        if (cube.Fixed == 0) return fail("product expected");
      }
      if (text.compare(i, 3, " + ") == 0) i += 3;
      else if (i < text.size()) return fail("' + ' expected");
    } else {
      if (text[i] != '(') return fail("'(' expected");
      ++i;
      if (i < text.size() && text[i] == '0') {
        ++i;
      } else {
        while (true) {
          if (!literal(cube)) return fail("literal expected");
          if (text.compare(i, 3, " + ") == 0) i += 3;
          else break;
        }
      }
      if (i >= text.size() || text[i] != ')') return fail("')' expected");
      ++i;
    }
    out.Cubes.push_back(cube);
  }
  return true;
}

// Reads a section of an output pane text ("Optimized Function(s):" or "All
// Prime Implicants"): the heading line, one line "fK = ..." per function and
// an empty line. Returns an empty string on success, else what was wrong.
inline std::string ParseSection(const std::string& pane, const std::string& heading, int width, int functionCount,
                                bool pos, bool terms, std::vector<TextFunction>& out) {
  const std::string head = heading + "\r\n";
  const size_t at = pane.find(head);
  if (at == std::string::npos) return "no '" + heading + "' section";
  size_t i = at + head.size();
  out.assign(static_cast<size_t>(functionCount), {});
  // A result without any cube prints no function lines at all.
  if (pane.compare(i, 2, "\r\n") == 0) return {};
  for (int f = 0; f < functionCount; ++f) {
    const std::string prefix = "f" + std::to_string(f) + " = ";
    if (pane.compare(i, prefix.size(), prefix) != 0) return "line '" + prefix + "' expected";
    i += prefix.size();
    const size_t end = pane.find("\r\n", i);
    if (end == std::string::npos) return "line end expected";
    std::string error;
    if (!ParseExpression(pane.substr(i, end - i), width, pos, terms, out[static_cast<size_t>(f)], error)) return error;
    i = end + 2;
  }
  if (pane.compare(i, 2, "\r\n") != 0) return "an empty line expected after the section";
  return {};
}

// The value a read-back function gives on a row.
inline uint8_t Evaluate(const TextFunction& f, uint32_t row, bool pos) {
  for (const auto& c : f.Cubes)
    if (c.Contains(row)) return pos ? kZero : kOne;
  return pos ? kOne : kZero;
}

// Compares a read-back function with a truth table on every care row.
// Returns an empty string when they agree, else the first differing row.
inline std::string CompareWithTable(const TextFunction& f, const std::vector<uint8_t>& table, bool pos) {
  for (size_t row = 0; row < table.size(); ++row) {
    if (table[row] == kDontCare) continue;
    const uint8_t got = Evaluate(f, static_cast<uint32_t>(row), pos);
    if (got != table[row]) {
      std::ostringstream s;
      s << "row " << row << " should be " << int(table[row]) << " but the result gives " << int(got);
      return s.str();
    }
  }
  return {};
}

// A cube of an implicant list must never cover a row where the function has
// the opposite value (a 0 row for SOP, a 1 row for POS).
inline std::string ImplicantViolation(const TextFunction& f, const std::vector<uint8_t>& table, bool pos) {
  const uint8_t forbidden = pos ? kOne : kZero;
  for (size_t k = 0; k < f.Cubes.size(); ++k)
    for (size_t row = 0; row < table.size(); ++row)
      if (table[row] == forbidden && f.Cubes[k].Contains(static_cast<uint32_t>(row)))
        return "implicant " + std::to_string(k) + " covers row " + std::to_string(row);
  return {};
}

}  // namespace tavro::check
