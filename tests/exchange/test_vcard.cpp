#include "exchange/contact_inserter.h"
#include "store/contact_table.h"
#include "store/date_stamp.h"
#include "store/store_error.h"
#include "support/address_book_files.h"
#include "support/card_files.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QVariant kNull;
const QString kEmpty = QString(QLatin1String(""));

// The percentages a progress bar drew, in order.
QList<int> percentsDrawn(const QString& err) {
    static const QRegularExpression percent(QStringLiteral("\\] (\\d+)% \\("));
    QList<int> percents;
    for (auto match = percent.globalMatch(err); match.hasNext();)
        percents << match.next().captured(1).toInt();
    return percents;
}

QString longText() {
    QString text;
    for (int i = 0; i < 300; ++i)
        text += QString::fromUtf8("é😀a;\\:\"");
    return text;
}

// Every physical line of an export: CRLF-ended, at most 75 octets, whole UTF-8 characters.
void verifyFolded(const QString& exported) {
    QVERIFY(exported.endsWith(QLatin1String("\r\n")));
    const QList<QByteArray> lines = exported.toUtf8().chopped(1).split('\n');
    for (const QByteArray& line : lines) {
        QVERIFY2(line.endsWith('\r') && !line.chopped(1).contains('\r'), line.constData());
        QVERIFY2(line.size() - 1 <= 75, line.constData());
        QStringDecoder decoder(QStringDecoder::Utf8);
        decoder.decode(line);
        QVERIFY2(!decoder.hasError(), line.constData());
    }
}

} // namespace

class TestVCard : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir;
    int serial = 0;

    QString newPath(const char* suffix) {
        return dir.filePath(QStringLiteral("file%1.%2").arg(++serial).arg(suffix));
    }

    QString cardsFile(const QByteArray& content) {
        const QString path = newPath("vcf");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

  private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void roundTripGivesBackEveryColumn_data() {
        QTest::addColumn<StoredRow>("contact");
        QTest::newRow("all NULL") << row({});
        QTest::newRow("all empty") << StoredRow(10, kEmpty);
        QTest::newRow("vCard syntax") << StoredRow{"He said \"hi\"",
                                                   "a,b;c",
                                                   "tel:+1 555",
                                                   "TEL:9",
                                                   "x\\y:z ^n ^' ^^ \"q\"",
                                                   "C:\\dir\\new",
                                                   "http://x/?a=1;b=2",
                                                   "=\r\n=",
                                                   "2024-01-02",
                                                   "\\n"};
        QTest::newRow("line breaks")
            << StoredRow{"a\rb", "c\r\nd\ne", kEmpty,  "\n",   "one\r\ntwo\nthree\rfour\r\n\r\r\n",
                         "\r",   kEmpty,      "end\r", "\r\n", "x\ny"};
        QTest::newRow("blanks and scripts") << StoredRow{" Ann ",
                                                         "   ",
                                                         "\t555\t",
                                                         QString::fromUtf8("\u00a0nbsp\u00a0"),
                                                         QString::fromUtf8("line\u2028sep"),
                                                         QString::fromUtf8("😀👍🏽"),
                                                         QString::fromUtf8("שלום عربي"),
                                                         kNull,
                                                         kNull,
                                                         kEmpty};
        QTest::newRow("leading U+FEFF")
            << StoredRow{feff("Ann"), feff(""), feff("555"),      feff("\n"),   feff("a;b"),
                         feff("e@x"), feff(""), feff("\r\nnote"), feff("1.2."), feff("x")};
        QTest::newRow("long and card-like")
            << StoredRow{longText(),  kNull,        kNull, kNull,
                         longText(),  kNull,        kNull, "BEGIN:VCARD\r\nEND:VCARD\nEND:VCARD",
                         "END:VCARD", "BEGIN:VCARD"};
        QTest::newRow("longer than a kept buffer")
            << StoredRow{longText().repeated(40), "Ann", kNull, kNull, kNull, kNull, kNull,
                         longText().repeated(40), kNull, kNull};
    }

    // Exported, then imported twice: into a new book and added to the exported one.
    void roundTripGivesBackEveryColumn() {
        QFETCH(StoredRow, contact);
        const QString book = newPath("mdb");
        contact_table::createAddressBook(book);
        const QList<StoredRow> rows = {contact, row({"Ann"})};
        insertRows(book, rows);
        const ToolRun exported = runTool({"export", "--vcard", book});
        QCOMPARE(exported.exitCode, 0);
        verifyFolded(exported.out);
        const QString cards = cardsFile(exported.out.toUtf8());
        const QString copy = newPath("mdb");
        QCOMPARE(runTool({"import", cards, copy}).exitCode, 0);
        QCOMPARE(rowsIn(copy), rows);
        QCOMPARE(runTool({"import", "--add", cards, book}).exitCode, 0);
        QCOMPARE(rowsIn(book), rows + rows);
    }

    // A value that is no Unicode text (a lone surrogate half, which an old file may hold) is
    // refused, and no book is left, rather than stored with a stand-in character.
    void refusesAValueThatIsNoUnicodeText_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("a high half last") << QStringLiteral("M") + QChar(0xD800);
        QTest::newRow("a low half first") << QChar(0xDC00) + QStringLiteral("M");
        QTest::newRow("a high half before a letter") << QStringLiteral("M") + QChar(0xD800) + 'x';
    }

    void refusesAValueThatIsNoUnicodeText() {
        QFETCH(QString, value);
        const QString book = newPath("mdb");
        QString problem;
        try {
            contact_table::createAddressBook(book, [&value](Database& db) {
                RowValues values;
                values[contact_table::Column::Surname] = value;
                ContactInserter(db).insert(std::move(values));
            });
        } catch (const StoreError& error) {
            problem = error.description();
        }
        QVERIFY2(problem.contains(QLatin1String("is not valid Unicode text")), qPrintable(problem));
        QVERIFY(!QFile::exists(book));
    }

    void readsRealWorldCards_data() {
        QTest::addColumn<QByteArray>("cards");
        QTest::addColumn<QList<StoredRow>>("expected");
        QTest::addColumn<QStringList>("notes");
        const QString photo = QStringLiteral(
            "Note: skipped 1 photo, logo, sound or key (binary data tessaline-db does not keep)");
        QTest::newRow("2.1 from a phone")
            << cardFile("phone-2.1-quoted-printable.vcf")
            << QList<StoredRow>{row({QString::fromUtf8("Jürgen"), QString::fromUtf8("Müller"),
                                     "+49 30 123456", "+49 30 654321",
                                     QString::fromUtf8("Hauptstraße 5\nBerlin 10115\nDeutschland"),
                                     kNull, kNull,
                                     QString::fromUtf8("Erste\r\nZweite mit ä und mehr\n"
                                                       "Phone (cell): +49 170 1234567\n"
                                                       "Organization: Café\nTitle: € Chef"),
                                     today()})}
            << QStringList{photo};
        QTest::newRow("3.0 from a mail program")
            << cardFile("gnome-3.0-mail-program.vcf")
            << QList<StoredRow>{row({"Ann", "Lee", "555-0100", kNull,
                                     "PO Box 7\nSuite 3\n1 Main St, Unit 2\nSpringfield IL "
                                     "62701\nUSA",
                                     "ann@work.example", "https://ann.example",
                                     "Met at a fair\nlikes tea\nE-mail (home): ann@home.example\n"
                                     "Organization: Acme, Inc., Research\nBirthday: 1980-02-29",
                                     today()})}
            << QStringList();
        QTest::newRow("4.0 with tel URIs")
            << cardFile("4.0-tel-uris.vcf")
            << QList<StoredRow>{row({"Bo", "Chen", "+1-555-0102", "+1-555-0199", kNull,
                                     "bo@example.org", kNull,
                                     "Honorific prefixes: Dr.\nPhone (work): +1-555-0101\n"
                                     "Instant messaging: xmpp:bo@example.org\nNickname: Bobo",
                                     today()})}
            << QStringList();
        QTest::newRow("grouped, from Apple")
            << cardFile("apple-3.0-grouped.vcf")
            << QList<StoredRow>{row({"Jane", "Doe", "+33 1 23 45 67 89", kNull,
                                     "12 Rue X\nParis 75001\nFrance", kNull, "https://jane.example",
                                     "Work: 1 Loop, Cupertino CA 95014, USA\nX-ABUID: ABC:ABPerson",
                                     today()})}
            << QStringList{photo};
        QTest::newRow("no N") << cardFile("fn-only-3.0-and-4.0.vcf")
                              << QList<StoredRow>{row({"Mary Ann van", "Dyke", kNull, kNull, kNull,
                                                       "m@example.com", kNull, kNull, today()}),
                                                  row({"Cher", kNull, kNull, kNull, kNull, kNull,
                                                       kNull, kNull, today()})}
                              << QStringList();
        QTest::newRow("Google, several of each")
            << cardFile("google-3.0-bom-several-of-each.vcf")
            << QList<StoredRow>{row({"John", "Smith", "2", "4", kNull, "j@g.example", kNull,
                                     "One\nTwo, three\nAdditional names: Q.\nPhone (cell): 1\n"
                                     "Phone (home): 3\nE-mail (work): j@w.example",
                                     today()})}
            << QStringList();
        addCardFileRows();
    }

    void readsRealWorldCards() {
        QFETCH(QByteArray, cards);
        QFETCH(QList<StoredRow>, expected);
        QFETCH(QStringList, notes);
        const QString book = newPath("mdb");
        const ToolRun run = runTool({"import", cardsFile(cards), book});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(rowsIn(book), expected);
        QStringList report = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(report.takeLast().startsWith(
            QStringLiteral("Imported %1 contact").arg(expected.size())));
        QCOMPARE(report, notes);
    }

    void refusesBrokenFilesWritingNothing_data() {
        QTest::addColumn<QByteArray>("cards");
        QTest::addColumn<QString>("problem");
        const QByteArray good = "BEGIN:VCARD\r\nFN:A\r\nEND:VCARD\r\n";
        QTest::newRow("no END") << good + "BEGIN:VCARD\r\nFN:B\r\n"
                                << "line 4: the card";
        QTest::newRow("END alone") << good + "END:VCARD\r\n"
                                   << "line 4: END:VCARD without";
        QTest::newRow("no colon") << good + "BEGIN:VCARD\r\nFN B\r\nEND:VCARD\r\n"
                                  << "line 5: the line has no colon";
        QTest::newRow("nested") << QByteArray("BEGIN:VCARD\r\nBEGIN:VCARD\r\n")
                                << "line 2: a BEGIN inside";
        QTest::newRow("unknown charset")
            << cardFile("phone-2.1-unknown-charset.vcf")
            << "line 3: the character set \"X-KLINGON-PIQAD\" is not one tessaline-db knows";
    }

    void refusesBrokenFilesWritingNothing() {
        QFETCH(QByteArray, cards);
        QFETCH(QString, problem);
        const QString file = cardsFile(cards);
        const QString book = newPath("mdb");
        const ToolRun run = runTool({"import", file, book});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(file + QStringLiteral(", ") + problem), qPrintable(run.err));
        QVERIFY(!QFile::exists(book));
        contact_table::createAddressBook(book);
        insertRows(book, {row({"Kept"})});
        QCOMPARE(runTool({"import", "--add", file, book}).exitCode, 1);
        QCOMPARE(rowsIn(book), QList<StoredRow>{row({"Kept"})});
    }

    void refusesAFileOfNoFormatItReads_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("a letter") << QByteArray("Dear Ann,\r\nsee you on Monday.\r\n");
        QTest::newRow("semicolons") << QByteArray("Name;Surname\r\nAnn;Lee\r\n");
    }

    void refusesAFileOfNoFormatItReads() {
        QFETCH(QByteArray, content);
        const QString file = cardsFile(content);
        const QString book = newPath("mdb");
        const QString problem =
            QStringLiteral("\"%1\" is neither a vCard file nor CSV (import --csv)").arg(file);
        const ToolRun run = runTool({"import", file, book});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(problem), qPrintable(run.err));
        QVERIFY(!QFile::exists(book));
        contact_table::createAddressBook(book);
        const ToolRun add = runTool({"import", "--add", file, book});
        QCOMPARE(add.exitCode, 1);
        QVERIFY2(add.err.contains(problem), qPrintable(add.err));
    }

    void importShowsProgressByBytes_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("vCard") << "--vcard" << QStringList();
        QTest::newRow("CSV") << "--csv" << QStringList{"--csv"};
    }

    // A redraw for every percent, from the start to the end.
    void importShowsProgressByBytes() {
        QFETCH(QString, format);
        QFETCH(QStringList, options);
        const QString book = newPath("mdb");
        contact_table::createAddressBook(book);
        insertRows(book, sampleContacts(500));
        const QString file = cardsFile(runTool({"export", format, book}).out.toUtf8());
        const ToolRun run = runTool(QStringList{"import", "--progress"} + options +
                                    QStringList{file, newPath("mdb")});
        QCOMPARE(run.exitCode, 0);
        const QList<int> percents = percentsDrawn(run.err);
        QVERIFY2(percents.size() >= 50, qPrintable(run.err));
        QVERIFY2(percents.first() < 5 && percents.last() == 100, qPrintable(run.err));
        QVERIFY(std::is_sorted(percents.begin(), percents.end()));
        QVERIFY2(run.err.contains(QStringLiteral("kB of ")), qPrintable(run.err));
    }

    void exportNeedsExactlyOneFormat() {
        const QString book = newPath("mdb");
        contact_table::createAddressBook(book);
        QCOMPARE(runTool({"export", book}).exitCode, 2);
        QCOMPARE(runTool({"export", "--csv", "--vcard", book}).exitCode, 2);
    }
};

QTEST_GUILESS_MAIN(TestVCard)
#include "test_vcard.moc"
