#include "support/test_book.h"

#include "store/contact_table.h"

TestBook::TestBook() {
    contact_table::createAddressBook(databasePath());
}

QString TestBook::databasePath() const {
    return contact_table::databasePath(dir.path());
}

QList<StoredRow> TestBook::storedRows(const QString& book) const {
    return rowsIn(book.isEmpty() ? databasePath() : book);
}

void TestBook::insertRow(const StoredRow& values) {
    insertRows(databasePath(), {values});
}
