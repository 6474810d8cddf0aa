#pragma once

#include "sync/book_writes.h"
#include "sync/card_pairing.h"
#include "sync/column_merge.h"
#include "sync/remote_changes.h"
#include "sync/two_way_sync.h"

#include <QHash>

// One run of the two-way sync (two_way_sync.h): what it read of both sides, and the steps that
// settle each contact. The steps that write to the server are in sync_session_server.cpp.
class SyncSession {
  public:
    SyncSession(Database& book, carddav::DavClient& dav, const QUrl& addressBook,
                const SyncOptions& options)
        : dav_(dav), addressBook_(addressBook), options_(options), writes_(book) {}

    SyncReport run();

  private:
    bool stillHere(const KnownCard& known) const;
    bool unchangedHere(const KnownCard& known) const;
    std::optional<RowValues> localOf(const KnownCard& known) const;
    std::optional<RowValues> remoteColumnsOf(const carddav::RemoteCard& card,
                                             const QString& createdOn = {});
    bool refusesMassDeletion();
    void settleKnown(const QString& href, const KnownCard& known);
    void settleChanged(const SyncedCard& entry);
    void mergeKnown(const SyncedCard& entry, const RowValues& local,
                    const carddav::RemoteCard& remote, int tries = 0);
    void settleMerged(const SyncedCard& entry, const RowValues& local,
                      const carddav::RemoteCard& remote, const column_merge::Merged& merged,
                      int tries);
    std::optional<carddav::RemoteCard> pushPatched(const SyncedCard& entry, const RowValues& local,
                                                   const carddav::RemoteCard& remote,
                                                   const column_merge::Merged& merged, int tries);
    void uploadNew(SyncedCard entry, const RowValues& local);
    void deleteThere(const SyncedCard& entry);
    void deleteHere(const SyncedCard& entry, const RowValues& local);
    void restoreHere(const SyncedCard& entry, const carddav::RemoteCard& remote);
    void settleNewRemote(const carddav::RemoteCard& remote, CardPairing& pairing);
    void settleNewLocals(const QList<std::int64_t>& rowids);
    std::optional<carddav::RemoteCard> readBack(const QString& href, const RowValues& contact);
    void reportDamage(const RowValues& sent, const carddav::RemoteCard& stored,
                      const RowValues& before);
    void leftForNextSync(const RowValues& contact, const QString& why);
    void store(const SyncedCard& entry);
    void settled();

    carddav::DavClient& dav_;
    QUrl addressBook_;
    SyncOptions options_;
    BookWrites writes_;
    SyncReport report_;
    // Both sides are held encoded (synced_cards::encode) and decoded only where they differ: a
    // book of 50,000 contacts then takes some 20 MB rather than 150.
    QHash<std::int64_t, QByteArray> contacts_;
    QHash<QString, KnownCard> known_;
    RemoteChanges remote_;
    bool tokenHeld_ = false; // a change of the server's is not yet in the book
    qint64 done_ = 0;
    qint64 total_ = 0;
};
