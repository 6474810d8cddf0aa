#include "sync_pair.h"

#include "store/contact_table.h"
#include "support/dav_request.h"
#include "support/event_loop_process.h"
#include "support/fault_proxy.h"
#include "support/vdirsyncer_peer.h"
#include "tool/run_lock.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

using Kind = DavServer::Kind;
using Fault = FaultProxy::Fault;

Q_DECLARE_METATYPE(Fault)

namespace {

QList<DavServer::Card> someCards(int count) {
    QList<DavServer::Card> cards;
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        cards.append({"s" + QString::number(i) + ".vcf",
                      simpleCard("s" + n, "Server" + n, "Card", "TEL:9" + n + "\r\n")});
    }
    return cards;
}

QList<StoredRow> someContacts(int count) {
    QList<StoredRow> rows;
    for (int i = 0; i < count; ++i)
        rows << row({QStringLiteral("Book%1").arg(i), "Contact", QString::number(i)});
    return rows;
}

// Both sides hold the same: every contact once in the book, every card once on the server, and
// a new device gets the book's contacts.
void requireBothSidesEqual(SyncPair& pair, int contacts) {
    QCOMPARE(pair.rows().size(), contacts);
    QStringList uids;
    for (const QByteArray& card : pair.cardTexts())
        for (const QByteArray& line : unfoldedLines(card))
            if (line.startsWith("UID:"))
                uids << QString::fromUtf8(line);
    QCOMPARE(uids.size(), contacts);
    QCOMPARE(QSet<QString>(uids.begin(), uids.end()).size(), contacts);
    const QList<StoredRow> here = pair.rows(), there = pair.rowsOnAnotherDevice();
    QCOMPARE(there, here);
}

} // namespace

class TestSyncFaults : public QObject {
    Q_OBJECT

  private slots:
    // Killed at any moment, a sync loses nothing, and the next one finishes without doubles.
    void killedSyncsThenOneThatFinishes() {
        SyncPair pair(Kind::Radicale, someCards(40));
        insertRows(pair.book, someContacts(40));
        QVERIFY(killToolAfter(pair.arguments(), 300));
        int killed = 1;
        for (int round = 0; round < 8; ++round) {
            const int ms = 20 + QRandomGenerator::global()->bounded(300);
            killed += killToolAfter(pair.arguments(pair.server.addressBookUrl().toString()), ms);
        }
        QVERIFY(killed > 2);
        QVERIFY2(pair.sync() == 0, pair.out + pair.err);
        requireBothSidesEqual(pair, 80);
    }

    // A lock file a killed sync left keeps no sync out; one another sync holds keeps it out.
    void oneSyncAtATime_data() {
        QTest::addColumn<bool>("held");
        QTest::newRow("left by a killed sync") << false;
        QTest::newRow("held by a running sync") << true;
    }
    void oneSyncAtATime() {
        QFETCH(bool, held);
        SyncPair pair(Kind::Xandikos, someCards(1));
        QCOMPARE(pair.sync(), 0);
        const QString lockPath = pair.book + ".sync-lock";
        QFile left(lockPath);
        QVERIFY(left.open(QIODevice::WriteOnly));
        RunLock running(lockPath);
        QVERIFY(!held || running.tryLock());
        QCOMPARE(pair.sync(), held ? 1 : 0);
        QCOMPARE(pair.err.contains("Another sync of"), held);
    }

    // Connections dropped, servers failing or stalled in the middle of a sync: what failed is
    // named (a dropped PUT is sent again at once), and the next sync finishes.
    void serverFailuresLeaveNothingHalfDone_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QByteArray>("said");
        QTest::newRow("dropped") << Fault::DropConnection << QByteArray();
        QTest::newRow("500") << Fault::Status500 << QByteArray("refused it: 500");
        QTest::newRow("503") << Fault::Status503 << QByteArray("refused it: 503");
        QTest::newRow("507") << Fault::Status507 << QByteArray("refused it: 507");
        QTest::newRow("stalled") << Fault::Stall << QByteArray("did not answer within 2 seconds");
    }
    void serverFailuresLeaveNothingHalfDone() {
        QFETCH(Fault, fault);
        QFETCH(QByteArray, said);
        SyncPair pair(Kind::Xandikos, someCards(3));
        insertRows(pair.book, someContacts(3));
        FaultProxy proxy(pair.server.port());
        const QString url = proxy.proxied(pair.server.addressBookUrl()).toString();
        QCOMPARE(pair.sync({}, url), 0);
        insertRows(pair.book, someContacts(6).mid(3));
        // After the changes are listed and the first new card is sent and read back.
        proxy.failNext(fault, 1, 3);
        QCOMPARE(pair.sync({"--timeout", "2"}), said.isEmpty() ? 0 : 1);
        QVERIFY2((pair.out + pair.err).contains(said), pair.out + pair.err);
        QVERIFY2(pair.sync() == 0, pair.out + pair.err);
        requireBothSidesEqual(pair, 9);
    }

    // Another client changes the card between our look at it and our PUT: the PUT is refused
    // (412), and the card is fetched again and both changes kept.
    void cardChangedDuringTheSyncIsMergedAgain() {
        SyncPair pair(Kind::Xandikos, {{"a.vcf", simpleCard("a", "Anna", "Berg", "TEL:1\r\n")}});
        FaultProxy proxy(pair.server.port());
        QCOMPARE(pair.sync({}, proxy.proxied(pair.server.addressBookUrl()).toString()), 0);
        execOn(pair.book, "UPDATE address SET phone = '2'");
        int raced = 0;
        proxy.beforeEachRequest([&](const QByteArray& request) {
            if (request.startsWith("PUT ") && raced++ == 0)
                QVERIFY(pair.server.put("a.vcf", simpleCard("a", "Anna", "Berg",
                                                            "TEL:1\r\nEMAIL:a@example.org\r\n")) <
                        300);
        });
        QVERIFY2(pair.sync() == 0, pair.out + pair.err);
        QCOMPARE(raced, 2);
        const QByteArray card = pair.server.get("a.vcf");
        QVERIFY2(card.contains("TEL:2") && card.contains("a@example.org"), card);
        QCOMPARE(pair.rows().first().at(Email), QVariant("a@example.org"));
        QCOMPARE(pair.rows().first().at(Phone), QVariant("2"));
    }

    // vdirsyncer, another client of the same address book, sees our changes and we see its.
    void vdirsyncerAndWeSeeEachOther() {
        SyncPair pair(Kind::Radicale, someCards(2));
        insertRows(pair.book, someContacts(1));
        QCOMPARE(pair.sync(), 0);
        VdirsyncerPeer peer(pair.server.addressBookUrl());
        QVERIFY2(peer.discover() && peer.sync(), peer.log());
        QCOMPARE(peer.cards().size(), 3);
        peer.write("v.vcf", simpleCard("v", "Vera", "Vik", "TEL:7\r\n"));
        QVERIFY2(peer.sync(), peer.log());
        execOn(pair.book, "UPDATE address SET phone = '77' WHERE Name = 'Book0'");
        QCOMPARE(pair.sync(), 0);
        QCOMPARE(pair.rows().size(), 4);
        QVERIFY2(peer.sync(), peer.log());
        bool seen = false;
        for (const QByteArray& card : peer.cards())
            seen = seen || (card.contains("Book0") && card.contains("77"));
        QVERIFY(seen);
    }

    // The server's root leads to its one address book; two of them are listed for the user.
    void discoveryFindsTheAddressBook_data() {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("radicale") << Kind::Radicale;
        QTest::newRow("xandikos") << Kind::Xandikos;
    }
    void discoveryFindsTheAddressBook() {
        QFETCH(Kind, kind);
        SyncPair pair(kind, someCards(1), kind == Kind::Radicale ? "ann" : QString());
        QVERIFY2(pair.sync({}, pair.server.rootUrl().toString()) == 0, pair.out + pair.err);
        QCOMPARE(pair.rows().size(), 1);
        if (kind == Kind::Xandikos)
            return; // it takes a new collection, but not as an address book
        QUrl second = pair.server.addressBookUrl().resolved(QUrl("../second/"));
        const DavHeaders auth = basicAuth(pair.server.user(), pair.server.password());
        const QByteArray mkcol = "<?xml version=\"1.0\"?><mkcol xmlns=\"DAV:\" "
                                 "xmlns:C=\"urn:ietf:params:xml:ns:carddav\"><set><prop>"
                                 "<resourcetype><collection/><C:addressbook/></resourcetype>"
                                 "<displayname>Second</displayname></prop></set></mkcol>";
        QCOMPARE(davRequest("MKCOL", second, auth, mkcol).status, 201);
        QFile::remove(pair.book);
        contact_table::createAddressBook(pair.book);
        QCOMPARE(pair.sync({}, pair.server.rootUrl().toString()), 2);
        QVERIFY2(pair.err.contains(second.path().toUtf8()) && pair.err.contains("Second"),
                 pair.err);
    }

    // The password comes from its command and goes nowhere else; a wrong one is named.
    void passwordStaysSecret() {
        SyncPair pair(Kind::Radicale, someCards(1), "ann");
        QCOMPARE(pair.sync(), 0);
        QVERIFY(!pair.out.contains("s3cret") && !pair.err.contains("s3cret"));
        QFile book(pair.book);
        QVERIFY(book.open(QIODevice::ReadOnly));
        QVERIFY(!book.readAll().contains("s3cret"));
        QCOMPARE(pair.sync({"--password-command", "echo wrong"}), 1);
        QVERIFY2(pair.err.contains("user name or password"), pair.err);
        QVERIFY(!pair.err.contains("wrong"));
    }

    // Forgetting the account keeps the contacts and lets the book sync elsewhere.
    void forgetKeepsTheContacts() {
        SyncPair pair(Kind::Xandikos, someCards(2));
        QCOMPARE(pair.sync(), 0);
        QCOMPARE(runTool({"sync", "--forget", pair.book}), 0);
        QCOMPARE(pair.rows().size(), 2);
        QCOMPARE(pair.sync({}, pair.server.addressBookUrl().toString()), 0);
        requireBothSidesEqual(pair, 2);
    }
};

QTEST_GUILESS_MAIN(TestSyncFaults)
#include "test_sync_faults.moc"
