#include "ui/TruthTableModel.h"

#include <QBrush>
#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

#include "engine/io/Format.h"

namespace tavro {

namespace {

QString StateText(TTermState s) {
  return s == TTermState::One ? QStringLiteral("1") : s == TTermState::Zero ? QStringLiteral("0") : QStringLiteral("d");
}

const QColor kCurrentColumn(255, 243, 196);

}  // namespace

TTruthTableModel::TTruthTableModel(IFunctionView& source, QObject* parent)
    : QAbstractTableModel(parent), FSource(source) {
  Refresh();
}

void TTruthTableModel::Refresh() {
  const int bits = FSource.InputBits();
  const int inputs = bits <= MaxInputs ? bits : 0;
  // Without any input bits the table still has its one row, the row 0.
  const int rows = bits <= MaxInputs ? 1 << inputs : 0;
  const int functions = FSource.FunctionCount();
  FCurrent = FSource.CurrentFunction();
  if (inputs != FInputs || rows != FRows || functions != FFunctions) {
    beginResetModel();
    FInputs = inputs;
    FRows = rows;
    FFunctions = functions;
    endResetModel();
    return;
  }
  if (FRows > 0) emit dataChanged(index(0, 0), index(FRows - 1, columnCount() - 1));
  emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

int TTruthTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FRows; }

int TTruthTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() || FRows == 0 ? 0 : FInputs + FFunctions;
}

QVariant TTruthTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const uint32_t row = static_cast<uint32_t>(index.row());
  const int column = index.column();
  const bool isFunction = column >= FInputs;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      if (!isFunction) return QString::number((row >> (FInputs - 1 - column)) & 1u);
      return StateText(TermState(FSource.Function(column - FInputs), row));
    case Qt::TextAlignmentRole: return int(Qt::AlignCenter);
    case Qt::BackgroundRole:
      if (isFunction && column - FInputs == FCurrent) return QBrush(kCurrentColumn);
      if (!isFunction) return QBrush(QColor(242, 242, 242));
      return {};
    case Qt::FontRole:
      if (isFunction && column - FInputs == FCurrent) {
        QFont bold;
        bold.setBold(true);
        return bold;
      }
      return {};
    default: return {};
  }
}

QVariant TTruthTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Vertical) {
    if (role == Qt::DisplayRole) return section;
    return {};
  }
  const bool isFunction = section >= FInputs;
  if (role == Qt::DisplayRole) {
    if (!isFunction) return QString::fromStdString(VariableName(section + 1));
    return QStringLiteral("f%1").arg(section - FInputs);
  }
  if (role == Qt::FontRole && isFunction && section - FInputs == FCurrent) {
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  if (role == Qt::BackgroundRole && isFunction && section - FInputs == FCurrent) return QBrush(kCurrentColumn);
  return {};
}

Qt::ItemFlags TTruthTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() >= FInputs) f |= Qt::ItemIsEditable;
  return f;
}

bool TTruthTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole || index.column() < FInputs) return false;
  const QString text = value.toString().trimmed().toLower();
  TTermState state;
  if (text == QLatin1String("0")) state = TTermState::Zero;
  else if (text == QLatin1String("1")) state = TTermState::One;
  else if (text == QLatin1String("d") || text == QLatin1String("x") || text == QLatin1String("-"))
    state = TTermState::DontCare;
  else return false;
  // The source refreshes its views, this model included, after the edit.
  FSource.SetTermState(index.column() - FInputs, static_cast<uint32_t>(index.row()), state);
  return true;
}

bool TTruthTableModel::Cycle(const QModelIndex& index) {
  if (!index.isValid() || index.column() < FInputs) return false;
  const TTermState now = TermState(FSource.Function(index.column() - FInputs), static_cast<uint32_t>(index.row()));
  const TTermState next = now == TTermState::Zero  ? TTermState::One
                          : now == TTermState::One ? TTermState::DontCare
                                                   : TTermState::Zero;
  return setData(index, StateText(next));
}

// ---------------------------------------------------------------------------

TTruthTableWindow::TTruthTableWindow(IFunctionView& source, QWidget* parent)
    : QWidget(parent, Qt::Window), FSource(source) {
  setObjectName(QStringLiteral("TruthTableWindow"));
  auto* layout = new QVBoxLayout(this);
  FNote = new QLabel(this);
  FNote->setWordWrap(true);
  layout->addWidget(FNote);
  FModel = new TTruthTableModel(source, this);
  FTable = new QTableView(this);
  FTable->setObjectName(QStringLiteral("tblTruthTable"));
  FTable->setModel(FModel);
  FTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FTable->setSelectionMode(QAbstractItemView::SingleSelection);
  FTable->horizontalHeader()->setDefaultSectionSize(36);
  FTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  FTable->verticalHeader()->setDefaultSectionSize(22);
  FTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  FTable->installEventFilter(this);
  layout->addWidget(FTable, 1);
  connect(FTable, &QTableView::clicked, this, [this](const QModelIndex& index) { FModel->Cycle(index); });
  resize(420, 520);
  Refresh();
}

void TTruthTableWindow::Refresh() {
  // The cell in use stays where it is when the table keeps its shape.
  const QModelIndex current = FTable->currentIndex();
  const int row = current.row(), column = current.column();
  FModel->Refresh();
  if (row >= 0 && row < FModel->rowCount() && column < FModel->columnCount())
    FTable->setCurrentIndex(FModel->index(row, column));
  setWindowTitle(QStringLiteral("Truth Table - f%1").arg(FSource.CurrentFunction()));
  const int bits = FSource.InputBits();
  if (bits > TTruthTableModel::MaxInputs)
    FNote->setText(QStringLiteral("The truth table shows systems of up to %1 inputs; this one has %2.")
                       .arg(TTruthTableModel::MaxInputs)
                       .arg(bits));
  else
    FNote->setText(QStringLiteral("Click a cell of a function to change it from 0 to 1 to d, or "
                                  "type 0, 1 or d. f%1 is the current function.")
                       .arg(FSource.CurrentFunction()));
}

bool TTruthTableWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FTable && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const QModelIndex index = FTable->currentIndex();
    const QString text = key->text().toLower();
    if (text == QLatin1String(" ")) return FModel->Cycle(index), true;
    if (text == QLatin1String("0") || text == QLatin1String("1") || text == QLatin1String("d") ||
        text == QLatin1String("x") || text == QLatin1String("-")) {
      FModel->setData(index, text);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tavro
