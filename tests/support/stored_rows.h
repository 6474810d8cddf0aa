#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <initializer_list>

// The address book's table as the tests see it, read and changed through connections of the
// tests' own rather than the program's.

// One row as stored: NULL is an invalid QVariant, text a QString.
using StoredRow = QList<QVariant>;

// The table's columns by position.
enum Column { Name, Surname, Phone, Fax, Address, Email, Url, Other, CreatedOn, ModifiedOn };

// A row with the given leading columns and NULL in the rest.
StoredRow row(std::initializer_list<QVariant> leading);

// What a window shows of a row: every value as text, NULL as empty text.
QStringList textsOf(const StoredRow& stored);
QList<QStringList> textsOf(const QList<StoredRow>& rows);

// Every row of the table "address" in the file at path, in rowid order.
QList<StoredRow> rowsIn(const QString& path);

// Stores rows into the address book at path in one transaction (values in the table's column
// order, NULL for invalid QVariants and for the columns a row leaves out).
void insertRows(const QString& path, const QList<StoredRow>& rows);

// Runs statements on an address book, with our collation registered.
void execOn(const QString& path, const char* sql);
