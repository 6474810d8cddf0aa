#include "sync/http_session.h"

#include "sync/dav_error.h"
#include "sync/reply_stream.h"

#include <QAuthenticator>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QNetworkReply>
#include <QSslSocket>
#include <memory>

namespace carddav {

namespace {

constexpr int kMaxRedirects = 5;
constexpr qint64 kStreamBuffer = qint64(1) << 20;

bool isLoopback(const QString& host) {
    return host.compare("localhost", Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback();
}

int portOf(const QUrl& url) {
    return url.port(url.scheme() == "https" ? 443 : 80);
}

QSslConfiguration tlsTrusting(const QString& caFile) {
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    if (caFile.isEmpty())
        return tls;
    QFile file(caFile);
    if (!file.open(QIODevice::ReadOnly))
        throw DavError(caFile + ": cannot read the CA file: " + file.errorString());
    const QList<QSslCertificate> authorities = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
    if (authorities.isEmpty())
        throw DavError(caFile + ": the CA file holds no PEM certificate");
    tls.setCaCertificates(authorities);
    return tls;
}

struct LaterDeleter {
    void operator()(QNetworkReply* reply) const { reply->deleteLater(); }
};

DavError tooLargeError(const QUrl& url, qint64 maxBody) {
    return DavError(QString("%1: the answer is larger than %2 MiB; refused")
                        .arg(shownUrl(url))
                        .arg(maxBody >> 20));
}

DavError cutOffError(const QUrl& url) {
    return DavError(shownUrl(url) + ": the answer was cut off before its end");
}

// The status of the answer, once its headers are in; 0 when none came.
int statusOf(QNetworkReply& reply) {
    const auto status = [&] {
        return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    };
    if (status() == 0 && !reply.isFinished()) {
        QEventLoop loop;
        QObject::connect(&reply, &QNetworkReply::metaDataChanged, &loop, &QEventLoop::quit);
        QObject::connect(&reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return status();
}

// Reads the answer as it arrives until the reply finishes; one over maxBody is cut off there.
QByteArray bodyOf(QNetworkReply& reply, qint64 maxBody) {
    QByteArray body;
    bool tooLarge = false;
    auto take = [&] {
        const qint64 announced = reply.header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (body.isEmpty() && announced > 0 && announced <= maxBody)
            body.reserve(announced); // grown piece by piece, it would take up to twice the room
        body += reply.readAll();
        if (body.size() > maxBody && !tooLarge) {
            tooLarge = true;
            reply.abort();
        }
    };
    const QMetaObject::Connection reading =
        QObject::connect(&reply, &QNetworkReply::readyRead, take);
    QEventLoop loop;
    QObject::connect(&reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply.isFinished())
        loop.exec();
    QObject::disconnect(reading);
    if (tooLarge)
        throw tooLargeError(reply.url(), maxBody);
    if (reply.isOpen())
        take();
    if (endedShort(reply, body.size()))
        throw cutOffError(reply.url());
    return body;
}

} // namespace

QString shownUrl(const QUrl& url) {
    return url.toDisplayString(QUrl::RemoveUserInfo);
}

QByteArray HttpResponse::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QString HttpResponse::failure() const {
    return QString("%1: the server answered %2 %3")
        .arg(shownUrl(url))
        .arg(status)
        .arg(QString::fromUtf8(reason).trimmed());
}

HttpSession::HttpSession(const ServerAccess& access)
    : access_(access), tls_(tlsTrusting(access.caFile)) {
    QObject::connect(&manager_, &QNetworkAccessManager::authenticationRequired,
                     [this](QNetworkReply* reply, QAuthenticator* authenticator) {
                         offerCredentials(reply, authenticator);
                     });
}

void HttpSession::checkTransport(const QUrl& url) const {
    const QString scheme = url.scheme();
    if (scheme == "https") {
        if (!QSslSocket::supportsSsl())
            throw DavError(shownUrl(url) + ": this Qt build has no TLS support");
        return;
    }
    if (scheme != "http" || url.host().isEmpty())
        throw DavError(shownUrl(url) + ": not an http:// or https:// address");
    if (!access_.insecureHttp && !isLoopback(url.host()))
        throw DavError(shownUrl(url) +
                       ": plain http:// would send the password and the cards unencrypted; use "
                       "https:// or allow it with --insecure-http");
}

HttpResponse HttpSession::send(const HttpRequest& request) {
    HttpRequest current = request;
    for (int redirects = 0;; ++redirects) {
        HttpResponse response = sendOnce(current);
        const QUrl target = redirectTarget(response);
        if (target.isEmpty())
            return response;
        if (redirects == kMaxRedirects)
            throw DavError(shownUrl(request.url) + ": too many redirects");
        current.url = target;
    }
}

QUrl HttpSession::redirectTarget(const HttpResponse& response) const {
    static const QList<int> redirects = {301, 302, 303, 307, 308};
    const QByteArray location = response.header("Location");
    if (!redirects.contains(response.status) || location.isEmpty())
        return {};
    const QUrl target = response.url.resolved(QUrl::fromEncoded(location.trimmed()));
    const bool sameServer = target.host().compare(response.url.host(), Qt::CaseInsensitive) == 0 &&
                            portOf(target) == portOf(response.url) &&
                            target.scheme() == response.url.scheme();
    if (!sameServer)
        throw DavError(QString("%1: refused the redirect to %2, another server or a plain http "
                               "address")
                           .arg(shownUrl(response.url), shownUrl(target)),
                       response.status);
    return target;
}

void HttpSession::offerCredentials(QNetworkReply* reply, QAuthenticator* authenticator) {
    if (access_.user.isEmpty())
        return;
    if (credentialsOffered_ == reply) {
        credentialsRefused_ = true; // left unanswered, the request ends with its 401
        return;
    }
    credentialsOffered_ = reply;
    authenticator->setUser(access_.user);
    authenticator->setPassword(access_.password);
}

QNetworkReply* HttpSession::start(const HttpRequest& request) {
    QNetworkRequest message(request.url);
    message.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    message.setTransferTimeout(access_.timeoutMs);
    if (request.url.scheme() == "https")
        message.setSslConfiguration(tls_);
    for (const auto& [name, value] : request.headers)
        message.setRawHeader(name, value);
    credentialsOffered_ = nullptr;
    credentialsRefused_ = false;
    ++requestCount_;
    QNetworkReply* reply = request.body.isEmpty()
                               ? manager_.sendCustomRequest(message, request.method)
                               : manager_.sendCustomRequest(message, request.method, request.body);
    // A multistatus read as it arrives is read slower than a fast server sends it; unbounded,
    // Qt's network thread would gather the rest of it meanwhile.
    if (request.readMultistatus)
        reply->setReadBufferSize(kStreamBuffer);
    return reply;
}

// A multistatus is read as it arrives when the caller asked so; a transfer that failed on the
// way is told as such, not as the malformed answer it left.
void HttpSession::readBody(QNetworkReply& reply, const HttpRequest& request,
                           HttpResponse& response) const {
    if (!request.readMultistatus || statusOf(reply) != 207) {
        response.body = bodyOf(reply, request.maxBody);
        return;
    }
    ReplyStream body(reply, request.maxBody);
    try {
        request.readMultistatus(body, request.url);
    } catch (const DavError&) {
        if (!body.tooLarge() && !body.cutOff() && reply.error() == QNetworkReply::NoError)
            throw;
    }
    if (body.tooLarge())
        throw tooLargeError(reply.url(), request.maxBody);
    if (body.cutOff())
        throw cutOffError(request.url);
    if (reply.error() != QNetworkReply::NoError)
        failTransfer(reply, request.url);
}

void HttpSession::failTransfer(const QNetworkReply& reply, const QUrl& url) const {
    if (reply.error() == QNetworkReply::OperationCanceledError)
        throw DavError(QStringLiteral("%1: the server did not answer within %2 seconds")
                           .arg(shownUrl(url))
                           .arg(access_.timeoutMs / 1000));
    throw DavError(shownUrl(url) + ": " + reply.errorString());
}

HttpResponse HttpSession::sendOnce(const HttpRequest& request) {
    checkTransport(request.url);
    const std::unique_ptr<QNetworkReply, LaterDeleter> reply(start(request));
    HttpResponse response;
    response.url = request.url;
    readBody(*reply, request, response);
    response.status = statusOf(*reply);
    const QString where = shownUrl(request.url);
    if (response.status == 0)
        failTransfer(*reply, request.url);
    if (response.status == 401)
        throw DavError(where + (access_.user.isEmpty()
                                    ? ": the server asks for a user name and password"
                                    : ": the server refused the user name or password"),
                       401);
    response.reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
    response.headers = reply->rawHeaderPairs();
    return response;
}

} // namespace carddav
