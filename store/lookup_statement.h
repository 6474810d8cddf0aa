#pragma once

#include "store/contact_columns.h"

#include <QString>
#include <optional>

// The four one-column searches and the record-source texts built from them.
enum class LookupColumn { Name, Surname, Phone, Email };

// The column a lookup compares: the columns the windows look up, in the table's order.
constexpr contact_table::Column searchedColumn(LookupColumn lookup) {
    int before = int(lookup);
    for (const contact_table::ColumnDescription& description : contact_table::kSchema)
        if (description.lookedUp && before-- == 0)
            return description.column;
    return contact_table::Column::Name; // not reached: every lookup has its column
}

// "Select * from address where <column> = '" + value + "'", with each single quote in the value
// doubled so that a name like O'Brien still forms a valid statement. Blanks are kept as typed.
QString lookupStatement(LookupColumn column, const QString& value);

// What a record source text asks for: the whole table, or one column equal to one value.
struct RecordSourceQuery {
    std::optional<LookupColumn> column; // none: the whole table
    QString value;
};

// Reads a record source: the table name "address", or a lookup statement as built above, with
// keywords and column names in any letter case. Anything else throws a StoreError that calls the
// record source malformed; a value that is not valid Unicode (a lone surrogate half) is refused
// too. The text is never handed to the database as SQL.
RecordSourceQuery parseRecordSource(const QString& recordSource);

// The stored column name a lookup compares.
const char* lookupColumnName(LookupColumn column);
