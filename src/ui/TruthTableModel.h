#pragma once
// Every row of the system as a table: the input columns A, B, ... and one
// column per function, the current function highlighted. A function's cell
// is edited by cycling 0 -> 1 -> d or by setting 0, 1 or d directly; the
// edit goes to the system through IFunctionView::SetTermState.

#include <QAbstractTableModel>
#include <QWidget>

#include "ui/FunctionView.h"

class QLabel;
class QTableView;

namespace tavro {

class TTruthTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int MaxInputs = 16;

  explicit TTruthTableModel(IFunctionView& source, QObject* parent = nullptr);

  // Reads the system again; the shape follows its input bits and functions.
  void Refresh();
  int Inputs() const { return FInputs; }
  // The model column of function f.
  int FunctionColumn(int f) const { return FInputs + f; }
  // 0 -> 1 -> d -> 0 in a function's cell.
  bool Cycle(const QModelIndex& index);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Accepts "0", "1", "d" (or "x", "-") in a function's cell.
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

 private:
  IFunctionView& FSource;
  int FInputs = 0;  // input columns shown (0 above MaxInputs)
  int FRows = 0;
  int FFunctions = 0;
  int FCurrent = 0;
};

// The non-modal window: the table and a line that says how to edit it.
class TTruthTableWindow : public QWidget {
  Q_OBJECT

 public:
  explicit TTruthTableWindow(IFunctionView& source, QWidget* parent = nullptr);

  void Refresh();
  TTruthTableModel* Model() const { return FModel; }
  QTableView* Table() const { return FTable; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  IFunctionView& FSource;
  TTruthTableModel* FModel = nullptr;
  QTableView* FTable = nullptr;
  QLabel* FNote = nullptr;
};

}  // namespace tavro
