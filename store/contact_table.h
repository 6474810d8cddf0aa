#pragma once

#include "store/contact_columns.h"
#include "store/sqlite_db.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>

struct sqlite3;

// The one table of the address book and the file that holds it.
namespace contact_table {

// Column names exactly as stored, in the table's order.
QStringList columnNames();
int columnIndex(const QString& name); // exact name; -1 when it is not one of ours
// The ten names double-quoted and comma-separated, for statements that name every column.
QString quotedColumnList();
// A column's stored name double-quoted, for a statement.
QString quotedColumn(Column column);
// The caption of a column's box.
QString columnTitle(Column column);

// The names of the columns the table "address" of db has, in its order; none without the table.
QStringList presentColumns(const Database& db);

// The name of the index a column has when it is indexed: "address_" and the name in lower case.
QString indexName(Column column);

// How long a connection waits for another program's lock on the book before it gives up.
inline constexpr int kBusyTimeoutMs = 5000;

// Whole-value comparison without regard to letter case, for all of Unicode (text_fold::compare).
// Registered on every connection; the four searched columns are indexed with it.
inline constexpr const char* kCollation = "TESSALINE_NOCASE";
void registerCollation(sqlite3* db);

// Marks a file as ours: "TSLN".
inline constexpr int kApplicationId = 0x54534C4E;
inline constexpr int kSchemaVersion = 1;

inline constexpr const char* kFileName = "address.mdb";
// The application directory, the platform's separator, then the file name.
QString databasePath(const QString& applicationDirectory);

// Makes an empty address book at path. Refuses to touch a path that already exists; a failure
// leaves nothing behind.
void createAddressBook(const QString& path);
// The same, with rows written by fill into the new book before it appears at path; whatever fill
// throws leaves nothing behind either. fill sees the table without its indexes, which are made
// once the rows are in.
void createAddressBook(const QString& path, const std::function<void(Database&)>& fill);

// Opens an existing address book for reading and writing. Never creates or changes anything
// when the file is missing or is not a usable address book. `vfs` as for Database.
Database openAddressBook(const QString& path, const char* vfs = nullptr);

// The file's first bytes name an old Access (Jet/ACE) database.
bool looksLikeAccessFile(const QString& path);
// What to say of a file in none of the formats tessaline-db imports.
QString unknownFormat(const QString& path);

// Throws a StoreError that tells the user what is wrong unless path is an existing SQLite file; an
// old Access-format file gets the command that converts it.
void checkIsSqliteFile(const QString& path);

// Whether a file's first bytes are those every SQLite database begins with.
bool beginsAsSqlite(const QByteArray& head);
// Up to `length` first bytes of the file a connection has open, read through the connection's own
// handle. Use it rather than opening the file again while the program has it open: on POSIX
// systems closing any handle on a file drops all of the process's locks on it.
QByteArray fileHead(const Database& db, int length);

} // namespace contact_table
