#pragma once

#include <QByteArray>
#include <QTextStream>

// Output that must arrive whole: a full disk or a closed pipe under standard output is a failure
// to report, not a short file to leave behind in silence.
namespace written_output {

// Throws a StoreError saying why out could not be written, if any write to it has failed.
void requireWritten(const QTextStream& out);

// Writes bytes after what out holds so far: straight to its device when it has one, else as
// UTF-8 text into its string. Throws a StoreError when they could not all be written.
void writeBytes(QTextStream& out, const QByteArray& bytes);

// Flushes out to the file under it and makes the system hand over what it still keeps back, as
// closing the file would; throws a StoreError when any of it fails.
void finish(QTextStream& out);

} // namespace written_output
