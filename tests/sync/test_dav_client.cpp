#include "support/dav_server.h"
#include "sync/dav_client.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <functional>
#include <memory>

using namespace carddav;

namespace {

using Kind = DavServer::Kind;

QByteArray vcard(const QString& uid, const QString& name) {
    return QString("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nFN:%2\r\nN:%2;;;;\r\nEND:VCARD\r\n")
        .arg(uid, name)
        .toUtf8();
}

QStringList hrefsOf(const QList<RemoteCard>& cards) {
    QStringList hrefs;
    for (const RemoteCard& card : cards)
        hrefs << card.href;
    hrefs.sort();
    return hrefs;
}

// Answers each request with the canned answer for its path, or 404, then closes the connection.
class CannedServer {
  public:
    explicit CannedServer(const QHash<QByteArray, QByteArray>& answers) : answers_(answers) {
        if (!server_.listen(QHostAddress::LocalHost, 0))
            qFatal("cannot listen on 127.0.0.1");
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            QTcpSocket* socket = server_.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
                const QByteArray path = socket->readAll().split(' ').value(1);
                socket->write(answers_.value(path, "HTTP/1.1 404 Not Found\r\n"
                                                   "Content-Length: 0\r\n\r\n"));
                socket->disconnectFromHost();
            });
        });
    }
    QUrl url(const QString& path = "/book/") const {
        return QUrl(QString("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
    }

  private:
    QHash<QByteArray, QByteArray> answers_;
    QTcpServer server_;
};

// What a call that must fail said; empty when it did not fail.
QString refusalOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const DavError& error) {
        return error.description();
    }
    return {};
}

QByteArray httpAnswer(const QByteArray& statusLine, const QByteArray& headers,
                      const QByteArray& body) {
    return "HTTP/1.1 " + statusLine + "\r\n" + headers +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

QByteArray multistatus(const QByteArray& responses) {
    return httpAnswer(
        "207 Multi-Status", "Content-Type: application/xml\r\n",
        "<m:multistatus xmlns:m=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\">" + responses +
            "</m:multistatus>");
}

QByteArray propResponse(const QByteArray& href, const QByteArray& properties) {
    return "<m:response><m:href>" + href + "</m:href><m:propstat><m:prop>" + properties +
           "</m:prop><m:status>HTTP/1.1 200 OK</m:status></m:propstat></m:response>";
}

} // namespace

class TestDavClient : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<DavServer> radicale_;
    std::unique_ptr<DavServer> xandikos_;

    DavServer& server(Kind kind) { return kind == Kind::Radicale ? *radicale_ : *xandikos_; }
    ServerAccess accessTo(Kind kind, const QUrl& url) {
        return {url, server(kind).user(), server(kind).password(), {}, false};
    }
    DavClient clientOf(Kind kind) {
        return DavClient(accessTo(kind, server(kind).addressBookUrl()));
    }
    void bothServers() {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("radicale") << Kind::Radicale;
        QTest::newRow("xandikos") << Kind::Xandikos;
    }

  private slots:
    void initTestCase() {
        radicale_ = std::make_unique<DavServer>(Kind::Radicale, QList<DavServer::Card>{}, "tester",
                                                "s3cret");
        xandikos_ = std::make_unique<DavServer>(Kind::Xandikos);
    }
    void cleanupTestCase() {
        radicale_.reset();
        xandikos_.reset();
    }

    void discoveryFindsTheBook_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("fromRoot");
        QTest::newRow("radicale root") << Kind::Radicale << true;
        QTest::newRow("radicale book") << Kind::Radicale << false;
        QTest::newRow("xandikos root") << Kind::Xandikos << true;
        QTest::newRow("xandikos book") << Kind::Xandikos << false;
    }
    void discoveryFindsTheBook() {
        QFETCH(Kind, kind);
        QFETCH(bool, fromRoot);
        const QUrl book = server(kind).addressBookUrl();
        DavClient client(accessTo(kind, fromRoot ? server(kind).rootUrl() : book));
        const QList<AddressBookInfo> books = client.discover();
        QCOMPARE(books.size(), 1);
        QCOMPARE(books.first().url, book);
    }

    // A server that answers nothing at its root: the well-known address redirects to the
    // principal, and the hrefs come relative, percent-encoded and as whole URLs.
    void discoveryFollowsWellKnownAndHrefs() {
        const QByteArray book = "<m:resourcetype><m:collection/><c:addressbook/></m:resourcetype>";
        CannedServer canned({
            {"/", httpAnswer("405 Method Not Allowed", {}, {})},
            {"/.well-known/carddav",
             httpAnswer("301 Moved Permanently", "Location: /dav/\r\n", {})},
            {"/dav/", multistatus(propResponse("/dav/", "<m:current-user-principal><m:href>"
                                                        "principals/ann/</m:href>"
                                                        "</m:current-user-principal>"))},
            {"/dav/principals/ann/",
             multistatus(propResponse("/dav/principals/ann/",
                                      "<c:addressbook-home-set><m:href>https://dav.example/dav/"
                                      "ann%20home/</m:href></c:addressbook-home-set>"))},
            {"/dav/ann%20home/",
             multistatus(propResponse("/dav/ann%20home/", "<m:resourcetype><m:collection/>"
                                                          "</m:resourcetype>") +
                         propResponse("/dav/ann%20home/work%20book/",
                                      book + "<m:displayname>Work</m:displayname>") +
                         propResponse("/dav/ann%20home/calendar/", "<m:resourcetype/>") +
                         propResponse("private/", book))},
        });
        DavClient client({canned.url("/"), {}, {}, {}, false});
        const QList<AddressBookInfo> books = client.discover();
        QCOMPARE(books.size(), 2);
        QCOMPARE(books[0].url.toString(QUrl::FullyEncoded),
                 canned.url("/dav/ann%20home/work%20book/").toString(QUrl::FullyEncoded));
        QCOMPARE(books[0].displayName, "Work");
        QCOMPARE(books[1].url.path(), "/dav/ann home/private/");
        QCOMPARE(client.requestCount(), 6);
    }

    void tlsTrustsOnlyTheGivenAuthority() {
        DavServer secure(Kind::Radicale, {}, "tester", "s3cret", DavServer::Transport::Https);
        ServerAccess access{secure.addressBookUrl(), secure.user(), secure.password(),
                            secure.caFile(), false};
        QCOMPARE(DavClient(access).discover().size(), 1);
        access.caFile.clear();
        const QString said = refusalOf([&] { DavClient(access).discover(); });
        QVERIFY2(said.contains("certificate"), qPrintable(said));
    }

    void badCardAnswersRefused_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("cause");
        QTest::newRow("oversize") << httpAnswer("200 OK", {}, QByteArray(17 << 20, 'x'))
                                  << "larger than 16 MiB";
        QTest::newRow("cut off") << httpAnswer("200 OK", {}, "BEGIN:VCARD\r\nFN:A\r\n").chopped(6)
                                 << "cut off before its end";
    }
    void badCardAnswersRefused() {
        QFETCH(QByteArray, answer);
        QFETCH(QString, cause);
        CannedServer canned({{"/card.vcf", answer}});
        DavClient client({canned.url(), {}, {}, {}, false});
        const QString said = refusalOf([&] { client.fetchCard("/card.vcf"); });
        QVERIFY2(said.contains(cause), qPrintable(said));
    }

    void putAndDeleteHonourEtags_data() { bothServers(); }
    void putAndDeleteHonourEtags() {
        QFETCH(Kind, kind);
        DavClient client = clientOf(kind);
        const QString href = server(kind).addressBookUrl().path() + "etag test.vcf";
        const PutResult created = client.putCard(href, vcard("e1", "First"), {});
        QCOMPARE(created.outcome, PutOutcome::Stored);
        QVERIFY(created.etag.startsWith('"'));
        QCOMPARE(client.putCard(href, vcard("e1", "Again"), {}).outcome,
                 PutOutcome::PreconditionFailed);
        const PutResult changed = client.putCard(href, vcard("e1", "Second"), created.etag);
        QCOMPARE(changed.outcome, PutOutcome::Stored);
        QCOMPARE(client.putCard(href, vcard("e1", "Stale"), created.etag).outcome,
                 PutOutcome::PreconditionFailed);
        QVERIFY(client.fetchCard(href)->data->contains("FN:Second"));
        QCOMPARE(client.deleteCard(href, created.etag), DeleteOutcome::PreconditionFailed);
        QCOMPARE(client.deleteCard(href, client.fetchCard(href)->etag), DeleteOutcome::Deleted);
        QCOMPARE(client.deleteCard(href, {}), DeleteOutcome::Gone);
        QVERIFY(!client.fetchCard(href));
    }

    void syncCollectionFollowsChanges_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("sendsCards"); // whether the server puts each card's text in
        QTest::newRow("radicale") << Kind::Radicale << true;
        QTest::newRow("xandikos") << Kind::Xandikos << false;
    }
    void syncCollectionFollowsChanges() {
        QFETCH(Kind, kind);
        QFETCH(bool, sendsCards);
        DavClient client = clientOf(kind);
        const QUrl book = server(kind).addressBookUrl();
        const QString kept = book.path() + "kept.vcf", gone = book.path() + "gone.vcf";
        const QByteArray keptEtag = client.putCard(kept, vcard("s1", "Kept"), {}).etag;
        client.putCard(gone, vcard("s2", "Gone"), {});

        const CollectionChanges initial = client.syncCollection(book, {}).value();
        QVERIFY(hrefsOf(initial.changed).contains(kept));
        QVERIFY(hrefsOf(initial.changed).contains(gone));
        const CollectionChanges quiet = client.syncCollection(book, initial.token).value();
        QVERIFY(quiet.changed.isEmpty() && quiet.removed.isEmpty());

        const PutResult edited = client.putCard(kept, vcard("s1", "Edited"), keptEtag);
        QCOMPARE(client.deleteCard(gone, {}), DeleteOutcome::Deleted);
        const CollectionChanges later = client.syncCollection(book, quiet.token).value();
        QCOMPARE(hrefsOf(later.changed), QStringList{kept});
        QCOMPARE(later.removed, QStringList{gone});
        QCOMPARE(later.changed.first().etag, client.fetchCard(kept)->etag);
        QCOMPARE(later.changed.first().data.has_value(), sendsCards);
        if (sendsCards)
            QVERIFY(later.changed.first().data->contains("FN:Edited"));
        QVERIFY(!edited.etag.isEmpty());
    }

    void bogusTokenMeansStartOver_data() { bothServers(); }
    void bogusTokenMeansStartOver() {
        QFETCH(Kind, kind);
        DavClient client = clientOf(kind);
        QVERIFY(!client.syncCollection(server(kind).addressBookUrl(),
                                       "http://example.org/ns/sync/bogus"));
    }

    void listAndFetchCardsAgree_data() { bothServers(); }
    void listAndFetchCardsAgree() {
        QFETCH(Kind, kind);
        DavClient client = clientOf(kind);
        const QUrl book = server(kind).addressBookUrl();
        // hrefs the server has to encode, in sorted order
        const QStringList mine = {book.path() + "list a.vcf", book.path() + "list%b.vcf",
                                  book.path() + "list-ü.vcf"};
        for (const QString& href : mine)
            QCOMPARE(client.putCard(href, vcard(href, "Listed"), {}).outcome, PutOutcome::Stored);
        QStringList listed;
        for (const RemoteCard& card : client.listCards(book)) {
            QVERIFY(!card.etag.isEmpty() && !card.data);
            if (mine.contains(card.href))
                listed << card.href;
        }
        listed.sort();
        QCOMPARE(listed, mine); // not with the collection itself
        const QList<RemoteCard> fetched = client.fetchCards(book, mine + QStringList{"/nothere"});
        QCOMPARE(hrefsOf(fetched), mine);
        for (const RemoteCard& card : fetched)
            QVERIFY(card.data->contains("UID:" + card.href.toUtf8()));
    }

    void wrongPasswordIsNamed() {
        ServerAccess access = accessTo(Kind::Radicale, radicale_->addressBookUrl());
        access.password = "not-the-password";
        DavClient client(access);
        try {
            client.listCards(radicale_->addressBookUrl());
            QFAIL("a wrong password was taken");
        } catch (const DavError& error) {
            QCOMPARE(error.status(), 401);
            QVERIFY(error.description().contains("refused the user name or password"));
            QVERIFY(!error.description().contains("not-the-password"));
        }
    }

    void unsafeAccessRefusedBeforeAnyTraffic_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("caFile");
        QTest::addColumn<QString>("cause");
        QTest::newRow("http to another host") << "http://10.0.0.1/dav/"
                                              << ""
                                              << "--insecure-http";
        QTest::newRow("http by name") << "http://example.org/"
                                      << ""
                                      << "--insecure-http";
        QTest::newRow("unreadable CA file") << "https://example.org/"
                                            << "/nonexistent/ca.pem"
                                            << "cannot read the CA file";
        QTest::newRow("not http") << "ftp://127.0.0.1/"
                                  << ""
                                  << "not an http";
    }
    void unsafeAccessRefusedBeforeAnyTraffic() {
        QFETCH(QString, url);
        QFETCH(QString, caFile);
        QFETCH(QString, cause);
        const QString said = refusalOf([&] {
            DavClient client({QUrl(url), "user", "pw", caFile, false});
        });
        QVERIFY2(said.contains(cause), qPrintable(said));
    }

    void hostileAnswersRefused_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("cause");
        const QByteArray xml = "Content-Type: application/xml\r\n";
        QTest::newRow("document type")
            << httpAnswer("207 Multi-Status", xml,
                          "<?xml version=\"1.0\"?><!DOCTYPE m [<!ENTITY a \"aaaaaaaa\">]>"
                          "<D:multistatus xmlns:D=\"DAV:\"><D:response><D:href>&a;</D:href>"
                          "</D:response></D:multistatus>")
            << "declares a document type";
        QTest::newRow("not xml") << httpAnswer("207 Multi-Status", xml, "<D:multistatus")
                                 << "malformed answer";
        // Read as it arrives, an answer cut off is told as such, not as malformed.
        QTest::newRow("cut off") << httpAnswer("207 Multi-Status", xml,
                                               "<D:multistatus xmlns:D=\"DAV:\"><D:response>")
                                        .chopped(12)
                                 << "book/: the answer was cut off before its end";
        QTest::newRow("redirect to another host")
            << httpAnswer("301 Moved", "Location: http://127.0.0.2:8080/book/\r\n", {})
            << "refused the redirect";
        QTest::newRow("unexpected status") << httpAnswer("503 Service Unavailable", {}, {})
                                           << "book/: the server answered 503 Service Unavailable";
    }
    void hostileAnswersRefused() {
        QFETCH(QByteArray, answer);
        QFETCH(QString, cause);
        CannedServer canned({{"/book/", answer}});
        DavClient client({canned.url(), {}, {}, {}, false});
        const QString said = refusalOf([&] { client.listCards(canned.url()); });
        QVERIFY2(said.contains(cause), qPrintable(said));
    }
};

QTEST_GUILESS_MAIN(TestDavClient)
#include "test_dav_client.moc"
