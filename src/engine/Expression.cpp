#include "engine/Expression.h"

#include <algorithm>
#include <cctype>
#include <deque>

#include "engine/FunctionSystem.h"

namespace tavro {

namespace {

using TKind = TBooleanExpression::TKind;
using TNode = TBooleanExpression::TNode;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// Recursive descent over the text, one function per precedence level.
class TParser {
 public:
  TParser(std::string_view text, std::vector<TNode>& nodes, int& inputsUsed)
      : FText(text), FNodes(nodes), FInputsUsed(inputsUsed) {}

  // Skips "fN =" when the text starts with it; returns whether anything
  // but blanks follows.
  bool SkipFunctionName() {
    size_t i = 0;
    while (i < FText.size() && IsBlank(FText[i])) ++i;
    if (i < FText.size() && (FText[i] == 'f' || FText[i] == 'F')) {
      size_t j = i + 1;
      while (j < FText.size() && std::isdigit(static_cast<unsigned char>(FText[j]))) ++j;
      size_t k = j;
      while (k < FText.size() && IsBlank(FText[k])) ++k;
      if (j > i + 1 && k < FText.size() && FText[k] == '=') FPos = k + 1;
    }
    SkipBlanks();
    return FPos < FText.size();
  }

  int Whole() {
    const int root = Or();
    SkipBlanks();
    if (FPos < FText.size()) Fail("an operator or the end of the expression");
    return root;
  }

  [[noreturn]] void Fail(const std::string& expected) const {
    throw ExpressionError(expected, static_cast<int>(FPos) + 1);
  }

 private:
  void SkipBlanks() {
    while (FPos < FText.size() && IsBlank(FText[FPos])) ++FPos;
  }
  char Peek() {
    SkipBlanks();
    return FPos < FText.size() ? FText[FPos] : '\0';
  }
  int Add(TKind kind, int value, std::vector<int> children = {}) {
    FNodes.push_back({kind, value, std::move(children)});
    return static_cast<int>(FNodes.size()) - 1;
  }
  // One node for a chain of one operator: a + b + c has three children.
  template <class Next, class IsOperator>
  int Chain(TKind kind, Next next, IsOperator isOperator) {
    std::vector<int> children{(this->*next)()};
    while (isOperator()) children.push_back((this->*next)());
    return children.size() == 1 ? children[0] : Add(kind, 0, std::move(children));
  }

  int Or() {
    return Chain(TKind::Or, &TParser::Xor, [this] {
      const char c = Peek();
      if (c != '+' && c != '|') return false;
      ++FPos;
      return true;
    });
  }
  int Xor() {
    return Chain(TKind::Xor, &TParser::And, [this] {
      if (Peek() != '^') return false;
      ++FPos;
      return true;
    });
  }
  bool StartsFactor(char c) const {
    return IsLetter(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '(' || c == '~' || c == '!';
  }
  int And() {
    return Chain(TKind::And, &TParser::Unary, [this] {
      const char c = Peek();
      if (c == '*' || c == '&' || c == '.') {
        ++FPos;
        return true;
      }
      return StartsFactor(c);  // juxtaposition
    });
  }
  int Unary() {
    const char c = Peek();
    if (c == '~' || c == '!') {
      ++FPos;
      const int operand = Unary();
      return Add(TKind::Not, 0, {operand});
    }
    int node = Primary();
    while (Peek() == '\'') {
      ++FPos;
      node = Add(TKind::Not, 0, {node});
    }
    return node;
  }
  int Primary() {
    const char c = Peek();
    if (c == '(') {
      ++FPos;
      const int inner = Or();
      if (Peek() != ')') Fail("')'");
      ++FPos;
      return inner;
    }
    if (std::isdigit(static_cast<unsigned char>(c))) {
      const size_t start = FPos;
      while (FPos < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FPos]))) ++FPos;
      if (FPos - start != 1 || c > '1') {
        FPos = start;
        Fail("the constant 0 or 1");
      }
      return Add(TKind::Constant, c - '0');
    }
    if (IsLetter(c)) {
      const size_t start = FPos;
      const char letter = Upper(c);
      while (FPos < FText.size() && Upper(FText[FPos]) == letter) ++FPos;
      const size_t repeat = FPos - start;
      const int64_t position = static_cast<int64_t>(repeat - 1) * 26 + (letter - 'A') + 1;
      if (position > MaxInputBits) {
        FPos = start;
        Fail("a variable of the first " + std::to_string(MaxInputBits) + " inputs (A to " +
             std::string(1, static_cast<char>('A' + MaxInputBits - 1)) + ")");
      }
      FInputsUsed = std::max(FInputsUsed, static_cast<int>(position));
      return Add(TKind::Variable, static_cast<int>(position));
    }
    Fail("a variable, a constant, '(' or a NOT");
  }

  std::string_view FText;
  size_t FPos = 0;
  std::vector<TNode>& FNodes;
  int& FInputsUsed;
};

// Bit-parallel evaluation: every node becomes a truth table of 2^inputs bits.
// Products and sums of literals, the whole of the printed forms, are written
// straight into their parent's table word by word over the rows they cover,
// so an SOP or POS text costs about the rows its cubes cover.
class TEvaluator {
 public:
  TEvaluator(const std::vector<TNode>& nodes, int inputs)
      : FNodes(nodes), FInputs(inputs),
        FWords(inputs <= 6 ? 1 : size_t{1} << (inputs - 6)),
        FRowsMask(inputs >= 6 ? ~uint64_t{0} : (uint64_t{1} << (1u << inputs)) - 1) {}

  std::vector<uint64_t> Run(int root) {
    std::vector<uint64_t> out(FWords);
    Eval(root, out, 0);
    out[0] &= FRowsMask;
    return out;
  }

 private:
  // The literal of a node: its input bit and the value that makes it 1.
  bool Literal(int n, uint32_t& bit, bool& one) const {
    const TNode& node = FNodes[static_cast<size_t>(n)];
    if (node.Kind == TKind::Not) {
      if (!Literal(node.Children[0], bit, one)) return false;
      one = !one;
      return true;
    }
    if (node.Kind != TKind::Variable) return false;
    bit = uint32_t{1} << (FInputs - node.Value);
    one = true;
    return true;
  }
  bool Constant(int n, bool& value) const {
    const TNode& node = FNodes[static_cast<size_t>(n)];
    if (node.Kind != TKind::Constant) return false;
    value = node.Value != 0;
    return true;
  }

  // The rows where a product of literals and constants is 1: a cube (fixed
  // bits, their values), or nothing (false) when the product is 0 or the
  // node is not such a product. For a sum the same gives the rows where it
  // is 0 (its literals read complemented); `sum` selects that reading.
  enum class TCubeResult { NotACube, Empty, Cube };
  TCubeResult CubeOf(int n, bool sum, uint32_t& fixed, uint32_t& value) const {
    fixed = value = 0;
    const TNode& node = FNodes[static_cast<size_t>(n)];
    std::vector<int> single{n};
    const std::vector<int>* parts = &single;
    if (node.Kind == (sum ? TKind::Or : TKind::And)) parts = &node.Children;
    for (const int child : *parts) {
      uint32_t bit;
      bool one, constant;
      if (Constant(child, constant)) {
        if (constant == sum) return TCubeResult::Empty;  // 0 in a product, 1 in a sum
        continue;
      }
      if (!Literal(child, bit, one)) return TCubeResult::NotACube;
      if (sum) one = !one;
      if (fixed & bit) {
        if (((value & bit) != 0) != one) return TCubeResult::Empty;  // A and ~A
        continue;
      }
      fixed |= bit;
      if (one) value |= bit;
    }
    return TCubeResult::Cube;
  }

  // Calls fn(word, bits) for every word holding rows of the cube.
  template <class Fn>
  void ForCubeWords(uint32_t fixed, uint32_t value, Fn&& fn) const {
    uint64_t low = 0;
    for (uint32_t r = 0; r < 64; ++r)
      if ((r & fixed & 63u) == (value & 63u)) low |= uint64_t{1} << r;
    const uint32_t highFixed = fixed >> 6, highValue = value >> 6;
    const uint32_t highAll = static_cast<uint32_t>(FWords - 1);
    const uint32_t free = ~highFixed & highAll;
    uint32_t sub = 0;
    do {
      fn(highValue | sub, low);
      sub = (sub - free) & free;
    } while (sub != 0);
  }

  std::vector<uint64_t>& Temp(int depth) {
    while (FTemps.size() <= static_cast<size_t>(depth)) FTemps.emplace_back(FWords);
    return FTemps[static_cast<size_t>(depth)];
  }

  void Eval(int n, std::vector<uint64_t>& out, int depth) {
    const TNode& node = FNodes[static_cast<size_t>(n)];
    switch (node.Kind) {
      case TKind::Constant:
        std::fill(out.begin(), out.end(), node.Value ? ~uint64_t{0} : 0);
        return;
      case TKind::Variable: {
        const int bit = FInputs - node.Value;
        if (bit < 6) {
          uint64_t pattern = 0;
          for (uint32_t r = 0; r < 64; ++r)
            if ((r >> bit) & 1u) pattern |= uint64_t{1} << r;
          std::fill(out.begin(), out.end(), pattern);
        } else {
          for (size_t w = 0; w < FWords; ++w) out[w] = ((w >> (bit - 6)) & 1u) ? ~uint64_t{0} : 0;
        }
        return;
      }
      case TKind::Not:
        Eval(node.Children[0], out, depth);
        for (auto& w : out) w = ~w;
        return;
      case TKind::Xor: {
        Eval(node.Children[0], out, depth);
        auto& temp = Temp(depth);
        for (size_t c = 1; c < node.Children.size(); ++c) {
          Eval(node.Children[c], temp, depth + 1);
          for (size_t w = 0; w < FWords; ++w) out[w] ^= temp[w];
        }
        return;
      }
      case TKind::Or:
      case TKind::And: {
        // An OR gathers the rows of its products, an AND removes the zero
        // rows of its sums.
        const bool isOr = node.Kind == TKind::Or;
        uint32_t fixed, value;
        if (const TCubeResult r = CubeOf(n, isOr, fixed, value); r != TCubeResult::NotACube) {
          // A sum or a product of literals alone.
          std::fill(out.begin(), out.end(), isOr ? ~uint64_t{0} : 0);
          if (r == TCubeResult::Cube)
            ForCubeWords(fixed, value, [&](uint32_t w, uint64_t bits) {
              if (isOr) out[w] &= ~bits;
              else out[w] |= bits;
            });
          return;
        }
        std::fill(out.begin(), out.end(), isOr ? 0 : ~uint64_t{0});
        for (const int child : node.Children) {
          const TCubeResult r = CubeOf(child, !isOr, fixed, value);
          if (r == TCubeResult::Empty) continue;  // a product never 1, a sum never 0
          if (r == TCubeResult::Cube) {
            ForCubeWords(fixed, value, [&](uint32_t w, uint64_t bits) {
              if (isOr) out[w] |= bits;
              else out[w] &= ~bits;
            });
            continue;
          }
          auto& temp = Temp(depth);
          Eval(child, temp, depth + 1);
          if (isOr) for (size_t w = 0; w < FWords; ++w) out[w] |= temp[w];
          else for (size_t w = 0; w < FWords; ++w) out[w] &= temp[w];
        }
        return;
      }
    }
  }

  const std::vector<TNode>& FNodes;
  int FInputs;
  size_t FWords;
  uint64_t FRowsMask;
  std::deque<std::vector<uint64_t>> FTemps;  // grows without moving the tables in use
};

}  // namespace

TBooleanExpression ParseBooleanExpression(std::string_view text, TEmptyExpression empty) {
  TBooleanExpression result;
  TParser parser(text, result.FNodes, result.FInputsUsed);
  if (!parser.SkipFunctionName()) {
    if (empty == TEmptyExpression::Error) parser.Fail("an expression");
    result.FNodes.push_back({TKind::Constant, empty == TEmptyExpression::One ? 1 : 0, {}});
    return result;
  }
  parser.Whole();
  return result;
}

std::vector<uint64_t> TBooleanExpression::Evaluate(int inputs) const {
  if (inputs < FInputsUsed || inputs > MaxInputBits)
    throw TavroError("An expression over " + std::to_string(FInputsUsed) +
                     " inputs cannot be read over " + std::to_string(inputs) + ".");
  return TEvaluator(FNodes, inputs).Run(Root());
}

TTermVector FunctionFromExpressions(const TBooleanExpression& function,
                                    const TBooleanExpression* dontCares, int inputs,
                                    bool maxterms) {
  const std::vector<uint64_t> on = function.Evaluate(inputs);
  std::vector<uint64_t> dc(on.size(), 0);
  if (dontCares) dc = dontCares->Evaluate(inputs);
  const uint64_t rows = uint64_t{1} << inputs;
  TTermVector result;
  result.Maxterms = maxterms;
  for (size_t w = 0; w < on.size(); ++w) {
    const uint64_t valid = rows >= 64 ? ~uint64_t{0} : (uint64_t{1} << rows) - 1;
    const uint64_t care = (maxterms ? ~on[w] : on[w]) & ~dc[w] & valid;
    uint64_t listed = (care | dc[w]) & valid;
    while (listed) {
      const int b = std::countr_zero(listed);
      listed &= listed - 1;
      result.Append(static_cast<int32_t>(w * 64 + static_cast<size_t>(b)),
                    ((dc[w] >> b) & 1u) != 0);
    }
  }
  return result;
}

void LoadExpressions(TFunctionSystem& system, const std::vector<std::string>& expressions,
                     int inputs) {
  std::vector<TBooleanExpression> parsed;
  int used = 0;
  for (size_t i = 0; i < expressions.size(); ++i) {
    try {
      parsed.push_back(ParseBooleanExpression(expressions[i]));
    } catch (const ExpressionError& e) {
      throw TavroError("expression " + std::to_string(i + 1) + ": " + e.what());
    }
    used = std::max(used, parsed.back().InputsUsed());
  }
  if (inputs == 0) inputs = std::max(used, 1);
  if (inputs < used)
    throw TavroError("the expressions use " + std::to_string(used) + " inputs, more than " +
                     std::to_string(inputs));
  if (inputs > MaxInputBits)
    throw TavroError("Too many input bits: " + std::to_string(inputs) + " (at most " +
                     std::to_string(MaxInputBits) + ").");
  system.ResetSystem();
  system.Functions.clear();
  for (const auto& e : parsed) system.Functions.push_back(FunctionFromExpressions(e, nullptr, inputs, false));
  if (system.Functions.empty()) system.Functions.emplace_back();
  system.MinInputBits = inputs;
  system.UpdateInputBits();
}

}  // namespace tavro
