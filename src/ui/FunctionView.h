#pragma once
// What the Karnaugh map and the truth table read and write: one narrow
// interface onto the function system, so the views do not depend on the
// window that owns the system.

#include <algorithm>
#include <cstdint>

#include "engine/core/Cover.h"
#include "model/TermVector.h"

namespace tavro {

// The value of a function at one row.
enum class TTermState { Zero, One, DontCare };

class IFunctionView {
 public:
  virtual ~IFunctionView() = default;

  virtual int FunctionCount() const = 0;
  virtual int InputBits() const = 0;
  virtual int CurrentFunction() const = 0;
  virtual const TTermVector& Function(int f) const = 0;
  // The last run's cover while it still describes the functions (no edit
  // since the run), otherwise null; and the mode of that run.
  virtual const TCover* Result() const = 0;
  virtual int ResultMode() const = 0;
  // Whether the prime implicants are wanted as well.
  virtual bool ShowPrimes() const = 0;
  // Sets the value of one row of a function, keeping the function's kind;
  // the edit counts like one made in the term entry dialog.
  virtual void SetTermState(int function, uint32_t term, TTermState state) = 0;
};

// The value of a function at a row, as its term list says.
inline TTermState TermState(const TTermVector& f, uint32_t row) {
  const auto& terms = f.Terms();
  const auto pos = std::lower_bound(terms.begin(), terms.end(), static_cast<int32_t>(row));
  if (pos == terms.end() || *pos != static_cast<int32_t>(row))
    return f.IsMaxterms() ? TTermState::One : TTermState::Zero;
  if (f.DontCares()[static_cast<size_t>(pos - terms.begin())]) return TTermState::DontCare;
  return f.IsMaxterms() ? TTermState::Zero : TTermState::One;
}

// The same function with one row set to a value; the kind stays.
TTermVector WithTermState(const TTermVector& f, uint32_t row, TTermState state);

}  // namespace tavro
