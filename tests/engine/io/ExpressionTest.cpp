// Boolean expressions: every printed result reads back as the function it
// came from, random expressions agree with a row-by-row evaluator of their
// own tree, and malformed text is refused with the column of the fault.

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <sstream>

#include "engine/core/FunctionSystem.h"
#include "engine/io/Expression.h"
#include "engine/io/Format.h"
#include "engine/io/TermFile.h"
#include "engine/run/Minimize.h"
#include "support/Builders.h"
#include "support/RandomSystems.h"
#include "support/RecordingHost.h"
#include "support/TruthTable.h"

namespace tavro {
namespace {

bool Bit(const std::vector<uint64_t>& table, uint32_t row) { return (table[row >> 6] >> (row & 63)) & 1u; }

// Every "fN = ..." line of an output pane, as (N, right-hand side with the
// name) in order.
std::vector<std::pair<int, std::string>> FunctionLines(const std::string& pane) {
  std::vector<std::pair<int, std::string>> lines;
  std::istringstream in(pane);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 1 && line[0] == 'f' && isdigit(static_cast<unsigned char>(line[1])))
      lines.emplace_back(std::stoi(line.substr(1)), line);
  }
  return lines;
}

TEST(ExpressionTest, PrintedResultsParseBackToTheirFunctions) {
  std::mt19937 rng(12);
  testing::RandomSystemOptions options;
  options.MaxBits = 9;
  int checkedLines = 0;
  for (int round = 0; round < 400; ++round) {
    int bits = 0;
    const auto functions = testing::RandomSystem(rng, options, &bits);
    for (const int mode : {modeSOP, modePOS}) {
      const bool pos = mode == modePOS;
      SCOPED_TRACE(TermFileText(functions) + (pos ? " POS" : " SOP"));
      TFunctionSystem system;
      system.Functions = functions;
      system.UpdateInputBits();
      check::RecordingHost host;
      TOutputOptions out;
      out.PrimeImplicants = true;  // all primes of a function also sum to it
      if (RunCommand(system, mode, out, host) != TRunOutcome::Completed) continue;
      for (const auto& [f, line] : FunctionLines(host.Output)) {
        SCOPED_TRACE(line);
        // Half the lines with their name, half without.
        const std::string text = (checkedLines % 2) ? line : line.substr(line.find('=') + 1);
        const auto expression = ParseBooleanExpression(text, pos ? TEmptyExpression::One : TEmptyExpression::Zero);
        const auto got = expression.Evaluate(bits);
        const auto want = check::TruthTable(functions[static_cast<size_t>(f)], bits);
        for (uint32_t row = 0; row < want.size(); ++row)
          if (want[row] != check::kDontCare) {
            ASSERT_EQ(Bit(got, row), want[row] == check::kOne) << row;
          }
        ++checkedLines;
      }
    }
  }
  EXPECT_GT(checkedLines, 1000);
}

// Wide lists straight from the formatters: random cubes over up to 24 inputs,
// their SOP text is 1 and their POS text 0 exactly on the cubes' rows.
TEST(ExpressionTest, WideCoversParseBackOnEveryRow) {
  std::mt19937 rng(24);
  for (int round = 0; round < 12; ++round) {
    const int width = 13 + round % 12;
    TCover cover(width, 1);
    const uint32_t full = (uint32_t{1} << width) - 1;
    const uint64_t tag = 1;
    for (int k = 0; k < 1 + round * 3; ++k) {
      const uint32_t mask = (rng() & rng()) & full;  // mostly fixed bits, small cubes
      cover.Add(rng() & full & ~mask, mask, &tag);
    }
    std::vector<bool> covered(size_t{1} << width);
    for (size_t k = 0; k < cover.Count(); ++k) cover.ForEachTerm(k, [&](uint32_t t) { covered[t] = true; });
    for (const bool pos : {false, true}) {
      const std::string line = pos ? FormatPOS(cover) : FormatSOP(cover);
      SCOPED_TRACE(line);
      const auto table = ParseBooleanExpression(line.substr(0, line.size() - 2)).Evaluate(width);
      for (uint32_t row = 0; row <= full; ++row) ASSERT_EQ(Bit(table, row), covered[row] != pos) << "row " << row;
    }
  }
}

// A random expression tree, printed in a random choice of the accepted
// spellings and evaluated row by row without the parser.
struct TTree {
  enum Kind { Var, Const, Not, And, Xor, Or } K;
  int Value = 0;
  std::vector<TTree> Children;

  bool Eval(uint32_t row, int inputs) const {
    switch (K) {
      case Var: return (row >> (inputs - Value)) & 1u;
      case Const: return Value != 0;
      case Not: return !Children[0].Eval(row, inputs);
      default: break;
    }
    bool r = Children[0].Eval(row, inputs);
    for (size_t i = 1; i < Children.size(); ++i) {
      const bool c = Children[i].Eval(row, inputs);
      r = K == And ? (r && c) : K == Or ? (r || c) : (r != c);
    }
    return r;
  }
  int Level() const { return K == Or ? 1 : K == Xor ? 2 : K == And ? 3 : 4; }
};

TTree RandomTree(std::mt19937& rng, int inputs, int depth) {
  const int pick = static_cast<int>(rng() % (depth > 3 ? 3 : 8));
  if (pick == 0) return {TTree::Const, static_cast<int>(rng() % 2), {}};
  if (pick <= 2) return {TTree::Var, 1 + static_cast<int>(rng() % static_cast<unsigned>(inputs)), {}};
  if (pick == 3) return {TTree::Not, 0, {RandomTree(rng, inputs, depth + 1)}};
  TTree t{static_cast<TTree::Kind>(TTree::And + (pick - 4) % 3), 0, {}};
  const int n = 2 + static_cast<int>(rng() % 3);
  for (int i = 0; i < n; ++i) t.Children.push_back(RandomTree(rng, inputs, depth + 1));
  return t;
}

std::string Print(const TTree& t, std::mt19937& rng) {
  auto pick = [&](std::initializer_list<const char*> options) {
    return std::string(options.begin()[rng() % options.size()]);
  };
  auto blank = [&] { return rng() % 3 == 0 ? std::string(" ") : std::string(); };
  auto grouped = [&](const TTree& child, int level) {
    const std::string text = Print(child, rng);
    return child.Level() <= level || rng() % 5 == 0 ? "(" + text + ")" : text;
  };
  switch (t.K) {
    case TTree::Var: {
      std::string name = VariableName(t.Value);
      if (rng() % 4 == 0)
        for (auto& c : name) c = static_cast<char>(c - 'A' + 'a');
      return name;
    }
    case TTree::Const: return std::to_string(t.Value);
    case TTree::Not: {
      const std::string operand = grouped(t.Children[0], 3);
      return rng() % 3 == 0 ? operand + "'" : pick({"~", "!"}) + operand;
    }
    default: break;
  }
  std::string text = grouped(t.Children[0], t.Level());
  for (size_t i = 1; i < t.Children.size(); ++i) {
    // The right operand of a chain is grouped at its own level too, so that
    // a+(b+c) keeps its parentheses; it means the same either way.
    const std::string right = grouped(t.Children[i], t.Level());
    std::string op = t.K == TTree::Or ? pick({"+", "|"}) : t.K == TTree::Xor ? "^" : pick({"*", "&", ".", ""});
    if (op.empty()) {
      // Juxtaposition: a blank where two names or digits would run together.
      const char a = text.back(), b = right.front();
      const bool clash = (isalnum(static_cast<unsigned char>(a)) && isalnum(static_cast<unsigned char>(b)) &&
                          (toupper(a) == toupper(b) || isdigit(a) || isdigit(b)));
      op = clash ? " " : blank();
    } else {
      op = blank() + op + blank();
    }
    text += op + right;
  }
  return text;
}

TEST(ExpressionTest, RandomExpressionsAgreeWithTheirTree) {
  std::mt19937 rng(7);
  for (int round = 0; round < 3000; ++round) {
    const int inputs = 1 + round % 9;
    const TTree tree = RandomTree(rng, inputs, 0);
    const std::string text = Print(tree, rng);
    SCOPED_TRACE(text);
    const auto expression = ParseBooleanExpression(text);
    ASSERT_LE(expression.InputsUsed(), inputs);
    const auto table = expression.Evaluate(inputs);
    for (uint32_t row = 0; row < (1u << inputs); ++row)
      ASSERT_EQ(Bit(table, row), tree.Eval(row, inputs)) << "row " << row;

    // Its cubes, made without a table, hold the same rows: over its own
    // inputs and over 70 (the same inputs first, the others 0).
    if (round % 4 == 0) {
      for (const int width : {inputs, 70}) {
        const size_t words = static_cast<size_t>((width + 63) / 64);
        const auto cubes = expression.CubeWords(width);
        for (uint32_t row = 0; row < (1u << inputs); ++row) {
          std::vector<uint64_t> at(words, 0);
          for (int k = 0; k < inputs; ++k)
            if ((row >> k) & 1u)
              at[static_cast<size_t>(k + width - inputs) / 64] |= uint64_t{1} << ((k + width - inputs) % 64);
          bool held = false;
          for (size_t c = 0; c < cubes.size() && !held; c += 2 * words) {
            bool in = true;
            for (size_t w = 0; w < words && in; ++w) in = ((at[w] ^ cubes[c + w]) & ~cubes[c + words + w]) == 0;
            held = in;
          }
          ASSERT_EQ(held, tree.Eval(row, inputs)) << "row " << row << " over " << width << " inputs";
        }
      }
    }

    // The same expression as a function of either kind, with the tree of the
    // next round's shape as its don't cares.
    const TTree dcTree = RandomTree(rng, inputs, 1);
    const auto dc = ParseBooleanExpression(Print(dcTree, rng));
    const bool maxterms = round % 2;
    const TTermVector f = FunctionFromExpressions(expression, &dc, inputs, maxterms);
    const auto values = check::TruthTable(f, inputs);
    for (uint32_t row = 0; row < (1u << inputs); ++row) {
      const uint8_t want = dcTree.Eval(row, inputs) ? check::kDontCare
                           : tree.Eval(row, inputs) ? check::kOne
                                                    : check::kZero;
      ASSERT_EQ(values[row], want) << "row " << row;
    }
    ASSERT_EQ(f.Maxterms, maxterms);
  }
}

// A text inside `depth` parentheses, each with NOTs in front and primes
// after as `shape` asks: 0 none, 1 prefix NOTs, 2 postfix primes, 3 any.
// Gives the parity of the NOTs added and the column of the last opening
// parenthesis.
std::string Nested(const std::string& inner, int depth, int shape, std::mt19937& rng, bool& odd, int& column) {
  std::string open, close;
  odd = false;
  for (int level = 0; level < depth; ++level) {
    const int prefix = (shape & 1) ? static_cast<int>(rng() % 3) : 0;
    const int postfix = (shape & 2) ? static_cast<int>(rng() % 3) : 0;
    for (int k = 0; k < prefix; ++k) open += rng() % 2 ? "~" : "! ";
    if (rng() % 8 == 0) open += ' ';
    open += '(';
    column = static_cast<int>(open.size());
    close += ')' + std::string(static_cast<size_t>(postfix), '\'');
    odd ^= (prefix + postfix) % 2 != 0;
  }
  return open + inner + close;
}

TEST(ExpressionTest, ParenthesesNestToTheLimitAndNoDeeper) {
  std::mt19937 rng(40);
  for (int round = 0; round < 12; ++round) {
    const int shape = round % 4, inputs = 3 + round % 6;
    const TTree tree = RandomTree(rng, inputs, 0);
    const std::string inner = Print(tree, rng);
    int innerDepth = 0;  // the parentheses of the tree's own text
    for (int depth = 0; const char c : inner)
      innerDepth = std::max(innerDepth, depth += c == '(' ? 1 : c == ')' ? -1 : 0);
    bool odd;
    int column;
    const std::string text = Nested(inner, MaxExpressionNesting - innerDepth, shape, rng, odd, column);
    SCOPED_TRACE("shape " + std::to_string(shape) + ": " + text.substr(text.size() - 200));
    const auto table = ParseBooleanExpression(text).Evaluate(inputs);
    for (uint32_t row = 0; row < (1u << inputs); ++row)
      ASSERT_EQ(Bit(table, row), tree.Eval(row, inputs) != odd) << "row " << row;

    const std::string deeper = Nested(inner, MaxExpressionNesting + 1, shape, rng, odd, column);
    try {
      ParseBooleanExpression(deeper);
      ADD_FAILURE() << "nesting past the limit was accepted";
    } catch (const ExpressionNestingError& e) {
      EXPECT_EQ(e.Column, column);
      EXPECT_EQ(std::string(e.what()),
                "nesting deeper than " + std::to_string(MaxExpressionNesting) + " at column " + std::to_string(column));
    }
  }
}

// NOTs in a row, of any number, are one NOT or none, and leave no NOT of a
// NOT in the tree.
TEST(ExpressionTest, RunsOfNotsOfAnyLengthGiveTheirParity) {
  std::mt19937 rng(41);
  for (int round = 0; round < 40; ++round) {
    const int inputs = 1 + round % 7;
    const TTree tree = RandomTree(rng, inputs, 2);
    const size_t prefix = rng() % (round < 20 ? 9 : 150000), postfix = rng() % (round < 20 ? 9 : 150000);
    std::string text;
    for (size_t k = 0; k < prefix; ++k) text += "~!"[rng() % 2];
    text += "(" + Print(tree, rng) + ")" + std::string(postfix, '\'');
    const bool odd = (prefix + postfix) % 2 != 0;
    SCOPED_TRACE(std::to_string(prefix) + " NOTs, " + std::to_string(postfix) + " primes: " + text.substr(prefix, 100));
    const auto expression = ParseBooleanExpression(text);
    const auto& nodes = expression.Nodes();
    for (const auto& node : nodes) {
      if (node.Kind == TBooleanExpression::TKind::Not) {
        ASSERT_NE(nodes[static_cast<size_t>(node.Children[0])].Kind, TBooleanExpression::TKind::Not);
      }
    }
    const auto table = expression.Evaluate(inputs);
    for (uint32_t row = 0; row < (1u << inputs); ++row)
      ASSERT_EQ(Bit(table, row), tree.Eval(row, inputs) != odd) << "row " << row;
  }
}

// A chain of AND, OR and XOR as deep as the nesting allows needs two tables
// at a time, and any table past the limit is refused before it is made.
TEST(ExpressionTest, EvaluationStaysWithinTheMemoryLimit) {
  const char* const operators[] = {"(", "+(", "^("};
  std::string chain;
  for (int level = 0; level < 1500; ++level) chain += VariableName(1 + level % 24) + operators[level % 3];
  chain += "X" + std::string(1500, ')');
  const auto expression = ParseBooleanExpression(chain);
  constexpr uint64_t kTable = uint64_t{8} << 18;  // 2^24 rows
  TExpressionParams params;
  params.MaxMemoryBytes = 2 * kTable;
  const auto wide = expression.Evaluate(24, params);
  // Rows picked at random against a row-by-row reading of the text.
  auto value = [&](uint32_t row) {  // the chain from the inside out
    bool v = (row >> 0) & 1u;       // X, the last input
    for (int level = 1499; level >= 0; --level) {
      const bool x = (row >> (23 - level % 24)) & 1u;
      v = level % 3 == 0 ? (x && v) : level % 3 == 1 ? (x || v) : (x != v);
    }
    return v;
  };
  std::mt19937 rng(42);
  for (int k = 0; k < 20000; ++k) {
    const uint32_t row = rng() & ((1u << 24) - 1);
    ASSERT_EQ(Bit(wide, row), value(row)) << "row " << row;
  }

  params.MaxMemoryBytes = 2 * kTable - 1;
  try {
    expression.Evaluate(24, params);
    ADD_FAILURE() << "a table past the limit was made";
  } catch (const ResourceError& e) {
    EXPECT_EQ(check::TooLargeMiB(e.what()), 4u) << e.what();  // the two tables
  }
  // A term list past the limit: "1" lists every row (64 MiB of terms).
  params.MaxMemoryBytes = 16u << 20;
  EXPECT_THROW(FunctionFromExpressions(ParseBooleanExpression("1"), nullptr, 24, false, params), ResourceError);
  TFunctionSystem system;
  LoadExpressions(system, {"A"}, 2);
  const auto before = system.Functions;
  EXPECT_THROW(LoadExpressions(system, {"A", "1"}, 24, params), ResourceError);
  EXPECT_EQ(system.Functions, before);
  EXPECT_EQ(system.InputBits, 2);
}

TEST(ExpressionTest, MalformedTextNamesWhatWasExpectedAndWhere) {
  const std::pair<const char*, const char*> cases[] = {
      {"A +", "expected a variable, a constant, '(' or a NOT at column 4"},
      {"(A B", "expected ')' at column 5"},
      {"A ) B", "expected an operator or the end of the expression at column 3"},
      {"A 2", "expected the constant 0 or 1 at column 3"},
      {"A 10", "expected the constant 0 or 1 at column 3"},
      {"A + ZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZ", "expected a variable of the first 1024 inputs at column 5"},
      {"  ", "expected an expression at column 3"},
      {"f3 =", "expected an expression at column 5"},
      {"f3 A", "expected the constant 0 or 1 at column 2"},
      {"A # B", "expected an operator or the end of the expression at column 3"},
      {"~", "expected a variable, a constant, '(' or a NOT at column 2"},
  };
  for (const auto& [text, message] : cases) {
    try {
      ParseBooleanExpression(text);
      ADD_FAILURE() << "'" << text << "' was accepted";
    } catch (const ExpressionError& e) {
      EXPECT_EQ(std::string(e.what()), message) << text;
    }
  }
  // An empty right-hand side is the empty sum or product when asked for.
  EXPECT_EQ(ParseBooleanExpression("f0 = ", TEmptyExpression::Zero).Evaluate(2)[0], 0u);
  EXPECT_EQ(ParseBooleanExpression("", TEmptyExpression::One).Evaluate(2)[0], 0xFu);
}

TEST(ExpressionTest, LoadExpressionsKeepsTheWidthOfTheVariablesUsed) {
  TFunctionSystem system;
  LoadExpressions(system, {"~A", "B'C + 0"}, 0);
  EXPECT_EQ(system.InputBits, 3);  // ~A over 3 inputs has largest term 3
  EXPECT_EQ(system.Functions, (std::vector<TTermVector>{testing::Terms({0, 1, 2, 3}), testing::Terms({1, 5})}));
  LoadExpressions(system, {"A"}, 4);
  EXPECT_EQ(system.InputBits, 4);
  EXPECT_EQ(system.Functions[0], testing::Terms({8, 9, 10, 11, 12, 13, 14, 15}));
  EXPECT_THROW(LoadExpressions(system, {"A", "C"}, 2), TavroError);
  EXPECT_THROW(LoadExpressions(system, {"A", "C +"}, 0), TavroError);
}

}  // namespace
}  // namespace tavro
