#include "store/row_statements.h"

#include "store/contact_table.h"

namespace {

QByteArray columnList() {
    return contact_table::quotedColumnList().toUtf8();
}

QByteArray where(LookupColumn column) {
    return '"' + QByteArray(lookupColumnName(column)) + "\" = ?1 COLLATE " +
           contact_table::kCollation;
}

} // namespace

// The statement text is only built the first time the statement is needed.
template <class Sql> Statement& RowStatements::prepared(std::unique_ptr<Statement>& slot, Sql sql) {
    if (!slot)
        slot = std::make_unique<Statement>(db_, QByteArray(sql()).constData());
    return *slot;
}

Statement& RowStatements::rowById() {
    return prepared(rowById_,
                    [] { return "SELECT " + columnList() + " FROM address WHERE rowid = ?1"; });
}

Statement& RowStatements::rowRange() {
    return prepared(rowRange_, [] {
        return "SELECT rowid, " + columnList() + " FROM address WHERE rowid BETWEEN ?1 AND ?2";
    });
}

Statement& RowStatements::firstRows() {
    return prepared(firstRows_, [] {
        return "SELECT rowid, " + columnList() + " FROM address ORDER BY rowid LIMIT ?1";
    });
}

Statement& RowStatements::count() {
    return prepared(count_, [] { return "SELECT count(*) FROM address"; });
}

// Both counts are rowid range searches that touch only the rows they count.
Statement& RowStatements::countOutside() {
    return prepared(countOutside_, [] {
        return "SELECT (SELECT count(*) FROM address WHERE rowid <= ?1) + "
               "(SELECT count(*) FROM address WHERE rowid > ?2)";
    });
}

Statement& RowStatements::maxRowid() {
    return prepared(maxRowid_, [] { return "SELECT max(rowid) FROM address"; });
}

Statement& RowStatements::lookupRows(LookupColumn column) {
    return prepared(lookupRows_[std::size_t(column)], [column] {
        return "SELECT rowid, " + columnList() + " FROM address WHERE " + where(column);
    });
}

Statement& RowStatements::lookupRest(LookupColumn column) {
    return prepared(lookupRest_[std::size_t(column)], [column] {
        return "SELECT rowid FROM address WHERE " + where(column) + " AND rowid > ?2";
    });
}
