#include "store/record_source_rows.h"

RecordSourceRows::RecordSourceRows(BookConnection& connection, FetchedRows fetched)
    : connection_(&connection), ids_(std::move(fetched.ids)), uncounted_(fetched.uncounted) {
    if (!fetched.firstPage.empty())
        pages_.put(0, std::move(fetched.firstPage));
}

void RecordSourceRows::countUncounted() const {
    if (!uncounted_)
        return;
    ids_ = countTable(*connection_, ids_, *uncounted_);
    uncounted_.reset();
}

qsizetype RecordSourceRows::count() const {
    countUncounted();
    return ids_.size();
}

std::int64_t RecordSourceRows::rowid(qsizetype position) const {
    countPast(position);
    return ids_.at(position);
}

const TableRow& RecordSourceRows::readWithPage(qsizetype position) const {
    const qsizetype page = position / kPageRows;
    countPast((page + 1) * kPageRows - 1);
    const std::vector<TableRow>& rows = pages_.put(page, readPage(*connection_, ids_, page));
    return rows[std::size_t(position % kPageRows)];
}

const RowValues* RecordSourceRows::valuesAsRead(qsizetype position) const {
    const std::vector<TableRow>* rows = pages_.find(position / kPageRows);
    if (!rows)
        return nullptr;
    const TableRow& row = (*rows)[std::size_t(position % kPageRows)];
    return row.exists ? &row.values : nullptr;
}

void RecordSourceRows::readThrough(BookConnection& connection) {
    countUncounted();
    connection_ = &connection;
    forgetValues();
}

qsizetype RecordSourceRows::append(std::int64_t rowid) {
    countUncounted();
    const qsizetype position = ids_.size();
    ids_.append(rowid);
    forget(position); // its page may have been read while it was shorter
    return position;
}

void RecordSourceRows::forget(qsizetype position) {
    pages_.drop(position / kPageRows);
}

void RecordSourceRows::forgetValues() {
    pages_.clear();
}
