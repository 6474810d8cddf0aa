#include "tool/book_backup.h"

#include "store/address_book_check.h"
#include "store/contact_table.h"
#include "store/staging_files.h"
#include "store/store_error.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace book_backup {

namespace {

// Pages copied per step; between steps the book is free for the program's stores.
constexpr int kPagesPerStep = 256;
constexpr int kRetryPauseMs = 20;
// A book changed by another program between steps is copied again from the start. When that
// keeps happening, the rest is copied in one step, which holds off stores for its length.
constexpr qint64 kChunkedForMs = 2000;
constexpr qint64 kGiveUpAfterMs = 30000;

bool pathExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Removes the file being written, and its journal, unless it was put in place.
class StagingFile {
  public:
    explicit StagingFile(const QString& path) : path_(path) {
        staging_files::removeWithJournals(path_);
    }
    ~StagingFile() { staging_files::removeWithJournals(path_); }
    StagingFile(const StagingFile&) = delete;
    StagingFile& operator=(const StagingFile&) = delete;
    const QString& path() const { return path_; }

  private:
    QString path_;
};

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

// Writes the file's data or a folder's entries to the disk; messages name the file as shownPath.
void sync(const QString& path, int flags, const QString& shownPath) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (!synced)
        throw StoreError(QStringLiteral("Cannot write \"%1\" to the disk: %2.")
                             .arg(shownPath, QString::fromLocal8Bit(std::strerror(error))));
}

// link() never replaces a file, so a copy that appeared meanwhile is kept.
void publish(const QString& staging, const QString& copyPath) {
    if (::link(QFile::encodeName(staging).constData(), QFile::encodeName(copyPath).constData()) !=
        0)
        throw StoreError(QStringLiteral("Cannot create \"%1\": %2.")
                             .arg(copyPath, pathExists(copyPath)
                                                ? QStringLiteral("it already exists")
                                                : QString::fromLocal8Bit(std::strerror(errno))));
    const QString folder = QFileInfo(copyPath).absolutePath();
    sync(folder, O_RDONLY | O_DIRECTORY, folder);
}

} // namespace

qint64 copyBook(const QString& bookPath, const QString& copyPath) {
    if (pathExists(copyPath))
        throw StoreError(
            QStringLiteral("\"%1\" already exists; it was left as it is.").arg(copyPath));
    const Database book = contact_table::openAddressBook(bookPath);
    staging_files::requireWritableFolder(copyPath);
    staging_files::removeAbandoned(copyPath);
    const StagingFile staging(staging_files::stagingPath(copyPath, staging_files::kBackingUp));
    qint64 contacts = 0;
    {
        Database copy(staging.path(), Database::Mode::ReadWriteCreate, copyPath);
        contact_table::registerCollation(copy.handle());
        copyPages(copy, book);
        copy.exec("PRAGMA journal_mode = DELETE");
        requireSound(copy, bookPath);
        contacts = contactsIn(copy);
    }
    sync(staging.path(), O_RDONLY, copyPath);
    publish(staging.path(), copyPath);
    return contacts;
}

} // namespace book_backup
