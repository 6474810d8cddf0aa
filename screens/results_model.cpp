#include "screens/results_model.h"

#include "widgets/data_control.h"

const QString ResultsModel::kCurrentMarker = QStringLiteral("\u25B6");
const QString ResultsModel::kNewLineMarker = QStringLiteral("*");
const QString ResultsModel::kChangedMarker = QStringLiteral("\u270E");

ResultsModel::ResultsModel(DataControl* data, QAbstractItemModel* rows, QObject* parent)
    : QIdentityProxyModel(parent), data_(data) {
    // Rows come only at the end of a fetch, appended in front of the new line. Seen before the
    // proxy passes the insertion on, so that views find the rows moved and counted.
    connect(rows, &QAbstractItemModel::rowsAboutToBeInserted, this,
            &ResultsModel::rowsAboutToBeAdded);
    connect(rows, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int first, int last) {
                if (!parent.isValid() && fetchedRows_)
                    *fetchedRows_ += last - first + 1;
            });
    setSourceModel(rows);
}

int ResultsModel::fetchedRows() const {
    if (!fetchedRows_)
        fetchedRows_ = sourceModel() ? sourceModel()->rowCount() : 0;
    return *fetchedRows_;
}

int ResultsModel::newLineRow() const {
    return hasNewLine_ ? fetchedRows() : -1;
}

bool ResultsModel::isNewLine(int row) const {
    return hasNewLine_ && row == newLineRow();
}

int ResultsModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return fetchedRows() + (hasNewLine_ ? 1 : 0);
}

bool ResultsModel::hasChildren(const QModelIndex& parent) const {
    return !parent.isValid() && columnCount() > 0 && (hasNewLine_ || fetchedRows() > 0);
}

// The new line has no row in the data control's model behind it.
QModelIndex ResultsModel::index(int row, int column, const QModelIndex& parent) const {
    if (!parent.isValid() && isNewLine(row) && column >= 0 && column < columnCount())
        return createIndex(row, column);
    return QIdentityProxyModel::index(row, column, parent);
}

QModelIndex ResultsModel::sibling(int row, int column, const QModelIndex& index) const {
    return this->index(row, column, index.parent());
}

QModelIndex ResultsModel::mapToSource(const QModelIndex& proxyIndex) const {
    if (proxyIndex.isValid() && isNewLine(proxyIndex.row()))
        return {};
    return QIdentityProxyModel::mapToSource(proxyIndex);
}

// Each cell is edited where it is, the new line's too.
QModelIndex ResultsModel::buddy(const QModelIndex& index) const {
    return index;
}

bool ResultsModel::hasTypedValues(int row) const {
    return typed_.count(row) > 0;
}

QVariant ResultsModel::storedValue(const QModelIndex& index) const {
    if (isNewLine(index.row()))
        return {};
    return QIdentityProxyModel::data(index, Qt::DisplayRole);
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    QVariant value;
    const auto typed = typed_.find(index.row());
    if (typed != typed_.end() && typed->second.contains(index.column()))
        value = typed->second.value(index.column());
    else
        value = storedValue(index);
    // An editor opens on text, also over a cell that holds no value.
    if (role == Qt::EditRole && !value.isValid())
        return QString();
    return value;
}

bool ResultsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    const int row = index.row();
    const QString text = value.toString();
    // Passing through a cell without changing it changes nothing: a cell without a value keeps
    // none, it does not become empty text.
    if (text == storedValue(index).toString())
        forgetTyped(row, index.column());
    else
        typed_[row].insert(index.column(), text);
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    emitSelectorChanged(row);
    return true;
}

void ResultsModel::forgetTyped(int row, int column) {
    const auto typed = typed_.find(row);
    if (typed == typed_.end())
        return;
    typed->second.remove(column);
    if (typed->second.isEmpty())
        typed_.erase(typed);
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemNeverHasChildren;
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal)
        return QIdentityProxyModel::headerData(section, orientation, role);
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

void ResultsModel::setCurrentRow(int row) {
    if (row == currentRow_)
        return;
    const int previous = currentRow_;
    currentRow_ = row;
    emitSelectorChanged(previous);
    emitSelectorChanged(row);
    if (row >= 0 && !isNewLine(row) && data_ && data_->recordset().absolutePosition() != row)
        data_->moveTo(row);
}

void ResultsModel::storeRow(int row) {
    const auto typed = typed_.find(row);
    if (typed == typed_.end() || !data_)
        return;
    // A copy: storing a new row moves the new line, and its values with it.
    const Values values = typed->second;
    if (isNewLine(row)) {
        // The stored row joins the fetched rows in front of the new line, which is empty again.
        data_->appendRow(values);
        typed_.erase(newLineRow());
        emitRowChanged(newLineRow());
        return;
    }
    data_->storeRow(row, values);
    typed_.erase(row);
    emitRowChanged(row);
}

void ResultsModel::revertRow(int row) {
    typed_.erase(row);
    emitRowChanged(row);
}

void ResultsModel::reload() {
    // Rows never counted were never shown either.
    if (!fetchedRows_)
        return;
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

void ResultsModel::resetInternalData() {
    QIdentityProxyModel::resetInternalData();
    typed_.clear();
    currentRow_ = -1;
    fetchedRows_.reset();
    hasNewLine_ = sourceModel() && columnCount() > 0 && data_ && data_->recordset().isOpen();
}

// Rows at or after the insertion point move down, and so do their typed values and marker.
void ResultsModel::rowsAboutToBeAdded(const QModelIndex& parent, int first, int last) {
    if (parent.isValid())
        return;
    const int count = last - first + 1;
    // The control already holds the new rows: those before them are the rows it announced.
    if (!fetchedRows_)
        fetchedRows_ = sourceModel()->rowCount() - count;
    std::map<int, Values> moved;
    for (auto& [row, values] : typed_)
        moved.emplace(row >= first ? row + count : row, std::move(values));
    typed_ = std::move(moved);
    if (currentRow_ >= first)
        currentRow_ += count;
}
