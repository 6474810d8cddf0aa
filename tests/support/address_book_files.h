#pragma once

#include "support/access_writer.h"
#include "support/stored_rows.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// Helpers for the tests of tessaline-db: real files, read back the way they are stored.

// The path of a file in the team's shared folder of Access files made by another tool; only the
// cross-check with them reads it.
QString fixturePath(const QString& name);

// Contacts with the hard cases first (non-ASCII text, a two-line address, NULL and empty text, an
// apostrophe), then made-up ones: row i from 3 on is First<i>, Last<i mod 997>, 555-<1000+i>.
QList<StoredRow> sampleContacts(int count);

// The contact table's columns as text columns of an old Access file, those named in memos as
// memo columns.
QList<access_writer::Column> accessContactColumns(const QStringList& memos = {});

// Writes an old Access-format file holding rows in a table "address" of the contact columns.
access_writer::Layout
writeAccessBook(const QString& path, const QList<StoredRow>& rows,
                const access_writer::Options& options = {},
                const QList<access_writer::Column>& columns = accessContactColumns());

// Runs one command of tessaline-db in this process with the Access reader handed in.
struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};
ToolRun runTool(const QStringList& arguments);

// Runs the executable itself, for what only a real process has: its standard output sent to a
// file or device (outputFile, when given), or changed by inChild, which runs in the child just
// before the executable starts (to drop privileges, say).
struct ProcessSetup {
    QString outputFile;
    std::function<void()> inChild;
};
ToolRun runExecutable(const QString& executable, const QStringList& arguments,
                      const ProcessSetup& setup = {});

// Writes over most of one page of a file of 4096-byte pages (counted from 0), as a failing disk
// might, and leaves the rest as it was.
void damagePage(const QString& path, int page);

// The names in a folder, hidden ones and staging files included.
QStringList entriesOf(const QString& directory);

// Writes a file whole, in place of what it held.
void writeFile(const QString& path, const QByteArray& bytes);

// The whole content of a file.
QByteArray contentOf(const QString& path);
