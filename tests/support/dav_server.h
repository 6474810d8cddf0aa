#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

// A real CardDAV server on 127.0.0.1 with one address book, its storage in a temporary folder;
// it is stopped (its whole process group killed) when this goes. A server that does not start
// ends the test run with its log.
class DavServer {
  public:
    enum class Kind { Radicale, Xandikos };
    enum class Transport { Http, Https };
    struct Card {
        QString fileName;
        QByteArray text;
    };

    // The cards are laid into the storage before the server starts, which is fast for thousands.
    // With a user, Radicale checks the password (Basic authentication); without one it takes
    // any password of the user "test". Xandikos has none and ignores the user.
    // Over Https (Radicale only) it answers https:// alone, with a certificate made for it that
    // caFile() holds; put(), get() and cards() speak plain http and cannot reach it then.
    explicit DavServer(Kind kind, const QList<Card>& cards = {}, const QString& user = {},
                       const QString& password = {}, Transport transport = Transport::Http);
    ~DavServer();
    DavServer(const DavServer&) = delete;
    DavServer& operator=(const DavServer&) = delete;

    // Whether the server's program is installed here.
    static bool available(Kind kind);

    QUrl rootUrl() const;        // http(s)://127.0.0.1:PORT/
    QUrl addressBookUrl() const; // ends in '/'
    QString caFile() const;      // the certificate to trust over Https; empty over Http
    quint16 port() const { return port_; }
    QString user() const { return user_; }
    QString password() const { return password_; }
    // What the server has logged so far, to show when a test fails.
    QByteArray log() const;

    // What another client (a phone, say) does to a card of the address book, by its file name,
    // with the server's credentials. Each returns the HTTP status; etag, when given, gets the
    // entity tag the server answered with.
    int put(const QString& fileName, const QByteArray& card, const QByteArray& ifMatch = {},
            QByteArray* etag = nullptr);
    int remove(const QString& fileName);
    QByteArray get(const QString& fileName, int* status = nullptr, QByteArray* etag = nullptr);
    // Every card's text now in the address book, keyed by file name (PROPFIND, then GET each).
    QMap<QString, QByteArray> cards();

  private:
    QString bookFolder() const;
    void layRadicaleStorage(const QList<Card>& cards);
    QByteArray radicaleTlsSettings();
    void layXandikosStorage(const QList<Card>& cards);
    void start(const QString& program, const QStringList& arguments);
    void waitUntilAnswering();
    QUrl cardUrl(const QString& fileName) const;

    Kind kind_;
    QString user_;
    QString password_;
    bool authenticated_ = false; // Radicale checks the password
    bool tls_ = false;
    quint16 port_ = 0;
    QTemporaryDir dir_;
    QProcess process_;
};
