// The expression reader and its evaluation. Any text is read or refused with
// an ExpressionError naming a column inside it or just past it. A text that
// is read is a tree of nodes each after its children, and its truth table
// (up to 12 inputs) is the one a plain node-by-node reading gives; read over
// one more input, the new last input changes nothing.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzRoundTrip.h"
#include "engine/io/Expression.h"

namespace {

using tavro::TBooleanExpression;
using TKind = TBooleanExpression::TKind;

constexpr int kMostInputs = 12;

size_t Words(int inputs) { return inputs <= 6 ? 1 : size_t{1} << (inputs - 6); }

bool Bit(const std::vector<uint64_t>& table, uint32_t row) { return (table[row >> 6] >> (row & 63)) & 1u; }

// Every node's table in order, from its children's tables; checks the tree's
// shape on the way.
std::vector<uint64_t> PlainTable(const TBooleanExpression& e, int inputs, std::string_view text) {
  const auto& nodes = e.Nodes();
  const size_t words = Words(inputs);
  std::vector<std::vector<uint64_t>> tables(nodes.size(), std::vector<uint64_t>(words));
  for (size_t n = 0; n < nodes.size(); ++n) {
    const auto& node = nodes[n];
    for (const int child : node.Children)
      if (child < 0 || static_cast<size_t>(child) >= n) tavro::fuzz::Fail("a child after its parent", text, "");
    auto& out = tables[n];
    switch (node.Kind) {
      case TKind::Constant:
        for (auto& w : out) w = node.Value ? ~uint64_t{0} : 0;
        break;
      case TKind::Variable:
        for (uint32_t row = 0; row < (uint32_t{1} << inputs); ++row)
          if ((row >> (inputs - node.Value)) & 1u) out[row >> 6] |= uint64_t{1} << (row & 63);
        break;
      case TKind::Not:
        if (nodes[static_cast<size_t>(node.Children[0])].Kind == TKind::Not)
          tavro::fuzz::Fail("a NOT of a NOT", text, "");
        for (size_t w = 0; w < words; ++w) out[w] = ~tables[static_cast<size_t>(node.Children[0])][w];
        break;
      default:
        out = tables[static_cast<size_t>(node.Children[0])];
        for (size_t k = 1; k < node.Children.size(); ++k) {
          const auto& c = tables[static_cast<size_t>(node.Children[k])];
          for (size_t w = 0; w < words; ++w)
            out[w] = node.Kind == TKind::And ? out[w] & c[w] : node.Kind == TKind::Or ? out[w] | c[w] : out[w] ^ c[w];
        }
    }
  }
  return tables.back();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::optional<TBooleanExpression> e;
  try {
    e.emplace(tavro::ParseBooleanExpression(text, tavro::TEmptyExpression::Zero));
  } catch (const tavro::ExpressionError& error) {
    if (error.Column < 1 || static_cast<size_t>(error.Column) > size + 1)
      tavro::fuzz::Fail("an error outside the text", text, error.what());
    return 0;
  }
  const int inputs = e->InputsUsed();
  if (inputs > kMostInputs) return 0;  // its tables would be too slow to compare
  const int over = inputs == 0 ? 1 : inputs;
  const auto table = e->Evaluate(over);
  const auto plain = PlainTable(*e, over, text);
  for (uint32_t row = 0; row < (uint32_t{1} << over); ++row)
    if (Bit(table, row) != Bit(plain, row))
      tavro::fuzz::Fail(("row " + std::to_string(row) + " differs from the plain reading").c_str(), text, "");
  for (size_t w = 0; w < table.size(); ++w)
    if (over < 6 && (table[w] >> (1u << over)) != 0) tavro::fuzz::Fail("bits set past the last row", text, "");
  const auto wider = e->Evaluate(over + 1);
  for (uint32_t row = 0; row < (uint32_t{2} << over); ++row)
    if (Bit(wider, row) != Bit(table, row >> 1))
      tavro::fuzz::Fail(("row " + std::to_string(row) + " over one more input differs").c_str(), text, "");
  return 0;
}
