#pragma once

#include "sync/dav_client.h"
#include "sync/synced_cards.h"

#include <QHash>
#include <QSet>

// What changed on the server since the last sync, in as few requests as the server allows: the
// changes since the stored token, with the cards inside the same report where the server sends
// them; where it refuses the token, every card's ETag from the beginning, and only the cards whose
// ETag differs from the one kept are fetched.
struct RemoteChanges {
    QHash<QString, carddav::RemoteCard> changed; // new or changed cards, each with its text
    QSet<QString> removed;                       // hrefs of known cards the server no longer has
    QByteArray token;                            // to keep once every change is in the book
    qsizetype cardsOnServer = -1;                // when every card was listed; else -1
};

RemoteChanges gatherRemote(carddav::DavClient& dav, const QUrl& addressBook,
                           const QByteArray& token, const QHash<QString, KnownCard>& known);
