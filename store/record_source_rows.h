#pragma once

#include "store/book_connection.h"
#include "store/page_cache.h"
#include "store/row_fetch.h"
#include "store/row_ids.h"

#include <optional>

// The rows of one record source as a Refresh fetched them: their rowids in the engine's order,
// their values read a page at a time when they are first needed, and, for a whole table, the
// count taken only when first asked for. Values read are kept until forgotten, so they may be
// fresher than the rowids (which are fixed when fetched) or, for a grid, a little older than the
// file.
class RecordSourceRows {
  public:
    RecordSourceRows() = default; // no rows
    // The fetched rows, read through `connection`, which must outlive them.
    RecordSourceRows(BookConnection& connection, FetchedRows fetched);

    // Counts the table now if its count was put off; afterwards the rows are fixed.
    void countUncounted() const;
    qsizetype count() const;
    // Whether there is a row at `position`; the table is counted only for a position past the
    // rows known without a count.
    bool contains(qsizetype position) const {
        countPast(position);
        return position >= 0 && position < ids_.size();
    }
    std::int64_t rowid(qsizetype position) const;
    // The row at `position`, read with its page unless that page is kept.
    const TableRow& row(qsizetype position) const {
        const std::vector<TableRow>* rows = pages_.find(position / kPageRows);
        return rows ? (*rows)[std::size_t(position % kPageRows)] : readWithPage(position);
    }

    // A row inserted through this recordset joins at the end; returns its position.
    qsizetype append(std::int64_t rowid);
    // The values of the row at `position` are read again when next needed.
    void forget(qsizetype position);
    // Every value is read again when next needed.
    void forgetValues();
    // The same rowids, read from now on through `connection` (the same book opened afresh).
    void readThrough(BookConnection& connection);
    // The values of the row at `position` as last read, if they are still kept.
    const RowValues* valuesAsRead(qsizetype position) const;

  private:
    // The rows of an uncounted table's first page are known as fetched; only a position past them
    // needs the count.
    void countPast(qsizetype position) const {
        if (position >= ids_.size())
            countUncounted();
    }
    const TableRow& readWithPage(qsizetype position) const;

    BookConnection* connection_ = nullptr;
    // The count and the values are taken lazily, also by readers that only look.
    mutable RowIds ids_;
    mutable std::optional<UncountedTable> uncounted_;
    mutable PageCache pages_;
};
