#pragma once

#include <QString>

// A consistent copy of an address book, safe to take while the program has the book open and
// stores into it.
namespace book_backup {

// Copies the book at bookPath to copyPath through SQLite's online backup, in chunks between which
// other programs may store, into a file beside copyPath that is synced and then linked into place.
// Never writes over an existing copyPath. The copy uses a rollback journal. Returns the number of
// contacts in the copy; throws StoreError and leaves nothing behind on failure.
qint64 copyBook(const QString& bookPath, const QString& copyPath);

} // namespace book_backup
