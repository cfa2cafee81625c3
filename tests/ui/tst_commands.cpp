// The Generate buttons, the File, Edit, Output and Help commands, and the
// general error display.

#include <QAction>
#include <QActionGroup>
#include <QRadioButton>
#include <QScrollBar>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinterInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "UiTestUtil.h"
#include "engine/Vhdl.h"
#include "ui/PrintLayout.h"

using tavro::IDialogs;

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& data) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(data);
}

// f0 with minterms 0 1, f1 with minterms 1 3.
void MakeTwoFunctions(TWindows& w) {
  EnterTerms(w, "0, 1");
  QTest::mouseClick(w.Main.btnAddFunction, Qt::LeftButton);
  EnterTerms(w, "1, 3");
}

// Records the status text each time the status bar paints it.
class TPaintRecorder : public QObject {
 public:
  explicit TPaintRecorder(QLabel* label) : FLabel(label) { label->installEventFilter(this); }
  QStringList Painted;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == FLabel && event->type() == QEvent::Paint) Painted << FLabel->text();
    return false;
  }

 private:
  QLabel* FLabel;
};

}  // namespace

class TestCommands : public QObject {
  Q_OBJECT

 private slots:
  void sopRunWithBothSections();
  void outputToggles();
  void posRunAndMaxtermFunctions();
  void emptyFunctionStopsTheRun();
  void nothingToDoWithoutTerms();
  void vhdl();
  void saveAndSaveAs();
  void newAsksAboutChanges();
  void open();
  void startUpWithFileArgument();
  void exportToFile();
  void print();
  void menuTree();
  void editRequestsGoToTheFocusedControl();
  void errorDisplayText_data();
  void errorDisplayText();
  void aboutBox();
};

void TestCommands::sopRunWithBothSections() {
  TWindows w;
  auto& m = w.Main;
  QVERIFY(QTest::qWaitForWindowExposed(&m));
  MakeTwoFunctions(w);
  m.mnuPIs->trigger();
  QSignalSpy statuses(&m, &tavro::TfrmMain::StatusChanged);
  TPaintRecorder painted(m.findChild<QLabel*>("SimpleText"));

  QTest::mouseClick(m.btnSOP, Qt::LeftButton);
  QCOMPARE(m.OutputText(),
           QStringLiteral("All Prime Implicants\r\n"
                          "f0 = (~A) + (~A)(B)\r\n"
                          "f1 = (B) + (~A)(B)\r\n"
                          "\r\n"
                          "Optimized Function(s):\r\n"
                          "f0 = (~A)\r\n"
                          "f1 = (B)\r\n"
                          "\r\n"));
  QCOMPARE(m.StatusText(), QStringLiteral("Done."));
  QVERIFY(m.btnVHDL->isEnabled());
  QVERIFY(w.System().ResultReady);
  QCOMPARE(w.System().ResultMode, tavro::modeSOP);
  QCOMPARE(TermLines(w.System().Functions[1]), Lines("1 3"));

  // Every stage in order, and each one painted while the run was busy.
  QStringList texts;
  for (const auto& args : statuses) texts << args.at(0).toString();
  QVERIFY(texts.size() >= 5);
  QCOMPARE(texts.first(), QStringLiteral("Generating zero cubes..."));
  const int passes = int(texts.size()) - 4;
  for (int k = 1; k <= passes; ++k)
    QCOMPARE(texts.at(k), QStringLiteral("Generating %1 Cubes...").arg(k));
  QCOMPARE(texts.mid(texts.size() - 3),
           (QStringList{"Creating prime implicant matrix...",
                        "Finding (secondary) essential prime implicants...", "Done."}));
  for (const QString& text : texts) QVERIFY2(painted.Painted.contains(text), qPrintable(text));

  // A second run appends below the first.
  const QString first = m.OutputText();
  QTest::mouseClick(m.btnSOP, Qt::LeftButton);
  QCOMPARE(m.OutputText(), first + first);
}

void TestCommands::outputToggles() {
  TWindows w;
  auto& m = w.Main;
  MakeTwoFunctions(w);

  // By default only the optimized functions, as expressions.
  QTest::mouseClick(m.btnSOP, Qt::LeftButton);
  QCOMPARE(m.OutputText(), QStringLiteral("Optimized Function(s):\r\nf0 = (~A)\r\nf1 = (B)\r\n\r\n"));

  // Terms: both modes list the covered terms.
  m.mnuClear->trigger();
  m.mnuTerms->trigger();
  QTest::mouseClick(m.btnSOP, Qt::LeftButton);
  QCOMPARE(m.OutputText(),
           QStringLiteral("Optimized Function(s):\r\nf0 = (0, 1)\r\nf1 = (1, 3)\r\n\r\n"));
  m.mnuClear->trigger();
  QTest::mouseClick(m.Button2, Qt::LeftButton);
  QCOMPARE(m.OutputText(),
           QStringLiteral("Optimized Function(s):\r\nf0 = (2, 3)\r\nf1 = (0, 2)\r\n\r\n"));

  // Neither section: no text, but the result is recorded.
  m.mnuClear->trigger();
  m.mnuTerms->trigger();
  m.mnuOptimizedFunction->trigger();
  QVERIFY(!m.mnuOptimizedFunction->isChecked());
  EnterTerms(w, "1, 3");  // an edit disables VHDL until the next run
  QVERIFY(!m.btnVHDL->isEnabled());
  QTest::mouseClick(m.btnSOP, Qt::LeftButton);
  QCOMPARE(m.OutputText(), QString());
  QVERIFY(m.btnVHDL->isEnabled());
  QCOMPARE(m.StatusText(), QStringLiteral("Done."));

  // Choosing a toggle twice leaves it as it was.
  m.mnuPIs->trigger();
  m.mnuPIs->trigger();
  QVERIFY(!m.mnuPIs->isChecked());
}

void TestCommands::posRunAndMaxtermFunctions() {
  TWindows w;
  auto& m = w.Main;
  // f0 holds the maxterms 1 and 3: as minterms that is {0, 2}.
  QTest::mouseClick(m.radMaxTerms, Qt::LeftButton);
  EnterTerms(w, "1, 3");
  QTest::mouseClick(m.btnSOP, Qt::LeftButton);
  QCOMPARE(m.OutputText(), QStringLiteral("Optimized Function(s):\r\nf0 = (~B)\r\n\r\n"));
  QCOMPARE(ListLines(m.lstTerms), Lines("1 3"));
  QVERIFY(w.System().Functions[0].Maxterms);

  m.mnuClear->trigger();
  QTest::mouseClick(m.Button2, Qt::LeftButton);
  QCOMPARE(m.OutputText(), QStringLiteral("Optimized Function(s):\r\nf0 = (~B)\r\n\r\n"));
  QCOMPARE(w.System().ResultMode, tavro::modePOS);
  QVERIFY(w.System().Functions[0].Maxterms);
  QCOMPARE(ListLines(m.lstTerms), Lines("1 3"));
}

void TestCommands::emptyFunctionStopsTheRun() {
  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "1");
  QTest::mouseClick(m.btnSOP, Qt::LeftButton);
  const QString output = m.OutputText();
  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  QTest::mouseClick(m.btnSOP, Qt::LeftButton);
  QCOMPARE(m.StatusText(), QStringLiteral("Function 1 contains no terms!"));
  QCOMPARE(w.Dialogs.Beeps, 1);
  QVERIFY(w.Dialogs.Errors.isEmpty());
  QCOMPARE(m.OutputText(), output);
  QVERIFY(!m.btnVHDL->isEnabled());
  // As maxterms the empty minterm function lists every row and passes.
  QTest::mouseClick(m.Button2, Qt::LeftButton);
  QCOMPARE(m.StatusText(), QStringLiteral("Done."));
  QCOMPARE(w.Dialogs.Beeps, 1);
  QCOMPARE(w.System().Functions[1].Count(), 0);
}

void TestCommands::nothingToDoWithoutTerms() {
  TWindows w;
  auto& m = w.Main;
  QSignalSpy statuses(&m, &tavro::TfrmMain::StatusChanged);
  QTest::mouseClick(m.btnSOP, Qt::LeftButton);
  QTest::mouseClick(m.Button2, Qt::LeftButton);
  QCOMPARE(statuses.count(), 0);
  QCOMPARE(w.Dialogs.Beeps, 0);
  QCOMPARE(m.OutputText(), QString());
  QVERIFY(!m.btnVHDL->isEnabled());
}

void TestCommands::vhdl() {
  QTemporaryDir dir;
  TWindows w;
  auto& m = w.Main;
  MakeTwoFunctions(w);
  QTest::mouseClick(m.btnSOP, Qt::LeftButton);

  w.Dialogs.SaveAnswers = {dir.filePath("design"), dir.filePath("design.VHD")};
  QTest::mouseClick(m.btnVHDL, Qt::LeftButton);
  QCOMPARE(w.Dialogs.SaveFilters, QStringList{"VHDL files (*.vhd *.VHD)"});
  const QByteArray text = ReadAll(dir.filePath("design.vhd"));
  const QByteArray header = QByteArray(70, '-') + "\r\n-- Author: \r\n-- Date: " +
                            QByteArray::fromStdString(tavro::TodayShortDate()) + "\r\n";
  QVERIFY2(text.startsWith(header), text.constData());
  QVERIFY(text.contains("\r\n  port (input : in std_logic_vector(1 downto 0);\r\n"));
  QVERIFY(text.contains("output : out std_logic_vector(1 downto 0));\r\n"));
  QVERIFY(text.endsWith("end struct;"));
  // The dialog keeps the name as chosen, without the added extension.
  QCOMPARE(m.SaveDialogFileName(), dir.filePath("design"));
  QTest::mouseClick(m.btnVHDL, Qt::LeftButton);
  QCOMPARE(w.Dialogs.SaveInitialNames.last(), dir.filePath("design"));
  QVERIFY(QFile::exists(dir.filePath("design.VHD.vhd")));
  QVERIFY(m.btnVHDL->isEnabled());

  const QString bad = dir.filePath("no-such-folder/design");
  w.Dialogs.SaveAnswers = {bad};
  QTest::mouseClick(m.btnVHDL, Qt::LeftButton);
  QCOMPARE(w.Dialogs.Errors, QStringList{"Cannot create file " + bad + ".vhd."});
}

void TestCommands::saveAndSaveAs() {
  QTemporaryDir dir;
  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "0, 1, 5");

  // Save without a name asks for one; the extension is added to the file only.
  const QString adder = dir.filePath("adder");
  w.Dialogs.SaveAnswers = {adder};
  m.mntSave->trigger();
  QCOMPARE(w.Dialogs.SaveFilters, QStringList{"Min/Max Term files (*.trm *.TRM)"});
  QCOMPARE(ReadAll(adder + ".trm"), QByteArray("-0, 1, 5"));
  QCOMPARE(m.windowTitle(), "Tavro - " + adder);
  QVERIFY(!w.System().Modified);

  // Save with a name writes the same file again without asking.
  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  QTest::mouseClick(m.radMaxTerms, Qt::LeftButton);
  EnterTerms(w, "6");
  QVERIFY(w.System().Modified);
  m.mntSave->trigger();
  QCOMPARE(w.Dialogs.SaveFilters.size(), 1);
  QCOMPARE(ReadAll(adder + ".trm"), QByteArray("-0, 1, 5 |+6"));
  QVERIFY(!w.System().Modified);

  // Ctrl+S is Save As: it always asks, opening on the last name.
  QApplication::setActiveWindow(&m);
  QVERIFY(QTest::qWaitForWindowActive(&m));
  w.Dialogs.SaveAnswers = {dir.filePath("other.TRM")};
  QTest::keyClick(&m, Qt::Key_S, Qt::ControlModifier);
  QCOMPARE(w.Dialogs.SaveFilters.size(), 2);
  QCOMPARE(w.Dialogs.SaveInitialNames.last(), adder);
  QVERIFY(QFile::exists(dir.filePath("other.TRM.trm")));
  QCOMPARE(m.windowTitle(), "Tavro - " + dir.filePath("other.TRM"));

  // Cancelled: nothing changes.
  m.mnuSave->trigger();
  QCOMPARE(m.windowTitle(), "Tavro - " + dir.filePath("other.TRM"));

  // A file that cannot be created: the caption already shows the name.
  const QString bad = dir.filePath("missing/x");
  w.Dialogs.SaveAnswers = {bad};
  EnterTerms(w, "7");
  m.mnuSave->trigger();
  QCOMPARE(w.Dialogs.Errors, QStringList{"Cannot create file " + bad + ".trm."});
  QCOMPARE(m.windowTitle(), "Tavro - " + bad);
  QVERIFY(w.System().Modified);
}

void TestCommands::newAsksAboutChanges() {
  QTemporaryDir dir;
  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "3");
  QTest::mouseClick(m.btnSOP, Qt::LeftButton);

  // Cancel: nothing.
  w.Dialogs.Answers = {IDialogs::TAnswer::Cancel};
  m.New1->trigger();
  QCOMPARE(w.Dialogs.QuestionCaptions, QStringList{"Save Open File"});
  QCOMPARE(w.Dialogs.QuestionTexts, QStringList{"The current file is not saved. Save it now?"});
  QCOMPARE(ListLines(m.lstTerms), QStringList{"3"});
  QVERIFY(!m.OutputText().isEmpty());

  // Yes: Save As, always with the dialog; the system stays.
  w.System().CurrentFileName = dir.filePath("old").toStdString();
  w.Dialogs.Answers = {IDialogs::TAnswer::Yes};
  w.Dialogs.SaveAnswers = {dir.filePath("kept")};
  m.New1->trigger();
  QCOMPARE(w.Dialogs.SaveFilters.size(), 1);
  QCOMPARE(ReadAll(dir.filePath("kept.trm")), QByteArray("-3"));
  QCOMPARE(ListLines(m.lstTerms), QStringList{"3"});
  QCOMPARE(m.windowTitle(), "Tavro - " + dir.filePath("kept"));

  // Saved: New no longer asks and resets.
  m.New1->trigger();
  QCOMPARE(w.Dialogs.QuestionTexts.size(), 2);
  QCOMPARE(w.System().FunctionCount(), 1);
  QCOMPARE(m.lstTerms->count(), 0);
  QCOMPARE(m.windowTitle(), QStringLiteral("Tavro"));
  QCOMPARE(m.OutputText(), QString());
  QVERIFY(!m.btnVHDL->isEnabled());

  // After an edit it asks again; No resets at once, also from another function.
  EnterTerms(w, "4");
  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  w.Dialogs.Answers = {IDialogs::TAnswer::No};
  m.New1->trigger();
  QCOMPARE(w.Dialogs.QuestionTexts.size(), 3);
  QCOMPARE(w.System().FunctionCount(), 1);
  QCOMPARE(m.scrFunctions->value(), 0);
  QCOMPARE(m.lblTermsTitle->text(), QStringLiteral("Function 0 Terms"));
  QCOMPARE(m.lstTerms->count(), 0);
  QVERIFY(!w.System().Modified);
  QVERIFY(w.System().CurrentFileName.empty());
}

void TestCommands::open() {
  QTemporaryDir dir;
  const QString two = dir.filePath("two.trm");
  WriteAll(two, "-2, 3 |+6");
  const QString big = dir.filePath("big.trm");
  WriteAll(big, "1, 2 | 3, 99999999999");

  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "1");
  QTest::mouseClick(m.btnSOP, Qt::LeftButton);
  QVERIFY(w.System().Modified);

  // Open replaces the system without asking.
  w.Dialogs.OpenAnswers = {two};
  m.mnuOpen->trigger();
  QCOMPARE(w.Dialogs.OpenFilters,
           QStringList{"Min/Max Term files (*.trm *.TRM);;Text files (*.txt *.TXT);;"
                       "PLA files (*.pla *.PLA)"});
  QVERIFY(w.Dialogs.QuestionTexts.isEmpty());
  QCOMPARE(w.System().FunctionCount(), 2);
  QCOMPARE(ListLines(m.lstTerms), Lines("2 3"));
  QCOMPARE(m.windowTitle(), "Tavro - " + two);
  QCOMPARE(m.lblTotalTerms->text(), QStringLiteral("3"));
  QCOMPARE(m.lblSystemMinInputBits->text(), QStringLiteral("3"));
  QVERIFY(!w.System().Modified);
  QVERIFY(!m.btnVHDL->isEnabled());
  QVERIFY(!m.OutputText().isEmpty());  // the pane keeps its text

  // Files that cannot be read leave the system as it was.
  const QString missing = dir.filePath("missing.trm");
  w.Dialogs.OpenAnswers = {missing, big};
  m.mnuOpen->trigger();
  m.mnuOpen->trigger();
  QCOMPARE(w.Dialogs.Errors,
           (QStringList{"File not found.", "'99999999999' is not a valid integer value."}));
  QCOMPARE(w.Dialogs.ErrorCaptions, (QStringList{"Tavro", "Tavro"}));
  QCOMPARE(w.System().FunctionCount(), 2);
  QCOMPARE(m.windowTitle(), "Tavro - " + two);
  QCOMPARE(ListLines(m.lstTerms), Lines("2 3"));

  // Cancelled: nothing.
  m.mnuOpen->trigger();
  QCOMPARE(m.windowTitle(), "Tavro - " + two);
}

void TestCommands::startUpWithFileArgument() {
  QTemporaryDir dir;
  const QString path = dir.filePath("start.trm");
  WriteAll(path, "-1, 7d");
  {
    TWindows w(path);
    QCOMPARE(ListLines(w.Main.lstTerms), Lines("1 7d"));
    QCOMPARE(w.Main.windowTitle(), "Tavro - " + path);
    QVERIFY(!w.System().Modified);
  }
  {
    TWindows w(dir.filePath("nothing-here.trm"));
    QCOMPARE(w.Main.lstTerms->count(), 0);
    QCOMPARE(w.Main.windowTitle(), QStringLiteral("Tavro"));
    QVERIFY(w.System().Modified);
    QVERIFY(w.Dialogs.Errors.isEmpty());
  }
}

void TestCommands::exportToFile() {
  QTemporaryDir dir;
  TWindows w;
  auto& m = w.Main;
  MakeTwoFunctions(w);
  QTest::mouseClick(m.btnSOP, Qt::LeftButton);
  const QByteArray expected = "Optimized Function(s):\r\nf0 = (~A)\r\nf1 = (B)\r\n\r\n";

  w.Dialogs.SaveAnswers = {dir.filePath("result"), dir.filePath("result.TXT"),
                           dir.filePath("result.text")};
  m.mnuExportToFile->trigger();
  QCOMPARE(w.Dialogs.SaveFilters, QStringList{"Text files (*.txt *.TXT)"});
  QCOMPARE(ReadAll(dir.filePath("result.txt")), expected);
  // The extended name is offered next time.
  QCOMPARE(m.SaveDialogFileName(), dir.filePath("result.txt"));
  m.Memo1->appendPlainText("typed by hand");
  m.mnuExportToFile->trigger();
  QCOMPARE(w.Dialogs.SaveInitialNames.at(1), dir.filePath("result.txt"));
  QCOMPARE(ReadAll(dir.filePath("result.TXT")), expected + "\r\ntyped by hand");
  m.mnuExportToFile->trigger();
  QVERIFY(QFile::exists(dir.filePath("result.text.txt")));

  // An empty pane gives an empty file; a file that cannot be created an error.
  m.mnuClear->trigger();
  w.Dialogs.SaveAnswers = {dir.filePath("empty.txt"), dir.filePath("none/out")};
  m.mnuExportToFile->trigger();
  QCOMPARE(ReadAll(dir.filePath("empty.txt")), QByteArray());
  m.mnuExportToFile->trigger();
  QCOMPARE(w.Dialogs.Errors, QStringList{"Cannot create file " + dir.filePath("none/out.txt") + "."});
  QCOMPARE(m.SaveDialogFileName(), dir.filePath("none/out.txt"));
}

void TestCommands::print() {
  QTemporaryDir dir;
  TWindows w;
  auto& m = w.Main;
  if (QPrinterInfo::availablePrinters().isEmpty()) {
    QVERIFY(!tavro::PrinterAvailable(m.Printer()));
    // No printer at all: the general error display says so.
    m.mnuPrint->trigger();
    QCOMPARE(w.Dialogs.Errors, QStringList{"There is no default printer currently selected."});
  }

  // Page Setup chooses a PDF file, which later print jobs use.
  const QString pdf = dir.filePath("out.pdf");
  w.Dialogs.OnPrinterSetup = [&](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
  };
  m.mnuPageSetup->trigger();
  QCOMPARE(w.Dialogs.PrinterSetups, 1);
  EnterTerms(w, "1, 2");
  QTest::mouseClick(m.btnSOP, Qt::LeftButton);
  const int errors = int(w.Dialogs.Errors.size());
  m.mnuPrint->trigger();
  QCOMPARE(w.Dialogs.Errors.size(), errors);
  QVERIFY(ReadAll(pdf).startsWith("%PDF"));
  QCOMPARE(tavro::PrintJobText(m.OutputText()),
           "Generated by Tavro.\r\n" + m.OutputText() + "\r\n");
}

void TestCommands::menuTree() {
  TWindows w;
  auto& m = w.Main;
  auto names = [](const QList<QAction*>& actions) {
    QStringList list;
    for (QAction* a : actions) list << a->objectName();
    return list;
  };
  QCOMPARE(names(m.frmMainMenu->actions()),
           Lines("mnuFile mnuEdit erm1 mnuOutput mnuAlgorithm VHDL1 mnuHelp"));
  QCOMPARE(names(m.mnuFile->actions()),
           Lines("New1 mnuOpen N1 mntSave mnuSave MenuDivider2 mnuPageSetup mnuPrint mnuDivider mnuExit"));
  QCOMPARE(names(m.mnuEdit->actions()), Lines("mnuCut mnuCopy mnuPaste N5 mnuClear"));
  QCOMPARE(names(m.erm1->actions()), Lines("AddFunction1 Remove1"));
  QCOMPARE(names(m.mnuOutput->actions()),
           Lines("mnuTerms N4 mnuPIs mnuOptimizedFunction N2 mnuAlgorithmAnalysis N3 mnuExportToFile"));
  QCOMPARE(names(m.mnuAlgorithm->actions()), Lines("mnuCost N6 RemoveHazards1"));
  QCOMPARE(names(m.mnuCost->actions()), Lines("mnuPLACostCriteria mnuLowestCost"));
  QCOMPARE(names(m.VHDL1->actions()), Lines("mnuLibrary Use1 DelayModel1"));

  struct Item {
    const char* name;
    const char* caption;
    const char* shortcut;
    bool checked, enabled;
  };
  const Item items[] = {
      {"mnuFile", "&File", "", false, true},
      {"New1", "New", "", false, true},
      {"mnuOpen", "&Open...", "", false, true},
      {"mntSave", "Save", "", false, true},
      {"mnuSave", "&Save As...", "Ctrl+S", false, true},
      {"mnuPageSetup", "Page Setup..", "", false, true},
      {"mnuPrint", "&Print...", "", false, true},
      {"mnuExit", "E&xit", "", false, true},
      {"mnuEdit", "&Edit", "", false, true},
      {"mnuCut", "Cut", "Ctrl+X", false, true},
      {"mnuCopy", "Copy", "Ctrl+C", false, true},
      {"mnuPaste", "Paste", "Ctrl+V", false, true},
      {"mnuClear", "Clear Output", "", false, true},
      {"erm1", "System", "", false, false},
      {"erms1", "Term(s)", "", false, true},
      {"Function2", "Function", "", false, true},
      {"mnuOutput", "Output", "", false, true},
      {"mnuTerms", "Terms", "", false, true},
      {"mnuPIs", "Prime Implcants", "", false, true},
      {"mnuOptimizedFunction", "Optimized Functions", "", true, true},
      {"mnuAlgorithmAnalysis", "Algoritm Analysis", "", true, false},
      {"mnuExportToFile", "Export To File...", "", false, true},
      {"mnuAlgorithm", "Algorithm", "", false, true},
      {"mnuCost", "Cost Criteria", "", false, true},
      {"mnuPLACostCriteria", "PLA Cost", "", false, false},
      {"mnuLowestCost", "Smallest Cost", "", true, true},
      {"RemoveHazards1", "Remove Hazards", "", false, false},
      {"VHDL1", "VHDL", "", false, true},
      {"mnuLibrary", "Library", "", false, true},
      {"IEEE1", "IEEE", "", true, true},
      {"Use1", "Use", "", false, true},
      {"ieeestdlogic11641", "ieee.std_logic_1164", "", true, true},
      {"DelayModel1", "Delay Model", "", false, false},
      {"mnuHelp", "&Help", "", false, true},
      {"mnuAbout", "&About...", "", false, true},
  };
  for (const Item& item : items) {
    auto* action = m.findChild<QAction*>(item.name);
    QVERIFY2(action, item.name);
    QCOMPARE(action->text(), QString::fromUtf8(item.caption));
    QCOMPARE(action->shortcut(), QKeySequence(QString::fromLatin1(item.shortcut)));
    QCOMPARE(action->isChecked(), item.checked);
    QCOMPARE(action->isEnabled(), item.enabled);
  }
  QVERIFY(m.mntSave->shortcut().isEmpty());
  QCOMPARE(m.DelayModel1->actions().size(), 1);
  QCOMPARE(m.DelayModel1->actions().first()->text(), QString());

  // Radio items with bold default items.
  QCOMPARE(m.mnuCost->defaultAction(), m.mnuLowestCost);
  QVERIFY(m.mnuLowestCost->font().bold());
  QVERIFY(m.mnuLowestCost->actionGroup() && m.mnuLowestCost->actionGroup()->isExclusive());
  QCOMPARE(m.mnuLowestCost->actionGroup(), m.mnuPLACostCriteria->actionGroup());
  QCOMPARE(m.mnuLibrary->defaultAction(), m.IEEE1);
  QCOMPARE(m.Use1->defaultAction(), m.ieeestdlogic11641);
  m.mnuLowestCost->trigger();
  QVERIFY(m.mnuLowestCost->isChecked());

  // The toolbar-less window's hints.
  QCOMPARE(m.btnSOP->toolTip(), QStringLiteral("Creates sum of products equations."));
  QCOMPARE(m.Button2->toolTip(), QStringLiteral("Creates prodcuts of sums equations."));
}

void TestCommands::editRequestsGoToTheFocusedControl() {
  TWindows w;
  auto& m = w.Main;
  QApplication::clipboard()->setText("before");
  m.Memo1->setPlainText("abc def");
  m.Memo1->setFocus();
  m.Memo1->selectAll();
  m.mnuCopy->trigger();
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("abc def"));
  m.mnuClear->trigger();
  QCOMPARE(m.Memo1->toPlainText(), QString());
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("abc def"));
  m.mnuPaste->trigger();
  m.mnuPaste->trigger();
  QCOMPARE(m.Memo1->toPlainText(), QStringLiteral("abc defabc def"));
  m.Memo1->selectAll();
  m.mnuCut->trigger();
  QCOMPARE(m.Memo1->toPlainText(), QString());
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("abc defabc def"));

  // The term list takes no edit requests.
  EnterTerms(w, "1");
  m.lstTerms->setFocus();
  QApplication::clipboard()->setText("x");
  m.mnuCut->trigger();
  m.mnuPaste->trigger();
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("x"));
  QCOMPARE(ListLines(m.lstTerms), QStringList{"1"});
  QCOMPARE(m.Memo1->toPlainText(), QString());
}

void TestCommands::errorDisplayText_data() {
  QTest::addColumn<QString>("message");
  QTest::addColumn<QString>("shown");
  QTest::newRow("letter") << "File not found" << "File not found.";
  QTest::newRow("digit") << "Error 5" << "Error 5.";
  QTest::newRow("apostrophe") << "'x'" << "'x'";
  QTest::newRow("period") << "Done." << "Done.";
  QTest::newRow("exclamation") << "Stop!" << "Stop!";
  QTest::newRow("slash") << "a/" << "a/.";
  QTest::newRow("empty") << "" << "";
}

void TestCommands::errorDisplayText() {
  QFETCH(QString, message);
  QFETCH(QString, shown);
  QCOMPARE(tavro::ErrorDisplayText(message), shown);
}

void TestCommands::aboutBox() {
  TWindows w;
  int result = -1;
  w.Dialogs.OnModal = [&](QDialog& dialog) {
    auto& about = static_cast<tavro::TfrmAbout&>(dialog);
    QCOMPARE(&about, &w.About);
    QCOMPARE(about.windowTitle(), QStringLiteral("About tavro"));
    QCOMPARE(about.size(), QSize(371, 326));
    QVERIFY(!about.Image1->pixmap().isNull());
    QCOMPARE(about.Label3->text(), QStringLiteral("Tavro"));
    QCOMPARE(about.lblVersion->text(), QStringLiteral("See executable for version infomation."));
    QVERIFY(about.OKButton->isDefault());
    QTest::mouseClick(about.OKButton, Qt::LeftButton);
    result = about.result();
  };
  w.Main.mnuAbout->trigger();
  QCOMPARE(w.Dialogs.Modals.size(), 1);
  QCOMPARE(result, int(QDialog::Accepted));
  QVERIFY(!w.About.isVisible());
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
