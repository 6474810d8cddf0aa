#include "support/access_writer.h"

#include "support/access_rows.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <numeric>
#include <stdexcept>
#include <utility>

namespace access_writer {

namespace {

using namespace rows;

// Page 0 is the header and page 2 always the catalog's definition, where every reader looks for
// it. Page 1 holds the page-usage maps as rows; page 3 is the user table's definition.
constexpr int kMapPage = 1;
constexpr int kCatalogDefinitionPage = 2;
constexpr int kTableDefinitionPage = 3;
enum MapRow { CatalogUsage, CatalogFree, TableUsage, TableFree };

constexpr int kMemoHeader = 12;
constexpr quint32 kInlineMemo = 0x80000000;
constexpr qint64 kSystemObject = 0x80000002;
constexpr int kTableObject = 1;
constexpr quint32 kLongValueOwner = 0x4C41564C; // "LVAL"

// Part of the header page is scrambled with RC4 under a key every Jet file shares.
void scramble(QByteArray& bytes, qsizetype from, qsizetype length) {
    constexpr std::array<quint8, 4> key{0xc7, 0xda, 0x39, 0x6b};
    std::array<quint8, 256> s{};
    std::iota(s.begin(), s.end(), quint8(0));
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (qsizetype n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        bytes[from + n] = char(quint8(bytes[from + n]) ^ s[(s[i] + s[j]) & 0xFF]);
    }
}

int int16At(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

QByteArray newDataPage(const Format& format, quint32 owner) {
    QByteArray page(format.pageSize, '\0');
    page[0] = 0x01;
    page[1] = 0x01;
    putInt16(page, 2, format.pageSize - format.rowCountOffset - 2);
    putInt32(page, 4, owner);
    return page;
}

// Rows fill a data page from its end; the row offset table grows from its header.
int rowsStart(const QByteArray& page, const Format& format) {
    const int count = int16At(page, format.rowCountOffset);
    return count == 0 ? format.pageSize : int16At(page, format.rowCountOffset + 2 * count) & 0x1FFF;
}

int freeSpace(const QByteArray& page, const Format& format) {
    const int count = int16At(page, format.rowCountOffset);
    return rowsStart(page, format) - (format.rowCountOffset + 2 + 2 * count);
}

// Adds a row to a data page; returns false when it does not fit.
bool addRow(QByteArray& page, const Format& format, const QByteArray& row) {
    if (row.size() > freeSpace(page, format) - 2)
        return false;
    const int count = int16At(page, format.rowCountOffset);
    const int start = rowsStart(page, format) - int(row.size());
    page.replace(start, row.size(), row);
    putInt16(page, format.rowCountOffset + 2 + 2 * count, start);
    putInt16(page, format.rowCountOffset, count + 1);
    putInt16(page, 2, freeSpace(page, format));
    return true;
}

RowPlace placeOf(const QByteArray& page, int number, int index, const Format& format) {
    const qsizetype entry = format.rowCountOffset + 2 + 2 * index;
    const int start = int16At(page, entry) & 0x1FFF;
    const int end = index == 0 ? format.pageSize : int16At(page, entry - 2) & 0x1FFF;
    const qint64 base = qint64(number) * format.pageSize;
    return {number, index, base + start, end - start, base + entry};
}

const QList<Column>& catalogColumns() {
    static const QList<Column> columns{{"Id", ColumnType::LongInteger},
                                       {"Name", ColumnType::Text},
                                       {"Type", ColumnType::Integer},
                                       {"Flags", ColumnType::LongInteger},
                                       {"LvProp", ColumnType::OleObject}};
    return columns;
}

QList<Row> catalogRows(const QString& tableName) {
    return {{kCatalogDefinitionPage, QStringLiteral("MSysObjects"), kTableObject,
             int(kSystemObject), QVariant()},
            {kTableDefinitionPage, tableName, kTableObject, 0, QVariant()}};
}

class FileBuilder {
  public:
    explicit FileBuilder(const Options& options)
        : options_(options), format_(formatOf(options.version)),
          pages_(kTableDefinitionPage + 1, QByteArray(format_.pageSize, '\0')) {
        layout_.pageSize = format_.pageSize;
        layout_.catalogDefinitionPage = kCatalogDefinitionPage;
        layout_.tableDefinitionPage = kTableDefinitionPage;
    }

    File build(const Table& table) {
        const QList<ColumnPlace> catalog = placeColumns(catalogColumns(), format_);
        const QList<ColumnPlace> columns = placeColumns(table.columns, format_);
        layout_.catalogDataPages =
            writeRows(catalog, catalogRows(table.name), kCatalogDefinitionPage);
        layout_.tableDataPages = writeRows(columns, table.rows, kTableDefinitionPage);
        writeMaps();
        pages_[kCatalogDefinitionPage] = tableDefinition(catalog, 2, CatalogUsage, true);
        pages_[kTableDefinitionPage] = tableDefinition(columns, table.rows.size(), TableUsage);
        for (qsizetype i = 0; i < columns.size(); ++i)
            layout_.columnDescriptors << qint64(kTableDefinitionPage) * format_.pageSize +
                                             columnsStart() + i * descriptorSize();
        pages_[0] = headerPage();
        return {pages_.join(), layout_};
    }

  private:
    int addPage(const QByteArray& page) {
        pages_ << page;
        return int(pages_.size()) - 1;
    }

    QList<int> writeRows(const QList<ColumnPlace>& places, const QList<Row>& rows, int owner) {
        QList<int> dataPages;
        for (const Row& row : rows) {
            const QByteArray packed = packRow(places, fieldsOf(places, row), format_);
            if (!dataPages.isEmpty() && addRow(pages_[dataPages.last()], format_, packed))
                continue;
            dataPages << addPage(newDataPage(format_, quint32(owner)));
            if (!addRow(pages_[dataPages.last()], format_, packed))
                throw std::invalid_argument("a row of " + std::to_string(packed.size()) +
                                            " bytes does not fit in a page");
        }
        return dataPages;
    }

    QList<Field> fieldsOf(const QList<ColumnPlace>& places, const Row& row) {
        if (row.size() != places.size())
            throw std::invalid_argument("a row needs one value per column");
        QList<Field> fields;
        for (qsizetype i = 0; i < places.size(); ++i)
            fields << fieldOf(places[i].column.type, row[i]);
        return fields;
    }

    Field fieldOf(ColumnType type, const QVariant& value) {
        if (!value.isValid())
            return {};
        switch (type) {
        case ColumnType::Text:
            if (value.toString().size() > 255)
                throw std::invalid_argument("a text holds at most 255 characters");
            return {false, textBytes(value.toString(), options_)};
        case ColumnType::Memo:
            return {false, memoField(textBytes(value.toString(), options_))};
        case ColumnType::OleObject:
            throw std::invalid_argument("an OLE object column takes only NULL");
        default:
            return {false, fixedBytes(type, value)};
        }
    }

    // A memo keeps short text in the row after its 12-byte header, and longer text on pages of
    // its own, one piece each, every piece led by the row reference of the next.
    QByteArray memoField(const QByteArray& text) {
        QByteArray field(kMemoHeader, '\0');
        if (text.size() <= format_.pageSize / 8) {
            putInt32(field, 0, kInlineMemo | quint32(text.size()));
            return field + text;
        }
        const qsizetype piece = format_.pageSize - format_.rowCountOffset - 2 - 2 - 4;
        const int first = int(pages_.size());
        putInt32(field, 0, text.size());
        putInt32(field, 4, qint64(first) << 8);
        for (qsizetype at = 0; at < text.size(); at += piece) {
            const bool last = at + piece >= text.size();
            QByteArray row(4, '\0');
            putInt32(row, 0, last ? 0 : qint64(pages_.size() + 1) << 8);
            QByteArray page = newDataPage(format_, kLongValueOwner);
            addRow(page, format_, row + text.mid(at, piece));
            layout_.longValuePages << addPage(page);
        }
        return field;
    }

    // Each map is a row: type 0, the first page it describes, then one bit per page.
    void writeMaps() {
        QByteArray page = newDataPage(format_, 0);
        const qsizetype bitmapSize = qMax<qsizetype>((pages_.size() + 7) / 8, 59);
        const auto map = [&](const QList<int>& used) {
            QByteArray row(5 + bitmapSize, '\0');
            for (const int number : used)
                row[5 + number / 8] = char(row[5 + number / 8] | (1 << (number % 8)));
            return row;
        };
        for (const QList<int>& used :
             {layout_.catalogDataPages, QList<int>(), layout_.tableDataPages, QList<int>()})
            if (!addRow(page, format_, map(used)))
                throw std::invalid_argument("too many pages for the page-usage maps");
        pages_[kMapPage] = page;
        layout_.catalogUsageMap = placeOf(page, kMapPage, CatalogUsage, format_);
        layout_.tableUsageMap = placeOf(page, kMapPage, TableUsage, format_);
    }

    int columnsStart() const { return format_.jet3() ? 43 : 63; }
    int descriptorSize() const { return format_.jet3() ? 18 : 25; }

    QByteArray tableDefinition(const QList<ColumnPlace>& places, qsizetype rowCount, MapRow usage,
                               bool system = false) const {
        QByteArray page(format_.pageSize, '\0');
        page[0] = 0x02;
        page[1] = 0x01;
        putInt32(page, format_.jet3() ? 12 : 16, rowCount);
        const int typeAt = format_.jet3() ? 20 : 40;
        page[typeAt] = char(system ? 0x53 : 0x4E);
        const auto variable = std::count_if(places.begin(), places.end(),
                                            [](const ColumnPlace& p) { return !p.fixed; });
        putInt16(page, typeAt + 1, int(places.size()));
        putInt16(page, typeAt + 3, int(variable));
        putInt16(page, typeAt + 5, int(places.size()));
        putInt32(page, typeAt + 15, (kMapPage << 8) | usage);
        putInt32(page, typeAt + 19, (kMapPage << 8) | (usage + 1));
        QByteArray columns;
        for (qsizetype i = 0; i < places.size(); ++i)
            columns += columnDescriptor(places[i], int(i));
        for (const ColumnPlace& place : places)
            columns += lengthLed(nameBytes(place.column.name, options_));
        if (columnsStart() + columns.size() > format_.pageSize)
            throw std::invalid_argument("too many columns for one definition page");
        page.replace(columnsStart(), columns.size(), columns);
        const int end = columnsStart() + int(columns.size());
        putInt32(page, 8, end);
        if (format_.jet3())
            page.replace(2, 2, "VC");
        else
            putInt16(page, 2, format_.pageSize - end - 8);
        return page;
    }

    QByteArray lengthLed(const QByteArray& name) const {
        QByteArray length(format_.jet3() ? 1 : 2, '\0');
        if (format_.jet3())
            length[0] = char(name.size());
        else
            putInt16(length, 0, int(name.size()));
        return length + name;
    }

    // Jet 4's descriptor has four more bytes after the type than Jet 3's.
    QByteArray columnDescriptor(const ColumnPlace& place, int number) const {
        const bool jet3 = format_.jet3();
        const int shift = jet3 ? 0 : 4;
        const bool text =
            place.column.type == ColumnType::Text || place.column.type == ColumnType::Memo;
        QByteArray entry(descriptorSize(), '\0');
        entry[0] = char(place.column.type);
        putInt16(entry, 1 + shift, number);
        putInt16(entry, 3 + shift, place.fixed ? 0 : place.varIndex);
        putInt16(entry, 5 + shift, number);
        if (text)
            putInt16(entry, 7 + shift, 0x409); // sort order "General"
        if (text && jet3)
            putInt16(entry, 9, options_.codePage);
        entry[jet3 ? 13 : 15] = char(place.fixed ? 0x03 : 0x02); // fixed length, may be NULL
        if (text && !jet3 && options_.compressText)
            entry[16] = 0x01;
        putInt16(entry, jet3 ? 14 : 21, place.fixedOffset);
        putInt16(entry, jet3 ? 16 : 23, place.size);
        return entry;
    }

    QByteArray headerPage() const {
        const bool jet3 = format_.jet3();
        QByteArray page(format_.pageSize, '\0');
        page[1] = 0x01;
        page.replace(4, 15, "Standard Jet DB");
        putInt32(page, 0x14, jet3 ? 0 : 1);
        putInt16(page, jet3 ? 0x3A : 0x6E, 0x409); // sort order "General"
        putInt16(page, 0x3C, options_.codePage);
        // The database key at 0x3E stays zero: the pages are not encrypted.
        scramble(page, 0x18, jet3 ? 126 : 128);
        return page;
    }

    Options options_;
    Format format_;
    QList<QByteArray> pages_;
    Layout layout_;
};

} // namespace

File build(const Table& table, const Options& options) {
    return FileBuilder(options).build(table);
}

Layout write(const QString& path, const Table& table, const Options& options) {
    const File file = build(table, options);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(file.bytes) != file.bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString() + ": " +
                                 out.errorString().toStdString());
    return file.layout;
}

} // namespace access_writer
