#include "tool/contact_import.h"

#include "store/contact_inserter.h"
#include "store/contact_table.h"
#include <utility>

namespace contact_import {

namespace {

ImportSummary readInto(Database& db, const ContactReader& read, const QString& source,
                       const ImportProgress& progress) {
    ContactInserter inserter(db);
    ImportSummary summary = read(
        source, [&inserter](RowValues&& values) { inserter.insert(std::move(values)); }, progress);
    summary.contacts = int(inserter.inserted());
    return summary;
}

} // namespace

ImportSummary intoNewBook(const ContactReader& read, const QString& source, const QString& newPath,
                          const ImportProgress& progress) {
    ImportSummary summary;
    contact_table::createAddressBook(newPath, [&](Database& db) {
        WriteTransaction transaction(db);
        summary = readInto(db, read, source, progress);
        transaction.commit();
    });
    return summary;
}

ImportSummary intoBook(const ContactReader& read, const QString& source, const QString& bookPath,
                       const ImportProgress& progress) {
    Database db = contact_table::openAddressBook(bookPath);
    WriteTransaction transaction(db);
    ImportSummary summary = readInto(db, read, source, progress);
    transaction.commit();
    return summary;
}

} // namespace contact_import
