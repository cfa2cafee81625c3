#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "ui/Main.h"

// The main menu tree.

namespace tavro {

namespace {

// The steps the menus are made of; handlers run through the general error
// display.
class TMenuMaker {
 public:
  explicit TMenuMaker(TfrmMain& window) : W(window) {}

  QMenu* Menu(QWidget* parentMenu, const char* name, const QString& caption) const {
    auto* m = new QMenu(caption, parentMenu);
    m->setObjectName(QLatin1String(name));
    m->menuAction()->setObjectName(QLatin1String(name));
    if (auto* bar = qobject_cast<QMenuBar*>(parentMenu)) bar->addMenu(m);
    else static_cast<QMenu*>(parentMenu)->addMenu(m);
    return m;
  }
  QAction* Item(QMenu* m, const char* name, const QString& caption, void (TfrmMain::*handler)() = nullptr) const {
    QAction* a = m->addAction(caption);
    a->setObjectName(QLatin1String(name));
    TfrmMain* w = &W;
    if (handler)
      QObject::connect(a, &QAction::triggered, w, [w, handler] { w->Guard([w, handler] { (w->*handler)(); }); });
    return a;
  }
  static QAction* Separator(QMenu* m, const char* name) {
    QAction* a = m->addSeparator();
    a->setObjectName(QLatin1String(name));
    return a;
  }
  void RadioGroup(std::initializer_list<QAction*> actions) const {
    auto* group = new QActionGroup(&W);
    group->setExclusive(true);
    for (QAction* a : actions) {
      a->setCheckable(true);
      group->addAction(a);
    }
  }
  static void MakeDefault(QMenu* m, QAction* a) {
    m->setDefaultAction(a);
    QFont bold = a->font();
    bold.setBold(true);
    a->setFont(bold);
  }

  TfrmMain& W;
};

void CreateFileMenu(const TMenuMaker& make) {
  TfrmMain& w = make.W;
  w.mnuFile = make.Menu(w.frmMainMenu, "mnuFile", QStringLiteral("&File"));
  w.New1 = make.Item(w.mnuFile, "New1", QStringLiteral("New"), &TfrmMain::New1Click);
  w.New1->setShortcut(QKeySequence::New);
  w.mnuOpen = make.Item(w.mnuFile, "mnuOpen", QStringLiteral("&Open..."), &TfrmMain::mnuOpenClick);
  w.mnuOpen->setShortcut(QKeySequence::Open);
  w.N1 = make.Separator(w.mnuFile, "N1");
  w.mntSave = make.Item(w.mnuFile, "mntSave", QStringLiteral("Save"), &TfrmMain::mntSaveClick);
  w.mnuSave = make.Item(w.mnuFile, "mnuSave", QStringLiteral("&Save As..."), &TfrmMain::mnuSaveClick);
  w.mnuSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  w.mnuExport = make.Menu(w.mnuFile, "mnuExport", QStringLiteral("Export"));
  for (const TfrmMain::TExportFormat& format : TfrmMain::ExportFormats()) {
    QAction* item = make.Item(w.mnuExport, format.Object, QString::fromLatin1(format.Caption));
    TfrmMain* window = &w;
    QObject::connect(item, &QAction::triggered, window,
                     [window, &format] { window->Guard([window, &format] { window->ExportTo(format); }); });
    w.ExportItems.push_back(item);
  }
  QObject::connect(w.mnuExport, &QMenu::aboutToShow, &w, [&w] { w.UpdateExportItems(); });
  w.MenuDivider2 = make.Separator(w.mnuFile, "MenuDivider2");
  w.mnuPageSetup = make.Item(w.mnuFile, "mnuPageSetup", QStringLiteral("Page Setup.."), &TfrmMain::mnuPageSetupClick);
  w.mnuPrint = make.Item(w.mnuFile, "mnuPrint", QStringLiteral("&Print..."), &TfrmMain::mnuPrintClick);
  w.mnuPrint->setShortcut(QKeySequence::Print);
  w.mnuDivider = make.Separator(w.mnuFile, "mnuDivider");
  w.mnuExit = make.Item(w.mnuFile, "mnuExit", QStringLiteral("E&xit"), &TfrmMain::mnuExitClick);
  w.mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void CreateEditMenu(const TMenuMaker& make) {
  TfrmMain& w = make.W;
  w.mnuEdit = make.Menu(w.frmMainMenu, "mnuEdit", QStringLiteral("&Edit"));
  // Undo and Redo name the step they take; they wait while a run works.
  w.mnuUndo = make.Item(w.mnuEdit, "mnuUndo", QStringLiteral("&Undo"), &TfrmMain::mnuUndoClick);
  w.mnuUndo->setShortcuts(QKeySequence::Undo);
  w.mnuRedo = make.Item(w.mnuEdit, "mnuRedo", QStringLiteral("&Redo"), &TfrmMain::mnuRedoClick);
  w.mnuRedo->setShortcuts(QKeySequence::Redo);
  QUndoStack& stack = w.Document().UndoStack();
  const auto follow = [&w, &stack] {
    w.mnuUndo->setText(stack.undoText().isEmpty() ? QStringLiteral("&Undo") : "&Undo " + stack.undoText());
    w.mnuRedo->setText(stack.redoText().isEmpty() ? QStringLiteral("&Redo") : "&Redo " + stack.redoText());
    w.mnuUndo->setEnabled(stack.canUndo() && !w.Running());
    w.mnuRedo->setEnabled(stack.canRedo() && !w.Running());
  };
  QObject::connect(&stack, &QUndoStack::indexChanged, &w, follow);
  QObject::connect(&stack, &QUndoStack::cleanChanged, &w, follow);
  follow();
  w.mnuUndoDivider = make.Separator(w.mnuEdit, "mnuUndoDivider");
  w.mnuCut = make.Item(w.mnuEdit, "mnuCut", QStringLiteral("Cut"), &TfrmMain::mnuCutClick);
  w.mnuCut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
  w.mnuCopy = make.Item(w.mnuEdit, "mnuCopy", QStringLiteral("Copy"), &TfrmMain::mnuCopyClick);
  w.mnuCopy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  w.mnuPaste = make.Item(w.mnuEdit, "mnuPaste", QStringLiteral("Paste"), &TfrmMain::mnuPasteClick);
  w.mnuPaste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  w.N5 = make.Separator(w.mnuEdit, "N5");
  w.mnuClear = make.Item(w.mnuEdit, "mnuClear", QStringLiteral("Clear Output"), &TfrmMain::mnuClearClick);
}

// The System menu is shown but greyed as a whole; its items do nothing.
void CreateSystemMenu(const TMenuMaker& make) {
  TfrmMain& w = make.W;
  w.erm1 = make.Menu(w.frmMainMenu, "erm1", QStringLiteral("System"));
  w.AddFunction1 = make.Menu(w.erm1, "AddFunction1", QStringLiteral("Add"));
  w.erms1 = make.Item(w.AddFunction1, "erms1", QStringLiteral("Term(s)"));
  w.Function1 = make.Item(w.AddFunction1, "Function1", QStringLiteral("Function"));
  w.Remove1 = make.Menu(w.erm1, "Remove1", QStringLiteral("Remove"));
  w.erms2 = make.Item(w.Remove1, "erms2", QStringLiteral("Term(s)"));
  w.Function2 = make.Item(w.Remove1, "Function2", QStringLiteral("Function"));
  w.erm1->menuAction()->setEnabled(false);
}

// The Output toggles invert their own check mark when chosen; a run reads
// them (OutputOptions).
void CreateOutputMenu(const TMenuMaker& make) {
  TfrmMain& w = make.W;
  w.mnuOutput = make.Menu(w.frmMainMenu, "mnuOutput", QStringLiteral("Output"));
  w.mnuTerms = make.Item(w.mnuOutput, "mnuTerms", QStringLiteral("Terms"));
  w.mnuTerms->setCheckable(true);
  // Off by default: the text names the inputs A, B, ... and the functions
  // f0, f1, ... until the user asks for a PLA file's own names.
  w.mnuSignalNames = make.Item(w.mnuOutput, "mnuSignalNames", QStringLiteral("Signal Names"));
  w.mnuSignalNames->setCheckable(true);
  w.N4 = make.Separator(w.mnuOutput, "N4");
  w.mnuPIs = make.Item(w.mnuOutput, "mnuPIs", QStringLiteral("Prime Implcants"));
  w.mnuPIs->setCheckable(true);
  w.mnuOptimizedFunction = make.Item(w.mnuOutput, "mnuOptimizedFunction", QStringLiteral("Optimized Functions"));
  w.mnuOptimizedFunction->setCheckable(true);
  w.mnuOptimizedFunction->setChecked(true);
  w.N2 = make.Separator(w.mnuOutput, "N2");
  // Opens the window of the last run's steps (ViewWindows.cpp).
  w.mnuAlgorithmAnalysis = make.Item(w.mnuOutput, "mnuAlgorithmAnalysis", QStringLiteral("Algoritm Analysis"));
  w.mnuAlgorithmAnalysis->setToolTip(
      QStringLiteral("The last run's steps: the combining levels, the prime implicants, their chart and the "
                     "selection"));
  w.N3 = make.Separator(w.mnuOutput, "N3");
  w.mnuExportToFile =
      make.Item(w.mnuOutput, "mnuExportToFile", QStringLiteral("Export To File..."), &TfrmMain::mnuExportToFileClick);
  w.mnuExportLatex = make.Item(w.mnuOutput, "mnuExportLatex", QStringLiteral("Export LaTeX..."));
  QObject::connect(w.mnuExportLatex, &QAction::triggered, &w,
                   [&w] { w.Guard([&w] { w.ExportTo(TfrmMain::ExportFormats().back()); }); });
}

// The cost criterion of the next run: the described selection, the fewest
// products (within a time limit), or the heuristic.
void CreateAlgorithmMenu(const TMenuMaker& make) {
  TfrmMain& w = make.W;
  w.mnuAlgorithm = make.Menu(w.frmMainMenu, "mnuAlgorithm", QStringLiteral("Algorithm"));
  w.mnuCost = make.Menu(w.mnuAlgorithm, "mnuCost", QStringLiteral("Cost Criteria"));
  w.mnuPLACostCriteria =
      make.Item(w.mnuCost, "mnuPLACostCriteria", QStringLiteral("PLA Cost"), &TfrmMain::mnuPLACostCriteriaClick);
  w.mnuLowestCost =
      make.Item(w.mnuCost, "mnuLowestCost", QStringLiteral("Smallest Cost"), &TfrmMain::mnuLowestCostClick);
  w.mnuFastCost = make.Item(w.mnuCost, "mnuFastCost", QStringLiteral("Fast (heuristic)"), &TfrmMain::mnuFastCostClick);
  w.mnuFastCost->setToolTip(
      QStringLiteral("Expand, irredundant cover and reduce on the cubes: a result where the prime implicants do not "
                     "fit, quickly, but not proven minimal"));
  make.RadioGroup({w.mnuPLACostCriteria, w.mnuLowestCost, w.mnuFastCost});
  w.mnuLowestCost->setChecked(true);
  make.MakeDefault(w.mnuCost, w.mnuLowestCost);
  w.N6 = make.Separator(w.mnuAlgorithm, "N6");
  w.RemoveHazards1 = make.Item(w.mnuAlgorithm, "RemoveHazards1", QStringLiteral("Remove Hazards"));
  // Checked: the next run's covers have no static hazard for a change of
  // one input (RunParams).
  w.RemoveHazards1->setCheckable(true);
}

// The VHDL menu shows the library and use clause that VHDL files always get.
void CreateVhdlMenu(const TMenuMaker& make) {
  TfrmMain& w = make.W;
  w.VHDL1 = make.Menu(w.frmMainMenu, "VHDL1", QStringLiteral("VHDL"));
  w.mnuLibrary = make.Menu(w.VHDL1, "mnuLibrary", QStringLiteral("Library"));
  w.IEEE1 = make.Item(w.mnuLibrary, "IEEE1", QStringLiteral("IEEE"));
  make.RadioGroup({w.IEEE1});
  w.IEEE1->setChecked(true);
  make.MakeDefault(w.mnuLibrary, w.IEEE1);
  w.Use1 = make.Menu(w.VHDL1, "Use1", QStringLiteral("Use"));
  w.ieeestdlogic11641 = make.Item(w.Use1, "ieeestdlogic11641", QStringLiteral("ieee.std_logic_1164"));
  make.RadioGroup({w.ieeestdlogic11641});
  w.ieeestdlogic11641->setChecked(true);
  make.MakeDefault(w.Use1, w.ieeestdlogic11641);
  w.DelayModel1 = make.Menu(w.VHDL1, "DelayModel1", QStringLiteral("Delay Model"));
  make.Item(w.DelayModel1, "DelayModel2", QString());
  w.DelayModel1->menuAction()->setEnabled(false);
}

}  // namespace

void TfrmMain::CreateMenu() {
  frmMainMenu = new QMenuBar(this);
  frmMainMenu->setObjectName(QStringLiteral("frmMainMenu"));
  setMenuBar(frmMainMenu);

  const TMenuMaker make(*this);
  CreateFileMenu(make);
  CreateEditMenu(make);
  CreateSystemMenu(make);
  CreateOutputMenu(make);
  CreateAlgorithmMenu(make);
  CreateVhdlMenu(make);
  mnuHelp = make.Menu(frmMainMenu, "mnuHelp", QStringLiteral("&Help"));
  mnuAbout = make.Item(mnuHelp, "mnuAbout", QStringLiteral("&About..."), &TfrmMain::mnuAboutClick);
}

void TfrmMain::mnuLowestCostClick() { mnuLowestCost->setChecked(true); }

void TfrmMain::mnuPLACostCriteriaClick() { mnuPLACostCriteria->setChecked(true); }

void TfrmMain::mnuFastCostClick() { mnuFastCost->setChecked(true); }

}  // namespace tavro
