#include "sync/dav_client.h"

#include "sync/dav_href.h"
#include "sync/dav_requests.h"

#include <QMap>

namespace carddav {

namespace {

constexpr int kMultigetBatch = 50;
constexpr int kMaxSyncRounds = 1000; // of answers the server cut short with 507

// A password given inside the URL counts as given, and the URL goes on without it.
ServerAccess withoutUserInfo(ServerAccess access) {
    if (access.user.isEmpty() && !access.url.userName().isEmpty()) {
        access.user = access.url.userName(QUrl::FullyDecoded);
        access.password = access.url.password(QUrl::FullyDecoded);
    }
    access.url = access.url.adjusted(QUrl::RemoveUserInfo);
    return access;
}

// Converted, a text holds room for three bytes a character; a report keeps thousands.
QByteArray compactUtf8(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.squeeze();
    return bytes;
}

RemoteCard cardOf(const DavResponse& response) {
    const DavProperty* etag = response.property(dav::kGetEtag);
    const DavProperty* data = response.property(dav::kAddressData);
    RemoteCard card{response.href, etag ? compactUtf8(etag->text.trimmed()) : QByteArray(),
                    std::nullopt};
    if (data)
        card.data = compactUtf8(data->text);
    return card;
}

// The changes of a sync, gathered over the answers of one or more rounds; a later answer about
// a card overrides an earlier one.
class GatheredChanges {
  public:
    explicit GatheredChanges(const QUrl& book) : bookPath_(book.path(QUrl::FullyDecoded)) {}

    void take(const DavResponse& response) {
        if (sameCollection(response.href, bookPath_)) {
            truncated_ = truncated_ || response.status == 507;
        } else if (response.status == 404) {
            changed_.remove(response.href);
            removed_.insert(response.href, true);
        } else if (response.property(dav::kGetEtag)) {
            removed_.remove(response.href);
            changed_.insert(response.href, cardOf(response));
        }
    }

    // Whether the server cut the answer taken last short (507 on the collection itself).
    bool takeTruncated() { return std::exchange(truncated_, false); }

    CollectionChanges changes(const QByteArray& token) const {
        return {token, changed_.values(), removed_.keys()};
    }

  private:
    QString bookPath_;
    QMap<QString, RemoteCard> changed_;
    QMap<QString, bool> removed_;
    bool truncated_ = false;
};

// The cards of a report that carry both their ETag and their text.
QList<RemoteCard> cardsWithText(HttpSession& http, const HttpRequest& report) {
    QList<RemoteCard> cards;
    const StreamedAnswer answer = sendForMultistatus(http, report, [&](DavResponse&& response) {
        RemoteCard card = cardOf(response);
        if (card.data && !card.etag.isEmpty())
            cards << std::move(card);
    });
    requireMultistatus(answer.response);
    return cards;
}

// Radicale refuses a stale token with 403 and the valid-sync-token precondition; Xandikos
// answers a token it never gave with 500. Either way the sync has to start over.
bool refusesToken(const HttpResponse& answer, const QByteArray& token) {
    if (answer.status == 403 && namesPrecondition(answer.body, dav::kValidSyncToken))
        return true;
    return !token.isEmpty() && answer.status >= 400;
}

PutResult putResultOf(const HttpResponse& answer) {
    if (answer.succeeded())
        return {PutOutcome::Stored, answer.header("ETag"), answer.status, {}};
    if (answer.status == 412)
        return {PutOutcome::PreconditionFailed, {}, answer.status, {}};
    const QString problem = QString("%1 %2").arg(answer.status).arg(QString(answer.reason));
    return {PutOutcome::Refused, {}, answer.status, problem.trimmed()};
}

} // namespace

DavClient::DavClient(const ServerAccess& access) {
    const ServerAccess plain = withoutUserInfo(access);
    server_ = plain.url;
    http_ = std::make_unique<HttpSession>(plain);
    http_->checkTransport(server_);
}

DavClient::~DavClient() = default;

int DavClient::requestCount() const {
    return http_->requestCount();
}

QList<AddressBookInfo> DavClient::discover() {
    return discoverAddressBooks(*http_, server_);
}

std::optional<CollectionChanges> DavClient::syncCollection(const QUrl& book,
                                                           const QByteArray& token) {
    GatheredChanges gathered(book);
    QByteArray current = token;
    for (int round = 0; round < kMaxSyncRounds; ++round) {
        const HttpRequest report =
            xmlRequest("REPORT", book, syncCollectionBody(current), kNoDepth);
        const StreamedAnswer answer = sendForMultistatus(
            *http_, report, [&](DavResponse&& response) { gathered.take(response); });
        if (answer.response.status != 207 && refusesToken(answer.response, current))
            return std::nullopt;
        requireMultistatus(answer.response);
        current = answer.syncToken;
        if (current.isEmpty())
            throw DavError(shownUrl(book) + ": the server's changes came without a sync token");
        if (!gathered.takeTruncated())
            return gathered.changes(current);
    }
    throw DavError(shownUrl(book) + ": the server kept cutting its list of changes short");
}

QList<RemoteCard> DavClient::listCards(const QUrl& book) {
    const QString bookPath = book.path(QUrl::FullyDecoded);
    QList<RemoteCard> cards;
    const QList<XmlName> properties{dav::kGetEtag, dav::kResourceType};
    const StreamedAnswer answer =
        sendForMultistatus(*http_, xmlRequest("PROPFIND", book, propfindBody(properties), 1),
                           [&](DavResponse&& response) {
                               if (!sameCollection(response.href, bookPath) &&
                                   !response.isCollection() && response.property(dav::kGetEtag))
                                   cards << cardOf(response);
                           });
    requireMultistatus(answer.response);
    return cards;
}

QList<RemoteCard> DavClient::fetchCards(const QUrl& book, const QStringList& hrefs) {
    QList<RemoteCard> cards;
    for (qsizetype first = 0; first < hrefs.size(); first += kMultigetBatch) {
        const QByteArray body = multigetBody(hrefs.mid(first, kMultigetBatch));
        cards += cardsWithText(*http_, xmlRequest("REPORT", book, body, 1));
    }
    return cards;
}

QList<RemoteCard> DavClient::queryCards(const QUrl& book) {
    return cardsWithText(*http_, xmlRequest("REPORT", book, addressbookQueryBody(), 1));
}

std::optional<RemoteCard> DavClient::fetchCard(const QString& href) {
    const HttpResponse answer = http_->send(
        {"GET", hrefUrl(server_, href), {}, {{"Accept", "text/vcard"}}, kCardBytes, {}});
    if (answer.status == 404)
        return std::nullopt;
    if (!answer.succeeded())
        throw DavError(answer.failure(), answer.status);
    return RemoteCard{href, answer.header("ETag"), answer.body};
}

PutResult DavClient::putCard(const QString& href, const QByteArray& card,
                             const QByteArray& ifMatch) {
    HttpRequest request{"PUT",      hrefUrl(server_, href),
                        card,       {{"Content-Type", "text/vcard; charset=utf-8"}},
                        kCardBytes, {}};
    if (ifMatch.isEmpty())
        request.headers.emplaceBack("If-None-Match", "*");
    else
        request.headers.emplaceBack("If-Match", ifMatch);
    return putResultOf(http_->send(request));
}

DeleteOutcome DavClient::deleteCard(const QString& href, const QByteArray& ifMatch) {
    HttpRequest request{"DELETE", hrefUrl(server_, href), {}, {}, kCardBytes, {}};
    if (!ifMatch.isEmpty())
        request.headers.emplaceBack("If-Match", ifMatch);
    const HttpResponse answer = http_->send(request);
    if (answer.status == 404)
        return DeleteOutcome::Gone;
    if (answer.status == 412)
        return DeleteOutcome::PreconditionFailed;
    if (!answer.succeeded())
        throw DavError(answer.failure(), answer.status);
    return DeleteOutcome::Deleted;
}

} // namespace carddav
