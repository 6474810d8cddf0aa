#include "store/book_connection.h"

#include "store/contact_table.h"

#include <QFile>
#include <ctime>
#include <sqlite3.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

FileIdentity identify(const QByteArray& encodedPath, FileChange* change = nullptr) {
    FileIdentity identity;
#ifndef _WIN32
    struct stat info {};
    if (::stat(encodedPath.constData(), &info) == 0 && S_ISREG(info.st_mode)) {
        identity.known = true;
        identity.device = info.st_dev;
        identity.inode = info.st_ino;
        if (change)
            *change = {info.st_ctim.tv_sec, info.st_ctim.tv_nsec, info.st_size};
    }
#else
    Q_UNUSED(encodedPath);
    Q_UNUSED(change);
#endif
    return identity;
}

} // namespace

BookConnection::BookConnection(const QString& path, int busyTimeoutMs)
    : db_(contact_table::openAddressBook(path)), path_(path), encodedPath_(QFile::encodeName(path)),
      identity_(identify(encodedPath_)), busyTimeoutMs_(busyTimeoutMs) {
    sqlite3_busy_timeout(db_.handle(), busyTimeoutMs_);
}

void BookConnection::setBusyTimeout(int milliseconds) {
    busyTimeoutMs_ = milliseconds;
    sqlite3_busy_timeout(db_.handle(), milliseconds);
}

// The head is read again only after the file has changed.
bool BookConnection::stillReachesFile() {
    FileChange change;
    if (!identity_.known || identity_ != identify(encodedPath_, &change))
        return false;
    if (change == checkedChange_)
        return true;
    if (!contact_table::beginsAsSqlite(contact_table::fileHead(db_, 16)))
        return false;
    // The kernel keeps that time to a clock tick, so two writes within one tick can leave the
    // same time; only a time well in the past says that no write has come since.
    if (change.seconds < static_cast<long long>(std::time(nullptr)) - 1)
        checkedChange_ = change;
    return true;
}

TableRow BookConnection::readRow(std::int64_t rowid) {
    StatementUse read(statements_.rowById());
    read->bindInt(1, rowid);
    TableRow row;
    if (read->step()) {
        row.exists = true;
        readValues(*read.operator->(), 0, row.values);
    }
    return row;
}
