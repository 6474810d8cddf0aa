#include "store/recordset_model.h"

#include "store/contact_table.h"
#include "store/recordset.h"
#include "store/store_error.h"

RecordsetModel::RecordsetModel(Recordset* recordset, QObject* parent)
    : QAbstractTableModel(parent), recordset_(recordset) {
    // The recordset has already changed when it signals, and a view reads nothing in between, so
    // each notification is given whole.
    connect(recordset, &Recordset::refreshed, this, [this] {
        beginResetModel();
        endResetModel();
    });
    connect(recordset, &Recordset::rowStored, this, [this](qsizetype row) {
        emit dataChanged(index(int(row), 0), index(int(row), columnCount() - 1));
    });
    connect(recordset, &Recordset::rowAppended, this, [this](qsizetype row) {
        beginInsertRows({}, int(row), int(row));
        endInsertRows();
    });
}

int RecordsetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !recordset_)
        return 0;
    return int(recordset_->recordCount());
}

int RecordsetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : contact_table::kColumnCount;
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !recordset_ || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    QVariant value;
    try {
        value = recordset_->fieldValue(index.row(), index.column());
    } catch (const StoreError&) {
        return {};
    }
    if (role == Qt::DisplayRole && value.isNull())
        return QString();
    return value;
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < contact_table::kColumnCount)
        return QString::fromLatin1(contact_table::kSchema[std::size_t(section)].storedName);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}
