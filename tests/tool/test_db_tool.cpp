#include "exchange/csv_export.h"
#include "store/contact_table.h"
#include "store/sqlite_db.h"
#include "store/store_error.h"
#include "support/address_book_files.h"
#include "support/process_faults.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using access_writer::Version;

const QVariant kNull;

const QString kHeader =
    QStringLiteral("Name,Surname,phone,fax,address,email,url,other,created on,modified on\r\n");

const QString kExecutable = QStringLiteral(TESSALINE_DB_EXECUTABLE);

// More contacts as CSV than the small disk holds, and more than SQLite keeps in memory before it
// writes a store's pages into the book: a full disk then breaks the store off half-way.
QByteArray largeCsv() {
    QByteArray csv = kHeader.toUtf8();
    for (int i = 0; i < 30000; ++i)
        csv += QStringLiteral("First%1,Last%1,555-%1,,%1 Some Street,p%1@example.net,,,,\r\n")
                   .arg(i)
                   .toUtf8();
    return csv;
}

} // namespace

class TestDbTool : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    int serial = 0;

    // A fresh empty address book of its own for each test.
    QString newBook() {
        const QString path = dir.filePath(QStringLiteral("book%1.mdb").arg(++serial));
        contact_table::createAddressBook(path);
        return path;
    }

    void verifyCheckFinds(const QString& path, const QString& finding) {
        const ToolRun run = runTool({"check", path});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.out.contains(finding), qPrintable(run.out));
        QVERIFY(!run.out.contains(QStringLiteral("ok\n")));
    }

  private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void exportsTrickyValuesAsRfc4180() {
        const QString book = newBook();
        insertRows(
            book, {
                      {QStringLiteral("He said \"hi\""), QStringLiteral("a,b"),
                       QStringLiteral("two\r\nlines"), QStringLiteral("lone\nfeed"), kNull,
                       QString(QLatin1String("")), QStringLiteral(" spaced "),
                       QString::fromUtf8("Zoë 日本"), QStringLiteral("it's"), QStringLiteral("\"")},
                      {QStringLiteral("Ann"), kNull, kNull, kNull, kNull, kNull, kNull, kNull,
                       kNull, QString(QLatin1String(""))},
                  });
        const ToolRun run = runTool({"export", "--csv", book});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.err.isEmpty());
        QCOMPARE(run.out,
                 kHeader + QString::fromUtf8("\"He said \"\"hi\"\"\",\"a,b\",\"two\r\nlines\","
                                             "\"lone\nfeed\",,\"\", spaced ,Zoë 日本,it's,"
                                             "\"\"\"\"\r\n"
                                             "Ann,,,,,,,,,\"\"\r\n"));
    }

    void exportsAnEmptyBookAsItsHeader() {
        const ToolRun run = runTool({"export", "--csv", newBook()});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, kHeader);
    }

    void quotesOnlyWhereNeeded() {
        QCOMPARE(csv_export::field(kNull), QString());
        QCOMPARE(csv_export::field(QString(QLatin1String(""))), QStringLiteral("\"\""));
        QCOMPARE(csv_export::field(QStringLiteral("plain text")), QStringLiteral("plain text"));
        QCOMPARE(csv_export::field(QStringLiteral("cr\ronly")), QStringLiteral("\"cr\ronly\""));
    }

    void refusesToExportWhatIsNoAddressBook() {
        const ToolRun run = runTool({"export", "--csv", dir.filePath("absent.mdb")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("does not exist"), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }

    void checkSaysOkForASoundBook() {
        const QString book = newBook();
        insertRows(book, {{QStringLiteral("Ann"), QStringLiteral("O'Brien")}});
        const ToolRun run = runTool({"check", book});
        QCOMPARE(run.out, QStringLiteral("ok\n"));
        QCOMPARE(run.exitCode, 0);
    }

    void checkFindsDamagedPages() {
        const QString book = newBook();
        QList<StoredRow> rows;
        for (int i = 0; i < 3000; ++i)
            rows << StoredRow{QStringLiteral("First%1").arg(i), QStringLiteral("Last%1").arg(i)};
        insertRows(book, rows);
        QCOMPARE(runTool({"check", book}).exitCode, 0);
        damagePage(book, 10);
        const ToolRun run = runTool({"check", book});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(!run.out.isEmpty() && run.out != QStringLiteral("ok\n"), qPrintable(run.out));
        QVERIFY2(run.out.contains("amaged") || run.out.contains("malformed"), qPrintable(run.out));
    }

    void checkFindsADroppedIndex() {
        const QString book = newBook();
        execOn(book, "DROP INDEX address_email");
        verifyCheckFinds(book, QStringLiteral("The index \"address_email\" on \"email\" is "
                                              "missing."));
    }

    void checkFindsAnIndexThatHeedsCase() {
        const QString book = newBook();
        execOn(book, "DROP INDEX address_phone; CREATE INDEX address_phone ON address (phone)");
        verifyCheckFinds(book, QStringLiteral("The index \"address_phone\" compares with BINARY "
                                              "instead of TESSALINE_NOCASE."));
    }

    void checkFindsAMissingColumn() {
        const QString book = newBook();
        execOn(book, "ALTER TABLE address DROP COLUMN fax");
        verifyCheckFinds(book, QStringLiteral("The table \"address\" lacks the column \"fax\"."));
    }

    void checkFindsAMissingTable() {
        const QString book = newBook();
        execOn(book, "DROP TABLE address");
        verifyCheckFinds(book, QStringLiteral("There is no table \"address\"."));
    }

    void checkFindsAForeignApplicationIdAndVersion() {
        const QString book = newBook();
        execOn(book, "PRAGMA application_id = 0; PRAGMA user_version = 7");
        verifyCheckFinds(book, QStringLiteral("The application id is 0x00000000 instead of "
                                              "0x54534c4e."));
        verifyCheckFinds(book, QStringLiteral("The schema version is 7 instead of 1."));
    }

    void checkRefusesAnOldAccessFile() {
        for (const Version version : {Version::Jet3, Version::Jet4}) {
            const QString old = dir.filePath(QStringLiteral("old%1.mdb").arg(int(version)));
            writeAccessBook(old, sampleContacts(2), {version});
            verifyCheckFinds(old, QStringLiteral("tessaline-db import"));
        }
    }

    void openingAnOldAccessFileNamesTheImport_data() {
        QTest::addColumn<int>("version");
        QTest::newRow("Access 97 (Jet 3)") << int(Version::Jet3);
        QTest::newRow("Access 2000 (Jet 4)") << int(Version::Jet4);
    }

    void openingAnOldAccessFileNamesTheImport() {
        QFETCH(int, version);
        const QString old = contact_table::databasePath(dir.path());
        writeAccessBook(old, sampleContacts(2), {Version(version)});
        QString message;
        try {
            contact_table::openAddressBook(old);
        } catch (const StoreError& error) {
            message = error.description();
        }
        QCOMPARE(message, QStringLiteral("The address book \"%1\" is an old Access-format file, "
                                         "which Tessaline does not open itself. Convert it with\n"
                                         "    tessaline-db import \"%1\" NEW.mdb\n"
                                         "and then put NEW.mdb in its place.")
                              .arg(old));
        QVERIFY(QFile::remove(old));
    }

    void createsOnceAndThenRefuses() {
        const QString file = dir.filePath(QStringLiteral("created.mdb"));
        QCOMPARE(runTool({"create", file}).exitCode, 0);
        QVERIFY(QFileInfo(file).size() > 0);
        const ToolRun again = runTool({"create", file});
        QCOMPARE(again.exitCode, 1);
        QVERIFY2(again.err.contains("already exists"), qPrintable(again.err));
        QCOMPARE(runTool({"create"}).exitCode, 2);
    }

    void explainsItsUsage() {
        const ToolRun help = runTool({"--help"});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains("import [--progress] [--salvage] OLD NEW"));
        QVERIFY(help.out.contains("export --csv PATH"));
        QVERIFY(help.out.contains("check PATH"));
        QVERIFY(help.out.contains("an empty field is a missing\n"));
        QVERIFY(help.err.isEmpty());

        const QList<QStringList> misuses = {{},
                                            {"frobnicate"},
                                            {"import", "only-one.mdb"},
                                            {"import", "--fast", "a.mdb", "b.mdb"},
                                            {"export", "book.mdb"},
                                            {"export", "--csv"},
                                            {"check"},
                                            {"check", "a.mdb", "b.mdb"},
                                            {"check", "-x", "a.mdb"}};
        for (const QStringList& arguments : misuses) {
            const ToolRun run = runTool(arguments);
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.err.startsWith("tessaline-db: "), qPrintable(run.err));
            QVERIFY(run.err.contains("Usage: tessaline-db"));
            QVERIFY(run.out.isEmpty());
        }
        QVERIFY(entriesOf(dir.path()).filter("a.mdb").isEmpty());

        // Each command explains itself alone, with the exit codes.
        for (const QStringList& asked :
             QList<QStringList>{{"import", "--help"}, {"import", "a.mdb", "-h", "b.mdb"}}) {
            const ToolRun importHelp = runTool(asked);
            QCOMPARE(importHelp.exitCode, 0);
            QVERIFY2(importHelp.out.startsWith("Usage: tessaline-db import [--progress]"),
                     qPrintable(importHelp.out));
            QVERIFY(importHelp.out.contains("import --add [--csv] [--salvage] [--progress]"));
            QVERIFY(importHelp.out.contains("Exit codes:"));
            QVERIFY(!importHelp.out.contains("backup BOOK COPY"));
            QVERIFY(entriesOf(dir.path()).filter("b.mdb").isEmpty());
        }
    }

    // Standard output on a full disk: what was not written is said, never taken for done. The
    // exports are longer than any buffer; the query's few lines fail only at the last flush.
    void failsWhenItsOutputCannotBeWritten_data() {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("export --csv") << QStringList{"export", "--csv", "BOOK"} << 1;
        QTest::newRow("export --vcard") << QStringList{"export", "--vcard", "BOOK"} << 1;
        QTest::newRow("query") << QStringList{"query", "BOOK", "--", "hans"} << 3;
    }

    void failsWhenItsOutputCannotBeWritten() {
        QFETCH(QStringList, command);
        QFETCH(int, exitCode);
        static const QString book = [this] {
            const QString path = newBook();
            insertRows(path, sampleContacts(3000));
            return path;
        }();
        command.replaceInStrings(QRegularExpression("^BOOK$"), book);
        const ToolRun run = runExecutable(kExecutable, command, {"/dev/full", {}});
        QCOMPARE(run.err, QStringLiteral("tessaline-db: Cannot write to standard output: No "
                                         "space left on device.\n"));
        QCOMPARE(run.exitCode, exitCode);
    }

    // A missing folder or one that cannot be written is named, with the path the user gave and
    // not the name the file is made under; nothing is left behind.
    void namesTheFolderThatCannotTakeTheFile_data() {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("fault");
        const QString missing = QStringLiteral("does not exist");
        const QString readOnly = QStringLiteral("cannot be written (Permission denied)");
        for (const QString& folder : {QStringLiteral("missing"), QStringLiteral("read-only")}) {
            const QString fault = folder == "missing" ? missing : readOnly;
            const QByteArray tag = folder.toUtf8();
            QTest::newRow("create, " + tag) << QStringList{"create", "NEW"} << folder << fault;
            QTest::newRow("import, " + tag)
                << QStringList{"import", "--csv", "CSV", "NEW"} << folder << fault;
            QTest::newRow("backup, " + tag)
                << QStringList{"backup", "BOOK", "NEW"} << folder << fault;
        }
    }

    void namesTheFolderThatCannotTakeTheFile() {
        QFETCH(QStringList, command);
        QFETCH(QString, folder);
        QFETCH(QString, fault);
        QTemporaryDir open;
        QVERIFY(QFile::setPermissions(open.path(), QFile::permissions(open.path()) |
                                                       QFile::ReadOther | QFile::ExeOther));
        const QString target = open.filePath(folder);
        if (folder == "read-only") {
            QVERIFY(QDir().mkdir(target));
            QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::ExeOwner |
                                                      QFile::ReadOther | QFile::ExeOther));
        }
        const QString csv = open.filePath("in.csv");
        writeFile(csv, kHeader.toUtf8() + "Ann,,,,,,,,,\r\n");
        const QString book = open.filePath("book.mdb");
        contact_table::createAddressBook(book);
        const QStringList before = entriesOf(open.path());
        const QString newPath = target + "/new.mdb";
        command.replaceInStrings(QRegularExpression("^NEW$"), newPath);
        command.replaceInStrings(QRegularExpression("^CSV$"), csv);
        command.replaceInStrings(QRegularExpression("^BOOK$"), book);
        const ToolRun run = runExecutable(kExecutable, command, {{}, asUnprivilegedUser});
        QCOMPARE(run.err, QStringLiteral("tessaline-db: Cannot create \"%1\": the folder \"%2\" "
                                         "%3.\n")
                              .arg(newPath, target, fault));
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(entriesOf(open.path()), before);
        if (folder == "read-only")
            QCOMPARE(entriesOf(target), QStringList());
    }

    // Writes that meet a full disk say so, name the path the user gave, and leave nothing behind:
    // no half-made file, and a book added to is as it was, without a journal beside it.
    void aFullDiskIsSaidAndLeavesNothingBehind_data() {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("remaining");
        const QString use = QStringLiteral("Cannot use the address book \"%1\": the disk is full.");
        QTest::newRow("import") << QStringList{"import", "--csv", "CSV", "FULL/new.mdb"} << use
                                << QStringList{};
        QTest::newRow("import --add")
            << QStringList{"import", "--add", "--csv", "CSV", "FULL/book.mdb"} << use
            << QStringList{"book.mdb"};
        QTest::newRow("backup") << QStringList{"backup", "BOOK", "FULL/copy.mdb"}
                                << QStringLiteral(
                                       "Cannot write the backup \"%1\": the disk is full.")
                                << QStringList{};
    }

    void aFullDiskIsSaidAndLeavesNothingBehind() {
        QFETCH(QStringList, command);
        QFETCH(QString, message);
        QFETCH(QStringList, remaining);
        const QString full = dir.filePath(QStringLiteral("small-disk%1").arg(++serial));
        const SmallDisk disk(full);
        if (!disk.mounted() && !qEnvironmentVariableIsSet(kInNamespace)) {
            rerunInOwnNamespace();
            return;
        }
        QVERIFY(disk.mounted());
        const QString csv = dir.filePath("large.csv");
        writeFile(csv, largeCsv());
        const QString kept = full + "/book.mdb";
        contact_table::createAddressBook(kept);
        insertRows(kept, sampleContacts(3));
        const QByteArray before = contentOf(kept);
        if (!remaining.contains("book.mdb"))
            QVERIFY(QFile::remove(kept));
        const QString book = newBook();
        insertRows(book, sampleContacts(6000));
        command.replaceInStrings(QRegularExpression("^FULL"), full);
        command.replaceInStrings(QRegularExpression("^CSV$"), csv);
        command.replaceInStrings(QRegularExpression("^BOOK$"), book);
        const ToolRun run = runTool(command);
        QCOMPARE(run.err, "tessaline-db: " + message.arg(command.last()) + "\n");
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(entriesOf(full), remaining);
        if (!remaining.isEmpty())
            QCOMPARE(contentOf(kept), before);
    }

    void theExecutableImportsExportsAndChecks() {
        const QString old = dir.filePath("old-for-the-executable.mdb");
        writeAccessBook(old, sampleContacts(5));
        const QString book = dir.filePath("from-the-executable.mdb");
        QProcess tool;
        tool.start(QStringLiteral(TESSALINE_DB_EXECUTABLE), {"import", old, book});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 0);
        QVERIFY(tool.readAllStandardOutput().contains("Imported 5 contacts"));
        QCOMPARE(rowsIn(book).size(), 5);

        tool.start(QStringLiteral(TESSALINE_DB_EXECUTABLE), {"export", "--csv", book});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        const QByteArray csv = tool.readAllStandardOutput();
        QVERIFY(csv.startsWith(kHeader.toUtf8() + "Hans,M\xc3\x9cLLER,+49 30 123,,"
                                                  "\"Hauptstra\xc3\x9f"
                                                  "e 1\r\n10115 Berlin\","));
        QVERIFY(csv.contains("\r\nAnn,O'Brien,555-0100,555-0101,1 Main St,ann@example.org,,\"\","
                             "01/02/2024,\r\n"));
        QCOMPARE(csv.count("\r\n"), 7); // header, five records, one line break inside a value

        tool.start(QStringLiteral(TESSALINE_DB_EXECUTABLE), {"check", book});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(tool.readAllStandardOutput(), QByteArray("ok\n"));

        tool.start(QStringLiteral(TESSALINE_DB_EXECUTABLE), {"import", "too-few.mdb"});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 2);
        QVERIFY(tool.readAllStandardError().contains("Usage: tessaline-db"));
    }
};

QTEST_GUILESS_MAIN(TestDbTool)
#include "test_db_tool.moc"
