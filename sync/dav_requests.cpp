#include "sync/dav_requests.h"

#include "sync/dav_error.h"

namespace carddav {

HttpRequest xmlRequest(const QByteArray& method, const QUrl& url, const QByteArray& body,
                       int depth) {
    HttpRequest request{
        method, url, body, {{"Content-Type", "application/xml; charset=utf-8"}}, kReportBytes, {}};
    if (depth != kNoDepth)
        request.headers.emplaceBack("Depth", QByteArray::number(depth));
    return request;
}

void requireMultistatus(const HttpResponse& response) {
    if (response.status != 207)
        throw DavError(response.failure(), response.status);
}

Multistatus multistatusOf(const HttpResponse& response) {
    requireMultistatus(response);
    return parseMultistatus(response.body, response.url);
}

StreamedAnswer sendForMultistatus(HttpSession& http, HttpRequest request,
                                  const std::function<void(DavResponse&&)>& take) {
    QByteArray syncToken;
    request.readMultistatus = [&](QIODevice& body, const QUrl& from) {
        syncToken = readMultistatus(body, from, take);
    };
    HttpResponse response = http.send(request);
    return {std::move(response), syncToken};
}

Multistatus propfind(HttpSession& http, const QUrl& url, int depth,
                     const QList<XmlName>& properties) {
    return multistatusOf(http.send(xmlRequest("PROPFIND", url, propfindBody(properties), depth)));
}

} // namespace carddav
