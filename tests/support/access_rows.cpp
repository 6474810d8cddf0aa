#include "support/access_rows.h"

#include <QDateTime>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <iconv.h>
#include <optional>
#include <stdexcept>

namespace access_writer::rows {

namespace {

constexpr int kTextLength = 255;
// Access compresses no value longer than this.
constexpr qsizetype kMaxCompressed = 1024;

QByteArray ucs2(const QString& text) {
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian<quint16>(text.at(i).unicode(), bytes.data() + 2 * i);
    return bytes;
}

// Jet 4's compressed text: 0xFF 0xFE, then characters below U+0100 as one byte each and others
// as two, a zero byte switching between the two modes. A character whose low byte is zero cannot
// be written this way.
std::optional<QByteArray> compressed(const QString& text) {
    QByteArray bytes("\xff\xfe", 2);
    bool oneByte = true;
    for (const QChar c : text) {
        const ushort code = c.unicode();
        if ((code & 0xFF) == 0)
            return std::nullopt;
        if ((code <= 0xFF) != oneByte) {
            bytes.append('\0');
            oneByte = !oneByte;
        }
        bytes.append(char(code & 0xFF));
        if (!oneByte)
            bytes.append(char(code >> 8));
    }
    return bytes;
}

QByteArray codePageBytes(const QString& text, int codePage) {
    const QByteArray name = "CP" + QByteArray::number(codePage);
    const iconv_t converter = iconv_open(name.constData(), "UTF-8");
    if (converter == iconv_t(-1))
        throw std::invalid_argument("unknown code page " + name.toStdString());
    QByteArray in = text.toUtf8();
    QByteArray out(in.size() * 2 + 4, Qt::Uninitialized);
    char* inPtr = in.data();
    char* outPtr = out.data();
    size_t inLeft = size_t(in.size());
    size_t outLeft = size_t(out.size());
    const size_t done = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (done == size_t(-1))
        throw std::invalid_argument("\"" + text.toStdString() + "\" has no form in " +
                                    name.toStdString());
    out.truncate(out.size() - qsizetype(outLeft));
    return out;
}

bool isFixed(ColumnType type) {
    return type == ColumnType::Integer || type == ColumnType::LongInteger ||
           type == ColumnType::DateTime;
}

int columnSize(ColumnType type, const Format& format) {
    switch (type) {
    case ColumnType::Integer:
        return 2;
    case ColumnType::LongInteger:
        return 4;
    case ColumnType::DateTime:
        return 8;
    case ColumnType::Text:
        return format.jet3() ? kTextLength : 2 * kTextLength;
    default:
        return 0;
    }
}

QByteArray nullMask(const QList<Field>& fields) {
    QByteArray mask((fields.size() + 7) / 8, '\0');
    for (qsizetype i = 0; i < fields.size(); ++i)
        if (!fields[i].null)
            mask[i / 8] = char(mask[i / 8] | (1 << (i % 8)));
    return mask;
}

// The column count and the fixed part, where a NULL value keeps its place as zero bytes.
QByteArray rowHead(const QList<ColumnPlace>& places, const QList<Field>& fields,
                   const Format& format) {
    QByteArray head(format.jet3() ? 1 : 2, '\0');
    if (format.jet3())
        head[0] = char(places.size());
    else
        putInt16(head, 0, int(places.size()));
    QByteArray fixedPart(fixedPartSize(places), '\0');
    for (qsizetype i = 0; i < places.size(); ++i)
        if (places[i].fixed && !fields[i].null)
            fixedPart.replace(places[i].fixedOffset, fields[i].bytes.size(), fields[i].bytes);
    return head + fixedPart;
}

// Appends the variable values; returns the offset of each from the row start and, last, the
// offset of the end of the variable part.
QList<int> appendVariable(QByteArray& row, const QList<ColumnPlace>& places,
                          const QList<Field>& fields) {
    QList<int> offsets;
    for (qsizetype i = 0; i < places.size(); ++i) {
        if (places[i].fixed)
            continue;
        offsets << int(row.size());
        if (!fields[i].null)
            row += fields[i].bytes;
    }
    offsets << int(row.size());
    return offsets;
}

// Jet 4: the end offset, the columns' offsets last to first, their count, the null mask.
QByteArray jet4Tail(const QList<int>& offsets, const QByteArray& mask) {
    const int count = int(offsets.size()) - 1;
    QByteArray tail(2 * (count + 2), '\0');
    for (int i = 0; i <= count; ++i)
        putInt16(tail, 2 * (count - i), offsets[i]);
    putInt16(tail, 2 * (count + 1), count);
    return tail + mask;
}

int firstAtOrPast(const QList<int>& offsets, int boundary) {
    for (qsizetype i = 0; i < offsets.size(); ++i)
        if (offsets[i] >= boundary)
            return int(i);
    return int(offsets.size());
}

// Jet 3 keeps offsets in single bytes. Its jump table names, for each 256-byte boundary the
// offsets cross, the first offset at or past it; a reader takes (row length - 1) / 256 entries
// from it and drops one dummy entry beyond those the offsets need. A row whose length leaves no
// such count has no tail.
std::optional<QByteArray> jet3Tail(const QList<int>& offsets, const QByteArray& mask) {
    const int count = int(offsets.size()) - 1;
    const int end = offsets.last();
    const int jumps = end / 256;
    const int lengthWithoutJumps = end + 1 + count + 1 + int(mask.size());
    int entries = jumps;
    if ((lengthWithoutJumps + entries - 1) / 256 != entries)
        ++entries;
    if ((lengthWithoutJumps + entries - 1) / 256 != entries)
        return std::nullopt;
    QByteArray tail;
    for (int i = count; i >= 0; --i)
        tail.append(char(offsets[i] & 0xFF));
    if (entries > jumps)
        tail.append('\xff');
    for (int boundary = jumps; boundary >= 1; --boundary)
        tail.append(char(firstAtOrPast(offsets, 256 * boundary)));
    tail.append(char(count));
    return tail + mask;
}

} // namespace

Format formatOf(Version version) {
    if (version == Version::Jet3)
        return {version, 2048, 8};
    return {version, 4096, 12};
}

void putInt16(QByteArray& bytes, qsizetype at, int value) {
    qToLittleEndian<quint16>(quint16(value), bytes.data() + at);
}

void putInt32(QByteArray& bytes, qsizetype at, qint64 value) {
    qToLittleEndian<quint32>(quint32(value), bytes.data() + at);
}

QList<ColumnPlace> placeColumns(const QList<Column>& columns, const Format& format) {
    QList<ColumnPlace> places;
    int fixedOffset = 0;
    int varIndex = 0;
    for (const Column& column : columns) {
        ColumnPlace place{column, isFixed(column.type), columnSize(column.type, format)};
        if (place.fixed) {
            place.fixedOffset = fixedOffset;
            fixedOffset += place.size;
        } else {
            place.varIndex = varIndex++;
        }
        places << place;
    }
    return places;
}

int fixedPartSize(const QList<ColumnPlace>& places) {
    int size = 0;
    for (const ColumnPlace& place : places)
        size += place.fixed ? place.size : 0;
    return size;
}

QByteArray textBytes(const QString& text, const Options& options) {
    if (options.version == Version::Jet3)
        return codePageBytes(text, options.codePage);
    const QByteArray plain = ucs2(text);
    if (!options.compressText || text.size() > kMaxCompressed)
        return plain;
    const std::optional<QByteArray> shorter = compressed(text);
    return shorter && shorter->size() < plain.size() ? *shorter : plain;
}

QByteArray nameBytes(const QString& name, const Options& options) {
    if (options.version == Version::Jet3)
        return codePageBytes(name, options.codePage);
    return ucs2(name);
}

QByteArray fixedBytes(ColumnType type, const QVariant& value) {
    QByteArray bytes(8, '\0');
    switch (type) {
    case ColumnType::Integer:
        putInt16(bytes, 0, value.toInt());
        return bytes.left(2);
    case ColumnType::LongInteger:
        putInt32(bytes, 0, value.toInt());
        return bytes.left(4);
    case ColumnType::DateTime: {
        const QDateTime when = value.typeId() == QMetaType::QDate
                                   ? QDateTime(value.toDate(), QTime(0, 0))
                                   : value.toDateTime();
        const double days = double(QDate(1899, 12, 30).daysTo(when.date())) +
                            when.time().msecsSinceStartOfDay() / 86400000.0;
        quint64 bits = 0;
        std::memcpy(&bits, &days, sizeof bits);
        qToLittleEndian<quint64>(bits, bytes.data());
        return bytes;
    }
    default:
        throw std::invalid_argument("not a fixed-size column type");
    }
}

QByteArray packRow(const QList<ColumnPlace>& places, const QList<Field>& fields,
                   const Format& format) {
    const QByteArray mask = nullMask(fields);
    if (places.isEmpty())
        throw std::invalid_argument("a table needs columns");
    if (std::all_of(places.begin(), places.end(), [](const ColumnPlace& p) { return p.fixed; }))
        return rowHead(places, fields, format) + mask;
    // Unused bytes before the variable part shift a Jet 3 row off a length it cannot describe.
    for (int padding = 0; padding < 4; ++padding) {
        QByteArray row = rowHead(places, fields, format) + QByteArray(padding, '\0');
        const QList<int> offsets = appendVariable(row, places, fields);
        if (!format.jet3())
            return row + jet4Tail(offsets, mask);
        if (const std::optional<QByteArray> tail = jet3Tail(offsets, mask))
            return row + *tail;
    }
    throw std::logic_error("no Jet 3 row layout fits");
}

} // namespace access_writer::rows
