#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

#include <functional>
#include <optional>

// A TCP proxy on 127.0.0.1 in front of a server's port, living in the test's own event loop. It
// passes each HTTP request and its answer through unchanged, unless told to fail the next ones:
// that is how a test meets a network and a server having a bad day.
class FaultProxy : public QObject {
    Q_OBJECT

  public:
    enum class Fault {
        DropConnection, // the request is read, then the connection closed without an answer
        Status500,      // answered with that status, a short body and Connection: close
        Status503,
        Status507,
        Stall, // the request is read and never answered; only the client's timeout ends it
    };

    explicit FaultProxy(quint16 serverPort, QObject* parent = nullptr);

    quint16 port() const { return listener_.serverPort(); }
    // The same URL, reached through the proxy.
    QUrl proxied(const QUrl& serverUrl) const;

    // The next count requests, from whichever connection, meet this fault, once `passing`
    // requests have gone through.
    void failNext(Fault fault, int count = 1, int passing = 0);
    // Runs before each request goes on to the server, with its request line: another client
    // can change the server at that very moment.
    void beforeEachRequest(std::function<void(const QByteArray& requestLine)> hook) {
        hook_ = std::move(hook);
    }
    // Requests seen so far, failed ones included, and their request lines ("PUT /a/b.vcf").
    int requestsSeen() const { return requestLines_.size(); }
    QList<QByteArray> requestLines() const { return requestLines_; }

  private:
    void accept();
    // Notes a request by its first line; returns the fault it meets, if any.
    std::optional<Fault> noteRequest(const QByteArray& requestLine);

    QTcpServer listener_;
    quint16 serverPort_;
    QList<std::optional<Fault>> pending_;
    std::function<void(const QByteArray&)> hook_;
    QList<QByteArray> requestLines_;
};
