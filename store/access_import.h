#pragma once

#include "store/import_summary.h"

#include <QDate>
#include <QString>

// Reads the table "address" of an old Access-format (Jet 3 or Jet 4) file through libmdb and
// writes its contacts into a new address book. Lives in a library of its own so that nothing but
// tessaline-db depends on libmdb.
namespace access_import {

// Columns are matched to ours by name without regard to case; an old column we have no place for
// is skipped and named in the summary, and a column of ours the old file lacks stays NULL. Text
// is kept exactly; dates become the short date text of the user's locale, numbers their text.
// Refuses an existing newPath; every failure throws StoreError and leaves nothing at newPath.
//
// The old file is read in a child process with limits on its time and memory, so that a file
// that crashes or stalls the Access reader only fails the import. Unless mode is Salvage, the
// import fails as well when anything of the old table cannot be read: a page, a value, any
// complaint of the reader, or a number of rows other than the table declares.
ImportSummary importAddressBook(const QString& oldPath, const QString& newPath,
                                const ImportProgress& progress = {},
                                ImportMode mode = ImportMode::AllOrNothing);

// Access keeps a moment as days since 30 December 1899, the fraction being the time of day (also
// for days before, where -1.25 is 29 December 1899, 6 a.m.).
QDate dateFromAccess(double days);

// The day of such a moment as the user's locale writes a short date.
QString dateText(double days);

} // namespace access_import
