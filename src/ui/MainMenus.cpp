#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "ui/Main.h"

// The main menu tree.

namespace tavro {

void TfrmMain::CreateMenu() {
  frmMainMenu = new QMenuBar(this);
  frmMainMenu->setObjectName(QStringLiteral("frmMainMenu"));
  setMenuBar(frmMainMenu);

  auto menu = [this](QWidget* parentMenu, const char* name, const QString& caption) {
    auto* m = new QMenu(caption, parentMenu);
    m->setObjectName(QLatin1String(name));
    m->menuAction()->setObjectName(QLatin1String(name));
    if (auto* bar = qobject_cast<QMenuBar*>(parentMenu)) bar->addMenu(m);
    else static_cast<QMenu*>(parentMenu)->addMenu(m);
    return m;
  };
  auto item = [this](QMenu* m, const char* name, const QString& caption,
                     void (TfrmMain::*handler)() = nullptr) {
    QAction* a = m->addAction(caption);
    a->setObjectName(QLatin1String(name));
    if (handler)
      connect(a, &QAction::triggered, this, [this, handler] { Guard([this, handler] { (this->*handler)(); }); });
    return a;
  };
  auto separator = [](QMenu* m, const char* name) {
    QAction* a = m->addSeparator();
    a->setObjectName(QLatin1String(name));
    return a;
  };
  auto radioGroup = [this](std::initializer_list<QAction*> actions) {
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    for (QAction* a : actions) {
      a->setCheckable(true);
      group->addAction(a);
    }
  };
  auto makeDefault = [](QMenu* m, QAction* a) {
    m->setDefaultAction(a);
    QFont bold = a->font();
    bold.setBold(true);
    a->setFont(bold);
  };

  mnuFile = menu(frmMainMenu, "mnuFile", QStringLiteral("&File"));
  New1 = item(mnuFile, "New1", QStringLiteral("New"), &TfrmMain::New1Click);
  New1->setShortcut(QKeySequence::New);
  mnuOpen = item(mnuFile, "mnuOpen", QStringLiteral("&Open..."), &TfrmMain::mnuOpenClick);
  mnuOpen->setShortcut(QKeySequence::Open);
  N1 = separator(mnuFile, "N1");
  mntSave = item(mnuFile, "mntSave", QStringLiteral("Save"), &TfrmMain::mntSaveClick);
  mnuSave = item(mnuFile, "mnuSave", QStringLiteral("&Save As..."), &TfrmMain::mnuSaveClick);
  mnuSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  MenuDivider2 = separator(mnuFile, "MenuDivider2");
  mnuPageSetup = item(mnuFile, "mnuPageSetup", QStringLiteral("Page Setup.."),
                      &TfrmMain::mnuPageSetupClick);
  mnuPrint = item(mnuFile, "mnuPrint", QStringLiteral("&Print..."), &TfrmMain::mnuPrintClick);
  mnuPrint->setShortcut(QKeySequence::Print);
  mnuDivider = separator(mnuFile, "mnuDivider");
  mnuExit = item(mnuFile, "mnuExit", QStringLiteral("E&xit"), &TfrmMain::mnuExitClick);
  mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

  mnuEdit = menu(frmMainMenu, "mnuEdit", QStringLiteral("&Edit"));
  mnuCut = item(mnuEdit, "mnuCut", QStringLiteral("Cut"), &TfrmMain::mnuCutClick);
  mnuCut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
  mnuCopy = item(mnuEdit, "mnuCopy", QStringLiteral("Copy"), &TfrmMain::mnuCopyClick);
  mnuCopy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  mnuPaste = item(mnuEdit, "mnuPaste", QStringLiteral("Paste"), &TfrmMain::mnuPasteClick);
  mnuPaste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
  N5 = separator(mnuEdit, "N5");
  mnuClear = item(mnuEdit, "mnuClear", QStringLiteral("Clear Output"), &TfrmMain::mnuClearClick);

  // The System menu is shown but greyed as a whole; its items do nothing.
  erm1 = menu(frmMainMenu, "erm1", QStringLiteral("System"));
  AddFunction1 = menu(erm1, "AddFunction1", QStringLiteral("Add"));
  erms1 = item(AddFunction1, "erms1", QStringLiteral("Term(s)"));
  Function1 = item(AddFunction1, "Function1", QStringLiteral("Function"));
  Remove1 = menu(erm1, "Remove1", QStringLiteral("Remove"));
  erms2 = item(Remove1, "erms2", QStringLiteral("Term(s)"));
  Function2 = item(Remove1, "Function2", QStringLiteral("Function"));
  erm1->menuAction()->setEnabled(false);

  // The Output toggles invert their own check mark when chosen; a run reads
  // them (OutputOptions).
  mnuOutput = menu(frmMainMenu, "mnuOutput", QStringLiteral("Output"));
  mnuTerms = item(mnuOutput, "mnuTerms", QStringLiteral("Terms"));
  mnuTerms->setCheckable(true);
  N4 = separator(mnuOutput, "N4");
  mnuPIs = item(mnuOutput, "mnuPIs", QStringLiteral("Prime Implcants"));
  mnuPIs->setCheckable(true);
  mnuOptimizedFunction = item(mnuOutput, "mnuOptimizedFunction", QStringLiteral("Optimized Functions"));
  mnuOptimizedFunction->setCheckable(true);
  mnuOptimizedFunction->setChecked(true);
  N2 = separator(mnuOutput, "N2");
  mnuAlgorithmAnalysis = item(mnuOutput, "mnuAlgorithmAnalysis", QStringLiteral("Algoritm Analysis"));
  mnuAlgorithmAnalysis->setCheckable(true);
  mnuAlgorithmAnalysis->setChecked(true);
  mnuAlgorithmAnalysis->setEnabled(false);
  N3 = separator(mnuOutput, "N3");
  mnuExportToFile = item(mnuOutput, "mnuExportToFile", QStringLiteral("Export To File..."),
                         &TfrmMain::mnuExportToFileClick);

  // The cost criterion of the next run: the described selection, or the
  // fewest products (within a time limit).
  mnuAlgorithm = menu(frmMainMenu, "mnuAlgorithm", QStringLiteral("Algorithm"));
  mnuCost = menu(mnuAlgorithm, "mnuCost", QStringLiteral("Cost Criteria"));
  mnuPLACostCriteria = item(mnuCost, "mnuPLACostCriteria", QStringLiteral("PLA Cost"),
                            &TfrmMain::mnuPLACostCriteriaClick);
  mnuLowestCost = item(mnuCost, "mnuLowestCost", QStringLiteral("Smallest Cost"),
                       &TfrmMain::mnuLowestCostClick);
  radioGroup({mnuPLACostCriteria, mnuLowestCost});
  mnuLowestCost->setChecked(true);
  makeDefault(mnuCost, mnuLowestCost);
  N6 = separator(mnuAlgorithm, "N6");
  RemoveHazards1 = item(mnuAlgorithm, "RemoveHazards1", QStringLiteral("Remove Hazards"));
  RemoveHazards1->setEnabled(false);

  // The VHDL menu shows the library and use clause that VHDL files always get.
  VHDL1 = menu(frmMainMenu, "VHDL1", QStringLiteral("VHDL"));
  mnuLibrary = menu(VHDL1, "mnuLibrary", QStringLiteral("Library"));
  IEEE1 = item(mnuLibrary, "IEEE1", QStringLiteral("IEEE"));
  radioGroup({IEEE1});
  IEEE1->setChecked(true);
  makeDefault(mnuLibrary, IEEE1);
  Use1 = menu(VHDL1, "Use1", QStringLiteral("Use"));
  ieeestdlogic11641 = item(Use1, "ieeestdlogic11641", QStringLiteral("ieee.std_logic_1164"));
  radioGroup({ieeestdlogic11641});
  ieeestdlogic11641->setChecked(true);
  makeDefault(Use1, ieeestdlogic11641);
  DelayModel1 = menu(VHDL1, "DelayModel1", QStringLiteral("Delay Model"));
  item(DelayModel1, "DelayModel2", QString());
  DelayModel1->menuAction()->setEnabled(false);

  mnuHelp = menu(frmMainMenu, "mnuHelp", QStringLiteral("&Help"));
  mnuAbout = item(mnuHelp, "mnuAbout", QStringLiteral("&About..."), &TfrmMain::mnuAboutClick);
}

void TfrmMain::mnuLowestCostClick() { mnuLowestCost->setChecked(true); }

void TfrmMain::mnuPLACostCriteriaClick() { mnuPLACostCriteria->setChecked(true); }

}  // namespace tavro
