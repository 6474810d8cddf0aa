#pragma once

#include "store/sqlite_db.h"

#include <QString>
#include <QTextStream>
#include <QVariant>

// Contacts as CSV after RFC 4180: UTF-8, CRLF after every record, a header of the column names.
namespace csv_export {

// One field: NULL (an invalid QVariant) is an empty field, the empty text is "" so the two stay
// apart; a value holding a quote, comma, CR or LF is quoted with its quotes doubled.
QString field(const QVariant& value);

// Writes the header and every row of the table in the order they were stored.
// Returns the number of contacts written.
int writeContacts(const Database& db, QTextStream& out);

} // namespace csv_export
