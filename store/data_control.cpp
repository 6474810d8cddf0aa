#include "data_control.h"

#include "box_text.h"
#include "contact_table.h"
#include "lookup_statement.h"
#include "store_error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStyle>
#include <QToolButton>
#include <algorithm>
#include <array>
#include <ctime>
#include <deque>
#include <optional>
#include <sqlite3.h>
#include <unordered_map>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using contact_table::kColumnCount;
using Values = std::array<QVariant, kColumnCount>;

// One row as read by its rowid; a row that another program removed reads as not existing.
struct Row {
    bool exists = false;
    Values values;
};

// Rows are read in pages of this many; the grid asks for the rows it shows, a page at a time.
constexpr qsizetype kPageRows = 64;
constexpr std::size_t kCachedPages = 32;

QByteArray quoted(int column) {
    return '"' + QByteArray(contact_table::kColumns[std::size_t(column)]) + '"';
}

QByteArray columnList() {
    return contact_table::quotedColumnList().toUtf8();
}

void readValues(const Statement& statement, int firstColumn, Values& values) {
    for (int i = 0; i < kColumnCount; ++i)
        values[std::size_t(i)] = statement.value(firstColumn + i);
}

// Which file a path names right now, to tell whether a kept connection still reaches it.
struct FileIdentity {
    bool known = false;
    unsigned long long device = 0;
    unsigned long long inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// When a file last changed: every write moves its status-change time, which no program can set.
struct FileChange {
    long long seconds = -1;
    long long nanoseconds = 0;
    long long size = 0;
    bool operator==(const FileChange&) const = default;
};

FileIdentity identify(const QString& path, FileChange* change = nullptr) {
    FileIdentity identity;
#ifndef _WIN32
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode)) {
        identity.known = true;
        identity.device = info.st_dev;
        identity.inode = info.st_ino;
        if (change)
            *change = {info.st_ctim.tv_sec, info.st_ctim.tv_nsec, info.st_size};
    }
#else
    Q_UNUSED(path);
    Q_UNUSED(change);
#endif
    return identity;
}

// The positions of a recordset mapped to rowids. A whole table whose rowids have no gaps (the
// usual case: the program never deletes) is held as a range; anything else as a list. Rows added
// through the control follow at the end.
class RowIds {
  public:
    static RowIds range(std::int64_t first, qsizetype count) {
        RowIds ids;
        ids.first_ = first;
        ids.ranged_ = count;
        return ids;
    }
    static RowIds list(std::vector<std::int64_t> rowids) {
        RowIds ids;
        ids.listed_ = std::move(rowids);
        return ids;
    }
    // Rowids in order, held as a range when they have no gaps.
    static RowIds of(std::vector<std::int64_t> rowids) {
        if (!rowids.empty() && rowids.back() - rowids.front() == qsizetype(rowids.size()) - 1)
            return range(rowids.front(), qsizetype(rowids.size()));
        return list(std::move(rowids));
    }
    qsizetype size() const { return ranged_ + qsizetype(listed_.size()); }
    std::int64_t at(qsizetype position) const {
        return position < ranged_ ? first_ + position : listed_[std::size_t(position - ranged_)];
    }
    void append(std::int64_t rowid) { listed_.push_back(rowid); }

  private:
    std::int64_t first_ = 0;
    qsizetype ranged_ = 0;
    std::vector<std::int64_t> listed_;
};

// A page of rows keyed by page number, oldest dropped first.
class PageCache {
  public:
    const std::vector<Row>* find(qsizetype page) const {
        const auto it = pages_.find(page);
        return it == pages_.end() ? nullptr : &it->second;
    }
    const std::vector<Row>& put(qsizetype page, std::vector<Row> rows) {
        drop(page);
        if (order_.size() >= kCachedPages) {
            pages_.erase(order_.front());
            order_.pop_front();
        }
        order_.push_back(page);
        return pages_[page] = std::move(rows);
    }
    void drop(qsizetype page) {
        if (pages_.erase(page) > 0)
            order_.erase(std::find(order_.begin(), order_.end(), page));
    }
    void clear() {
        pages_.clear();
        order_.clear();
    }

  private:
    std::unordered_map<qsizetype, std::vector<Row>> pages_;
    std::deque<qsizetype> order_;
};

} // namespace

// An open address book and the statements this control keeps prepared on it. The statements
// are declared after the database so that they are finalized before it closes.
struct Connection {
    Connection(Database database, const QString& path)
        : db(std::move(database)), path(path), identity(identify(path)) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Database db;
    QString path;
    FileIdentity identity;
    FileChange checkedChange; // when the file last changed before its head was found sound

    // The path still names the file this connection has open, and it is still a database: a file
    // written over in place keeps its identity but, unless it is a database again, not its head.
    // The head is read again only after the file has changed.
    bool stillReachesFile() {
        FileChange change;
        if (!identity.known || identity != identify(path, &change))
            return false;
        if (change == checkedChange)
            return true;
        if (!contact_table::beginsAsSqlite(contact_table::fileHead(db, 16)))
            return false;
        // The kernel keeps that time to a clock tick, so two writes within one tick can leave the
        // same time; only a time well in the past says that no write has come since.
        if (change.seconds < static_cast<long long>(std::time(nullptr)) - 1)
            checkedChange = change;
        return true;
    }

    // The statement text is only built the first time the statement is needed.
    template <class Sql> Statement& prepared(std::unique_ptr<Statement>& slot, Sql sql) {
        if (!slot)
            slot = std::make_unique<Statement>(db, QByteArray(sql()).constData());
        return *slot;
    }

    Statement& rowById() {
        return prepared(statements_.rowById,
                        [] { return "SELECT " + columnList() + " FROM address WHERE rowid = ?1"; });
    }
    Statement& rowRange() {
        return prepared(statements_.rowRange, [] {
            return "SELECT rowid, " + columnList() + " FROM address WHERE rowid BETWEEN ?1 AND ?2";
        });
    }
    Statement& firstRows() {
        return prepared(statements_.firstRows, [] {
            return "SELECT rowid, " + columnList() + " FROM address ORDER BY rowid LIMIT ?1";
        });
    }
    Statement& count() {
        return prepared(statements_.count, [] { return "SELECT count(*) FROM address"; });
    }
    // Rows outside (?1, ?2]; both are rowid range searches that touch only the rows they count.
    Statement& countOutside() {
        return prepared(statements_.countOutside, [] {
            return "SELECT (SELECT count(*) FROM address WHERE rowid <= ?1) + "
                   "(SELECT count(*) FROM address WHERE rowid > ?2)";
        });
    }
    Statement& maxRowid() {
        return prepared(statements_.maxRowid, [] { return "SELECT max(rowid) FROM address"; });
    }
    // The table's engine order is rowid order; a lookup through its index returns equal values
    // in rowid order too.
    Statement& lookupRows(LookupColumn column) {
        return prepared(statements_.lookupRows[std::size_t(column)], [column] {
            return "SELECT rowid, " + columnList() + " FROM address WHERE " + where(column);
        });
    }
    Statement& lookupRest(LookupColumn column) {
        return prepared(statements_.lookupRest[std::size_t(column)], [column] {
            return "SELECT rowid FROM address WHERE " + where(column) + " AND rowid > ?2";
        });
    }

  private:
    static QByteArray where(LookupColumn column) {
        return '"' + QByteArray(lookupColumnName(column)) + "\" = ?1 COLLATE " +
               contact_table::kCollation;
    }
    struct Statements {
        std::unique_ptr<Statement> rowById, rowRange, firstRows, count, countOutside, maxRowid;
        std::array<std::unique_ptr<Statement>, 4> lookupRows, lookupRest;
    };
    Statements statements_;
};

namespace {

Row readRowById(Connection& connection, std::int64_t rowid) {
    StatementUse read(connection.rowById());
    read->bindInt(1, rowid);
    Row row;
    if (read->step()) {
        row.exists = true;
        readValues(*read.operator->(), 0, row.values);
    }
    return row;
}

// The rows of one page: one range read when their rowids are consecutive (always so for a
// whole table without gaps), else one read per row.
std::vector<Row> readPage(Connection& connection, const RowIds& ids, qsizetype page) {
    const qsizetype first = page * kPageRows;
    const qsizetype count = std::min(kPageRows, ids.size() - first);
    std::vector<Row> rows(std::size_t(std::max<qsizetype>(count, 0)));
    if (count <= 0)
        return rows;
    const std::int64_t low = ids.at(first);
    const std::int64_t high = ids.at(first + count - 1);
    if (high - low == count - 1) {
        StatementUse read(connection.rowRange());
        read->bindInt(1, low);
        read->bindInt(2, high);
        while (read->step()) {
            Row& row = rows[std::size_t(read->integer(0) - low)];
            row.exists = true;
            readValues(*read.operator->(), 1, row.values);
        }
        return rows;
    }
    for (qsizetype i = 0; i < count; ++i)
        rows[std::size_t(i)] = readRowById(connection, ids.at(first + i));
    return rows;
}

// A whole table fetched without counting it: its first page, and the largest rowid it had then.
// Counting a large table takes a while and nothing on the first screen needs the count, so it
// is taken when first needed, of the rows up to that rowid: rows added later by other programs
// stay out, as they would have if the table had been counted at once.
struct UncountedTable {
    std::int64_t lastOfFirstPage = 0;
    std::int64_t last = 0;
};

// A recordset built completely before it replaces the old one.
struct Fetched {
    RowIds ids;
    std::vector<Row> firstPage;
    std::optional<UncountedTable> uncounted;
};

std::int64_t singleInteger(Statement& statement) {
    StatementUse use(statement);
    use->step();
    return use->integer(0);
}

Fetched fetchTable(Connection& connection) {
    Fetched fetched;
    ReadTransaction snapshot(connection.db);
    std::vector<std::int64_t> rowids;
    {
        StatementUse rows(connection.firstRows());
        rows->bindInt(1, kPageRows);
        while (rows->step()) {
            rowids.push_back(rows->integer(0));
            Row& row = fetched.firstPage.emplace_back();
            row.exists = true;
            readValues(*rows.operator->(), 1, row.values);
        }
    }
    if (qsizetype(rowids.size()) == kPageRows)
        fetched.uncounted = UncountedTable{rowids.back(), singleInteger(connection.maxRowid())};
    fetched.ids = RowIds::of(std::move(rowids));
    snapshot.commit();
    return fetched;
}

// The rows of an uncounted table: its first page as fetched, then the rows now in the table after
// that page, up to the last rowid it had when fetched. A table without gaps (the usual case: the
// program never deletes) is held as a range; otherwise the rowids are read from the smallest index
// rather than the whole table, 8 bytes a row.
RowIds countTable(Connection& connection, const RowIds& firstPage, UncountedTable table) {
    const auto rest = [&](std::int64_t rowid) {
        return rowid > table.lastOfFirstPage && rowid <= table.last;
    };
    const bool firstPageWithoutGaps =
        firstPage.at(firstPage.size() - 1) - firstPage.at(0) == firstPage.size() - 1;
    try {
        ReadTransaction snapshot(connection.db);
        const std::int64_t total = singleInteger(connection.count());
        StatementUse outside(connection.countOutside());
        outside->bindInt(1, table.lastOfFirstPage);
        outside->bindInt(2, table.last);
        outside->step();
        const std::int64_t restCount = total - outside->integer(0);
        if (firstPageWithoutGaps && restCount == table.last - table.lastOfFirstPage)
            return RowIds::range(firstPage.at(0), firstPage.size() + qsizetype(restCount));
        std::vector<std::int64_t> rowids;
        rowids.reserve(std::size_t(firstPage.size() + std::max<std::int64_t>(restCount, 0)));
        for (qsizetype i = 0; i < firstPage.size(); ++i)
            rowids.push_back(firstPage.at(i));
        const std::size_t head = rowids.size();
        Statement all(connection.db, "SELECT rowid FROM address");
        while (all.step())
            if (rest(all.integer(0)))
                rowids.push_back(all.integer(0));
        if (!std::is_sorted(rowids.begin() + std::ptrdiff_t(head), rowids.end()))
            std::sort(rowids.begin() + std::ptrdiff_t(head), rowids.end());
        return RowIds::list(std::move(rowids));
    } catch (const StoreError&) {
        // The count is asked for where no failure can be reported (a grid asking how many rows
        // to show). Without it a first page without gaps is taken to go on without gaps up to
        // the last rowid, and rows missing from the file read as removed, as rows another program
        // removes after a fetch do. Otherwise only the first page is kept.
        if (firstPageWithoutGaps)
            return RowIds::range(firstPage.at(0),
                                 firstPage.size() + qsizetype(table.last - table.lastOfFirstPage));
        return firstPage;
    }
}

// The first page of matches is read whole; the rest only as rowids, through the index alone.
Fetched fetchLookup(Connection& connection, LookupColumn column, const QString& value) {
    Fetched fetched;
    std::int64_t last = 0;
    bool more = false;
    {
        StatementUse rows(connection.lookupRows(column));
        rows->bindText(1, value);
        while (rows->step()) {
            if (qsizetype(fetched.firstPage.size()) == kPageRows) {
                more = true;
                break;
            }
            last = rows->integer(0);
            fetched.ids.append(last);
            Row& row = fetched.firstPage.emplace_back();
            row.exists = true;
            readValues(*rows.operator->(), 1, row.values);
        }
    }
    if (more) {
        StatementUse rest(connection.lookupRest(column));
        rest->bindText(1, value);
        rest->bindInt(2, last);
        while (rest->step())
            fetched.ids.append(rest->integer(0));
    }
    return fetched;
}

// A text box bound to a column. `lastText` is the text the control last saw in it, so that a
// signal that did not really change the text does not count as a change. A multi-line box shows
// line breaks and non-breaking spaces in its own way, so its value is kept apart, in its stored
// form, and each edit is carried over to it.
struct Binding {
    QPointer<QLineEdit> line;
    QPointer<QPlainTextEdit> plain;
    int column = 0;
    bool changed = false;
    QString lastText;
    QString value; // a multi-line box's text as it is stored

    bool alive() const { return line || plain; }
    QString shown() const { return line ? line->text() : plain ? plain->toPlainText() : QString(); }
    QString text() const { return plain ? value : shown(); }
    void fill(const QVariant& stored) {
        if (line)
            line->setText(stored.toString());
        else if (plain)
            plain->setPlainText(stored.toString());
        value = stored.toString();
        lastText = shown();
        changed = false;
    }
    void noticeEdit() {
        const QString now = shown();
        if (now == lastText)
            return;
        if (plain)
            value = box_text::storedAfterEdit(value, lastText, now);
        lastText = now;
        changed = true;
    }
};

} // namespace

struct DataControl::State {
    QString databaseName;
    QString connect = QStringLiteral("Access");
    QString recordSource = QStringLiteral("address");
    QString caption = QStringLiteral("Data1");
    QString baseDirectory;
    int busyTimeoutMs = kDefaultBusyTimeoutMs;
    StepRunner runner;

    enum class Status { NeverFetched, Open, Closed };
    Status status = Status::NeverFetched;
    std::unique_ptr<Connection> connection;
    PageCache cache;
    qsizetype current = -1;
    Recordset::EditMode mode = Recordset::EditMode::None;
    Values buffer;
    Values shown; // the row the bound boxes were last filled with
    // The fetched rowids name rows of a file that has since been replaced: until the next Refresh
    // a change to one of them is stored only over a row that still holds what the user saw.
    bool rowsFromReplacedFile = false;
    std::vector<Binding> bindings;

    QLabel* captionLabel = nullptr;
    std::array<QToolButton*, 4> arrows{};

    QString resolvedPath() const {
        if (!QDir::isRelativePath(databaseName))
            return databaseName;
        const QString base =
            baseDirectory.isEmpty() ? QCoreApplication::applicationDirPath() : baseDirectory;
        return QDir(base).filePath(databaseName);
    }

    void requireOpen(const QString& operation) const {
        if (status == Status::NeverFetched)
            throw StoreError(QStringLiteral("%1 failed: the data control has not fetched any rows "
                                            "yet. Refresh it first.")
                                 .arg(operation));
        if (status == Status::Closed)
            throw StoreError(QStringLiteral("%1 failed: the recordset is closed. Refresh the data "
                                            "control first.")
                                 .arg(operation));
    }

    // The recordset's rows, counted first if they were fetched uncounted.
    RowIds& ids() {
        if (uncounted) {
            fetchedIds = countTable(*connection, fetchedIds, *uncounted);
            uncounted.reset();
        }
        return fetchedIds;
    }
    void setRows(RowIds rows, std::optional<UncountedTable> uncountedTable) {
        fetchedIds = std::move(rows);
        uncounted = uncountedTable;
    }

    void requireRow(qsizetype row, const QString& operation) {
        if (row < 0 || row >= ids().size())
            throw StoreError(QStringLiteral("%1 failed: there is no row %2 (the recordset has %3 "
                                            "rows).")
                                 .arg(operation)
                                 .arg(row)
                                 .arg(ids().size()));
    }

    Row readRow(std::int64_t rowid) { return readRowById(*connection, rowid); }

    // Values of rows already fetched are read when first needed and then kept until the next
    // Refresh or a write through this control, so they may be fresher than the rowids (which
    // are fixed at Refresh) or, for a grid, a little older than the file.
    const Row& cachedRow(qsizetype position) {
        const qsizetype page = position / kPageRows;
        const std::vector<Row>* rows = cache.find(page);
        if (!rows) {
            rows = &cache.put(page, readPage(*connection, ids(), page));
        }
        return (*rows)[std::size_t(position % kPageRows)];
    }

    void forgetRow(qsizetype position) { cache.drop(position / kPageRows); }

    void noticeEdit(const QWidget* box) {
        for (Binding& binding : bindings)
            if (binding.line == box || binding.plain == box)
                binding.noticeEdit();
    }

    // Bound boxes always show the row as stored now, read afresh.
    void fillBoxes(const Values& values) {
        for (Binding& binding : bindings)
            binding.fill(values[std::size_t(binding.column)]);
        shown = values;
    }
    void fillBoxesFromCurrent() {
        if (current < 0) {
            fillBoxes({});
            return;
        }
        fillBoxes(readRow(ids().at(current)).values);
    }

    // The texts of changed bound boxes, by column; a later box bound to the same column wins.
    QHash<int, QVariant> changedTexts() const {
        QHash<int, QVariant> changes;
        for (const Binding& binding : bindings)
            if (binding.alive() && binding.changed)
                changes.insert(binding.column, binding.text());
        return changes;
    }

    // The values of a fetched row as this control last read them, if it still holds them.
    const Values* valuesAsRead(qsizetype position) const {
        const std::vector<Row>* rows = cache.find(position / kPageRows);
        if (!rows)
            return nullptr;
        const Row& row = (*rows)[std::size_t(position % kPageRows)];
        return row.exists ? &row.values : nullptr;
    }

    // Writes the given columns as a new row (no rowid) or over an existing one, in one
    // transaction. `asRead` is the existing row as the user last saw it, if known. Returns the
    // row's rowid.
    std::int64_t write(std::optional<std::int64_t> rowid, const QHash<int, QVariant>& columns,
                       const Values* asRead) {
        for (auto it = columns.begin(); it != columns.end(); ++it) {
            if (it.key() < 0 || it.key() >= kColumnCount)
                throw StoreError(QStringLiteral("There is no column %1 in the table \"address\".")
                                     .arg(it.key()));
            if (!it.value().isNull())
                requireValidText(
                    it.value().toString(),
                    QStringLiteral("The text for \"%1\"")
                        .arg(QLatin1String(contact_table::kColumns[std::size_t(it.key())])));
        }
        ids(); // counted in the file they were fetched from, before the write may reopen it
        // Reaching the file may drop the values read from it, which asRead may point into.
        const std::optional<Values> seen =
            asRead ? std::optional<Values>(*asRead) : std::optional<Values>();
        reachCurrentFile(rowid, seen ? &*seen : nullptr);
        Database& db = connection->db;
        if (rowid && columns.isEmpty()) {
            if (!readRow(*rowid).exists)
                rowGone();
            return *rowid;
        }
        QList<int> order = columns.keys();
        std::sort(order.begin(), order.end());
        QByteArray sql;
        if (!rowid && order.isEmpty()) {
            sql = "INSERT INTO address DEFAULT VALUES";
        } else if (!rowid) {
            QByteArrayList names, places;
            for (int i = 0; i < order.size(); ++i) {
                names << quoted(order[i]);
                places << "?" + QByteArray::number(i + 1);
            }
            sql =
                "INSERT INTO address (" + names.join(", ") + ") VALUES (" + places.join(", ") + ")";
        } else {
            QByteArrayList sets;
            for (int i = 0; i < order.size(); ++i)
                sets << quoted(order[i]) + " = ?" + QByteArray::number(i + 1);
            sql = "UPDATE address SET " + sets.join(", ") + " WHERE rowid = ?" +
                  QByteArray::number(order.size() + 1);
        }
        WriteTransaction transaction(db);
        Statement statement(db, sql.constData());
        for (int i = 0; i < order.size(); ++i)
            statement.bind(i + 1, columns.value(order[i]));
        if (rowid)
            statement.bindInt(int(order.size()) + 1, *rowid);
        statement.run();
        if (rowid && db.changes() == 0)
            rowGone();
        const std::int64_t stored = rowid ? *rowid : db.lastInsertRowId();
        transaction.commit();
        return stored;
    }

    // The file may have been removed or replaced since it was opened, and a write must never
    // land in a file nobody can reach any more. Opening the file now at the path says what is
    // wrong with it, if anything. A new row goes into that book. A change to an existing row goes
    // there only if the row of the same rowid still holds what the user last saw of it, as in a
    // backup put back in place; otherwise the rowid may name another contact, and the change is
    // refused.
    void reachCurrentFile(std::optional<std::int64_t> rowid, const Values* asRead) {
        if (!connection->stillReachesFile())
            reopen();
        if (rowid && rowsFromReplacedFile) {
            const Row there = readRowById(*connection, *rowid);
            if (!asRead || !there.exists || there.values != *asRead)
                replacedSinceRead();
        }
    }

    [[noreturn]] void replacedSinceRead() const {
        throw StoreError(QStringLiteral("The address book \"%1\" was replaced after this contact "
                                        "was read, and the contact is not the same in it. Nothing "
                                        "was stored; search for the contact again.")
                             .arg(connection->path));
    }

    // Opens the book now at the path. Values read from the old file are forgotten.
    void reopen() {
        const QString path = connection->path;
        auto reopened = std::make_unique<Connection>(contact_table::openAddressBook(path), path);
        sqlite3_busy_timeout(reopened->db.handle(), busyTimeoutMs);
        connection = std::move(reopened);
        cache.clear();
        rowsFromReplacedFile = status == Status::Open;
    }

    [[noreturn]] void rowGone() const {
        throw StoreError(QStringLiteral("The contact no longer exists in \"%1\": another program "
                                        "removed it. Nothing was stored.")
                             .arg(connection->path));
    }

  private:
    // Reached through ids(), which counts an uncounted table first.
    RowIds fetchedIds;
    std::optional<UncountedTable> uncounted;
};

// The width of each arrow of the navigation strip, in pixels.
constexpr int kArrowWidth = 12;

DataControl::DataControl(QWidget* parent) : QWidget(parent), d(std::make_unique<State>()) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    struct ArrowSpec {
        const char* name;
        const char* accessible;
        QStyle::StandardPixmap icon;
        void (DataControl::*move)();
    };
    const std::array<ArrowSpec, 4> arrowKinds = {{
        {"First", "First row", QStyle::SP_MediaSkipBackward, &DataControl::MoveFirst},
        {"Previous", "Previous row", QStyle::SP_MediaPlay, &DataControl::MovePrevious},
        {"Next", "Next row", QStyle::SP_MediaPlay, &DataControl::MoveNext},
        {"Last", "Last row", QStyle::SP_MediaSkipForward, &DataControl::MoveLast},
    }};
    d->captionLabel = new QLabel(d->caption, this);
    d->captionLabel->setObjectName(QStringLiteral("Caption"));
    d->captionLabel->setFrameShape(QFrame::Panel);
    d->captionLabel->setFrameShadow(QFrame::Sunken);
    d->captionLabel->setIndent(2);
    for (std::size_t i = 0; i < arrowKinds.size(); ++i) {
        auto* arrow = new QToolButton(this);
        // Narrow arrows leave the caption the rest of the strip; they are clicked, never tabbed to.
        arrow->setFixedWidth(kArrowWidth);
        arrow->setIconSize(QSize(kArrowWidth - 4, kArrowWidth - 4));
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setObjectName(QLatin1String(arrowKinds[i].name));
        arrow->setAccessibleName(QLatin1String(arrowKinds[i].accessible));
        arrow->setToolTip(QLatin1String(arrowKinds[i].accessible));
        if (i == 1)
            arrow->setArrowType(Qt::LeftArrow);
        else if (i == 2)
            arrow->setArrowType(Qt::RightArrow);
        else
            arrow->setIcon(style()->standardIcon(arrowKinds[i].icon));
        arrow->setEnabled(false);
        const auto move = arrowKinds[i].move;
        connect(arrow, &QToolButton::clicked, this, [this, move] {
            const std::function<void()> step = [this, move] { (this->*move)(); };
            if (d->runner) {
                d->runner(step);
                return;
            }
            try {
                step();
            } catch (const StoreError& error) {
                emit stepFailed(error.description());
            }
        });
        d->arrows[i] = arrow;
        if (i == 2)
            layout->addWidget(d->captionLabel, 1);
        layout->addWidget(arrow);
    }
}

DataControl::~DataControl() = default;

QString DataControl::DatabaseName() const {
    return d->databaseName;
}
void DataControl::setDatabaseName(const QString& path) {
    d->databaseName = path;
}
QString DataControl::Connect() const {
    return d->connect;
}
void DataControl::setConnect(const QString& connect) {
    d->connect = connect;
}
QString DataControl::RecordSource() const {
    return d->recordSource;
}
void DataControl::setRecordSource(const QString& recordSource) {
    d->recordSource = recordSource;
}
QString DataControl::Caption() const {
    return d->caption;
}
void DataControl::setCaption(const QString& caption) {
    d->caption = caption;
    d->captionLabel->setText(caption);
}
void DataControl::setBaseDirectory(const QString& directory) {
    d->baseDirectory = directory;
}
void DataControl::setStepRunner(StepRunner runner) {
    d->runner = std::move(runner);
}

void DataControl::setBusyTimeout(int milliseconds) {
    d->busyTimeoutMs = milliseconds;
    if (d->connection)
        sqlite3_busy_timeout(d->connection->db.handle(), milliseconds);
}
int DataControl::busyTimeout() const {
    return d->busyTimeoutMs;
}

void DataControl::Refresh() {
    if (d->databaseName.isEmpty())
        throw StoreError(QStringLiteral("Refresh failed: the data control names no database file "
                                        "(its DatabaseName is empty)."));
    const QString path = d->resolvedPath();
    const RecordSourceQuery query = parseRecordSource(d->recordSource);

    // The kept connection is used again while the path still names the same file; otherwise the
    // file is opened afresh, and checked, before anything is read.
    std::unique_ptr<Connection> opened;
    Connection* connection = d->connection.get();
    if (!connection || connection->path != path || !connection->stillReachesFile()) {
        opened = std::make_unique<Connection>(contact_table::openAddressBook(path), path);
        connection = opened.get();
    }
    sqlite3_busy_timeout(connection->db.handle(), d->busyTimeoutMs);
    Fetched fetched = query.column ? fetchLookup(*connection, *query.column, query.value)
                                   : fetchTable(*connection);

    // Nothing has changed so far; from here on nothing fails.
    if (opened)
        d->connection = std::move(opened);
    d->status = State::Status::Open;
    d->rowsFromReplacedFile = false;
    d->setRows(std::move(fetched.ids), fetched.uncounted);
    d->cache.clear();
    d->mode = Recordset::EditMode::None;
    d->buffer = {};
    d->current = fetched.firstPage.empty() ? -1 : 0;
    d->fillBoxes(d->current < 0 ? Values{} : fetched.firstPage.front().values);
    if (!fetched.firstPage.empty())
        d->cache.put(0, std::move(fetched.firstPage));
    updateArrows();
    emit refreshed();
    emit currentRowChanged(d->current);
}

bool DataControl::boxesChanged() const {
    return !d->changedTexts().isEmpty();
}

bool DataControl::isChanged(const QWidget* box) const {
    for (const Binding& binding : d->bindings)
        if ((binding.line == box || binding.plain == box) && binding.changed)
            return true;
    return false;
}

void DataControl::updateArrows() {
    for (QToolButton* arrow : d->arrows)
        arrow->setEnabled(d->status == State::Status::Open);
}

void DataControl::MoveFirst() {
    step([](qsizetype, qsizetype) { return qsizetype(0); });
}
void DataControl::MovePrevious() {
    step([](qsizetype current, qsizetype) { return std::max<qsizetype>(current - 1, 0); });
}
void DataControl::MoveNext() {
    step([](qsizetype current, qsizetype count) { return std::min(current + 1, count - 1); });
}
void DataControl::MoveLast() {
    step([](qsizetype, qsizetype count) { return count - 1; });
}

void DataControl::moveTo(qsizetype row) {
    d->requireOpen(QStringLiteral("Move"));
    d->requireRow(row, QStringLiteral("Move"));
    step([row](qsizetype, qsizetype) { return row; });
}

void DataControl::step(const std::function<qsizetype(qsizetype, qsizetype)>& target) {
    d->requireOpen(QStringLiteral("Move"));
    storeLeftRow();
    if (d->ids().size() == 0)
        return;
    d->current = target(d->current, d->ids().size());
    d->fillBoxesFromCurrent();
    emit currentRowChanged(d->current);
}

// The row being left keeps what was typed into it: a pending AddNew or Edit is stored as Update
// stores it, and changed boxes without one are stored over the current row.
void DataControl::storeLeftRow() {
    if (d->mode != Recordset::EditMode::None) {
        recordset_.Update();
        return;
    }
    if (!boxesChanged() || d->current < 0)
        return;
    emit rowAboutToBeStored();
    const QHash<int, QVariant> changes = d->changedTexts();
    d->write(d->ids().at(d->current), changes, d->valuesAsRead(d->current));
    d->forgetRow(d->current);
    emit rowStored(d->current);
}

void DataControl::bind(QLineEdit* box, const QString& column) {
    bindBox(box, column);
    connect(box, &QLineEdit::textChanged, this, [this, box] { d->noticeEdit(box); });
}

void DataControl::bind(QPlainTextEdit* box, const QString& column) {
    bindBox(box, column);
    connect(box, &QPlainTextEdit::textChanged, this, [this, box] { d->noticeEdit(box); });
}

void DataControl::bindBox(QWidget* box, const QString& column) {
    const int index = contact_table::columnIndex(column);
    if (index < 0)
        throw StoreError(
            QStringLiteral("\"%1\" is not a column of the table \"address\".").arg(column));
    Binding& binding = d->bindings.emplace_back();
    binding.line = qobject_cast<QLineEdit*>(box);
    binding.plain = qobject_cast<QPlainTextEdit*>(box);
    binding.column = index;
    binding.lastText = binding.shown();
    binding.value = binding.lastText;
}

QStringList DataControl::fieldNames() const {
    return contact_table::columnNames();
}

QVariant DataControl::fieldValue(qsizetype row, int column) {
    d->requireOpen(QStringLiteral("Reading a row"));
    d->requireRow(row, QStringLiteral("Reading a row"));
    if (column < 0 || column >= kColumnCount)
        return {};
    return d->cachedRow(row).values[std::size_t(column)];
}

void DataControl::rereadRows() {
    d->cache.clear();
}

void DataControl::storeRow(qsizetype row, const QHash<int, QVariant>& changes) {
    d->requireOpen(QStringLiteral("Storing a row"));
    d->requireRow(row, QStringLiteral("Storing a row"));
    d->write(d->ids().at(row), changes, d->valuesAsRead(row));
    d->forgetRow(row);
    emit rowStored(row);
}

qsizetype DataControl::appendRow(const QHash<int, QVariant>& values) {
    d->requireOpen(QStringLiteral("Adding a row"));
    const std::int64_t rowid = d->write(std::nullopt, values, nullptr);
    return joinAppended(rowid);
}

qsizetype DataControl::joinAppended(std::int64_t rowid) {
    const qsizetype position = d->ids().size();
    d->ids().append(rowid);
    d->forgetRow(position); // its page may have been read while it was shorter
    emit rowAppended(position);
    return position;
}

void Recordset::AddNew() {
    auto& d = control_.d;
    d->requireOpen(QStringLiteral("AddNew"));
    d->mode = EditMode::Adding;
    d->buffer = {};
    d->fillBoxes({});
}

void Recordset::Edit() {
    auto& d = control_.d;
    d->requireOpen(QStringLiteral("Edit"));
    if (d->current < 0)
        throw StoreError(QStringLiteral("Edit failed: there is no current row (the record source "
                                        "matched no contacts)."));
    Row row = d->readRow(d->ids().at(d->current));
    if (!row.exists)
        d->rowGone();
    if (d->rowsFromReplacedFile && row.values != d->shown)
        d->replacedSinceRead();
    // The boxes keep their texts: what was typed before Edit is part of the edit.
    d->buffer = std::move(row.values);
    d->mode = EditMode::Editing;
}

void Recordset::Update() {
    auto& d = control_.d;
    d->requireOpen(QStringLiteral("Update"));
    if (d->mode == EditMode::None)
        throw StoreError(QStringLiteral("Update failed: no AddNew or Edit is under way."));
    // Nothing of the control changes until the row is stored, so a failed Update can be retried.
    emit control_.rowAboutToBeStored();
    const QHash<int, QVariant> changes = d->changedTexts();
    if (d->mode == EditMode::Adding) {
        const std::int64_t rowid = d->write(std::nullopt, changes, nullptr);
        d->mode = EditMode::None;
        d->buffer = {};
        // The new row joins at the end; the row that was current before AddNew is current again.
        control_.joinAppended(rowid);
        d->fillBoxesFromCurrent();
        return;
    }
    // The edit started from the row as read by Edit.
    d->write(d->ids().at(d->current), changes, &d->buffer);
    d->mode = EditMode::None;
    d->buffer = {};
    d->forgetRow(d->current);
    emit control_.rowStored(d->current);
    d->fillBoxesFromCurrent();
}

void Recordset::CancelUpdate() {
    auto& d = control_.d;
    d->requireOpen(QStringLiteral("CancelUpdate"));
    if (d->mode == EditMode::None)
        throw StoreError(QStringLiteral("CancelUpdate failed: no AddNew or Edit is under way."));
    d->mode = EditMode::None;
    d->buffer = {};
    d->fillBoxesFromCurrent();
}

void Recordset::Close() {
    auto& d = control_.d;
    d->requireOpen(QStringLiteral("Close"));
    // The bound boxes keep their texts; the connection stays open for the next Refresh.
    d->status = DataControl::State::Status::Closed;
    d->setRows({}, std::nullopt);
    d->cache.clear();
    d->current = -1;
    d->mode = EditMode::None;
    d->buffer = {};
    control_.updateArrows();
    emit control_.refreshed();
    emit control_.currentRowChanged(-1);
}

bool Recordset::isOpen() const {
    return control_.d->status == DataControl::State::Status::Open;
}
Recordset::EditMode Recordset::editMode() const {
    return control_.d->mode;
}
qsizetype Recordset::RecordCount() const {
    return control_.d->ids().size();
}
qsizetype Recordset::AbsolutePosition() const {
    return control_.d->current;
}
