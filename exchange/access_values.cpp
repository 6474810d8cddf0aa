#include "exchange/access_values.h"

#include "exchange/access_import.h"

#include <QByteArray>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace access_import {

namespace {

// Text that libmdb allocated for us. A memo fills its buffer of the bind size without a closing
// zero when the text is cut there, so a capacity bounds the search for its end.
QString takeLibraryText(char* text, size_t capacity = size_t(-1)) {
    const QString result = QString::fromUtf8(text, qsizetype(::strnlen(text, capacity)));
    g_free(text);
    return result;
}

template <typename Number> QString numberText(Number value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
}

// The bytes a value of a fixed-width type takes; 0 for types of any width.
int widthOf(int type) {
    switch (type) {
    case MDB_BYTE:
        return 1;
    case MDB_INT:
        return 2;
    case MDB_LONGINT:
    case MDB_COMPLEX:
    case MDB_FLOAT:
        return 4;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME:
        return 8;
    case MDB_REPID:
        return 16;
    case MDB_NUMERIC:
        return 17;
    default:
        return 0;
    }
}

bool isText(int type) {
    return type == MDB_TEXT || type == MDB_MEMO;
}

// A memo value longer than this is cut off rather than allowed to exhaust memory.
constexpr size_t kMaxValueBytes = size_t(64) * 1024 * 1024;

bool fits(const MdbColumn& column, const MdbField& field, int rowStart, size_t rowSize) {
    if (field.is_null || column.col_type == MDB_BOOL)
        return true;
    if (field.siz < 0 || field.start < rowStart ||
        size_t(field.start - rowStart) + size_t(field.siz) > rowSize)
        return false;
    if (const int width = widthOf(column.col_type))
        return field.siz == width;
    if (column.col_type == MDB_MEMO) // nothing, or its 12-byte head and what follows
        return field.siz == 0 || field.siz >= MDB_MEMO_OVERHEAD;
    return true;
}

// A moment Access can hold: from the year 100 to the year 9999, in days from 30 December 1899.
bool isPlausibleMoment(double days) {
    return std::isfinite(days) && days >= -657434.0 && days < 2958466.0;
}

constexpr quint32 kInlineMemo = 0x80000000;  // the text follows the memo's head in the row
constexpr quint32 kOnePageMemo = 0x40000000; // the text is one row of a long-value page
constexpr int kMaxMemoPieces = 1 << 16;

// Finds a row of a long-value page, as libmdb will: false when there is none.
bool findLongValue(MdbHandle* mdb, int pageRow, const unsigned char*& page, size_t& start,
                   size_t& size) {
    void* buffer = nullptr;
    int offset = 0;
    if (mdb_find_pg_row(mdb, pageRow, &buffer, &offset, &size) != 0)
        return false;
    page = static_cast<const unsigned char*>(buffer);
    start = size_t(offset);
    return page[0] == MDB_PAGE_DATA && std::memcmp(page + 4, "LVAL", 4) == 0;
}

// The bytes of text libmdb will find for a memo, or nothing when it would lose some without a
// word: a long-value row that is not there, pieces that end early, loop or run long, or a form
// it does not know. The head holds the length below two flags.
std::optional<size_t> memoBytes(MdbHandle* mdb, const MdbField& field) {
    if (field.siz == 0)
        return 0;
    const quint32 head = quint32(mdb_get_int32(mdb->pg_buf, field.start));
    const quint32 length = head & 0x3FFFFFFF;
    int pageRow = int(mdb_get_int32(mdb->pg_buf, field.start + 4));
    const unsigned char* page = nullptr;
    size_t start = 0;
    size_t size = 0;
    if (head & kInlineMemo)
        return size_t(field.siz - MDB_MEMO_OVERHEAD);
    if (head & kOnePageMemo)
        return findLongValue(mdb, pageRow, page, start, size) ? std::optional(size) : std::nullopt;
    if (head & 0xFF000000)
        return std::nullopt;
    size_t total = 0;
    for (int piece = 0; piece < kMaxMemoPieces; ++piece) {
        if (!findLongValue(mdb, pageRow, page, start, size) || size < 4 ||
            total + size - 4 > length)
            return std::nullopt;
        total += size - 4;
        pageRow = int(mdb_get_int32(const_cast<unsigned char*>(page), int(start)));
        if (pageRow == 0)
            return total == length ? std::optional(total) : std::nullopt;
    }
    return std::nullopt;
}

size_t boundFor(size_t storedBytes) {
    return qMin(storedBytes * 3 + 16, kMaxValueBytes);
}

// Jet 4 text is UCS-2, possibly in its compressed form; Jet 3 text is in the file's code page.
// libmdb turns either into UTF-8 of at most three bytes per stored byte.
QString decodedText(MdbHandle* mdb, const unsigned char* raw, size_t size) {
    QByteArray utf8(qsizetype(boundFor(size)), Qt::Uninitialized);
    const int length = mdb_unicode2ascii(mdb, reinterpret_cast<const char*>(raw), size, utf8.data(),
                                         size_t(utf8.size()));
    return QString::fromUtf8(utf8.constData(), qMax(length, 0));
}

} // namespace

bool isConvertible(int type) {
    return type == MDB_BOOL || widthOf(type) > 0 || isText(type);
}

bool isBinary(int type) {
    return type == MDB_BINARY || type == MDB_OLE;
}

bool isReadable(MdbHandle* mdb, const MdbColumn& column, const MdbField& field, int rowStart,
                std::size_t rowSize) {
    if (!fits(column, field, rowStart, rowSize))
        return false;
    if (field.is_null)
        return true;
    if (column.col_type == MDB_MEMO)
        return memoBytes(mdb, field).has_value();
    return column.col_type != MDB_DATETIME ||
           isPlausibleMoment(mdb_get_double(mdb->pg_buf, field.start));
}

std::optional<QString> valueText(MdbHandle* mdb, const MdbColumn& column, const MdbField& field) {
    if (column.col_type == MDB_BOOL) // kept in the null flag itself
        return field.is_null ? QStringLiteral("False") : QStringLiteral("True");
    if (field.is_null)
        return std::nullopt;
    unsigned char* page = mdb->pg_buf;
    switch (column.col_type) {
    case MDB_TEXT:
        return decodedText(mdb, page + field.start, size_t(field.siz));
    case MDB_MEMO: {
        const size_t bound = boundFor(memoBytes(mdb, field).value_or(0));
        mdb_set_bind_size(mdb, bound);
        return takeLibraryText(mdb_col_to_string(mdb, page, field.start, MDB_MEMO, field.siz),
                               bound);
    }
    case MDB_DATETIME:
        return dateText(mdb_get_double(page, field.start));
    case MDB_BYTE:
        return numberText(int(mdb_get_byte(page, field.start)));
    case MDB_INT:
        return numberText(qint16(mdb_get_int16(page, field.start)));
    case MDB_LONGINT:
    case MDB_COMPLEX:
        return numberText(qint32(mdb_get_int32(page, field.start)));
    case MDB_FLOAT:
        return numberText(mdb_get_single(page, field.start));
    case MDB_DOUBLE:
        return numberText(mdb_get_double(page, field.start));
    case MDB_MONEY:
        return takeLibraryText(mdb_money_to_string(mdb, field.start));
    case MDB_NUMERIC:
        return takeLibraryText(
            mdb_numeric_to_string(mdb, field.start, column.col_scale, column.col_prec));
    case MDB_REPID:
        return takeLibraryText(mdb_uuid_to_string(page, field.start));
    default:
        return std::nullopt;
    }
}

} // namespace access_import
