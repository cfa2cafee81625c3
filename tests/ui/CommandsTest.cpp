// The Generate buttons, the File, Edit, Output and Help commands, and the
// general error display.

#include <sys/stat.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMarginsF>
#include <QMenu>
#include <QMenuBar>
#include <QPageLayout>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "UiTestUtil.h"
#include "engine/io/SystemFile.h"
#include "engine/io/Vhdl.h"
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
  void vhdl();
  void saveAndSaveAs();
  void newAsksAboutChanges();
  void open();
  void startUpWithFileArgument();
  void widePlaListsItsRows();
  void plaSignalNames();
  void exportFormats();
  void exportToFile();
  void print();
  void menuTree();
  void editRequestsGoToTheFocusedControl();
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

  QVERIFY(RunAndWait(w, m.btnSOP));
  QCOMPARE(m.OutputText(), QStringLiteral("All Prime Implicants\r\n"
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
  for (int k = 1; k <= passes; ++k) QCOMPARE(texts.at(k), QStringLiteral("Generating %1 Cubes...").arg(k));
  QCOMPARE(texts.mid(texts.size() - 3), (QStringList{"Creating prime implicant matrix...",
                                                     "Finding (secondary) essential prime implicants...", "Done."}));
  for (const QString& text : texts) QVERIFY2(painted.Painted.contains(text), qPrintable(text));

  // A second run appends below the first.
  const QString first = m.OutputText();
  QVERIFY(RunAndWait(w, m.btnSOP));
  QCOMPARE(m.OutputText(), first + first);
}

void TestCommands::outputToggles() {
  TWindows w;
  auto& m = w.Main;
  MakeTwoFunctions(w);

  // By default only the optimized functions, as expressions.
  QVERIFY(RunAndWait(w, m.btnSOP));
  QCOMPARE(m.OutputText(), QStringLiteral("Optimized Function(s):\r\nf0 = (~A)\r\nf1 = (B)\r\n\r\n"));

  // Terms: both modes list the covered terms.
  m.mnuClear->trigger();
  m.mnuTerms->trigger();
  QVERIFY(RunAndWait(w, m.btnSOP));
  QCOMPARE(m.OutputText(), QStringLiteral("Optimized Function(s):\r\nf0 = (0, 1)\r\nf1 = (1, 3)\r\n\r\n"));
  m.mnuClear->trigger();
  QVERIFY(RunAndWait(w, m.Button2));
  QCOMPARE(m.OutputText(), QStringLiteral("Optimized Function(s):\r\nf0 = (2, 3)\r\nf1 = (0, 2)\r\n\r\n"));

  // Neither section: no text, but the result is recorded.
  m.mnuClear->trigger();
  m.mnuTerms->trigger();
  m.mnuOptimizedFunction->trigger();
  QVERIFY(!m.mnuOptimizedFunction->isChecked());
  EnterTerms(w, "1, 3");  // an edit disables VHDL until the next run
  QVERIFY(!m.btnVHDL->isEnabled());
  QVERIFY(RunAndWait(w, m.btnSOP));
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
  QVERIFY(RunAndWait(w, m.btnSOP));
  QCOMPARE(m.OutputText(), QStringLiteral("Optimized Function(s):\r\nf0 = (~B)\r\n\r\n"));
  QCOMPARE(ListLines(m.lstTerms), Lines("1 3"));
  QVERIFY(w.System().Functions[0].Maxterms);

  m.mnuClear->trigger();
  QVERIFY(RunAndWait(w, m.Button2));
  QCOMPARE(m.OutputText(), QStringLiteral("Optimized Function(s):\r\nf0 = (~B)\r\n\r\n"));
  QCOMPARE(w.System().ResultMode, tavro::modePOS);
  QVERIFY(w.System().Functions[0].Maxterms);
  QCOMPARE(ListLines(m.lstTerms), Lines("1 3"));
}

void TestCommands::emptyFunctionStopsTheRun() {
  TWindows w;
  auto& m = w.Main;
  // Without any term there is nothing to do at all.
  QSignalSpy statuses(&m, &tavro::TfrmMain::StatusChanged);
  QVERIFY(RunAndWait(w, m.btnSOP));
  QVERIFY(RunAndWait(w, m.Button2));
  QCOMPARE(statuses.count(), 0);
  QCOMPARE(m.OutputText(), QString());

  EnterTerms(w, "1");
  QVERIFY(RunAndWait(w, m.btnSOP));
  const QString output = m.OutputText();
  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  QVERIFY(RunAndWait(w, m.btnSOP));
  QCOMPARE(m.StatusText(), QStringLiteral("Function 1 contains no terms!"));
  QCOMPARE(w.Dialogs.Beeps, 1);
  QVERIFY(w.Dialogs.Errors.isEmpty());
  QCOMPARE(m.OutputText(), output);
  QVERIFY(!m.btnVHDL->isEnabled());
  // As maxterms the empty minterm function lists every row and passes.
  QVERIFY(RunAndWait(w, m.Button2));
  QCOMPARE(m.StatusText(), QStringLiteral("Done."));
  QCOMPARE(w.Dialogs.Beeps, 1);
  QCOMPARE(w.System().Functions[1].Count(), 0);
}

void TestCommands::vhdl() {
  QTemporaryDir dir;
  TWindows w;
  auto& m = w.Main;
  MakeTwoFunctions(w);
  QVERIFY(RunAndWait(w, m.btnSOP));

  w.Dialogs.SaveAnswers = {dir.filePath("design"), dir.filePath("design.VHD")};
  QTest::mouseClick(m.btnVHDL, Qt::LeftButton);
  QCOMPARE(w.Dialogs.SaveFilters, QStringList{"VHDL files (*.vhd *.VHD)"});
  const QByteArray text = ReadAll(dir.filePath("design.vhd"));
  const QByteArray header = QByteArray(70, '-') +
                            "\r\n-- Author: \r\n-- Date: " + QByteArray::fromStdString(tavro::TodayShortDate()) +
                            "\r\n";
  QVERIFY2(text.startsWith(header), text.constData());
  QVERIFY(text.contains("\r\n  port (input : in std_logic_vector(1 downto 0);\r\n"));
  QVERIFY(text.contains("output : out std_logic_vector(1 downto 0));\r\n"));
  QVERIFY(text.endsWith("end struct;"));
  // The dialog proposes a VHDL name in the folder last used; the system has
  // no name yet.
  QCOMPARE(m.SaveDialogFileName(), dir.filePath("design"));
  QTest::mouseClick(m.btnVHDL, Qt::LeftButton);
  QCOMPARE(w.Dialogs.SaveInitialNames.last(), dir.filePath("untitled.vhd"));
  QVERIFY(QFile::exists(dir.filePath("design.VHD.vhd")));
  QVERIFY(m.btnVHDL->isEnabled());

  const QString bad = dir.filePath("no-such-folder/design");
  w.Dialogs.SaveAnswers = {bad};
  QTest::mouseClick(m.btnVHDL, Qt::LeftButton);
  QCOMPARE(w.Dialogs.Errors, QStringList{"Cannot create file " + bad + ".vhd: No such file or directory."});
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
  QCOMPARE(Caption(m), "Tavro - " + adder);
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

  // Ctrl+S is Save As: it always asks, opening on the document's name.
  QApplication::setActiveWindow(&m);
  QVERIFY(QTest::qWaitForWindowActive(&m));
  w.Dialogs.SaveAnswers = {dir.filePath("other.TRM")};
  QTest::keyClick(&m, Qt::Key_S, Qt::ControlModifier);
  QCOMPARE(w.Dialogs.SaveFilters.size(), 2);
  QCOMPARE(w.Dialogs.SaveInitialNames.last(), adder + ".trm");
  QVERIFY(QFile::exists(dir.filePath("other.TRM.trm")));
  QCOMPARE(Caption(m), "Tavro - " + dir.filePath("other.TRM"));

  // A file that cannot be created changes neither the caption nor the name.
  const QString bad = dir.filePath("missing/x");
  w.Dialogs.SaveAnswers = {bad};
  EnterTerms(w, "7");
  m.mnuSave->trigger();
  QCOMPARE(w.Dialogs.Errors, QStringList{"Cannot create file " + bad + ".trm: No such file or directory."});
  QCOMPARE(Caption(m), "Tavro - " + dir.filePath("other.TRM"));
  QCOMPARE(QString::fromStdString(w.System().CurrentFileName), dir.filePath("other.TRM"));
  QVERIFY(w.System().Modified);
  QVERIFY(m.isWindowModified());

  // Replacing an existing file asks first; No writes nothing.
  const QByteArray before = ReadAll(adder + ".trm");
  w.Dialogs.SaveAnswers = {adder};
  w.Dialogs.ReplaceAnswers = {false};
  m.mnuSave->trigger();
  QCOMPARE(w.Dialogs.ReplaceQuestions, QStringList{adder + ".trm"});
  QCOMPARE(ReadAll(adder + ".trm"), before);
  QCOMPARE(Caption(m), "Tavro - " + dir.filePath("other.TRM"));
  w.Dialogs.SaveAnswers = {adder};
  m.mnuSave->trigger();
  QCOMPARE(w.Dialogs.ReplaceQuestions.size(), 2);
  QVERIFY(ReadAll(adder + ".trm") != before);
  QVERIFY(!m.isWindowModified());
}

void TestCommands::newAsksAboutChanges() {
  QTemporaryDir dir;
  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "3");
  QVERIFY(RunAndWait(w, m.btnSOP));

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
  QCOMPARE(Caption(m), "Tavro - " + dir.filePath("kept"));

  // Saved: New no longer asks and resets.
  m.New1->trigger();
  QCOMPARE(w.Dialogs.QuestionTexts.size(), 2);
  QCOMPARE(w.System().FunctionCount(), 1);
  QCOMPARE(m.lstTerms->count(), 0);
  QCOMPARE(Caption(m), QStringLiteral("Tavro"));
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

  // Exit asks as New does: Cancel keeps the window, No closes it.
  EnterTerms(w, "5");
  w.Dialogs.Answers = {IDialogs::TAnswer::Cancel, IDialogs::TAnswer::No};
  m.mnuExit->trigger();
  QVERIFY(m.isVisible());
  m.mnuExit->trigger();
  QVERIFY(!m.isVisible());
  QCOMPARE(w.Dialogs.QuestionCaptions.mid(3), (QStringList{"Save Open File", "Save Open File"}));

  // New asks even about an untouched system; Exit does not, as nothing
  // would be lost. Beside the function selector, how many there are.
  TWindows fresh;
  fresh.Main.show();
  QCOMPARE(fresh.Main.lblFunctionCount->text(), QStringLiteral("1 function"));
  QTest::mouseClick(fresh.Main.btnAddFunction, Qt::LeftButton);
  QTest::mouseClick(fresh.Main.btnAddFunction, Qt::LeftButton);
  QCOMPARE(fresh.Main.lblFunctionCount->text(), QStringLiteral("3 functions (0\u20132)"));
  QTest::mouseClick(fresh.Main.btnRemoveFunction, Qt::LeftButton);
  QTest::mouseClick(fresh.Main.btnRemoveFunction, Qt::LeftButton);
  fresh.Dialogs.Answers = {IDialogs::TAnswer::Cancel};
  fresh.Main.New1->trigger();
  QCOMPARE(fresh.Dialogs.QuestionTexts.size(), 1);
  fresh.Main.mnuExit->trigger();
  QVERIFY(!fresh.Main.isVisible());
  QCOMPARE(fresh.Dialogs.QuestionTexts.size(), 1);
}

void TestCommands::open() {
  QTemporaryDir dir;
  const QString two = dir.filePath("two.trm");
  WriteAll(two, "-2, 3 |+6");
  const QString big = dir.filePath("big.trm");
  WriteAll(big, "1, 2 | 3, 99999999999");
  {
    TWindows blank;  // unsaved, but nothing in it to lose: no question
    blank.Dialogs.OpenAnswers = {two};
    blank.Main.mnuOpen->trigger();
    QVERIFY(blank.Dialogs.QuestionTexts.isEmpty());
    QCOMPARE(blank.System().FunctionCount(), 2);
  }

  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "1");
  QVERIFY(RunAndWait(w, m.btnSOP));
  QVERIFY(w.System().Modified);

  // Unsaved work: Open asks as New does. Cancel keeps everything and shows
  // no file dialog; No opens the file.
  w.Dialogs.Answers = {IDialogs::TAnswer::Cancel};
  w.Dialogs.OpenAnswers = {two};
  m.mnuOpen->trigger();
  QCOMPARE(w.Dialogs.QuestionCaptions, QStringList{"Save Open File"});
  QVERIFY(w.Dialogs.OpenFilters.isEmpty());
  QCOMPARE(ListLines(m.lstTerms), QStringList{"1"});
  w.Dialogs.Answers = {IDialogs::TAnswer::No};
  m.mnuOpen->trigger();
  QCOMPARE(w.Dialogs.OpenFilters,
           QStringList{"Min/Max Term files (*.trm *.TRM);;Text files (*.txt *.TXT);;"
                       "PLA files (*.pla *.PLA);;CSV truth tables (*.csv *.CSV);;BLIF files (*.blif *.BLIF)"});
  QCOMPARE(w.Dialogs.QuestionTexts.size(), 2);
  QCOMPARE(w.System().FunctionCount(), 2);
  QCOMPARE(ListLines(m.lstTerms), Lines("2 3"));
  QCOMPARE(Caption(m), "Tavro - " + two);
  QCOMPARE(m.lblTotalTerms->text(), QStringLiteral("3"));
  QCOMPARE(m.lblSystemMinInputBits->text(), QStringLiteral("3"));
  QVERIFY(!w.System().Modified);
  QVERIFY(!m.btnVHDL->isEnabled());
  QVERIFY(!m.OutputText().isEmpty());  // the pane keeps its text

  // Files that cannot be read leave the system as it was; a loaded system
  // is saved, so nothing is asked. A pipe would never end: the window does
  // not read one.
  const QString missing = dir.filePath("missing.trm");
  const QString pipe = dir.filePath("pipe.trm");
  QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
  w.Dialogs.OpenAnswers = {missing, big, pipe};
  m.mnuOpen->trigger();
  m.mnuOpen->trigger();
  m.mnuOpen->trigger();
  QCOMPARE(w.Dialogs.Errors, (QStringList{"File not found.", "'99999999999' is not a valid integer value.",
                                          "pipe.trm is not a regular file."}));
  QCOMPARE(w.Dialogs.ErrorCaptions, (QStringList{"Tavro", "Tavro", "Tavro"}));
  QCOMPARE(w.Dialogs.QuestionTexts.size(), 2);
  QCOMPARE(w.System().FunctionCount(), 2);
  QCOMPARE(Caption(m), "Tavro - " + two);
  QCOMPARE(ListLines(m.lstTerms), Lines("2 3"));

  // Cancelled: nothing.
  m.mnuOpen->trigger();
  QCOMPARE(Caption(m), "Tavro - " + two);

  // A kind change is unsaved work too: Exit asks.
  m.radMaxTerms->click();
  QVERIFY(w.System().Modified);
  w.Dialogs.Answers = {IDialogs::TAnswer::Cancel};
  m.mnuExit->trigger();
  QVERIFY(m.isVisible());
  QCOMPARE(w.Dialogs.QuestionTexts.size(), 3);
}

void TestCommands::startUpWithFileArgument() {
  QTemporaryDir dir;
  const QString path = dir.filePath("start.trm");
  WriteAll(path, "-1, 7d");
  {
    TWindows w(path);
    QCOMPARE(ListLines(w.Main.lstTerms), Lines("1 7d"));
    QCOMPARE(Caption(w.Main), "Tavro - " + path);
    QVERIFY(!w.System().Modified);
  }
  {
    TWindows w(dir.filePath("nothing-here.trm"));
    QCOMPARE(w.Main.lstTerms->count(), 0);
    QCOMPARE(Caption(w.Main), QStringLiteral("Tavro"));
    QVERIFY(w.System().Modified);
    QVERIFY(w.Dialogs.Errors.isEmpty());
  }
}

void TestCommands::widePlaListsItsRows() {
  QTemporaryDir dir;
  const QString path = dir.filePath("wide.pla");
  const std::string a = std::string(38, '-') + "10", b = "1" + std::string(39, '-');
  WriteAll(path, QByteArray::fromStdString(".i 40\n.o 1\n.type fd\n" + a + " 1\n" + b + " -\n.e\n"));
  TWindows w(path);
  auto& m = w.Main;
  QCOMPARE(ListLines(m.lstTerms),
           (QStringList{QString::fromStdString(a), QString::fromStdString(b), QString::fromStdString(b) + "d"}));
  QCOMPARE(m.lblSystemMinInputBits->text(), QStringLiteral("40"));
  QCOMPARE(m.lblTotalTerms->text(), QStringLiteral("-"));
  // Its terms are not edited, and a term file cannot hold it.
  m.Button1->click();
  QCOMPARE(w.Dialogs.Errors.size(), 1);
  QVERIFY(w.Dialogs.Errors.front().contains("40 inputs"));
  w.Dialogs.SaveAnswers = {dir.filePath("wide.trm")};
  m.mnuSave->trigger();
  QCOMPARE(w.Dialogs.Errors.size(), 2);
  QVERIFY(w.Dialogs.Errors.back().contains("term file holds at most 24"));
  QVERIFY(!QFile::exists(dir.filePath("wide.trm")));
  // It runs from its rows.
  QVERIFY(RunAndWait(w, m.btnSOP));
  QCOMPARE(w.System().ResultCubes->Count(), size_t{1});
  QVERIFY(m.OutputText().contains("f0 = (MM)(~NN)"));
}

void TestCommands::exportToFile() {
  QTemporaryDir dir;
  TWindows w;
  auto& m = w.Main;
  MakeTwoFunctions(w);
  QVERIFY(RunAndWait(w, m.btnSOP));
  const QByteArray expected = "Optimized Function(s):\r\nf0 = (~A)\r\nf1 = (B)\r\n\r\n";

  w.Dialogs.SaveAnswers = {dir.filePath("result"), dir.filePath("result.TXT"), dir.filePath("result.text")};
  m.mnuExportToFile->trigger();
  QCOMPARE(w.Dialogs.SaveFilters, QStringList{"Text files (*.txt *.TXT)"});
  QCOMPARE(ReadAll(dir.filePath("result.txt")), expected);
  // The extended name is offered next time.
  QCOMPARE(m.SaveDialogFileName(), dir.filePath("result.txt"));
  m.Memo1->appendPlainText("typed by hand");
  m.mnuExportToFile->trigger();
  QCOMPARE(w.Dialogs.SaveInitialNames.at(1), dir.filePath("untitled.txt"));
  QCOMPARE(ReadAll(dir.filePath("result.TXT")), expected + "\r\ntyped by hand");
  m.mnuExportToFile->trigger();
  QVERIFY(QFile::exists(dir.filePath("result.text.txt")));

  // An empty pane gives an empty file; a file that cannot be created an error.
  m.mnuClear->trigger();
  w.Dialogs.SaveAnswers = {dir.filePath("empty.txt"), dir.filePath("none/out")};
  m.mnuExportToFile->trigger();
  QCOMPARE(ReadAll(dir.filePath("empty.txt")), QByteArray());
  m.mnuExportToFile->trigger();
  QCOMPARE(w.Dialogs.Errors,
           QStringList{"Cannot create file " + dir.filePath("none/out.txt") + ": No such file or directory."});
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
  QVERIFY(RunAndWait(w, m.btnSOP));
  const int errors = int(w.Dialogs.Errors.size());
  // A page setup with narrow margins still prints with 15 mm.
  m.Printer().setPageMargins(QMarginsF(3, 3, 3, 3), QPageLayout::Millimeter);
  m.mnuPrint->trigger();
  QCOMPARE(w.Dialogs.PrintDialogs, w.Dialogs.Errors.size() > 0 ? 2 : 1);
  QCOMPARE(w.Dialogs.Errors.size(), errors);
  QVERIFY(ReadAll(pdf).startsWith("%PDF"));
  const QMarginsF margins = m.Printer().pageLayout().margins(QPageLayout::Millimeter);
  for (const double side : {margins.left(), margins.top(), margins.right(), margins.bottom()})
    QVERIFY2(side >= 15 - 1e-6, qPrintable(QString::number(side)));
  // The page range and the copies of the print dialog; every page numbered.
  QString lines;
  for (int i = 0; i < 300; ++i) lines += QStringLiteral("line %1\n").arg(i);
  m.Memo1->setPlainText(lines);
  auto pages = [&] {
    const QByteArray pdfText = ReadAll(pdf);
    return int(pdfText.count("/Type /Page\n") + pdfText.count("/Type /Page\r") + pdfText.count("/Type /Page/") +
               pdfText.count("/Type /Page "));
  };
  m.mnuPrint->trigger();
  const int all = pages();
  QVERIFY2(all >= 3, qPrintable(QString::number(all)));
  w.Dialogs.OnPrint = [](QPrinter& printer) {
    printer.setPrintRange(QPrinter::PageRange);
    printer.setFromTo(2, 3);
    printer.setCopyCount(2);
    return true;
  };
  m.mnuPrint->trigger();
  QCOMPARE(pages(), m.Printer().supportsMultipleCopies() ? 2 : 4);

  // Cancelled in the print dialog: nothing printed.
  QFile::remove(pdf);
  w.Dialogs.OnPrint = [](QPrinter&) { return false; };
  m.mnuPrint->trigger();
  QVERIFY(!QFile::exists(pdf));
  QCOMPARE(tavro::PrintJobText(m.OutputText()), "Generated by Tavro.\r\n" + m.OutputText() + "\r\n");
}

void TestCommands::plaSignalNames() {
  QTemporaryDir dir;
  const QString path = dir.filePath("gate.pla");
  WriteAll(path, ".i 2\n.o 1\n.ilb x y\n.ob both\n11 1\n.e\n");
  TWindows w(path);
  auto& m = w.Main;
  // Off by default: the described names.
  QVERIFY(!m.mnuSignalNames->isChecked());
  QVERIFY(RunAndWait(w, m.btnSOP));
  QCOMPARE(m.OutputText(), QStringLiteral("Optimized Function(s):\r\nf0 = (A)(B)\r\n\r\n"));
  m.mnuClear->trigger();
  m.mnuSignalNames->trigger();
  QVERIFY(RunAndWait(w, m.btnSOP));
  QCOMPARE(m.OutputText(), QStringLiteral("Optimized Function(s):\r\nboth = (x)(y)\r\n\r\n"));
  // The VHDL names the port bits in its header.
  w.Dialogs.SaveAnswers = {dir.filePath("gate.vhd")};
  QTest::mouseClick(m.btnVHDL, Qt::LeftButton);
  QVERIFY(ReadAll(dir.filePath("gate.vhd")).contains("--   input(0) x\r\n--   input(1) y\r\n--   output(0) both\r\n"));
  // A term file keeps no names: the status says so, the window keeps them.
  w.Dialogs.SaveAnswers = {dir.filePath("gate.trm")};
  m.mnuSave->trigger();
  QVERIFY(QFile::exists(dir.filePath("gate.trm")));
  QVERIFY2(m.StatusText().contains("signal names"), qPrintable(m.StatusText()));
  QVERIFY(RunAndWait(w, m.btnSOP));
  QVERIFY(m.OutputText().contains("both = (x)(y)"));
}

void TestCommands::exportFormats() {
  QTemporaryDir dir;
  TWindows w;
  auto& m = w.Main;
  MakeTwoFunctions(w);
  m.mnuExport->aboutToShow();
  // Before a run only the truth table can be written.
  for (size_t k = 0; k < m.ExportItems.size(); ++k)
    QCOMPARE(m.ExportItems[k]->isEnabled(),
             tavro::TfrmMain::ExportFormats()[k].Kind == tavro::TfrmMain::TExportKind::Csv);
  QVERIFY(RunAndWait(w, m.Button2));
  QStringList names;
  for (size_t k = 0; k < m.ExportItems.size(); ++k) {
    const auto& format = tavro::TfrmMain::ExportFormats()[k];
    QVERIFY(m.ExportItems[k]->isEnabled());
    const QString name = dir.filePath(QStringLiteral("x%1").arg(k));
    w.Dialogs.SaveAnswers = {name};
    m.ExportItems[k]->trigger();
    const QString written = name + "." + format.Extension;
    QVERIFY2(QFile::exists(written), qPrintable(written));
    QCOMPARE(m.StatusText(), "Written to " + written + ".");
    names << written;
  }
  QVERIFY(w.Dialogs.Errors.isEmpty());
  // The JSON holds the result's cubes; the truth table and the BLIF read
  // back as the same functions.
  const QJsonObject json = QJsonDocument::fromJson(ReadAll(names[6])).object();
  QCOMPARE(json["mode"].toString(), QStringLiteral("pos"));
  QCOMPARE(json["cover"].toArray().size(), static_cast<qsizetype>(w.System().ResultCubes->Count()));
  QVERIFY(json["primes"].isArray());
  for (const int k : {3, 5}) {
    tavro::TFunctionSystem back;
    tavro::LoadSystemFile(back, names[k].toStdString());
    QCOMPARE(back.FunctionCount(), 2);
    for (int f = 0; f < 2; ++f)
      for (int32_t t = 0; t < 4; ++t) QCOMPARE(back.Functions[f].Contains(t), w.System().Functions[f].Contains(t));
  }
  // A CSV opens in the window as a new, unsaved system.
  w.Dialogs.Answers = {IDialogs::TAnswer::No};
  w.Dialogs.OpenAnswers = {names[5]};
  m.mnuOpen->trigger();
  QCOMPARE(w.System().FunctionCount(), 2);
  QVERIFY(w.System().Modified);
}

void TestCommands::menuTree() {
  TWindows w;
  auto& m = w.Main;
  // Each menu as its captions in order: "-" a separator, [x] checked,
  // (off) disabled, {keys} the shortcut, * the bold default item.
  auto describe = [](const QWidget* menu) {
    QStringList items;
    for (const QAction* a : menu->actions()) {
      QString item = a->isSeparator() ? QStringLiteral("-") : a->text();
      if (a->isChecked()) item += "[x]";
      if (!a->isEnabled()) item += "(off)";
      if (!a->shortcut().isEmpty()) item += "{" + a->shortcut().toString() + "}";
      if (a->font().bold()) item += "*";
      items << item;
    }
    return items.join('|');
  };
  QCOMPARE(describe(m.frmMainMenu), "&File|&Edit|System(off)|Output|Algorithm|VHDL|&Help");
  QCOMPARE(describe(m.mnuFile),
           "New{Ctrl+N}|&Open...{Ctrl+O}|-|Save|&Save As...{Ctrl+S}|Export|-|Page "
           "Setup..|&Print...{Ctrl+P}|-|E&xit{Ctrl+Q}");
  QCOMPARE(describe(m.mnuEdit), "&Undo(off){" + QKeySequence(QKeySequence::Undo).toString() + "}|&Redo(off){" +
                                    QKeySequence(QKeySequence::Redo).toString() +
                                    "}|-|Cut{Ctrl+X}|Copy{Ctrl+C}|Paste{Ctrl+V}|-|Clear Output");
  QCOMPARE(describe(m.erm1), "Add|Remove");
  QCOMPARE(describe(m.AddFunction1) + "/" + describe(m.Remove1), "Term(s)|Function/Term(s)|Function");
  QCOMPARE(describe(m.mnuOutput),
           "Terms|Signal Names|-|Prime Implcants|Optimized Functions[x]|-|Algoritm Analysis|-|"
           "Karnaugh Map...|Truth Table...|-|"
           "Export To File...|Export LaTeX...(off)");
  QCOMPARE(describe(m.mnuAlgorithm), "Cost Criteria|-|Remove Hazards");
  QCOMPARE(describe(m.mnuCost), "PLA Cost|Smallest Cost[x]*|Fast (heuristic)");
  QCOMPARE(describe(m.VHDL1), "Library|Use|Delay Model(off)");
  QCOMPARE(describe(m.mnuLibrary) + "/" + describe(m.Use1) + "/" + describe(m.DelayModel1),
           "IEEE[x]*/ieee.std_logic_1164[x]*/");
  QCOMPARE(describe(m.mnuHelp), "&About...");
  QCOMPARE(m.mnuCost->defaultAction(), m.mnuLowestCost);
  QVERIFY(m.mnuLowestCost->actionGroup()->isExclusive());
  QCOMPARE(m.mnuLowestCost->actionGroup(), m.mnuPLACostCriteria->actionGroup());
  QCOMPARE(m.mnuFastCost->actionGroup(), m.mnuPLACostCriteria->actionGroup());
  for (const QString& name :
       Lines("New1 mnuOpen N1 mntSave mnuSave MenuDivider2 mnuPageSetup mnuPrint mnuDivider "
             "mnuExit mnuCut mnuCopy mnuPaste N5 mnuClear erms1 Function1 erms2 Function2 "
             "mnuTerms mnuSignalNames N4 mnuPIs mnuOptimizedFunction N2 mnuAlgorithmAnalysis N3 "
             "mnuExportToFile mnuPLACostCriteria mnuLowestCost mnuFastCost N6 RemoveHazards1 IEEE1 "
             "ieeestdlogic11641 mnuAbout"))
    QVERIFY2(m.findChild<QAction*>(name), qPrintable(name));
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

  // The term list takes no edit requests.
  EnterTerms(w, "1");
  m.lstTerms->setFocus();
  m.mnuCut->trigger();
  m.mnuPaste->trigger();
  QCOMPARE(ListLines(m.lstTerms), QStringList{"1"});
  QCOMPARE(m.Memo1->toPlainText(), QStringLiteral("abc defabc def"));
}

void TestCommands::errorDisplayText() {
  // A period follows a last character that sorts after ".".
  const std::pair<const char*, const char*> cases[] = {{"File not found", "File not found."},
                                                       {"Error 5", "Error 5."},
                                                       {"a/", "a/."},
                                                       {"'x'", "'x'"},
                                                       {"Done.", "Done."},
                                                       {"Stop!", "Stop!"},
                                                       {"", ""}};
  for (const auto& [message, shown] : cases) QCOMPARE(tavro::ErrorDisplayText(message), QString::fromLatin1(shown));
}

void TestCommands::aboutBox() {
  TWindows w;
  int result = -1;
  w.Dialogs.OnModal = [&](QDialog& dialog) {
    auto& about = static_cast<tavro::TfrmAbout&>(dialog);
    QCOMPARE(&about, &w.About);
    QCOMPARE(Caption(about), QStringLiteral("About tavro"));
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
#include "CommandsTest.moc"
