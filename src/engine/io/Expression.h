#pragma once
// Boolean expressions as a way to give a function: "A~B + (C ^ D)' + 0".
//
// Variables are the names of the text output: A is the most significant
// input, then B, C, ...; after Z come AA, BB, ... (a run of one repeated
// letter is one name, so "AB" is A and B, "AA" is the 27th input). Letters
// may be typed in either case.
//
// Operators, tightest first:
//   NOT  prefix ~ or !, or postfix '
//   AND  juxtaposition, *, & or .
//   XOR  ^
//   OR   + or |
// Parentheses group; 0 and 1 are the constants. Blanks, tabs and line breaks
// between tokens are ignored.
//
// A line as the formatters print it may be given whole: an optional leading
// "fN =" (f, a number, "=") is skipped, so "f0 = (~A)(B) + (C)" and
// "(~A)(B) + (C)" mean the same.
//
// Errors are ExpressionError exceptions whose message says what was expected
// and at which column (1 = the first character of the text).
//
// Parentheses nest at most MaxExpressionNesting deep; a deeper one is refused
// with ExpressionNestingError. The reader and the evaluation keep their own
// stacks instead of recursing, so a deep text costs no call stack. A run of
// NOTs is not nesting: any number of them in a row reads as one NOT or none.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/Errors.h"
#include "model/TermVector.h"

namespace tavro {

class TFunctionSystem;

constexpr int MaxExpressionNesting = 4000;

class ExpressionError : public TavroError {
 public:
  ExpressionError(const std::string& expected, int column)
      : ExpressionError(TMessage{"expected " + expected + " at column " + std::to_string(column)}, column) {}
  int Column;

 protected:
  struct TMessage {
    std::string Text;
  };
  ExpressionError(const TMessage& message, int column) : TavroError(message.Text), Column(column) {}
};

// A parenthesis opened deeper than MaxExpressionNesting; Column is its column.
class ExpressionNestingError : public ExpressionError {
 public:
  explicit ExpressionNestingError(int column)
      : ExpressionError(TMessage{"nesting deeper than " + std::to_string(MaxExpressionNesting) + " at column " +
                                 std::to_string(column)},
                        column) {}
};

// How an expression is evaluated.
struct TExpressionParams {
  // Largest memory the truth tables and the term lists made from them may
  // take; 0: DefaultMemoryLimit(). Past it the evaluation throws
  // ResourceError before allocating.
  uint64_t MaxMemoryBytes = 0;
};

// What an empty text (nothing after the optional "fN =") means. The
// formatters print a function without cubes as an empty right-hand side:
// the empty sum, 0, after a sum-of-products run and the empty product, 1,
// after a product-of-sums run.
enum class TEmptyExpression { Error, Zero, One };

// A parsed expression: a tree of nodes, each after its children, the root
// last. No NOT node has a NOT as its child.
class TBooleanExpression {
 public:
  enum class TKind : uint8_t { Variable, Constant, Not, And, Xor, Or };
  struct TNode {
    TKind Kind;
    int Value;                  // Variable: position (1 = A); Constant: 0 or 1
    std::vector<int> Children;  // indices of earlier nodes
  };

  // The highest variable position used (0 when the expression has none):
  // the fewest inputs the expression can be read over.
  int InputsUsed() const { return FInputsUsed; }
  const std::vector<TNode>& Nodes() const { return FNodes; }
  int Root() const { return static_cast<int>(FNodes.size()) - 1; }

  // The truth table over `inputs` inputs (InputsUsed() <= inputs <=
  // MaxInputBits), bit r of the result being the value at row r; at least one
  // word, bits past 2^inputs clear. Throws TavroError for a width outside
  // that range and ResourceError past the memory limit.
  std::vector<uint64_t> Evaluate(int inputs, const TExpressionParams& params = {}) const;

  // The cubes (value 0 where free, free inputs) whose union is the
  // expression over `inputs` inputs (InputsUsed() <= inputs <=
  // kMaxCubeInputs), as words of 64 bits (the lowest first, (inputs + 63) /
  // 64 for the value and as many for the mask of each cube), made without a
  // table: an OR joins lists, an AND intersects them pairwise, a NOT or an
  // XOR complements them. Throws ResourceError past the memory limit.
  std::vector<uint64_t> CubeWords(int inputs, const TExpressionParams& params = {}) const;

 private:
  friend TBooleanExpression ParseBooleanExpression(std::string_view, TEmptyExpression);
  std::vector<TNode> FNodes;
  int FInputsUsed = 0;
};

// Throws ExpressionError.
TBooleanExpression ParseBooleanExpression(std::string_view text, TEmptyExpression empty = TEmptyExpression::Error);

// The function given by an expression and an expression of its don't cares
// (an empty text: none), read over `inputs` inputs, as a term vector of the
// given kind: minterms lists the rows where the expression is 1, maxterms
// those where it is 0; rows where the don't-care expression is 1 are don't
// cares either way. Throws TavroError when the expressions use more than
// `inputs` inputs, and ResourceError when the tables and the term list would
// take more memory than allowed.
TTermVector FunctionFromExpressions(const TBooleanExpression& function, const TBooleanExpression* dontCares, int inputs,
                                    bool maxterms, const TExpressionParams& params = {});

// Replaces the system by one minterm function per expression, over the
// highest input any of them uses, or over `inputs` when that is not 0 (it
// must then cover every variable used). The width is kept even where the
// largest term needs fewer bits. The memory limit covers all the functions
// made together. Throws TavroError (with the number of the expression in
// front of a parse error's message) or ResourceError; the system is then
// unchanged.
void LoadExpressions(TFunctionSystem& system, const std::vector<std::string>& expressions, int inputs,
                     const TExpressionParams& params = {});

}  // namespace tavro
