#pragma once

#include "stored_rows.h"

#include <QString>
#include <QStringList>

// Helpers for the tests of tessaline-db: real files, read back the way they are stored.

// The path of a shared test fixture (the Jet files described in their README).
QString fixturePath(const QString& name);

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
