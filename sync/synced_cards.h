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

namespace synced_cards {

// Every card the sync knows, by href.
QHash<QString, SyncedCard> load(const Database& book);

// Stores the card's entry, replacing the one of its href; callers hold a transaction when the
// contact changes with it.
void store(Database& book, const SyncedCard& card);
void remove(Database& book, const QString& href);

// The columns as one text and back: a JSON array, null for NULL.
QByteArray encode(const RowValues& values);
RowValues decode(const QByteArray& text);

} // namespace synced_cards
