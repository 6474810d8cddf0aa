#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// Helpers for the tests of tessaline-db: real files, read back the way they are stored.

// One row as stored: NULL is an invalid QVariant, text a QString.
using FileRow = QList<QVariant>;

// The path of a shared test fixture (the Jet files described in their README).
QString fixturePath(const QString& name);

// Every row of the table "address" in path, in the order stored, read through a connection of the
// test's own.
QList<FileRow> rowsIn(const QString& path);

// Runs one command of tessaline-db in this process with the Access reader handed in.
struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};
ToolRun runTool(const QStringList& arguments);

// The names in a folder, hidden ones and staging files included.
QStringList entriesOf(const QString& directory);

// The whole content of a file.
QByteArray contentOf(const QString& path);

// Runs statements on an address book, with our collation registered.
void execOn(const QString& path, const char* sql);
