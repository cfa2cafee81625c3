// The Karnaugh map and the truth table: cells placed by the Gray code, loops
// that cover exactly the cells of their cubes (wrapping around the edges),
// exports, and a truth table edit that is the term dialog's edit.

#include <QImage>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <random>

#include "engine/Minimize.h"
#include "engine/TermEntry.h"
#include "support/RandomSystems.h"
#include "support/RecordingHost.h"
#include "ui/KarnaughView.h"
#include "ui/TruthTableModel.h"

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
      if (RunCommand(source.System, mode, {}, host) != TRunOutcome::Completed) continue;
      TKarnaughView view(source);
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
          for (const auto& piece : loop.Pieces)
            inside |= piece.Shape.contains(centre) && piece.Clip.contains(centre);
          QCOMPARE(inside, (term & ~loop.Mask) == loop.Value);
        }
        ++loopsChecked;
      }
      size_t tagged = 0;
      for (size_t i = 0; i < result.Count(); ++i) tagged += result.Tag(i, source.System.CurrentFunction);
      QCOMPARE(resultLoops, tagged);
    }
    QVERIFY(loopsChecked > 200);
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
                    std::abs(c.blue() - loopColor.blue()) < 40;
      }
    QVERIFY(found);
    QFile file(svg);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("<svg"));
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
};

QTEST_MAIN(TestViews)
#include "tst_views.moc"
