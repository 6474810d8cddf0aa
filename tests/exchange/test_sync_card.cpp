#include "exchange/sync_card.h"
#include "store/store_error.h"

#include <QFile>
#include <QtTest>
#include <functional>

Q_DECLARE_METATYPE(RowValues)

namespace {

using contact_table::Column;

const QString kStamp = QStringLiteral("2026-01-01");
const QVariant kNull;
const QString kEmpty = QString(QLatin1String(""));

QByteArray syncCard(const char* name) {
    QFile file(QStringLiteral(TESSALINE_SYNC_CARDS "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
}

RowValues values(std::initializer_list<QVariant> leading) {
    RowValues row;
    std::copy(leading.begin(), leading.end(), row.begin());
    return row;
}

QString shown(const QVariant& value) {
    return value.isNull() ? QStringLiteral("NULL") : QLatin1Char('"') + value.toString() + u'"';
}

// The columns that differ, each as "column: got, wanted"; empty when none does.
QString differences(const RowValues& got, const RowValues& wanted) {
    QStringList lines;
    for (std::size_t i = 0; i < got.size(); ++i)
        if (got[i].isNull() != wanted[i].isNull() || got[i].toString() != wanted[i].toString())
            lines << QStringLiteral("%1: %2, wanted %3")
                         .arg(contact_table::kSchema[i].storedName, shown(got[i]),
                              shown(wanted[i]));
    return lines.join(u"; ");
}

// The physical lines, their ends kept.
QByteArrayList physicalLines(const QByteArray& card) {
    QByteArrayList lines = card.split('\n');
    lines.removeLast(); // after the last line end
    return lines;
}

// Those of lines that `other` does not have.
QByteArrayList missingFrom(const QByteArrayList& lines, const QByteArrayList& other) {
    QByteArrayList missing;
    for (const QByteArray& line : lines)
        if (!other.contains(line))
            missing << line;
    return missing;
}

QByteArrayList without(QByteArrayList lines, const QByteArrayList& gone) {
    for (const QByteArray& line : gone)
        lines.removeAll(line);
    return lines;
}

QString longText(const char* piece) {
    QString text;
    for (int i = 0; i < 60; ++i)
        text += QString::fromUtf8(piece);
    return text;
}

const char* const kCardFiles[] = {"apple-3.0-crlf.vcf", "phone-2.1-lf.vcf",
                                  "nextcloud-4.0-crlf.vcf", "fn-only-4.0-lf.vcf"};

// Contacts that are hard to write: vCard syntax, every kind of break, NULL against empty text,
// other scripts, values longer than a line.
void addHardContacts(const std::function<QTestData&(const char*)>& newRow) {
    newRow("all NULL") << values({});
    newRow("all empty") << values(
        {kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty});
    newRow("vCard syntax") << values({"a,b;c", "d\\;e", "tel:+1 555", "\\n", "x;y\\z,",
                                      "C:\\dir\\new", "http://x/?a=1;b=2", "=\r\n=", "2024-01-02",
                                      "\\"});
    newRow("line breaks") << values({"a\rb", "c\r\nd\ne", kEmpty, "\n", "one\r\ntwo\nthree\rfour",
                                     "\r", kEmpty, "end\r", "\r\n", "x\ny"});
    newRow("scripts, long") << values({QString::fromUtf8("Zoë"), QString::fromUtf8("Ñúñez 😀"),
                                       kNull, kNull, longText("Straße 😀 ;,\\ "),
                                       QString::fromUtf8("ü@example.org"), kNull, longText("é\r\n"),
                                       kNull, kEmpty});
}

// A row of patchRewritesOnlyTheColumnsLines: the card, the column set to value, and the physical
// lines that must go (rewritten or dropped), without their ends.
void addEdit(const char* name, const char* file, Column column, const QVariant& value,
             const QByteArrayList& gone) {
    QTest::newRow(name) << QByteArray(file) << int(column) << value << gone;
}

void addEditsOf30And21Cards() {
    const char* apple = kCardFiles[0];
    addEdit("3.0 phone", apple, Column::Phone, "+1 555 0111",
            {"TEL;type=WORK;type=VOICE;type=pref:+1 555 0100"});
    addEdit("3.0 grouped e-mail", apple, Column::Email, "jane@new.example",
            {"item1.EMAIL;type=INTERNET;type=pref:jane@acme.example"});
    addEdit("3.0 address", apple, Column::Address, "2 Elm St\nShelbyville",
            {"item2.ADR;type=HOME:;;1 Main St;Springfield;IL;62701;USA"});
    addEdit("3.0 notes", apple, Column::Other, "Prefers e-mail; never calls",
            {"NOTE:Met at the fair\\, 2019.\\nLikes tea."});
    addEdit("3.0 name", apple, Column::Name, "Janet", {"N:Doe;Jane;Q.;Dr.;", "FN:Jane Doe"});
    addEdit("3.0 fax newly filled", apple, Column::Fax, "+1 555 0102", {});
    addEdit("3.0 e-mail emptied, another kept", apple, Column::Email, kEmpty,
            {"item1.EMAIL;type=INTERNET;type=pref:jane@acme.example"});
    addEdit("3.0 phone NULL, the cell kept", apple, Column::Phone, kNull,
            {"TEL;type=WORK;type=VOICE;type=pref:+1 555 0100"});
    addEdit("3.0 notes NULL", apple, Column::Other, kNull,
            {"NOTE:Met at the fair\\, 2019.\\nLikes tea."});
    const char* phone = kCardFiles[1];
    addEdit("2.1 phone", phone, Column::Phone, "+49 89 7654321", {"TEL;HOME;VOICE:+49 89 1234567"});
    addEdit("2.1 address", phone, Column::Address, QString::fromUtf8("Hauptstraße 1\r\nMünchen"),
            {"ADR;HOME;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:"
             ";;K=C3=B6nigstra=C3=9Fe 5;M=C3=BCnchen;;80331;Deutschland"});
    addEdit("2.1 notes", phone, Column::Other, "a;b\\c\\;d",
            {"NOTE;ENCODING=QUOTED-PRINTABLE:First line=0D=0Asecond line, quite a long one that "
             "goes on=",
             "and on"});
    addEdit("2.1 name", phone, Column::Name, QString::fromUtf8("Jürgen Karl"),
            {"N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=BCrgen;;;",
             "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=BCrgen M=C3=BCller"});
    addEdit("2.1 url newly filled", phone, Column::Url, "http://x.example/?a=1;b=2", {});
}

void addEditsOf40Cards() {
    const char* nextcloud = kCardFiles[2];
    addEdit("4.0 tel: URI", nextcloud, Column::Phone, "+1 555 0000",
            {"TEL;VALUE=uri;TYPE=\"voice,work\";PREF=1:tel:+1-555-555-5555"});
    addEdit("4.0 fax NULL", nextcloud, Column::Fax, kNull, {"TEL;TYPE=fax:+1 555 555 5556"});
    addEdit("4.0 folded address", nextcloud, Column::Address, "1 New Rd",
            {"ADR;TYPE=work;LABEL=\"100 Waters Edge^nBaytown, LA 30314\":;;100 Waters Edge;B",
             " aytown;LA;30314;United States of America"});
    addEdit("4.0 folded notes", nextcloud, Column::Other, longText("note, "),
            {"NOTE:A long note that the server folded at seventy-five octets\\, as it sho",
             " uld\\; it goes on."});
    addEdit("4.0 surname, FN its own", nextcloud, Column::Surname, "Sample",
            {"N:Example;Ann;;Dr.;"});
    addEdit("4.0 created on", nextcloud, Column::CreatedOn, "2025-01-01",
            {"X-TESSALINE-CREATED-ON:2024-05-06"});
    addEdit("4.0 modified on newly filled", nextcloud, Column::ModifiedOn, "2026-02-03", {});
    const char* fnOnly = kCardFiles[3];
    addEdit("FN only: surname, N added", fnOnly, Column::Surname, "de Vries", {"FN:Ann van Dijk"});
    addEdit("FN only: e-mail NULL, the other kept", fnOnly, Column::Email, kNull,
            {"EMAIL;PREF=1:ann@two.example"});
}

} // namespace

class TestSyncCard : public QObject {
    Q_OBJECT

  private slots:
    void patchRewritesOnlyTheColumnsLines_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("column");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QByteArrayList>("gone");
        addEditsOf30And21Cards();
        addEditsOf40Cards();
    }

    // Every line but the column's stays as it was, in its place; the new ones are folded and end
    // as the card's lines do.
    void patchRewritesOnlyTheColumnsLines() {
        QFETCH(QByteArray, file);
        QFETCH(int, column);
        QFETCH(QVariant, value);
        QFETCH(QByteArrayList, gone);
        const QByteArray card = syncCard(file.constData());
        const RowValues before = sync_card::columnsOf(card, kStamp);
        RowValues after = before;
        after[std::size_t(column)] = value;
        const QByteArray patched = sync_card::patchCard(card, before, after);
        const QString wrong = differences(sync_card::columnsOf(patched, kStamp), after);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong + QLatin1String("\n") + patched));
        const QByteArrayList original = physicalLines(card);
        const QByteArrayList lines = physicalLines(patched);
        const QByteArrayList removed = missingFrom(original, lines);
        const QByteArrayList added = missingFrom(lines, original);
        const bool crlf = card.contains('\r');
        QByteArrayList removedText;
        for (const QByteArray& line : removed)
            removedText << (crlf ? line.chopped(1) : line);
        QCOMPARE(removedText, gone);
        QCOMPARE(without(lines, added), without(original, removed));
        QVERIFY(!added.isEmpty() || !gone.isEmpty());
        const bool folded = !card.contains("VERSION:2.1"); // 2.1 lines are written whole
        for (const QByteArray& line : added) {
            QVERIFY2(line.endsWith('\r') == crlf && (!folded || line.size() - crlf <= 75), line);
            QVERIFY2(!line.chopped(crlf ? 1 : 0).contains('\r'), line);
        }
    }

    void patchToAnyValuesReadsBack_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<RowValues>("after");
        for (const char* file : kCardFiles)
            addHardContacts([file](const char* name) -> QTestData& {
                return QTest::addRow("%s, %s", file, name) << QByteArray(file);
            });
    }

    void patchToAnyValuesReadsBack() {
        QFETCH(QByteArray, file);
        QFETCH(RowValues, after);
        const QByteArray card = syncCard(file.constData());
        const RowValues before = sync_card::columnsOf(card, kStamp);
        const QByteArray patched = sync_card::patchCard(card, before, after);
        const QString wrong = differences(sync_card::columnsOf(patched, kStamp), after);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong + QLatin1String("\n") + patched));
        // and back again, to what the card first said
        const QByteArray restored = sync_card::patchCard(patched, after, before);
        QCOMPARE(differences(sync_card::columnsOf(restored, kStamp), before), QString());
    }

    void unchangedCardStaysAsItIs() {
        for (const char* file : kCardFiles) {
            const QByteArray card = syncCard(file);
            const RowValues same = sync_card::columnsOf(card, kStamp);
            QCOMPARE(sync_card::patchCard(card, same, same), card);
        }
    }

    void newCardGivesBackEveryColumn_data() {
        QTest::addColumn<RowValues>("contact");
        addHardContacts([](const char* name) -> QTestData& { return QTest::newRow(name); });
    }

    void newCardGivesBackEveryColumn() {
        QFETCH(RowValues, contact);
        const QString uid = QStringLiteral("tessaline-1,2;3");
        const QByteArray card = sync_card::newCard(contact, uid);
        QVERIFY(card.startsWith("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:"));
        QCOMPARE(differences(sync_card::columnsOf(card, kStamp), contact), QString());
        QCOMPARE(sync_card::uidOf(card), uid);
        for (const QByteArray& line : physicalLines(card))
            QVERIFY2(line.endsWith('\r') && line.size() - 1 <= 75, line);
    }

    void uidOfACard() {
        QCOMPARE(sync_card::uidOf(syncCard(kCardFiles[0])),
                 QStringLiteral("3F2504E0-4F89-11D3-9A0C-0305E82C3301"));
        QCOMPARE(sync_card::uidOf(syncCard(kCardFiles[1])), QString());
    }

    void unreadableCardThrows_data() {
        QTest::addColumn<QByteArray>("card");
        QTest::newRow("nothing") << QByteArray();
        QTest::newRow("no END") << QByteArray("BEGIN:VCARD\r\nFN:x\r\n");
        QTest::newRow("no BEGIN") << QByteArray("FN:x\r\nEND:VCARD\r\n");
        QTest::newRow("no colon") << QByteArray("BEGIN:VCARD\r\nFN x\r\nEND:VCARD\r\n");
        QTest::newRow("two cards")
            << QByteArray("BEGIN:VCARD\nEND:VCARD\nBEGIN:VCARD\nEND:VCARD\n");
    }

    void unreadableCardThrows() {
        QFETCH(QByteArray, card);
        QVERIFY_THROWS_EXCEPTION(StoreError, sync_card::columnsOf(card, kStamp));
    }
};

QTEST_GUILESS_MAIN(TestSyncCard)
#include "test_sync_card.moc"
