#pragma once
// An engine host that keeps everything a run shows: the output pane, every
// status text and the number of beeps.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/Host.h"

namespace tavro::testing {

class RecordingHost : public IEngineHost {
 public:
  void AppendOutput(const std::string& text) override { Output += text; }
  void SetStatus(const std::string& text) override { Statuses.push_back(text); }
  void Beep() override { ++Beeps; }
  std::string LastStatus() const { return Statuses.empty() ? std::string() : Statuses.back(); }

  std::string Output;
  std::vector<std::string> Statuses;
  int Beeps = 0;
};

// The N of "System too large to minimize (about N MiB needed)."; nothing
// when the text is not exactly that.
inline std::optional<uint64_t> TooLargeMiB(const std::string& text) {
  const std::string head = "System too large to minimize (about ", tail = " MiB needed).";
  if (text.size() <= head.size() + tail.size() || text.compare(0, head.size(), head) != 0 ||
      text.compare(text.size() - tail.size(), tail.size(), tail) != 0)
    return std::nullopt;
  const std::string digits = text.substr(head.size(), text.size() - head.size() - tail.size());
  if (digits.empty() || digits.size() > 12 || digits.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return std::stoull(digits);
}

}  // namespace tavro::testing

namespace tavro::check {
using testing::RecordingHost;
using testing::TooLargeMiB;
}  // namespace tavro::check
