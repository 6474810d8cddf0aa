#include "sync/two_way_sync.h"

#include "exchange/sync_card.h"
#include "sync/book_writes.h"
#include "sync/card_pairing.h"
#include "sync/remote_changes.h"
#include "sync/sync_account.h"
#include "sync/synced_cards.h"
#include "store/store_error.h"

#include <QUuid>

namespace {

using carddav::RemoteCard;
using column_merge::Merged;
using contact_table::Column;

// Tries of one change against a server that keeps changing the card under it (412).
constexpr int kTries = 3;

// A contact the last sync knew and one that took its rowid after it left the book (SQLite may
// give a new row the rowid of a deleted last one) differ in their created-on date and both names.
bool samePerson(const RowValues& synced, const RowValues& now) {
    return synced[Column::CreatedOn] == now[Column::CreatedOn] ||
           synced[Column::Name] == now[Column::Name] ||
           synced[Column::Surname] == now[Column::Surname];
}

bool isMassDeletion(qsizetype deletions, qsizetype sideSize) {
    return sideSize > 10 && deletions * 2 > sideSize;
}

class TwoWaySync {
  public:
    TwoWaySync(Database& book, carddav::DavClient& dav, const QUrl& addressBook,
               const SyncOptions& options)
        : dav_(dav), addressBook_(addressBook), options_(options), writes_(book) {}

    SyncReport run();

  private:
    std::optional<RowValues> localOf(const SyncedCard& entry) const;
    void readRemoteColumns();
    bool refusesMassDeletion();
    void settleKnown(const SyncedCard& entry);
    void mergeKnown(const SyncedCard& entry, const RowValues& local, const RemoteCard& remote,
                    int tries = 0);
    void settleMerged(const SyncedCard& entry, const RowValues& local, const RemoteCard& remote,
                      const Merged& merged, int tries);
    std::optional<RemoteCard> pushPatched(const SyncedCard& entry, const RowValues& local,
                                          const RemoteCard& remote, const Merged& merged,
                                          int tries);
    void uploadNew(SyncedCard entry, const RowValues& local);
    void deleteThere(const SyncedCard& entry);
    void deleteHere(const SyncedCard& entry, const RowValues& local);
    void restoreHere(const SyncedCard& entry, const RemoteCard& remote);
    void settleNewRemote(const RemoteCard& remote, CardPairing& pairing);
    void settleNewLocals(const QList<std::int64_t>& rowids);
    std::optional<RemoteCard> readBack(const QString& href, const RowValues& contact);
    void reportDamage(const RowValues& sent, const RemoteCard& stored, const RowValues& before);
    void leftForNextSync(const RowValues& contact, const QString& why);
    void store(const SyncedCard& entry);
    void settled();

    carddav::DavClient& dav_;
    QUrl addressBook_;
    SyncOptions options_;
    BookWrites writes_;
    SyncReport report_;
    QHash<std::int64_t, RowValues> contacts_;
    QHash<QString, SyncedCard> known_;
    RemoteChanges remote_;
    QHash<QString, RowValues> remoteColumns_; // of each changed card, by href
    bool tokenHeld_ = false; // a change of the server's is not yet in the book
    qint64 done_ = 0;
    qint64 total_ = 0;
};

std::optional<RowValues> TwoWaySync::localOf(const SyncedCard& entry) const {
    if (!entry.contact)
        return std::nullopt;
    const auto contact = contacts_.constFind(*entry.contact);
    if (contact == contacts_.constEnd() || !samePerson(entry.synced, *contact))
        return std::nullopt;
    return *contact;
}

// A sync that would empty most of a side is far likelier a wrong URL or an emptied folder than
// the user's wish.
bool TwoWaySync::refusesMassDeletion() {
    qsizetype here = 0, there = 0;
    for (const SyncedCard& entry : std::as_const(known_)) {
        const std::optional<RowValues> local = localOf(entry);
        if (remote_.removed.contains(entry.href) && local && *local == entry.synced)
            ++here;
        if (!local && entry.confirmed() && !remote_.changed.contains(entry.href) &&
            !remote_.removed.contains(entry.href))
            ++there;
    }
    const qsizetype onServer = remote_.cardsOnServer >= 0 ? remote_.cardsOnServer : known_.size();
    const bool refused = !options_.allowMassDelete && (isMassDeletion(here, contacts_.size()) ||
                                                       isMassDeletion(there, onServer));
    if (refused)
        report_.problems << QStringLiteral(
                                "Refused: this sync would delete %1 of the %2 contacts in the "
                                "book and %3 of the %4 cards on the server. If that is meant, run "
                                "it again with --allow-mass-delete.")
                                .arg(here)
                                .arg(contacts_.size())
                                .arg(there)
                                .arg(onServer);
    return refused;
}

// A card that cannot be read is named and left on the server as it is; the others go on.
void TwoWaySync::readRemoteColumns() {
    for (auto card = remote_.changed.begin(); card != remote_.changed.end();) {
        try {
            remoteColumns_.insert(card.key(), sync_card::columnsOf(*card->data, {}));
            ++card;
        } catch (const StoreError& error) {
            report_.problems << QStringLiteral("Not synced: the card %1 cannot be read: %2")
                                    .arg(card.key(), error.description());
            tokenHeld_ = true;
            card = remote_.changed.erase(card);
        }
    }
}

SyncReport TwoWaySync::run() {
    Database& book = writes_.book();
    contacts_ = BookWrites::readContacts(book);
    known_ = synced_cards::load(book);
    const std::optional<sync_account::Account> account = sync_account::load(book);
    remote_ = gatherRemote(dav_, addressBook_, account ? account->syncToken : QByteArray(), known_);
    readRemoteColumns();
    if (refusesMassDeletion()) {
        report_.requests = dav_.requestCount();
        return report_;
    }
    QList<std::int64_t> newLocals;
    CardPairing pairing;
    QSet<std::int64_t> claimed;
    for (const SyncedCard& entry : std::as_const(known_))
        if (localOf(entry))
            claimed.insert(*entry.contact);
    for (auto contact = contacts_.cbegin(); contact != contacts_.cend(); ++contact)
        if (!claimed.contains(contact.key())) {
            newLocals << contact.key();
            pairing.addContact(contact.key(), contact.value());
        }
    total_ = known_.size() + newLocals.size() + remote_.changed.size();
    for (const SyncedCard& entry : std::as_const(known_))
        settleKnown(entry);
    for (const RemoteCard& remote : std::as_const(remote_.changed))
        if (!known_.contains(remote.href))
            settleNewRemote(remote, pairing);
    settleNewLocals(newLocals);
    writes_.commit();
    if (!tokenHeld_ && !remote_.token.isEmpty())
        sync_account::saveToken(book, remote_.token);
    report_.requests = dav_.requestCount();
    return report_;
}

void TwoWaySync::settleKnown(const SyncedCard& entry) {
    const std::optional<RowValues> local = localOf(entry);
    const auto changed = remote_.changed.constFind(entry.href);
    if (changed != remote_.changed.constEnd()) {
        if (local)
            mergeKnown(entry, *local, *changed);
        else
            restoreHere(entry, *changed);
    } else if (remote_.removed.contains(entry.href)) {
        if (!local) {
            writes_.begin();
            synced_cards::remove(writes_.book(), entry.href);
        } else if (*local == entry.synced) {
            deleteHere(entry, *local);
        } else {
            report_.notes << QStringLiteral("Kept: %1 was changed here and deleted on the "
                                            "server; it goes back to the server.")
                                 .arg(SyncReport::nameOf(*local));
            uploadNew(entry, *local);
        }
    } else if (!entry.confirmed()) {
        if (local)
            uploadNew(entry, *local);
        else
            deleteThere(entry);
    } else if (!local) {
        deleteThere(entry);
    } else if (*local != entry.synced) {
        mergeKnown(entry, *local, RemoteCard{entry.href, entry.etag, entry.card});
    }
    settled();
}

void TwoWaySync::mergeKnown(const SyncedCard& entry, const RowValues& local,
                            const RemoteCard& remote, int tries) {
    const RowValues before =
        entry.card.isEmpty() ? entry.synced : sync_card::columnsOf(entry.card, {});
    const RowValues now = remoteColumns_.contains(remote.href)
                              ? remoteColumns_.value(remote.href)
                              : sync_card::columnsOf(*remote.data, {});
    settleMerged(entry, local, remote,
                 column_merge::merge(entry.synced, local, before, now, options_.prefer), tries);
}

void TwoWaySync::settleMerged(const SyncedCard& entry, const RowValues& local,
                              const RemoteCard& remote, const Merged& merged, int tries) {
    for (const column_merge::Conflict& conflict : merged.conflicts)
        report_.problems << QStringLiteral("Conflict: ") +
                                SyncReport::columnValues(local, conflict.column,
                                                         QStringLiteral("here"), conflict.local,
                                                         QStringLiteral("on the server"),
                                                         conflict.remote) +
                                QStringLiteral("; run again with --prefer local or --prefer "
                                               "remote to settle it.");
    if (!merged.conflicts.isEmpty()) {
        tokenHeld_ = true;
        return;
    }
    SyncedCard next = entry;
    next.etag = remote.etag;
    next.card = *remote.data;
    next.uid = sync_card::uidOf(next.card);
    next.synced = merged.values;
    if (merged.pushNeeded) {
        const std::optional<RemoteCard> stored =
            pushPatched(entry, local, remote, merged, tries);
        if (!stored)
            return;
        next.etag = stored->etag;
        next.card = *stored->data;
    }
    if (merged.pullNeeded && !writes_.replaceIfUnchanged(*entry.contact, local, merged.values))
        return leftForNextSync(local, QStringLiteral("it changed here during the sync"));
    store(next);
    report_.here.changed += merged.pullNeeded ? 1 : 0;
    report_.there.changed += merged.pushNeeded ? 1 : 0;
}

// Sends the card with only the book's changed columns rewritten; a card the server changed in
// the meantime (412) is fetched again and merged anew.
std::optional<RemoteCard> TwoWaySync::pushPatched(const SyncedCard& entry, const RowValues& local,
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
void TwoWaySync::uploadNew(SyncedCard entry, const RowValues& local) {
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

void TwoWaySync::deleteThere(const SyncedCard& entry) {
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

void TwoWaySync::deleteHere(const SyncedCard& entry, const RowValues& local) {
    if (!writes_.replaceIfUnchanged(*entry.contact, local, std::nullopt))
        return leftForNextSync(local, QStringLiteral("it changed here during the sync"));
    synced_cards::remove(writes_.book(), entry.href);
    writes_.commitWhenDue();
    ++report_.here.deleted;
}

// A card changed on the server whose contact left the book: the edit wins.
void TwoWaySync::restoreHere(const SyncedCard& entry, const RemoteCard& remote) {
    SyncedCard next = entry;
    next.synced = sync_card::columnsOf(*remote.data, entry.synced[Column::CreatedOn].toString());
    report_.notes << QStringLiteral("Kept: %1 was deleted here and changed on the server; it "
                                    "comes back to the book.")
                         .arg(SyncReport::nameOf(next.synced));
    next.contact = writes_.insert(next.synced);
    next.etag = remote.etag;
    next.card = *remote.data;
    store(next);
    ++report_.here.added;
}

void TwoWaySync::settleNewRemote(const RemoteCard& remote, CardPairing& pairing) {
    if (sync_card::isGroup(*remote.data))
        return settled();
    SyncedCard entry{remote.href, std::nullopt, sync_card::uidOf(*remote.data), remote.etag,
                     *remote.data, {}};
    const RowValues columns = remoteColumns_.value(remote.href);
    if (const std::optional<std::int64_t> rowid = pairing.takeMatch(columns)) {
        const RowValues local = contacts_.value(*rowid);
        const column_merge::Ground ground = column_merge::pairingGround(local, columns);
        entry.contact = rowid;
        entry.synced = ground.synced;
        contacts_.remove(*rowid); // settled here, not as a new contact of the book's
        settleMerged(entry, local, remote,
                     column_merge::merge(ground.synced, local, ground.remoteBefore, columns,
                                         options_.prefer),
                     0);
        return settled();
    }
    entry.synced = sync_card::columnsOf(*remote.data, options_.today);
    entry.contact = writes_.insert(entry.synced);
    store(entry);
    ++report_.here.added;
    settled();
}

void TwoWaySync::settleNewLocals(const QList<std::int64_t>& rowids) {
    QList<SyncedCard> entries;
    writes_.begin();
    for (const std::int64_t rowid : rowids) {
        if (!contacts_.contains(rowid))
            continue; // paired with a card of the server's
        const QString uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        entries.append({addressBook_.path() + uid + QStringLiteral(".vcf"), rowid, uid, {}, {},
                        contacts_.value(rowid)});
        synced_cards::store(writes_.book(), entries.last());
    }
    writes_.commit();
    for (const SyncedCard& entry : std::as_const(entries)) {
        uploadNew(entry, entry.synced);
        settled();
    }
}

std::optional<RemoteCard> TwoWaySync::readBack(const QString& href, const RowValues& contact) {
    std::optional<RemoteCard> stored = dav_.fetchCard(href);
    if (!stored)
        leftForNextSync(contact, QStringLiteral("the server lost it right after storing it"));
    return stored;
}

// A value the server did not keep as sent (some servers cut or rewrite what they do not
// understand) is told; the book keeps its own. Only the columns that changed are compared.
void TwoWaySync::reportDamage(const RowValues& sent, const RemoteCard& stored,
                              const RowValues& before) {
    const RowValues kept = sync_card::columnsOf(*stored.data, {});
    for (std::size_t i = 0; i < sent.size(); ++i)
        if (sent[i] != before[i] && kept[i] != sent[i])
            report_.problems << QStringLiteral("Not kept by the server: ") +
                                    SyncReport::columnValues(sent, Column(i),
                                                             QStringLiteral("here"), sent[i],
                                                             QStringLiteral("stored there as"),
                                                             kept[i]) +
                                    QStringLiteral("; the book keeps its own.");
}

void TwoWaySync::leftForNextSync(const RowValues& contact, const QString& why) {
    tokenHeld_ = true;
    report_.problems << QStringLiteral("Not synced: %1: %2; the next sync tries again.")
                            .arg(SyncReport::nameOf(contact), why);
}

void TwoWaySync::store(const SyncedCard& entry) {
    writes_.begin();
    synced_cards::store(writes_.book(), entry);
    writes_.commitWhenDue();
}

void TwoWaySync::settled() {
    ++done_;
    if (options_.progress)
        options_.progress(done_, total_, ProgressUnit::Rows);
}

} // namespace

SyncReport syncBook(Database& book, carddav::DavClient& dav, const QUrl& addressBook,
                    const SyncOptions& options) {
    return TwoWaySync(book, dav, addressBook, options).run();
}
