#include "sync_pair.h"

#include "support/dav_request.h"
#include "support/event_loop_process.h"
#include "support/fault_proxy.h"
#include "support/vdirsyncer_peer.h"

#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

using Kind = DavServer::Kind;

namespace {

StoredRow contact(const QString& name, const QString& surname, const QString& phone,
                  const QString& email = {}) {
    return row({name, surname, phone, QVariant(), QVariant(),
                email.isEmpty() ? QVariant() : QVariant(email), QVariant(), QVariant(),
                QStringLiteral("01/02/2020")});
}

QStringList namesOf(const QList<StoredRow>& rows) {
    QStringList names;
    for (const StoredRow& stored : rows)
        names << stored.at(Name).toString() + QLatin1Char(' ') + stored.at(Surname).toString();
    names.sort();
    return names;
}

// The UID of each card; the same UID twice is a card sent twice.
QStringList uidsOf(const QList<QByteArray>& cards) {
    QStringList uids;
    for (const QByteArray& card : cards)
        for (const QByteArray& line : unfoldedLines(card))
            if (line.startsWith("UID:"))
                uids << QString::fromUtf8(line.mid(4));
    return uids;
}

void addServers() {
    QTest::addColumn<Kind>("kind");
    QTest::newRow("radicale") << Kind::Radicale;
    QTest::newRow("xandikos") << Kind::Xandikos;
}

} // namespace

class TestSync : public QObject {
    Q_OBJECT

  private slots:
    // Cards a phone made come into an empty book with only the columns' values: the rest stays
    // on the card; a group is no contact. A sync with nothing to do takes few requests.
    void firstSyncFromTheServer_data() { addServers(); }
    void firstSyncFromTheServer() {
        QFETCH(Kind, kind);
        SyncPair pair(kind, {cardFile("photo-two-numbers-org.vcf"),
                             cardFile("group.vcf"),
                             {"b.vcf", simpleCard("b", "Bo", "Ek", "EMAIL:bo@example.org\r\n")}});
        QCOMPARE(pair.sync(), 0);
        const QList<StoredRow> rows = pair.rows();
        QCOMPARE(namesOf(rows), QStringList({"Bo Ek", "Maja Lindqvist"}));
        const StoredRow maja = rows.at(namesOf(rows).indexOf("Maja Lindqvist") == 0 ? 0 : 1);
        QCOMPARE(maja.at(Phone), QVariant("+46 8 555 01 02"));
        QCOMPARE(maja.at(Url), QVariant("https://fjord.example/maja"));
        QCOMPARE(maja.at(Other), QVariant());

        QCOMPARE(pair.sync(), 0);
        QVERIFY2(pair.out.contains("here 0 added, 0 changed, 0 deleted; on the server 0 added, "
                                   "0 changed, 0 deleted ("),
                 pair.out);
        const int requests = pair.out.split('(').last().split(' ').first().toInt();
        QVERIFY2(requests >= 1 && requests <= 3, pair.out);
    }

    // A book's contacts, hard values included, reach another device through the server whole.
    void bookReachesAnotherDevice_data() { addServers(); }
    void bookReachesAnotherDevice() {
        QFETCH(Kind, kind);
        SyncPair pair(kind);
        const QList<StoredRow> contacts = {
            row({"Åsa", "Öberg", "1", "", "Storgatan 1\r\nLund", "asa@example.org",
                 "https://example.org/a,b;c", "two\nlines, a comma; a semicolon \\ backslash",
                 "01/02/2020", "03/04/2021"}),
            row({"Bo", QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                 QVariant(), "05/06/2022"}),
        };
        insertRows(pair.book, contacts);
        QCOMPARE(pair.sync(), 0);
        QCOMPARE(uidsOf(pair.cardTexts()).size(), 2);
        QCOMPARE(pair.rowsOnAnotherDevice(), pair.rows());
        QCOMPARE(pair.rows().size(), contacts.size());
    }

    // The same person on both sides before the first sync is one contact and one card after it.
    void firstSyncPairsThePerson() {
        SyncPair pair(Kind::Xandikos,
                      {{"a.vcf", simpleCard("a", "Anna", "Berg",
                                            "EMAIL:ANNA@example.org\r\nORG:Boats\r\n")}});
        insertRows(pair.book, {contact("anna", "Berg", "123", "anna@example.org")});
        QCOMPARE(pair.sync({"--prefer", "remote"}), 0);
        QCOMPARE(pair.rows().size(), 1);
        QCOMPARE(pair.rows().first().at(Email), QVariant("ANNA@example.org"));
        const QList<QByteArray> cards = pair.cardTexts();
        QCOMPARE(cards.size(), 1);
        QVERIFY(cards.first().contains("ORG:Boats"));
        QVERIFY(cards.first().contains("123"));
    }

    // Added, changed and deleted on each side; then both sides hold the same.
    void changesBothWays_data() { addServers(); }
    void changesBothWays() {
        QFETCH(Kind, kind);
        SyncPair pair(kind, {{"d.vcf", simpleCard("d", "Dan", "Dahl", "TEL:4\r\n")},
                             {"e.vcf", simpleCard("e", "Eva", "Ek", "TEL:5\r\n")}});
        insertRows(pair.book, {contact("Ada", "Ahl", "1"), contact("Ben", "Bo", "2")});
        QCOMPARE(pair.sync(), 0);

        execOn(pair.book, "UPDATE address SET phone = '11' WHERE Name = 'Ada';"
                          "DELETE FROM address WHERE Name = 'Ben';");
        insertRows(pair.book, {contact("Cid", "Cox", "3")});
        QVERIFY(pair.server.put("d.vcf", simpleCard("d", "Dan", "Dahl", "TEL:44\r\n")) < 300);
        QVERIFY(pair.server.remove("e.vcf") < 300);
        QCOMPARE(pair.server.put("f.vcf", simpleCard("f", "Fia", "Fors", "TEL:6\r\n")), 201);
        QVERIFY2(pair.sync() == 0, pair.out + pair.err);
        QVERIFY2(pair.out.contains("here 1 added, 1 changed, 1 deleted; on the server 1 added, "
                                   "1 changed, 1 deleted"),
                 pair.out);
        const QStringList names = {"Ada Ahl", "Cid Cox", "Dan Dahl", "Fia Fors"};
        QCOMPARE(namesOf(pair.rows()), names);
        QCOMPARE(pair.rowsOnAnotherDevice(), pair.rows());
    }

    // A card edited in the book keeps its photo, its other number, ORG and all the rest.
    void bookEditKeepsTheRestOfTheCard_data() { addServers(); }
    void bookEditKeepsTheRestOfTheCard() {
        QFETCH(Kind, kind);
        SyncPair pair(kind, {cardFile("photo-two-numbers-org.vcf")});
        QCOMPARE(pair.sync(), 0);
        const QList<QByteArray> before = unfoldedLines(pair.cardTexts().first());
        execOn(pair.book, "UPDATE address SET phone = '+46 8 555 09 09'");
        QCOMPARE(pair.sync(), 0);
        const QList<QByteArray> after = unfoldedLines(pair.cardTexts().first());
        QList<QByteArray> gone, added;
        for (const QByteArray& line : before)
            if (!after.contains(line))
                gone << line;
        for (const QByteArray& line : after)
            if (!before.contains(line))
                added << line;
        QVERIFY2(gone.size() == 1 && gone.first().contains("555 01 02"), gone.join('|'));
        QVERIFY2(added.size() == 1 && added.first().contains("555 09 09"), added.join('|'));
    }

    // Radicale cuts a web address at its comma in a 2.1 card, which has no escape for it: the
    // sync says so and the book keeps its own.
    void damageByTheServerIsReported() {
        const QByteArray old =
            "BEGIN:VCARD\r\nVERSION:2.1\r\nUID:old\r\nN:Berg;Anna\r\nFN:Anna Berg\r\n"
            "TEL;HOME:1\r\nEND:VCARD\r\n";
        SyncPair pair(Kind::Radicale, {{"old.vcf", old}});
        QCOMPARE(pair.sync(), 0);
        execOn(pair.book, "UPDATE address SET url = 'https://example.org/a,b;c'");
        const QList<StoredRow> edited = pair.rows();
        QCOMPARE(pair.sync(), 1);
        QVERIFY2(pair.out.contains("Not kept by the server: Anna Berg, URL: here "
                                   "\"https://example.org/a,b;c\", stored there as "
                                   "\"https://example.org/a\"; the book keeps its own."),
                 pair.out);
        QCOMPARE(pair.rows(), edited);
        QCOMPARE(pair.sync(), 0);
        QCOMPARE(pair.rows(), edited);
    }

    // The same column changed on both sides: named with both values, nothing overwritten, and
    // settled by a preference the next time.
    void conflictIsNamedThenSettled() {
        SyncPair pair(Kind::Xandikos, {{"a.vcf", simpleCard("a", "Anna", "Berg", "TEL:1\r\n")}});
        QCOMPARE(pair.sync(), 0);
        execOn(pair.book, "UPDATE address SET phone = '2'");
        QVERIFY(pair.server.put("a.vcf", simpleCard("a", "Anna", "Berg", "TEL:3\r\n")) < 300);
        QCOMPARE(pair.sync(), 1);
        QCOMPARE(pair.sync(), 1);
        QVERIFY2(pair.out.contains("Conflict: Anna Berg, Phone: here \"2\", on the server \"3\""),
                 pair.out);
        QCOMPARE(pair.rows().first().at(Phone), QVariant("2"));
        QVERIFY(pair.server.get("a.vcf").contains("TEL:3"));
        QCOMPARE(pair.sync({"--prefer", "remote"}), 0);
        QCOMPARE(pair.rows().first().at(Phone), QVariant("3"));
    }

    // An edit on one side beats a deletion on the other.
    void editBeatsDeletion() {
        SyncPair pair(Kind::Radicale, {{"a.vcf", simpleCard("a", "Anna", "Berg", "TEL:1\r\n")},
                                       {"b.vcf", simpleCard("b", "Bo", "Ek", "TEL:2\r\n")}});
        QCOMPARE(pair.sync(), 0);
        execOn(pair.book, "UPDATE address SET phone = '11' WHERE Name = 'Anna';"
                          "DELETE FROM address WHERE Name = 'Bo';");
        QVERIFY(pair.server.remove("a.vcf") < 300);
        QVERIFY(pair.server.put("b.vcf", simpleCard("b", "Bo", "Ek", "TEL:22\r\n")) < 300);
        QCOMPARE(pair.sync(), 0);
        QVERIFY2(pair.out.count("Kept: ") == 2, pair.out);
        QCOMPARE(namesOf(pair.rows()), QStringList({"Anna Berg", "Bo Ek"}));
        QCOMPARE(pair.rowsOnAnotherDevice(), pair.rows());
    }

    // An emptied address book on the server does not empty the book.
    void massDeletionIsRefused() {
        QList<DavServer::Card> cards;
        for (int i = 0; i < 12; ++i)
            cards.append({QStringLiteral("%1.vcf").arg(i),
                          simpleCard(QByteArray::number(i), "P" + QByteArray::number(i), "Q")});
        SyncPair pair(Kind::Xandikos, cards);
        QCOMPARE(pair.sync(), 0);
        for (int i = 0; i < 7; ++i)
            QVERIFY(pair.server.remove(QStringLiteral("%1.vcf").arg(i)) < 300);
        QCOMPARE(pair.sync(), 1);
        QVERIFY2(pair.out.contains("Refused: this sync would delete 7 of the 12"), pair.out);
        QCOMPARE(pair.rows().size(), 12);
        QCOMPARE(pair.sync({"--allow-mass-delete"}), 0);
        QCOMPARE(pair.rows().size(), 5);
    }
};

QTEST_GUILESS_MAIN(TestSync)
#include "test_sync.moc"
