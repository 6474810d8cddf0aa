#include "tool/book_backup.h"

#include "store/address_book_check.h"
#include "store/contact_table.h"
#include "store/staged_file.h"
#include "store/staging_files.h"
#include "store/store_error.h"

#include <QElapsedTimer>
#include <sqlite3.h>

namespace book_backup {

namespace {

// Pages copied per step; between steps the book is free for the program's stores.
constexpr int kPagesPerStep = 256;
constexpr int kRetryPauseMs = 20;
// A book changed by another program between steps is copied again from the start. When that
// keeps happening, the rest is copied in one step, which holds off stores for its length.
constexpr qint64 kChunkedForMs = 2000;
constexpr qint64 kGiveUpAfterMs = 30000;

class Backup {
  public:
    Backup(Database& copy, const Database& book)
        : backup_(sqlite3_backup_init(copy.handle(), "main", book.handle(), "main")) {
        if (!backup_)
            copy.fail(QStringLiteral("Cannot start a backup into"));
    }
    ~Backup() { sqlite3_backup_finish(backup_); }
    Backup(const Backup&) = delete;
    Backup& operator=(const Backup&) = delete;
    sqlite3_backup* handle() const { return backup_; }

  private:
    sqlite3_backup* backup_;
};

void copyPages(Database& copy, const Database& book) {
    const Backup backup(copy, book);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const int pages = clock.elapsed() < kChunkedForMs ? kPagesPerStep : -1;
        const int rc = sqlite3_backup_step(backup.handle(), pages);
        if (rc == SQLITE_DONE)
            return;
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            if (clock.elapsed() > kGiveUpAfterMs)
                throw StoreError(QStringLiteral("Cannot back up the address book \"%1\": the "
                                                "file is in use by another program; try again "
                                                "when it is released.")
                                     .arg(book.path()));
            sqlite3_sleep(kRetryPauseMs);
        } else if (rc != SQLITE_OK) {
            copy.fail(QStringLiteral("Cannot write the backup"), rc);
        }
    }
}

// The copy holds the book's pages as they are, so damage in the book is damage in the copy.
// Damage bad enough to stop the check itself is reported as what it found.
void requireSound(const Database& copy, const QString& bookPath) {
    QStringList damage;
    try {
        damage = address_book_check::damageFound(copy, address_book_check::Depth::Quick);
    } catch (const StoreError& error) {
        damage << error.description();
    }
    if (!damage.isEmpty())
        throw StoreError(QStringLiteral("The address book \"%1\" is damaged, so no backup was "
                                        "made; a copy of it would be damaged too.\n%2")
                             .arg(bookPath, damage.join(QLatin1Char('\n'))));
}

qint64 contactsIn(Database& copy) {
    Statement count(copy, "SELECT count(*) FROM address");
    count.step();
    return count.integer(0);
}

} // namespace

qint64 copyBook(const QString& bookPath, const QString& copyPath) {
    StagedFile staged(copyPath, staging_files::kBackingUp);
    const Database book = contact_table::openAddressBook(bookPath);
    qint64 contacts = 0;
    {
        Database copy(staged.stagingPath(), Database::Mode::ReadWriteCreate, copyPath);
        contact_table::registerCollation(copy.handle());
        copyPages(copy, book);
        copy.exec("PRAGMA journal_mode = DELETE");
        requireSound(copy, bookPath);
        contacts = contactsIn(copy);
    }
    staged.publish();
    return contacts;
}

} // namespace book_backup
