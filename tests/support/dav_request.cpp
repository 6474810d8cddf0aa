#include "support/dav_request.h"

#include <QBuffer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QXmlStreamReader>

namespace {

// Long enough for a slow machine, short enough that a hung server fails the test.
constexpr int kTransferTimeoutMs = 30000;

} // namespace

DavReply davRequest(const QByteArray& verb, const QUrl& url, const DavHeaders& headers,
                    const QByteArray& body) {
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setTransferTimeout(kTransferTimeoutMs);
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    QBuffer content;
    content.setData(body);
    content.open(QIODevice::ReadOnly);
    QNetworkReply* reply = network.sendCustomRequest(request, verb, &content);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    DavReply answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.body = reply->readAll();
    answer.etag = reply->rawHeader("ETag");
    delete reply;
    return answer;
}

DavHeaders basicAuth(const QString& user, const QString& password) {
    if (user.isEmpty())
        return {};
    return {{"Authorization", "Basic " + (user + u':' + password).toUtf8().toBase64()}};
}

QStringList multistatusHrefs(const QByteArray& xml) {
    QStringList hrefs;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == u"href" &&
            reader.namespaceUri() == u"DAV:")
            hrefs += reader.readElementText();
    }
    return hrefs;
}
