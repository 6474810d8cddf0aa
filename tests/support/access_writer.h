#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

// Writes small files in the old Access (Jet 3 or Jet 4) database format for tests: one user table
// with its rows on as many data pages as they need, and the catalog table MSysObjects that names
// it. The pages are laid out as mdbtools' notes on the format (HACKING) describe them; indexes,
// properties and the database-wide page map are left out, since libmdb reads none of them to list
// a table's rows. Test code only: the program never writes this format.
//
//     access_writer::write(path, {"address", contactColumns, rows}, {Version::Jet3});
//
// A test that damages a file on purpose takes the bytes from build() and finds what to change in
// its Layout: the page size, the table's definition page and the file offset of each column's
// descriptor, the data and long-value pages, and the rows that hold the page-usage maps.
namespace access_writer {

enum class Version { Jet3, Jet4 };

// Column types, by their codes in the format.
enum class ColumnType : unsigned char {
    Integer = 0x03,     // 16 bits
    LongInteger = 0x04, // 32 bits
    DateTime = 0x08,    // days since 30 December 1899, as a double
    Text = 0x0A,        // at most 255 characters
    OleObject = 0x0B,   // only NULL can be written
    Memo = 0x0C,        // long text: inside the row when short, else on long-value pages
};

struct Column {
    QString name;
    ColumnType type = ColumnType::Text;
};

// One value per column, in column order. An invalid QVariant is NULL; text and memo take a
// QString (an empty one is the empty text), the integers an int, DateTime a QDate or QDateTime.
using Row = QList<QVariant>;

struct Table {
    QString name;
    QList<Column> columns;
    QList<Row> rows;
};

struct Options {
    Version version = Version::Jet4;
    // Jet 4: text and memo values in the compressed form wherever it is shorter, as Access does
    // for columns with "Unicode compression"; otherwise every value is plain UCS-2.
    bool compressText = false;
    // Jet 3: the Windows code page of all text, which the file header also names.
    int codePage = 1252;
};

// A row of a data page: where it lies in the file, and where its page keeps its start (the
// 16-bit entry of the page's row offset table; the row ends where the previous row starts).
struct RowPlace {
    int page = 0;
    int index = 0;
    qint64 start = 0;
    int length = 0;
    qint64 offsetEntry = 0;
};

struct Layout {
    int pageSize = 0;
    int catalogDefinitionPage = 0;
    int tableDefinitionPage = 0;
    QList<qint64> columnDescriptors; // file offset of each column's descriptor; its type byte first
    QList<int> catalogDataPages;
    QList<int> tableDataPages;
    QList<int> longValuePages; // memo text too long to stay in its row
    RowPlace catalogUsageMap;  // the page-usage map that lists the catalog's data pages
    RowPlace tableUsageMap;    // the same for the table
};

struct File {
    QByteArray bytes;
    Layout layout;
};

// The whole file. Throws std::invalid_argument for what the format cannot hold: a text over 255
// characters, a character outside the Jet 3 code page, a row larger than a page.
File build(const Table& table, const Options& options = {});

// Writes build(table, options).bytes to path and returns the layout; throws std::runtime_error
// when the file cannot be written.
Layout write(const QString& path, const Table& table, const Options& options = {});

} // namespace access_writer
