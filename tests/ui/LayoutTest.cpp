// The main window's size rules and plain-text print layout.

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>

#include "UiTestUtil.h"
#include "ui/PrintLayout.h"

using tavro::TfrmMain;
using tavro::TPrintRun;

namespace {

// Ten units per character, eight characters to a tab stop, pages of 10
// characters by 3 lines.
tavro::TPrintMetrics SmallPage() {
  tavro::TPrintMetrics m;
  m.PageWidth = 100;
  m.PageHeight = 60;
  m.LineHeight = 20;
  m.AverageCharWidth = 10;
  m.CharWidth = [](QChar c) { return c == QLatin1Char('W') ? 15.0 : 10.0; };
  return m;
}

std::vector<TPrintRun> Runs(std::initializer_list<TPrintRun> runs) { return runs; }

QString Describe(const std::vector<TPrintRun>& runs) {
  QStringList parts;
  for (const auto& r : runs) parts << QStringLiteral("p%1(%2,%3)\"%4\"").arg(r.Page).arg(r.X).arg(r.Y).arg(r.Text);
  return parts.join(' ');
}

}  // namespace

class TestLayout : public QObject {
  Q_OBJECT

 private slots:
  void designSizeNumbers();
  void widening();
  void initialAndMinimumSize();
  void printLineEnds();
  void printTabs();
  void printLongLines();
  void printPages();
};

void TestLayout::designSizeNumbers() {
  TWindows w;
  auto& m = w.Main;
  m.FormResize(505, 395, 505 + TfrmMain::kFrameWidth, 395 + TfrmMain::kFrameHeight);
  QCOMPARE(m.GroupBox1->geometry(), QRect(0, 0, 505, 321));
  QCOMPARE(m.GroupBox2->geometry(), QRect(0, 327, 505, 49));
  QCOMPARE(m.lstTerms->geometry(), QRect(6, 31, 88, 258));
  QCOMPARE(m.scrFunctions->geometry(), QRect(8, 296, 88, 17));
  QCOMPARE(m.Memo1->geometry(), QRect(111, 32, 386, 105));
  QCOMPARE(m.Label2->pos(), QPoint(111, 16));
  QCOMPARE(m.GroupBox3->geometry(), QRect(111, 144, 153, 89));
  QCOMPARE(m.GroupBox5->geometry(), QRect(271, 144, 73, 89));
  QCOMPARE(m.GroupBox4->geometry(), QRect(351, 144, 145, 89));
  QCOMPARE(m.GroupBox6->geometry(), QRect(111, 240, 145, 57));
  QCOMPARE(m.StatusBar1->geometry(), QRect(0, 376, 505, 19));  // outer 513 x 441
  QCOMPARE(m.lblTermsTitle->pos(), QPoint(8, 16));
  QCOMPARE(m.btnVHDL->geometry(), QRect(416, 16, 73, 25));
}

void TestLayout::widening() {
  TWindows w;
  auto& m = w.Main;
  QVERIFY(QTest::qWaitForWindowExposed(&m));
  const int cw = m.ClientArea->width(), ch = m.ClientArea->height();
  const int listWidth = m.lstTerms->width();
  const QRect memo = m.Memo1->geometry();
  const QPoint group3 = m.GroupBox3->pos(), group4 = m.GroupBox4->pos();
  const QSize group4Size = m.GroupBox4->size();

  // Widening by d moves the right-hand controls by g and widens the pane by d - g.
  const int d = 200;
  m.resize(m.width() + d, m.height() + 50);
  QTRY_COMPARE(m.ClientArea->width(), cw + d);
  const int g = (cw + d) * 176 / 1000 - cw * 176 / 1000;
  QCOMPARE(g, 35);
  QCOMPARE(m.lstTerms->width(), listWidth + g);
  QCOMPARE(m.scrFunctions->width(), listWidth + g);
  QCOMPARE(m.Memo1->x(), memo.x() + g);
  QCOMPARE(m.Memo1->width(), memo.width() + d - g);
  QCOMPARE(m.Memo1->height(), memo.height() + 50);
  QCOMPARE(m.GroupBox3->pos(), group3 + QPoint(g, 50));
  QCOMPARE(m.GroupBox4->pos(), group4 + QPoint(g, 50));
  QCOMPARE(m.GroupBox4->size(), group4Size);
  QCOMPARE(m.GroupBox1->size(), QSize(cw + d, ch + 50 - 74));
  // The status bar runs along the bottom of the client area.
  QCOMPARE(m.StatusBar1->geometry(), QRect(0, ch + 50 - 19, cw + d, 19));
}

void TestLayout::initialAndMinimumSize() {
  TWindows w;
  auto& m = w.Main;
  QVERIFY(QTest::qWaitForWindowExposed(&m));
  // Outer 529 x 469 and 513 x 457 in the frame the rules were made for.
  QCOMPARE(m.ClientArea->size(), QSize(529 - 8, 469 - 46));
  QCOMPARE(m.lstTerms->width(), 91);
  QCOMPARE(m.StatusBar1->geometry(), QRect(0, 404, 521, 19));
  m.resize(100, 100);
  QTRY_COMPARE(m.ClientArea->size(), QSize(513 - 8, 457 - 46));
  QCOMPARE(m.GroupBox1->width(), 505);
  QCOMPARE(m.GroupBox2->y(), 411 - 68);
}

void TestLayout::printLineEnds() {
  const auto m = SmallPage();
  // Line feed: a new line at the left; CR alone does not move to a new line.
  auto layout = tavro::LayoutPrintText("ab\r\ncd\rxy\n\nz", m);
  QCOMPARE(Describe(layout.Runs), Describe(Runs({{0, 0, 0, "ab"}, {0, 0, 20, "cdxy"}, {1, 0, 0, "z"}})));
  QCOMPARE(layout.PageCount, 2);
  // Form feed: a new page, blank pages included.
  layout = tavro::LayoutPrintText("a\fb\f\fc", m);
  QCOMPARE(Describe(layout.Runs), Describe(Runs({{0, 0, 0, "a"}, {1, 0, 0, "b"}, {3, 0, 0, "c"}})));
  QCOMPARE(layout.PageCount, 4);
  // Line ends after the last text start no page of their own.
  layout = tavro::LayoutPrintText("1\r\n2\r\n3\r\n\r\n\f", m);
  QCOMPARE(layout.PageCount, 1);
  QCOMPARE(tavro::LayoutPrintText("", m).PageCount, 1);
}

void TestLayout::printTabs() {
  const auto m = SmallPage();
  // Stops every 80 units; past the page edge the tab starts a new line.
  auto layout = tavro::LayoutPrintText("a\tb\n\tc\nabcdefgh\td\nabcdefghi\te", m);
  QCOMPARE(Describe(layout.Runs), Describe(Runs({{0, 0, 0, "a"},
                                                 {0, 80, 0, "b"},
                                                 {0, 80, 20, "c"},
                                                 {0, 0, 40, "abcdefgh"},
                                                 {1, 0, 0, "d"},
                                                 {1, 0, 20, "abcdefghi"},
                                                 {1, 0, 40, "e"}})));
}

void TestLayout::printLongLines() {
  const auto m = SmallPage();
  // Broken after the last character that fits: ten narrow ones, or fewer wide.
  auto layout = tavro::LayoutPrintText("abcdefghijklm\nWWWWWWWx", m);
  QCOMPARE(Describe(layout.Runs),
           Describe(Runs({{0, 0, 0, "abcdefghij"}, {0, 0, 20, "klm"}, {0, 0, 40, "WWWWWW"}, {1, 0, 0, "Wx"}})));
  // A character wider than the page still prints, alone on its line.
  auto narrow = m;
  narrow.PageWidth = 12;
  layout = tavro::LayoutPrintText("WW", narrow);
  QCOMPARE(Describe(layout.Runs), Describe(Runs({{0, 0, 0, "W"}, {0, 0, 20, "W"}})));
}

void TestLayout::printPages() {
  const auto m = SmallPage();
  // Three lines to a page; the fourth starts the next page at the top.
  auto layout = tavro::LayoutPrintText(tavro::PrintJobText("1\r\n2\r\n3\r\n4"), m);
  QCOMPARE(Describe(layout.Runs), Describe(Runs({{0, 0, 0, "Generated "},
                                                 {0, 0, 20, "by Tavro."},
                                                 {0, 0, 40, "1"},
                                                 {1, 0, 0, "2"},
                                                 {1, 0, 20, "3"},
                                                 {1, 0, 40, "4"}})));
  QCOMPARE(layout.PageCount, 2);
}

QTEST_MAIN(TestLayout)
#include "LayoutTest.moc"
