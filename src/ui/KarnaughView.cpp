#include "ui/KarnaughView.h"

#include <cmath>
#include <exception>

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QSvgGenerator>
#include <QVBoxLayout>

#include "engine/core/FunctionSystem.h"
#include "engine/io/Format.h"
#include "engine/run/Minimize.h"

namespace tavro {

namespace {

constexpr int kCell = kKarnaughCell;  // cell side
constexpr int kMargin = 16;
constexpr int kTitleHeight = 26;  // the line above the maps
constexpr int kLabelWidth = 44;   // row labels left of a map
constexpr int kLabelHeight = 40;  // map title and column labels above a map
constexpr int kGap = 28;          // between two maps
constexpr int kLegendLine = 20;
constexpr int kMinWidth = 440;

QString Names(int first, int count) {
  QString s;
  for (int p = first; p < first + count; ++p) s += QString::fromStdString(VariableName(p));
  return s;
}

QColor LoopColor(uint32_t value, uint32_t mask) {
  const THsv hsv = KarnaughLoopColor(value, mask);
  return QColor::fromHsvF(static_cast<float>(hsv.Hue), static_cast<float>(hsv.Saturation),
                          static_cast<float>(hsv.Value));
}

}  // namespace

// ---------------------------------------------------------------------------

TKarnaughView::TKarnaughView(IFunctionView& source, QWidget* parent) : QWidget(parent), FSource(source) {
  setObjectName(QStringLiteral("KarnaughView"));
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::white);
  setPalette(p);
  Refresh();
}

QRectF TKarnaughView::GridRect(int map) const {
  const int across = FLayout.MapsAcross();
  const int blockW = kLabelWidth + FLayout.Columns() * kCell;
  const int blockH = kLabelHeight + FLayout.Rows() * kCell;
  const int gx = map % across, gy = map / across;
  return QRectF(kMargin + gx * (blockW + kGap) + kLabelWidth,
                kMargin + kTitleHeight + gy * (blockH + kGap) + kLabelHeight, FLayout.Columns() * kCell,
                FLayout.Rows() * kCell);
}

QRectF TKarnaughView::CellRect(uint32_t term) const {
  const TKarnaughCell cell = KarnaughCell(FLayout, term);
  const QRectF grid = GridRect(cell.Map);
  return QRectF(grid.left() + cell.Column * kCell, grid.top() + cell.Row * kCell, kCell, kCell);
}

void TKarnaughView::AddLoop(uint32_t value, uint32_t mask, bool prime, bool pos, int index) {
  TLoop loop;
  loop.Value = value;
  loop.Mask = mask;
  loop.Prime = prime;
  loop.Color = LoopColor(value, mask);
  TCover one(FLayout.Inputs, 1);
  const uint64_t tag = 1;
  one.Add(value, mask, &tag);
  std::string text = pos ? FormatPOS(one) : FormatSOP(one);
  text = text.substr(5, text.size() - 7);  // "f0 = " ... "\r\n"
  loop.Text = QString::fromStdString(text);

  // Nested loops stay apart: each is drawn a little further inside its cells.
  const double inset = KarnaughLoopInset(prime, index);
  for (const TKarnaughPiece& piece : KarnaughPieces(FLayout, value, mask)) {
    const QRectF grid = GridRect(piece.Map);
    const QRectF shape(grid.left() + piece.Column * kCell + inset, grid.top() + piece.Row * kCell + inset,
                       piece.Columns * kCell - 2 * inset, piece.Rows * kCell - 2 * inset);
    loop.Pieces.push_back({shape, grid});
  }
  FLoops.push_back(std::move(loop));
}

void TKarnaughView::Refresh() {
  const int inputs = FSource.InputBits();
  FFunction = FSource.CurrentFunction();
  const TTermVector& function = FSource.Function(FFunction);
  FMaxterms = function.IsMaxterms();
  FLoops.clear();
  FHazards.clear();
  FValues.clear();
  FMessage.clear();
  FResultNote.clear();
  FTitle = QStringLiteral("f%1 (%2)")
               .arg(FFunction)
               .arg(FMaxterms ? QStringLiteral("maxterms") : QStringLiteral("minterms"));
  if (inputs < 1) {
    FMessage = QStringLiteral("%1: the system has no terms yet.").arg(FTitle);
  } else if (inputs > MaxInputs) {
    FMessage = QStringLiteral("%1: Karnaugh maps are drawn for 1 to %2 inputs; the system has %3.")
                   .arg(FTitle)
                   .arg(MaxInputs)
                   .arg(inputs);
  }
  if (!FMessage.isEmpty()) {
    FLayout = {};
    // Measured in the bold font it is drawn in, and wrapped at the width.
    const QRect text = QFontMetrics(TFonts(font()).Bold)
                           .boundingRect(QRect(0, 0, kMinWidth - 2 * kMargin, 10000), Qt::TextWordWrap, FMessage);
    FSize = QSize(kMinWidth, kMargin * 2 + std::max(kTitleHeight, text.height() + 4));
    updateGeometry();
    update();
    return;
  }

  FLayout = KarnaughLayout(inputs);
  const uint32_t rows = 1u << inputs;
  for (uint32_t r = 0; r < rows; ++r) FValues.push_back(TermState(function, r));

  AddResultLoops(inputs);

  const int across = FLayout.MapsAcross(), down = FLayout.Maps() / across;
  const int blockW = kLabelWidth + FLayout.Columns() * kCell;
  const int blockH = kLabelHeight + FLayout.Rows() * kCell;
  const QFontMetrics metrics(font());
  int width = 2 * kMargin + across * blockW + (across - 1) * kGap;
  for (const QString& line : LegendLines()) width = std::max(width, 2 * kMargin + 30 + metrics.horizontalAdvance(line));
  const int height = 2 * kMargin + kTitleHeight + down * blockH + (down - 1) * kGap + 12 +
                     static_cast<int>(LegendLines().size()) * kLegendLine;
  FSize = QSize(std::max(width, kMinWidth), height);
  updateGeometry();
  update();
}

void TKarnaughView::AddResultLoops(int inputs) {
  const TCover* result = FSource.Result();
  const bool pos = FSource.ResultMode() == modePOS;
  if (result && result->Width == inputs && result->FunctionCount == FSource.FunctionCount()) {
    int index = 0;
    for (size_t i = 0; i < result->Count(); ++i) {
      if (!result->Tag(i, FFunction)) continue;
      AddLoop(result->Value(i), result->Mask(i), false, pos, index++);
      for (int g = 0; g < result->FunctionCount; ++g)
        if (g != FFunction && result->Tag(i, g)) FLoops.back().SharedWith.push_back(g);
    }
    FResultNote = QStringLiteral("%1 result: %2 cube(s)").arg(pos ? "POS" : "SOP").arg(index);
    FindHazards(inputs, pos);
    if (FSource.ShowPrimes()) {
      // The primes of the run, found again: the functions have not changed
      // since, and a system of six inputs is quickly done.
      try {
        std::vector<TTermVector> work;
        for (int f = 0; f < FSource.FunctionCount(); ++f) {
          const TTermVector& g = FSource.Function(f);
          work.push_back(g.IsMaxterms() == pos ? g : ComplementTerms(g, inputs));
        }
        const TCover primes = MinimizeFunctions(work, inputs, nullptr).Primes;
        int shown = 0;
        for (size_t i = 0; i < primes.Count(); ++i) {
          if (!primes.Tag(i, FFunction)) continue;
          bool chosen = false;
          for (const TLoop& l : FLoops) chosen |= !l.Prime && l.Value == primes.Value(i) && l.Mask == primes.Mask(i);
          if (!chosen) AddLoop(primes.Value(i), primes.Mask(i), true, pos, shown++);
        }
      } catch (const std::exception&) {
        // No primes then; the result is still shown.
      }
    }
  } else {
    FResultNote = QStringLiteral("no current result (run SOP or POS to see the loops)");
  }
}

void TKarnaughView::FindHazards(int inputs, bool pos) {
  const TTermState target = pos ? TTermState::Zero : TTermState::One;
  for (uint32_t t = 0; t < FValues.size(); ++t) {
    if (FValues[t] != target) continue;
    for (int b = 0; b < inputs; ++b) {
      const uint32_t other = t | uint32_t{1} << b;
      if (other == t || FValues[other] != target) continue;
      const bool held = std::any_of(FLoops.begin(), FLoops.end(), [&](const TLoop& loop) {
        return !loop.Prime && (t & ~loop.Mask) == loop.Value && (other & ~loop.Mask) == loop.Value;
      });
      if (!held) FHazards.emplace_back(t, other);
    }
  }
}

std::vector<QString> TKarnaughView::LegendLines() const {
  std::vector<QString> lines;
  for (const TLoop& loop : FLoops) {
    QString line = (loop.Prime ? QStringLiteral("prime ") : QString()) + loop.Text;
    if (!loop.SharedWith.empty()) {
      QStringList names;
      for (int g : loop.SharedWith) names << QStringLiteral("f%1").arg(g);
      line += QStringLiteral("   shared with ") + names.join(QStringLiteral(", "));
    }
    lines.push_back(line);
  }
  if (!FHazards.empty())
    lines.push_back(QStringLiteral("hazard: %1 pair(s) of adjacent %2s in no common loop")
                        .arg(FHazards.size())
                        .arg(FSource.ResultMode() == modePOS ? 0 : 1));
  return lines;
}

TKarnaughView::TFonts::TFonts(const QFont& font) : Base(font), Bold(font), Small(font) {
  Bold.setBold(true);
  Small.setPointSizeF(std::max(5.0, font.pointSizeF() * 0.7));
}

QPen TKarnaughView::LoopPen(const TLoop& loop) {
  const TKarnaughStroke stroke = KarnaughStroke(loop.Prime, !loop.SharedWith.empty());
  QPen pen(loop.Color, stroke.Width);
  if (stroke.Line == TKarnaughLine::Dotted) pen.setStyle(Qt::DotLine);
  else if (stroke.Line == TKarnaughLine::Dashed) pen.setStyle(Qt::DashLine);
  return pen;
}

void TKarnaughView::Paint(QPainter& painter) const {
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.fillRect(QRect(QPoint(0, 0), FSize), Qt::white);
  const TFonts fonts(font());

  painter.setPen(Qt::black);
  painter.setFont(fonts.Bold);
  const QRectF titleRect(kMargin, kMargin, FSize.width() - 2 * kMargin, kTitleHeight);
  if (!FMessage.isEmpty()) {
    painter.drawText(QRectF(kMargin, kMargin, FSize.width() - 2 * kMargin, FSize.height() - 2 * kMargin),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, FMessage);
    return;
  }
  painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("%1, %2 input(s); %3").arg(FTitle).arg(FLayout.Inputs).arg(FResultNote));
  PaintMapLabels(painter, fonts);
  PaintCells(painter, fonts, false);

  // Loops, cut to their map: each piece's stroke is made a shape and cut
  // there, so that an SVG (which keeps no clipping) shows what the PNG does.
  painter.setPen(Qt::NoPen);
  for (const TLoop& loop : FLoops) {
    const QPainterPathStroker stroker(LoopPen(loop));
    for (const TPiece& piece : loop.Pieces) {
      QPainterPath shape, clip;
      shape.addRoundedRect(piece.Shape, kKarnaughLoopRadius, kKarnaughLoopRadius);
      clip.addRect(piece.Clip.adjusted(-1, -1, 1, 1));
      painter.fillPath(stroker.createStroke(shape).intersected(clip), loop.Color);
    }
  }
  PaintHazards(painter);
  // The cells' numbers and values over the loops.
  PaintCells(painter, fonts, true);

  // Legend.
  painter.setFont(fonts.Base);
  const auto lines = LegendLines();
  const int across = FLayout.MapsAcross(), down = FLayout.Maps() / across;
  double y = kMargin + kTitleHeight + down * (kLabelHeight + FLayout.Rows() * kCell) + (down - 1) * kGap + 12;
  for (size_t i = 0; i < lines.size(); ++i, y += kLegendLine) {
    if (i < FLoops.size()) {
      painter.setPen(LoopPen(FLoops[i]));
      painter.drawRoundedRect(QRectF(kMargin, y + 3, 22, kLegendLine - 6), 5, 5);
    } else {
      painter.setPen(HazardPen());
      painter.drawLine(QPointF(kMargin + 2, y + kLegendLine / 2.0), QPointF(kMargin + 20, y + kLegendLine / 2.0));
    }
    painter.setPen(Qt::black);
    painter.drawText(QRectF(kMargin + 30, y, FSize.width() - kMargin - 30, kLegendLine),
                     Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
  }
}

QPen TKarnaughView::HazardPen() { return QPen(QColor(220, 0, 0), 3, Qt::SolidLine, Qt::RoundCap); }

void TKarnaughView::PaintHazards(QPainter& painter) const {
  // Side by side in one map: a bar across the border of the two cells; at
  // the two ends of a row or column (neighbours around the edge): a bar from
  // each to the edge; in two maps: a ring in each.
  painter.setPen(HazardPen());
  painter.setBrush(Qt::NoBrush);
  for (const auto& [a, b] : FHazards) {
    const QRectF ra = CellRect(a), rb = CellRect(b);
    const QPointF d = rb.center() - ra.center();
    const bool sameMap = KarnaughCell(FLayout, a).Map == KarnaughCell(FLayout, b).Map;
    if (sameMap && std::abs(std::abs(d.x()) + std::abs(d.y()) - kCell) < 0.5) {
      painter.drawLine(ra.center() + d * 0.25, rb.center() - d * 0.25);
    } else if (sameMap && (std::abs(d.x()) < 0.5 || std::abs(d.y()) < 0.5)) {
      const QPointF unit = d / std::hypot(d.x(), d.y()) * static_cast<double>(kCell);
      painter.drawLine(ra.center() - unit * 0.3, ra.center() - unit * 0.5);
      painter.drawLine(rb.center() + unit * 0.3, rb.center() + unit * 0.5);
    } else {
      for (const QRectF& r : {ra, rb}) painter.drawEllipse(r.center(), kCell * 0.3, kCell * 0.3);
    }
  }
}

void TKarnaughView::PaintMapLabels(QPainter& painter, const TFonts& fonts) const {
  const QString rowNames = Names(FLayout.FirstRowInput(), FLayout.RowBits);
  const QString columnNames = Names(FLayout.FirstColumnInput(), FLayout.ColumnBits);
  for (int map = 0; map < FLayout.Maps(); ++map) {
    const QRectF grid = GridRect(map);
    painter.setPen(Qt::black);
    painter.setFont(fonts.Bold);
    if (FLayout.MapBits > 0)
      painter.drawText(QRectF(grid.left(), grid.top() - kLabelHeight, grid.width(), 20), Qt::AlignCenter,
                       QStringLiteral("%1 = %2").arg(Names(FLayout.FirstMapInput(), FLayout.MapBits),
                                                     QString::fromStdString(KarnaughMapBits(FLayout, map))));
    painter.setFont(fonts.Base);
    painter.drawText(QRectF(grid.left() - kLabelWidth, grid.top() - 20, kLabelWidth, 20), Qt::AlignCenter,
                     rowNames + QLatin1Char('\\') + columnNames);
    for (int c = 0; c < FLayout.Columns(); ++c)
      painter.drawText(QRectF(grid.left() + c * kCell, grid.top() - 20, kCell, 20), Qt::AlignCenter,
                       QString::fromStdString(KarnaughColumnBits(FLayout, c)));
    for (int r = 0; r < FLayout.Rows(); ++r)
      painter.drawText(QRectF(grid.left() - kLabelWidth, grid.top() + r * kCell, kLabelWidth - 6, kCell),
                       Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(KarnaughRowBits(FLayout, r)));
  }
}

void TKarnaughView::PaintCells(QPainter& painter, const TFonts& fonts, bool text) const {
  // The value in the function's kind stands out, the other is grey.
  const TTermState listed = FMaxterms ? TTermState::Zero : TTermState::One;
  for (uint32_t term = 0; term < FValues.size(); ++term) {
    const QRectF cell = CellRect(term);
    if (!text) {
      painter.setPen(QColor(160, 160, 160));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(cell);
      continue;
    }
    // The number on a light backing, readable where a loop passes under it.
    painter.setFont(fonts.Small);
    const QString number = QString::number(term);
    const QRectF numberRect = painter.boundingRect(cell.adjusted(3, 1, -2, -2), Qt::AlignLeft | Qt::AlignTop, number);
    painter.fillRect(numberRect.adjusted(-1, 0, 1, 0), QColor(255, 255, 255, 210));
    painter.setPen(QColor(160, 160, 160));
    painter.drawText(numberRect, Qt::AlignLeft | Qt::AlignTop, number);
    const TTermState v = FValues[term];
    painter.setFont(v == TTermState::Zero || v == TTermState::One ? fonts.Bold : fonts.Base);
    painter.setPen(v == listed ? Qt::black : v == TTermState::DontCare ? QColor(30, 90, 200) : QColor(175, 175, 175));
    painter.drawText(cell, Qt::AlignCenter,
                     v == TTermState::One    ? QStringLiteral("1")
                     : v == TTermState::Zero ? QStringLiteral("0")
                                             : QStringLiteral("d"));
  }
}

void TKarnaughView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Paint(painter);
}

bool TKarnaughView::ExportPng(const QString& path) const {
  QImage image(FSize, QImage::Format_ARGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    Paint(painter);
  }
  return image.save(path, "PNG");
}

bool TKarnaughView::ExportSvg(const QString& path) const {
  QSvgGenerator generator;
  generator.setFileName(path);
  generator.setSize(FSize);
  generator.setViewBox(QRect(QPoint(0, 0), FSize));
  generator.setTitle(QStringLiteral("Karnaugh map of f%1").arg(FFunction));
  QPainter painter;
  if (!painter.begin(&generator)) return false;
  Paint(painter);
  return painter.end();
}

// ---------------------------------------------------------------------------

TKarnaughWindow::TKarnaughWindow(IFunctionView& source, TSaveName saveName, TShowError showError, QWidget* parent)
    : QWidget(parent, Qt::Window), FSource(source), FSaveName(std::move(saveName)), FShowError(std::move(showError)) {
  setObjectName(QStringLiteral("KarnaughWindow"));
  auto* layout = new QVBoxLayout(this);
  FScroll = new QScrollArea(this);
  FView = new TKarnaughView(source, FScroll);
  FScroll->setWidget(FView);
  FScroll->setWidgetResizable(false);
  FScroll->setBackgroundRole(QPalette::Base);
  layout->addWidget(FScroll, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* png = new QPushButton(QStringLiteral("Export PNG..."), this);
  png->setObjectName(QStringLiteral("btnExportPng"));
  auto* svg = new QPushButton(QStringLiteral("Export SVG..."), this);
  svg->setObjectName(QStringLiteral("btnExportSvg"));
  buttons->addWidget(png);
  buttons->addWidget(svg);
  layout->addLayout(buttons);
  connect(png, &QPushButton::clicked, this, [this] { Export(false); });
  connect(svg, &QPushButton::clicked, this, [this] { Export(true); });
  Refresh();
  const QSize hint = FView->sizeHint();
  resize(std::min(hint.width() + 40, 1000), std::min(hint.height() + 80, 800));
}

void TKarnaughWindow::Refresh() {
  FView->Refresh();
  FView->resize(FView->sizeHint());
  setWindowTitle(QStringLiteral("Karnaugh Map - f%1").arg(FSource.CurrentFunction()));
}

void TKarnaughWindow::Export(bool svg) {
  if (!FSaveName) return;
  const auto name = FSaveName(svg);
  if (!name) return;
  const QString& path = *name;
  if (!(svg ? FView->ExportSvg(path) : FView->ExportPng(path)) && FShowError)
    FShowError(QStringLiteral("Cannot write %1").arg(path));
}

}  // namespace tavro
