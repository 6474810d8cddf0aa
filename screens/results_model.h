#pragma once

#include <QHash>
#include <QIdentityProxyModel>
#include <QPointer>
#include <QVariant>
#include <map>
#include <optional>

class DataControl;

// What the results grid shows: the data control's rows, read lazily through its item model, with
// what the user has typed and not yet stored laid over them, an empty line at the end for a new
// contact, and the record selectors in the vertical header.
//
// Typed values live here and nowhere else until the grid stores their row through the data
// control; a store that fails leaves them in place, so the user still sees what was typed.
// Nothing here removes a row.
class ResultsModel : public QIdentityProxyModel {
    Q_OBJECT
  public:
    // Record selector texts: the current row, the new line and a row with typed, unstored values.
    static const QString kCurrentMarker;
    static const QString kNewLineMarker;
    static const QString kChangedMarker;

    // `rows` is the data control's lazy item model; only the rows on screen are ever read.
    ResultsModel(DataControl* data, QAbstractItemModel* rows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex sibling(int row, int column, const QModelIndex& index) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex buddy(const QModelIndex& index) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The row the record selector marks. Makes it the data control's current row as well, unless
    // it is the new line; a failing move throws StoreError.
    void setCurrentRow(int row);

    bool isNewLine(int row) const;
    bool hasTypedValues(int row) const;
    // Stores the typed values of `row` through the data control, in one transaction: over the
    // row, or as a new row when it is the new line. On failure (StoreError) the values stay.
    void storeRow(int row);
    // Forgets the typed values of `row`; it shows what is stored again.
    void revertRow(int row);
    // Shows the data control's rows afresh without fetching them again.
    void reload();

  protected:
    // A new fetch (or a closed recordset): nothing typed, no current row.
    void resetInternalData() override;

  private:
    using Values = QHash<int, QVariant>;
    int fetchedRows() const;
    int newLineRow() const;
    QVariant storedValue(const QModelIndex& index) const;
    void forgetTyped(int row, int column);
    void emitRowChanged(int row);
    void emitSelectorChanged(int row);
    void rowsAboutToBeAdded(const QModelIndex& parent, int first, int last);

    QPointer<DataControl> data_;
    // The rows of the data control's item model as it last announced them; the control has
    // already changed by the time it announces a change. Asked for only when first needed: a
    // whole table is counted then, which a hidden grid never needs.
    mutable std::optional<int> fetchedRows_;
    bool hasNewLine_ = false;
    int currentRow_ = -1;
    std::map<int, Values> typed_; // by row, the new line's included
};
