#pragma once

#include "store/book_connection.h"
#include "store/lookup_statement.h"
#include "store/row_ids.h"
#include "store/table_row.h"

#include <optional>
#include <vector>

// A whole table fetched without counting it: the largest rowid of its first page, and the largest
// rowid it had then. Counting a large table takes a while and nothing on the first screen needs
// the count, so it is taken when first needed, of the rows up to that rowid: rows added later by
// other programs stay out, as they would have if the table had been counted at once.
struct UncountedTable {
    std::int64_t lastOfFirstPage = 0;
    std::int64_t last = 0;
};

// The rows of a record source, built completely before they replace the rows held before.
struct FetchedRows {
    RowIds ids;
    std::vector<TableRow> firstPage;
    std::optional<UncountedTable> uncounted;
};

// The rows `query` selects: the first page read whole, the rest only as rowids (a whole table
// not even that; see UncountedTable).
FetchedRows fetchRows(BookConnection& connection, const RecordSourceQuery& query);

// The rows of an uncounted table: its first page as fetched, then the rows now in the table after
// that page, up to the last rowid it had when fetched. Never fails: without a count, what is known
// is kept.
RowIds countTable(BookConnection& connection, const RowIds& firstPage, UncountedTable table);

// The rows of page `page` (kPageRows rows a page) of `ids`, as the file holds them now.
std::vector<TableRow> readPage(BookConnection& connection, const RowIds& ids, qsizetype page);
