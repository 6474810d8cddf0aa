#pragma once

#include "sync/server_access.h"

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QPair>
#include <QSslConfiguration>
#include <QUrl>
#include <functional>

class QIODevice;

namespace carddav {

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

struct HttpRequest {
    QByteArray method;
    QUrl url;
    QByteArray body;
    HttpHeaders headers;
    qint64 maxBody = qint64(16) << 20; // the largest answer accepted, in bytes
    // When set, reads the body of a 207 Multi-Status answer (from the given address) as it
    // arrives, rather than have it gathered into the response's.
    std::function<void(QIODevice& body, const QUrl& from)> readMultistatus;
};

struct HttpResponse {
    QUrl url; // where the answer came from, after any redirects
    int status = 0;
    QByteArray reason;
    QByteArray body;
    HttpHeaders headers;

    QByteArray header(const QByteArray& name) const;
    bool succeeded() const { return status >= 200 && status < 300; }
    // "URL: the server answered 503 Service Unavailable"
    QString failure() const;
};

// Sends one request at a time and waits for its answer in a local event loop. It guards what the
// caller trusts: plain http only to this machine unless allowed, TLS against the chosen CAs,
// redirects only within the same server and never down to http, and answers of bounded size.
// Credentials are offered once per request, and only when the server asks.
class HttpSession {
  public:
    explicit HttpSession(const ServerAccess& access);

    // An answer with any HTTP status; throws DavError when no answer came or it was refused.
    HttpResponse send(const HttpRequest& request);
    int requestCount() const { return requestCount_; }

    // Throws DavError unless requests to url are allowed at all.
    void checkTransport(const QUrl& url) const;

  private:
    HttpResponse sendOnce(const HttpRequest& request);
    QNetworkReply* start(const HttpRequest& request);
    void readBody(QNetworkReply& reply, const HttpRequest& request, HttpResponse& response) const;
    [[noreturn]] void failTransfer(const QNetworkReply& reply, const QUrl& url) const;
    void offerCredentials(QNetworkReply* reply, QAuthenticator* authenticator);
    QUrl redirectTarget(const HttpResponse& response) const;

    ServerAccess access_;
    QSslConfiguration tls_;
    QNetworkAccessManager manager_;
    QNetworkReply* credentialsOffered_ = nullptr;
    bool credentialsRefused_ = false;
    int requestCount_ = 0;
};

// The address as messages show it: without any user name or password.
QString shownUrl(const QUrl& url);

} // namespace carddav
