#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QPointer>
#include <QVariant>
#include <map>

class DataControl;

// What the results grid shows: the rows of a data control, read lazily through its item model,
// plus what the user has typed and not yet stored, the empty line at the end for a new contact
// and the record selectors in the vertical header.
//
// Typed values stay here until the grid stores their row through the data control; a store that
// fails leaves them in place, so the user still sees what was typed. Nothing here removes a row.
class ResultsModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // Record selector texts: the current row, the new line and a row with typed, unstored values.
    static const QString kCurrentMarker;
    static const QString kNewLineMarker;
    static const QString kChangedMarker;

    // `rows` is the data control's lazy item model; only the rows on screen are ever read.
    ResultsModel(DataControl* data, QAbstractItemModel* rows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // The row the record selector marks. Makes it the data control's current row as well, unless
    // it is the new line; a failing move throws StoreError.
    void setCurrentRow(int row);
    int currentRow() const { return currentRow_; }

    bool isNewLine(int row) const;
    bool hasTypedValues(int row) const;
    // Stores the typed values of `row` through the data control, in one transaction: over the
    // row, or as a new row when it is the new line. On failure (StoreError) the values stay.
    void storeRow(int row);
    // Forgets the typed values of `row`; it shows what is stored again.
    void revertRow(int row);
    // Shows the data control's rows afresh without fetching them again.
    void reload();

  private:
    using Values = QHash<int, QVariant>;
    QVariant storedValue(int row, int column) const;
    const Values* typedValues(int row) const;
    void emitRowChanged(int row);
    void emitSelectorChanged(int row);
    void sourceAboutToBeReset();
    void sourceReset();
    void sourceRowsAboutToBeInserted(const QModelIndex& parent, int first, int last);
    void sourceRowsInserted(const QModelIndex& parent);

    QPointer<DataControl> data_;
    QAbstractItemModel* rows_;
    bool hasNewLine_ = false;
    int currentRow_ = -1;
    std::map<int, Values> changed_; // stored rows with typed values, by row
    Values newLine_;                // what is typed into the new line
};
