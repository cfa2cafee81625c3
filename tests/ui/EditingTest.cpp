// The function editor of the main window and the term entry dialog.

#include <random>

#include <QGroupBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "UiTestUtil.h"

class TestEditing : public QObject {
  Q_OBJECT

 private slots:
  void freshWindowAndWidths();
  void termEntryDialog();
  void termEntryTooLargeNumber();
  void termEntryCancelAndDoubleClick();
  void undoAndRedo();
  void removeTerm();
  void addFunction();
  void removeFunction();
  void kindChange();
  void forcedLockAdoptsKindOfEmptyFunction();
  void silentRefreshRunsNoHandler();
  void viewFollowsTheDocument();
};

// Marks the store as saved and run, to see which flags an edit changes.
static void SetFlags(TWindows& w) {
  w.System().Modified = false;
  w.System().ResultReady = true;
  w.Main.RefreshWindow();
}

void TestEditing::freshWindowAndWidths() {
  TWindows w;
  auto& m = w.Main;
  QCOMPARE(View(w), "F0:  | min lock | 0 terms 0 bits | system 0 terms 0 bits | modified");
  QCOMPARE(m.lblTermsTitle->text(), QStringLiteral("Function 0 Terms"));
  QCOMPARE(m.GroupBox6->title(), QStringLiteral("Function 0 Properties"));
  QCOMPARE(Caption(m), QStringLiteral("Tavro"));
  QCOMPARE(m.focusWidget(), static_cast<QWidget*>(m.lstTerms));

  EnterTerms(w, "1, 3, 6d");
  QCOMPARE(View(w), "F0: 1 3 6d | min lock | 3 terms 3 bits | system 3 terms 3 bits | modified");
  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  EnterTerms(w, "0");  // the term 0 is one bit wide
  QCOMPARE(View(w), "F1: 0 | min lock | 1 terms 1 bits | system 4 terms 3 bits | modified");
  QCOMPARE(m.lblTermsTitle->text(), QStringLiteral("Function 1 Terms"));
  QCOMPARE(m.GroupBox6->title(), QStringLiteral("Function 1 Properties"));
  EnterTerms(w, "8");
  QCOMPARE(w.System().InputBits, 4);
}

void TestEditing::termEntryDialog() {
  TWindows w;
  auto& m = w.Main;
  auto& d = w.AddTerms;
  EnterTerms(w, "1, 3, 6d");

  // Reopening shows the list joined by ", ", the caret after a last ", "
  // and the line under it saying what OK stores; OK without edits keeps
  // the function.
  QTest::mouseClick(m.Button1, Qt::LeftButton);
  QVERIFY(d.isVisible());
  QCOMPARE(Caption(d), QStringLiteral("Add Terms to Function"));
  QCOMPARE(d.memoNewTerms->toPlainText(), QStringLiteral("1, 3, 6d, "));
  QCOMPARE(d.lblReading->text(), QStringLiteral("reads as 1, 3, 6d (3 terms, 1 of them a don't care)"));
  const tavro::TTermVector before = w.System().Functions[0];
  QTest::mouseClick(d.Button1, Qt::LeftButton);
  QVERIFY(!d.isVisible());
  QCOMPARE(d.result(), int(QDialog::Accepted));
  QVERIFY(w.System().Functions[0] == before);

  // Typing adds terms; the line follows the text once typing pauses, and an
  // expression takes the terms' place.
  QTest::mouseClick(m.Button1, Qt::LeftButton);
  QTest::keyClicks(d.memoNewTerms, "0, foo, -4, 3d");
  QTRY_COMPARE(d.lblReading->text(),
               QStringLiteral("reads as 0, 1, 3, 4, 6d (5 terms, 1 of them a don't care); ignored: foo, -"));
  d.edtExpression->setText("A");
  QTRY_VERIFY(d.lblReading->text().startsWith("the expressions below give the function"));
  d.edtExpression->clear();
  QTest::mouseClick(d.Button1, Qt::LeftButton);
  QCOMPARE(ListLines(m.lstTerms), Lines("0 1 3 4 6d"));

  // Only commas separate; a line break is ignored like a blank; d marks its item.
  EnterTerms(w, "4\n7, 1 2, d5");
  QCOMPARE(ListLines(m.lstTerms), Lines("5d 12 47"));

  // Escape does not close the dialog, and Enter starts a new line.
  QTest::mouseClick(m.Button1, Qt::LeftButton);
  QTest::keyClick(d.memoNewTerms, Qt::Key_Escape);
  QTest::keyClick(d.memoNewTerms, Qt::Key_End, Qt::ControlModifier);
  QTest::keyClick(d.memoNewTerms, Qt::Key_Return);
  QVERIFY(d.isVisible());
  QVERIFY(d.memoNewTerms->toPlainText().endsWith('\n'));
  QTest::mouseClick(d.btnCancel, Qt::LeftButton);
  QVERIFY(!d.isVisible());

  // With Maxterms on, OK stores maxterms even for a minterm function.
  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  QTest::mouseClick(m.radMaxTerms, Qt::LeftButton);
  EnterTerms(w, "2, 3");
  QVERIFY(w.System().Functions[1].Maxterms);
  QCOMPARE(View(w), "F1: 2 3 | max lock | 2 terms 2 bits | system 5 terms 6 bits | modified");
}

void TestEditing::termEntryTooLargeNumber() {
  TWindows w;
  auto& m = w.Main;
  auto& d = w.AddTerms;
  EnterTerms(w, "4, 5");
  QTest::mouseClick(m.Button1, Qt::LeftButton);
  SetFlags(w);

  // An error that changes nothing; the dialog stays open with its text.
  d.memoNewTerms->setPlainText("1, 2147483648");
  QTest::mouseClick(d.Button1, Qt::LeftButton);
  QCOMPARE(w.Dialogs.Errors, QStringList{"'2147483648' is not a valid integer value."});
  QCOMPARE(w.Dialogs.ErrorCaptions, QStringList{"Tavro"});
  QVERIFY(d.isVisible());
  QCOMPARE(d.memoNewTerms->toPlainText(), QStringLiteral("1, 2147483648"));
  QCOMPARE(View(w), "F0: 4 5 | min lock | 2 terms 3 bits | system 2 terms 3 bits | ready vhdl");
  QCOMPARE(TermLines(w.System().Functions[0]), Lines("4 5"));

  // A corrected text is parsed from scratch; 2147483647 is still a term.
  d.memoNewTerms->setPlainText("2147483647, 1");
  QTest::mouseClick(d.Button1, Qt::LeftButton);
  QVERIFY(!d.isVisible());
  QCOMPARE(View(w), "F0: 1 2147483647 | min lock | 2 terms 31 bits | system 2 terms 31 bits | modified");
}

// Edit > Undo and Redo take the window's edits back and forth, the view
// following; back at the saved state the unsaved mark goes.
void TestEditing::undoAndRedo() {
  TWindows w;
  auto& m = w.Main;
  QVERIFY(!m.mnuUndo->isEnabled());
  EnterTerms(w, "1, 2");
  EnterTerms(w, "5");
  QCOMPARE(ListLines(m.lstTerms), Lines("5"));
  QCOMPARE(m.mnuUndo->text(), QStringLiteral("&Undo Terms of f0"));
  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  QCOMPARE(m.lblFunctionCount->text(), QStringLiteral("2 functions (0\u20131)"));
  m.mnuUndo->trigger();
  QCOMPARE(m.lblFunctionCount->text(), QStringLiteral("1 function"));
  m.mnuUndo->trigger();
  QCOMPARE(ListLines(m.lstTerms), Lines("1 2"));
  m.mnuRedo->trigger();
  QCOMPARE(ListLines(m.lstTerms), Lines("5"));
  QTemporaryDir dir;
  w.Dialogs.SaveAnswers = {dir.filePath("u.trm")};
  m.mnuSave->trigger();
  QVERIFY(!w.System().Modified);
  m.mnuUndo->trigger();
  QVERIFY(w.System().Modified);
  QCOMPARE(ListLines(m.lstTerms), Lines("1 2"));
  m.mnuRedo->trigger();
  QVERIFY(!w.System().Modified);
  QVERIFY(!m.isWindowModified());
}

void TestEditing::termEntryCancelAndDoubleClick() {
  TWindows w;
  auto& m = w.Main;
  auto& d = w.AddTerms;
  EnterTerms(w, "3");
  SetFlags(w);

  // The Add button marks the system modified even when the dialog is cancelled.
  QTest::mouseClick(m.Button1, Qt::LeftButton);
  d.memoNewTerms->setPlainText("7, 8");
  QTest::mouseClick(d.btnCancel, Qt::LeftButton);
  QCOMPARE(d.result(), int(QDialog::Rejected));
  QCOMPARE(View(w), "F0: 3 | min lock | 1 terms 2 bits | system 1 terms 2 bits | modified ready vhdl");

  // A double click on the list opens the same dialog and leaves Modified alone.
  SetFlags(w);
  QTest::mouseDClick(m.lstTerms->viewport(), Qt::LeftButton, {}, QPoint(40, 150));
  QVERIFY(d.isVisible());
  QCOMPARE(d.memoNewTerms->toPlainText(), QStringLiteral("3, "));
  QVERIFY(!w.System().Modified);
  d.memoNewTerms->setPlainText("9");
  QTest::mouseClick(d.Button1, Qt::LeftButton);
  QCOMPARE(View(w), "F0: 9 | min lock | 1 terms 4 bits | system 1 terms 4 bits | modified");
}

void TestEditing::removeTerm() {
  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "1, 3d, 6");
  SetFlags(w);

  // Without a selection only Modified changes.
  m.lstTerms->clearSelection();
  QTest::mouseClick(m.btnRemoveItem, Qt::LeftButton);
  QCOMPARE(View(w), "F0: 1 3d 6 | min lock | 3 terms 3 bits | system 3 terms 3 bits | modified ready vhdl");

  // The selected line's term goes with its flag.
  m.lstTerms->setCurrentRow(1);
  QTest::mouseClick(m.btnRemoveItem, Qt::LeftButton);
  QCOMPARE(View(w), "F0: 1 6 | min lock | 2 terms 3 bits | system 2 terms 3 bits | modified");
  QCOMPARE(TermLines(w.System().Functions[0]), Lines("1 6"));
}

void TestEditing::addFunction() {
  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "1");
  SetFlags(w);
  m.chkLock->setChecked(false);
  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  QCOMPARE(View(w), "F1:  | min lock | 0 terms 0 bits | system 1 terms 1 bits | modified");
  QCOMPARE(m.scrFunctions->maximum(), 1);
  QCOMPARE(m.scrFunctions->value(), 1);
  // The user scrolls back to the first function.
  m.scrFunctions->triggerAction(QAbstractSlider::SliderSingleStepSub);
  QCOMPARE(View(w), "F0: 1 | min lock | 1 terms 1 bits | system 1 terms 1 bits | modified");
}

// Three functions with the terms 1, 2 and 3, the third of them maxterms.
static void MakeThree(TWindows& w) {
  EnterTerms(w, "1");
  QTest::mouseClick(w.Main.btnAddFunction, Qt::LeftButton);
  EnterTerms(w, "2");
  QTest::mouseClick(w.Main.btnAddFunction, Qt::LeftButton);
  QTest::mouseClick(w.Main.radMaxTerms, Qt::LeftButton);
  EnterTerms(w, "3");
}

void TestEditing::removeFunction() {
  {
    // The middle one: the former third function is current under the same
    // index, and the lock is left alone.
    TWindows w;
    auto& m = w.Main;
    MakeThree(w);
    m.scrFunctions->setValue(1);
    m.chkLock->setChecked(false);
    SetFlags(w);
    QTest::mouseClick(m.btnRemoveFunction, Qt::LeftButton);
    QCOMPARE(View(w), "F1: 3 | max | 1 terms 2 bits | system 2 terms 2 bits | modified");
    QCOMPARE(m.scrFunctions->maximum(), 1);
    QCOMPARE(TermLines(w.System().Functions[0]), QStringList{"1"});
  }
  {
    // The last one: the scroll bar moves, which checks the lock; there is no
    // function left to adopt the kind buttons' state.
    TWindows w;
    auto& m = w.Main;
    MakeThree(w);
    m.chkLock->setChecked(false);
    QTest::mouseClick(m.btnRemoveFunction, Qt::LeftButton);
    QCOMPARE(View(w), "F1: 2 | min lock | 1 terms 2 bits | system 2 terms 2 bits | modified");
    QCOMPARE(m.scrFunctions->maximum(), 1);
    QVERIFY(!w.System().Functions[1].Maxterms);

    // Down to one; a further removal changes only the flags, without a refresh.
    QTest::mouseClick(m.btnRemoveFunction, Qt::LeftButton);
    SetFlags(w);
    QTest::mouseClick(m.btnRemoveFunction, Qt::LeftButton);
    QCOMPARE(View(w), "F0: 1 | min lock | 1 terms 1 bits | system 1 terms 1 bits | modified vhdl");
    m.RefreshWindow();
    QVERIFY(!m.btnVHDL->isEnabled());
  }
}

void TestEditing::kindChange() {
  TWindows w;
  auto& m = w.Main;
  EnterTerms(w, "1, 2d, 3");
  SetFlags(w);

  // Locked: the same numbers now mean maxterms. Unsaved (the term file
  // keeps the kind); the result stands.
  QTest::mouseClick(m.radMaxTerms, Qt::LeftButton);
  QCOMPARE(View(w), "F0: 1 2d 3 | max lock | 3 terms 2 bits | system 3 terms 2 bits | modified ready vhdl");
  QVERIFY(w.System().Functions[0].Maxterms);
  QTest::mouseClick(m.radMaxTerms, Qt::LeftButton);  // already on: nothing
  QTest::mouseClick(m.radMinTerms, Qt::LeftButton);
  QVERIFY(!w.System().Functions[0].Maxterms);

  // Unlocked: converted, don't cares kept; unchecking adopts nothing.
  QTest::mouseClick(m.chkLock, Qt::LeftButton);
  QVERIFY(!w.System().Functions[0].Maxterms);
  QTest::mouseClick(m.radMaxTerms, Qt::LeftButton);
  QCOMPARE(View(w), "F0: 0 2d | max | 2 terms 2 bits | system 2 terms 2 bits | modified ready vhdl");
  QTest::mouseClick(m.radMinTerms, Qt::LeftButton);
  QCOMPARE(ListLines(m.lstTerms), Lines("1 2d 3"));

  // The complement spans the whole system's width.
  QTest::mouseClick(m.btnAddFunction, Qt::LeftButton);
  EnterTerms(w, "9");
  m.scrFunctions->setValue(0);
  m.chkLock->setChecked(false);
  QTest::mouseClick(m.radMaxTerms, Qt::LeftButton);
  QCOMPARE(ListLines(m.lstTerms), Lines("0 2d 4 5 6 7 8 9 10 11 12 13 14 15"));
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
    // Unlocked, the forced lock takes the kind buttons' state over.
    QCOMPARE(w.System().Functions[0].Maxterms, !locked);
    QVERIFY(!w.System().Functions[1].Maxterms);
  }
}

void TestEditing::silentRefreshRunsNoHandler() {
  // Opening a one-function system while the third function is shown and the
  // lock is off: the refresh moves the scroll bar and the kind buttons
  // without a forced lock or a kind change.
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
  m.chkLock->setChecked(false);
  w.Dialogs.Answers.push_back(tavro::IDialogs::TAnswer::No);  // the unsaved edits go
  w.Dialogs.OpenAnswers.push_back(path);
  m.mnuOpen->trigger();
  QCOMPARE(View(w), "F0: 1 2 | max | 2 terms 2 bits | system 2 terms 2 bits | ");
  QCOMPARE(m.scrFunctions->value(), 0);
  QVERIFY(w.System().Functions[0].Maxterms);
}

// Edits made on the document itself, not through the window's commands, show
// at once: a refresh by hand afterwards changes nothing.
void TestEditing::viewFollowsTheDocument() {
  QTemporaryDir dir;
  std::mt19937 rng(17);
  TWindows w;
  auto& m = w.Main;
  tavro::TDocument& doc = m.Document();
  auto shown = [&] {
    return QStringList{View(w), Caption(m), m.lblTermsTitle->text(), m.GroupBox6->title(),
                       QString::number(m.scrFunctions->maximum())};
  };
  for (int step = 0; step < 300; ++step) {
    const int f = int(rng() % unsigned(doc.FunctionCount()));
    const QString name = dir.filePath(QString::number(rng() % 3));
    switch (rng() % 7) {
      case 0: {
        tavro::TTermVector terms;
        for (int k = int(rng() % 5); k > 0; --k) terms.Add(int32_t(rng() % 40), rng() % 4 == 0);
        doc.SetTerms(f, terms);
        break;
      }
      case 1: doc.AddFunction(); break;
      case 2: doc.RemoveFunction(f); break;
      case 3: doc.SetKind(f, rng() % 2, rng() % 2); break;
      case 4: doc.SaveAs(name); break;
      case 5:
        if (QFile::exists(name + ".trm")) doc.Load(name + ".trm");
        break;
      case 6:
        if (rng() % 4 == 0) doc.Reset();
        break;
    }
    const QStringList before = shown();
    m.RefreshWindow();
    QCOMPARE(shown(), before);
  }
}

QTEST_MAIN(TestEditing)
#include "EditingTest.moc"
