#include "exchange/access_import.h"
#include "store/contact_table.h"
#include "store/store_error.h"
#include "support/address_book_files.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using access_writer::Version;

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

// An Access 97 address book's contacts: accents and Windows-1252-only characters, 255-character
// texts, line breaks, memos short and long, NULL beside the empty text.
QList<StoredRow> access97Contacts(int count) {
    QList<StoredRow> rows = sampleContacts(count);
    rows[2][7] = QString::fromUtf8("Café “Zoë” – 5 € • naïve\r\nŒuvre");
    rows[3][1] = QString::fromUtf8("Ä").repeated(255);
    rows[3][4] = QStringLiteral("Line of an address\r\n").repeated(150);
    rows[4][4] = QString(QLatin1String(""));
    rows[4][7] = QString::fromUtf8("ß").repeated(255);
    return rows;
}

// The same rows with only the columns in keep, as an old table with just those columns has them.
QList<StoredRow> columnsOf(const QList<StoredRow>& rows, const QList<int>& keep) {
    QList<StoredRow> kept;
    for (const StoredRow& row : rows) {
        StoredRow only;
        for (const int column : keep)
            only << row[column];
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

    // Imports an old file of the test folder through the command and returns what was stored.
    QList<StoredRow> imported(const QString& old, const QString& target) {
        const ToolRun run = runTool({"import", pathIn(old), pathIn(target)});
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
    // The old address books every test reads, in the Jet 4 (Access 2000) format.
    void initTestCase() {
        QVERIFY(dir.isValid());
        const QList<int> searched{0, 1, 2, 5};
        QList<access_writer::Column> some;
        for (const int column : searched)
            some << accessContactColumns()[column];
        writeAccessBook(pathIn("jet4-contacts.mdb"), sampleContacts(5));
        writeAccessBook(pathIn("jet4-contacts-compressed.mdb"), sampleContacts(5),
                        {Version::Jet4, true});
        writeAccessBook(pathIn("jet4-2000-contacts.mdb"), sampleContacts(2000));
        writeAccessBook(pathIn("jet4-missing-columns.mdb"), columnsOf(sampleContacts(3), searched),
                        {}, some);
        access_writer::write(pathIn("jet4-other-table.mdb"),
                             {"people", accessContactColumns(), sampleContacts(3)});
    }

    void importsTheFiveContactsExactly() {
        const ToolRun run = runTool({"import", pathIn("jet4-contacts.mdb"), pathIn("five.mdb")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        QVERIFY2(run.out.contains("Imported 5 contacts"), qPrintable(run.out));
        QCOMPARE(rowsIn(pathIn("five.mdb")), sampleContacts(5));
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
        QCOMPARE(compressed, sampleContacts(5));
        QCOMPARE(compressed, imported("jet4-contacts.mdb", "plain.mdb"));
    }

    void importsTwoThousandContactsFromManyPages() {
        const ToolRun run =
            runTool({"import", pathIn("jet4-2000-contacts.mdb"), pathIn("big.mdb")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains("Imported 2000 contacts"), qPrintable(run.out));
        const QList<StoredRow> rows = rowsIn(pathIn("big.mdb"));
        QCOMPARE(rows.size(), 2000);
        QCOMPARE(rows, sampleContacts(2000));
    }

    void importsAnAccess97BookExactly() {
        const QList<StoredRow> rows = access97Contacts(300);
        const access_writer::Layout layout = writeAccessBook(
            pathIn("jet3.mdb"), rows, {Version::Jet3}, accessContactColumns({"address", "other"}));
        QVERIFY(layout.tableDataPages.size() > 10);
        QVERIFY(!layout.longValuePages.isEmpty());
        const ToolRun run = runTool({"import", pathIn("jet3.mdb"), pathIn("from-jet3.mdb")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        QVERIFY2(run.out.contains("Imported 300 contacts"), qPrintable(run.out));
        const QList<StoredRow> stored = rowsIn(pathIn("from-jet3.mdb"));
        QVERIFY(!stored[4][4].isNull() && !stored[4][3].isValid());
        QCOMPARE(stored, rows);
    }

    // The header's code page decides, not the environment's choice for libmdb.
    void readsJet3TextInTheCodePageTheFileNames() {
        StoredRow greek(contact_table::kColumnCount);
        greek[0] = QString::fromUtf8("Νίκος");
        greek[7] = QString::fromUtf8("Παπαδόπουλος, Αθήνα");
        const StoredRow western = access97Contacts(5)[2];
        writeAccessBook(pathIn("greek.mdb"), {greek}, {Version::Jet3, false, 1253});
        writeAccessBook(pathIn("western.mdb"), {western}, {Version::Jet3, false, 1252});
        qputenv("MDB_JET3_CHARSET", "CP1251");
        const QList<StoredRow> fromGreek = imported("greek.mdb", "from-greek.mdb");
        const QList<StoredRow> fromWestern = imported("western.mdb", "from-western.mdb");
        QCOMPARE(qgetenv("MDB_JET3_CHARSET"), QByteArray("CP1251"));
        qunsetenv("MDB_JET3_CHARSET");
        QCOMPARE(fromGreek, QList<StoredRow>{greek});
        QCOMPARE(fromWestern, QList<StoredRow>{western});
    }

    // Files made by another tool, when the team's shared folder lies beside the project.
    void readsTheFilesOfAnotherToolAlike() {
        if (!QFile::exists(fixturePath("jet4-contacts.mdb")))
            QSKIP("../shared/fixtures is absent: the cross-check with files made by another tool "
                  "was skipped");
        const QList<std::pair<QString, QList<StoredRow>>> files{
            {"jet4-contacts.mdb", sampleContacts(5)},
            {"jet4-contacts-compressed.mdb", sampleContacts(5)},
            {"jet4-2000-contacts.mdb", sampleContacts(2000)},
            {"jet4-missing-columns.mdb", withOnlySearchedColumns(sampleContacts(3))}};
        for (const auto& [file, rows] : files) {
            const QString target = pathIn("shared-" + file);
            QCOMPARE(runTool({"import", fixturePath(file), target}).exitCode, 0);
            QCOMPARE(rowsIn(target), rows);
        }
    }

    void leavesColumnsTheOldTableLacksNull() {
        const ToolRun run =
            runTool({"import", pathIn("jet4-missing-columns.mdb"), pathIn("some.mdb")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains("no column \"fax\""), qPrintable(run.out));
        QVERIFY2(run.out.contains("no column \"modified on\""), qPrintable(run.out));
        QVERIFY2(run.out.contains("Imported 3 contacts"), qPrintable(run.out));
        QCOMPARE(rowsIn(pathIn("some.mdb")), withOnlySearchedColumns(sampleContacts(3)));
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
        QCOMPARE(rows, sampleContacts(5));
    }

    void refusesToWriteOverAFile() {
        const QString existing = pathIn("existing.mdb");
        {
            QFile file(existing);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("keep me");
        }
        verifyFailureLeavesNothing({"import", pathIn("jet4-contacts.mdb"), existing},
                                   "already exists");
        QCOMPARE(contentOf(existing), QByteArray("keep me"));
    }

    void refusesAFileWithoutTheContactTable() {
        verifyFailureLeavesNothing({"import", pathIn("jet4-other-table.mdb"), pathIn("other.mdb")},
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
                                   "is neither a vCard file nor CSV");
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
            file.write(contentOf(pathIn("jet4-contacts.mdb")).left(4096));
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
            access_import::importAddressBook(pathIn("jet4-2000-contacts.mdb"),
                                             pathIn("halfway.mdb"),
                                             [](qint64 done, qint64, ProgressUnit) {
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
            {"import", "--progress", pathIn("jet4-2000-contacts.mdb"), pathIn("shown.mdb")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains("\rImporting ["), qPrintable(run.err));
        QVERIFY2(run.err.endsWith("100% (2000 of 2000 contacts)\n"), qPrintable(run.err));
        QVERIFY(!runTool({"import", pathIn("jet4-contacts.mdb"), pathIn("quiet.mdb")})
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
