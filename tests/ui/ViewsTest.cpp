// The Karnaugh map and the truth table: cells placed by the Gray code, loops
// that cover exactly the cells of their cubes (wrapping around the edges) in
// their cube's colour, exports, and a truth table edit that is the term
// dialog's edit.

#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <random>

#include "FakeDialogs.h"
#include "UiTestUtil.h"
#include "engine/io/TermEntry.h"
#include "engine/run/Minimize.h"
#include "support/RandomSystems.h"
#include "support/RecordingHost.h"
#include "ui/AnalysisWindow.h"
#include "ui/KarnaughView.h"
#include "ui/TruthTableModel.h"
#include "ui/ViewWindows.h"

using namespace tavro;

namespace {

// A function system seen through the views' interface, without a window.
class TStoreSource : public IFunctionView {
 public:
  TFunctionSystem System;
  bool Primes = false;
  int Edits = 0;
  int FunctionCount() const override { return System.FunctionCount(); }
  int InputBits() const override { return System.InputBits; }
  int CurrentFunction() const override { return System.CurrentFunction; }
  const TTermVector& Function(int f) const override { return System.Functions.at(static_cast<size_t>(f)); }
  const TCover* Result() const override { return System.ResultReady ? System.ResultCubes.get() : nullptr; }
  int ResultMode() const override { return System.ResultMode; }
  bool ShowPrimes() const override { return Primes; }
  void SetTermState(int f, uint32_t term, TTermState state) override {
    System.Functions.at(static_cast<size_t>(f)) = WithTermState(Function(f), term, state);
    System.UpdateInputBits();
    ++Edits;
  }
};

int BitsDiffering(uint32_t a, uint32_t b) { return __builtin_popcount(a ^ b); }

}  // namespace

class TestViews : public QObject {
  Q_OBJECT

 private slots:
  // Every term has one cell; the row and column of a cell are the Gray code
  // positions of the term's row and column bits, so that cells next to each
  // other (around the edges too, and in neighbouring maps) differ in one input.
  void cellsFollowTheGrayCode() {
    for (int inputs = 1; inputs <= 6; ++inputs) {
      const TKarnaughLayout layout = KarnaughLayout(inputs);
      QCOMPARE(layout.Maps() * layout.Rows() * layout.Columns(), 1 << inputs);
      QCOMPARE(layout.Maps(), inputs <= 4 ? 1 : inputs == 5 ? 2 : 4);
      for (uint32_t term = 0; term < (1u << inputs); ++term) {
        const TKarnaughCell cell = KarnaughCell(layout, term);
        QCOMPARE(KarnaughTerm(layout, cell), term);
        const uint32_t rowBits = (term >> layout.ColumnBits) & (layout.Rows() - 1);
        const uint32_t columnBits = term & (layout.Columns() - 1);
        QCOMPARE(rowBits, uint32_t(cell.Row ^ (cell.Row >> 1)));
        QCOMPARE(columnBits, uint32_t(cell.Column ^ (cell.Column >> 1)));
        QCOMPARE(uint32_t(cell.Map), term >> (layout.RowBits + layout.ColumnBits));
        if (layout.Columns() > 1) {
          TKarnaughCell right = cell;
          right.Column = (cell.Column + 1) % layout.Columns();
          QCOMPARE(BitsDiffering(term, KarnaughTerm(layout, right)), 1);
        }
        if (layout.Rows() > 1) {
          TKarnaughCell below = cell;
          below.Row = (cell.Row + 1) % layout.Rows();
          QCOMPARE(BitsDiffering(term, KarnaughTerm(layout, below)), 1);
        }
        // Maps side by side and one above the other differ in one map input.
        for (int other = 0; other < layout.Maps(); ++other) {
          const bool neighbour = (other % 2 != cell.Map % 2) != (other / 2 != cell.Map / 2);
          TKarnaughCell same = cell;
          same.Map = other;
          if (neighbour) QCOMPARE(BitsDiffering(term, KarnaughTerm(layout, same)), 1);
        }
      }
    }
  }

  // After a run, the view draws one loop per cube of the current function's
  // result, and the cells inside a loop's pieces are exactly the cube's.
  // The legend's sharing list is the cube's other tags.
  void loopsCoverTheirCubes() {
    std::mt19937 rng(5);
    testing::RandomSystemOptions options;
    options.MinBits = 1;
    options.MaxBits = 6;
    int loopsChecked = 0;
    for (int round = 0; round < 120; ++round) {
      TStoreSource source;
      int bits = 0;
      source.System.Functions = testing::RandomSystem(rng, options, &bits);
      source.System.UpdateInputBits();
      source.System.CurrentFunction = static_cast<int>(rng() % source.System.Functions.size());
      source.Primes = round % 3 == 0;
      check::RecordingHost host;
      const int mode = round % 2 ? modePOS : modeSOP;
      TRunStats stats;
      if (RunCommand(source.System, mode, {}, host, &stats) != TRunOutcome::Completed) continue;
      TKarnaughView view(source);
      // The pairs the view marks are the hazards the run counts (which are
      // over all functions).
      if (source.System.FunctionCount() == 1) QCOMPARE(static_cast<int64_t>(view.Hazards().size()), stats.Hazards);
      QVERIFY(view.Message().isEmpty());
      const TCover& result = *source.System.ResultCubes;
      size_t resultLoops = 0;
      for (const auto& loop : view.Loops()) {
        if (!loop.Prime) {
          // The loops of the result are its cubes of this function, in order.
          size_t i = 0, seen = 0;
          for (; i < result.Count(); ++i)
            if (result.Tag(i, source.System.CurrentFunction) && seen++ == resultLoops) break;
          QVERIFY(i < result.Count());
          QCOMPARE(loop.Value, result.Value(i));
          QCOMPARE(loop.Mask, result.Mask(i));
          std::vector<int> shared;
          for (int g = 0; g < result.FunctionCount; ++g)
            if (g != source.System.CurrentFunction && result.Tag(i, g)) shared.push_back(g);
          QCOMPARE(loop.SharedWith, shared);
          ++resultLoops;
        }
        for (uint32_t term = 0; term < (1u << bits); ++term) {
          const QPointF centre = view.CellRect(term).center();
          bool inside = false;
          for (const auto& piece : loop.Pieces) inside |= piece.Shape.contains(centre) && piece.Clip.contains(centre);
          QCOMPARE(inside, (term & ~loop.Mask) == loop.Value);
        }
        // The loop has the colour every drawing of the cube has (the LaTeX
        // document's too), to a thousandth.
        const TRgb rgb = HsvToRgb(KarnaughLoopColor(loop.Value, loop.Mask));
        QVERIFY(std::abs(loop.Color.redF() - rgb.Red) < 1e-3);
        QVERIFY(std::abs(loop.Color.greenF() - rgb.Green) < 1e-3);
        QVERIFY(std::abs(loop.Color.blueF() - rgb.Blue) < 1e-3);
        ++loopsChecked;
      }
      size_t tagged = 0;
      for (size_t i = 0; i < result.Count(); ++i) tagged += result.Tag(i, source.System.CurrentFunction);
      QCOMPARE(resultLoops, tagged);
    }
    QVERIFY(loopsChecked > 200);
  }

  // The textbook function: its minimum cover leaves four adjacent pairs of 1s
  // in no common loop, which the map marks; the hazard-free cover none.
  void hazardsMarked() {
    TStoreSource source;
    source.System.Functions[0] = ParseTermEntry("0, 1, 2, 5, 6, 7, 8, 9, 10, 14", false);
    source.System.UpdateInputBits();
    check::RecordingHost host;
    QCOMPARE(RunCommand(source.System, modeSOP, {}, host), TRunOutcome::Completed);
    TKarnaughView plain(source);
    QCOMPARE(plain.Hazards().size(), size_t{4});
    QVERIFY(plain.LegendLines().back().startsWith(QStringLiteral("hazard: 4 pair(s)")));
    TRunParams params;
    params.HazardFree = true;
    QCOMPARE(RunCommand(source.System, modeSOP, {}, host, nullptr, params), TRunOutcome::Completed);
    TKarnaughView free(source);
    QVERIFY(free.Hazards().empty());
    QCOMPARE(free.Loops().size(), size_t{6});
  }

  void tooWideSaysWhyAndExportsWrite() {
    TStoreSource source;
    source.System.Functions[0] = ParseTermEntry("1, 200", false);
    source.System.UpdateInputBits();
    TKarnaughView wide(source);
    QVERIFY(wide.Message().contains(QStringLiteral("1 to 6 inputs")));
    QVERIFY(wide.Loops().empty());

    source.System.Functions[0] = ParseTermEntry("1, 3, 6d, 15", false);
    source.System.UpdateInputBits();
    check::RecordingHost host;
    QCOMPARE(RunCommand(source.System, modeSOP, {}, host), TRunOutcome::Completed);
    TKarnaughView view(source);
    QTemporaryDir dir;
    const QString png = dir.filePath("map.png"), svg = dir.filePath("map.svg");
    QVERIFY(view.ExportPng(png));
    QVERIFY(view.ExportSvg(svg));
    const QImage image(png);
    QCOMPARE(image.size(), view.sizeHint());
    // A loop's colour is on the image.
    const QColor loopColor = view.Loops().at(0).Color;
    bool found = false;
    for (int y = 0; y < image.height() && !found; ++y)
      for (int x = 0; x < image.width() && !found; ++x) {
        const QColor c = image.pixelColor(x, y);
        found = std::abs(c.red() - loopColor.red()) + std::abs(c.green() - loopColor.green()) +
                    std::abs(c.blue() - loopColor.blue()) <
                40;
      }
    QVERIFY(found);
    QFile file(svg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("<svg"));

    // A loop around the corners is cut at the map's edge in the SVG too: its
    // colour appears nowhere between the map and the legend.
    source.System.Functions[0] = ParseTermEntry("0, 2, 8, 10", false);
    source.System.UpdateInputBits();
    QCOMPARE(RunCommand(source.System, modeSOP, {}, host), TRunOutcome::Completed);
    TKarnaughView corners(source);
    QCOMPARE(corners.Loops().size(), size_t{1});
    QVERIFY(corners.ExportSvg(svg));
    QSvgRenderer renderer(svg);
    QImage drawn(corners.sizeHint(), QImage::Format_ARGB32);
    drawn.fill(Qt::white);
    {
      QPainter painter(&drawn);
      renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(corners.sizeHint())));
    }
    const QColor cornerColor = corners.Loops()[0].Color;
    const QRectF map = corners.CellRect(0).united(corners.CellRect(10)).adjusted(-2, -2, 2, 2);
    int inMap = 0, outside = 0;
    for (int y = 0; y < static_cast<int>(map.bottom()) + 8; ++y)
      for (int x = 0; x < drawn.width(); ++x) {
        const QColor c = drawn.pixelColor(x, y);
        if (std::abs(c.red() - cornerColor.red()) + std::abs(c.green() - cornerColor.green()) +
                std::abs(c.blue() - cornerColor.blue()) >=
            40)
          continue;
        ++(map.contains(QPointF(x, y)) ? inMap : outside);
      }
    QVERIFY(inMap > 0);
    QCOMPARE(outside, 0);

    // A cube has its colour from itself: the same in another function and run.
    source.System.Functions.push_back(ParseTermEntry("0, 2, 8, 10, 15", false));
    source.System.CurrentFunction = 1;
    QCOMPARE(RunCommand(source.System, modeSOP, {}, host), TRunOutcome::Completed);
    TKarnaughView other(source);
    bool same = false;
    for (const auto& loop : other.Loops())
      same |=
          loop.Value == corners.Loops()[0].Value && loop.Mask == corners.Loops()[0].Mask && loop.Color == cornerColor;
    QVERIFY(same);

    // Past six inputs the message is wrapped, not cut, at any font size.
    source.System.Functions = {ParseTermEntry("1, 200", false)};
    source.System.CurrentFunction = 0;
    source.System.UpdateInputBits();
    TKarnaughView big(source);
    QFont font = big.font();
    font.setPointSize(30);
    big.setFont(font);
    big.Refresh();
    const QSize size = big.sizeHint();
    QFont bold = font;
    bold.setBold(true);
    const QRect needed =
        QFontMetrics(bold).boundingRect(QRect(0, 0, size.width() - 32, 10000), Qt::TextWordWrap, big.Message());
    QVERIFY(needed.width() <= size.width() - 32);
    QVERIFY(needed.height() <= size.height() - 32);
    QVERIFY(needed.height() > QFontMetrics(bold).height());
  }

  // The model shows every row; cycling goes 0 -> 1 -> d -> 0 and typing sets.
  void truthTableCyclesAndSets() {
    TStoreSource source;
    source.System.Functions = {ParseTermEntry("1, 2d", false), ParseTermEntry("0, 3", true)};
    source.System.UpdateInputBits();
    TTruthTableModel model(source);
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.columnCount(), 4);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("A"));
    QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("f1"));
    auto column = [&](int c) {
      QString s;
      for (int r = 0; r < model.rowCount(); ++r) s += model.index(r, c).data().toString();
      return s;
    };
    QCOMPARE(column(0), QStringLiteral("0011"));
    QCOMPARE(column(1), QStringLiteral("0101"));
    QCOMPARE(column(2), QStringLiteral("01d0"));
    QCOMPARE(column(3), QStringLiteral("0110"));
    QVERIFY(model.Cycle(model.index(0, 2)));
    QVERIFY(model.Cycle(model.index(1, 2)));
    QVERIFY(model.Cycle(model.index(2, 2)));
    model.Refresh();
    QCOMPARE(column(2), QStringLiteral("1d00"));
    QVERIFY(model.setData(model.index(1, 3), "d"));
    QVERIFY(!model.setData(model.index(1, 3), "2"));
    QVERIFY(!model.setData(model.index(1, 0), "1"));  // inputs are not edited
    model.Refresh();
    QCOMPARE(column(3), QStringLiteral("0d10"));
    QCOMPARE(source.System.Functions[1], ParseTermEntry("0, 1d, 3", true));
    QCOMPARE(source.Edits, 4);
  }

  // A cell edit in the window's truth table leaves the window exactly as the
  // same edit typed into the term dialog does: terms, kind, counts, widths
  // and the flags.
  void truthTableEditIsTheDialogEdit() {
    std::mt19937 rng(11);
    testing::RandomSystemOptions options;
    options.MaxBits = 5;
    options.MaxFunctions = 3;
    for (int round = 0; round < 60; ++round) {
      int bits = 0;
      const auto functions = testing::RandomSystem(rng, options, &bits);
      TWindows table, dialog;
      for (TWindows* w : {&table, &dialog}) {
        w->System().Functions = functions;
        w->Main.RefreshWindow();
        QVERIFY(RunAndWait(*w, w->Main.btnSOP));
        w->System().Modified = false;
      }
      const int g = static_cast<int>(rng() % functions.size());
      const uint32_t row = rng() % (1u << bits);
      const int state = static_cast<int>(rng() % 3);  // 0, 1, d
      const QString stateText = QString("01d")[state];
      for (TWindows* w : {&table, &dialog}) w->Main.scrFunctions->setValue(g);

      auto* views = table.Main.findChild<TViewWindows*>();
      QVERIFY(views);
      views->mnuTruthTable->trigger();
      TTruthTableModel* model = views->TruthTableWindow().Model();
      QCOMPARE(model->rowCount(), 1 << bits);
      QVERIFY(model->setData(model->index(static_cast<int>(row), model->FunctionColumn(g)), stateText));

      // The dialog: the term list without the row, then the row as a term,
      // a don't care or not at all, by the function's kind.
      QStringList items = TermLines(functions[static_cast<size_t>(g)]);
      items.removeAll(QString::number(row));
      items.removeAll(QString::number(row) + "d");
      const bool maxterms = functions[static_cast<size_t>(g)].Maxterms;
      if (stateText == "d") items << QString::number(row) + "d";
      else if ((stateText == "1") != maxterms) items << QString::number(row);
      EnterTerms(dialog, items.join(", "));

      const QString trace = QString("round %1: f%2 row %3 := %4").arg(round).arg(g).arg(row).arg(stateText);
      QVERIFY2(table.System().Functions == dialog.System().Functions, qPrintable(trace));
      QCOMPARE(View(table), View(dialog));
      // The table follows the new width.
      QCOMPARE(model->rowCount(), 1 << table.System().InputBits);
    }
  }

  // The dialog's expression fields: the function and its don't cares from
  // two expressions, complemented for maxterms, read over the other
  // functions' inputs; a malformed expression changes nothing.
  void dialogTakesExpressions() {
    auto rows = [](int inputs, auto&& on, auto&& dc) {
      QStringList items;
      for (int r = 0; r < (1 << inputs); ++r) {
        if (dc(r)) items << QString::number(r) + "d";
        else if (on(r)) items << QString::number(r);
      }
      return items.join(", ");
    };
    auto bit = [](int r, int k) { return (r >> k) & 1; };
    // A~B + (C ^ D)' with the don't cares ABCD, over A..D = bits 3..0.
    auto on = [&](int r) { return (bit(r, 3) && !bit(r, 2)) || !(bit(r, 1) ^ bit(r, 0)); };
    auto dc = [&](int r) { return r == 15; };
    for (const bool maxterms : {false, true}) {
      TWindows typed, expression;
      for (TWindows* w : {&typed, &expression})
        if (maxterms) QTest::mouseClick(w->Main.radMaxTerms, Qt::LeftButton);
      EnterTerms(typed, rows(
                            4, [&](int r) { return on(r) != maxterms; }, dc));
      QTest::mouseClick(expression.Main.Button1, Qt::LeftButton);
      expression.AddTerms.memoNewTerms->setPlainText("99");  // not read when an expression is given
      expression.AddTerms.edtExpression->setText("A~B + (C ^ D)' + 0");
      expression.AddTerms.edtDontCares->setText("a b c d");
      QTest::mouseClick(expression.AddTerms.Button1, Qt::LeftButton);
      QCOMPARE(View(expression), View(typed));
      QCOMPARE(expression.System().Functions[0].Maxterms, maxterms);
    }

    TWindows w;
    EnterTerms(w, "31");  // f0 has five inputs
    QTest::mouseClick(w.Main.btnAddFunction, Qt::LeftButton);
    QTest::mouseClick(w.Main.Button1, Qt::LeftButton);
    w.AddTerms.edtExpression->setText("A");
    QTest::mouseClick(w.AddTerms.Button1, Qt::LeftButton);
    QCOMPARE(w.System().Functions[1], ParseTermEntry(rows(
                                                         5, [&](int r) { return r >= 16; }, [](int) { return false; })
                                                         .toStdString(),
                                                     false));

    QVERIFY(RunAndWait(w, w.Main.btnSOP));
    const QString before = View(w);
    QTest::mouseClick(w.Main.Button1, Qt::LeftButton);
    w.AddTerms.edtExpression->setText("A + (B");
    QTest::mouseClick(w.AddTerms.Button1, Qt::LeftButton);
    QCOMPARE(w.Dialogs.Errors, QStringList{"expected ')' at column 7."});
    QVERIFY(w.AddTerms.isVisible());
    QCOMPARE(View(w), before);  // the result is still ready
    // Too deep a text is refused the same way, its text kept.
    const QString deep = QString(5000, '(') + "A" + QString(5000, ')');
    w.AddTerms.edtExpression->setText(deep);
    QTest::mouseClick(w.AddTerms.Button1, Qt::LeftButton);
    QCOMPARE(w.Dialogs.Errors.last(), QStringLiteral("nesting deeper than 4000 at column 4001."));
    QVERIFY(w.AddTerms.isVisible());
    QCOMPARE(w.AddTerms.edtExpression->text(), deep);
    QCOMPARE(View(w), before);
  }

  // The map window follows the current function and the result.
  void karnaughWindowFollowsTheWindow() {
    TWindows w;
    EnterTerms(w, "1, 3, 5, 7");
    QTest::mouseClick(w.Main.btnAddFunction, Qt::LeftButton);
    EnterTerms(w, "3, 7");
    auto* views = w.Main.findChild<TViewWindows*>();
    views->mnuKarnaughMap->trigger();
    TKarnaughWindow& window = views->KarnaughWindow();
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowTitle(), QStringLiteral("Karnaugh Map - f1"));
    QVERIFY(window.View()->Loops().empty());
    QVERIFY(RunAndWait(w, w.Main.btnSOP));
    QCOMPARE(window.View()->Loops().size(), size_t(1));  // BC
    w.Main.scrFunctions->setValue(0);
    QCOMPARE(window.windowTitle(), QStringLiteral("Karnaugh Map - f0"));
    const TCover& result = *w.System().ResultCubes;
    size_t tagged = 0;
    for (size_t i = 0; i < result.Count(); ++i) tagged += result.Tag(i, 0);
    QCOMPARE(window.View()->Loops().size(), tagged);
    // An edit makes the result stale: no loops until the next run.
    EnterTerms(w, "1, 3, 5");
    QVERIFY(window.View()->Loops().empty());
  }

  // Output > "Algoritm Analysis" shows the last run's steps and follows each
  // run; its exports write the same steps.
  void analysisWindowShowsTheLastRun() {
    TWindows w;
    EnterTerms(w, "0, 1, 2, 5, 6, 7, 8, 9, 10, 14");
    auto* views = w.Main.findChild<TViewWindows*>();
    QVERIFY(w.Main.mnuAlgorithmAnalysis->isEnabled());
    w.Main.mnuAlgorithmAnalysis->trigger();
    TAnalysisWindow& window = views->AnalysisWindow();
    QVERIFY(window.isVisible());
    QVERIFY(window.Text()->toPlainText().contains(QStringLiteral("No run has been recorded yet")));
    QVERIFY(RunAndWait(w, w.Main.btnSOP));
    const QString shown = window.Text()->toPlainText();
    for (const char* part : {"Level 2: cubes of 4 terms", "Prime implicants and their chart", "P5 is essential",
                             "f0 = (~B)(~C) + (C)(~D) + (~A)(B)(D)"})
      QVERIFY2(shown.contains(QString::fromUtf8(part)), part);
    QTemporaryDir dir;
    for (const bool latex : {false, true}) {
      const QString name = dir.filePath(latex ? QStringLiteral("steps.tex") : QStringLiteral("steps.html"));
      w.Dialogs.SaveAnswers = {name};
      window.findChild<QPushButton*>(latex ? QStringLiteral("btnExportLatex") : QStringLiteral("btnExportHtml"))
          ->click();
      QFile file(name);
      QVERIFY(file.open(QIODevice::ReadOnly));
      const QByteArray bytes = file.readAll();
      QVERIFY(bytes.contains(latex ? "\\begin{document}" : "<!DOCTYPE html>"));
      QVERIFY2(bytes.contains("P5 is essential"), bytes.constData());
    }
    // POS: the steps of the zeros.
    QVERIFY(RunAndWait(w, w.Main.Button2));
    QVERIFY(window.Text()->toPlainText().contains(QStringLiteral("Terms are maxterms")));
  }
};

QTEST_MAIN(TestViews)
#include "ViewsTest.moc"
