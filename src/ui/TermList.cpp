#include "ui/TermList.h"

#include <QItemSelectionModel>

#include "ui/Document.h"

namespace tavro {

TTermListModel::TTermListModel(const TDocument& document, QObject* parent)
    : QAbstractListModel(parent), FDocument(document) {}

int TTermListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FRows; }

namespace {

// A system whose terms only its PLA rows give (past 24 inputs) lists the
// rows of the current function: the cubes tagged for it, then its don't
// cares (marked d).
std::vector<std::pair<const TCover*, size_t>> RowsOf(const TFunctionSystem& system) {
  std::vector<std::pair<const TCover*, size_t>> rows;
  if (!system.TermsInSource) return rows;
  for (const TCover* cover : {system.SourceCubes.get(), system.SourceDontCares.get()})
    if (cover)
      for (size_t k = 0; k < cover->Count(); ++k)
        if (system.CurrentFunction < cover->FunctionCount && cover->Tag(k, system.CurrentFunction))
          rows.emplace_back(cover, k);
  return rows;
}

}  // namespace

QVariant TTermListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (FDocument.System().TermsInSource && (role == Qt::DisplayRole || role == Qt::ToolTipRole)) {
    const auto rows = RowsOf(FDocument.System());
    if (static_cast<size_t>(index.row()) >= rows.size()) return {};
    const auto& [cover, k] = rows[static_cast<size_t>(index.row())];
    QString text = QString::fromStdString(cover->Pattern(k));
    if (cover == FDocument.System().SourceDontCares.get()) text += QLatin1Char('d');
    return text;
  }
  if (role != Qt::DisplayRole) return {};
  const TTermVector& f = FDocument.Current();
  if (index.row() >= f.Count()) return {};
  QString text = QString::number(f.GetTerm(index.row()));
  if (f.GetDontCare(index.row())) text += QLatin1Char('d');
  return text;
}

void TTermListModel::Reload() {
  beginResetModel();
  FRows = FDocument.System().TermsInSource ? static_cast<int>(RowsOf(FDocument.System()).size())
                                           : FDocument.Current().Count();
  endResetModel();
}

int TTermListView::currentRow() const {
  if (!selectionModel()) return -1;
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.constFirst().row();
}

void TTermListView::setCurrentRow(int row) {
  if (!model()) return;
  setCurrentIndex(model()->index(row, 0));
}

QString TTermListView::itemText(int row) const {
  return model() ? model()->index(row, 0).data().toString() : QString();
}

}  // namespace tavro
