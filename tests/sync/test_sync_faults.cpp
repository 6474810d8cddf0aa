#include "sync_pair.h"

#include "support/dav_request.h"
#include "support/event_loop_process.h"
#include "support/fault_proxy.h"
#include "support/vdirsyncer_peer.h"

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
    QList<StoredRow> here = pair.rows(), there = pair.rowsOnAnotherDevice();
    auto byName = [](const StoredRow& a, const StoredRow& b) {
        return a.at(Name).toString() < b.at(Name).toString();
    };
    std::sort(here.begin(), here.end(), byName);
    std::sort(there.begin(), there.end(), byName);
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
        QVERIFY(killToolAfter({"sync", pair.book, pair.server.addressBookUrl().toString()}, 300));
        for (int round = 0; round < 6; ++round) {
            const int ms = 50 + QRandomGenerator::global()->bounded(400);
            killToolAfter({"sync", pair.book}, ms);
        }
        QVERIFY2(pair.sync() == 0, pair.out + pair.err);
        requireBothSidesEqual(pair, 80);
    }

    // Connections dropped, servers failing or stalled: the sync fails naming the cause, and the
    // next one finishes.
    void serverFailuresLeaveNothingHalfDone_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QByteArray>("said");
        QTest::newRow("dropped") << Fault::DropConnection << QByteArray("closed");
        QTest::newRow("500") << Fault::Status500 << QByteArray("500");
        QTest::newRow("503") << Fault::Status503 << QByteArray("503");
        QTest::newRow("507") << Fault::Status507 << QByteArray("507");
        QTest::newRow("stalled") << Fault::Stall << QByteArray("timed out");
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
        proxy.failNext(fault, 2);
        QCOMPARE(pair.sync({"--timeout", "2"}), 1);
        QVERIFY2(pair.err.contains(said), pair.err);
        QVERIFY2(pair.sync() == 0, pair.out + pair.err);
        requireBothSidesEqual(pair, 9);
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
