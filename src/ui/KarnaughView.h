#pragma once
// The current function as Karnaugh maps: up to four Gray-coded maps of up
// to 4 x 4 cells, the result's cubes of the function drawn as loops that
// wrap around the edges, each in its own colour, with a legend that names
// the other functions sharing a cube; optionally the prime implicants.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <QColor>
#include <QFont>
#include <QPen>
#include <QRectF>
#include <QString>
#include <QWidget>

#include "engine/io/KarnaughLayout.h"
#include "ui/FunctionView.h"

class QLabel;
class QPainter;
class QScrollArea;

namespace tavro {

class TKarnaughView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int MaxInputs = kKarnaughMaxInputs;

  // One part of a loop: the rounded rectangle, drawn clipped to its map (a
  // loop that wraps around an edge is drawn as open pieces at both edges).
  struct TPiece {
    QRectF Shape;
    QRectF Clip;
  };
  struct TLoop {
    uint32_t Value = 0, Mask = 0;
    bool Prime = false;           // a prime implicant, not a cube of the result
    std::vector<int> SharedWith;  // the other functions the cube serves
    QColor Color;
    QString Text;  // the cube as the text output writes it
    std::vector<TPiece> Pieces;
  };

  explicit TKarnaughView(IFunctionView& source, QWidget* parent = nullptr);

  // Reads the current function and the result again.
  void Refresh();

  // Why nothing is drawn; empty when the maps are drawn.
  QString Message() const { return FMessage; }
  const TKarnaughLayout& Layout() const { return FLayout; }
  const std::vector<TLoop>& Loops() const { return FLoops; }
  // The static hazards of the shown cover: adjacent cells of the function's
  // value (1 after SOP, 0 after POS) that no loop of the result holds both
  // of, as (lower term, higher term).
  const std::vector<std::pair<uint32_t, uint32_t>>& Hazards() const { return FHazards; }
  // The legend's lines: one per loop, then the hazards' where there are any.
  std::vector<QString> LegendLines() const;
  // Where the cell of a term is, in widget coordinates.
  QRectF CellRect(uint32_t term) const;

  // Draws everything on a painter with the widget's size.
  void Paint(QPainter& painter) const;
  bool ExportPng(const QString& path) const;
  bool ExportSvg(const QString& path) const;

  QSize sizeHint() const override { return FSize; }
  QSize minimumSizeHint() const override { return FSize; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  // The view's font, and its bold and small forms.
  struct TFonts {
    explicit TFonts(const QFont& font);
    QFont Base, Bold, Small;
  };

  QRectF GridRect(int map) const;
  void AddLoop(uint32_t value, uint32_t mask, bool prime, bool pos, int index);
  // The loops of the current result for the current function, and its primes
  // when they are wanted.
  void AddResultLoops(int inputs);
  static QPen LoopPen(const TLoop& loop);
  static QPen HazardPen();
  void FindHazards(int inputs, bool pos);
  void PaintHazards(QPainter& painter) const;
  void PaintMapLabels(QPainter& painter, const TFonts& fonts) const;
  // The grid, or (text) the numbers and values in it.
  void PaintCells(QPainter& painter, const TFonts& fonts, bool text) const;

  IFunctionView& FSource;
  TKarnaughLayout FLayout;
  QString FMessage;
  QString FTitle;
  int FFunction = 0;
  bool FMaxterms = false;
  std::vector<TTermState> FValues;
  std::vector<TLoop> FLoops;
  std::vector<std::pair<uint32_t, uint32_t>> FHazards;
  QString FResultNote;
  QSize FSize;
};

// The non-modal window around the view, with the export buttons.
class TKarnaughWindow : public QWidget {
  Q_OBJECT

 public:
  // saveName asks for the path of an SVG (true) or PNG export; nothing:
  // cancelled.
  using TSaveName = std::function<std::optional<QString>(bool svg)>;
  using TShowError = std::function<void(const QString& message)>;
  TKarnaughWindow(IFunctionView& source, TSaveName saveName, TShowError showError, QWidget* parent = nullptr);

  void Refresh();
  TKarnaughView* View() const { return FView; }

 private:
  void Export(bool svg);

  IFunctionView& FSource;
  TSaveName FSaveName;
  TShowError FShowError;
  TKarnaughView* FView = nullptr;
  QScrollArea* FScroll = nullptr;
};

}  // namespace tavro
