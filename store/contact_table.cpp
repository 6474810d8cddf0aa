#include "store/contact_table.h"

#include "store/staged_file.h"
#include "store/staging_files.h"
#include "store/store_error.h"
#include "store/text_fold.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sqlite3.h>

namespace contact_table {

QStringList columnNames() {
    QStringList names;
    for (const ColumnDescription& description : kSchema)
        names << QString::fromLatin1(description.storedName);
    return names;
}

int columnIndex(const QString& name) {
    for (int i = 0; i < kColumnCount; ++i)
        if (name == QLatin1String(kSchema[size_t(i)].storedName))
            return i;
    return -1;
}

QString quotedColumn(Column column) {
    return quoted(QLatin1String(storedName(column)));
}

QString columnTitle(Column column) {
    return QString::fromLatin1(title(column));
}

QString quotedColumnList() {
    QStringList quoted;
    for (const ColumnDescription& description : kSchema)
        quoted << quotedColumn(description.column);
    return quoted.join(QStringLiteral(", "));
}

QString indexName(Column column) {
    return QStringLiteral("%1_%2").arg(QLatin1String(kTable),
                                       QString::fromLatin1(storedName(column)).toLower());
}

QStringList presentColumns(const Database& db) {
    Statement info(db, "SELECT name FROM pragma_table_info(?1)");
    info.bindText(1, QString::fromLatin1(kTable));
    QStringList present;
    while (info.step())
        present << info.text(0);
    return present;
}

namespace {

int collate(void*, int lengthA, const void* a, int lengthB, const void* b) {
    return text_fold::compare(static_cast<const char*>(a), lengthA, static_cast<const char*>(b),
                              lengthB);
}

} // namespace

void registerCollation(sqlite3* db) {
    sqlite3_create_collation_v2(db, kCollation, SQLITE_UTF8, nullptr, collate, nullptr);
}

QString databasePath(const QString& applicationDirectory) {
    return applicationDirectory + QDir::separator() + QLatin1String(kFileName);
}

namespace {

// Five columns to a line, as the statement is kept in the book's schema for people to read.
QByteArray createTableStatement() {
    QString columns;
    for (const ColumnDescription& description : kSchema) {
        const std::size_t at = position(description.column);
        if (at > 0)
            columns += at % 5 == 0 ? QStringLiteral(",\n    ") : QStringLiteral(", ");
        columns += quotedColumn(description.column) + QStringLiteral(" TEXT");
    }
    return QStringLiteral("\nCREATE TABLE %1 (\n    %2);\n")
        .arg(QLatin1String(kTable), columns)
        .toUtf8();
}

QByteArray createIndexStatements() {
    QString statements = QStringLiteral("\n");
    for (const ColumnDescription& description : kSchema)
        if (description.indexed)
            statements += QStringLiteral("CREATE INDEX %1 ON %2 (%3 COLLATE %4);\n")
                              .arg(indexName(description.column), QLatin1String(kTable),
                                   quotedColumn(description.column), QLatin1String(kCollation));
    return statements.toUtf8();
}

// Makes the whole book in its staging file. The rows go in before the indexes exist: each index is
// then sorted once instead of growing row by row. Nothing is synced while the rows go in; the
// commit that adds the indexes syncs the file, everything written before included, so the book
// is on disk before it gets its name. The page cache keeps the engine's small default: each index
// is then sorted in runs that fit the processor's caches and merged, which is faster than one
// sort of every key in memory, and the import's memory stays the same whatever the book's size.
void makeStagingBook(const QString& staging, const QString& path,
                     const std::function<void(Database&)>& fill) {
    Database db(staging, Database::Mode::ReadWriteCreate, path);
    registerCollation(db.handle());
    db.exec(QStringLiteral("PRAGMA application_id = %1; PRAGMA user_version = %2;")
                .arg(kApplicationId)
                .arg(kSchemaVersion)
                .toUtf8()
                .constData());
    db.exec("PRAGMA synchronous = OFF");
    {
        WriteTransaction transaction(db);
        db.exec(createTableStatement().constData());
        transaction.commit();
    }
    if (fill)
        fill(db);
    db.exec("PRAGMA synchronous = FULL");
    WriteTransaction transaction(db);
    db.exec(createIndexStatements().constData());
    transaction.commit();
}

} // namespace

void createAddressBook(const QString& path) {
    createAddressBook(path, {});
}

void createAddressBook(const QString& path, const std::function<void(Database&)>& fill) {
    StagedFile staged(path, staging_files::kCreating);
    makeStagingBook(staged.stagingPath(), path, fill);
    staged.publish();
}

namespace {

constexpr int kHeadLength = 32;

bool isAccessHead(const QByteArray& head) {
    const QByteArray signature = head.mid(4, 15);
    return signature == "Standard Jet DB" || signature == "Standard ACE DB";
}

// The file's own name for what it is must be found before anything else is read from it.
void requireSqliteHead(const QString& path, const QByteArray& head) {
    if (head.isEmpty())
        throw StoreError(
            QStringLiteral("The address book \"%1\" is empty (zero bytes).").arg(path));
    if (isAccessHead(head))
        throw StoreError(QStringLiteral("The address book \"%1\" is an old Access-format file, "
                                        "which Tessaline does not open itself. Convert it with\n"
                                        "    tessaline-db import \"%1\" NEW.mdb\n"
                                        "and then put NEW.mdb in its place.")
                             .arg(path));
    if (!beginsAsSqlite(head))
        throw StoreError(
            QStringLiteral("The address book \"%1\" is not a Tessaline address book.").arg(path));
}

// Checks that need no handle on the file.
void requireFile(const QFileInfo& info, const QString& path) {
    if (!info.exists())
        throw StoreError(QStringLiteral("The address book \"%1\" does not exist.").arg(path));
    if (info.isDir())
        throw StoreError(
            QStringLiteral("The address book \"%1\" is a folder, not a file.").arg(path));
}

} // namespace

bool beginsAsSqlite(const QByteArray& head) {
    return head.startsWith(QByteArray("SQLite format 3\0", 16));
}

// The size is asked only of a file shorter than `length`: a book's head is read after every
// change to it, and each question is a system call.
QByteArray fileHead(const Database& db, int length) {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db.handle(), "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        !file || !file->pMethods)
        db.fail(QStringLiteral("Cannot read the address book"));
    QByteArray head(length, '\0');
    int rc = file->pMethods->xRead(file, head.data(), length, 0);
    if (rc == SQLITE_IOERR_SHORT_READ) {
        sqlite3_int64 size = 0;
        if (file->pMethods->xFileSize(file, &size) != SQLITE_OK)
            db.fail(QStringLiteral("Cannot read the address book"));
        // What came before the end is read; the engine fills the rest with zeros.
        head.truncate(int(std::min<sqlite3_int64>(size, length)));
        rc = SQLITE_OK;
    }
    if (rc != SQLITE_OK)
        throw StoreError(QStringLiteral("The address book \"%1\" cannot be read.").arg(db.path()));
    return head;
}

bool looksLikeAccessFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && isAccessHead(file.read(kHeadLength));
}

QString unknownFormat(const QString& path) {
    return QStringLiteral("\"%1\" is neither a vCard file nor CSV (import --csv), and not an "
                          "Access-format file (an .mdb file of Access or Jet); nothing was "
                          "imported.")
        .arg(path);
}

void checkIsSqliteFile(const QString& path) {
    const QFileInfo info(path);
    requireFile(info, path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("The address book \"%1\" cannot be read: %2.")
                             .arg(path, file.errorString()));
    requireSqliteHead(path, file.read(kHeadLength));
}

namespace {

void checkTable(const Database& db) {
    const QStringList present = presentColumns(db);
    if (present.isEmpty())
        throw StoreError(
            QStringLiteral("The address book \"%1\" has no table \"address\".").arg(db.path()));
    QStringList missing;
    for (const QString& column : columnNames())
        if (!present.contains(column))
            missing << QStringLiteral("\"%1\"").arg(column);
    if (!missing.isEmpty())
        throw StoreError(QStringLiteral("The table \"address\" in \"%1\" lacks the column(s) %2.")
                             .arg(db.path(), missing.join(QStringLiteral(", "))));
}

// A book that could not be opened in a folder the user may not write in: the engine could not make
// the working files a book left in write-ahead-log mode needs there, which its own words do not
// say.
void requireWorkingFiles(const Database& db) {
    const int code = sqlite3_errcode(db.handle()) & 0xff;
    if (code != SQLITE_CANTOPEN && code != SQLITE_READONLY)
        return;
    const QString folder = QFileInfo(db.path()).absolutePath();
    if (QFileInfo(folder).isWritable())
        return;
    throw StoreError(
        QStringLiteral("The folder \"%1\" cannot be written, so the address book \"%2\" "
                       "cannot be opened. Allow changes to the folder and try again.")
            .arg(QDir::toNativeSeparators(folder), db.path()));
}

// Every store is complete inside the book itself once it is acknowledged, so the book can be
// copied at any time and no other file lies beside it between stores. A book left in
// write-ahead-log mode (by an older Tessaline) is switched when nobody else has it open; the
// switch does not wait, and a book it cannot switch now is used as it is.
void useRollbackJournal(Database& db, int busyTimeoutMs) {
    {
        Statement mode(db, "PRAGMA journal_mode");
        if (!mode.step() || mode.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
            return;
    }
    sqlite3_busy_timeout(db.handle(), 0);
    sqlite3_exec(db.handle(), "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    sqlite3_busy_timeout(db.handle(), busyTimeoutMs);
}

} // namespace

Database openAddressBook(const QString& path, const char* vfs) {
    // The program may hold the book open already, through another data control. Closing a second
    // handle on it would drop every lock this process holds on the file (such is the platform's
    // locking), so its first bytes are read through the connection's own handle.
    const QFileInfo info(path);
    requireFile(info, path);
    if (!info.isReadable())
        throw StoreError(QStringLiteral("The address book \"%1\" cannot be read: permission "
                                        "denied.")
                             .arg(path));
    Database db(path, Database::Mode::ReadWrite, {}, vfs);
    requireSqliteHead(path, fileHead(db, kHeadLength));
    registerCollation(db.handle());
    sqlite3_busy_timeout(db.handle(), kBusyTimeoutMs);
    try {
        checkTable(db);
        useRollbackJournal(db, kBusyTimeoutMs);
    } catch (const StoreError&) {
        requireWorkingFiles(db);
        throw;
    }
    db.exec("PRAGMA synchronous = FULL");
    return db;
}

} // namespace contact_table
