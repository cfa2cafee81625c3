#include "ui/TermList.h"

#include <QItemSelectionModel>

#include "ui/Document.h"

namespace tavro {

TTermListModel::TTermListModel(const TDocument& document, QObject* parent)
    : QAbstractListModel(parent), FDocument(document) {}

int TTermListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FRows; }

QVariant TTermListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  const TTermVector& f = FDocument.Current();
  if (index.row() >= f.Count()) return {};
  QString text = QString::number(f.GetTerm(index.row()));
  if (f.GetDontCare(index.row())) text += QLatin1Char('d');
  return text;
}

void TTermListModel::Reload() {
  beginResetModel();
  FRows = FDocument.Current().Count();
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
