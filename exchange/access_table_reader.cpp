#include "exchange/access_table_reader.h"

#include "exchange/access_values.h"
#include "exchange/column_match.h"
#include "store/contact_table.h"
#include "store/sqlite_db.h"
#include "store/store_error.h"

#include <QFile>
#include <QHash>
#include <array>
#include <climits>
#include <cstring>
#include <iconv.h>
#include <memory>
#include <vector>

namespace access_import {

namespace {

using row_stream::Frame;
using row_stream::Kind;

// libmdb converts text into the character set MDBICONV names (UTF-8 when unset) and Jet 3 text
// from the code page MDB_JET3_CHARSET names (Windows-1252 when unset), and reads both when it
// opens a file. The reading process is ours alone, so it sets them as it needs: UTF-8, and Jet 3
// text in the code page the file's header names, Windows-1252 when it names none iconv knows.
void useOurCharsets() {
    qunsetenv("MDBICONV");
    qputenv("MDB_JET3_CHARSET", "CP1252");
}

void followCodePage(MdbHandle* mdb) {
    const int codePage = mdb->f->code_page;
    if (!IS_JET3(mdb) || codePage == 0 || codePage == 1252)
        return;
    const QByteArray name = "CP" + QByteArray::number(codePage);
    const iconv_t known = iconv_open("UTF-8", name.constData());
    if (known == iconv_t(-1))
        return;
    iconv_close(known);
    qputenv("MDB_JET3_CHARSET", name);
    mdb_iconv_close(mdb);
    mdb_iconv_init(mdb);
}

struct MdbCloser {
    void operator()(MdbHandle* mdb) const { mdb_close(mdb); }
};
struct TableFreer {
    void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};
using TablePointer = std::unique_ptr<MdbTableDef, TableFreer>;

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
        useOurCharsets();
        mdb_.reset(mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS));
        if (!mdb_)
            throw unreadable();
        followCodePage(mdb_.get());
        checkCatalogPageMap();
        // Every readable file lists at least its own system tables.
        const GPtrArray* catalog = mdb_read_catalog(mdb_.get(), MDB_TABLE);
        if (!catalog || catalog->len == 0)
            throw unreadable();
        QByteArray name(contact_table::kTable);
        table_.reset(mdb_read_table_by_name(mdb_.get(), name.data(), MDB_TABLE));
        if (!table_)
            throw StoreError(QStringLiteral("\"%1\" has no table \"address\" (%2).")
                                 .arg(path_, tablesPresent()));
        if (!hasPageMap(*table_))
            throw damaged(QStringLiteral("The table \"address\" has no page map, so its rows "
                                         "cannot be found."));
        if (!mdb_read_columns(table_.get()))
            throw unreadable();
        mdb_rewind_table(table_.get());
        fields_.resize(table_->num_cols);
    }

    qint64 declaredRows() const { return table_->num_rows; }
    bool hasOurColumns() const { return !transfers_.empty(); }

    // Notes about the columns and damage to them, the second in frames of their own.
    void planTransfers(row_stream::FrameWriter& out);

    // Writes every row that can be read and then each page of the table that could not be read
    // whole. Returns the rows.
    qint64 sendRows(row_stream::FrameWriter& out) {
        qint64 sent = 0;
        MdbTableDef* table = table_.get();
        for (;;) {
            while (mdb_fetch_row(table))
                sent += sendRow(out) ? 1 : 0;
            // libmdb ends a table alike at its end and at a page it cannot read; only in the
            // second case does the page map name a further page.
            const gint32 next = nextPage(table->cur_phys_pg);
            if (next <= 0)
                break;
            table->cur_phys_pg = guint32(next);
            table->cur_row = UINT_MAX; // the next fetch starts on the page after it
        }
        for (gint32 page = nextPage(0); page > 0; page = nextPage(guint32(page)))
            if (liveRowsOn(guint32(page)) != sentFrom_.value(page))
                out.write({Kind::UnreadablePage, page, {}});
        return sent;
    }

  private:
    StoreError unreadable() const {
        return StoreError(
            QStringLiteral("\"%1\" cannot be read as an Access file; it may be damaged or "
                           "incomplete.")
                .arg(path_));
    }

    StoreError damaged(const QString& why) const {
        return StoreError(
            QStringLiteral("\"%1\" is damaged; nothing was imported. %2").arg(path_, why));
    }

    // libmdb follows a table's page map without asking whether there is one: a map of size 0
    // makes it read through a null pointer.
    static bool hasPageMap(const MdbTableDef& table) {
        return table.map_sz > 0 && table.usage_map != nullptr;
    }

    // The system table that lists all others is defined on page 2; libmdb reads it the same way.
    void checkCatalogPageMap() {
        MdbCatalogEntry entry;
        std::memset(&entry, 0, sizeof entry);
        entry.mdb = mdb_.get();
        entry.object_type = MDB_TABLE;
        entry.table_pg = 2;
        std::strcpy(entry.object_name, "MSysObjects");
        const TablePointer catalog(mdb_read_table(&entry));
        if (!catalog)
            throw unreadable();
        if (!hasPageMap(*catalog))
            throw damaged(QStringLiteral("Its list of tables has no page map."));
    }

    // The page of the table after the given one in its page map; 0 at the end or when libmdb
    // cannot follow the map.
    gint32 nextPage(guint32 after) const {
        const gint32 next =
            mdb_map_find_next(mdb_.get(), table_->usage_map, guint(table_->map_sz), after);
        return next > 0 && guint32(next) > after ? next : 0;
    }

    // The rows not marked deleted on a data page of the table, or -1 when it is none.
    qint64 liveRowsOn(guint32 page) const {
        MdbHandle* mdb = mdb_.get();
        const int head = mdb->fmt->row_count_offset;
        if (mdb_read_alt_pg(mdb, page) != mdb->fmt->pg_size ||
            mdb->alt_pg_buf[0] != MDB_PAGE_DATA ||
            guint32(mdb_get_int32(mdb->alt_pg_buf, 4)) != table_->entry->table_pg)
            return -1;
        const int rows = mdb_get_int16(mdb->alt_pg_buf, head);
        if (head + 2 + rows * 2 > mdb->fmt->pg_size)
            return -1;
        qint64 live = 0;
        for (int row = 0; row < rows; ++row)
            live += (mdb_get_int16(mdb->alt_pg_buf, head + 2 + row * 2) & kDeletedFlag) ? 0 : 1;
        return live;
    }

    QString tablesPresent() const;
    bool sendRow(row_stream::FrameWriter& out);
    static constexpr int kOffsetMask = 0x1FFF; // the row offset below its flag bits
    static constexpr int kDeletedFlag = 0x4000;

    QString path_;
    std::unique_ptr<MdbHandle, MdbCloser> mdb_;
    TablePointer table_;
    std::vector<Transfer> transfers_;
    std::vector<MdbField> fields_;
    QHash<qint64, qint64> sentFrom_; // rows sent from each page
};

QString OldAddressTable::tablesPresent() const {
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

void OldAddressTable::planTransfers(row_stream::FrameWriter& out) {
    const auto send = [&out](Kind kind, const QString& text) { out.write({kind, 0, {text}}); };
    column_match::Filled filled{};
    for (guint i = 0; i < table_->num_cols; ++i) {
        const auto* column = static_cast<const MdbColumn*>(g_ptr_array_index(table_->columns, i));
        const QString name = QString::fromUtf8(column->name);
        const std::optional<contact_table::Column> target = column_match::columnNamed(name);
        if (!target) {
            send(Kind::Note, column_match::skippedNote("old column", name));
        } else if (isBinary(column->col_type)) {
            send(Kind::Note, QStringLiteral("The old column %1 holds pictures or other binary "
                                            "data, which cannot be shown as text; it was left "
                                            "empty.")
                                 .arg(quoted(name)));
        } else if (!isConvertible(column->col_type)) {
            send(Kind::Damage, QStringLiteral("The old column %1 has a type no Access file knows "
                                              "(%2); it was left empty.")
                                   .arg(quoted(name))
                                   .arg(column->col_type));
        } else {
            transfers_.push_back({int(i), int(*target), column});
            filled[contact_table::position(*target)] = true;
        }
    }
    for (const QString& note : column_match::emptyNotes("old table", filled))
        send(Kind::Note, note);
}

// Sends the row libmdb has just fetched; false when it cannot be found again.
bool OldAddressTable::sendRow(row_stream::FrameWriter& out) {
    MdbTableDef* table = table_.get();
    const qint64 page = table->cur_phys_pg;
    // libmdb hands out bound values only as C strings, in which NULL and the empty text look
    // alike; the row it has just read is cracked again for its fields' null flags.
    int start = 0;
    size_t size = 0;
    if (mdb_find_row(mdb_.get(), int(table->cur_row) - 1, &start, &size) != 0)
        return false;
    start &= kOffsetMask;
    if (mdb_crack_row(table, start, size, fields_.data()) < 0)
        return false;
    Frame row{Kind::Row, page, row_stream::Values(contact_table::kColumnCount)};
    for (const Transfer& transfer : transfers_) {
        const MdbField& field = fields_[size_t(transfer.field)];
        if (isReadable(mdb_.get(), *transfer.column, field, start, size)) {
            row.values[size_t(transfer.target)] = valueText(mdb_.get(), *transfer.column, field);
            continue;
        }
        const char* ours = contact_table::kSchema[size_t(transfer.target)].storedName;
        out.write({Kind::UnreadableValue, page, {QString::fromLatin1(ours)}});
    }
    out.write(row);
    ++sentFrom_[page];
    return true;
}

} // namespace

void readAddressTable(const QString& path, row_stream::FrameWriter& out) {
    try {
        OldAddressTable table(path);
        table.planTransfers(out);
        if (!table.hasOurColumns())
            throw StoreError(QStringLiteral("The table \"address\" of \"%1\" has none of the "
                                            "columns of a Tessaline address book; nothing was "
                                            "imported.")
                                 .arg(path));
        out.write({Kind::Table, table.declaredRows(), {}});
        const qint64 sent = table.sendRows(out);
        out.write({Kind::End, sent, {}});
    } catch (const StoreError& error) {
        out.write({Kind::Failure, 0, {error.description()}});
    }
}

} // namespace access_import
