#include "store/recordset.h"

#include "store/bound_fields.h"
#include "store/contact_table.h"
#include "store/lookup_statement.h"
#include "store/row_writer.h"
#include "store/store_error.h"

#include <algorithm>

Recordset::Recordset(QObject* parent) : QObject(parent) {}

Recordset::~Recordset() = default;

void Recordset::setBoundFields(BoundFields* fields) {
    fields_ = fields;
}

void Recordset::setBusyTimeout(int milliseconds) {
    busyTimeoutMs_ = milliseconds;
    if (connection_)
        connection_->setBusyTimeout(milliseconds);
}

void Recordset::fetch(const QString& path, const QString& recordSource) {
    const RecordSourceQuery query = parseRecordSource(recordSource);
    // The kept connection is used again while the path still names the same file; otherwise the
    // file is opened afresh, and checked, before anything is read.
    std::unique_ptr<BookConnection> opened;
    BookConnection* connection = connection_.get();
    if (!connection || connection->path() != path || !connection->stillReachesFile()) {
        opened = std::make_unique<BookConnection>(path, busyTimeoutMs_);
        connection = opened.get();
    }
    FetchedRows fetched = fetchRows(*connection, query);

    // Nothing has changed so far; from here on nothing fails.
    if (opened)
        connection_ = std::move(opened);
    const bool empty = fetched.firstPage.empty();
    status_ = Status::Open;
    rowsFromReplacedFile_ = false;
    rows_ = RecordSourceRows(*connection_, std::move(fetched));
    dropEditBuffer();
    current_ = empty ? -1 : 0;
    fill(empty ? RowValues{} : rows_.row(0).values);
    emit refreshed();
    emit currentRowChanged(current_);
}

void Recordset::AddNew() {
    requireOpen(QStringLiteral("AddNew"));
    mode_ = EditMode::Adding;
    buffer_ = {};
    fill({});
}

void Recordset::Edit() {
    requireOpen(QStringLiteral("Edit"));
    if (current_ < 0)
        throw StoreError(QStringLiteral("Edit failed: there is no current row (the record source "
                                        "matched no contacts)."));
    TableRow row = connection_->readRow(rows_.rowid(current_));
    if (!row.exists)
        RowWriter::rowGone(connection_->path());
    if (rowsFromReplacedFile_ && row.values != shown_)
        replacedSinceRead();
    // The bound fields keep their texts: what was typed before Edit is part of the edit.
    buffer_ = std::move(row.values);
    mode_ = EditMode::Editing;
}

void Recordset::Update() {
    requireOpen(QStringLiteral("Update"));
    if (mode_ == EditMode::None)
        throw StoreError(QStringLiteral("Update failed: no AddNew or Edit is under way."));
    // Nothing of the recordset changes until the row is stored, so a failed Update can be retried.
    emit rowAboutToBeStored();
    const QHash<int, QVariant> changes = changedValues();
    if (mode_ == EditMode::Adding) {
        storeNewRow(changes);
        return;
    }
    // The edit started from the row as read by Edit.
    write(rows_.rowid(current_), changes, &buffer_);
    dropEditBuffer();
    rows_.forget(current_);
    emit rowStored(current_);
    fillFromCurrent();
}

void Recordset::storeNewRow(const QHash<int, QVariant>& values) {
    const std::int64_t rowid = write(std::nullopt, values, nullptr);
    dropEditBuffer();
    // The new row joins at the end; the row that was current before AddNew is current again.
    joinAppended(rowid);
    fillFromCurrent();
}

void Recordset::CancelUpdate() {
    requireOpen(QStringLiteral("CancelUpdate"));
    if (mode_ == EditMode::None)
        throw StoreError(QStringLiteral("CancelUpdate failed: no AddNew or Edit is under way."));
    dropEditBuffer();
    fillFromCurrent();
}

void Recordset::Close() {
    requireOpen(QStringLiteral("Close"));
    // The bound fields keep their texts; the connection stays open for the next fetch.
    status_ = Status::Closed;
    rows_ = {};
    current_ = -1;
    dropEditBuffer();
    emit refreshed();
    emit currentRowChanged(-1);
}

qsizetype Recordset::RecordCount() const {
    return rows_.count();
}

qsizetype Recordset::AbsolutePosition() const {
    return current_;
}

void Recordset::MoveFirst() {
    step([](qsizetype, qsizetype) { return qsizetype(0); });
}

void Recordset::MovePrevious() {
    step([](qsizetype current, qsizetype) { return std::max<qsizetype>(current - 1, 0); });
}

void Recordset::MoveNext() {
    step([](qsizetype current, qsizetype count) { return std::min(current + 1, count - 1); });
}

void Recordset::MoveLast() {
    step([](qsizetype, qsizetype count) { return count - 1; });
}

void Recordset::moveTo(qsizetype row) {
    requireOpen(QStringLiteral("Move"));
    requireRow(row, QStringLiteral("Move"));
    step([row](qsizetype, qsizetype) { return row; });
}

// Stores what was typed into the row being left, then makes target(current, count) current.
void Recordset::step(const std::function<qsizetype(qsizetype, qsizetype)>& target) {
    requireOpen(QStringLiteral("Move"));
    storeLeftRow();
    if (rows_.count() == 0)
        return;
    current_ = target(current_, rows_.count());
    fillFromCurrent();
    emit currentRowChanged(current_);
}

// The row being left keeps what was typed into it: a pending AddNew or Edit is stored as Update
// stores it, and changed fields without one are stored over the current row.
void Recordset::storeLeftRow() {
    if (mode_ != EditMode::None) {
        Update();
        return;
    }
    if (changedValues().isEmpty() || current_ < 0)
        return;
    emit rowAboutToBeStored();
    const QHash<int, QVariant> changes = changedValues();
    write(rows_.rowid(current_), changes, rows_.valuesAsRead(current_));
    rows_.forget(current_);
    emit rowStored(current_);
}

QStringList Recordset::fieldNames() const {
    return contact_table::columnNames();
}

QVariant Recordset::fieldValue(qsizetype row, int column) {
    requireOpen(QStringLiteral("Reading a row"));
    requireRow(row, QStringLiteral("Reading a row"));
    if (column < 0 || column >= contact_table::kColumnCount)
        return {};
    return rows_.row(row).values[std::size_t(column)];
}

void Recordset::rereadRows() {
    rows_.forgetValues();
}

void Recordset::storeRow(qsizetype row, const QHash<int, QVariant>& changes) {
    requireOpen(QStringLiteral("Storing a row"));
    requireRow(row, QStringLiteral("Storing a row"));
    write(rows_.rowid(row), changes, rows_.valuesAsRead(row));
    rows_.forget(row);
    emit rowStored(row);
}

qsizetype Recordset::appendRow(const QHash<int, QVariant>& values) {
    requireOpen(QStringLiteral("Adding a row"));
    return joinAppended(write(std::nullopt, values, nullptr));
}

qsizetype Recordset::joinAppended(std::int64_t rowid) {
    const qsizetype position = rows_.append(rowid);
    emit rowAppended(position);
    return position;
}

void Recordset::dropEditBuffer() {
    mode_ = EditMode::None;
    buffer_ = {};
}

void Recordset::requireOpen(const QString& operation) const {
    if (status_ == Status::NeverFetched)
        throw StoreError(QStringLiteral("%1 failed: the data control has not fetched any rows "
                                        "yet. Refresh it first.")
                             .arg(operation));
    if (status_ == Status::Closed)
        throw StoreError(QStringLiteral("%1 failed: the recordset is closed. Refresh the data "
                                        "control first.")
                             .arg(operation));
}

void Recordset::requireRow(qsizetype row, const QString& operation) const {
    const qsizetype count = rows_.count();
    if (row < 0 || row >= count)
        throw StoreError(QStringLiteral("%1 failed: there is no row %2 (the recordset has %3 "
                                        "rows).")
                             .arg(operation)
                             .arg(row)
                             .arg(count));
}

// The bound fields always show the row as stored now, read afresh.
void Recordset::fill(const RowValues& values) {
    if (fields_)
        fields_->fill(values);
    shown_ = values;
}

void Recordset::fillFromCurrent() {
    if (current_ < 0) {
        fill({});
        return;
    }
    fill(connection_->readRow(rows_.rowid(current_)).values);
}

QHash<int, QVariant> Recordset::changedValues() const {
    return fields_ ? fields_->changedValues() : QHash<int, QVariant>();
}

// Writes the given columns as a new row (no rowid) or over an existing one, in one transaction.
// `asRead` is the existing row as the user last saw it, if known. Returns the row's rowid.
std::int64_t Recordset::write(std::optional<std::int64_t> rowid,
                              const QHash<int, QVariant>& columns, const RowValues* asRead) {
    RowWriter::check(columns);
    // Counted in the file the rows were fetched from, before the write may open the file afresh
    // or add a row to it.
    rows_.countUncounted();
    // Reaching the file may drop the values read from it, which asRead may point into.
    const std::optional<RowValues> seen =
        asRead ? std::optional<RowValues>(*asRead) : std::optional<RowValues>();
    reachCurrentFile(rowid, seen ? &*seen : nullptr);
    RowWriter writer(*connection_);
    if (!rowid)
        return writer.insert(columns);
    writer.update(*rowid, columns);
    return *rowid;
}

// The file may have been removed or replaced since it was opened, and a write must never land in
// a file nobody can reach any more. Opening the file now at the path says what is wrong with it,
// if anything. A new row goes into that book. A change to an existing row goes there only if the
// row of the same rowid still holds what the user last saw of it, as in a backup put back in
// place; otherwise the rowid may name another contact, and the change is refused.
void Recordset::reachCurrentFile(std::optional<std::int64_t> rowid, const RowValues* asRead) {
    if (!connection_->stillReachesFile()) {
        connection_->reopen();
        rows_.forgetValues(); // they were read from the old file
        rowsFromReplacedFile_ = status_ == Status::Open;
    }
    if (rowid && rowsFromReplacedFile_) {
        const TableRow there = connection_->readRow(*rowid);
        if (!asRead || !there.exists || there.values != *asRead)
            replacedSinceRead();
    }
}

void Recordset::replacedSinceRead() const {
    throw StoreError(QStringLiteral("The address book \"%1\" was replaced after this contact was "
                                    "read, and the contact is not the same in it. Nothing was "
                                    "stored; search for the contact again.")
                         .arg(connection_->path()));
}
