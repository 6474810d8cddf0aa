#include "access_import.h"
#include "address_book_files.h"
#include "contact_table.h"
#include "store_error.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QVariant kNull;

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Rows 0 to 2 of the contact fixtures, as their README lists them.
QList<StoredRow> firstThreeRows() {
    return {
        {text("Hans"), text("MÜLLER"), text("+49 30 123"), kNull,
         text("Hauptstraße 1\r\n10115 Berlin"), text("hans@example.com"),
         text("http://example.com/"), text("näive “quotes”, comma; and 'apostrophe'"),
         text("01/02/2024"), text("03/04/2024")},
        {text("Ann"), text("O'Brien"), text("555-0100"), text("555-0101"), text("1 Main St"),
         text("ann@example.org"), kNull, QString(QLatin1String("")), text("01/02/2024"), kNull},
        {text("Émile"), text("Zoë"), kNull, kNull, kNull, kNull, kNull, text("Ελληνικά 日本語"),
         text("05/06/2024"), text("05/06/2024")},
    };
}

// Row i from 3 on, by the README's formula.
StoredRow generatedRow(int i) {
    const QString day = QStringLiteral("01/01/2024");
    return {QStringLiteral("First%1").arg(i),
            QStringLiteral("Last%1").arg(i % 997),
            QStringLiteral("555-%1").arg(1000 + i),
            kNull,
            QStringLiteral("%1 Some Street").arg(i),
            QStringLiteral("p%1@example.net").arg(i),
            kNull,
            kNull,
            day,
            day};
}

QList<StoredRow> expectedRows(int count) {
    QList<StoredRow> rows = firstThreeRows();
    for (int i = 3; i < count; ++i)
        rows << generatedRow(i);
    return rows;
}

// Keeps only Name, Surname, phone and email of each row; the rest is NULL.
QList<StoredRow> withOnlySearchedColumns(const QList<StoredRow>& rows) {
    QList<StoredRow> kept;
    for (const StoredRow& row : rows) {
        StoredRow only(contact_table::kColumnCount);
        for (const int column : {0, 1, 2, 5})
            only[column] = row[column];
        kept << only;
    }
    return kept;
}

} // namespace

class TestAccessImport : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    QString pathIn(const QString& name) const { return dir.filePath(name); }

    // Imports a fixture through the command and returns what was stored.
    QList<StoredRow> imported(const QString& fixture, const QString& target) {
        const ToolRun run = runTool({"import", fixturePath(fixture), pathIn(target)});
        if (run.exitCode != 0)
            qWarning().noquote() << "import failed:" << run.err;
        return rowsIn(pathIn(target));
    }

    void verifyFailureLeavesNothing(const QStringList& arguments, const QString& messagePart) {
        const QStringList before = entriesOf(dir.path());
        const ToolRun run = runTool(arguments);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(messagePart), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QCOMPARE(entriesOf(dir.path()), before);
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        QVERIFY2(QFile::exists(fixturePath("jet4-contacts.mdb")), "fixtures not found");
    }

    void importsTheFiveContactsExactly() {
        const ToolRun run =
            runTool({"import", fixturePath("jet4-contacts.mdb"), pathIn("five.mdb")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        QVERIFY2(run.out.contains("Imported 5 contacts"), qPrintable(run.out));
        QCOMPARE(rowsIn(pathIn("five.mdb")), expectedRows(5));
    }

    void keepsNullApartFromTheEmptyText() {
        const QList<StoredRow> rows = imported("jet4-contacts.mdb", "null-and-empty.mdb");
        QCOMPARE(rows.size(), 5);
        const QVariant empty = rows[1][7]; // Ann's notes: ''
        QVERIFY(empty.isValid());
        QCOMPARE(empty.toString(), QString());
        QVERIFY(!rows[1][6].isValid()); // Ann's url: NULL
        QVERIFY(!rows[0][3].isValid()); // Hans's fax: NULL
    }

    void keepsCarriageReturnAndLineFeed() {
        const QList<StoredRow> rows = imported("jet4-contacts.mdb", "lines.mdb");
        QVERIFY(!rows.isEmpty());
        QCOMPARE(rows[0][4].toString().toUtf8(), QByteArray("Hauptstra\xc3\x9f"
                                                            "e 1\r\n10115 Berlin"));
    }

    void readsTheCompressedTextFormAlike() {
        const QList<StoredRow> compressed =
            imported("jet4-contacts-compressed.mdb", "compressed.mdb");
        QCOMPARE(compressed, expectedRows(5));
        QCOMPARE(compressed, imported("jet4-contacts.mdb", "plain.mdb"));
    }

    void importsTwoThousandContactsFromManyPages() {
        const ToolRun run =
            runTool({"import", fixturePath("jet4-2000-contacts.mdb"), pathIn("big.mdb")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains("Imported 2000 contacts"), qPrintable(run.out));
        const QList<StoredRow> rows = rowsIn(pathIn("big.mdb"));
        QCOMPARE(rows.size(), 2000);
        for (const int i : {3, 4, 996, 997, 998, 1500, 1993, 1999})
            QCOMPARE(rows[i], generatedRow(i));
        QCOMPARE(rows, expectedRows(2000));
    }

    void leavesColumnsTheOldTableLacksNull() {
        const ToolRun run =
            runTool({"import", fixturePath("jet4-missing-columns.mdb"), pathIn("some.mdb")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains("no column \"fax\""), qPrintable(run.out));
        QVERIFY2(run.out.contains("no column \"modified on\""), qPrintable(run.out));
        QVERIFY2(run.out.contains("Imported 3 contacts"), qPrintable(run.out));
        QCOMPARE(rowsIn(pathIn("some.mdb")), withOnlySearchedColumns(firstThreeRows()));
    }

    void makesTheBookAsCreateDoes() {
        imported("jet4-contacts.mdb", "sound.mdb");
        const ToolRun check = runTool({"check", pathIn("sound.mdb")});
        QCOMPARE(check.out, QStringLiteral("ok\n"));
        QCOMPARE(check.exitCode, 0);
        QCOMPARE(entriesOf(dir.path()).filter("sound.mdb"), QStringList{"sound.mdb"});
    }

    void decodesToUtf8WhateverTheEnvironmentAsks() {
        qputenv("MDBICONV", "ISO-8859-1");
        const QList<StoredRow> rows = imported("jet4-contacts.mdb", "charset.mdb");
        QCOMPARE(qgetenv("MDBICONV"), QByteArray("ISO-8859-1"));
        qunsetenv("MDBICONV");
        QCOMPARE(rows, expectedRows(5));
    }

    void refusesToWriteOverAFile() {
        const QString existing = pathIn("existing.mdb");
        {
            QFile file(existing);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("keep me");
        }
        verifyFailureLeavesNothing({"import", fixturePath("jet4-contacts.mdb"), existing},
                                   "already exists");
        QCOMPARE(contentOf(existing), QByteArray("keep me"));
    }

    void refusesAFileWithoutTheContactTable() {
        verifyFailureLeavesNothing(
            {"import", fixturePath("jet4-other-table.mdb"), pathIn("other.mdb")},
            "has no table \"address\" (its tables: \"people\")");
    }

    void refusesAFileThatIsNotAnAccessFile() {
        const QString textFile = pathIn("notes.txt");
        {
            QFile file(textFile);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("Name,Surname\nAnn,O'Brien\n");
        }
        verifyFailureLeavesNothing({"import", textFile, pathIn("from-text.mdb")},
                                   "is not an Access-format file");
    }

    void refusesAnAddressBookOfOurOwn() {
        const QString ours = pathIn("ours.mdb");
        contact_table::createAddressBook(ours);
        verifyFailureLeavesNothing({"import", ours, pathIn("from-ours.mdb")}, "needs no import");
    }

    void refusesAnIncompleteFile() {
        const QString truncated = pathIn("truncated.mdb");
        {
            QFile file(truncated);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contentOf(fixturePath("jet4-contacts.mdb")).left(4096));
        }
        verifyFailureLeavesNothing({"import", truncated, pathIn("from-truncated.mdb")},
                                   "cannot be read as an Access file");
    }

    void refusesAMissingFileAndAFolder() {
        verifyFailureLeavesNothing({"import", pathIn("absent.mdb"), pathIn("from-absent.mdb")},
                                   "does not exist");
        verifyFailureLeavesNothing({"import", dir.path(), pathIn("from-folder.mdb")},
                                   "is a folder");
    }

    void leavesNothingWhenStoppedHalfway() {
        const QStringList before = entriesOf(dir.path());
        bool stopped = false;
        try {
            access_import::importAddressBook(fixturePath("jet4-2000-contacts.mdb"),
                                             pathIn("halfway.mdb"), [](qint64 done, qint64) {
                                                 if (done >= 1000)
                                                     throw StoreError(QStringLiteral("stop"));
                                             });
        } catch (const StoreError& error) {
            stopped = error.description() == QLatin1String("stop");
        }
        QVERIFY(stopped);
        QCOMPARE(entriesOf(dir.path()), before);
    }

    void drawsAProgressBarWhenAsked() {
        const ToolRun run = runTool(
            {"import", "--progress", fixturePath("jet4-2000-contacts.mdb"), pathIn("shown.mdb")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains("\rImporting ["), qPrintable(run.err));
        QVERIFY2(run.err.endsWith("100% (2000 of 2000 contacts)\n"), qPrintable(run.err));
        QVERIFY(!runTool({"import", fixturePath("jet4-contacts.mdb"), pathIn("quiet.mdb")})
                     .err.contains("Importing"));
    }

    void turnsAccessDatesIntoDays() {
        QCOMPARE(access_import::dateFromAccess(0.0), QDate(1899, 12, 30));
        QCOMPARE(access_import::dateFromAccess(45293.75), QDate(2024, 1, 2));
        QCOMPARE(access_import::dateFromAccess(-1.25), QDate(1899, 12, 29));
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QString german = access_import::dateText(45293.75);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const QString american = access_import::dateText(45293.75);
        QLocale::setDefault(before);
        QCOMPARE(german, QStringLiteral("02.01.24"));
        QCOMPARE(american, QStringLiteral("1/2/24"));
    }
};

QTEST_GUILESS_MAIN(TestAccessImport)
#include "test_access_import.moc"
