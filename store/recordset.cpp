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
    // A record source fetched again, as a repeated lookup is, is not read again.
    RecordSourceQuery query = status_ != Status::NeverFetched && recordSource == recordSource_
                                  ? query_
                                  : parseRecordSource(recordSource);
    // The kept connection is used again while the path still names the same file; otherwise the
    // file is opened afresh, and checked.
    std::unique_ptr<BookConnection> opened;
    std::optional<FetchedRows> fetched = fetchThroughKept(path, query);
    if (!fetched) {
        opened = std::make_unique<BookConnection>(path, busyTimeoutMs_);
        fetched = fetchRows(*opened, query);
    }

    // Nothing has changed so far; from here on nothing fails.
    if (opened)
        connection_ = std::move(opened);
    query_ = std::move(query);
    recordSource_ = recordSource;
    dropEditBuffer();
    showFetched(std::move(*fetched));
    fill(current_ < 0 ? RowValues{} : rows_.row(0).values);
    emit refreshed();
    emit currentRowChanged(current_);
}

// The rows of `query` through the kept connection, unless the path no longer names its file, as
// the engine's own look at the path when the read began tells. A book written over in place may
// fail to read instead; a book opened afresh then says what became of it.
std::optional<FetchedRows> Recordset::fetchThroughKept(const QString& path,
                                                       const RecordSourceQuery& query) {
    BookConnection* kept = connection_.get();
    if (!kept || kept->path() != path)
        return std::nullopt;
    const std::uint64_t looks = kept->pathLooks();
    try {
        FetchedRows fetched = fetchRows(*kept, query);
        if (kept->reachedFileSince(looks))
            return fetched;
    } catch (const StoreError&) {
        if (kept->stillReachesFile())
            throw;
    }
    return std::nullopt;
}

// The fetched rows through the kept connection, the first of them current.
void Recordset::showFetched(FetchedRows fetched) {
    const bool empty = fetched.firstPage.empty();
    status_ = Status::Open;
    rows_ = RecordSourceRows(*connection_, std::move(fetched));
    current_ = empty ? -1 : 0;
}

// A rowid names a contact only in the book it was read from. When another file has taken that
// book's place at the path, the rows are kept only if the row at `position` (the one the user is
// working on, -1 for none) still holds what the user last saw of it, as in a copy of the same
// book put back. Otherwise the rows are fetched again from the book there now, with the same
// record source, so that nothing is read from or written to a contact the user never saw: a new
// row being added still belongs to the book at the path, and a change typed on a contact of the
// replaced book stays in the bound fields but is refused. Returns whether that happened.
bool Recordset::followReplacedBook(qsizetype position) {
    if (status_ != Status::Open || connection_->stillReachesFile())
        return false;
    auto opened = std::make_unique<BookConnection>(connection_->path(), busyTimeoutMs_);
    if (holdsWhatWasSeen(*opened, position)) {
        rows_.readThrough(*opened);
        connection_ = std::move(opened);
        return false;
    }
    FetchedRows fetched = fetchRows(*opened, query_);
    // From here on nothing fails.
    connection_ = std::move(opened);
    showFetched(std::move(fetched));
    keepTypedOrFill();
    emit refreshed();
    emit currentRowChanged(current_);
    return true;
}

bool Recordset::holdsWhatWasSeen(BookConnection& book, qsizetype position) const {
    if (!rows_.contains(position))
        return false;
    // The row the bound fields show, or the edit started from; else the grid's row as read.
    const RowValues* seen = position != current_         ? rows_.valuesAsRead(position)
                            : mode_ == EditMode::Editing ? &buffer_
                                                         : &shown_;
    if (!seen)
        return false;
    const TableRow there = book.readRow(rows_.rowid(position));
    return there.exists && there.values == *seen;
}

void Recordset::keepTypedOrFill() {
    if (mode_ == EditMode::Adding)
        return;
    if (mode_ == EditMode::Editing || !changedValues().isEmpty()) {
        changesFromReplacedBook_ = true;
        return;
    }
    fillFromCurrent();
}

void Recordset::refuseChangesFromReplacedBook() const {
    if (changesFromReplacedBook_)
        replacedSinceRead();
}

void Recordset::addNew() {
    requireOpen("AddNew");
    mode_ = EditMode::Adding;
    buffer_ = {};
    fill({});
}

void Recordset::edit() {
    requireOpen("Edit");
    if (followReplacedBook(current_))
        replacedSinceRead();
    refuseChangesFromReplacedBook();
    if (current_ < 0)
        throw StoreError(QStringLiteral("Edit failed: there is no current row (the record source "
                                        "matched no contacts)."));
    TableRow row = connection_->readRow(rows_.rowid(current_));
    if (!row.exists)
        RowWriter::rowGone(connection_->path());
    // The bound fields keep their texts: what was typed before Edit is part of the edit.
    buffer_ = std::move(row.values);
    mode_ = EditMode::Editing;
}

void Recordset::update() {
    requireOpen("Update");
    if (mode_ == EditMode::None)
        throw StoreError(QStringLiteral("Update failed: no AddNew or Edit is under way."));
    followReplacedBook(current_);
    refuseChangesFromReplacedBook();
    // Nothing of the recordset changes until the row is stored, so a failed Update can be retried.
    emit rowAboutToBeStored();
    const QHash<int, QVariant> changes = changedValues();
    if (mode_ == EditMode::Adding) {
        storeNewRow(changes);
        return;
    }
    write(rows_.rowid(current_), changes);
    dropEditBuffer();
    rows_.forget(current_);
    emit rowStored(current_);
    fillFromCurrent();
}

void Recordset::storeNewRow(const QHash<int, QVariant>& values) {
    const std::int64_t rowid = write(std::nullopt, values);
    dropEditBuffer();
    // The new row joins at the end; the row that was current before AddNew is current again.
    joinAppended(rowid);
    fillFromCurrent();
}

void Recordset::cancelUpdate() {
    requireOpen("CancelUpdate");
    if (mode_ == EditMode::None)
        throw StoreError(QStringLiteral("CancelUpdate failed: no AddNew or Edit is under way."));
    dropEditBuffer();
    fillFromCurrent();
}

void Recordset::close() {
    requireOpen("Close");
    // The bound fields keep their texts; the connection stays open for the next fetch.
    status_ = Status::Closed;
    rows_ = {};
    current_ = -1;
    dropEditBuffer();
    emit refreshed();
    emit currentRowChanged(-1);
}

qsizetype Recordset::recordCount() const {
    return rows_.count();
}

qsizetype Recordset::absolutePosition() const {
    return current_;
}

std::int64_t Recordset::pagesRead() const {
    return connection_ ? connection_->database().pagesRead() : 0;
}

void Recordset::moveFirst() {
    step([](qsizetype) { return qsizetype(0); });
}

void Recordset::movePrevious() {
    step([](qsizetype current) { return std::max<qsizetype>(current - 1, 0); });
}

void Recordset::moveNext() {
    step([this](qsizetype current) { return rows_.contains(current + 1) ? current + 1 : current; });
}

void Recordset::moveLast() {
    step([this](qsizetype) { return rows_.count() - 1; });
}

void Recordset::moveTo(qsizetype row) {
    requireOpen("Move");
    requireRow(row, "Move");
    step([row](qsizetype) { return row; });
}

// Stores what was typed into the row being left, then makes target(current) current. Only a
// target past the first page of a whole table counts it.
void Recordset::step(const std::function<qsizetype(qsizetype)>& target) {
    requireOpen("Move");
    if (followReplacedBook(current_))
        replacedSinceRead();
    storeLeftRow();
    if (!rows_.contains(0))
        return;
    current_ = target(current_);
    fillFromCurrent();
    emit currentRowChanged(current_);
}

// The row being left keeps what was typed into it: a pending AddNew or Edit is stored as Update
// stores it, and changed fields without one are stored over the current row.
void Recordset::storeLeftRow() {
    if (mode_ != EditMode::None) {
        update();
        return;
    }
    if (changedValues().isEmpty() || current_ < 0)
        return;
    refuseChangesFromReplacedBook();
    emit rowAboutToBeStored();
    const QHash<int, QVariant> changes = changedValues();
    write(rows_.rowid(current_), changes);
    rows_.forget(current_);
    emit rowStored(current_);
}

QStringList Recordset::fieldNames() const {
    return contact_table::columnNames();
}

const QVariant& Recordset::fieldValue(qsizetype row, int column) {
    static const QVariant none;
    requireOpen("Reading a row");
    requireRow(row, "Reading a row");
    if (column < 0 || column >= contact_table::kColumnCount)
        return none;
    return rows_.row(row).values[std::size_t(column)];
}

void Recordset::rereadRows() {
    try {
        followReplacedBook(current_);
    } catch (const StoreError&) {
        // Nothing is read from the file that took the book's place; the next operation on the
        // rows says what is wrong with it.
        return;
    }
    rows_.forgetValues();
}

void Recordset::storeRow(qsizetype row, const QHash<int, QVariant>& changes) {
    requireOpen("Storing a row");
    requireRow(row, "Storing a row");
    if (followReplacedBook(row))
        replacedSinceRead();
    write(rows_.rowid(row), changes);
    rows_.forget(row);
    emit rowStored(row);
}

qsizetype Recordset::appendRow(const QHash<int, QVariant>& values) {
    requireOpen("Adding a row");
    followReplacedBook(current_);
    return joinAppended(write(std::nullopt, values));
}

qsizetype Recordset::joinAppended(std::int64_t rowid) {
    const qsizetype position = rows_.append(rowid);
    emit rowAppended(position);
    return position;
}

void Recordset::dropEditBuffer() {
    mode_ = EditMode::None;
    buffer_ = {};
    changesFromReplacedBook_ = false;
}

void Recordset::refuseNotOpen(const char* operation) const {
    if (status_ == Status::NeverFetched)
        throw StoreError(QStringLiteral("%1 failed: the data control has not fetched any rows "
                                        "yet. Refresh it first.")
                             .arg(QLatin1String(operation)));
    throw StoreError(QStringLiteral("%1 failed: the recordset is closed. Refresh the data "
                                    "control first.")
                         .arg(QLatin1String(operation)));
}

void Recordset::refuseMissingRow(qsizetype row, const char* operation) const {
    throw StoreError(QStringLiteral("%1 failed: there is no row %2 (the recordset has %3 rows).")
                         .arg(QLatin1String(operation))
                         .arg(row)
                         .arg(rows_.count()));
}

// The bound fields always show the row as stored now, read afresh.
void Recordset::fill(const RowValues& values) {
    if (fields_)
        fields_->fill(values);
    shown_ = values;
    changesFromReplacedBook_ = false;
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
// Returns the row's rowid.
std::int64_t Recordset::write(std::optional<std::int64_t> rowid,
                              const QHash<int, QVariant>& columns) {
    RowWriter::check(columns);
    // A new row joins the rows at the end, so the table is counted before it holds that row;
    // a row written over changes no count.
    if (!rowid)
        rows_.countUncounted();
    RowWriter writer(*connection_);
    if (!rowid)
        return writer.insert(columns);
    writer.update(*rowid, columns);
    return *rowid;
}

void Recordset::replacedSinceRead() const {
    throw StoreError(QStringLiteral("The address book \"%1\" was replaced by another file after "
                                    "this contact was read. Nothing was stored; search for the "
                                    "contact again.")
                         .arg(connection_->path()));
}
