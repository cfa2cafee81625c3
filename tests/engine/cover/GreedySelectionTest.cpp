// The described selection on charts whose cover its rules decide.

#include <gtest/gtest.h>

#include "engine/run/Minimize.h"
#include "support/Builders.h"
#include "support/RecordingHost.h"

using namespace tavro;
using tavro::testing::RecordingHost;
using tavro::testing::Terms;

namespace {

// Six primes in a cycle, each column in two of them: no row is essential or
// dominated, so the completion step's choice decides the cover.
TEST(GreedySelection, CyclicChartIsBrokenByTheFirstRowWithMostCells) {
  TFunctionSystem s;
  s.Functions = {Terms({0, 1, 2, 5, 6, 7})};
  s.UpdateInputBits();
  RecordingHost host;
  RunCommand(s, modeSOP, TOutputOptions{true, true, false}, host, nullptr);
  EXPECT_EQ(host.Output,
            "All Prime Implicants\r\n"
            "f0 = (~A)(~C) + (~A)(~B) + (B)(~C) + (~B)(C) + (A)(B) + (A)(C)\r\n"
            "\r\n"
            "Optimized Function(s):\r\n"
            "f0 = (~A)(~C) + (~B)(C) + (A)(B)\r\n"
            "\r\n");
}

}  // namespace
