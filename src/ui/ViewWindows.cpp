#include "ui/ViewWindows.h"

#include <algorithm>

#include <QAction>
#include <QMenu>

#include "engine/io/Expression.h"
#include "ui/AnalysisWindow.h"
#include "ui/KarnaughView.h"
#include "ui/Main.h"
#include "ui/TruthTableModel.h"

namespace tavro {

std::optional<TTermVector> FunctionFromEntryExpressions(const std::string& expression, const std::string& dontCares,
                                                        const TFunctionSystem& system, bool maxterms) {
  const auto blank = [](const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
  };
  if (blank(expression) && blank(dontCares)) return std::nullopt;
  // With only don't cares given, the function is 0 apart from them.
  const TBooleanExpression on = ParseBooleanExpression(expression, TEmptyExpression::Zero);
  const TBooleanExpression dc = ParseBooleanExpression(dontCares, TEmptyExpression::Zero);
  int inputs = std::max({on.InputsUsed(), dc.InputsUsed(), system.MinInputBits, 1});
  for (int f = 0; f < system.FunctionCount(); ++f)
    if (f != system.CurrentFunction)
      inputs = std::max(inputs, TFunctionSystem::FunctionInputBits(system.Functions[static_cast<size_t>(f)]));
  return FunctionFromExpressions(on, &dc, std::min(inputs, MaxInputBits), maxterms);
}

// ---------------------------------------------------------------------------

int TMainFunctionView::FunctionCount() const { return FMain.Document().FunctionCount(); }
int TMainFunctionView::InputBits() const { return FMain.Document().InputBits(); }
int TMainFunctionView::CurrentFunction() const { return FMain.Document().CurrentFunction(); }
const TTermVector& TMainFunctionView::Function(int f) const { return FMain.Document().Function(f); }
const TCover* TMainFunctionView::Result() const {
  const TDocument& document = FMain.Document();
  return document.ResultReady() ? document.System().ResultCubes.get() : nullptr;
}
int TMainFunctionView::ResultMode() const { return FMain.Document().ResultMode(); }
bool TMainFunctionView::ShowPrimes() const { return FMain.mnuPIs->isChecked(); }

void TMainFunctionView::SetTermState(int function, uint32_t term, TTermState state) {
  // Like every editing command, no edit while a run works on the system.
  if (FMain.Running()) return;
  // The edit of the term entry dialog's OK: Modified set, ResultReady cleared.
  FMain.Document().SetTerms(function, WithTermState(Function(function), term, state));
}

// ---------------------------------------------------------------------------

TViewWindows::TViewWindows(TfrmMain& main) : QObject(&main), FMain(main), FSource(main) {
  setObjectName(QStringLiteral("ViewWindows"));
  QMenu* output = main.mnuOutput;
  QAction* before = main.N3;  // above the export item
  mnuKarnaughMap = new QAction(QStringLiteral("Karnaugh Map..."), output);
  mnuKarnaughMap->setObjectName(QStringLiteral("mnuKarnaughMap"));
  mnuTruthTable = new QAction(QStringLiteral("Truth Table..."), output);
  mnuTruthTable->setObjectName(QStringLiteral("mnuTruthTable"));
  output->insertSeparator(before);
  output->insertAction(before, mnuKarnaughMap);
  output->insertAction(before, mnuTruthTable);
  auto show = [](QWidget& w) {
    w.show();
    w.raise();
    w.activateWindow();
  };
  connect(mnuKarnaughMap, &QAction::triggered, this, [this, show] { show(KarnaughWindow()); });
  connect(mnuTruthTable, &QAction::triggered, this, [this, show] { show(TruthTableWindow()); });
  connect(main.mnuAlgorithmAnalysis, &QAction::triggered, this, [this, show] { show(AnalysisWindow()); });
  connect(&main, &TfrmMain::RunFinished, this, [this] {
    if (FAnalysis) FAnalysis->Refresh();
  });
  connect(main.mnuSignalNames, &QAction::toggled, this, [this] {
    if (FAnalysis) FAnalysis->Refresh();
  });
  connect(&main, &TfrmMain::Refreshed, this, &TViewWindows::Refresh);
  connect(main.mnuPIs, &QAction::toggled, this, &TViewWindows::Refresh);
}

TKarnaughWindow& TViewWindows::KarnaughWindow() {
  if (!FKarnaugh) {
    // Exports are named after the document and the function ("adder-f1.svg")
    // and proposed in the document's folder.
    const auto saveName = [this](bool svg) -> std::optional<QString> {
      const QString extension = svg ? QStringLiteral("svg") : QStringLiteral("png");
      const auto written = [extension](const QString& name) {
        return name.endsWith(QLatin1Char('.') + extension, Qt::CaseInsensitive) ? name
                                                                                : name + QLatin1Char('.') + extension;
      };
      const auto name =
          FMain.ExecuteSaveDialog(svg ? QStringLiteral("SVG images (*.svg)") : QStringLiteral("PNG images (*.png)"),
                                  extension, written, QStringLiteral("-f%1").arg(FSource.CurrentFunction()));
      if (!name) return std::nullopt;
      return written(*name);
    };
    FKarnaugh = new TKarnaughWindow(
        FSource, saveName, [this](const QString& message) { FMain.ShowError(message); }, &FMain);
  }
  return *FKarnaugh;
}

TTruthTableWindow& TViewWindows::TruthTableWindow() {
  if (!FTruthTable) FTruthTable = new TTruthTableWindow(FSource, &FMain);
  return *FTruthTable;
}

TAnalysisWindow& TViewWindows::AnalysisWindow() {
  if (!FAnalysis)
    FAnalysis =
        new TAnalysisWindow([this] { return FMain.LastSteps(); }, [this] { return FMain.ShownNames(); },
                            [this](bool latex) { FMain.Guard([this, latex] { FMain.ExportSteps(latex); }); }, &FMain);
  return *FAnalysis;
}

void TViewWindows::Refresh() {
  if (FKarnaugh) FKarnaugh->Refresh();
  if (FTruthTable) FTruthTable->Refresh();
}

}  // namespace tavro
