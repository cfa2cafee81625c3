#pragma once
// Small drivers shared by the window tests.

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>

#include "FakeDialogs.h"

// Presses the Terms group's Add button, types the text and presses OK.
inline void EnterTerms(TWindows& w, const QString& text) {
  QTest::mouseClick(w.Main.Button1, Qt::LeftButton);
  w.AddTerms.memoNewTerms->setPlainText(text);
  QTest::mouseClick(w.AddTerms.Button1, Qt::LeftButton);
}

inline QStringList ListLines(const tavro::TTermListView* list) {
  QStringList lines;
  for (int i = 0; i < list->count(); ++i) lines << list->itemText(i);
  return lines;
}

// Starts a run with the button and waits until it has ended and its output
// is in the pane.
inline bool RunAndWait(TWindows& w, QPushButton* button) {
  QTest::mouseClick(button, Qt::LeftButton);
  if (w.Main.Running()) {
    QSignalSpy finished(&w.Main, &tavro::TfrmMain::RunFinished);
    if (!finished.wait(120000)) return false;
  }
  return !w.Main.Running();
}

// The caption as shown, without the unsaved mark's placeholder.
inline QString Caption(const QWidget& window) { return window.windowTitle().remove(QStringLiteral("[*]")); }

inline QStringList TermLines(const tavro::TTermVector& f) {
  QStringList lines;
  for (int i = 0; i < f.Count(); ++i) lines << QString::number(f.GetTerm(i)) + (f.GetDontCare(i) ? "d" : "");
  return lines;
}

inline QStringList Lines(const char* joined) {
  return QString::fromLatin1(joined).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// What the editor shows, in one line: the current function and its terms, the
// kind buttons and the lock, the two property groups, and the store's flags,
// e.g. "F0: 1 3 6d | min lock | 3 terms 3 bits | system 3 terms 3 bits | modified".
inline QString View(TWindows& w) {
  auto& m = w.Main;
  auto& s = w.System();
  QStringList flags;
  if (s.Modified) flags << "modified";
  if (s.ResultReady) flags << "ready";
  if (m.btnVHDL->isEnabled()) flags << "vhdl";
  return QStringLiteral("F%1: %2 | %3%4 | %5 terms %6 bits | system %7 terms %8 bits | %9")
      .arg(s.CurrentFunction)
      .arg(ListLines(m.lstTerms).join(' '))
      .arg(m.radMaxTerms->isChecked() ? "max" : "min")
      .arg(m.chkLock->isChecked() ? " lock" : "")
      .arg(m.lblNumberOfTerms->text(), m.lblNumberOfInputBits->text(), m.lblTotalTerms->text(),
           m.lblSystemMinInputBits->text(), flags.join(' '));
}
