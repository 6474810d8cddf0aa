#pragma once

#include "store/sqlite_db.h"
#include "store/table_row.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>
#include <optional>

// What the last sync left of each contact that is on the server: the card's href, UID and ETag,
// the card as the server last gave it, and the contact's columns as they were then (the common
// ground both sides' changes are measured against). Kept in the book, table tessaline_sync_card.
struct SyncedCard {
    QString href;
    std::optional<std::int64_t> contact; // the contact's rowid; none once it left the book
    QString uid;
    QByteArray etag; // empty: its PUT was sent, or about to be, and not yet confirmed
    QByteArray card; // empty until the server's copy has been read
    RowValues synced;

    bool confirmed() const { return !etag.isEmpty(); }
};

// What the sync needs of every card it knows to find what changed on either side; the rest of a
// card's entry is read (synced_cards::find) only when it changed.
struct KnownCard {
    std::optional<std::int64_t> contact;
    QByteArray etag;
    QByteArray synced; // the columns as last synced, encoded (synced_cards::encode)

    bool confirmed() const { return !etag.isEmpty(); }
};

namespace synced_cards {

// Every card the sync knows, by href.
QHash<QString, KnownCard> loadKnown(const Database& book);
// The whole entry of a known card.
SyncedCard find(const Database& book, const QString& href);

// Stores the card's entry, replacing the one of its href; callers hold a transaction when the
// contact changes with it.
void store(Database& book, const SyncedCard& card);
void remove(Database& book, const QString& href);

// The columns as one text and back: a JSON array, null for NULL. Two rows are equal when their
// texts are, and the text takes a tenth of the memory of the values.
QByteArray encode(const RowValues& values);
RowValues decode(const QByteArray& text);

} // namespace synced_cards
