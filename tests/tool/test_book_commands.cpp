#include "exchange/contact_inserter.h"
#include "store/contact_table.h"
#include "store/lookup_statement.h"
#include "store/recordset.h"
#include "store/sqlite_db.h"
#include "support/address_book_files.h"
#include "support/process_faults.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <optional>
#include <thread>

namespace {

const QVariant kNull;
const QString kEmpty = QLatin1String("");
const QByteArray kHeader = "Name,Surname,phone,fax,address,email,url,other,created on,modified on";

// Every text the CSV form must carry unchanged, and NULL beside the empty text.
const QList<StoredRow> kHostileRows = {
    {QStringLiteral("He said \"hi\""), QStringLiteral("a,b"), QStringLiteral("two\r\nlines"),
     QStringLiteral("lone\nfeed"), QStringLiteral("lone\rreturn"), kEmpty, kNull,
     QStringLiteral(" spaced "), QString::fromUtf8("Zoë 日本 😀"), QStringLiteral("\"")},
    {QChar(0xFEFF) + QStringLiteral("bom first"), QStringLiteral("tab\there"),
     QStringLiteral("\r\n"), QStringLiteral("\"\","), QStringLiteral("end\n"), kNull, kEmpty,
     QStringLiteral("it's"), QStringLiteral("\n\r"), kNull},
    row({QStringLiteral("Ann")}),
};

// A store into the book by another program, left open until it is destroyed.
struct OpenStore {
    Database db;
    explicit OpenStore(const QString& book) : db(contact_table::openAddressBook(book)) {
        db.exec("BEGIN IMMEDIATE; INSERT INTO address (Name) VALUES ('uncommitted')");
    }
};

} // namespace

class TestBookCommands : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    int serial = 0;

    QString newPath(const char* suffix) {
        return dir.filePath(QStringLiteral("file%1%2").arg(++serial).arg(QLatin1String(suffix)));
    }

    QString bookWith(const QList<StoredRow>& rows) {
        const QString path = newPath(".mdb");
        contact_table::createAddressBook(path);
        insertRows(path, rows);
        return path;
    }

  private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void csvExportThenImportGivesBackEveryValue() {
        const QString book = bookWith(kHostileRows);
        const QString csv = newPath(".csv");
        writeFile(csv, runTool({"export", "--csv", book}).out.toUtf8());
        const QString imported = newPath(".mdb");
        const ToolRun run = runTool({"import", "--csv", csv, imported});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.endsWith(
                     QStringLiteral("Imported 3 contacts from %1 into %2\n").arg(csv, imported)),
                 qPrintable(run.out));
        QCOMPARE(rowsIn(imported), kHostileRows);

        const QString existing = bookWith({row({QStringLiteral("First")})});
        const ToolRun add = runTool({"import", "--add", "--csv", csv, existing});
        QCOMPARE(add.out, QStringLiteral("Added 3 contacts from %1 to %2\n").arg(csv, existing));
        QCOMPARE(rowsIn(existing), QList<StoredRow>{row({QStringLiteral("First")})} + kHostileRows);
    }

    void readsCsvByItsHeader_data() {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QList<StoredRow>>("rows");
        QTest::addColumn<QString>("note");
        QTest::newRow("other order, other case, a column we lack")
            << QByteArray("EMAIL,Nickname,name\r\nann@x.org,Annie,Ann\r\n\"\",,\r\n")
            << QList<StoredRow>{row({"Ann", kNull, kNull, kNull, kNull, "ann@x.org"}),
                                row({kNull, kNull, kNull, kNull, kNull, kEmpty})}
            << "The column \"Nickname\" has no place";
        QTest::newRow("LF line ends, a byte order mark, no last line end")
            << QByteArray("\xEF\xBB\xBFname,surname\n\"a\nb\",B")
            << QList<StoredRow>{row({"a\nb", "B"})} << "The file has no column \"fax\"";
    }

    void readsCsvByItsHeader() {
        QFETCH(QByteArray, csv);
        QFETCH(QList<StoredRow>, rows);
        QFETCH(QString, note);
        const QString source = newPath(".csv");
        writeFile(source, csv);
        const QString book = newPath(".mdb");
        const ToolRun run = runTool({"import", "--csv", source, book});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains("Note: " + note), qPrintable(run.out));
        QCOMPARE(rowsIn(book), rows);
    }

    void refusesMalformedCsvWhole_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("problem");
        const QByteArray good = kHeader + "\r\na,,,,,,,,,\r\n\"b\r\nc\",,,,,,,,,\r\n";
        QTest::newRow("quote never closed") << good + "x,\"open,,,,,,,,\r\n"
                                            << "line 5: a quoted field is never closed";
        QTest::newRow("too few fields") << good + "x,y\r\n"
                                        << "line 5: 2 fields where the header has 10";
        QTest::newRow("too many fields") << good + "x,,,,,,,,,,\r\n"
                                         << "line 5: 11 fields";
        QTest::newRow("not UTF-8") << good + "M\xFCller,,,,,,,,,\r\n"
                                   << "line 5: the text is not valid UTF-8";
        QTest::newRow("a surrogate in UTF-8") << good + "\xED\xA0\x80,,,,,,,,,\r\n"
                                              << "line 5: the text";
        QTest::newRow("text after a closing quote") << good + "\"a\"b,,,,,,,,,\r\n"
                                                    << "line 5: text follows";
        QTest::newRow("a stray quote") << good + "a\"b,,,,,,,,,\r\n"
                                       << "line 5: a quote inside";
        const QString noneOfOurs = "line 1: the header line names none of the columns Name, "
                                   "Surname, phone";
        QTest::newRow("a vCard") << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\n"
                                               "EMAIL:ann@example.org\r\nEND:VCARD\r\n")
                                 << noneOfOurs;
        QTest::newRow("split by semicolons")
            << QByteArray("Name;Surname;email\r\nAnn;Lee;ann@example.org\r\n") << noneOfOurs;
        QTest::newRow("a column named twice")
            << QByteArray("Name,email,Surname,EMAIL\r\nAnn,a@x.org,Lee,b@x.org\r\n")
            << "line 1: the header names the column \"EMAIL\" twice";
    }

    void refusesMalformedCsvWhole() {
        QFETCH(QByteArray, body);
        QFETCH(QString, problem);
        const QString source = newPath(".csv");
        writeFile(source, body);
        const QString book = newPath(".mdb");
        const ToolRun run = runTool({"import", "--csv", source, book});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(problem) && run.err.contains("nothing was imported"),
                 qPrintable(run.err));
        QVERIFY(!QFile::exists(book));

        const QList<StoredRow> before = {row({QStringLiteral("Kept")})};
        const QString existing = bookWith(before);
        QCOMPARE(runTool({"import", "--add", "--csv", source, existing}).exitCode, 1);
        QCOMPARE(rowsIn(existing), before);
    }

    void addsAnAccessFileAndRefusesAMissingBook() {
        const QString old = newPath(".mdb");
        writeAccessBook(old, sampleContacts(3));
        const QString book = bookWith({row({QStringLiteral("First")})});
        const ToolRun run = runTool({"import", "--add", old, book});
        QVERIFY2(
            run.out.endsWith(QStringLiteral("Added 3 contacts from %1 to %2\n").arg(old, book)),
            qPrintable(run.out + run.err));
        QCOMPARE(rowsIn(book),
                 QList<StoredRow>{row({QStringLiteral("First")})} + sampleContacts(3));

        const QString absent = dir.filePath("absent.mdb");
        const ToolRun missing = runTool({"import", "--add", old, absent});
        QCOMPARE(missing.exitCode, 1);
        QCOMPARE(
            missing.err,
            QStringLiteral("tessaline-db: The address book \"%1\" does not exist.\n").arg(absent));
        QVERIFY(!QFile::exists(absent));
    }

    // Waits the five seconds the program waits for a busy book, then gives up.
    void addLeavesABusyBookAsItIs() {
        const QList<StoredRow> before = {row({QStringLiteral("Kept")})};
        const QString book = bookWith(before);
        const QString source = newPath(".csv");
        writeFile(source, kHeader + "\r\nNew,,,,,,,,,\r\n");
        {
            const OpenStore store(book);
            const ToolRun run = runTool({"import", "--add", "--csv", source, book});
            QCOMPARE(run.exitCode, 1);
            QCOMPARE(run.err,
                     QStringLiteral("tessaline-db: Cannot use the address book \"%1\": the "
                                    "file is in use by another program; try again when "
                                    "it is released.\n")
                         .arg(book));
        }
        QCOMPARE(rowsIn(book), before);
    }

    void queryFindsWithoutRegardToCaseOrAccents_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        const QString hans = QString::fromUtf8("hans@example.de\tHans MÜLLER\t+49 30");
        const QString jorg = QString::fromUtf8("jm@example.de\tJörg K Müller\t");
        const QString eclair = QString::fromUtf8("e@example.fr\tÉclair Straße\t1");
        QTest::newRow("plain") << "muller" << QStringList{hans, jorg};
        QTest::newRow("capitals") << "MULLER" << QStringList{hans, jorg};
        QTest::newRow("accented") << QString::fromUtf8("MÜL") << QStringList{hans, jorg};
        QTest::newRow("initial accent") << "eclair" << QStringList{eclair};
        QTest::newRow("sharp s") << "STRASSE" << QStringList{eclair};
        QTest::newRow("in the address") << "EXAMPLE.FR" << QStringList{eclair};
        QTest::newRow("name and surname are apart") << "hans m" << QStringList{};
        QTest::newRow("no e-mail, not listed") << "nomail" << QStringList{};
        QTest::newRow("a blank e-mail, not listed") << "blank" << QStringList{};
        QTest::newRow("a leading U+FEFF kept")
            << "zoe@" << QStringList{QChar(0xFEFF) + QStringLiteral("zoe@example.org\tZoe Bom\t")};
        QTest::newRow("an e-mail of other blanks, not listed") << "blanks" << QStringList{};
        QTest::newRow("blanks of other scripts trimmed")
            << "nb@" << QStringList{QStringLiteral("nb@example.org\tNb Sp\t")};
    }

    void queryFindsWithoutRegardToCaseOrAccents() {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        static const QString book = bookWith({
            row({"Hans", QString::fromUtf8("MÜLLER"), "+49 30", kNull, kNull, " hans@example.de "}),
            row({"Nomail", QString::fromUtf8("Müller"), "1", kNull, kNull, kNull}),
            row({QString::fromUtf8("Jörg\tK"), QString::fromUtf8("Müller"), kNull, kNull, kNull,
                 "jm@example.de"}),
            row({QString::fromUtf8("Éclair"), QString::fromUtf8("Straße"), "1", kNull, kNull,
                 "e@example.fr"}),
            row({"Blank", "Mail", kNull, kNull, kNull, "  "}),
            row({"Zoe", "Bom", kNull, kNull, kNull,
                 QChar(0xFEFF) + QStringLiteral("zoe@example.org")}),
            row({"Tab", "Blanks", kNull, kNull, kNull, "\t\r\n "}),
            row({"Wide", "Blanks", kNull, kNull, kNull, QString::fromUtf8("\u00a0\u2003\u3000")}),
            row({QString::fromUtf8("\u00a0Nb"), QString::fromUtf8("Sp\u2003"), kNull, kNull, kNull,
                 QString::fromUtf8("\u00a0nb@example.org\u3000")}),
        });
        const ToolRun run = runTool({"query", book, text});
        const QString status = lines.isEmpty()     ? QStringLiteral("no matches")
                               : lines.size() == 1 ? QStringLiteral("1 match")
                                                   : QStringLiteral("%1 matches").arg(lines.size());
        QStringList expected = {QStringLiteral("Searching %1... %2").arg(book, status)};
        QCOMPARE(run.out, (expected + lines).join(u'\n') + u'\n');
        QCOMPARE(run.exitCode, lines.isEmpty() ? 1 : 0);
    }

    // The find window looks up whole values in the book's order; query looks for a part, accents
    // set aside. Where both apply, a whole value typed in another letter case, they agree.
    void findAndQueryAgreeOnLetterCase_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("found");
        QTest::newRow("umlaut") << QString::fromUtf8("MÜLLER") << QString::fromUtf8("müller")
                                << true;
        QTest::newRow("final sigma")
            << QString::fromUtf8("ΟΔΟΣ") << QString::fromUtf8("οδος") << true;
        QTest::newRow("titlecase pair")
            << QString::fromUtf8("ǅemal") << QString::fromUtf8("ǄEMAL") << true;
        QTest::newRow("kelvin sign") << QString::fromUtf8("\u212Aim") << "kim" << true;
        QTest::newRow("cherokee") << QString::fromUtf8("\u13A0x") << QString::fromUtf8("\uAB70X")
                                  << true;
        QTest::newRow("beyond 16 bits")
            << QString::fromUtf8("\U00010400") << QString::fromUtf8("\U00010428") << true;
        QTest::newRow("dotless i is another letter")
            << QString::fromUtf8("ışık") << QString::fromUtf8("ISIK") << false;
        QTest::newRow("another name") << "Ann"
                                      << "Anna" << false;
    }

    void findAndQueryAgreeOnLetterCase() {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, found);
        const QString book =
            bookWith({row({"Given", stored, kNull, kNull, kNull, "g@example.org"})});
        Recordset findWindow;
        findWindow.fetch(book, lookupStatement(LookupColumn::Surname, typed));
        QCOMPARE(findWindow.recordCount() == 1, found);
        QCOMPARE(runTool({"query", book, "--", typed}).exitCode == 0, found);
    }

    void everyWordAfterTwoDashesIsText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("-h") << "-h" << QStringList{"x-h@example.org\tDash Case\t"};
        QTest::newRow("--help") << "--help" << QStringList{};
    }

    void everyWordAfterTwoDashesIsText() {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        static const QString book =
            bookWith({row({"Dash", "Case", kNull, kNull, kNull, "x-h@example.org"})});
        const ToolRun run = runTool({"query", book, "--", text});
        const QString status = lines.isEmpty() ? QStringLiteral("no matches") : "1 match";
        QCOMPARE(run.out,
                 (QStringList{QStringLiteral("Searching %1... %2").arg(book, status)} + lines)
                         .join(u'\n') +
                     u'\n');
        QCOMPARE(run.exitCode, lines.isEmpty() ? 1 : 0);
    }

    // Exit code 1 says "no match" to a mail program, so a book that cannot be searched says 3.
    void queryTellsAFailureFromNoMatch_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("cause");
        QTest::newRow("missing") << "missing"
                                 << "does not exist";
        QTest::newRow("damaged") << "damaged"
                                 << "malformed";
        QTest::newRow("locked") << "locked"
                                << "in use by another program";
        QTest::newRow("not a book") << "not a book"
                                    << "not a Tessaline address book";
    }

    void queryTellsAFailureFromNoMatch() {
        QFETCH(QString, fault);
        QFETCH(QString, cause);
        QString book = newPath(".mdb");
        std::optional<Database> lock;
        if (fault == "damaged") {
            book = bookWith(sampleContacts(3000));
            damagePage(book, 1); // the table's first page, which every search reads
        } else if (fault == "locked") {
            book = bookWith(sampleContacts(3));
            lock.emplace(contact_table::openAddressBook(book));
            lock->exec("BEGIN EXCLUSIVE");
        } else if (fault == "not a book") {
            writeFile(book, QByteArray(4096, 'x'));
        }
        const ToolRun run = runTool({"query", book, "--", "First"});
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.startsWith("tessaline-db: ") && run.err.contains(book) &&
                     run.err.contains(cause),
                 qPrintable(run.err));
    }

    void backupTakesWhatIsCommittedWhileAStoreIsOpen() {
        const QList<StoredRow> committed = sampleContacts(4);
        const QString book = bookWith(committed);
        const QString copy = newPath(".mdb");
        {
            const OpenStore store(book);
            const ToolRun run = runTool({"backup", book, copy});
            QCOMPARE(run.out,
                     QStringLiteral("Backed up 4 contacts from %1 to %2\n").arg(book, copy));
        }
        QCOMPARE(rowsIn(copy), committed);
        QCOMPARE(runTool({"check", copy}).out, QStringLiteral("ok\n"));
        QCOMPARE(contentOf(copy).mid(18, 2), QByteArray("\x01\x01")); // rollback journal
        QCOMPARE(entriesOf(dir.path()).filter("backing-up"), QStringList());
    }

    // Another connection stores five contacts per transaction while the book is copied in
    // chunks: the copy holds whole transactions only.
    void backupIsConsistentWhileContactsAreStored() {
        const QString book = bookWith(sampleContacts(20000));
        std::atomic<bool> stop = false;
        std::atomic<int> batches = 0;
        std::thread writer([&] {
            Database db = contact_table::openAddressBook(book);
            ContactInserter inserter(db);
            while (!stop) {
                WriteTransaction transaction(db);
                for (int i = 0; i < 5; ++i)
                    inserter.insert({QStringLiteral("Stored%1").arg(i)});
                transaction.commit();
                ++batches;
                // A store now and then, as a program makes them, not a lock held without pause.
                QThread::msleep(1);
            }
        });
        while (batches < 3)
            QThread::msleep(1);
        const QString copy = newPath(".mdb");
        const ToolRun run = runTool({"backup", book, copy});
        stop = true;
        writer.join();
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const qsizetype copied = rowsIn(copy).size();
        QVERIFY2(copied >= 20015 && copied % 5 == 0, qPrintable(QString::number(copied)));
        QVERIFY2(run.out.contains(QStringLiteral("Backed up %1 contacts").arg(copied)),
                 qPrintable(run.out));
        QCOMPARE(runTool({"check", copy}).out, QStringLiteral("ok\n"));
    }

    void backupRefusesADamagedBook() {
        const QString book = bookWith(sampleContacts(3000));
        damagePage(book, 10);
        const QString copy = newPath(".mdb");
        const ToolRun run = runTool({"backup", book, copy});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith(
                     QStringLiteral("tessaline-db: The address book \"%1\" is damaged, so no "
                                    "backup was made")
                         .arg(book)) &&
                     run.err.contains("\nDamaged: "),
                 qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QVERIFY(!QFile::exists(copy));
        QCOMPARE(entriesOf(dir.path()).filter("backing-up"), QStringList());
    }

    // What killed runs left in the folder goes with the next run there; what belongs to a
    // running process, or only looks like it, stays.
    void aLaterRunRemovesWhatKilledRunsLeft_data() {
        QTest::addColumn<QStringList>("command");
        QTest::newRow("create") << QStringList{"create", "NEW"};
        QTest::newRow("import") << QStringList{"import", "--csv", "CSV", "NEW"};
        QTest::newRow("backup") << QStringList{"backup", "BOOK", "NEW"};
    }

    void aLaterRunRemovesWhatKilledRunsLeft() {
        QFETCH(QStringList, command);
        const QString folder = newPath("");
        QVERIFY(QDir().mkdir(folder));
        const QString ended = QString::number(endedProcess());
        const QString running = QString::number(QCoreApplication::applicationPid());
        const QStringList left = {
            "old.mdb.creating-" + ended, "old.mdb.creating-" + ended + "-journal",
            "copy.mdb.backing-up-" + ended, "copy.mdb.backing-up-" + ended + "-journal"};
        const QString locked = "locked.mdb.creating-" + ended;
        const QStringList kept = {"busy.mdb.backing-up-1-journal",
                                  "busy.mdb.creating-" + running,
                                  locked,
                                  locked + "-journal",
                                  "mine.mdb",
                                  "notes.creating-" + ended + ".txt"};
        for (const QString& name : left + kept)
            writeFile(folder + '/' + name, "x");
        const LockHolder lock(folder + '/' + locked);
        const QString csv = newPath(".csv");
        writeFile(csv, kHeader + "\r\nAnn,,,,,,,,,\r\n");
        command.replaceInStrings(QRegularExpression("^NEW$"), folder + "/new.mdb");
        command.replaceInStrings(QRegularExpression("^CSV$"), csv);
        command.replaceInStrings(QRegularExpression("^BOOK$"), bookWith(sampleContacts(2)));
        const ToolRun run = runTool(command);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QStringList expected = kept + QStringList{"new.mdb"};
        expected.sort();
        QCOMPARE(entriesOf(folder), expected);
    }

    void backupNeverWritesOverACopy() {
        const QString book = bookWith(sampleContacts(2));
        const QString copy = newPath(".mdb");
        writeFile(copy, "mine");
        const ToolRun run = runTool({"backup", book, copy});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err,
                 QStringLiteral("tessaline-db: \"%1\" already exists; it was left as it is.\n")
                     .arg(copy));
        QCOMPARE(contentOf(copy), QByteArray("mine"));
    }

    void explainsTheNewCommands() {
        const QString help = runTool({"--help"}).out;
        for (const char* usage :
             {"import --add [--csv]", "query BOOK TEXT", "backup BOOK COPY", "3 query failed"})
            QVERIFY2(help.contains(QLatin1String(usage)), usage);
        for (const QStringList& misuse : QList<QStringList>{
                 {"query", "book.mdb"}, {"backup", "book.mdb"}, {"import", "--vcf", "a", "b"}})
            QCOMPARE(runTool(misuse).exitCode, 2);
    }
};

QTEST_GUILESS_MAIN(TestBookCommands)
#include "test_book_commands.moc"
