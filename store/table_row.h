#pragma once

#include "store/contact_table.h"
#include "store/sqlite_db.h"

#include <QVariant>
#include <array>
#include <functional>

// The values of one contact in the table's column order: NULL as an invalid QVariant, else text.
// Reached by position or by column.
struct RowValues : std::array<QVariant, contact_table::kColumnCount> {
    using array::operator[];
    QVariant& operator[](contact_table::Column column) {
        return (*this)[contact_table::position(column)];
    }
    const QVariant& operator[](contact_table::Column column) const {
        return (*this)[contact_table::position(column)];
    }
};

// One row as read by its rowid; a row that another program removed reads as not existing.
struct TableRow {
    bool exists = false;
    RowValues values;
};

// The ten columns of the row a statement stands on, from `firstColumn` on.
inline void readValues(const Statement& statement, int firstColumn, RowValues& values) {
    for (int i = 0; i < contact_table::kColumnCount; ++i)
        values[std::size_t(i)] = statement.value(firstColumn + i);
}

// The statement that reads every contact's columns in the order they were stored.
inline QByteArray everyContactStatement() {
    return QStringLiteral("SELECT %1 FROM address ORDER BY rowid")
        .arg(contact_table::quotedColumnList())
        .toUtf8();
}

// Hands every contact of the table to visit, one at a time, in the order they were stored.
// Returns how many there were.
inline qint64 forEachContact(const Database& db,
                             const std::function<void(const RowValues&)>& visit) {
    Statement rows(db, everyContactStatement().constData());
    RowValues values;
    qint64 count = 0;
    while (rows.step()) {
        readValues(rows, 0, values);
        visit(values);
        ++count;
    }
    return count;
}
