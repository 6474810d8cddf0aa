#include "sync/sync_session.h"

#include "exchange/sync_card.h"
#include "sync/synced_cards.h"

using carddav::RemoteCard;
using column_merge::Merged;
using contact_table::Column;

namespace {

// Tries of one change against a server that keeps changing the card under it (412).
constexpr int kTries = 3;

} // namespace

// Sends the card with only the book's changed columns rewritten; a card the server changed in
// the meantime (412) is fetched again and merged anew.
std::optional<RemoteCard> SyncSession::pushPatched(const SyncedCard& entry, const RowValues& local,
                                                   const RemoteCard& remote, const Merged& merged,
                                                   int tries) {
    const RowValues onServer = sync_card::columnsOf(*remote.data, {});
    RowValues sent = onServer;
    for (std::size_t i = 0; i < sent.size(); ++i)
        if (merged.pushed[i])
            sent[i] = merged.values[i];
    const QByteArray card = sync_card::patchCard(*remote.data, onServer, sent);
    writes_.commit();
    const carddav::PutResult put = dav_.putCard(remote.href, card, remote.etag);
    if (put.outcome == carddav::PutOutcome::Refused) {
        leftForNextSync(local, QStringLiteral("the server refused it: ") + put.problem);
        return std::nullopt;
    }
    if (put.outcome == carddav::PutOutcome::PreconditionFailed) {
        const std::optional<RemoteCard> fresh = dav_.fetchCard(remote.href);
        if (fresh && tries + 1 < kTries)
            mergeKnown(entry, local, *fresh, tries + 1);
        else
            leftForNextSync(local, QStringLiteral("the server's card kept changing"));
        return std::nullopt;
    }
    const std::optional<RemoteCard> stored = readBack(remote.href, local);
    if (stored)
        reportDamage(sent, *stored, onServer);
    return stored;
}

// Records the card's UID and href before its PUT, so that a sync cut off after it finds the card
// on the server instead of sending it twice.
void SyncSession::uploadNew(SyncedCard entry, const RowValues& local) {
    entry.etag.clear();
    entry.card.clear();
    entry.synced = local;
    writes_.begin();
    synced_cards::store(writes_.book(), entry);
    writes_.commit();
    const carddav::PutResult put =
        dav_.putCard(entry.href, sync_card::newCard(local, entry.uid), {});
    if (put.outcome == carddav::PutOutcome::Refused)
        return leftForNextSync(local, QStringLiteral("the server refused it: ") + put.problem);
    if (put.outcome == carddav::PutOutcome::PreconditionFailed) {
        // Sent before, by a sync that did not learn the answer: take it up as it is.
        if (const std::optional<RemoteCard> there = dav_.fetchCard(entry.href))
            mergeKnown(entry, local, *there);
        return;
    }
    const std::optional<RemoteCard> stored = readBack(entry.href, local);
    if (!stored)
        return;
    reportDamage(local, *stored, RowValues{});
    entry.etag = stored->etag;
    entry.card = *stored->data;
    store(entry);
    ++report_.there.added;
}

void SyncSession::deleteThere(const SyncedCard& entry) {
    writes_.commit();
    const carddav::DeleteOutcome outcome = dav_.deleteCard(entry.href, entry.etag);
    if (outcome == carddav::DeleteOutcome::PreconditionFailed)
        return leftForNextSync(entry.synced, QStringLiteral("it changed on the server during the "
                                                            "sync and stays there"));
    writes_.begin();
    synced_cards::remove(writes_.book(), entry.href);
    writes_.commitWhenDue();
    report_.there.deleted += entry.confirmed() ? 1 : 0;
}

std::optional<RemoteCard> SyncSession::readBack(const QString& href, const RowValues& contact) {
    std::optional<RemoteCard> stored = dav_.fetchCard(href);
    if (!stored)
        leftForNextSync(contact, QStringLiteral("the server lost it right after storing it"));
    return stored;
}

// A value the server did not keep as sent (some servers cut or rewrite what they do not
// understand) is told; the book keeps its own. Only the columns that changed are compared.
void SyncSession::reportDamage(const RowValues& sent, const RemoteCard& stored,
                               const RowValues& before) {
    const RowValues kept = sync_card::columnsOf(*stored.data, {});
    for (std::size_t i = 0; i < sent.size(); ++i)
        if (sent[i] != before[i] && kept[i] != sent[i])
            report_.problems << QStringLiteral("Not kept by the server: ") +
                                    SyncReport::columnValues(
                                        sent, Column(i), QStringLiteral("here"), sent[i],
                                        QStringLiteral("stored there as"), kept[i]) +
                                    QStringLiteral("; the book keeps its own.");
}
