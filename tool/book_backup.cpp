#include "tool/book_backup.h"

#include "store/contact_table.h"
#include "store/store_error.h"

#include <QCoreApplication>
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
    explicit StagingFile(const QString& path) : path_(path) { remove(); }
    ~StagingFile() { remove(); }
    StagingFile(const StagingFile&) = delete;
    StagingFile& operator=(const StagingFile&) = delete;
    const QString& path() const { return path_; }

  private:
    void remove() {
        QFile::remove(path_);
        QFile::remove(path_ + QStringLiteral("-journal"));
    }
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
            copy.fail(QStringLiteral("Cannot write the backup"));
        }
    }
}

qint64 contactsIn(Database& copy) {
    contact_table::registerCollation(copy.handle());
    Statement count(copy, "SELECT count(*) FROM address");
    count.step();
    return count.integer(0);
}

// Writes the file's data and its folder entry to the disk.
void sync(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (!synced)
        throw StoreError(QStringLiteral("Cannot write \"%1\" to the disk: %2.")
                             .arg(path, QString::fromLocal8Bit(std::strerror(error))));
}

// link() never replaces a file, so a copy that appeared meanwhile is kept.
void publish(const QString& staging, const QString& copyPath) {
    if (::link(QFile::encodeName(staging).constData(), QFile::encodeName(copyPath).constData()) !=
        0)
        throw StoreError(QStringLiteral("Cannot create \"%1\": %2.")
                             .arg(copyPath, pathExists(copyPath)
                                                ? QStringLiteral("it already exists")
                                                : QString::fromLocal8Bit(std::strerror(errno))));
    sync(QFileInfo(copyPath).absolutePath(), O_RDONLY | O_DIRECTORY);
}

} // namespace

qint64 copyBook(const QString& bookPath, const QString& copyPath) {
    if (pathExists(copyPath))
        throw StoreError(
            QStringLiteral("\"%1\" already exists; it was left as it is.").arg(copyPath));
    const Database book = contact_table::openAddressBook(bookPath);
    const StagingFile staging(
        copyPath + QStringLiteral(".backing-up-%1").arg(QCoreApplication::applicationPid()));
    qint64 contacts = 0;
    {
        Database copy(staging.path(), Database::Mode::ReadWriteCreate);
        copyPages(copy, book);
        copy.exec("PRAGMA journal_mode = DELETE");
        contacts = contactsIn(copy);
    }
    sync(staging.path(), O_RDONLY);
    publish(staging.path(), copyPath);
    return contacts;
}

} // namespace book_backup
