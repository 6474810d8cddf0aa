#include "store/book_connection.h"

#include "store/contact_table.h"
#include "store/path_status_vfs.h"

#include <QFile>
#include <ctime>
#include <sqlite3.h>

BookConnection::BookConnection(const QString& path, int busyTimeoutMs)
    : db_(contact_table::openAddressBook(path, path_status_vfs::name())), path_(path),
      encodedPath_(QFile::encodeName(path)),
      identity_(path_status_vfs::lastSeen(db_.handle()).opened), busyTimeoutMs_(busyTimeoutMs) {
    sqlite3_busy_timeout(db_.handle(), busyTimeoutMs_);
}

void BookConnection::setBusyTimeout(int milliseconds) {
    busyTimeoutMs_ = milliseconds;
    sqlite3_busy_timeout(db_.handle(), milliseconds);
}

bool BookConnection::stillReachesFile() {
    return reaches(fileStatus(encodedPath_.constData()));
}

std::uint64_t BookConnection::pathLooks() const {
    return path_status_vfs::lastSeen(db_.handle()).queries;
}

bool BookConnection::reachedFileSince(std::uint64_t looks) {
    const path_status_vfs::Seen seen = path_status_vfs::lastSeen(db_.handle());
    return seen.queries > looks ? reaches(seen.path) : stillReachesFile();
}

// The head is read again only after the file has changed.
bool BookConnection::reaches(const FileStatus& path) {
    if (!identity_.known || identity_ != path.identity)
        return false;
    if (path.change == checkedChange_)
        return true;
    if (!contact_table::beginsAsSqlite(contact_table::fileHead(db_, 16)))
        return false;
    // The kernel keeps that time to a clock tick, so two writes within one tick can leave the
    // same time; only a time well in the past says that no write has come since.
    if (path.change.seconds < static_cast<long long>(std::time(nullptr)) - 1)
        checkedChange_ = path.change;
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
