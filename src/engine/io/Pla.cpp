#include "engine/io/Pla.h"

#include "engine/core/CubeSets.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdint>

#include "engine/io/FileIO.h"
#include "engine/io/Format.h"
#include "engine/core/RunParams.h"

namespace tavro {

namespace {

// Which sets a .type lists.
constexpr unsigned kOn = 1, kDc = 2, kOff = 4;

// Output characters after normalisation.
constexpr char kOutOn = '1', kOutOff = '0', kOutDc = '-', kOutNone = '~';

struct Row {
  uint32_t Value = 0;  // fixed input bits
  uint32_t Mask = 0;   // free input bits
  int Line = 0;
};

[[noreturn]] void Fail(int line, const std::string& what) {
  throw PlaError("Line " + std::to_string(line) + ": " + what);
}

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    const size_t start = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

// The single decimal argument of a keyword, at most limit.
int64_t NumberArgument(const std::vector<std::string_view>& words, int line, int64_t limit) {
  const std::string keyword(words[0]);
  if (words.size() != 2) Fail(line, keyword + " needs exactly one number");
  int64_t n = 0;
  for (const char c : words[1]) {
    if (c < '0' || c > '9') Fail(line, keyword + " needs a number, not '" + std::string(words[1]) + "'");
    n = n * 10 + (c - '0');
    if (n > limit) n = limit + 1;
  }
  return n;
}

unsigned TypeSets(std::string_view word) {
  const std::string w = Lower(word);
  if (w == "f") return kOn;
  if (w == "fd") return kOn | kDc;
  if (w == "fr") return kOn | kOff;
  if (w == "fdr") return kOn | kDc | kOff;
  if (w == "r") return kOff;
  if (w == "dr") return kDc | kOff;
  return 0;
}


// The first term of the cube whose bit is set, or -1.
int64_t FirstTermIn(const std::vector<uint64_t>& bits, uint32_t value, uint32_t mask) {
  std::vector<uint64_t> cube(bits.size(), 0);
  SetCubeBits(cube, value, mask);
  for (size_t w = 0; w < bits.size(); ++w)
    if (const uint64_t hit = bits[w] & cube[w])
      return static_cast<int64_t>(w * 64 + static_cast<size_t>(std::countr_zero(hit)));
  return -1;
}

// The character in single quotes. (Built piecewise: GCC 12 gives a false
// -Wrestrict for "'" + std::string.)
std::string Quoted(char c) {
  std::string s(3, '\'');
  s[1] = c;
  return s;
}

std::string OutputLabel(int j, const std::vector<std::string>& names) {
  std::string s = "output " + std::to_string(j + 1);
  if (!names.empty()) s += " (" + names[static_cast<size_t>(j)] + ")";
  return s;
}

[[noreturn]] void TooManyTerms(int output, const std::vector<std::string>& names) {
  throw PlaError("The PLA lists more than " + std::to_string(kMaxPlaTerms) + " terms in all (its outputs from " +
                 OutputLabel(output, names) + " on are too many)");
}

// Memory the rows of a cover take.
uint64_t CoverBytes(size_t rows, int outputs) {
  return rows * (2 * sizeof(uint32_t) + sizeof(uint64_t) * static_cast<uint64_t>((outputs + 63) / 64));
}

// The next line of text from pos on, without its end: a line feed, a
// carriage return and a line feed, or a carriage return alone.
std::string_view NextLine(std::string_view text, size_t& pos) {
  size_t end = text.find_first_of("\r\n", pos);
  if (end == std::string_view::npos) end = text.size();
  const std::string_view line = text.substr(pos, end - pos);
  pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  return line;
}

}  // namespace

TPlaSystem ParsePlaText(std::string_view text, const TLoadParams& params) {
  const bool listTerms = params.ListPlaTerms;
  // Memory held: the text (its holder's) and what is read from it.
  uint64_t held = text.size();
  text = WithoutByteOrderMark(text);
  TPlaSystem pla;
  int inputs = -1, outputs = -1;
  unsigned sets = kOn | kDc;
  std::vector<Row> rows;
  std::string outChars;  // outputs characters of all rows, row after row
  std::vector<std::string>* pendingNames = nullptr;  // a name list still short
  size_t pendingCount = 0;
  int pendingLine = 0;
  std::string pendingKeyword;
  int lineNo = 0;
  std::string cells;  // the characters of the row being read
  int cellsLine = 0;  // the line it began on
  auto FailLength = [&](int line, const char* which) {
    Fail(line, std::string(which) + " characters than " + std::to_string(inputs) + " inputs and " +
                   std::to_string(outputs) + " outputs");
  };
  size_t pos = 0;
  while (pos < text.size()) {
    std::string_view line = NextLine(text, pos);
    if ((++lineNo & 0xfff) == 0) CheckStop();
    if (const size_t hash = line.find('#'); hash != std::string_view::npos)
      line = line.substr(0, hash);
    const auto words = Words(line);
    if (words.empty()) continue;

    if (pendingNames) {
      // Names run on over the following lines, whatever those hold, until
      // the declared count is reached (the reference reader's rule, which
      // some classic benchmark files rely on).
      for (const auto w : words) {
        if (pendingNames->size() == pendingCount)
          Fail(lineNo, "more names than " + pendingKeyword + " on line " +
                           std::to_string(pendingLine) + " needs");
        pendingNames->emplace_back(w);
      }
      if (pendingNames->size() == pendingCount) pendingNames = nullptr;
      continue;
    }

    if (words[0][0] == '.') {
      if (!cells.empty()) FailLength(cellsLine, "fewer");
      const std::string keyword = Lower(words[0]);
      if (keyword == ".e" || keyword == ".end") break;
      if (keyword == ".i") {
        if (inputs >= 0) Fail(lineNo, ".i appears twice");
        if (!rows.empty()) Fail(lineNo, ".i must come before the first row");
        const int64_t n = NumberArgument(words, lineNo, 1000000);
        if (n < 1) Fail(lineNo, ".i 0: a system needs at least one input");
        if (n > MaxInputBits)
          Fail(lineNo, ".i " + (n > 1000000 ? std::string(words[1]) : std::to_string(n)) +
                           ": too many inputs (at most " + std::to_string(MaxInputBits) + ")");
        inputs = static_cast<int>(n);
      } else if (keyword == ".o") {
        if (outputs >= 0) Fail(lineNo, ".o appears twice");
        if (!rows.empty()) Fail(lineNo, ".o must come before the first row");
        const int64_t n = NumberArgument(words, lineNo, MaxPlaOutputs);
        if (n < 1) Fail(lineNo, ".o 0: a system needs at least one output");
        if (n > MaxPlaOutputs)
          Fail(lineNo, "too many outputs (at most " + std::to_string(MaxPlaOutputs) + ")");
        outputs = static_cast<int>(n);
      } else if (keyword == ".p") {
        NumberArgument(words, lineNo, INT32_MAX);  // the row count is not needed
      } else if (keyword == ".type") {
        if (!rows.empty()) Fail(lineNo, ".type must come before the first row");
        if (words.size() != 2) Fail(lineNo, ".type needs exactly one type");
        sets = TypeSets(words[1]);
        if (sets == 0)
          Fail(lineNo, "unknown .type '" + std::string(words[1]) +
                           "' (known: f, fd, fr, fdr, r, dr)");
      } else if (keyword == ".ilb" || keyword == ".ob") {
        const bool in = keyword == ".ilb";
        const int count = in ? inputs : outputs;
        if (count < 0) Fail(lineNo, keyword + (in ? " must come after .i" : " must come after .o"));
        auto& names = in ? pla.InputNames : pla.OutputNames;
        if (!names.empty()) Fail(lineNo, keyword + " appears twice");
        if (words.size() - 1 > static_cast<size_t>(count))
          Fail(lineNo, keyword + " lists " + std::to_string(words.size() - 1) + " names, " +
                           (in ? ".i" : ".o") + " declares " + std::to_string(count));
        names.assign(words.begin() + 1, words.end());
        if (names.size() < static_cast<size_t>(count)) {
          pendingNames = &names;
          pendingCount = static_cast<size_t>(count);
          pendingLine = lineNo;
          pendingKeyword = keyword;
        }
      } else {
        Fail(lineNo, "unsupported keyword " + std::string(words[0]));
      }
      continue;
    }

    // A row of the cube table. Before the sizes are known a line that cannot
    // be a row is a title and passed over.
    if (inputs < 0 || outputs < 0) {
      const bool rowLike = line.find_first_not_of("01234-~| \t\r\f\v") == std::string_view::npos;
      if (!rowLike) continue;
      Fail(lineNo, inputs < 0 ? "a row before .i" : "a row before .o");
    }
    // A row may run on over several lines (some classic files put the input
    // part on one line and the output part on the next): its characters are
    // collected until the row is complete.
    const size_t need = static_cast<size_t>(inputs + outputs);
    if (cells.empty()) cellsLine = lineNo;
    for (const char c : line) {
      if (c == '|' || std::isspace(static_cast<unsigned char>(c))) continue;
      if (cells.size() > need) break;
      cells += c;
    }
    if (cells.size() > need) FailLength(lineNo, "more");
    if (cells.size() < need) continue;
    Row row;
    row.Line = cellsLine;
    for (int p = 0; p < inputs; ++p) {
      const uint32_t bit = uint32_t{1} << (inputs - 1 - p);
      switch (cells[static_cast<size_t>(p)]) {
        case '0': break;
        case '1': row.Value |= bit; break;
        case '-': case '2': case '~': row.Mask |= bit; break;
        default:
          Fail(cellsLine, Quoted(cells[static_cast<size_t>(p)]) + " in input column " +
                           std::to_string(p + 1) + " (expected 0, 1 or -)");
      }
    }
    for (int j = 0; j < outputs; ++j) {
      const char c = cells[static_cast<size_t>(inputs + j)];
      char v;
      switch (c) {
        case '1': case '4': v = kOutOn; break;
        case '0': case '3': v = kOutOff; break;
        case '-': case '2': v = kOutDc; break;
        case '~': v = kOutNone; break;
        default:
          Fail(cellsLine, Quoted(c) + " in output column " + std::to_string(j + 1) +
                           " (expected 1, 0, -, ~, 2 or 4)");
      }
      outChars += v;
    }
    if (rows.size() == rows.capacity()) {
      // The rows and their output characters grow together; while they
      // move, the old storage and the new are both held.
      const size_t grown = std::max<size_t>(64, rows.capacity() * 2);
      params.CheckMemory(held + (rows.capacity() + grown) * (sizeof(Row) + static_cast<size_t>(outputs)));
      rows.reserve(grown);
      outChars.reserve(grown * static_cast<size_t>(outputs));
    }
    rows.push_back(row);
    cells.clear();
  }
  if (!cells.empty()) FailLength(cellsLine, "fewer");
  if (pendingNames)
    Fail(pendingLine, pendingKeyword + " lists " + std::to_string(pendingNames->size()) + " of " +
                          std::to_string(pendingCount) + " names before the end of the file");
  if (inputs < 0) throw PlaError("No .i line: the number of inputs is missing");
  if (outputs < 0) throw PlaError("No .o line: the number of outputs is missing");

  pla.Inputs = inputs;
  held += rows.capacity() * sizeof(Row) + outChars.capacity();
  for (const auto* names : {&pla.InputNames, &pla.OutputNames})
    for (const auto& name : *names) held += sizeof(std::string) + name.capacity();
  if (!(sets & kOff)) {
    // Every row may go into both covers.
    held += 2 * CoverBytes(rows.size(), outputs);
    params.CheckMemory(held);
    pla.Cubes = TCover(inputs, outputs);
    pla.DontCareCubes = TCover(inputs, outputs);
    pla.Cubes.Reserve(rows.size());
    std::vector<uint64_t> tags(static_cast<size_t>(pla.Cubes.TagWords));
    std::vector<uint64_t> dcTags(static_cast<size_t>(pla.Cubes.TagWords));
    for (size_t r = 0; r < rows.size(); ++r) {
      std::fill(tags.begin(), tags.end(), 0);
      std::fill(dcTags.begin(), dcTags.end(), 0);
      bool any = false, anyDc = false;
      for (int j = 0; j < outputs; ++j) {
        const char v = outChars[r * static_cast<size_t>(outputs) + static_cast<size_t>(j)];
        const uint64_t bit = uint64_t{1} << (j & 63);
        if ((v == kOutOn && (sets & kOn)) || (v == kOutDc && (sets & kDc))) {
          tags[static_cast<size_t>(j) >> 6] |= bit;
          any = true;
        }
        if (v == kOutDc && (sets & kDc)) {
          dcTags[static_cast<size_t>(j) >> 6] |= bit;
          anyDc = true;
        }
      }
      if (any) pla.Cubes.Add(rows[r].Value, rows[r].Mask, tags.data());
      if (anyDc) pla.DontCareCubes.Add(rows[r].Value, rows[r].Mask, dcTags.data());
    }
  }

  // A wide system described by its rows alone keeps its terms in them
  // (counted, not listed): from that width a run may work from the rows,
  // and its route (run/Route.h) lists the terms only where it needs them.
  if (!listTerms && !(sets & kOff) && inputs >= kCubesFromInputs) {
    const TCubeSystem cubes{&pla.Cubes, &pla.DontCareCubes};
    // The rows' sizes bound the terms; only past the limit are they counted.
    uint64_t bound = 0;
    for (size_t k = 0; k < pla.Cubes.Count(); ++k)
      for (int w = 0; w < pla.Cubes.TagWords; ++w)
        bound += pla.Cubes.Size(k) * static_cast<uint64_t>(std::popcount(pla.Cubes.Tags(k)[w]));
    uint64_t totalTerms = 0;
    for (int j = 0; j < outputs && bound > kMaxPlaTerms; ++j) {
      totalTerms += ListedCount(cubes, j, inputs);
      if (totalTerms > kMaxPlaTerms) TooManyTerms(j, pla.OutputNames);
    }
    pla.Functions.resize(static_cast<size_t>(outputs));
    pla.TermsListed = false;
    return pla;
  }

  // One output at a time: three bitmaps over all 2^inputs terms (and a
  // fourth for the clashes of on- and off-set).
  const uint64_t termCount = uint64_t{1} << inputs;
  const size_t words = static_cast<size_t>((termCount + 63) / 64);
  const uint64_t lastWordMask =
      termCount % 64 ? (uint64_t{1} << (termCount % 64)) - 1 : ~uint64_t{0};
  held += 4 * words * sizeof(uint64_t) + static_cast<uint64_t>(outputs) * sizeof(TTermVector);
  params.CheckMemory(held);
  std::vector<uint64_t> on(words), dc(words), off(words);
  pla.Functions.resize(static_cast<size_t>(outputs));
  uint64_t totalTerms = 0;
  // Fills the bitmaps with output j's rows; true when some row puts a term
  // in its off-set.
  auto fill = [&](int j) {
    CheckStop();
    std::fill(on.begin(), on.end(), 0);
    std::fill(dc.begin(), dc.end(), 0);
    std::fill(off.begin(), off.end(), 0);
    bool anyOff = false;
    for (size_t r = 0; r < rows.size(); ++r) {
      if ((r & 0xfff) == 0xfff) CheckStop();
      const char v = outChars[r * static_cast<size_t>(outputs) + static_cast<size_t>(j)];
      if (v == kOutOn && (sets & kOn)) SetCubeBits(on, rows[r].Value, rows[r].Mask);
      else if (v == kOutDc && (sets & kDc)) SetCubeBits(dc, rows[r].Value, rows[r].Mask);
      else if (v == kOutOff && (sets & kOff)) SetCubeBits(off, rows[r].Value, rows[r].Mask), anyOff = true;
    }
    return anyOff;
  };
  // The terms output j lists, from its filled bitmaps: careOn (in place of
  // the on-set) and dc, the final don't cares.
  std::vector<uint64_t>& careOn = on;
  auto settle = [&] {
    for (size_t w = 0; w < words; ++w) {
      const uint64_t valid = w + 1 == words ? lastWordMask : ~uint64_t{0};
      if ((sets & kOn) && (sets & kOff)) {
        dc[w] |= ~(on[w] | off[w]) & valid;
        careOn[w] = on[w] & ~dc[w];
      } else if (sets & kOn) {
        careOn[w] = on[w] & ~dc[w];
      } else {
        careOn[w] = ~(off[w] | dc[w]) & valid;
      }
    }
    uint64_t listed = 0;
    for (size_t w = 0; w < words; ++w) listed += static_cast<uint64_t>(std::popcount(careOn[w] | dc[w]));
    return listed;
  };
  for (int j = 0; j < outputs; ++j) {
    const bool anyOff = fill(j);

    if ((sets & kOn) && (sets & kOff) && anyOff) {
      // A term that is both on and off (and not a don't care) is a fault.
      std::vector<uint64_t> clash(words);
      bool any = false;
      for (size_t w = 0; w < words; ++w) any |= (clash[w] = on[w] & off[w] & ~dc[w]) != 0;
      if (any)
        for (size_t r = 0; r < rows.size(); ++r) {
          if (outChars[r * static_cast<size_t>(outputs) + static_cast<size_t>(j)] != kOutOff)
            continue;
          const int64_t t = FirstTermIn(clash, rows[r].Value, rows[r].Mask);
          if (t >= 0)
            Fail(rows[r].Line, "term " + std::to_string(t) + " of " +
                                   OutputLabel(j, pla.OutputNames) +
                                   " is in the off-set here and in the on-set on another row");
        }
    }

    // Every function together may list so many terms (about 1.1 GiB of
    // them); a few lines of a PLA can declare far more.
    const uint64_t listed = settle();
    totalTerms += listed;
    if (totalTerms > kMaxPlaTerms) TooManyTerms(j, pla.OutputNames);
    if (held + TTermVector::BytesFor(listed) > params.MemoryLimit()) {
      // Refused: the outputs left are counted, not listed, to say what all
      // of them would need (unless together they are too many anyway).
      uint64_t needed = held + TTermVector::BytesFor(listed);
      for (int k = j + 1; k < outputs; ++k) {
        fill(k);
        const uint64_t more = settle();
        totalTerms += more;
        if (totalTerms > kMaxPlaTerms) TooManyTerms(k, pla.OutputNames);
        needed += TTermVector::BytesFor(more);
      }
      throw TooLargeError(needed);
    }
    held += TTermVector::BytesFor(listed);

    std::vector<int32_t> terms;
    terms.reserve(static_cast<size_t>(listed));
    std::vector<bool> flags(static_cast<size_t>(listed), false);
    for (size_t w = 0; w < words; ++w) {
      uint64_t all = careOn[w] | dc[w];
      while (all) {
        const int b = std::countr_zero(all);
        all &= all - 1;
        if ((dc[w] >> b) & 1u) flags[terms.size()] = true;
        terms.push_back(static_cast<int32_t>(w * 64 + static_cast<size_t>(b)));
      }
    }
    pla.Functions[static_cast<size_t>(j)].AssignAscending(std::move(terms), std::move(flags));
  }
  return pla;
}

bool IsPlaPath(const std::string& path) {
  if (path.size() < 4) return false;
  return Lower(std::string_view(path).substr(path.size() - 4)) == ".pla";
}

void LoadPlaFile(TFunctionSystem& system, const std::string& path, const TLoadParams& params) {
  TPlaSystem pla = ParsePlaText(ReadFile(path, {"PLA file", false, params.MemoryLimit()}), params);
  system.TermsInSource = !pla.TermsListed;
  system.EmptyIsConstant = true;
  system.Functions = std::move(pla.Functions);
  system.MinInputBits = pla.Inputs;
  system.SourceCubes.reset();
  system.SourceDontCares.reset();
  if (pla.Cubes.Width > 0) {
    system.SourceIdentity = TermsIdentity(system.Functions);
    system.SourceCubes = std::make_shared<const TCover>(std::move(pla.Cubes));
    if (!pla.DontCareCubes.Empty())
      system.SourceDontCares = std::make_shared<const TCover>(std::move(pla.DontCareCubes));
  }
  system.CurrentFileName.clear();
  system.Modified = true;
  system.ResultReady = false;
}

std::string PlaText(const TCover& cubes, int inputBits, int functionCount, int mode) {
  const bool pos = mode == modePOS;
  std::string t;
  t += "# Generated by Tavro.\n";
  if (pos)
    t += "# Product of sums: the rows are the cubes on which the functions are 0"
         " (a 0 marks each function the cube belongs to).\n";
  t += ".i ";
  t += std::to_string(inputBits);
  t += "\n.o ";
  t += std::to_string(functionCount);
  t += "\n.ilb";
  for (int p = 1; p <= inputBits; ++p) {
    t += ' ';
    t += VariableName(p);
  }
  t += "\n.ob";
  for (int i = 0; i < functionCount; ++i) {
    t += " f";
    t += std::to_string(i);
  }
  t += pos ? "\n.type r\n" : "\n.type f\n";
  t += ".p ";
  t += std::to_string(cubes.Count());
  t += '\n';
  for (size_t k = 0; k < cubes.Count(); ++k) {
    for (int p = 0; p < inputBits; ++p) {
      const int bitIndex = cubes.Width - 1 - p;
      const uint32_t bit = bitIndex >= 0 ? uint32_t{1} << bitIndex : 0;
      if (bit == 0 || (cubes.Mask(k) & bit)) t += '-';
      else t += (cubes.Value(k) & bit) ? '1' : '0';
    }
    t += ' ';
    for (int i = 0; i < functionCount; ++i) {
      const bool tagged = i < cubes.FunctionCount && cubes.Tag(k, i);
      t += pos ? (tagged ? '0' : '~') : (tagged ? '1' : '0');
    }
    t += '\n';
  }
  t += ".e\n";
  return t;
}

void WritePla(const TCover& cubes, const std::string& path, int mode, int inputBits,
              int functionCount) {
  WriteFileAtomic(path, PlaText(cubes, inputBits, functionCount, mode));
}

}  // namespace tavro
