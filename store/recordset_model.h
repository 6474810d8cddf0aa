#pragma once

#include <QAbstractTableModel>
#include <QPointer>

class Recordset;

// The rows of a recordset as a table for a grid: one column per field, headed by the field's
// name. Rows are read from the recordset only when a view asks for them (as they are scrolled into
// view), so a whole-table recordset of any size costs only the rows on screen. The model follows
// the recordset: a Refresh or Close resets it, a stored row repaints, an appended row is inserted.
//
// The model itself does not edit; flags() already marks cells editable so that a grid can offer
// its editor, and a subclass can buffer setData() in a pending row and hand it to the recordset
// with storeRow()/appendRow(), whose signals bring the model up to date.
class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit RecordsetModel(Recordset* recordset, QObject* parent = nullptr);

    Recordset* recordset() const { return recordset_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // A missing value reads as an invalid QVariant for the edit role and as empty text for
    // display. A row that cannot be read (the file failed) shows empty.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    QPointer<Recordset> recordset_;
};
