#pragma once

#include "sync/dav_error.h"
#include "sync/discovery.h"
#include "sync/server_access.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <memory>
#include <optional>

namespace carddav {

class HttpSession;

struct RemoteCard {
    QString href;                   // absolute path as the server names it ("/user/book/x.vcf")
    QByteArray etag;                // as sent, quotes included
    std::optional<QByteArray> data; // the card's text, when the response carried it
};

struct CollectionChanges {
    QByteArray token;          // the new sync token
    QList<RemoteCard> changed; // new or changed cards (data filled when the server sent it)
    QStringList removed;       // hrefs of deleted cards
};

enum class PutOutcome { Stored, PreconditionFailed, Refused };
struct PutResult {
    PutOutcome outcome;
    QByteArray etag; // the new ETag when the server sent one (may be empty)
    int status = 0;
    QString problem; // for Refused: the status and the server's reason, short
};
enum class DeleteOutcome { Deleted, Gone, PreconditionFailed };

// A CardDAV server as one user reaches it. Every call waits for its answers; anything that stops
// the conversation throws DavError. hrefs are decoded absolute paths on the server of the access
// URL, the same form in every answer, so they can serve as keys.
class DavClient {
  public:
    explicit DavClient(const ServerAccess& access);
    ~DavClient();
    DavClient(const DavClient&) = delete;
    DavClient& operator=(const DavClient&) = delete;

    // The access URL itself when it is an address book; else every address book in the home
    // set of the user's principal (found there or through /.well-known/carddav).
    QList<AddressBookInfo> discover();
    // What changed in book since token (empty: everything), asking for each card's ETag and
    // text. nullopt when the server will not start from the token; the caller then starts over.
    std::optional<CollectionChanges> syncCollection(const QUrl& book, const QByteArray& token);
    // Every card of book with its ETag, without its text.
    QList<RemoteCard> listCards(const QUrl& book);
    // The cards of book named by hrefs, with their text; those the server does not have are
    // left out.
    QList<RemoteCard> fetchCards(const QUrl& book, const QStringList& hrefs);
    // Every card of book with its text, in one addressbook-query: where the server's
    // multiget is slow per card (Xandikos), far cheaper than fetching many by name.
    QList<RemoteCard> queryCards(const QUrl& book);
    // One card; nullopt when the server does not have it.
    std::optional<RemoteCard> fetchCard(const QString& href);
    // Stores a card. An empty ifMatch stores a new card only (If-None-Match: *); otherwise the
    // card is replaced only while its ETag is still ifMatch.
    PutResult putCard(const QString& href, const QByteArray& card, const QByteArray& ifMatch);
    // Deletes a card, only while its ETag is still ifMatch when that is not empty.
    DeleteOutcome deleteCard(const QString& href, const QByteArray& ifMatch);
    // Requests sent so far, redirects and retries included.
    int requestCount() const;

  private:
    QUrl server_; // the access URL without its user information
    std::unique_ptr<HttpSession> http_;
};

} // namespace carddav
