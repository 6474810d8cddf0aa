#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QUrl>

// One plain HTTP request, sent and answered in a local event loop (bounded by a transfer
// timeout), as the test harness talks to a CardDAV server.
struct DavReply {
    int status = 0; // 0: no answer at all
    QByteArray body;
    QByteArray etag;
};
using DavHeaders = QList<QPair<QByteArray, QByteArray>>;

DavReply davRequest(const QByteArray& verb, const QUrl& url, const DavHeaders& headers = {},
                    const QByteArray& body = {});

// The Basic authorization header for a user, none without one.
DavHeaders basicAuth(const QString& user, const QString& password);

// The hrefs of a PROPFIND multistatus answer, in order.
QStringList multistatusHrefs(const QByteArray& xml);
