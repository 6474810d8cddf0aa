#pragma once

#include "support/access_writer.h"

#include <QByteArray>
#include <QList>

// The parts of the Access writer that know how one row is laid out: the sizes of the format, the
// place of each column in a row, the bytes of a value and the packing of a whole row.
namespace access_writer::rows {

struct Format {
    Version version = Version::Jet4;
    int pageSize = 4096;
    int rowCountOffset = 12; // data pages: the row count, then the row offset table
    bool jet3() const { return version == Version::Jet3; }
};
Format formatOf(Version version);

void putInt16(QByteArray& bytes, qsizetype at, int value);
void putInt32(QByteArray& bytes, qsizetype at, qint64 value);

// Where a column's value goes in a row: fixed-size values at a fixed offset, the others in the
// variable part under their own index.
struct ColumnPlace {
    Column column;
    bool fixed = false;
    int size = 0;        // the column length written into the table definition
    int fixedOffset = 0; // within the fixed part, which follows the column count
    int varIndex = 0;
};
QList<ColumnPlace> placeColumns(const QList<Column>& columns, const Format& format);
int fixedPartSize(const QList<ColumnPlace>& places);

// A value as stored: NULL, or its bytes (for a memo, the 12-byte reference or inline form).
struct Field {
    bool null = true;
    QByteArray bytes;
};

// Text in the file's encoding: the code page for Jet 3, UCS-2 (maybe compressed) for Jet 4.
QByteArray textBytes(const QString& text, const Options& options);
QByteArray nameBytes(const QString& name, const Options& options);

// The stored bytes of a fixed-size value.
QByteArray fixedBytes(ColumnType type, const QVariant& value);

// A whole row: column count, fixed part, variable part, offsets, null mask.
QByteArray packRow(const QList<ColumnPlace>& places, const QList<Field>& fields,
                   const Format& format);

} // namespace access_writer::rows
