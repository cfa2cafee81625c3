#pragma once
// The "Algoritm Analysis" window: the last run's steps (engine/io/Steps.h)
// as tables, with their export to HTML and LaTeX.

#include <functional>
#include <memory>

#include <QWidget>

#include "engine/core/SignalNames.h"
#include "engine/run/StepRecord.h"

class QTextBrowser;

namespace tavro {

class TAnalysisWindow : public QWidget {
  Q_OBJECT

 public:
  // record: the last run's steps (null before the first run); names: the
  // names the text shows; exportSteps(latex): the export commands.
  using TRecordSource = std::function<std::shared_ptr<const TStepRecord>()>;
  using TNamesSource = std::function<TSignalNames()>;
  using TExport = std::function<void(bool latex)>;
  TAnalysisWindow(TRecordSource record, TNamesSource names, TExport exportSteps, QWidget* parent = nullptr);

  // Shows the record as it is now.
  void Refresh();
  QTextBrowser* Text() const { return FText; }

 private:
  TRecordSource FRecord;
  TNamesSource FNames;
  TExport FExport;
  QTextBrowser* FText = nullptr;
};

}  // namespace tavro
