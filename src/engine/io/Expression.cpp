#include "engine/io/Expression.h"

#include <algorithm>
#include <bit>
#include <cctype>

#include "engine/core/CubeSets.h"
#include "engine/core/FunctionSystem.h"
#include "engine/core/Hashing.h"
#include "engine/core/MemoryMeter.h"

namespace tavro {

namespace {

using TKind = TBooleanExpression::TKind;
using TNode = TBooleanExpression::TNode;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// Reads the text left to right with a stack of the open parentheses, each
// holding the chains of operands read so far at every precedence level.
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
    std::vector<TGroup> groups(1);  // the text itself, then each open parenthesis
    while (true) {
      // An operand: its prefix NOTs, then an opening parenthesis, a name or
      // a constant.
      bool negated = false;
      for (char c = Peek(); c == '~' || c == '!'; c = Peek()) {
        negated = !negated;
        ++FPos;
      }
      if (Peek() == '(') {
        if (groups.size() > static_cast<size_t>(MaxExpressionNesting))
          throw ExpressionNestingError(static_cast<int>(FPos) + 1);
        ++FPos;
        groups.emplace_back().Negated = negated;
        continue;
      }
      int operand = Primary();
      // Its postfix NOTs; a closing parenthesis makes the group an operand
      // with the NOTs in front of it and after it.
      while (true) {
        while (Peek() == '\'') {
          negated = !negated;
          ++FPos;
        }
        groups.back().Ands.push_back(negated ? Negate(operand) : operand);
        if (Peek() != ')') break;
        if (groups.size() == 1) Fail("an operator or the end of the expression");
        ++FPos;
        operand = Close(groups.back());
        negated = groups.back().Negated;
        groups.pop_back();
      }
      const char c = Peek();
      if (c == '*' || c == '&' || c == '.') {
        ++FPos;
      } else if (c == '^') {
        ++FPos;
        EndAnd(groups.back());
      } else if (c == '+' || c == '|') {
        ++FPos;
        EndAnd(groups.back());
        EndXor(groups.back());
      } else if (!StartsFactor(c)) {  // not juxtaposition either
        if (groups.size() > 1) Fail("')'");
        if (FPos < FText.size()) Fail("an operator or the end of the expression");
        return Close(groups.back());
      }
    }
  }

  [[noreturn]] void Fail(const std::string& expected) const {
    throw ExpressionError(expected, static_cast<int>(FPos) + 1);
  }

 private:
  // The operands of the chains being read: Ands of the current product,
  // Xors of the current XOR chain, Ors of the sum; and whether NOTs stand in
  // front of the group.
  struct TGroup {
    std::vector<int> Ors, Xors, Ands;
    bool Negated = false;
  };

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
  int Chain(TKind kind, std::vector<int>& operands) {
    const int node = operands.size() == 1 ? operands[0] : Add(kind, 0, std::move(operands));
    operands.clear();
    return node;
  }
  void EndAnd(TGroup& g) { g.Xors.push_back(Chain(TKind::And, g.Ands)); }
  void EndXor(TGroup& g) { g.Ors.push_back(Chain(TKind::Xor, g.Xors)); }
  int Close(TGroup& g) {
    EndAnd(g);
    EndXor(g);
    return Chain(TKind::Or, g.Ors);
  }
  // The NOT of an operand, which is always the newest node. The NOT of a
  // NOT is its operand, the node just before it: the NOT is dropped.
  int Negate(int operand) {
    const TNode& node = FNodes[static_cast<size_t>(operand)];
    if (node.Kind == TKind::Not && operand == static_cast<int>(FNodes.size()) - 1 && node.Children[0] == operand - 1) {
      FNodes.pop_back();
      return operand - 1;
    }
    return Add(TKind::Not, 0, {operand});
  }
  bool StartsFactor(char c) const {
    return IsLetter(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '(' || c == '~' || c == '!';
  }
  // A name or a constant.
  int Primary() {
    const char c = Peek();
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
      if (position > kMaxCubeInputs) {
        FPos = start;
        Fail("a variable of the first " + std::to_string(kMaxCubeInputs) + " inputs");
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
//
// The tables in use form a stack: a node's result is pushed, and an operator
// combines each further operand's table into its first one. An operator
// takes first the operand that needs the most tables, so a chain as deep as
// the nesting allows needs two tables at most, and no tree more than
// 1 + log2 of its number of leaves.
class TEvaluator {
 public:
  TEvaluator(const std::vector<TNode>& nodes, int inputs)
      : FNodes(nodes),
        FInputs(inputs),
        FWords(inputs <= 6 ? 1 : size_t{1} << (inputs - 6)),
        FRowsMask(inputs >= 6 ? ~uint64_t{0} : (uint64_t{1} << (1u << inputs)) - 1),
        FNeed(nodes.size()),
        FFirst(nodes.size(), -1) {
    // Children come before their parents.
    for (size_t n = 0; n < nodes.size(); ++n) {
      const TNode& node = nodes[n];
      if (node.Kind == TKind::Not) {
        FNeed[n] = FNeed[static_cast<size_t>(node.Children[0])];
        continue;
      }
      FNeed[n] = 1;
      if (node.Kind == TKind::Variable || node.Kind == TKind::Constant || Flat(static_cast<int>(n))) continue;
      // The operand needing most tables goes first, into the table the
      // node's result takes; each other one needs a table more.
      size_t most = 0, second = 0;
      for (size_t k = 0; k < node.Children.size(); ++k) {
        const int child = node.Children[k];
        if (Direct(node.Kind, child)) continue;
        const size_t need = FNeed[static_cast<size_t>(child)];
        if (FFirst[n] < 0 || need > most) {
          second = std::max(second, most);
          most = need;
          FFirst[n] = static_cast<int>(k);
        } else {
          second = std::max(second, need);
        }
      }
      if (FFirst[n] >= 0) FNeed[n] = std::max(most, second + 1);
    }
  }

  // The bytes of the tables in use at once while the tree of root is read.
  uint64_t Bytes(int root) const {
    return static_cast<uint64_t>(FNeed[static_cast<size_t>(root)]) * FWords * sizeof(uint64_t);
  }

  std::vector<uint64_t> Run(int root) {
    FTables.reserve(FNeed[static_cast<size_t>(root)]);
    // A node being read, and the position of its next operand.
    struct TFrame {
      int Node;
      size_t Next = 0;
      bool Started = false;  // its first operand was taken
      bool Pending = false;  // an operand's table waits to be combined
    };
    std::vector<TFrame> frames;
    auto enter = [&](int n) {
      if (IsFlat(n)) Fill(n, Push());
      else frames.push_back({n});
    };
    enter(root);
    while (!frames.empty()) {
      const size_t top = frames.size() - 1;
      const int n = frames[top].Node;
      const TNode& node = FNodes[static_cast<size_t>(n)];
      if (node.Kind == TKind::Not) {
        if (!frames[top].Started) {
          frames[top].Started = true;
          enter(node.Children[0]);
        } else {
          for (auto& w : Top()) w = ~w;
          frames.pop_back();
        }
        continue;
      }
      if (frames[top].Pending) {
        Combine(node.Kind);
        frames[top].Pending = false;
      }
      const size_t first = static_cast<size_t>(FFirst[static_cast<size_t>(n)]);
      if (!frames[top].Started) {
        frames[top].Started = true;
        enter(node.Children[first]);
        continue;
      }
      bool entered = false;
      while (!entered && frames[top].Next < node.Children.size()) {
        const size_t k = frames[top].Next++;
        if (k == first) continue;
        const int child = node.Children[k];
        if (Direct(node.Kind, child)) {
          Apply(node.Kind, child, Top());
        } else {
          frames[top].Pending = true;
          enter(child);  // may move the frames
          entered = true;
        }
      }
      if (!entered) frames.pop_back();
    }
    if (FTop != 1) throw InternalError("the expression left " + std::to_string(FTop) + " tables");
    std::vector<uint64_t> out = std::move(FTables[0]);
    out[0] &= FRowsMask;
    return out;
  }

 private:
  // The literal of a node: its input bit and the value that makes it 1.
  bool Literal(int n, uint32_t& bit, bool& one) const {
    one = true;
    const TNode* node = &FNodes[static_cast<size_t>(n)];
    for (; node->Kind == TKind::Not; node = &FNodes[static_cast<size_t>(node->Children[0])]) one = !one;
    if (node->Kind != TKind::Variable) return false;
    bit = uint32_t{1} << (FInputs - node->Value);
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
    const bool chain = node.Kind == (sum ? TKind::Or : TKind::And);
    const int* begin = chain ? node.Children.data() : &n;
    const int* end = chain ? begin + node.Children.size() : begin + 1;
    for (const int* part = begin; part != end; ++part) {
      uint32_t bit;
      bool one, constant;
      if (Constant(*part, constant)) {
        if (constant == sum) return TCubeResult::Empty;  // 0 in a product, 1 in a sum
        continue;
      }
      if (!Literal(*part, bit, one)) return TCubeResult::NotACube;
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

  // Whether an operand of an AND (a sum) or an OR (a product) is a cube,
  // written straight into the operator's table.
  bool Direct(TKind parent, int child) const {
    uint32_t fixed, value;
    return parent != TKind::Xor &&
           CubeOf(child, parent == TKind::Or ? false : true, fixed, value) != TCubeResult::NotACube;
  }
  // Whether an AND or OR is made in one table without others: a product or
  // sum of literals, or an operator whose operands all are direct.
  bool Flat(int n) const {
    const TNode& node = FNodes[static_cast<size_t>(n)];
    if (node.Kind != TKind::And && node.Kind != TKind::Or) return false;
    uint32_t fixed, value;
    if (CubeOf(n, node.Kind == TKind::Or, fixed, value) != TCubeResult::NotACube) return true;
    return std::all_of(node.Children.begin(), node.Children.end(), [&](int child) { return Direct(node.Kind, child); });
  }
  bool IsFlat(int n) const {
    const TKind kind = FNodes[static_cast<size_t>(n)].Kind;
    return kind == TKind::Variable || kind == TKind::Constant ||
           ((kind == TKind::And || kind == TKind::Or) && FFirst[static_cast<size_t>(n)] < 0);
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

  // ORs the rows of a product into an OR's table, or clears the zero rows
  // of a sum from an AND's.
  void Apply(TKind parent, int child, std::vector<uint64_t>& out) const {
    const bool isOr = parent == TKind::Or;
    uint32_t fixed, value;
    if (CubeOf(child, !isOr, fixed, value) != TCubeResult::Cube) return;  // a product never 1, a sum never 0
    ForCubeWords(fixed, value, [&](uint32_t w, uint64_t bits) {
      if (isOr) out[w] |= bits;
      else out[w] &= ~bits;
    });
  }

  // The table of a node made without others.
  void Fill(int n, std::vector<uint64_t>& out) const {
    const TNode& node = FNodes[static_cast<size_t>(n)];
    switch (node.Kind) {
      case TKind::Constant: std::fill(out.begin(), out.end(), node.Value ? ~uint64_t{0} : 0); return;
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
      default: break;
    }
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
    for (const int child : node.Children) Apply(node.Kind, child, out);
  }

  std::vector<uint64_t>& Push() {
    if (FTop == FTables.size()) FTables.emplace_back(FWords);
    return FTables[FTop++];
  }
  std::vector<uint64_t>& Top() { return FTables[FTop - 1]; }
  // Combines the top table into the one below it and pops it.
  void Combine(TKind kind) {
    const std::vector<uint64_t>& b = FTables[FTop - 1];
    std::vector<uint64_t>& a = FTables[FTop - 2];
    if (kind == TKind::Or)
      for (size_t w = 0; w < FWords; ++w) a[w] |= b[w];
    else if (kind == TKind::And)
      for (size_t w = 0; w < FWords; ++w) a[w] &= b[w];
    else
      for (size_t w = 0; w < FWords; ++w) a[w] ^= b[w];
    --FTop;
  }

  const std::vector<TNode>& FNodes;
  int FInputs;
  size_t FWords;
  uint64_t FRowsMask;
  std::vector<size_t> FNeed;  // tables a node needs in use at once, its own included
  std::vector<int> FFirst;    // the operand an operator takes first, -1: none (a flat node)
  std::vector<std::vector<uint64_t>> FTables;
  size_t FTop = 0;  // tables in use
};

// Memory held by the expressions' tables and term lists, checked before each
// allocation.
class TExpressionMemory {
 public:
  explicit TExpressionMemory(const TExpressionParams& params) : FMeter(params.MaxMemoryBytes) {}
  // Fails unless `bytes` more fit beside what is held.
  void Need(uint64_t bytes) { FMeter.Set(FHeld + bytes); }
  void Hold(uint64_t bytes) { FHeld += bytes; }
  void Release(uint64_t bytes) { FHeld -= bytes; }

 private:
  detail::MemoryMeter FMeter;
  uint64_t FHeld = 0;
};

uint64_t TableBytes(int inputs) { return (inputs <= 6 ? 1 : uint64_t{1} << (inputs - 6)) * sizeof(uint64_t); }

std::vector<uint64_t> Evaluate(const std::vector<TNode>& nodes, int inputsUsed, int inputs, TExpressionMemory& memory) {
  if (inputs < inputsUsed || inputs > MaxInputBits)
    throw TavroError("An expression over " + std::to_string(inputsUsed) + " inputs cannot be read over " +
                     std::to_string(inputs) + ".");
  TEvaluator evaluator(nodes, inputs);
  const int root = static_cast<int>(nodes.size()) - 1;
  memory.Need(evaluator.Bytes(root));
  return evaluator.Run(root);
}

// The function of FunctionFromExpressions; its term list is left held.
TTermVector MakeFunction(const TBooleanExpression& function, const TBooleanExpression* dontCares, int inputs,
                         bool maxterms, TExpressionMemory& memory) {
  const uint64_t table = TableBytes(inputs);
  const std::vector<uint64_t> on = Evaluate(function.Nodes(), function.InputsUsed(), inputs, memory);
  memory.Hold(table);
  std::vector<uint64_t> dc;
  if (dontCares) {
    dc = Evaluate(dontCares->Nodes(), dontCares->InputsUsed(), inputs, memory);
    memory.Hold(table);
  }
  const uint64_t rows = uint64_t{1} << inputs;
  const uint64_t valid = rows >= 64 ? ~uint64_t{0} : (uint64_t{1} << rows) - 1;
  auto listedWord = [&](size_t w) {
    const uint64_t d = dc.empty() ? 0 : dc[w];
    return (((maxterms ? ~on[w] : on[w]) & ~d) | d) & valid;
  };
  size_t count = 0;
  for (size_t w = 0; w < on.size(); ++w) count += static_cast<size_t>(std::popcount(listedWord(w)));
  const uint64_t list = TTermVector::BytesFor(count);
  memory.Need(list);
  TTermVector result;
  result.Maxterms = maxterms;
  result.Reserve(count);
  for (size_t w = 0; w < on.size(); ++w) {
    const uint64_t d = dc.empty() ? 0 : dc[w];
    for (uint64_t listed = listedWord(w); listed; listed &= listed - 1) {
      const int b = std::countr_zero(listed);
      result.Append(static_cast<int32_t>(w * 64 + static_cast<size_t>(b)), ((d >> b) & 1u) != 0);
    }
  }
  memory.Release(dc.empty() ? table : 2 * table);
  memory.Hold(list);
  return result;
}

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

std::vector<uint64_t> TBooleanExpression::Evaluate(int inputs, const TExpressionParams& params) const {
  TExpressionMemory memory(params);
  return tavro::Evaluate(FNodes, FInputsUsed, inputs, memory);
}

TTermVector FunctionFromExpressions(const TBooleanExpression& function, const TBooleanExpression* dontCares, int inputs,
                                    bool maxterms, const TExpressionParams& params) {
  TExpressionMemory memory(params);
  return MakeFunction(function, dontCares, inputs, maxterms, memory);
}

namespace {

// The expression's cubes in the cube type B, node by node.
template <class B>
std::vector<TCubeOf<B>> ExpressionCubes(const std::vector<TBooleanExpression::TNode>& nodes, int inputs,
                                        TExpressionMemory& memory) {
  using TKind = TBooleanExpression::TKind;
  using Cubes = std::vector<TCubeOf<B>>;
  const B space = bits::Low<B>(inputs);
  std::vector<Cubes> lists(nodes.size());
  uint64_t held = 0;
  // Drops the cubes that another cube of the list holds (small lists).
  const auto tidy = [](Cubes& c) {
    if (c.size() > 2048) return;
    Cubes kept;
    for (size_t i = 0; i < c.size(); ++i) {
      bool inside = false;
      for (size_t j = 0; j < c.size() && !inside; ++j) {
        if (i == j) continue;
        // Cube j holds cube i; of equal cubes the first is kept.
        const bool holds = !bits::Any(c[i].Mask & ~c[j].Mask) && !bits::Any((c[i].Value ^ c[j].Value) & ~c[j].Mask);
        inside = holds && (j < i || !(c[i].Mask == c[j].Mask && c[i].Value == c[j].Value));
      }
      if (!inside) kept.push_back(c[i]);
    }
    c.swap(kept);
  };
  const auto complement = [&](const Cubes& c) { return ComplementCubes<B>(c, space); };
  for (size_t n = 0; n < nodes.size(); ++n) {
    CheckStop();
    const auto& node = nodes[n];
    Cubes& out = lists[n];
    const auto child = [&](size_t k) -> const Cubes& { return lists[static_cast<size_t>(node.Children[k])]; };
    switch (node.Kind) {
      case TKind::Constant:
        if (node.Value) out.push_back({B{}, space});
        break;
      case TKind::Variable:
        out.push_back({bits::One<B>(inputs - node.Value), space & ~bits::One<B>(inputs - node.Value)});
        break;
      case TKind::Not: out = complement(child(0)); break;
      case TKind::Or:
        for (size_t k = 0; k < node.Children.size(); ++k) out.insert(out.end(), child(k).begin(), child(k).end());
        tidy(out);
        break;
      case TKind::And:
      case TKind::Xor:
        out = child(0);
        for (size_t k = 1; k < node.Children.size(); ++k) {
          const Cubes& b = child(k);
          // a XOR b is a AND NOT b, OR NOT a AND b.
          const auto meet = [&](const Cubes& x, const Cubes& y, Cubes& into) {
            memory.Need(held + x.size() * y.size() * sizeof(TCubeOf<B>));
            for (const auto& p : x)
              for (const auto& q : y)
                if (!bits::Any((p.Value ^ q.Value) & ~(p.Mask | q.Mask)))
                  into.push_back({p.Value | q.Value, p.Mask & q.Mask});
          };
          Cubes next;
          if (node.Kind == TKind::And) {
            meet(out, b, next);
          } else {
            meet(out, complement(b), next);
            meet(complement(out), b, next);
          }
          tidy(next);
          out.swap(next);
        }
        break;
    }
    held += out.size() * sizeof(TCubeOf<B>);
    memory.Need(held);
  }
  return lists.empty() ? Cubes{} : lists.back();
}

}  // namespace

std::vector<uint64_t> TBooleanExpression::CubeWords(int inputs, const TExpressionParams& params) const {
  if (inputs < FInputsUsed || inputs < 1 || inputs > kMaxCubeInputs)
    throw TavroError("An expression over " + std::to_string(FInputsUsed) + " inputs cannot be read over " +
                     std::to_string(inputs) + ".");
  TExpressionMemory memory(params);
  const size_t words = static_cast<size_t>((inputs + 63) / 64);
  std::vector<uint64_t> out;
  WithCubeBits(inputs, [&](auto b) {
    using B = decltype(b);
    for (const auto& c : ExpressionCubes<B>(FNodes, inputs, memory)) {
      for (size_t k = 0; k < words; ++k) out.push_back(bits::Word(c.Value, k));
      for (size_t k = 0; k < words; ++k) out.push_back(bits::Word(c.Mask, k));
    }
  });
  return out;
}

void LoadExpressions(TFunctionSystem& system, const std::vector<std::string>& expressions, int inputs,
                     const TExpressionParams& params) {
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
    throw TavroError("the expressions use " + std::to_string(used) + " inputs, more than " + std::to_string(inputs));
  if (inputs > MaxInputBits) {
    // Past the term-number world the functions are given by cubes.
    const size_t words = static_cast<size_t>((inputs + 63) / 64);
    auto cubes = std::make_shared<TCover>(inputs, static_cast<int>(std::max<size_t>(1, parsed.size())));
    std::vector<uint64_t> tags(static_cast<size_t>(cubes->TagWords));
    for (size_t f = 0; f < parsed.size(); ++f) {
      const std::vector<uint64_t> w = parsed[f].CubeWords(inputs, params);
      std::fill(tags.begin(), tags.end(), 0);
      tags[f >> 6] |= uint64_t{1} << (f & 63);
      for (size_t at = 0; at < w.size(); at += 2 * words) cubes->AddWords(&w[at], &w[at + words], tags.data());
    }
    system.ResetSystem();
    system.Functions.assign(std::max<size_t>(1, parsed.size()), TTermVector());
    system.MinInputBits = inputs;
    system.TermsInSource = true;
    system.SourceIdentity = TermsIdentity(system.Functions);
    system.SourceCubes = std::move(cubes);
    system.UpdateInputBits();
    return;
  }
  // Every function is made before the system is replaced, under one limit.
  TExpressionMemory memory(params);
  std::vector<TTermVector> functions;
  functions.reserve(parsed.size());
  for (const auto& e : parsed) functions.push_back(MakeFunction(e, nullptr, inputs, false, memory));
  if (functions.empty()) functions.emplace_back();
  system.ResetSystem();
  system.Functions = std::move(functions);
  system.MinInputBits = inputs;
  system.UpdateInputBits();
}

}  // namespace tavro
