#include "screens/results_model.h"

#include "store/data_control.h"

const QString ResultsModel::kCurrentMarker = QStringLiteral("\u25B6");
const QString ResultsModel::kNewLineMarker = QStringLiteral("*");
const QString ResultsModel::kChangedMarker = QStringLiteral("\u270E");

ResultsModel::ResultsModel(DataControl* data, QAbstractItemModel* rows, QObject* parent)
    : QAbstractTableModel(parent), data_(data), rows_(rows) {
    hasNewLine_ = rows_->columnCount() > 0 && data_->Recordset().isOpen();

    connect(rows_, &QAbstractItemModel::modelAboutToBeReset, this,
            &ResultsModel::sourceAboutToBeReset);
    connect(rows_, &QAbstractItemModel::modelReset, this, &ResultsModel::sourceReset);
    connect(rows_, &QAbstractItemModel::rowsAboutToBeInserted, this,
            &ResultsModel::sourceRowsAboutToBeInserted);
    connect(rows_, &QAbstractItemModel::rowsInserted, this, &ResultsModel::sourceRowsInserted);
    connect(rows_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                emit dataChanged(index(topLeft.row(), topLeft.column()),
                                 index(bottomRight.row(), bottomRight.column()));
            });
    connect(rows_, &QAbstractItemModel::headerDataChanged, this,
            [this](Qt::Orientation orientation, int first, int last) {
                if (orientation == Qt::Horizontal)
                    emit headerDataChanged(orientation, first, last);
            });
    // The rows of a fetch never move or go away one by one; anything else the item model reports
    // is taken as a new set of rows.
    connect(rows_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &ResultsModel::sourceAboutToBeReset);
    connect(rows_, &QAbstractItemModel::rowsRemoved, this, &ResultsModel::sourceReset);
    connect(rows_, &QAbstractItemModel::columnsAboutToBeInserted, this,
            &ResultsModel::sourceAboutToBeReset);
    connect(rows_, &QAbstractItemModel::columnsInserted, this, &ResultsModel::sourceReset);
    connect(rows_, &QAbstractItemModel::columnsAboutToBeRemoved, this,
            &ResultsModel::sourceAboutToBeReset);
    connect(rows_, &QAbstractItemModel::columnsRemoved, this, &ResultsModel::sourceReset);
    connect(rows_, &QAbstractItemModel::layoutAboutToBeChanged, this,
            &ResultsModel::sourceAboutToBeReset);
    connect(rows_, &QAbstractItemModel::layoutChanged, this, &ResultsModel::sourceReset);
}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return rows_->rowCount() + (hasNewLine_ ? 1 : 0);
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return rows_->columnCount();
}

bool ResultsModel::isNewLine(int row) const {
    return hasNewLine_ && row == rows_->rowCount();
}

const ResultsModel::Values* ResultsModel::typedValues(int row) const {
    if (isNewLine(row))
        return newLine_.isEmpty() ? nullptr : &newLine_;
    const auto found = changed_.find(row);
    return found == changed_.end() ? nullptr : &found->second;
}

bool ResultsModel::hasTypedValues(int row) const {
    return typedValues(row) != nullptr;
}

QVariant ResultsModel::storedValue(int row, int column) const {
    if (isNewLine(row))
        return {};
    return rows_->data(rows_->index(row, column), Qt::DisplayRole);
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    QVariant value;
    const Values* typed = typedValues(index.row());
    if (typed && typed->contains(index.column()))
        value = typed->value(index.column());
    else
        value = storedValue(index.row(), index.column());
    // An editor opens on text, also over a cell that holds no value.
    if (role == Qt::EditRole && !value.isValid())
        return QString();
    return value;
}

bool ResultsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    const int row = index.row();
    const int column = index.column();
    const QString text = value.toString();
    // Passing through a cell without changing it changes nothing: a cell without a value keeps
    // none, it does not become empty text.
    const bool asStored = text == storedValue(row, column).toString();
    if (isNewLine(row)) {
        if (asStored)
            newLine_.remove(column);
        else
            newLine_.insert(column, text);
    } else if (asStored) {
        auto found = changed_.find(row);
        if (found != changed_.end()) {
            found->second.remove(column);
            if (found->second.isEmpty())
                changed_.erase(found);
        }
    } else {
        changed_[row].insert(column, text);
    }
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    emitSelectorChanged(row);
    return true;
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemNeverHasChildren;
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal)
        return rows_->headerData(section, orientation, role);
    const bool current = section == currentRow_;
    const bool newLine = isNewLine(section);
    const bool typed = hasTypedValues(section);
    switch (role) {
    case Qt::DisplayRole:
        if (typed)
            return kChangedMarker;
        if (current && newLine)
            return kCurrentMarker + kNewLineMarker;
        if (current)
            return kCurrentMarker;
        if (newLine)
            return kNewLineMarker;
        return QString();
    case Qt::ToolTipRole:
    case Qt::AccessibleTextRole: {
        QStringList words;
        words << (newLine ? tr("New row") : tr("Row %1").arg(section + 1));
        if (current)
            words << tr("current");
        if (typed)
            words << tr("changed, not stored yet");
        return words.join(QStringLiteral(", "));
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
        return {};
    }
}

bool ResultsModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && rows_->canFetchMore(QModelIndex());
}

void ResultsModel::fetchMore(const QModelIndex& parent) {
    if (!parent.isValid())
        rows_->fetchMore(QModelIndex());
}

void ResultsModel::setCurrentRow(int row) {
    if (row == currentRow_)
        return;
    const int previous = currentRow_;
    currentRow_ = row;
    emitSelectorChanged(previous);
    emitSelectorChanged(row);
    if (row >= 0 && !isNewLine(row) && data_ && data_->Recordset().AbsolutePosition() != row)
        data_->moveTo(row);
}

void ResultsModel::storeRow(int row) {
    const Values* typed = typedValues(row);
    if (!typed || !data_)
        return;
    if (isNewLine(row)) {
        // The stored row joins the fetched rows in front of the new line, which is empty again.
        data_->appendRow(newLine_);
        newLine_.clear();
        emitRowChanged(rows_->rowCount());
        return;
    }
    data_->storeRow(row, *typed);
    changed_.erase(row);
    emitRowChanged(row);
}

void ResultsModel::revertRow(int row) {
    if (isNewLine(row))
        newLine_.clear();
    else
        changed_.erase(row);
    emitRowChanged(row);
}

void ResultsModel::reload() {
    const int rows = rowCount();
    const int columns = columnCount();
    if (rows > 0 && columns > 0)
        emit dataChanged(index(0, 0), index(rows - 1, columns - 1));
    if (columns > 0)
        emit headerDataChanged(Qt::Horizontal, 0, columns - 1);
}

void ResultsModel::emitRowChanged(int row) {
    const int columns = columnCount();
    if (row < 0 || row >= rowCount() || columns == 0)
        return;
    emit dataChanged(index(row, 0), index(row, columns - 1), {Qt::DisplayRole, Qt::EditRole});
    emitSelectorChanged(row);
}

void ResultsModel::emitSelectorChanged(int row) {
    if (row >= 0 && row < rowCount())
        emit headerDataChanged(Qt::Vertical, row, row);
}

void ResultsModel::sourceAboutToBeReset() {
    beginResetModel();
}

void ResultsModel::sourceReset() {
    changed_.clear();
    newLine_.clear();
    currentRow_ = -1;
    hasNewLine_ = rows_->columnCount() > 0 && data_ && data_->Recordset().isOpen();
    endResetModel();
}

void ResultsModel::sourceRowsAboutToBeInserted(const QModelIndex& parent, int first, int last) {
    if (parent.isValid())
        return;
    beginInsertRows(QModelIndex(), first, last);
    // Rows at or after the insertion point move down, and so do their typed values and marker.
    const int count = last - first + 1;
    std::map<int, Values> moved;
    for (auto& [row, values] : changed_)
        moved.emplace(row >= first ? row + count : row, std::move(values));
    changed_ = std::move(moved);
    if (currentRow_ >= first)
        currentRow_ += count;
}

void ResultsModel::sourceRowsInserted(const QModelIndex& parent) {
    if (!parent.isValid())
        endInsertRows();
}
