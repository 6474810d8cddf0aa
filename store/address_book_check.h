#pragma once

#include "store/sqlite_db.h"

#include <QString>
#include <QStringList>

// A health check of an address book file: SQLite's own integrity check (with our collation
// registered) and our layout: the table, its ten columns, the four case-blind indexes, the
// application id and the schema version. Changes nothing in the file.
namespace address_book_check {

// What is wrong, one finding per entry; empty when the file is a sound address book.
QStringList findProblems(const QString& path);

// SQLite's own findings of damage in an open book, each as "Damaged: ..."; empty when it has
// none. The quick check leaves out whether the indexes hold what their table holds.
enum class Depth { Quick, Full };
QStringList damageFound(const Database& db, Depth depth);

} // namespace address_book_check
