#include "engine/io/Eqntott.h"

#include <cctype>
#include <vector>

#include "engine/core/FunctionSystem.h"

namespace tavro {

namespace {

bool IsIdentifier(const std::string& name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  for (const char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

// Joins pieces into lines of at most kWidth characters where it can: a piece
// that does not fit on the line begins the next one, after four blanks.
class TLineBreaker {
 public:
  explicit TLineBreaker(std::string& text) : FText(text) {}
  void Add(const std::string& piece) {
    if (FColumn > 4 && FColumn + piece.size() > kWidth) {
      FText += "\n    ";
      FColumn = 4;
    }
    FText += piece;
    FColumn += piece.size();
  }

 private:
  static constexpr size_t kWidth = 72;
  std::string& FText;
  size_t FColumn = 0;
};

}  // namespace

std::string EqntottText(const TCover& cubes, int inputBits, int functionCount, int mode, const TSignalNames& given) {
  const bool sop = mode == modeSOP;
  const TSignalNames names = UsableNames(given, inputBits, functionCount, IsIdentifier);
  std::string t;
  for (int f = 0; f < functionCount; ++f) {
    // Each cube's literals, joined by & (SOP) or | (POS), as pieces that a
    // line may break between.
    std::vector<std::vector<std::string>> terms;
    bool constant = false;
    for (size_t k = 0; k < cubes.Count() && !constant; ++k) {
      if (f >= cubes.FunctionCount || !cubes.Tag(k, f)) continue;
      std::vector<std::string> literals;
      for (const TLiteral& literal : cubes.Literals(k, !sop))
        literals.push_back((literal.Complemented ? "!" : "") + names.Input(literal.Position + 1));
      constant = literals.empty();
      terms.push_back(std::move(literals));
    }
    TLineBreaker line(t);
    line.Add(names.Output(f) + " = ");
    if (constant || terms.empty()) {
      line.Add(constant == sop ? "1;" : "0;");
    } else {
      const std::string inner = sop ? "&" : " | ", outer = sop ? " | " : " & ";
      for (size_t k = 0; k < terms.size(); ++k) {
        const auto& literals = terms[k];
        for (size_t n = 0; n < literals.size(); ++n) {
          std::string piece = (n == 0 ? "(" : inner) + literals[n];
          if (n + 1 == literals.size()) piece += k + 1 == terms.size() ? ");" : ")" + outer;
          line.Add(piece);
        }
      }
    }
    t += "\n\n";
  }
  return t;
}

}  // namespace tavro
