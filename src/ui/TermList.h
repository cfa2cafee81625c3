#pragma once
// The term list: a view over the current function of the document, one row
// per term, however many terms there are. Rows are made only when painted.

#include <QAbstractListModel>
#include <QListView>

namespace tavro {

class TDocument;

class TTermListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit TTermListModel(const TDocument& document, QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  // Shows the document's current function afresh.
  void Reload();

 private:
  const TDocument& FDocument;
  int FRows = 0;  // what the view was told; the store may have changed since
};

// The list control: a single-selection list with the list box's calls.
class TTermListView : public QListView {
  Q_OBJECT

 public:
  using QListView::QListView;
  int count() const { return model() ? model()->rowCount() : 0; }
  // -1 when no row is selected.
  int currentRow() const;
  void setCurrentRow(int row);
  QString itemText(int row) const;
};

}  // namespace tavro
