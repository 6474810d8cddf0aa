#include "exchange/contact_import.h"

#include "exchange/contact_inserter.h"
#include "store/contact_table.h"
#include "store/store_error.h"

#include <utility>

namespace contact_import {

namespace {

// Reads into db in one transaction, which rolls back whatever fails.
ImportSummary readInto(Database& db, const ContactReader& read, const QString& source,
                       const ImportProgress& progress) {
    WriteTransaction transaction(db);
    ContactInserter inserter(db);
    ImportSummary summary = read(
        source, [&inserter](RowValues&& values) { inserter.insert(std::move(values)); }, progress);
    summary.contacts = int(inserter.inserted());
    transaction.commit();
    return summary;
}

// A store that a write error (a full disk) broke off cannot be rolled back by its own connection:
// the engine leaves the book grown, with its journal beside it, to whoever opens it next. Opening
// it once more does that now, so the book is as it was when the command ends.
void settle(const QString& bookPath) {
    try {
        const Database db = contact_table::openAddressBook(bookPath);
    } catch (const StoreError&) {
        // The failure already being reported says more than this one could.
    }
}

} // namespace

ImportSummary intoNewBook(const ContactReader& read, const QString& source, const QString& newPath,
                          const ImportProgress& progress) {
    ImportSummary summary;
    contact_table::createAddressBook(
        newPath, [&](Database& db) { summary = readInto(db, read, source, progress); });
    return summary;
}

ImportSummary intoBook(const ContactReader& read, const QString& source, const QString& bookPath,
                       const ImportProgress& progress) {
    try {
        Database db = contact_table::openAddressBook(bookPath);
        return readInto(db, read, source, progress);
    } catch (const StoreError&) {
        settle(bookPath);
        throw;
    }
}

} // namespace contact_import
