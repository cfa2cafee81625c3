#pragma once
// A run's recorded steps (run/StepRecord.h) as a reader sees them: plain
// text (tavro-cli --steps), an HTML page (the window's analysis view and its
// export) and a LaTeX document. The three are made from one layout of
// sections and tables, so they always say the same.

#include <string>

#include "engine/core/SignalNames.h"
#include "engine/run/StepRecord.h"

namespace tavro {

// Lines end in "\n". names: the system's input and function names.
std::string StepsText(const TStepRecord& record, const TSignalNames& names = {});
// A complete UTF-8 page.
std::string StepsHtml(const TStepRecord& record, const TSignalNames& names = {});
// A complete document for pdflatex.
std::string StepsLatex(const TStepRecord& record, const TSignalNames& names = {});

}  // namespace tavro
