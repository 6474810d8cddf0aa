#include "sync/discovery.h"

#include "sync/dav_error.h"
#include "sync/dav_href.h"
#include "sync/dav_requests.h"

#include <optional>

namespace carddav {

namespace {

// An address book is asked only what it is: a server may refuse to tell someone who gave no
// name about principals (Radicale does), yet let them sync the book.
const QList<XmlName> kBookProperties = {dav::kResourceType, dav::kDisplayName};
const QList<XmlName> kHomeProperties = {dav::kCurrentUserPrincipal, dav::kAddressBookHomeSet};

bool isAddressBook(const DavResponse& response) {
    const DavProperty* type = response.property(dav::kResourceType);
    return type && type->children.contains(dav::kAddressBook.key());
}

QStringList hrefsOf(const std::optional<DavResponse>& response, const XmlName& name) {
    const DavProperty* property = response ? response->property(name) : nullptr;
    return property ? property->hrefs : QStringList();
}

// The resource at url itself, by PROPFIND Depth 0; nullopt when the server has nothing to say
// about it there (a 4xx answer), as a plain web server or the wrong path would.
std::optional<DavResponse> describe(HttpSession& http, const QUrl& url,
                                    const QList<XmlName>& properties) {
    const HttpResponse answer = http.send(xmlRequest("PROPFIND", url, propfindBody(properties), 0));
    if (answer.status >= 400 && answer.status < 500)
        return std::nullopt;
    const Multistatus found = multistatusOf(answer);
    for (const DavResponse& response : found.responses) {
        if (!response.found.isEmpty())
            return response;
    }
    return std::nullopt;
}

AddressBookInfo infoOf(const DavResponse& response, const QUrl& server) {
    const DavProperty* name = response.property(dav::kDisplayName);
    return {hrefUrl(server, response.href), name ? name->text.trimmed() : QString()};
}

QStringList homeSets(HttpSession& http, const QUrl& start, const std::optional<DavResponse>& self) {
    QStringList principals = hrefsOf(self, dav::kCurrentUserPrincipal);
    if (principals.isEmpty()) {
        const QUrl wellKnown = start.resolved(QUrl("/.well-known/carddav"));
        principals = hrefsOf(describe(http, wellKnown, {dav::kCurrentUserPrincipal}),
                             dav::kCurrentUserPrincipal);
    }
    if (principals.isEmpty())
        return {};
    return hrefsOf(describe(http, hrefUrl(start, principals.first()), {dav::kAddressBookHomeSet}),
                   dav::kAddressBookHomeSet);
}

} // namespace

QList<AddressBookInfo> discoverAddressBooks(HttpSession& http, const QUrl& start) {
    const std::optional<DavResponse> book = describe(http, start, kBookProperties);
    if (book && isAddressBook(*book))
        return {infoOf(*book, start)};
    const std::optional<DavResponse> self = describe(http, start, kHomeProperties);
    QStringList homes = hrefsOf(self, dav::kAddressBookHomeSet);
    if (homes.isEmpty())
        homes = homeSets(http, start, self);

    QList<AddressBookInfo> books;
    for (const QString& home : homes) {
        const Multistatus found =
            propfind(http, hrefUrl(start, home), 1, {dav::kResourceType, dav::kDisplayName});
        for (const DavResponse& response : found.responses) {
            if (isAddressBook(response))
                books << infoOf(response, start);
        }
    }
    return books;
}

} // namespace carddav
