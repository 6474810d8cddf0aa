#pragma once

#include "store/file_status.h"
#include "store/row_statements.h"
#include "store/sqlite_db.h"
#include "store/table_row.h"

#include <QString>
#include <cstdint>

// The database connection to one address book: the file at a path, opened for reading and
// writing, the row statements prepared on it, and which file the path named when it was opened,
// so that a file removed or replaced since is noticed. Destroying it closes the connection.
class BookConnection {
  public:
    // Opens the book at `path` (see contact_table::openAddressBook); throws StoreError.
    BookConnection(const QString& path, int busyTimeoutMs);
    BookConnection(const BookConnection&) = delete;
    BookConnection& operator=(const BookConnection&) = delete;

    const QString& path() const { return path_; }
    Database& database() { return db_; }
    const Database& database() const { return db_; }
    RowStatements& statements() { return statements_; }

    // How long a statement waits for a file that another program has locked before it fails.
    void setBusyTimeout(int milliseconds);

    // The path still names the file this connection has open, and it is still a database: a file
    // written over in place keeps its identity but, unless it is a database again, not its head.
    bool stillReachesFile();
    // The same, told after a read by what the engine saw of the path as the read began (see
    // path_status_vfs), without a look of our own; `looks` is pathLooks() from before the read.
    // Where the engine did not look, the path is looked at now.
    std::uint64_t pathLooks() const;
    bool reachedFileSince(std::uint64_t looks);

    // The row of `rowid` as the file holds it now.
    TableRow readRow(std::int64_t rowid);

  private:
    bool reaches(const FileStatus& path);

    Database db_;
    QString path_;
    QByteArray encodedPath_; // as the file system names it, encoded once
    FileIdentity identity_;
    FileChange checkedChange_; // when the file last changed before its head was found sound
    int busyTimeoutMs_;
    // Declared after the database so that the statements are finalized before it closes.
    RowStatements statements_{db_};
};
