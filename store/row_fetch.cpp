#include "store/row_fetch.h"

#include "store/page_cache.h"
#include "store/store_error.h"

#include <algorithm>

namespace {

std::int64_t singleInteger(Statement& statement) {
    StatementUse use(statement);
    use->step();
    return use->integer(0);
}

// Takes the rowid and the values of the row `rows` stands on into `fetched`.
std::int64_t takeRow(const Statement& rows, FetchedRows& fetched) {
    TableRow& row = fetched.firstPage.emplace_back();
    row.exists = true;
    readValues(rows, 1, row.values);
    return rows.integer(0);
}

FetchedRows fetchTable(BookConnection& connection) {
    FetchedRows fetched;
    ReadTransaction snapshot(connection.database());
    std::vector<std::int64_t> rowids;
    {
        StatementUse rows(connection.statements().firstRows());
        rows->bindInt(1, kPageRows);
        while (rows->step())
            rowids.push_back(takeRow(*rows.operator->(), fetched));
    }
    if (qsizetype(rowids.size()) == kPageRows)
        fetched.uncounted =
            UncountedTable{rowids.back(), singleInteger(connection.statements().maxRowid())};
    fetched.ids = RowIds::of(std::move(rowids));
    snapshot.commit();
    return fetched;
}

// The first page of matches is read whole; the rest only as rowids, through the index alone.
FetchedRows fetchLookup(BookConnection& connection, LookupColumn column, const QString& value) {
    FetchedRows fetched;
    std::int64_t last = 0;
    bool more = false;
    {
        StatementUse rows(connection.statements().lookupRows(column));
        rows->bindText(1, value);
        while (rows->step()) {
            if (qsizetype(fetched.firstPage.size()) == kPageRows) {
                more = true;
                break;
            }
            last = takeRow(*rows.operator->(), fetched);
            fetched.ids.append(last);
        }
    }
    if (more) {
        StatementUse rest(connection.statements().lookupRest(column));
        rest->bindText(1, value);
        rest->bindInt(2, last);
        while (rest->step())
            fetched.ids.append(rest->integer(0));
    }
    return fetched;
}

// The rowids of the rest of an uncounted table that has gaps, read from the smallest index rather
// than the whole table, 8 bytes a row.
RowIds listRowids(BookConnection& connection, const RowIds& firstPage, UncountedTable table,
                  std::int64_t restCount) {
    std::vector<std::int64_t> rowids;
    rowids.reserve(std::size_t(firstPage.size() + std::max<std::int64_t>(restCount, 0)));
    for (qsizetype i = 0; i < firstPage.size(); ++i)
        rowids.push_back(firstPage.at(i));
    const auto head = std::ptrdiff_t(rowids.size());
    Statement all(connection.database(), "SELECT rowid FROM address");
    while (all.step()) {
        const std::int64_t rowid = all.integer(0);
        if (rowid > table.lastOfFirstPage && rowid <= table.last)
            rowids.push_back(rowid);
    }
    if (!std::is_sorted(rowids.begin() + head, rowids.end()))
        std::sort(rowids.begin() + head, rowids.end());
    return RowIds::list(std::move(rowids));
}

} // namespace

FetchedRows fetchRows(BookConnection& connection, const RecordSourceQuery& query) {
    return query.column ? fetchLookup(connection, *query.column, query.value)
                        : fetchTable(connection);
}

// A table without gaps (the usual case: the program never deletes) is held as a range.
RowIds countTable(BookConnection& connection, const RowIds& firstPage, UncountedTable table) {
    const bool firstPageWithoutGaps = firstPage.consecutive(0, firstPage.size() - 1);
    try {
        ReadTransaction snapshot(connection.database());
        const std::int64_t total = singleInteger(connection.statements().count());
        StatementUse outside(connection.statements().countOutside());
        outside->bindInt(1, table.lastOfFirstPage);
        outside->bindInt(2, table.last);
        outside->step();
        const std::int64_t restCount = total - outside->integer(0);
        if (firstPageWithoutGaps && restCount == table.last - table.lastOfFirstPage)
            return RowIds::range(firstPage.at(0), firstPage.size() + qsizetype(restCount));
        return listRowids(connection, firstPage, table, restCount);
    } catch (const StoreError&) {
        // The count is asked for where no failure can be reported (a grid asking how many rows
        // to show). Without it a first page without gaps is taken to go on without gaps up to
        // the last rowid, and rows missing from the file read as removed, as rows another program
        // removes after a fetch do. Otherwise only the first page is kept.
        if (firstPageWithoutGaps)
            return RowIds::range(firstPage.at(0),
                                 firstPage.size() + qsizetype(table.last - table.lastOfFirstPage));
        return firstPage;
    }
}

// One range read when the rowids are consecutive (always so for a whole table without gaps),
// else one read per row.
std::vector<TableRow> readPage(BookConnection& connection, const RowIds& ids, qsizetype page) {
    const qsizetype first = page * kPageRows;
    const qsizetype count = std::min(kPageRows, ids.size() - first);
    std::vector<TableRow> rows(std::size_t(std::max<qsizetype>(count, 0)));
    if (count <= 0)
        return rows;
    if (!ids.consecutive(first, first + count - 1)) {
        for (qsizetype i = 0; i < count; ++i)
            rows[std::size_t(i)] = connection.readRow(ids.at(first + i));
        return rows;
    }
    const std::int64_t low = ids.at(first);
    StatementUse read(connection.statements().rowRange());
    read->bindInt(1, low);
    read->bindInt(2, ids.at(first + count - 1));
    while (read->step()) {
        TableRow& row = rows[std::size_t(read->integer(0) - low)];
        row.exists = true;
        readValues(*read.operator->(), 1, row.values);
    }
    return rows;
}
