#pragma once
// An engine host that keeps everything a run shows: the output pane, every
// status text and the number of beeps.

#include <string>
#include <vector>

#include "engine/Host.h"

namespace tavro::check {

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

}  // namespace tavro::check
