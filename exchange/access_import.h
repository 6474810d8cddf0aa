#pragma once

#include "exchange/contact_import.h"
#include "exchange/import_summary.h"

#include <QDate>
#include <QString>

// Reads the contacts of the table "address" of an old Access-format (Jet 3 or Jet 4) file through
// libmdb.
namespace access_import {

// Columns are matched to ours by name without regard to case; an old column we have no place for
// is skipped and named in the summary, and a column of ours the old file lacks stays NULL. Text
// is kept exactly; dates become the short date text of the user's locale, numbers their text.
//
// The old file is read in a child process with limits on its time and memory, so that a file
// that crashes or stalls the Access reader only fails the import. Unless mode is Salvage, the
// reader fails as well when anything of the old table cannot be read: a page, a value, any
// complaint of the reader, or a number of rows other than the table declares; the summary counts
// the rows declared and lists what a salvage lost. The file is checked and its table opened at
// once, before any book is touched; the reader returned reads it once.
contact_import::ContactReader reader(const QString& oldPath, ImportMode mode);

// Every contact of the old file into a new address book at newPath (contact_import::intoNewBook).
ImportSummary importAddressBook(const QString& oldPath, const QString& newPath,
                                const ImportProgress& progress = {},
                                ImportMode mode = ImportMode::AllOrNothing);

// Access keeps a moment as days since 30 December 1899, the fraction being the time of day (also
// for days before, where -1.25 is 29 December 1899, 6 a.m.).
QDate dateFromAccess(double days);

// The day of such a moment as the user's locale writes a short date.
QString dateText(double days);

} // namespace access_import
