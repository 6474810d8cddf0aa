#include "store/access_import.h"

#include "store/contact_table.h"
#include "store/sqlite_db.h"
#include "store/store_error.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QVariant>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

// glib first: mdbtools.h includes it inside its extern "C" block, where glib's C++ parts may not
// stand.
#include <glib.h>
#include <mdbtools.h>

namespace access_import {

namespace {

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// libmdb tells of trouble only by printing to standard error. While capturing, whatever is printed
// there goes into a scratch file instead, so that our own messages can pass it on.
class LibraryMessages {
  public:
    LibraryMessages() {
        std::fflush(stderr);
        sink_ = std::tmpfile();
        if (sink_)
            savedStderr_ = ::dup(STDERR_FILENO);
    }
    ~LibraryMessages() {
        pause();
        if (savedStderr_ >= 0)
            ::close(savedStderr_);
        if (sink_)
            std::fclose(sink_);
    }
    LibraryMessages(const LibraryMessages&) = delete;
    LibraryMessages& operator=(const LibraryMessages&) = delete;

    void capture() {
        if (capturing_ || savedStderr_ < 0)
            return;
        std::fflush(stderr);
        capturing_ = ::dup2(::fileno(sink_), STDERR_FILENO) >= 0;
    }
    void pause() {
        if (!capturing_)
            return;
        std::fflush(stderr);
        ::dup2(savedStderr_, STDERR_FILENO);
        capturing_ = false;
    }

    // The distinct lines printed so far, at most a handful.
    QStringList lines() const {
        QStringList distinct;
        if (!sink_)
            return distinct;
        std::fflush(stderr);
        const int fd = ::fileno(sink_);
        const off_t end = ::lseek(fd, 0, SEEK_END);
        QByteArray text(qsizetype(qMax<off_t>(end, 0)), Qt::Uninitialized);
        const ssize_t got = ::pread(fd, text.data(), size_t(text.size()), 0);
        text.truncate(qMax<ssize_t>(got, 0));
        for (const QByteArray& line : text.split('\n')) {
            const QString trimmed = QString::fromUtf8(line).trimmed();
            if (!trimmed.isEmpty() && !distinct.contains(trimmed) && distinct.size() < kMaxLines)
                distinct << trimmed;
        }
        return distinct;
    }

    // " The Access reader reported: ..." for the end of a message, or nothing.
    QString report() const {
        const QStringList reported = lines();
        if (reported.isEmpty())
            return {};
        return QStringLiteral(" The Access reader reported: %1.")
            .arg(reported.join(QStringLiteral("; ")));
    }

  private:
    static constexpr qsizetype kMaxLines = 8;
    std::FILE* sink_ = nullptr;
    int savedStderr_ = -1;
    bool capturing_ = false;
};

class Capturing {
  public:
    explicit Capturing(LibraryMessages& messages) : messages_(messages) { messages_.capture(); }
    ~Capturing() { messages_.pause(); }
    Capturing(const Capturing&) = delete;
    Capturing& operator=(const Capturing&) = delete;

  private:
    LibraryMessages& messages_;
};

// libmdb converts text into the character set named by MDBICONV, UTF-8 when it is unset; we need
// UTF-8 whatever the environment says. It reads the variable when it opens a file.
class Utf8WhileOpening {
  public:
    Utf8WhileOpening() : wasSet_(qEnvironmentVariableIsSet(kVariable)), saved_(qgetenv(kVariable)) {
        qunsetenv(kVariable);
    }
    ~Utf8WhileOpening() {
        if (wasSet_)
            qputenv(kVariable, saved_);
    }
    Utf8WhileOpening(const Utf8WhileOpening&) = delete;
    Utf8WhileOpening& operator=(const Utf8WhileOpening&) = delete;

  private:
    static constexpr const char* kVariable = "MDBICONV";
    bool wasSet_;
    QByteArray saved_;
};

struct MdbCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFreer {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

// Text that libmdb allocated for us.
QString takeLibraryText(char* text) {
    const QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

template <typename Number> QString numberText(Number value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
}

bool isConvertible(int type) {
    switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_REPID:
    case MDB_NUMERIC:
        return true;
    default:
        return false;
    }
}

// A memo value longer than this is cut off rather than allowed to exhaust memory.
constexpr size_t kMaxValueBytes = size_t(64) * 1024 * 1024;

using Row = std::array<std::optional<QString>, contact_table::kColumnCount>;

// One column of the old table that has a place in ours.
struct Transfer {
    int field;  // position in the old table
    int target; // position in ours
    const MdbColumn* column;
};

// The open old file, positioned at the start of its table "address".
class OldAddressTable {
  public:
    explicit OldAddressTable(const QString& path) : path_(path) {
        {
            Capturing capturing(messages_);
            const Utf8WhileOpening utf8;
            mdb_.reset(mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS));
        }
        if (!mdb_)
            throw unreadable();
        {
            Capturing capturing(messages_);
            // Every readable file lists at least its own system tables.
            const GPtrArray* catalog = mdb_read_catalog(mdb_.get(), MDB_TABLE);
            if (!catalog || catalog->len == 0)
                throw unreadable();
        }
        char name[] = "address";
        {
            Capturing capturing(messages_);
            table_.reset(mdb_read_table_by_name(mdb_.get(), name, MDB_TABLE));
        }
        if (!table_)
            throw StoreError(QStringLiteral("\"%1\" has no table \"address\" (%2).%3")
                                 .arg(path_, tablesPresent(), messages_.report()));
        {
            Capturing capturing(messages_);
            if (!mdb_read_columns(table_.get()))
                throw unreadable();
            mdb_rewind_table(table_.get());
        }
        planTransfers();
        fields_.resize(table_->num_cols);
    }

    qint64 rowCount() const { return table_->num_rows; }

    // Writes every row into db, the new book. Returns how many were written.
    int copyInto(Database& db, const ImportProgress& progress) {
        WriteTransaction transaction(db);
        const QByteArray sql =
            QStringLiteral("INSERT INTO address (%1) VALUES (%2)")
                .arg(contact_table::quotedColumnList(),
                     QStringLiteral("?, ").repeated(contact_table::kColumnCount - 1) +
                         QLatin1Char('?'))
                .toUtf8();
        Statement insert(db, sql.constData());
        const qint64 total = rowCount();
        const qint64 step = qMax<qint64>(1, total / 200);
        if (progress)
            progress(0, total);
        int written = 0;
        Row row;
        Capturing capturing(messages_);
        while (nextRow(row)) {
            for (int column = 0; column < contact_table::kColumnCount; ++column) {
                const std::optional<QString>& value = row[size_t(column)];
                if (value)
                    insert.bindText(column + 1, *value);
                else
                    insert.bind(column + 1, QVariant());
            }
            insert.run();
            insert.reset();
            ++written;
            if (progress && written % step == 0) {
                messages_.pause();
                progress(written, total);
                messages_.capture();
            }
        }
        messages_.pause();
        transaction.commit();
        if (progress && written % step != 0)
            progress(written, total);
        if (written < total)
            notes_ << QStringLiteral("The old table says it holds %1 contacts, but only %2 could "
                                     "be read; the file may be damaged.")
                          .arg(total)
                          .arg(written);
        return written;
    }

    QStringList notes() const {
        QStringList all = notes_;
        const QStringList reported = messages_.lines();
        if (!reported.isEmpty())
            all << QStringLiteral("The Access reader reported: %1.")
                       .arg(reported.join(QStringLiteral("; ")));
        return all;
    }

  private:
    StoreError unreadable() const {
        return StoreError(
            QStringLiteral("\"%1\" cannot be read as an Access file; it may be damaged or "
                           "incomplete.%2")
                .arg(path_, messages_.report()));
    }

    QString tablesPresent() const {
        QStringList names;
        GPtrArray* catalog = mdb_->catalog;
        for (guint i = 0; catalog && i < catalog->len; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
            if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry))
                names << quoted(QString::fromUtf8(entry->object_name));
        }
        if (names.isEmpty())
            return QStringLiteral("it holds no tables of its own");
        return QStringLiteral("its tables: %1").arg(names.join(QStringLiteral(", ")));
    }

    void planTransfers() {
        std::array<bool, contact_table::kColumnCount> filled{};
        for (guint i = 0; i < table_->num_cols; ++i) {
            const auto* column =
                static_cast<const MdbColumn*>(g_ptr_array_index(table_->columns, i));
            const QString name = QString::fromUtf8(column->name);
            const int target = ourColumn(name);
            if (target < 0) {
                notes_ << QStringLiteral("The old column %1 has no place in a Tessaline address "
                                         "book; it was skipped.")
                              .arg(quoted(name));
            } else if (!isConvertible(column->col_type)) {
                notes_ << QStringLiteral("The old column %1 holds pictures or other binary data, "
                                         "which cannot be shown as text; it was left empty.")
                              .arg(quoted(name));
            } else {
                transfers_.push_back({int(i), target, column});
                filled[size_t(target)] = true;
            }
        }
        for (int target = 0; target < contact_table::kColumnCount; ++target)
            if (!filled[size_t(target)])
                notes_ << QStringLiteral("The old table has no column %1; it stays empty.")
                              .arg(quoted(QLatin1String(contact_table::kColumns[size_t(target)])));
    }

    static int ourColumn(const QString& name) {
        const QStringList ours = contact_table::columnNames();
        for (int i = 0; i < ours.size(); ++i)
            if (ours.at(i).compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }

    // Reads the next live row; false at the end of the table.
    bool nextRow(Row& row) {
        MdbTableDef* table = table_.get();
        while (mdb_fetch_row(table)) {
            // libmdb hands out bound values only as C strings, in which NULL and the empty text
            // look alike; the row it has just read is cracked again for its fields' null flags.
            int start = 0;
            size_t size = 0;
            if (mdb_find_row(mdb_.get(), int(table->cur_row) - 1, &start, &size) != 0)
                continue;
            if (mdb_crack_row(table, start & kOffsetMask, size, fields_.data()) < 0)
                continue;
            row.fill(std::nullopt);
            for (const Transfer& transfer : transfers_)
                row[size_t(transfer.target)] =
                    valueOf(*transfer.column, fields_[size_t(transfer.field)]);
            return true;
        }
        return false;
    }

    std::optional<QString> valueOf(const MdbColumn& column, const MdbField& field) {
        MdbHandle* mdb = mdb_.get();
        if (column.col_type == MDB_BOOL) // kept in the null flag itself
            return field.is_null ? QStringLiteral("False") : QStringLiteral("True");
        if (field.is_null)
            return std::nullopt;
        unsigned char* page = mdb->pg_buf;
        switch (column.col_type) {
        case MDB_TEXT:
            return decodedText(page + field.start, size_t(qMax(field.siz, 0)));
        case MDB_MEMO: {
            // The first four bytes hold the length below two flag bits.
            const size_t stored =
                field.siz >= 4 ? size_t(mdb_get_int32(page, field.start)) & 0x3FFFFFFF : 0;
            mdb_set_bind_size(mdb, boundFor(stored + size_t(qMax(field.siz, 0))));
            return takeLibraryText(mdb_col_to_string(mdb, page, field.start, MDB_MEMO, field.siz));
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

    // Jet 4 text is UCS-2, possibly in its compressed form; Jet 3 text is in the file's code page.
    // libmdb turns either into UTF-8 of at most three bytes per stored byte.
    QString decodedText(const unsigned char* raw, size_t size) {
        QByteArray utf8(qsizetype(boundFor(size)), Qt::Uninitialized);
        const int length = mdb_unicode2ascii(mdb_.get(), reinterpret_cast<const char*>(raw), size,
                                             utf8.data(), size_t(utf8.size()));
        return QString::fromUtf8(utf8.constData(), qMax(length, 0));
    }

    static size_t boundFor(size_t storedBytes) {
        return qMin(storedBytes * 3 + 16, kMaxValueBytes);
    }

    static constexpr int kOffsetMask = 0x1FFF; // the row offset below its flag bits

    QString path_;
    LibraryMessages messages_;
    std::unique_ptr<MdbHandle, MdbCloser> mdb_;
    std::unique_ptr<MdbTableDef, TableFreer> table_;
    std::vector<Transfer> transfers_;
    std::vector<MdbField> fields_;
    QStringList notes_;
};

void checkIsAccessFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw StoreError(QStringLiteral("\"%1\" does not exist.").arg(path));
    if (info.isDir())
        throw StoreError(QStringLiteral("\"%1\" is a folder, not an Access file.").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(
            QStringLiteral("\"%1\" cannot be read: %2.").arg(path, file.errorString()));
    if (contact_table::looksLikeAccessFile(path))
        return;
    if (file.read(16) == QByteArray("SQLite format 3\0", 16))
        throw StoreError(QStringLiteral("\"%1\" is an SQLite database, not an old Access-format "
                                        "file; a Tessaline address book needs no import.")
                             .arg(path));
    throw StoreError(
        QStringLiteral("\"%1\" is not an Access-format file (an .mdb file of Access or Jet).")
            .arg(path));
}

} // namespace

QDate dateFromAccess(double days) {
    static const QDate kDayZero(1899, 12, 30);
    return kDayZero.addDays(qint64(std::trunc(days)));
}

QString dateText(double days) {
    return QLocale().toString(dateFromAccess(days), QLocale::ShortFormat);
}

ImportSummary importAddressBook(const QString& oldPath, const QString& newPath,
                                const ImportProgress& progress) {
    checkIsAccessFile(oldPath);
    OldAddressTable table(oldPath);
    ImportSummary summary;
    contact_table::createAddressBook(
        newPath, [&](Database& db) { summary.contacts = table.copyInto(db, progress); });
    summary.notes = table.notes();
    return summary;
}

} // namespace access_import
