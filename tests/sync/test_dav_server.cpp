#include "support/dav_request.h"
#include "support/dav_server.h"
#include "support/event_loop_process.h"
#include "support/fault_proxy.h"
#include "support/vdirsyncer_peer.h"

#include <QtTest>

namespace {

using Kind = DavServer::Kind;

QByteArray card(const QByteArray& uid) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\nFN:Card " + uid + "\r\nN:" + uid +
           ";Card;;;\r\nEND:VCARD\r\n";
}

} // namespace

class TestDavServer : public QObject {
    Q_OBJECT

  private slots:
    void servers_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("user");
        QTest::addColumn<FaultProxy::Fault>("fault");
        QTest::newRow("radicale") << Kind::Radicale << QString() << FaultProxy::Fault::Status503;
        QTest::newRow("radicale with a user")
            << Kind::Radicale << QStringLiteral("ann") << FaultProxy::Fault::DropConnection;
        QTest::newRow("xandikos") << Kind::Xandikos << QString() << FaultProxy::Fault::Status507;
    }

    void servesLaidCardsAndTakesChanges_data() { servers_data(); }
    void servesLaidCardsAndTakesChanges() {
        QFETCH(Kind, kind);
        QFETCH(QString, user);
        DavServer server(kind, {{"one.vcf", card("one")}, {"two.vcf", card("two")}}, user, "pw");
        QVERIFY(server.cards().value("one.vcf").contains("UID:one"));
        QCOMPARE(davRequest("GET", server.addressBookUrl()).status, user.isEmpty() ? 200 : 401);

        QByteArray etag;
        QCOMPARE(server.put("three.vcf", card("three"), {}, &etag), 201);
        QCOMPARE(server.put("three.vcf", card("three"), "\"stale\""), 412);
        QVERIFY(!etag.isEmpty());
        QVERIFY(QList<int>({201, 204}).contains(server.put("three.vcf", card("three"), etag)));
        QVERIFY(QList<int>({200, 204}).contains(server.remove("one.vcf")));
        QCOMPARE(server.cards().keys(), QStringList({"three.vcf", "two.vcf"}));
    }

    // A card put on the server reaches vdirsyncer's folder and one written there the server,
    // through the proxy, which fails one request on the way.
    void vdirsyncerCarriesCardsThroughTheProxy_data() { servers_data(); }
    void vdirsyncerCarriesCardsThroughTheProxy() {
        QFETCH(Kind, kind);
        QFETCH(QString, user);
        QFETCH(FaultProxy::Fault, fault);
        DavServer server(kind, {}, user, "pw");
        FaultProxy proxy(server.port());
        VdirsyncerPeer peer(proxy.proxied(server.addressBookUrl()), server.user(), "pw");
        QCOMPARE(server.put("phone.vcf", card("phone")), 201);
        QVERIFY2(peer.discover(), peer.log());

        proxy.failNext(fault);
        QVERIFY(!peer.sync());
        QVERIFY2(peer.sync(), peer.log());
        QCOMPARE(peer.cards().size(), 1);
        QVERIFY(peer.cards().first().contains("UID:phone"));

        peer.write("laptop.vcf", card("laptop"));
        QVERIFY2(peer.sync(), peer.log());
        QCOMPARE(server.cards().size(), 2);
        const QList<QByteArray> lines = proxy.requestLines();
        QCOMPARE(std::count_if(lines.begin(), lines.end(),
                               [](const QByteArray& line) { return line.startsWith("PUT "); }),
                 1);
    }

    void runsTheTool() {
        QByteArray err;
        QCOMPARE(runTool({"no-such-command"}, nullptr, &err), 2);
        QVERIFY(err.contains("no-such-command"));
    }
};

QTEST_GUILESS_MAIN(TestDavServer)
#include "test_dav_server.moc"
