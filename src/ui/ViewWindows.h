#pragma once
// The Karnaugh map and truth table windows of the main window, and the
// expression fields of the term entry dialog.

#include <optional>
#include <string>

#include <QObject>

#include "engine/core/FunctionSystem.h"
#include "ui/FunctionView.h"

class QAction;

namespace tavro {

class TfrmMain;
class TAnalysisWindow;
class TKarnaughWindow;
class TTruthTableWindow;

// The function that the dialog's expression fields give, or nothing when
// both are empty. The expressions are read over the inputs of the other
// functions, or more when they name a later variable. Throws
// ExpressionError.
std::optional<TTermVector> FunctionFromEntryExpressions(const std::string& expression, const std::string& dontCares,
                                                        const TFunctionSystem& system, bool maxterms);

// The main window's store seen through the views' interface.
class TMainFunctionView : public IFunctionView {
 public:
  explicit TMainFunctionView(TfrmMain& main) : FMain(main) {}
  int FunctionCount() const override;
  int InputBits() const override;
  int CurrentFunction() const override;
  const TTermVector& Function(int f) const override;
  const TCover* Result() const override;
  int ResultMode() const override;
  bool ShowPrimes() const override;
  void SetTermState(int function, uint32_t term, TTermState state) override;

 private:
  TfrmMain& FMain;
};

// Adds "Karnaugh Map..." and "Truth Table..." to the Output menu, opens the
// analysis window from "Algoritm Analysis", and keeps the windows up to date
// with every refresh of the main window (the analysis window with every run).
class TViewWindows : public QObject {
  Q_OBJECT

 public:
  explicit TViewWindows(TfrmMain& main);

  // The windows, made when first asked for.
  TKarnaughWindow& KarnaughWindow();
  TTruthTableWindow& TruthTableWindow();
  TAnalysisWindow& AnalysisWindow();
  void Refresh();

  QAction* mnuKarnaughMap = nullptr;
  QAction* mnuTruthTable = nullptr;

 private:
  TfrmMain& FMain;
  TMainFunctionView FSource;
  TKarnaughWindow* FKarnaugh = nullptr;
  TTruthTableWindow* FTruthTable = nullptr;
  TAnalysisWindow* FAnalysis = nullptr;
};

}  // namespace tavro
