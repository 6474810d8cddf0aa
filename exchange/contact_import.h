#pragma once

#include "exchange/import_summary.h"
#include "store/table_row.h"

#include <QString>
#include <functional>

// Contacts read from a file of one of the formats tessaline-db imports, on their way into a book.
namespace contact_import {

// Takes one contact read from the source, in the source's order; it is handed over, as its values
// may be long.
using AddContact = std::function<void(RowValues&&)>;

// Reads the file at path and hands every contact in it to add; says what else the user should
// know in the summary it returns (its contacts count is filled in by the caller). Throws
// StoreError when the file cannot be read as a whole; then nothing read is kept.
using ContactReader = std::function<ImportSummary(const QString& path, const AddContact& add,
                                                  const ImportProgress& progress)>;

// Every contact of source into a new address book at newPath, which must not exist; all or
// nothing.
ImportSummary intoNewBook(const ContactReader& read, const QString& source, const QString& newPath,
                          const ImportProgress& progress);

// Every contact of source added to the existing address book at bookPath in one transaction: all
// or nothing. Waits for a book another program is storing into as the program does, then fails.
ImportSummary intoBook(const ContactReader& read, const QString& source, const QString& bookPath,
                       const ImportProgress& progress);

} // namespace contact_import
