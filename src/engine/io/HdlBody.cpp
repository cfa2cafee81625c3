#include "engine/io/HdlBody.h"

#include "engine/core/FunctionSystem.h"

namespace tavro {

namespace {

// One cube's statement: its literals joined by And (SOP) or Or (POS).
void AppendCube(std::string& t, const TCover& cubes, size_t k, bool sop, const THdlSyntax& s) {
  t += s.CubeStart + std::to_string(k) + s.CubeAssign;
  bool any = false;
  for (const TLiteral& literal : cubes.Literals(k, !sop)) {
    if (any) t += sop ? s.And : s.Or;
    any = true;
    if (literal.Complemented) t += s.Not;
    t += s.InputStart + std::to_string(literal.Position) + s.InputEnd;
  }
  if (!any) t += sop ? s.One : s.Zero;
  t += s.StatementEnd;
}

// Output i's statement: the signals of its cubes joined by Or (SOP) or And
// (POS).
void AppendOutput(std::string& t, const TCover& cubes, int i, bool sop, const THdlSyntax& s) {
  t += s.OutputStart + std::to_string(i) + s.OutputAssign;
  bool any = false;
  for (size_t k = 0; k < cubes.Count(); ++k) {
    if (i >= cubes.FunctionCount || !cubes.Tag(k, i)) continue;
    if (any) t += sop ? s.Or : s.And;
    any = true;
    t += s.SignalStart + std::to_string(k) + s.SignalEnd;
  }
  if (!any) t += sop ? s.Zero : s.One;
  t += s.StatementEnd;
}

}  // namespace

void AppendHdlStatements(std::string& text, const TCover& cubes, int functionCount, int mode,
                         const THdlSyntax& syntax) {
  const bool sop = mode == modeSOP;
  for (size_t k = 0; k < cubes.Count(); ++k) AppendCube(text, cubes, k, sop, syntax);
  for (int i = 0; i < functionCount; ++i) AppendOutput(text, cubes, i, sop, syntax);
}

}  // namespace tavro
