#pragma once

#include <string>
#include <vector>

#include "engine/Host.h"

namespace tavro::testing {

// Records what a run shows: the pane text, the status texts and the beeps.
class RecordingHost : public IEngineHost {
 public:
  void AppendOutput(const std::string& text) override { Output += text; }
  void SetStatus(const std::string& text) override { Statuses.push_back(text); }
  void Beep() override { ++Beeps; }

  std::string Output;
  std::vector<std::string> Statuses;
  int Beeps = 0;
};

}  // namespace tavro::testing
