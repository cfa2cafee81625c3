#pragma once
// Equations in the eqntott form: one per output, "NAME = (A&!B) | (C);"
// after SOP and "NAME = (A | !B) & (C);" after POS, each followed by a blank
// line; a long equation goes on over lines indented by four blanks, broken
// between operands only. An output without cubes is 0 after SOP (1 after
// POS), a cube without literals makes it 1 (0). Names as the system's where
// every one is an identifier ([A-Za-z_][A-Za-z0-9_]*) and none repeats,
// otherwise A, B, ... and f0, f1, ....

#include <string>

#include "engine/core/Cover.h"
#include "engine/core/SignalNames.h"

namespace tavro {

std::string EqntottText(const TCover& cubes, int inputBits, int functionCount, int mode,
                        const TSignalNames& names = {});

}  // namespace tavro
