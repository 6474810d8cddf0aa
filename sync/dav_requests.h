#pragma once

#include "sync/http_session.h"
#include "sync/multistatus.h"

namespace carddav {

constexpr qint64 kCardBytes = qint64(16) << 20;    // the largest single card accepted
constexpr qint64 kReportBytes = qint64(256) << 20; // the largest multistatus answer accepted

constexpr int kNoDepth = -1; // leave the Depth header out

// A request with an XML body, as PROPFIND and REPORT send it.
HttpRequest xmlRequest(const QByteArray& method, const QUrl& url, const QByteArray& body,
                       int depth);

// Throws DavError unless the answer is a 207 Multi-Status.
void requireMultistatus(const HttpResponse& response);

// The multistatus of a 207 answer; throws DavError for any other status.
Multistatus multistatusOf(const HttpResponse& response);

struct StreamedAnswer {
    HttpResponse response; // its body left empty when it was a multistatus, read as it came
    QByteArray syncToken;
};

// Sends request and reads a 207 answer as it arrives, each response handed to take; any other
// answer is returned whole, for the caller to judge.
StreamedAnswer sendForMultistatus(HttpSession& http, HttpRequest request,
                                  const std::function<void(DavResponse&&)>& take);

// PROPFIND of the given properties; throws DavError unless the server answers 207.
Multistatus propfind(HttpSession& http, const QUrl& url, int depth,
                     const QList<XmlName>& properties);

} // namespace carddav
