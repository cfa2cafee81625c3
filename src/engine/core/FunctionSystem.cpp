#include "engine/core/FunctionSystem.h"

#include <bit>
#include <functional>

#include "engine/core/CubeSets.h"
#include "model/Errors.h"

namespace tavro {

void TFunctionSystem::ResetSystem() {
  Functions.clear();
  Functions.emplace_back();
  CurrentFunction = 0;
  CurrentFileName.clear();
  Names = {};
  MinInputBits = 0;
  SourceCubes.reset();
  SourceDontCares.reset();
  TermsInSource = false;
  EmptyIsConstant = false;
  Modified = false;
  ResultReady = false;
  ResultMode = modeSOP;
}

int TFunctionSystem::FunctionInputBits(const TTermVector& f) {
  if (f.Count() == 0) return 0;
  const int32_t largest = f.Largest();
  if (largest == 0) return 1;
  return std::bit_width(static_cast<uint32_t>(largest));
}

int TFunctionSystem::ComputeInputBits() const {
  int bits = MinInputBits;
  for (const auto& f : Functions) bits = std::max(bits, FunctionInputBits(f));
  return bits;
}

void TFunctionSystem::ListSourceTerms() {
  if (!TermsInSource) return;
  Functions = ListCubeTerms({SourceCubes.get(), SourceDontCares.get()}, FunctionCount(), MinInputBits);
  SourceIdentity = TermsIdentity(Functions);
  TermsInSource = false;
}

uint64_t TFunctionSystem::SourceTermsBytes() const {
  if (!TermsInSource) return 0;
  // Terms past the term-number world are never listed.
  if (MinInputBits > kMaxTermInputs) return ~uint64_t{0};
  uint64_t bytes = 2 * (((uint64_t{1} << MinInputBits) + 63) / 64) * sizeof(uint64_t);
  for (int f = 0; f < FunctionCount(); ++f)
    bytes += TTermVector::BytesFor(static_cast<uint64_t>(ListedCount({SourceCubes.get(), nullptr}, f, MinInputBits)));
  return bytes;
}

int64_t TFunctionSystem::TotalTerms() const {
  int64_t total = 0;
  for (const auto& f : Functions) total += f.Count();
  return total;
}

TTermVector TFunctionSystem::ComplementTerms(const TTermVector& f) const {
  return tavro::ComplementTerms(f, InputBits);
}

std::vector<uint64_t> TermsIdentity(const std::vector<TTermVector>& functions) {
  std::vector<uint64_t> identity;
  identity.reserve(functions.size());
  for (const auto& f : functions) identity.push_back(f.Stamp() << 1 | (f.Maxterms ? 1u : 0u));
  return identity;
}

TTermVector ComplementTerms(const TTermVector& f, int inputBits) {
  if (inputBits < 0) inputBits = 0;
  if (inputBits > MaxInputBits)
    throw TavroError("Too many input bits: " + std::to_string(inputBits) + " (at most " + std::to_string(MaxInputBits) +
                     ").");
  TTermVector result;
  result.Maxterms = !f.Maxterms;
  const auto& terms = f.Terms();
  const auto& flags = f.DontCares();
  const int64_t rows = int64_t{1} << inputBits;
  size_t k = 0;
  for (int64_t t = 0; t < rows; ++t) {
    while (k < terms.size() && terms[k] < t) ++k;
    if (k < terms.size() && terms[k] == t) {
      if (flags[k]) result.Append(static_cast<int32_t>(t), true);
    } else {
      result.Append(static_cast<int32_t>(t), false);
    }
  }
  return result;
}

}  // namespace tavro
