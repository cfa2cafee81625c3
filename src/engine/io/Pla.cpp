#include "engine/io/Pla.h"

#include "engine/core/CubeSets.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdint>

#include "engine/core/RunParams.h"
#include "engine/io/FileIO.h"
#include "engine/io/Format.h"

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

// Past 32 inputs a row's bits are held in 64-bit words beside it.
size_t RowWords(int inputs) { return inputs > 32 ? static_cast<size_t>((inputs + 63) / 64) : 0; }

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
uint64_t CoverBytes(size_t rows, int inputs, int outputs) {
  const uint64_t cube = inputs > 32 ? 16 * RowWords(inputs) : 2 * sizeof(uint32_t);
  return rows * (cube + sizeof(uint64_t) * static_cast<uint64_t>((outputs + 63) / 64));
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

// What the reader takes from the text: the sizes, the sets the rows list,
// and the rows with their output characters.
struct TPlaTable {
  int Inputs = -1, Outputs = -1;
  unsigned Sets = kOn | kDc;
  std::vector<Row> Rows;
  std::string OutChars;  // outputs characters of all rows, row after row
  // Past 32 inputs, each row's value words and then its mask words
  // (RowWords each, the lowest input first).
  std::vector<uint64_t> Wide;
};

// Reads a PLA text line by line: its header keywords, the name lists (which
// may run on over several lines) and the rows of its cube table (which may
// too). The names go straight into the system being read.
class TPlaReader {
 public:
  // held: the memory held so far, which the rows read add to.
  TPlaReader(TPlaSystem& pla, const TLoadParams& params, uint64_t& held) : FPla(pla), FParams(params), FHeld(held) {}

  // Reads up to the end of the text or a .e line, then checks that nothing
  // was left unfinished and that the sizes were declared.
  TPlaTable Read(std::string_view text);

 private:
  bool ReadKeyword(const std::vector<std::string_view>& words);
  void ReadNames(const std::string& keyword, const std::vector<std::string_view>& words);
  void ContinueNames(const std::vector<std::string_view>& words);
  void ReadRowLine(std::string_view line);
  void AddRow();
  void CheckEnd() const;
  [[noreturn]] void FailLength(int line, const char* which) const;

  TPlaSystem& FPla;
  const TLoadParams& FParams;
  uint64_t& FHeld;
  TPlaTable FTable;
  int FLine = 0;
  std::vector<std::string>* FPendingNames = nullptr;  // a name list still short
  size_t FPendingCount = 0;
  int FPendingLine = 0;
  std::string FPendingKeyword;
  std::string FCells;  // the characters of the row being read
  int FCellsLine = 0;  // the line it began on
};

void TPlaReader::FailLength(int line, const char* which) const {
  Fail(line, std::string(which) + " characters than " + std::to_string(FTable.Inputs) + " inputs and " +
                 std::to_string(FTable.Outputs) + " outputs");
}

TPlaTable TPlaReader::Read(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    std::string_view line = NextLine(text, pos);
    if ((++FLine & 0xfff) == 0) CheckStop();
    if (const size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    const auto words = Words(line);
    if (words.empty()) continue;
    if (FPendingNames) {
      ContinueNames(words);
      continue;
    }
    if (words[0][0] == '.') {
      if (!FCells.empty()) FailLength(FCellsLine, "fewer");
      if (!ReadKeyword(words)) break;
      continue;
    }
    ReadRowLine(line);
  }
  CheckEnd();
  return std::move(FTable);
}

// A header keyword; false for the end of the table (.e).
bool TPlaReader::ReadKeyword(const std::vector<std::string_view>& words) {
  const std::string keyword = Lower(words[0]);
  if (keyword == ".e" || keyword == ".end") return false;
  const bool afterRows = !FTable.Rows.empty();
  if (keyword == ".i") {
    if (FTable.Inputs >= 0) Fail(FLine, ".i appears twice");
    if (afterRows) Fail(FLine, ".i must come before the first row");
    const int64_t n = NumberArgument(words, FLine, 1000000);
    if (n < 1) Fail(FLine, ".i 0: a system needs at least one input");
    if (n > kMaxCubeInputs)
      Fail(FLine, ".i " + (n > 1000000 ? std::string(words[1]) : std::to_string(n)) + ": too many inputs (at most " +
                      std::to_string(kMaxCubeInputs) + ")");
    FTable.Inputs = static_cast<int>(n);
  } else if (keyword == ".o") {
    if (FTable.Outputs >= 0) Fail(FLine, ".o appears twice");
    if (afterRows) Fail(FLine, ".o must come before the first row");
    const int64_t n = NumberArgument(words, FLine, MaxPlaOutputs);
    if (n < 1) Fail(FLine, ".o 0: a system needs at least one output");
    if (n > MaxPlaOutputs) Fail(FLine, "too many outputs (at most " + std::to_string(MaxPlaOutputs) + ")");
    FTable.Outputs = static_cast<int>(n);
  } else if (keyword == ".p") {
    NumberArgument(words, FLine, INT32_MAX);  // the row count is not needed
  } else if (keyword == ".type") {
    if (afterRows) Fail(FLine, ".type must come before the first row");
    if (words.size() != 2) Fail(FLine, ".type needs exactly one type");
    FTable.Sets = TypeSets(words[1]);
    if (FTable.Sets == 0) Fail(FLine, "unknown .type '" + std::string(words[1]) + "' (known: f, fd, fr, fdr, r, dr)");
  } else if (keyword == ".ilb" || keyword == ".ob") {
    ReadNames(keyword, words);
  } else {
    Fail(FLine, "unsupported keyword " + std::string(words[0]));
  }
  return true;
}

// .ilb or .ob: the names on its line, and if they are fewer than declared,
// the count the lines after it still owe.
void TPlaReader::ReadNames(const std::string& keyword, const std::vector<std::string_view>& words) {
  const bool in = keyword == ".ilb";
  const int count = in ? FTable.Inputs : FTable.Outputs;
  if (count < 0) Fail(FLine, keyword + (in ? " must come after .i" : " must come after .o"));
  auto& names = in ? FPla.InputNames : FPla.OutputNames;
  if (!names.empty()) Fail(FLine, keyword + " appears twice");
  if (words.size() - 1 > static_cast<size_t>(count))
    Fail(FLine, keyword + " lists " + std::to_string(words.size() - 1) + " names, " + (in ? ".i" : ".o") +
                    " declares " + std::to_string(count));
  names.assign(words.begin() + 1, words.end());
  if (names.size() < static_cast<size_t>(count)) {
    FPendingNames = &names;
    FPendingCount = static_cast<size_t>(count);
    FPendingLine = FLine;
    FPendingKeyword = keyword;
  }
}

// Names run on over the following lines, whatever those hold, until the
// declared count is reached (the reference reader's rule, which some classic
// benchmark files rely on).
void TPlaReader::ContinueNames(const std::vector<std::string_view>& words) {
  for (const auto w : words) {
    if (FPendingNames->size() == FPendingCount)
      Fail(FLine, "more names than " + FPendingKeyword + " on line " + std::to_string(FPendingLine) + " needs");
    FPendingNames->emplace_back(w);
  }
  if (FPendingNames->size() == FPendingCount) FPendingNames = nullptr;
}

// A line of the cube table.
void TPlaReader::ReadRowLine(std::string_view line) {
  const int inputs = FTable.Inputs, outputs = FTable.Outputs;
  // Before the sizes are known a line that cannot be a row is a title and
  // passed over.
  if (inputs < 0 || outputs < 0) {
    const bool rowLike = line.find_first_not_of("01234-~| \t\r\f\v") == std::string_view::npos;
    if (!rowLike) return;
    Fail(FLine, inputs < 0 ? "a row before .i" : "a row before .o");
  }
  // A row may run on over several lines (some classic files put the input
  // part on one line and the output part on the next): its characters are
  // collected until the row is complete.
  const size_t need = static_cast<size_t>(inputs + outputs);
  if (FCells.empty()) FCellsLine = FLine;
  for (const char c : line) {
    if (c == '|' || std::isspace(static_cast<unsigned char>(c))) continue;
    if (FCells.size() > need) break;
    FCells += c;
  }
  if (FCells.size() > need) FailLength(FLine, "more");
  if (FCells.size() < need) return;
  AddRow();
  FCells.clear();
}

// The complete row in FCells: its input bits and its normalised output
// characters.
void TPlaReader::AddRow() {
  const int inputs = FTable.Inputs, outputs = FTable.Outputs;
  Row row;
  row.Line = FCellsLine;
  const size_t words = RowWords(inputs);
  uint64_t* wide = nullptr;
  if (words > 0) {
    FTable.Wide.resize(FTable.Wide.size() + 2 * words, 0);
    wide = FTable.Wide.data() + FTable.Wide.size() - 2 * words;
  }
  for (int p = 0; p < inputs; ++p) {
    const int k = inputs - 1 - p;
    const uint32_t bit = words ? 0 : uint32_t{1} << k;
    const auto setWide = [&](size_t at) {
      if (wide) wide[at + (static_cast<size_t>(k) >> 6)] |= uint64_t{1} << (k & 63);
    };
    switch (FCells[static_cast<size_t>(p)]) {
      case '0': break;
      case '1':
        row.Value |= bit;
        setWide(0);
        break;
      case '-':
      case '2':
      case '~':
        row.Mask |= bit;
        setWide(words);
        break;
      default:
        Fail(FCellsLine, Quoted(FCells[static_cast<size_t>(p)]) + " in input column " + std::to_string(p + 1) +
                             " (expected 0, 1 or -)");
    }
  }
  for (int j = 0; j < outputs; ++j) {
    const char c = FCells[static_cast<size_t>(inputs + j)];
    char v;
    switch (c) {
      case '1':
      case '4': v = kOutOn; break;
      case '0':
      case '3': v = kOutOff; break;
      case '-':
      case '2': v = kOutDc; break;
      case '~': v = kOutNone; break;
      default:
        Fail(FCellsLine, Quoted(c) + " in output column " + std::to_string(j + 1) + " (expected 1, 0, -, ~, 2 or 4)");
    }
    FTable.OutChars += v;
  }
  std::vector<Row>& rows = FTable.Rows;
  if (rows.size() == rows.capacity()) {
    // The rows and their output characters grow together; while they
    // move, the old storage and the new are both held.
    const size_t grown = std::max<size_t>(64, rows.capacity() * 2);
    const size_t rowBytes = sizeof(Row) + static_cast<size_t>(outputs) + 16 * RowWords(inputs);
    FParams.CheckMemory(FHeld + (rows.capacity() + grown) * rowBytes);
    rows.reserve(grown);
    FTable.OutChars.reserve(grown * static_cast<size_t>(outputs));
    FTable.Wide.reserve(grown * 2 * RowWords(inputs));
  }
  rows.push_back(row);
}

// The checks at the end of the text.
void TPlaReader::CheckEnd() const {
  if (!FCells.empty()) FailLength(FCellsLine, "fewer");
  if (FPendingNames)
    Fail(FPendingLine, FPendingKeyword + " lists " + std::to_string(FPendingNames->size()) + " of " +
                           std::to_string(FPendingCount) + " names before the end of the file");
  if (FTable.Inputs < 0) throw PlaError("No .i line: the number of inputs is missing");
  if (FTable.Outputs < 0) throw PlaError("No .o line: the number of outputs is missing");
}

// The rows as covers: the on-set cover (the rows' on and don't-care outputs)
// and the don't-care cover.
void FillCovers(const TPlaTable& table, TPlaSystem& pla) {
  const int outputs = table.Outputs;
  const unsigned sets = table.Sets;
  pla.Cubes = TCover(table.Inputs, outputs);
  pla.DontCareCubes = TCover(table.Inputs, outputs);
  pla.Cubes.Reserve(table.Rows.size());
  std::vector<uint64_t> tags(static_cast<size_t>(pla.Cubes.TagWords));
  std::vector<uint64_t> dcTags(static_cast<size_t>(pla.Cubes.TagWords));
  for (size_t r = 0; r < table.Rows.size(); ++r) {
    std::fill(tags.begin(), tags.end(), 0);
    std::fill(dcTags.begin(), dcTags.end(), 0);
    bool any = false, anyDc = false;
    for (int j = 0; j < outputs; ++j) {
      const char v = table.OutChars[r * static_cast<size_t>(outputs) + static_cast<size_t>(j)];
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
    const size_t words = RowWords(table.Inputs);
    if (words > 0) {
      const uint64_t* value = table.Wide.data() + r * 2 * words;
      if (any) pla.Cubes.AddWords(value, value + words, tags.data());
      if (anyDc) pla.DontCareCubes.AddWords(value, value + words, dcTags.data());
      continue;
    }
    if (any) pla.Cubes.Add(table.Rows[r].Value, table.Rows[r].Mask, tags.data());
    if (anyDc) pla.DontCareCubes.Add(table.Rows[r].Value, table.Rows[r].Mask, dcTags.data());
  }
}

// The covers of a wide table whose type lists an off-set, where the terms
// cannot be listed: the rows' on- and don't-care sets as FillCovers makes
// them, and for each output the cubes of the terms its rows leave out, made
// by complementing. Under fr and fdr those are don't cares (neither on nor
// off); under r and dr they are the on-set (neither off nor don't care).
// (A term in both the on- and the off-set is not looked for here.)
void ComplementCovers(const TPlaTable& table, TPlaSystem& pla) {
  FillCovers(table, pla);
  const int outputs = table.Outputs;
  const size_t words = RowWords(table.Inputs);
  TCover off(table.Inputs, outputs);
  std::vector<uint64_t> tags(static_cast<size_t>(off.TagWords));
  for (size_t r = 0; r < table.Rows.size(); ++r) {
    std::fill(tags.begin(), tags.end(), 0);
    bool any = false;
    for (int j = 0; j < outputs; ++j)
      if (table.OutChars[r * static_cast<size_t>(outputs) + static_cast<size_t>(j)] == kOutOff) {
        tags[static_cast<size_t>(j) >> 6] |= uint64_t{1} << (j & 63);
        any = true;
      }
    if (!any) continue;
    if (words > 0)
      off.AddWords(table.Wide.data() + r * 2 * words, table.Wide.data() + r * 2 * words + words, tags.data());
    else off.Add(table.Rows[r].Value, table.Rows[r].Mask, tags.data());
  }
  const bool onGiven = (table.Sets & kOn) != 0;
  TCover cubes = std::move(pla.Cubes), dontCares = std::move(pla.DontCareCubes);
  for (int j = 0; j < outputs; ++j) {
    std::fill(tags.begin(), tags.end(), 0);
    tags[static_cast<size_t>(j) >> 6] |= uint64_t{1} << (j & 63);
    // Under fr and fdr the on-set is among the cubes; under r and dr only
    // the don't cares are.
    const size_t before = cubes.Count();
    AppendComplement({&cubes, &off}, j, table.Inputs, tags.data(), cubes);
    if (onGiven)
      for (size_t k = before; k < cubes.Count(); ++k) dontCares.AddFrom(cubes, k, tags.data());
  }
  pla.Cubes = std::move(cubes);
  pla.DontCareCubes = std::move(dontCares);
}

// Refuses a system run from its rows whose outputs together list too many
// terms. The rows' sizes bound the terms; only past the limit are they
// counted.
void CheckRowTerms(const TPlaSystem& pla, int inputs, int outputs) {
  const TCubeSystem cubes{&pla.Cubes, &pla.DontCareCubes};
  uint64_t bound = 0;
  for (size_t k = 0; k < pla.Cubes.Count(); ++k)
    for (int w = 0; w < pla.Cubes.TagWords; ++w)
      bound += pla.Cubes.Size(k) * static_cast<uint64_t>(std::popcount(pla.Cubes.Tags(k)[w]));
  uint64_t totalTerms = 0;
  for (int j = 0; j < outputs && bound > kMaxPlaTerms; ++j) {
    totalTerms += static_cast<uint64_t>(ListedCount(cubes, j, inputs));
    if (totalTerms > kMaxPlaTerms) TooManyTerms(j, pla.OutputNames);
  }
}

// The terms of one output at a time, from three bitmaps over all 2^inputs
// terms (and a fourth for the clashes of on- and off-set).
class TOutputBitmaps {
 public:
  TOutputBitmaps(const TPlaTable& table, size_t words)
      : FTable(table), FWords(words), FOn(words), FDc(words), FOff(words) {
    const uint64_t termCount = uint64_t{1} << table.Inputs;
    FLastWordMask = termCount % 64 ? (uint64_t{1} << (termCount % 64)) - 1 : ~uint64_t{0};
  }

  // Fills the bitmaps with output j's rows; true when some row puts a term
  // in its off-set.
  bool Fill(int j);
  // Refuses output j when a term is both on and off (and not a don't care).
  void CheckClashes(int j, const std::vector<std::string>& names) const;
  // Makes the filled bitmaps the terms output j lists: careOn (in place of
  // the on-set) and dc, the final don't cares; returns their number.
  uint64_t Settle();
  // The listed terms of Settle, ascending, with their don't-care flags.
  void Assign(TTermVector& function, uint64_t listed) const;

 private:
  char Output(size_t r, int j) const {
    return FTable.OutChars[r * static_cast<size_t>(FTable.Outputs) + static_cast<size_t>(j)];
  }

  const TPlaTable& FTable;
  size_t FWords;
  uint64_t FLastWordMask;
  std::vector<uint64_t> FOn, FDc, FOff;
  std::vector<uint64_t>& FCareOn = FOn;
};

bool TOutputBitmaps::Fill(int j) {
  CheckStop();
  std::fill(FOn.begin(), FOn.end(), 0);
  std::fill(FDc.begin(), FDc.end(), 0);
  std::fill(FOff.begin(), FOff.end(), 0);
  const unsigned sets = FTable.Sets;
  bool anyOff = false;
  for (size_t r = 0; r < FTable.Rows.size(); ++r) {
    if ((r & 0xfff) == 0xfff) CheckStop();
    const char v = Output(r, j);
    const Row& row = FTable.Rows[r];
    if (v == kOutOn && (sets & kOn)) SetCubeBits(FOn, row.Value, row.Mask);
    else if (v == kOutDc && (sets & kDc)) SetCubeBits(FDc, row.Value, row.Mask);
    else if (v == kOutOff && (sets & kOff)) SetCubeBits(FOff, row.Value, row.Mask), anyOff = true;
  }
  return anyOff;
}

void TOutputBitmaps::CheckClashes(int j, const std::vector<std::string>& names) const {
  std::vector<uint64_t> clash(FWords);
  bool any = false;
  for (size_t w = 0; w < FWords; ++w) any |= (clash[w] = FOn[w] & FOff[w] & ~FDc[w]) != 0;
  if (!any) return;
  for (size_t r = 0; r < FTable.Rows.size(); ++r) {
    if (Output(r, j) != kOutOff) continue;
    const Row& row = FTable.Rows[r];
    const int64_t t = FirstTermIn(clash, row.Value, row.Mask);
    if (t >= 0)
      Fail(row.Line, "term " + std::to_string(t) + " of " + OutputLabel(j, names) +
                         " is in the off-set here and in the on-set on another row");
  }
}

uint64_t TOutputBitmaps::Settle() {
  const unsigned sets = FTable.Sets;
  for (size_t w = 0; w < FWords; ++w) {
    const uint64_t valid = w + 1 == FWords ? FLastWordMask : ~uint64_t{0};
    if ((sets & kOn) && (sets & kOff)) {
      FDc[w] |= ~(FOn[w] | FOff[w]) & valid;
      FCareOn[w] = FOn[w] & ~FDc[w];
    } else if (sets & kOn) {
      FCareOn[w] = FOn[w] & ~FDc[w];
    } else {
      FCareOn[w] = ~(FOff[w] | FDc[w]) & valid;
    }
  }
  uint64_t listed = 0;
  for (size_t w = 0; w < FWords; ++w) listed += static_cast<uint64_t>(std::popcount(FCareOn[w] | FDc[w]));
  return listed;
}

void TOutputBitmaps::Assign(TTermVector& function, uint64_t listed) const {
  std::vector<int32_t> terms;
  terms.reserve(static_cast<size_t>(listed));
  std::vector<bool> flags(static_cast<size_t>(listed), false);
  for (size_t w = 0; w < FWords; ++w) {
    uint64_t all = FCareOn[w] | FDc[w];
    while (all) {
      const int b = std::countr_zero(all);
      all &= all - 1;
      if ((FDc[w] >> b) & 1u) flags[terms.size()] = true;
      terms.push_back(static_cast<int32_t>(w * 64 + static_cast<size_t>(b)));
    }
  }
  function.AssignAscending(std::move(terms), std::move(flags));
}

// Lists every output's terms, one output at a time, within the memory limit
// (held: the memory held so far).
void ListTerms(const TPlaTable& table, const TLoadParams& params, uint64_t held, TPlaSystem& pla) {
  const int outputs = table.Outputs;
  const unsigned sets = table.Sets;
  const uint64_t termCount = uint64_t{1} << table.Inputs;
  const size_t words = static_cast<size_t>((termCount + 63) / 64);
  held += 4 * words * sizeof(uint64_t) + static_cast<uint64_t>(outputs) * sizeof(TTermVector);
  params.CheckMemory(held);
  TOutputBitmaps maps(table, words);
  pla.Functions.resize(static_cast<size_t>(outputs));
  uint64_t totalTerms = 0;
  for (int j = 0; j < outputs; ++j) {
    const bool anyOff = maps.Fill(j);
    if ((sets & kOn) && (sets & kOff) && anyOff) maps.CheckClashes(j, pla.OutputNames);

    // Every function together may list so many terms (about 1.1 GiB of
    // them); a few lines of a PLA can declare far more.
    const uint64_t listed = maps.Settle();
    totalTerms += listed;
    if (totalTerms > kMaxPlaTerms) TooManyTerms(j, pla.OutputNames);
    if (held + TTermVector::BytesFor(listed) > params.MemoryLimit()) {
      // Refused: the outputs left are counted, not listed, to say what all
      // of them would need (unless together they are too many anyway).
      uint64_t needed = held + TTermVector::BytesFor(listed);
      for (int k = j + 1; k < outputs; ++k) {
        maps.Fill(k);
        const uint64_t more = maps.Settle();
        totalTerms += more;
        if (totalTerms > kMaxPlaTerms) TooManyTerms(k, pla.OutputNames);
        needed += TTermVector::BytesFor(more);
      }
      throw TooLargeError(needed);
    }
    held += TTermVector::BytesFor(listed);
    maps.Assign(pla.Functions[static_cast<size_t>(j)], listed);
  }
}

}  // namespace

TPlaSystem ParsePlaText(std::string_view text, const TLoadParams& params) {
  const bool listTerms = params.ListPlaTerms;
  // Memory held: the text (its holder's) and what is read from it.
  uint64_t held = text.size();
  text = WithoutByteOrderMark(text);
  TPlaSystem pla;
  const TPlaTable table = TPlaReader(pla, params, held).Read(text);
  const int inputs = table.Inputs, outputs = table.Outputs;
  const unsigned sets = table.Sets;

  pla.Inputs = inputs;
  held += table.Rows.capacity() * sizeof(Row) + table.OutChars.capacity() + table.Wide.capacity() * 8;
  for (const auto* names : {&pla.InputNames, &pla.OutputNames})
    for (const auto& name : *names) held += sizeof(std::string) + name.capacity();
  if (!(sets & kOff)) {
    // Every row may go into both covers.
    held += 2 * CoverBytes(table.Rows.size(), inputs, outputs);
    params.CheckMemory(held);
    FillCovers(table, pla);
  }

  // Past the term-number world the rows are all there is: a run works from
  // them (run/Route.h). A set given by what the rows leave out is their
  // complement, made as cubes.
  if (inputs > MaxInputBits) {
    if (sets & kOff) ComplementCovers(table, pla);
    pla.Functions.resize(static_cast<size_t>(outputs));
    pla.TermsListed = false;
    return pla;
  }

  // A wide system described by its rows alone keeps its terms in them
  // (counted, not listed): from that width a run may work from the rows,
  // and its route (run/Route.h) lists the terms only where it needs them.
  if (!listTerms && !(sets & kOff) && inputs >= kCubesFromInputs) {
    CheckRowTerms(pla, inputs, outputs);
    pla.Functions.resize(static_cast<size_t>(outputs));
    pla.TermsListed = false;
    return pla;
  }

  ListTerms(table, params, held, pla);
  return pla;
}

bool IsPlaPath(const std::string& path) {
  if (path.size() < 4) return false;
  return Lower(std::string_view(path).substr(path.size() - 4)) == ".pla";
}

void LoadPlaFile(TFunctionSystem& system, const std::string& path, const TLoadParams& params) {
  LoadPlaText(system, ReadFile(path, {"PLA file", false, params.MemoryLimit()}), params);
}

void LoadPlaText(TFunctionSystem& system, std::string_view text, const TLoadParams& params) {
  TPlaSystem pla = ParsePlaText(text, params);
  system.TermsInSource = !pla.TermsListed;
  system.EmptyIsConstant = true;
  system.Functions = std::move(pla.Functions);
  system.MinInputBits = pla.Inputs;
  system.Names = {std::move(pla.InputNames), std::move(pla.OutputNames)};
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

namespace {

// Appends the rows of cubes: each input column, a blank, then per output
// tagged where the cube is tagged for it and untagged elsewhere.
void AppendRows(std::string& t, const TCover& cubes, int inputBits, int functionCount, char tagged, char untagged) {
  for (size_t k = 0; k < cubes.Count(); ++k) {
    for (int p = 0; p < inputBits; ++p) {
      const int bitIndex = cubes.Width - 1 - p;
      if (bitIndex < 0 || cubes.FreeAt(k, bitIndex)) t += '-';
      else t += cubes.OneAt(k, bitIndex) ? '1' : '0';
    }
    t += ' ';
    for (int i = 0; i < functionCount; ++i) t += i < cubes.FunctionCount && cubes.Tag(k, i) ? tagged : untagged;
    t += '\n';
  }
}

}  // namespace

std::string PlaText(const TCover& cubes, int inputBits, int functionCount, int mode, const TSignalNames& names,
                    const TPlaSets& sets) {
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
    t += names.Input(p);
  }
  t += "\n.ob";
  for (int i = 0; i < functionCount; ++i) {
    t += ' ';
    t += names.Output(i);
  }
  // The result is the on-set after SOP and the off-set after POS; the rest
  // is the other of the two.
  std::string type;
  if (!pos || sets.Rest) type += 'f';
  if (sets.DontCares) type += 'd';
  if (pos || sets.Rest) type += 'r';
  t += "\n.type " + type + "\n";
  t += ".p ";
  t += std::to_string(cubes.Count() + (sets.DontCares ? sets.DontCares->Count() : 0) +
                      (sets.Rest ? sets.Rest->Count() : 0));
  t += '\n';
  // Where the off-set is listed a "0" would put a row there: "~" marks the
  // functions a row says nothing about.
  AppendRows(t, cubes, inputBits, functionCount, pos ? '0' : '1', pos || sets.Rest ? '~' : '0');
  if (sets.DontCares) AppendRows(t, *sets.DontCares, inputBits, functionCount, '-', '~');
  if (sets.Rest) AppendRows(t, *sets.Rest, inputBits, functionCount, pos ? '1' : '0', '~');
  t += ".e\n";
  return t;
}

void WritePla(const TCover& cubes, const std::string& path, int mode, int inputBits, int functionCount,
              const TSignalNames& names, const TPlaSets& sets) {
  WriteFileAtomic(path, PlaText(cubes, inputBits, functionCount, mode, names, sets));
}

}  // namespace tavro
