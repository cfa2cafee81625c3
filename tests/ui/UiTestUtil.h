#pragma once
// Small drivers shared by the window tests.

#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTest>

#include "FakeDialogs.h"

// Presses the Terms group's Add button, types the text and presses OK.
inline void EnterTerms(TWindows& w, const QString& text) {
  QTest::mouseClick(w.Main.Button1, Qt::LeftButton);
  w.AddTerms.memoNewTerms->setPlainText(text);
  QTest::mouseClick(w.AddTerms.Button1, Qt::LeftButton);
}

inline QStringList ListLines(const QListWidget* list) {
  QStringList lines;
  for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
  return lines;
}

inline QStringList TermLines(const tavro::TTermVector& f) {
  QStringList lines;
  for (int i = 0; i < f.Count(); ++i)
    lines << QString::number(f.GetTerm(i)) + (f.GetDontCare(i) ? "d" : "");
  return lines;
}

inline QStringList Lines(const char* joined) {
  return QString::fromLatin1(joined).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}
