#include "sync/sync_session.h"

#include "exchange/sync_card.h"
#include "store/store_error.h"
#include "sync/book_writes.h"
#include "sync/card_pairing.h"
#include "sync/remote_changes.h"
#include "sync/sync_account.h"
#include "sync/synced_cards.h"

#include <QUuid>

using carddav::RemoteCard;
using column_merge::Merged;
using contact_table::Column;

namespace {

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

} // namespace

// Whether the contact a card was synced with is still in the book, not another that took its
// rowid; an unchanged contact is decided without decoding either side.
bool SyncSession::stillHere(const KnownCard& known) const {
    if (!known.contact)
        return false;
    const auto contact = contacts_.constFind(*known.contact);
    return contact != contacts_.constEnd() &&
           (*contact == known.synced ||
            samePerson(synced_cards::decode(known.synced), synced_cards::decode(*contact)));
}

bool SyncSession::unchangedHere(const KnownCard& known) const {
    return known.contact && contacts_.value(*known.contact) == known.synced;
}

std::optional<RowValues> SyncSession::localOf(const KnownCard& known) const {
    if (!stillHere(known))
        return std::nullopt;
    return synced_cards::decode(contacts_.value(*known.contact));
}

// A card that cannot be read is named and left on the server as it is; the others go on.
std::optional<RowValues> SyncSession::remoteColumnsOf(const RemoteCard& card,
                                                      const QString& createdOn) {
    try {
        return sync_card::columnsOf(*card.data, createdOn);
    } catch (const StoreError& error) {
        report_.problems << QStringLiteral("Not synced: the card %1 cannot be read: %2")
                                .arg(card.href, error.description());
        tokenHeld_ = true;
        return std::nullopt;
    }
}

// A sync that would empty most of a side is far likelier a wrong URL or an emptied folder than
// the user's wish.
bool SyncSession::refusesMassDeletion() {
    qsizetype here = 0, there = 0;
    for (auto known = known_.cbegin(); known != known_.cend(); ++known) {
        if (remote_.removed.contains(known.key()) && unchangedHere(*known))
            ++here;
        if (known->confirmed() && !remote_.changed.contains(known.key()) &&
            !remote_.removed.contains(known.key()) && !stillHere(*known))
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

SyncReport SyncSession::run() {
    Database& book = writes_.book();
    contacts_ = BookWrites::readContacts(book);
    known_ = synced_cards::loadKnown(book);
    const std::optional<sync_account::Account> account = sync_account::load(book);
    remote_ = gatherRemote(dav_, addressBook_, account ? account->syncToken : QByteArray(), known_);
    if (refusesMassDeletion()) {
        report_.requests = dav_.requestCount();
        return report_;
    }
    QList<std::int64_t> newLocals;
    CardPairing pairing;
    QSet<std::int64_t> claimed;
    for (const KnownCard& known : std::as_const(known_))
        if (stillHere(known))
            claimed.insert(*known.contact);
    for (auto contact = contacts_.cbegin(); contact != contacts_.cend(); ++contact)
        if (!claimed.contains(contact.key())) {
            newLocals << contact.key();
            pairing.addContact(contact.key(), synced_cards::decode(contact.value()));
        }
    total_ = known_.size() + newLocals.size() + remote_.changed.size();
    for (auto known = known_.cbegin(); known != known_.cend(); ++known)
        settleKnown(known.key(), known.value());
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

// Most cards changed on neither side; only the others' entries are read whole.
void SyncSession::settleKnown(const QString& href, const KnownCard& known) {
    if (!unchangedHere(known) || !known.confirmed() || remote_.changed.contains(href) ||
        remote_.removed.contains(href))
        settleChanged(synced_cards::find(writes_.book(), href));
    settled();
}

void SyncSession::settleChanged(const SyncedCard& entry) {
    const std::optional<RowValues> local = localOf(known_.value(entry.href));
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
}

void SyncSession::mergeKnown(const SyncedCard& entry, const RowValues& local,
                             const RemoteCard& remote, int tries) {
    const RowValues before =
        entry.card.isEmpty() ? entry.synced : sync_card::columnsOf(entry.card, {});
    const std::optional<RowValues> now = remoteColumnsOf(remote);
    if (!now)
        return;
    settleMerged(entry, local, remote,
                 column_merge::merge(entry.synced, local, before, *now, options_.prefer), tries);
}

void SyncSession::settleMerged(const SyncedCard& entry, const RowValues& local,
                               const RemoteCard& remote, const Merged& merged, int tries) {
    for (const column_merge::Conflict& conflict : merged.conflicts)
        report_.problems << QStringLiteral("Conflict: ") +
                                SyncReport::columnValues(
                                    local, conflict.column, QStringLiteral("here"), conflict.local,
                                    QStringLiteral("on the server"), conflict.remote) +
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
        const std::optional<RemoteCard> stored = pushPatched(entry, local, remote, merged, tries);
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

void SyncSession::deleteHere(const SyncedCard& entry, const RowValues& local) {
    if (!writes_.replaceIfUnchanged(*entry.contact, local, std::nullopt))
        return leftForNextSync(local, QStringLiteral("it changed here during the sync"));
    synced_cards::remove(writes_.book(), entry.href);
    writes_.commitWhenDue();
    ++report_.here.deleted;
}

// A card changed on the server whose contact left the book: the edit wins.
void SyncSession::restoreHere(const SyncedCard& entry, const RemoteCard& remote) {
    const std::optional<RowValues> columns =
        remoteColumnsOf(remote, entry.synced[Column::CreatedOn].toString());
    if (!columns)
        return;
    SyncedCard next = entry;
    next.synced = *columns;
    report_.notes << QStringLiteral("Kept: %1 was deleted here and changed on the server; it "
                                    "comes back to the book.")
                         .arg(SyncReport::nameOf(next.synced));
    next.contact = writes_.insert(next.synced);
    next.etag = remote.etag;
    next.card = *remote.data;
    store(next);
    ++report_.here.added;
}

void SyncSession::settleNewRemote(const RemoteCard& remote, CardPairing& pairing) {
    if (sync_card::isGroup(*remote.data))
        return settled();
    SyncedCard entry{remote.href, std::nullopt, sync_card::uidOf(*remote.data),
                     remote.etag, *remote.data, {}};
    const std::optional<RowValues> columns = remoteColumnsOf(remote);
    if (!columns)
        return settled();
    if (const std::optional<std::int64_t> rowid = pairing.takeMatch(*columns)) {
        const RowValues local = synced_cards::decode(contacts_.value(*rowid));
        const column_merge::Ground ground = column_merge::pairingGround(local, *columns);
        entry.contact = rowid;
        entry.synced = ground.synced;
        contacts_.remove(*rowid); // settled here, not as a new contact of the book's
        settleMerged(entry, local, remote,
                     column_merge::merge(ground.synced, local, ground.remoteBefore, *columns,
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

void SyncSession::settleNewLocals(const QList<std::int64_t>& rowids) {
    QList<SyncedCard> entries;
    writes_.begin();
    for (const std::int64_t rowid : rowids) {
        if (!contacts_.contains(rowid))
            continue; // paired with a card of the server's
        const QString uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        entries.append({addressBook_.path() + uid + QStringLiteral(".vcf"),
                        rowid,
                        uid,
                        {},
                        {},
                        synced_cards::decode(contacts_.value(rowid))});
        synced_cards::store(writes_.book(), entries.last());
    }
    writes_.commit();
    for (const SyncedCard& entry : std::as_const(entries)) {
        uploadNew(entry, entry.synced);
        settled();
    }
}

void SyncSession::leftForNextSync(const RowValues& contact, const QString& why) {
    tokenHeld_ = true;
    report_.problems << QStringLiteral("Not synced: %1: %2; the next sync tries again.")
                            .arg(SyncReport::nameOf(contact), why);
}

void SyncSession::store(const SyncedCard& entry) {
    writes_.begin();
    synced_cards::store(writes_.book(), entry);
    writes_.commitWhenDue();
}

void SyncSession::settled() {
    ++done_;
    if (options_.progress)
        options_.progress(done_, total_, ProgressUnit::Rows);
}

SyncReport syncBook(Database& book, carddav::DavClient& dav, const QUrl& addressBook,
                    const SyncOptions& options) {
    return SyncSession(book, dav, addressBook, options).run();
}
