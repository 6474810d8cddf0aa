#pragma once

#include "store/sqlite_db.h"
#include "store/table_row.h"

#include <QByteArray>
#include <QTextStream>

// Contacts as vCard 4.0 (RFC 6350): UTF-8, CRLF, lines folded at 75 octets. Whatever the standard
// properties cannot say (NULL against empty text, the kind of each line break, the two dates) goes
// into X-TESSALINE- properties and parameters, so that an import gives every column back exactly.
namespace vcard_export {

// One contact as a whole card, CRLF after every line.
QByteArray card(const RowValues& values);
// The same in another version ("3.0" writes the same lines), with a UID when uid is not empty.
QByteArray card(const RowValues& values, QByteArrayView version, const QString& uid);

// Writes every contact of the table in the order they were stored, one at a time. Returns the
// number of contacts written.
qint64 writeContacts(const Database& db, QTextStream& out);

} // namespace vcard_export
