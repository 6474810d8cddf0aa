#include "store/contact_table.h"
#include "store/date_stamp.h"
#include "store/path_status_vfs.h"
#include "store/sqlite_db.h"
#include "store/store_error.h"
#include "store/text_fold.h"
#include "support/test_book.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

namespace {

int countMatches(const Database& db, const char* column, const QString& value) {
    const QByteArray sql = QByteArray("SELECT count(*) FROM address WHERE \"") + column +
                           "\" = ?1 COLLATE TESSALINE_NOCASE";
    Statement select(db, sql.constData());
    select.bindText(1, value);
    select.step();
    return int(select.integer(0));
}

// The rows of a book, every long value read to its last page.
int countRows(const Database& db) {
    Statement count(db, "SELECT count(*), sum(length(\"Surname\")) FROM address");
    count.step();
    return int(count.integer(0));
}

} // namespace

class TestContactTable : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

  private slots:
    void databasePathIsTheFileBesideTheExecutable() {
        QCOMPARE(contact_table::databasePath(QStringLiteral("/opt/tessaline")),
                 QStringLiteral("/opt/tessaline") + QDir::separator() + "address.mdb");
    }

    void createdFileIsAPlainSqliteDatabaseMarkedAsOurs() {
        const QString file = path("plain.mdb");
        contact_table::createAddressBook(file);
        // Nothing but the file itself is left behind.
        QCOMPARE(QDir(dir.path()).entryList({"plain.mdb*"}, QDir::Files), QStringList{"plain.mdb"});
        // A connection without our collation still reads every row and the schema.
        sqlite3* raw = nullptr;
        QCOMPARE(sqlite3_open_v2(file.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr),
                 SQLITE_OK);
        sqlite3_stmt* stmt = nullptr;
        QCOMPARE(sqlite3_prepare_v2(raw, "SELECT * FROM address", -1, &stmt, nullptr), SQLITE_OK);
        QCOMPARE(sqlite3_column_count(stmt), 10);
        for (int i = 0; i < 10; ++i)
            QCOMPARE(QString::fromUtf8(sqlite3_column_name(stmt, i)),
                     contact_table::columnNames()[i]);
        QCOMPARE(sqlite3_step(stmt), SQLITE_DONE);
        sqlite3_finalize(stmt);
        sqlite3_prepare_v2(raw, "PRAGMA application_id", -1, &stmt, nullptr);
        sqlite3_step(stmt);
        QCOMPARE(sqlite3_column_int(stmt, 0), contact_table::kApplicationId);
        sqlite3_finalize(stmt);
        sqlite3_prepare_v2(raw, "PRAGMA journal_mode", -1, &stmt, nullptr);
        sqlite3_step(stmt);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))),
                 QByteArray("delete"));
        sqlite3_finalize(stmt);
        sqlite3_close(raw);
    }

    // A book in write-ahead-log mode is switched to the rollback journal when it is opened alone;
    // while another program has it open it is used as it is, without waiting.
    void aBookInWriteAheadLogModeIsSwitchedWhenOpenedAlone() {
        const QString file = path("wal.mdb");
        contact_table::createAddressBook(file);
        const auto journalMode = [](const Database& db) {
            Statement mode(db, "PRAGMA journal_mode");
            mode.step();
            return mode.text(0);
        };
        {
            Database other(file, Database::Mode::ReadWrite);
            other.exec("PRAGMA journal_mode = WAL");
            Statement reading(other, "SELECT * FROM sqlite_master");
            QVERIFY(reading.step());
            QElapsedTimer timer;
            timer.start();
            const Database shared = contact_table::openAddressBook(file);
            QVERIFY(timer.elapsed() < 2000);
            QCOMPARE(journalMode(shared), QStringLiteral("wal"));
        }
        const Database alone = contact_table::openAddressBook(file);
        QCOMPARE(journalMode(alone), QStringLiteral("delete"));
        QVERIFY(!QFile::exists(file + "-wal"));
        QVERIFY(!QFile::exists(file + "-shm"));
    }

    void createRefusesToOverwriteAnything() {
        const QString file = path("taken.mdb");
        QFile existing(file);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("my old notes");
        existing.close();
        QVERIFY_THROWS_EXCEPTION(StoreError, contact_table::createAddressBook(file));
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("my old notes"));

        QVERIFY(QDir(dir.path()).mkdir("folder.mdb"));
        QVERIFY_THROWS_EXCEPTION(StoreError, contact_table::createAddressBook(path("folder.mdb")));
        QVERIFY(QFileInfo(path("folder.mdb")).isDir());
    }

    void searchedColumnsMatchWholeValuesWithoutRegardToCase() {
        const QString file = path("match.mdb");
        contact_table::createAddressBook(file);
        Database db = contact_table::openAddressBook(file);
        Statement insert(db, "INSERT INTO address (\"Name\", \"Surname\", phone, email) "
                             "VALUES (?1, ?2, ?3, ?4)");
        const QList<QList<QVariant>> rows = {
            {"Hans", "MÜLLER", "+49 30 123", "hans@example.com"},
            {"Émile", "Zoë", QVariant(), ""},
            {"émile", " Smith ", "555", QVariant()},
            {"Ann", "O'Brien", "555", "ANN@EXAMPLE.ORG"},
        };
        for (const auto& values : rows) {
            for (int i = 0; i < values.size(); ++i)
                insert.bind(i + 1, values[i]);
            insert.run();
            insert.reset();
        }
        QCOMPARE(countMatches(db, "Surname", "müller"), 1);
        QCOMPARE(countMatches(db, "Surname", "MüLLer"), 1);
        QCOMPARE(countMatches(db, "Surname", "Mull"), 0);
        QCOMPARE(countMatches(db, "Name", "ÉMILE"), 2);
        QCOMPARE(countMatches(db, "Surname", "ZOË"), 1);
        QCOMPARE(countMatches(db, "Surname", "Smith"), 0);
        QCOMPARE(countMatches(db, "Surname", " smith "), 1);
        QCOMPARE(countMatches(db, "Surname", "o'brien"), 1);
        QCOMPARE(countMatches(db, "email", "ann@example.org"), 1);
        // An empty search finds the empty text, never a missing value.
        QCOMPARE(countMatches(db, "email", ""), 1);
        QCOMPARE(countMatches(db, "phone", ""), 0);
        QCOMPARE(countMatches(db, "phone", "555"), 2);

        // The lookups are answered from the indexes.
        Statement plan(db, "EXPLAIN QUERY PLAN SELECT rowid FROM address WHERE \"Surname\" = ?1 "
                           "COLLATE TESSALINE_NOCASE");
        QVERIFY(plan.step());
        QVERIFY2(plan.text(3).contains("address_surname"), qPrintable(plan.text(3)));
    }

    void foldedComparisonIsATotalOrder() {
        auto cmp = [](const QByteArray& a, const QByteArray& b) {
            return text_fold::compare(a.constData(), int(a.size()), b.constData(), int(b.size()));
        };
        QCOMPARE(cmp("abc", "ABC"), 0);
        QCOMPARE(cmp("straße", "STRASSE") == 0, false);
        QVERIFY(cmp("abc", "abd") < 0);
        QVERIFY(cmp("abd", "abc") > 0);
        QVERIFY(cmp("ab", "abc") < 0);
        QVERIFY(cmp("", "a") < 0);
        QCOMPARE(cmp("ΕΛΛΗΝΙΚΆ", "ελληνικά"), 0);
        // Malformed bytes compare consistently instead of crashing or equalling everything.
        const QByteArray broken("\xC3", 1);
        QVERIFY(cmp(broken, "a") > 0);
        QVERIFY(cmp("a", broken) < 0);
        QCOMPARE(cmp(broken, broken), 0);
    }

    // Texts that share a long prefix, ending in and around characters of several bytes, compare
    // as their case-folded code points do.
    void foldedComparisonSkipsWhatTextsShare() {
        const QList<QByteArray> texts = {
            "Schmidt-Rottluff, Karl Friedrich", "SCHMIDT-ROTTLUFF, KARL FRIEDRICH",
            "Schmidt-Rottluff, Karl Friedrichs", "Schmidt-Rottluff, Karl Friedric",
            "Schmidt-Rottluff, Müller", "Schmidt-Rottluff, MÜLLER", "Schmidt-Rottluff, Mü",
            "Schmidt-Rottluff, Mù", "Schmidt-Rottluff, M\xC3", "Schmidt-Rottluff, M\xC3\xBC\xBC",
            "Schmidt-Rottluff, ΕΛΛΗΝΙΚΆ", "Schmidt-Rottluff, ελληνικά", "Schmidt-Rottluff, 😀",
            "Schmidt-Rottluff, 😁",
            // around the letters, eight bytes at a time
            "schmidt-rottluff, karl a", "SCHMIDT-ROTTLUFF, KARL Z", "Schmidt-Rottluff, Karl @",
            "Schmidt-Rottluff, Karl [", "Schmidt-Rottluff, Karl `", "Schmidt-Rottluff, Karl {",
            "Schmidt-Rottluff, Karl \x7F"};
        // The order of well-formed texts by their folded code points.
        auto folded = [](const QByteArray& utf8) {
            QList<uint> points = QString::fromUtf8(utf8).toUcs4();
            for (uint& point : points)
                point = QChar::toCaseFolded(point);
            return points;
        };
        for (const QByteArray& a : texts)
            for (const QByteArray& b : texts) {
                const int got =
                    text_fold::compare(a.constData(), int(a.size()), b.constData(), int(b.size()));
                QCOMPARE(got, -text_fold::compare(b.constData(), int(b.size()), a.constData(),
                                                  int(a.size())));
                if (!QByteArrayView(a).isValidUtf8() || !QByteArrayView(b).isValidUtf8())
                    continue;
                const QList<uint> fa = folded(a), fb = folded(b);
                const int expected = fa == fb ? 0 : fa < fb ? -1 : 1;
                QVERIFY2(got == expected, a + " / " + b);
            }
    }

    void dateStampIsTheLocalesShortDate() {
        const FixedClock clock(QDate(2026, 3, 9));
        QCOMPARE(dateStamp(clock, QLocale(QLocale::English, QLocale::UnitedStates)),
                 QStringLiteral("3/9/26"));
        QCOMPARE(dateStamp(clock, QLocale(QLocale::German, QLocale::Germany)),
                 QStringLiteral("09.03.26"));
        QCOMPARE(dateStamp(clock, QLocale(QLocale::German, QLocale::Germany)),
                 QLocale(QLocale::German).toString(QDate(2026, 3, 9), QLocale::ShortFormat));
    }

    // A connection opened through the layer that answers the engine's size questions from the
    // path keeps reading its own file, at its own size, once another is put in its place; and
    // what the engine saw of the path tells it.
    void aConnectionKeepsItsOwnFileOnceAnotherTakesItsPlace_data() {
        QTest::addColumn<int>("otherRows"); // -1 for no file at all
        QTest::newRow("a larger book") << 5000;
        QTest::newRow("a smaller book") << 0;
        QTest::newRow("nothing") << -1;
    }
    void aConnectionKeepsItsOwnFileOnceAnotherTakesItsPlace() {
        QFETCH(int, otherRows);
        const QString book = path("kept.mdb"), other = path("other.mdb");
        QList<StoredRow> rows;
        for (int i = 0; i < 300; ++i)
            rows << row({QStringLiteral("Name %1").arg(i), QString(2000, QLatin1Char('x'))});
        contact_table::createAddressBook(book);
        insertRows(book, rows);
        Database db = contact_table::openAddressBook(book, path_status_vfs::name());
        QCOMPARE(countRows(db), 300);
        const path_status_vfs::Seen before = path_status_vfs::lastSeen(db.handle());
        QVERIFY(before.path.identity.known);

        if (otherRows >= 0) {
            contact_table::createAddressBook(other);
            insertRows(other, QList<StoredRow>(otherRows, row({"Other"})));
        }
        const QString moved = path("moved.mdb");
        QVERIFY(QFile::rename(book, moved));
        QVERIFY(otherRows < 0 || QFile::rename(other, book));

        QCOMPARE(countRows(db), 300);
        const path_status_vfs::Seen after = path_status_vfs::lastSeen(db.handle());
        QVERIFY(after.queries > before.queries);
        QVERIFY(after.path.identity != before.path.identity);
        QVERIFY(QFile::remove(moved));
        QFile::remove(book);
    }
};

QTEST_GUILESS_MAIN(TestContactTable)
#include "test_contact_table.moc"
