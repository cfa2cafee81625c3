#pragma once
// The run's memory limit, as the stages see it.

#include <cstdint>

#include "engine/core/RunParams.h"

namespace tavro::detail {

// Keeps a running estimate of the run's working memory and stops the run when
// it passes the limit.
class MemoryMeter {
 public:
  explicit MemoryMeter(uint64_t limit) : FLimit(limit ? limit : DefaultMemoryLimit()) {}
  uint64_t Limit() const { return FLimit; }
  void Set(uint64_t bytes) {
    if (bytes > FLimit) throw TooLargeError(bytes);
  }

 private:
  uint64_t FLimit;
};

}  // namespace tavro::detail
