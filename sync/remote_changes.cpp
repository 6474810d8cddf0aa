#include "sync/remote_changes.h"

namespace {

// Leaves out what the book already holds: a card whose ETag is the one kept (the server often
// reports the sync's own writes back).
void keepChanged(RemoteChanges& changes, const QList<carddav::RemoteCard>& cards,
                 const QHash<QString, KnownCard>& known) {
    for (const carddav::RemoteCard& card : cards) {
        const auto entry = known.constFind(card.href);
        if (entry == known.constEnd() || entry->etag != card.etag)
            changes.changed.insert(card.href, card);
    }
}

// A whole listing: a known card that is not in it is gone. A card whose PUT was never confirmed
// is no change of the server's; the sync sends it again.
void listWhole(RemoteChanges& changes, const QList<carddav::RemoteCard>& cards,
               const QHash<QString, KnownCard>& known) {
    keepChanged(changes, cards, known);
    QSet<QString> listed;
    for (const carddav::RemoteCard& card : cards)
        listed.insert(card.href);
    for (auto entry = known.cbegin(); entry != known.cend(); ++entry)
        if (entry->confirmed() && !listed.contains(entry.key()))
            changes.removed.insert(entry.key());
    changes.cardsOnServer = cards.size();
}

// Beyond this many cards to fetch, one query for every card is cheaper than fetching them by
// name (which some servers do card by card).
constexpr qsizetype kFetchedByName = 50;

// Fetches the text of the changed cards that the report did not carry; one that has gone since
// is gone.
void fetchMissingText(RemoteChanges& changes, carddav::DavClient& dav, const QUrl& addressBook) {
    QStringList missing;
    for (const carddav::RemoteCard& card : std::as_const(changes.changed))
        if (!card.data)
            missing << card.href;
    if (missing.isEmpty())
        return;
    const QList<carddav::RemoteCard> fetched = missing.size() > kFetchedByName
                                                   ? dav.queryCards(addressBook)
                                                   : dav.fetchCards(addressBook, missing);
    for (const carddav::RemoteCard& card : fetched)
        if (changes.changed.contains(card.href))
            changes.changed.insert(card.href, card);
    for (const QString& href : std::as_const(missing))
        if (!changes.changed.value(href).data) {
            changes.changed.remove(href);
            changes.removed.insert(href);
        }
}

// The changes the server reports, without the cards' text where it did not send it.
RemoteChanges reportedChanges(carddav::DavClient& dav, const QUrl& addressBook,
                              const QByteArray& token, const QHash<QString, KnownCard>& known) {
    RemoteChanges changes;
    std::optional<carddav::CollectionChanges> report = dav.syncCollection(addressBook, token);
    const bool fromTheBeginning = token.isEmpty() || !report;
    if (!report && !token.isEmpty())
        report = dav.syncCollection(addressBook, {});
    if (!report)
        listWhole(changes, dav.listCards(addressBook), known);
    else if (fromTheBeginning)
        listWhole(changes, report->changed, known);
    else {
        keepChanged(changes, report->changed, known);
        for (const QString& href : std::as_const(report->removed))
            if (known.contains(href))
                changes.removed.insert(href);
    }
    if (report)
        changes.token = report->token;
    return changes;
}

} // namespace

RemoteChanges gatherRemote(carddav::DavClient& dav, const QUrl& addressBook,
                           const QByteArray& token, const QHash<QString, KnownCard>& known) {
    RemoteChanges changes = reportedChanges(dav, addressBook, token, known);
    fetchMissingText(changes, dav, addressBook);
    return changes;
}
