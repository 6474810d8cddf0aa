#pragma once

#include <QString>
#include <QStringList>

// A health check of an address book file: SQLite's own integrity check (with our collation
// registered) and our layout: the table, its ten columns, the four case-blind indexes, the
// application id and the schema version. Changes nothing in the file.
namespace address_book_check {

// What is wrong, one finding per entry; empty when the file is a sound address book.
QStringList findProblems(const QString& path);

} // namespace address_book_check
