#pragma once
// What a minimization run needs from whoever shows it: the output pane, the
// status text and the beep. The window, the command-line tool and the tests
// each provide one.

#include <string>

namespace tavro {

class IEngineHost {
 public:
  virtual ~IEngineHost() = default;
  // Appends text to the output pane (lines end in "\r\n").
  virtual void AppendOutput(const std::string& text) = 0;
  // Replaces the status text; a window should repaint it at once, since the
  // run keeps the event loop busy until it ends.
  virtual void SetStatus(const std::string& text) = 0;
  virtual void Beep() = 0;
};

}  // namespace tavro
