#pragma once
// The three text forms of a cube list, one line per function ("f0 = ...",
// ended by "\r\n"): sum of products, product of sums, and covered terms.
// An empty list gives no text at all, unless everyFunction is set (a system
// whose empty functions are constants): then each of the list's functions
// has its line all the same. names give the inputs' and functions' names
// (the defaults A, B, ... and f0, f1, ... unless given).

#include <string>

#include "engine/core/Cover.h"
#include "engine/core/Host.h"
#include "engine/core/SignalNames.h"

namespace tavro {

std::string FormatSOP(const TCover& list, bool everyFunction = false, const TSignalNames& names = {});
std::string FormatPOS(const TCover& list, bool everyFunction = false, const TSignalNames& names = {});
std::string FormatCubeTerms(const TCover& list, bool everyFunction = false, const TSignalNames& names = {});

inline void WriteSOP(const TCover& list, IEngineHost& host) { host.AppendOutput(FormatSOP(list)); }
inline void WritePOS(const TCover& list, IEngineHost& host) { host.AppendOutput(FormatPOS(list)); }
inline void WriteCubeTerms(const TCover& list, IEngineHost& host) { host.AppendOutput(FormatCubeTerms(list)); }

}  // namespace tavro
