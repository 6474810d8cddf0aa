#include "bench.h"

#include "store/contact_table.h"
#include "store/lookup_statement.h"
#include "store/sqlite_db.h"
#include "store/store_error.h"
#include "widgets/data_control.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <sqlite3.h>

// tessaline-bench data-control: the data control over a file of N synthetic contacts. The file
// is made once per N and kept in the temporary folder; rows the run adds are removed again.
namespace {

using contact_table::kColumnCount;

// Pronounceable words, one per number, so that every value is distinct per number.
QString word(qint64 number) {
    static const std::array<const char*, 24> syllables = {
        "ka", "lo", "mi", "ne", "ra", "sto", "vi",  "den", "ber", "tal", "mor", "shi",
        "an", "el", "ko", "ru", "sa", "wen", "gar", "li",  "po",  "dra", "ven", "zu"};
    QString text;
    for (int i = 0; i < 3 || number > 0; ++i) {
        text += QLatin1String(syllables[std::size_t(number % 24)]);
        number /= 24;
    }
    text[0] = text[0].toUpper();
    return text;
}

// Row i's key in a column: a different permutation of the rows per column, three rows a key,
// so that every lookup value matches about three rows spread over the table.
qint64 key(qint64 row, qint64 rows, qint64 multiplier) {
    return (row * multiplier) % rows / 3;
}

struct Synthetic {
    qint64 rows;
    QString name(qint64 i) const { return word(key(i, rows, 7919)); }
    QString surname(qint64 i) const { return word(key(i, rows, 104729) + 1000003); }
    QString phone(qint64 i) const {
        return QStringLiteral("+44 20 %1").arg(key(i, rows, 15485863), 8, 10, QLatin1Char('0'));
    }
    QString email(qint64 i) const {
        const qint64 k = key(i, rows, 32452843);
        return word(k).toLower() + QLatin1Char('.') + word(k + 77).toLower() +
               QStringLiteral("@example.org");
    }
    std::array<QVariant, kColumnCount> values(qint64 i) const {
        return {
            name(i),
            surname(i),
            phone(i),
            i % 4 ? QVariant() : QVariant(phone(i + 1)),
            QStringLiteral("%1 %2 Street\n%3").arg(i % 200 + 1).arg(word(i % 997), word(i % 89)),
            email(i),
            i % 3 ? QVariant() : QVariant(QStringLiteral("https://%1.example.org").arg(word(i))),
            i % 5 ? QVariant() : QVariant(QStringLiteral("met at the %1 fair").arg(word(i % 50))),
            QStringLiteral("%1/%2/20%3").arg(i % 28 + 1).arg(i % 12 + 1).arg(i % 20 + 10),
            i % 2 ? QVariant() : QVariant(QStringLiteral("07/12/2026"))};
    }
};

qint64 count(const Database& db, const char* sql) {
    Statement statement(db, sql);
    statement.step();
    return statement.integer(0);
}

// A book and whatever journal an older or interrupted run left beside it.
void removeBookFiles(const QString& path) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

// The cached file, made through the program's own code when it is missing or not as expected.
QString prepareFile(qint64 rows) {
    const QString dir = QDir::temp().filePath(QStringLiteral("tessaline-bench-%1").arg(rows));
    QDir().mkpath(dir);
    const QString path = contact_table::databasePath(dir);
    if (QFile::exists(path)) {
        try {
            Database db = contact_table::openAddressBook(path);
            if (count(db, "SELECT count(*) FROM address") == rows &&
                count(db, "SELECT max(rowid) FROM address") == rows)
                return path;
        } catch (const StoreError&) {
        }
        removeBookFiles(path);
    }
    std::fprintf(stderr, "making %lld contacts in %s ...\n", rows, qPrintable(path));
    QElapsedTimer made;
    made.start();
    const QString building = path + QStringLiteral(".building");
    removeBookFiles(building);
    contact_table::createAddressBook(building);
    {
        Database db = contact_table::openAddressBook(building);
        const Synthetic synthetic{rows};
        WriteTransaction transaction(db);
        Statement insert(db, "INSERT INTO address VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        for (qint64 i = 0; i < rows; ++i) {
            const auto values = synthetic.values(i);
            for (int c = 0; c < kColumnCount; ++c)
                insert.bind(c + 1, values[std::size_t(c)]);
            insert.run();
            insert.reset();
        }
        transaction.commit();
    }
    if (!QFile::rename(building, path)) {
        std::fprintf(stderr, "cannot move %s into place\n", qPrintable(building));
        std::exit(1);
    }
    std::fprintf(stderr, "made in %.1f s\n", double(made.elapsed()) / 1000);
    return path;
}

// A window with ten bound boxes, as the details window has.
struct BoundWindow {
    explicit BoundWindow(const QString& path) {
        data = new DataControl(&window);
        data->setDatabaseName(path);
        for (const contact_table::ColumnDescription& description : contact_table::kSchema)
            data->bind(boxes.emplace_back(new QLineEdit(&window)), description.column);
    }
    QWidget window;
    DataControl* data;
    std::vector<QLineEdit*> boxes;
};

double millisecondsSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// The same lookup through the SQLite C API alone, the statement prepared once.
class RawLookup {
  public:
    RawLookup(const QString& path, LookupColumn column) {
        sqlite3_open_v2(path.toUtf8().constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        contact_table::registerCollation(db_);
        const QByteArray sql = QByteArray("SELECT * FROM address WHERE \"") +
                               lookupColumnName(column) + "\" = ?1 COLLATE TESSALINE_NOCASE";
        sqlite3_prepare_v2(db_, sql.constData(), -1, &stmt_, nullptr);
    }
    ~RawLookup() {
        sqlite3_finalize(stmt_);
        sqlite3_close_v2(db_);
    }
    RawLookup(const RawLookup&) = delete;
    RawLookup& operator=(const RawLookup&) = delete;
    // Reads every column of every match, as text; returns the number of matches.
    int run(const QByteArray& value) {
        sqlite3_bind_text(stmt_, 1, value.constData(), int(value.size()), SQLITE_STATIC);
        int rows = 0;
        while (sqlite3_step(stmt_) == SQLITE_ROW) {
            ++rows;
            for (int c = 0; c < kColumnCount; ++c)
                sink_ +=
                    QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt_, c)),
                                      sqlite3_column_bytes(stmt_, c))
                        .size();
        }
        sqlite3_reset(stmt_);
        return rows;
    }
    qsizetype sink_ = 0;

  private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

} // namespace

QString bench::addressBookOf(qint64 rows) {
    return prepareFile(rows);
}

namespace {

struct Run {
    QString path;
    qint64 rows;
    int runs;
    QRandomGenerator random{20261207};
};

struct RefreshFigures {
    double ms = 0;
    double extraMib = 0;
};

// A whole-table Refresh by a new control, as the find window's load step does it.
RefreshFigures measureRefresh(const Run& run) {
    std::vector<double> refreshMs, fetchOnlyMs, refreshMib;
    const bool peakResets = bench::resetPeak();
    for (int i = 0; i < run.runs; ++i) {
        auto window = std::make_unique<BoundWindow>(run.path);
        bench::resetPeak();
        const qint64 before = bench::residentKib();
        QElapsedTimer timer;
        timer.start();
        window->data->refresh();
        fetchOnlyMs.push_back(millisecondsSince(timer));
        // The table is counted when its size is first asked for; that belongs to the fetch.
        if (window->data->recordset().recordCount() != run.rows)
            throw StoreError(QStringLiteral("the whole table did not come back"));
        refreshMs.push_back(millisecondsSince(timer));
        const qint64 after = peakResets ? bench::peakResidentKib() : bench::residentKib();
        refreshMib.push_back(double(after - before) / 1024);
    }
    // Memory given back by one run is reused by the next, so the first run shows the cost.
    const RefreshFigures figures{bench::median(refreshMs),
                                 *std::max_element(refreshMib.begin(), refreshMib.end())};
    std::printf("refresh whole table and count it: %.2f ms median (Refresh alone %.2f ms), "
                "%.2f MiB extra %s at most\n",
                figures.ms, bench::median(fetchOnlyMs), figures.extraMib,
                peakResets ? "peak" : "resident (peak not resettable)");
    return figures;
}

// A lookup through the data control, every column of every match read.
double timedLookup(DataControl& finder, LookupColumn column, const QString& value) {
    QElapsedTimer timer;
    timer.start();
    finder.setRecordSource(lookupStatement(column, value));
    finder.refresh();
    qsizetype read = 0;
    for (qsizetype r = 0; r < finder.recordset().recordCount(); ++r)
        for (int c = 0; c < kColumnCount; ++c)
            read += finder.fieldValue(r, c).toString().size();
    const double ms = millisecondsSince(timer);
    return read >= 0 ? ms : 0.0;
}

QString valueOf(const Synthetic& synthetic, LookupColumn column, qint64 row) {
    switch (column) {
    case LookupColumn::Name:
        return synthetic.name(row);
    case LookupColumn::Surname:
        return synthetic.surname(row);
    case LookupColumn::Phone:
        return synthetic.phone(row);
    default:
        return synthetic.email(row);
    }
}

struct LookupFigures {
    double firstMs = 0;
    double ratio = 0;
};

// Lookups by one column for values with about three matches, and the same through the C API. The
// first lookup of a value finds its pages outside the connection's cache ("first"); the ratio
// compares the repeated lookup on both sides, so that both start from the same cache state.
LookupFigures measureLookups(Run& run, DataControl& finder, LookupColumn column) {
    const Synthetic synthetic{run.rows};
    const int lookupRuns = std::max(run.runs * 5, 31);
    RawLookup raw(run.path, column);
    std::vector<double> oursFirst, ours, rawFirst, theirs;
    qsizetype matches = 0;
    for (int i = 0; i < lookupRuns; ++i) {
        const QString value = valueOf(synthetic, column, run.random.bounded(run.rows));
        oursFirst.push_back(timedLookup(finder, column, value));
        ours.push_back(timedLookup(finder, column, value));
        const QByteArray utf8 = value.toUtf8();
        QElapsedTimer timer;
        timer.start();
        const int rawMatches = raw.run(utf8);
        rawFirst.push_back(millisecondsSince(timer));
        timer.start();
        raw.run(utf8);
        theirs.push_back(millisecondsSince(timer));
        if (rawMatches != finder.recordset().recordCount())
            throw StoreError(QStringLiteral("the lookup of %1 disagrees").arg(value));
        matches += rawMatches;
    }
    const LookupFigures figures{bench::median(oursFirst),
                                bench::median(ours) / bench::median(theirs)};
    std::printf("lookup by %-7s: first %.4f ms (raw SQLite %.4f), repeated %.4f ms (raw "
                "SQLite %.4f), ratio %.2f; %.1f matches on average\n",
                lookupColumnName(column), figures.firstMs, bench::median(rawFirst),
                bench::median(ours), bench::median(theirs), figures.ratio,
                double(matches) / lookupRuns);
    return figures;
}

// The rows a run changed, with what they held, so that the file can be left as it was made.
using EditedRows = std::vector<std::pair<qsizetype, QVariant>>;

// Writes through bound boxes, each its own committed transaction. Returns the slower median.
double measureWrites(Run& run, BoundWindow& editor, EditedRows& edited) {
    std::vector<double> addMs, editMs;
    for (int i = 0; i < run.runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        editor.data->recordset().addNew();
        editor.boxes[0]->setText(QStringLiteral("Bench"));
        editor.boxes[1]->setText(QStringLiteral("Mark"));
        editor.boxes[8]->setText(QStringLiteral("07/12/2026"));
        editor.data->recordset().update();
        addMs.push_back(millisecondsSince(timer));

        const qsizetype target = qsizetype(run.random.bounded(run.rows));
        editor.data->moveTo(target);
        edited.emplace_back(target, editor.data->fieldValue(target, kColumnCount - 1));
        timer.start();
        editor.data->recordset().edit();
        editor.boxes[9]->setText(QStringLiteral("08/12/2026"));
        editor.data->recordset().update();
        editMs.push_back(millisecondsSince(timer));
    }
    const double add = bench::median(addMs);
    const double edit = bench::median(editMs);
    std::printf("AddNew + Update: %.2f ms median; Edit + Update: %.2f ms median\n", add, edit);
    return std::max(add, edit);
}

// Stepping through rows with the navigator, the boxes following.
void measureSteps(const Run& run, BoundWindow& editor) {
    editor.data->moveFirst();
    QElapsedTimer stepping;
    stepping.start();
    for (int i = 0; i < 1000; ++i)
        editor.data->moveNext();
    const double stepMs = millisecondsSince(stepping);
    std::printf("MoveNext x %lld: %.2f ms (%.1f us a row)\n", std::min<qint64>(1000, run.rows),
                stepMs, stepMs);
}

void restoreFile(const Run& run, const EditedRows& edited) {
    Database db = contact_table::openAddressBook(run.path);
    WriteTransaction transaction(db);
    Statement remove(db, "DELETE FROM address WHERE rowid > ?1");
    remove.bindInt(1, run.rows);
    remove.run();
    const QByteArray update =
        "UPDATE address SET " +
        contact_table::quotedColumn(contact_table::Column::ModifiedOn).toUtf8() +
        " = ?1 WHERE rowid = ?2";
    Statement restore(db, update.constData());
    for (auto it = edited.rbegin(); it != edited.rend(); ++it) {
        restore.bind(1, it->second);
        restore.bindInt(2, it->first + 1);
        restore.run();
        restore.reset();
    }
    transaction.commit();
}

void measureAll(Run& run) {
    const RefreshFigures refresh = measureRefresh(run);
    DataControl finder;
    finder.setDatabaseName(run.path);
    finder.refresh();
    LookupFigures worst;
    for (LookupColumn column :
         {LookupColumn::Name, LookupColumn::Surname, LookupColumn::Phone, LookupColumn::Email}) {
        const LookupFigures figures = measureLookups(run, finder, column);
        worst = {std::max(worst.firstMs, figures.firstMs), std::max(worst.ratio, figures.ratio)};
    }
    BoundWindow editor(run.path);
    editor.data->refresh();
    EditedRows edited;
    const double write = measureWrites(run, editor, edited);
    measureSteps(run, editor);
    restoreFile(run, edited);
    std::printf("summary rows=%lld refresh_ms=%.2f refresh_extra_mib=%.2f lookup_ms=%.4f "
                "lookup_vs_sqlite=%.2f write_ms=%.2f\n",
                run.rows, refresh.ms, refresh.extraMib, worst.firstMs, worst.ratio, write);
}

} // namespace

int runDataControlBench(const QStringList& arguments) {
    Run run{QString(), bench::intOption(arguments, QStringLiteral("--rows"), 100000),
            int(bench::intOption(arguments, QStringLiteral("--runs"), 7))};
    if (run.rows < 10) {
        std::fprintf(stderr, "--rows must be at least 10\n");
        return 2;
    }
    run.path = prepareFile(run.rows);
    try {
        measureAll(run);
    } catch (const StoreError& error) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(error.description()));
        return 1;
    }
    return 0;
}
