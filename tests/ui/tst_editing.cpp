// The function editor of the main window and the term entry dialog.

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "UiTestUtil.h"

using tavro::IDialogs;

class TestEditing : public QObject {
  Q_OBJECT

 private slots:
  void freshWindow();
  void termsAndWidths();
  void termEntryDialog();
  void termEntryTooLargeNumber();
  void termEntryCancelAndDoubleClick();
  void removeTerm();
  void addFunction();
  void removeMiddleFunction();
  void removeLastFunction();
  void removeOnlyFunction();
  void kindChangeLocked();
  void kindChangeUnlocked();
  void kindChangeUnlockedSpansSystemWidth();
  void forcedLockAdoptsKindOfEmptyFunction();
  void silentRefreshRunsNoHandler();
};

void TestEditing::freshWindow() {
  TWindows w;
  auto& m = w.Main;
  QCOMPARE(m.lblTermsTitle->text(), QStringLiteral("Function 0 Terms"));
  QCOMPARE(m.lstTerms->count(), 0);
  QCOMPARE(m.lblNumberOfTerms->text(), QStringLiteral("0"));
  QCOMPARE(m.lblNumberOfInputBits->text(), QStringLiteral("0"));
  QCOMPARE(m.lblTotalTerms->text(), QStringLiteral("0"));
  QCOMPARE(m.lblSystemMinInputBits->text(), QStringLiteral("0"));
  QCOMPARE(m.GroupBox6->title(), QStringLiteral("Function 0 Properties"));
  QVERIFY(m.radMinTerms->isChecked());
  QVERIFY(m.chkLock->isChecked());
  QVERIFY(!m.btnVHDL->isEnabled());
  QCOMPARE(m.windowTitle(), QStringLiteral("Tavro"));
  QCOMPARE(m.Memo1->toPlainText(), QString());
  QCOMPARE(w.System().FunctionCount(), 1);
  QVERIFY(w.System().Modified);
  QVERIFY(!w.System().ResultReady);
  QCOMPARE(m.focusWidget(), static_cast<QWidget*>(m.lstTerms));
}

void TestEditing::termsAndWidths() {
  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "1, 3, 6d");
  QCOMPARE(ListLines(m.lstTerms), Lines("1 3 6d"));
  QCOMPARE(m.lblNumberOfTerms->text(), QStringLiteral("3"));
  QCOMPARE(m.lblNumberOfInputBits->text(), QStringLiteral("3"));

  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  EnterTerms(w, "0");
  QCOMPARE(m.lblTermsTitle->text(), QStringLiteral("Function 1 Terms"));
  QCOMPARE(m.lblNumberOfInputBits->text(), QStringLiteral("1"));  // term 0 is one bit wide
  QCOMPARE(m.lblNumberOfTerms->text(), QStringLiteral("1"));
  QCOMPARE(m.lblTotalTerms->text(), QStringLiteral("4"));
  QCOMPARE(m.lblSystemMinInputBits->text(), QStringLiteral("3"));
  QCOMPARE(w.System().InputBits, 3);

  EnterTerms(w, "8");
  QCOMPARE(w.System().InputBits, 4);
  QCOMPARE(m.lblSystemMinInputBits->text(), QStringLiteral("4"));
}

void TestEditing::termEntryDialog() {
  TWindows w;
  auto& m = w.Main;
  auto& d = w.AddTerms;
  EnterTerms(w, "1, 3, 6d");
  w.System().Modified = false;

  // Reopening shows the list joined by ", "; OK without edits keeps the function.
  QTest::mouseClick(m.Button1, Qt::LeftButton);
  QVERIFY(d.isVisible());
  QCOMPARE(d.windowTitle(), QStringLiteral("Add Terms to Function"));
  QCOMPARE(d.memoNewTerms->toPlainText(), QStringLiteral("1, 3, 6d"));
  const tavro::TTermVector before = w.System().Functions[0];
  QTest::mouseClick(d.Button1, Qt::LeftButton);
  QVERIFY(!d.isVisible());
  QCOMPARE(d.result(), int(QDialog::Accepted));
  QVERIFY(w.System().Functions[0] == before);
  QVERIFY(w.System().Modified);

  // Only commas separate; a line break is ignored like a blank; d marks its item.
  EnterTerms(w, "4\n7, 1 2, d5");
  QCOMPARE(ListLines(m.lstTerms), Lines("5d 12 47"));

  // Escape and Enter do not close the dialog; Enter starts a new line.
  QTest::mouseClick(m.Button1, Qt::LeftButton);
  QTest::keyClick(d.memoNewTerms, Qt::Key_Escape);
  QVERIFY(d.isVisible());
  QTest::keyClick(d.memoNewTerms, Qt::Key_End, Qt::ControlModifier);
  QTest::keyClick(d.memoNewTerms, Qt::Key_Return);
  QVERIFY(d.isVisible());
  QVERIFY(d.memoNewTerms->toPlainText().endsWith('\n'));
  QTest::mouseClick(d.btnCancel, Qt::LeftButton);
  QVERIFY(!d.isVisible());

  // With Maxterms on, OK stores maxterms even for a minterm function.
  QVERIFY(!w.System().Functions[0].Maxterms);
  w.Dialogs.OnModal = [](QDialog&) {};
  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  QTest::mouseClick(m.radMaxTerms, Qt::LeftButton);  // empty function: only the button shows it
  QVERIFY(!w.System().Functions[1].Maxterms);
  EnterTerms(w, "2, 3");
  QVERIFY(w.System().Functions[1].Maxterms);
  QVERIFY(m.radMaxTerms->isChecked());
}

void TestEditing::termEntryTooLargeNumber() {
  TWindows w;
  auto& m = w.Main;
  auto& d = w.AddTerms;
  EnterTerms(w, "4, 5");
  w.System().Modified = false;
  w.System().ResultReady = true;
  m.RefreshWindow();

  // A number too large for a term is an error that changes nothing, and the
  // dialog stays open with the text as typed.
  QTest::mouseClick(m.Button1, Qt::LeftButton);
  w.System().Modified = false;  // the Add button set it
  d.memoNewTerms->setPlainText("1, 2147483648");
  QTest::mouseClick(d.Button1, Qt::LeftButton);
  QCOMPARE(w.Dialogs.Errors, QStringList{"'2147483648' is not a valid integer value."});
  QCOMPARE(w.Dialogs.ErrorCaptions, QStringList{"Tavro"});
  QVERIFY(d.isVisible());
  QCOMPARE(d.memoNewTerms->toPlainText(), QStringLiteral("1, 2147483648"));
  QCOMPARE(TermLines(w.System().Functions[0]), Lines("4 5"));
  QCOMPARE(ListLines(m.lstTerms), Lines("4 5"));
  QVERIFY(!w.System().Modified);
  QVERIFY(w.System().ResultReady);
  QVERIFY(m.btnVHDL->isEnabled());

  // The same inside the text; 2147483647 is still a term.
  d.memoNewTerms->setPlainText("99999999999, 1");
  QTest::mouseClick(d.Button1, Qt::LeftButton);
  QCOMPARE(w.Dialogs.Errors.size(), 2);
  QCOMPARE(w.Dialogs.Errors.last(), QStringLiteral("'99999999999' is not a valid integer value."));
  QVERIFY(d.isVisible());
  QCOMPARE(ListLines(m.lstTerms), Lines("4 5"));

  // A corrected text is parsed from scratch.
  d.memoNewTerms->setPlainText("2147483647, 1");
  QTest::mouseClick(d.Button1, Qt::LeftButton);
  QVERIFY(!d.isVisible());
  QCOMPARE(ListLines(m.lstTerms), Lines("1 2147483647"));
  QVERIFY(w.System().Modified);
  QVERIFY(!w.System().ResultReady);
  QVERIFY(!m.btnVHDL->isEnabled());
  QCOMPARE(m.lblNumberOfInputBits->text(), QStringLiteral("31"));
  QCOMPARE(w.Dialogs.Errors.size(), 2);
}

void TestEditing::termEntryCancelAndDoubleClick() {
  TWindows w;
  auto& m = w.Main;
  auto& d = w.AddTerms;
  EnterTerms(w, "3");
  w.System().Modified = false;
  w.System().ResultReady = true;

  // The Add button marks the system modified even when the dialog is cancelled.
  QTest::mouseClick(m.Button1, Qt::LeftButton);
  d.memoNewTerms->setPlainText("7, 8");
  QTest::mouseClick(d.btnCancel, Qt::LeftButton);
  QCOMPARE(d.result(), int(QDialog::Rejected));
  QCOMPARE(ListLines(m.lstTerms), QStringList{"3"});
  QVERIFY(w.System().Modified);
  QVERIFY(w.System().ResultReady);

  // A double click on the list opens the same dialog and leaves Modified alone.
  w.System().Modified = false;
  QTest::mouseDClick(m.lstTerms->viewport(), Qt::LeftButton, {}, QPoint(40, 150));
  QVERIFY(d.isVisible());
  QCOMPARE(d.memoNewTerms->toPlainText(), QStringLiteral("3"));
  QVERIFY(!w.System().Modified);
  d.memoNewTerms->setPlainText("9");
  QTest::mouseClick(d.Button1, Qt::LeftButton);
  QCOMPARE(ListLines(m.lstTerms), QStringList{"9"});
  QVERIFY(w.System().Modified);
}

void TestEditing::removeTerm() {
  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "1, 3d, 6");
  w.System().ResultReady = true;
  w.System().Modified = false;

  // Without a selection: only Modified changes.
  m.lstTerms->clearSelection();
  QTest::mouseClick(m.btnRemoveItem, Qt::LeftButton);
  QCOMPARE(ListLines(m.lstTerms), Lines("1 3d 6"));
  QVERIFY(w.System().Modified);
  QVERIFY(w.System().ResultReady);

  // The selected line's term goes with its flag.
  m.lstTerms->setCurrentRow(1);
  QTest::mouseClick(m.btnRemoveItem, Qt::LeftButton);
  QCOMPARE(ListLines(m.lstTerms), Lines("1 6"));
  QCOMPARE(TermLines(w.System().Functions[0]), Lines("1 6"));
  QVERIFY(!w.System().ResultReady);
  QVERIFY(!m.btnVHDL->isEnabled());
  QCOMPARE(m.lblNumberOfTerms->text(), QStringLiteral("2"));
}

void TestEditing::addFunction() {
  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "1");
  w.System().ResultReady = true;
  m.chkLock->setChecked(false);
  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  QCOMPARE(w.System().FunctionCount(), 2);
  QCOMPARE(m.scrFunctions->maximum(), 1);
  QCOMPARE(m.scrFunctions->value(), 1);
  QCOMPARE(w.System().CurrentFunction, 1);
  QCOMPARE(m.lblTermsTitle->text(), QStringLiteral("Function 1 Terms"));
  QCOMPARE(m.lstTerms->count(), 0);
  QVERIFY(m.chkLock->isChecked());
  QVERIFY(!w.System().ResultReady);
  QVERIFY(!w.System().Functions[1].Maxterms);
  // Scrolling back by the user shows the first function again.
  m.scrFunctions->triggerAction(QAbstractSlider::SliderSingleStepSub);
  QCOMPARE(ListLines(m.lstTerms), QStringList{"1"});
  QCOMPARE(m.GroupBox6->title(), QStringLiteral("Function 0 Properties"));
}

// Three functions with the terms 1, 2 and 3 (and f2 a maxterm function).
static void MakeThree(TWindows& w) {
  EnterTerms(w, "1");
  QTest::mouseClick(w.Main.btnAddFunction, Qt::LeftButton);
  EnterTerms(w, "2");
  QTest::mouseClick(w.Main.btnAddFunction, Qt::LeftButton);
  QTest::mouseClick(w.Main.radMaxTerms, Qt::LeftButton);
  EnterTerms(w, "3");
}

void TestEditing::removeMiddleFunction() {
  TWindows w;
  auto& m = w.Main;
  MakeThree(w);
  m.scrFunctions->setValue(1);
  m.chkLock->setChecked(false);
  w.System().ResultReady = true;
  QTest::mouseClick(m.btnRemoveFunction, Qt::LeftButton);
  QCOMPARE(w.System().FunctionCount(), 2);
  QCOMPARE(m.scrFunctions->value(), 1);
  QCOMPARE(m.scrFunctions->maximum(), 1);
  QCOMPARE(w.System().CurrentFunction, 1);
  QCOMPARE(ListLines(m.lstTerms), QStringList{"3"});  // the former third function
  QVERIFY(m.radMaxTerms->isChecked());
  QVERIFY(w.System().Functions[1].Maxterms);
  QVERIFY(!m.chkLock->isChecked());  // this path leaves the lock alone
  QVERIFY(!w.System().ResultReady);
  QCOMPARE(TermLines(w.System().Functions[0]), QStringList{"1"});
}

void TestEditing::removeLastFunction() {
  TWindows w;
  auto& m = w.Main;
  MakeThree(w);
  QCOMPARE(m.scrFunctions->value(), 2);
  m.chkLock->setChecked(false);
  QTest::mouseClick(m.btnRemoveFunction, Qt::LeftButton);
  QCOMPARE(w.System().FunctionCount(), 2);
  QCOMPARE(m.scrFunctions->value(), 1);
  QCOMPARE(m.scrFunctions->maximum(), 1);
  QCOMPARE(ListLines(m.lstTerms), QStringList{"2"});
  QCOMPARE(m.lblTermsTitle->text(), QStringLiteral("Function 1 Terms"));
  QVERIFY(m.chkLock->isChecked());
  // Checking the lock had no function to adopt a kind for: f1 keeps its kind.
  QVERIFY(!w.System().Functions[1].Maxterms);
  QVERIFY(m.radMinTerms->isChecked());
}

void TestEditing::removeOnlyFunction() {
  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "5");
  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  QTest::mouseClick(m.btnRemoveFunction, Qt::LeftButton);
  QCOMPARE(w.System().FunctionCount(), 1);

  // The second attempt changes only the flags, without a refresh.
  w.System().Modified = false;
  w.System().ResultReady = true;
  m.btnVHDL->setEnabled(true);
  QTest::mouseClick(m.btnRemoveFunction, Qt::LeftButton);
  QCOMPARE(w.System().FunctionCount(), 1);
  QCOMPARE(ListLines(m.lstTerms), QStringList{"5"});
  QVERIFY(w.System().Modified);
  QVERIFY(!w.System().ResultReady);
  QVERIFY(m.btnVHDL->isEnabled());
  m.RefreshWindow();
  QVERIFY(!m.btnVHDL->isEnabled());
}

void TestEditing::kindChangeLocked() {
  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "1, 3");
  w.System().Modified = false;
  w.System().ResultReady = true;
  QTest::mouseClick(m.radMaxTerms, Qt::LeftButton);
  QCOMPARE(ListLines(m.lstTerms), Lines("1 3"));
  QVERIFY(w.System().Functions[0].Maxterms);
  QVERIFY(!w.System().Modified);
  QVERIFY(w.System().ResultReady);
  // Turning on the button that is already on does nothing.
  QTest::mouseClick(m.radMaxTerms, Qt::LeftButton);
  QVERIFY(w.System().Functions[0].Maxterms);
  QTest::mouseClick(m.radMinTerms, Qt::LeftButton);
  QVERIFY(!w.System().Functions[0].Maxterms);
  QCOMPARE(ListLines(m.lstTerms), Lines("1 3"));
}

void TestEditing::kindChangeUnlocked() {
  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "1, 2d, 3");
  QTest::mouseClick(m.chkLock, Qt::LeftButton);
  QVERIFY(!m.chkLock->isChecked());
  QVERIFY(!w.System().Functions[0].Maxterms);  // unchecking adopts nothing
  QTest::mouseClick(m.radMaxTerms, Qt::LeftButton);
  QCOMPARE(ListLines(m.lstTerms), Lines("0 2d"));
  QVERIFY(w.System().Functions[0].Maxterms);
  QTest::mouseClick(m.radMinTerms, Qt::LeftButton);
  QCOMPARE(ListLines(m.lstTerms), Lines("1 2d 3"));
  QVERIFY(!w.System().Functions[0].Maxterms);
}

void TestEditing::kindChangeUnlockedSpansSystemWidth() {
  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "1, 3");
  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  EnterTerms(w, "9");
  m.scrFunctions->setValue(0);
  m.chkLock->setChecked(false);
  QTest::mouseClick(m.radMaxTerms, Qt::LeftButton);
  QCOMPARE(ListLines(m.lstTerms), Lines("0 2 4 5 6 7 8 9 10 11 12 13 14 15"));
  QCOMPARE(m.lblNumberOfInputBits->text(), QStringLiteral("4"));
}

void TestEditing::forcedLockAdoptsKindOfEmptyFunction() {
  for (const bool locked : {false, true}) {
    TWindows w;
    auto& m = w.Main;
    QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
    EnterTerms(w, "1");
    m.scrFunctions->setValue(0);
    m.chkLock->setChecked(locked);
    QTest::mouseClick(m.radMaxTerms, Qt::LeftButton);
    QVERIFY(m.radMaxTerms->isChecked());
    QVERIFY(!w.System().Functions[0].Maxterms);  // an empty function keeps its kind
    m.scrFunctions->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(w.System().CurrentFunction, 1);
    QVERIFY(m.chkLock->isChecked());
    // Unlocked, the forced lock takes the radio buttons' state over.
    QCOMPARE(w.System().Functions[0].Maxterms, !locked);
    QVERIFY(!w.System().Functions[1].Maxterms);
  }
}

void TestEditing::silentRefreshRunsNoHandler() {
  // Loading a system whose first function holds maxterms, while the lock is
  // off and the third function is shown: the refresh moves the scroll bar and
  // the radio buttons without a kind change or a forced lock.
  QTemporaryDir dir;
  const QString path = dir.filePath("max.trm");
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("+1, 2");
  file.close();

  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "1");
  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  QCOMPARE(m.scrFunctions->value(), 2);
  m.chkLock->setChecked(false);
  w.Dialogs.OpenAnswers.push_back(path);
  m.mnuOpen->trigger();
  QCOMPARE(w.System().FunctionCount(), 1);
  QCOMPARE(m.scrFunctions->value(), 0);
  QVERIFY(!m.chkLock->isChecked());
  QVERIFY(m.radMaxTerms->isChecked());
  QCOMPARE(ListLines(m.lstTerms), Lines("1 2"));
  QVERIFY(w.System().Functions[0].Maxterms);
}

QTEST_MAIN(TestEditing)
#include "tst_editing.moc"
