#include "ui/FunctionView.h"

namespace tavro {

TTermVector WithTermState(const TTermVector& f, uint32_t row, TTermState state) {
  TTermVector result = f;
  const auto& terms = result.Terms();
  const auto pos = std::lower_bound(terms.begin(), terms.end(), static_cast<int32_t>(row));
  if (pos != terms.end() && *pos == static_cast<int32_t>(row)) result.Delete(static_cast<int32_t>(pos - terms.begin()));
  // A minterm function lists its 1 rows, a maxterm function its 0 rows;
  // both list their don't cares.
  const TTermState listed = f.IsMaxterms() ? TTermState::Zero : TTermState::One;
  if (state == TTermState::DontCare || state == listed)
    result.Add(static_cast<int32_t>(row), state == TTermState::DontCare);
  return result;
}

}  // namespace tavro
